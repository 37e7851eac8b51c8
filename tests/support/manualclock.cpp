#include "manualclock.h"

#include <QCoreApplication>

namespace Movendi::Test {

ManualClock::ManualClock(QDateTime start) : m_start(std::move(start)) {}

QDateTime ManualClock::now() const
{
    return m_start.addMSecs(m_elapsed);
}

void ManualClock::sleepMs(qint64 ms)
{
    ++m_sleeps;
    m_elapsed += qMax<qint64>(0, ms);
}

void ManualClock::processEventsFor(qint64 maxMs)
{
    ++m_passes;
    QCoreApplication::processEvents();
    m_elapsed += qMax<qint64>(1, maxMs);
}

} // namespace Movendi::Test
