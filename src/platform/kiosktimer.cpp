#include "platform/kiosktimer.h"

#include "platform/clock.h"
#include "platform/seams.h"

namespace Movendi::Platform {

KioskTimer::KioskTimer(QObject *parent) : QObject(parent) {}

KioskTimer::~KioskTimer()
{
    stop();
}

void KioskTimer::start()
{
    stop();
    m_clock = &clock();
    m_pending = m_clock->callAfter(m_interval, [this] { handleDue(); });
}

void KioskTimer::stop()
{
    if (m_pending != 0)
        m_clock->cancel(m_pending);
    m_pending = 0;
}

void KioskTimer::handleDue()
{
    m_pending = 0;
    if (!m_singleShot)
        m_pending = m_clock->callAfter(m_interval, [this] { handleDue(); });
    emit timeout();
}

} // namespace Movendi::Platform
