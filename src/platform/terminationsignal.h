#pragma once

#include "platform/stopsignalpipe.h"

#include <QObject>

class QSocketNotifier;

namespace Movendi::Platform {

// Turns SIGTERM and SIGINT into a Qt signal on the UI thread, so that a service manager's stop
// ends the kiosk in order instead of killing it mid-sale. One instance per process.
class TerminationSignal : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignal(QObject *parent = nullptr);
    ~TerminationSignal() override;

signals:
    void requested();

private:
    void handleActivated();
    StopSignalPipe m_pipe;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace Movendi::Platform
