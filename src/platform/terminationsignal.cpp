#include "platform/terminationsignal.h"

#include <QSocketNotifier>

namespace Movendi::Platform {

TerminationSignal::TerminationSignal(QObject *parent) : QObject(parent)
{
    if (!m_pipe.install())
        return;
    m_notifier = new QSocketNotifier(m_pipe.fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignal::handleActivated);
}

TerminationSignal::~TerminationSignal()
{
    // Off the event loop before the pipe closes.
    delete m_notifier;
}

void TerminationSignal::handleActivated()
{
    if (m_pipe.take())
        emit requested();
}

} // namespace Movendi::Platform
