#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcessEnvironment>

namespace Movendi::Platform {

class KioskTimer;

// Where movendi-session names its relay's socket for the kiosk alone: the compositor and the X
// server it also starts would speak on a NOTIFY_SOCKET (Xorg says READY=1 once it is up).
inline constexpr char SessionNotifySocketVariable[] = "MOVENDI_NOTIFY_SOCKET";

// Tells the service manager that started the kiosk how it is doing, in datagrams on the socket
// that NOTIFY_SOCKET names ("/path", or "@name" for an abstract socket): ready once the home
// screen shows, alive at half the watchdog interval it was given, stopping at an orderly end.
// The pings come from a timer of the event loop, and from the waits that may not handle events
// (platform/watchdog.h), so only a frozen kiosk stops them and the manager restarts it. A
// start-up that takes longer than half a minute (settling an interrupted sale with a slow
// terminal) asks for 90 more seconds every half minute while it works (EXTEND_TIMEOUT_USEC).
// Without NOTIFY_SOCKET nothing is sent.
class ServiceNotifier : public QObject
{
    Q_OBJECT
public:
    // Reads the socket's name (MOVENDI_NOTIFY_SOCKET, else NOTIFY_SOCKET), WATCHDOG_USEC and
    // WATCHDOG_PID; the watchdog is this process's only when WATCHDOG_PID is unset or names it.
    explicit ServiceNotifier(
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
        QObject *parent = nullptr);
    ~ServiceNotifier() override;
    ServiceNotifier(const ServiceNotifier &) = delete;
    ServiceNotifier &operator=(const ServiceNotifier &) = delete;

    bool enabled() const { return m_socket >= 0; }
    // Half the watchdog interval; 0 when no watchdog is asked of this process.
    qint64 pingIntervalMs() const { return m_pingIntervalMs; }

    // READY=1, then WATCHDOG=1 at every ping interval on the installed clock.
    void notifyReady();
    // STOPPING=1; the pings end.
    void notifyStopping();
    // One message as it is, for a relay passing on another process's; false when not sent.
    bool send(const QByteArray &state);

    static constexpr qint64 StartExtensionMs = 90000;
    static constexpr qint64 StartExtensionEveryMs = 30000;

private:
    void ping();
    void extendStart();
    // From the waits that do not handle events.
    void feed(qint64 blockAheadMs);

    int m_socket = -1;
    QByteArray m_address; // the socket's name; an abstract one starts with a zero byte
    qint64 m_pingIntervalMs = 0;
    bool m_sendFailed = false;
    bool m_ready = false;
    bool m_stopping = false;
    qint64 m_lastMs = 0; // the last ping, or before ready the last extension (or the start)
    KioskTimer *m_timer = nullptr;
};

} // namespace Movendi::Platform
