#include "platform/servicenotifier.h"

#include "platform/clock.h"
#include "platform/kiosktimer.h"
#include "platform/seams.h"
#include "platform/watchdog.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace Movendi::Platform {

namespace {

constexpr std::size_t longestName = sizeof(sockaddr_un::sun_path);

// The socket's name as sockaddr_un holds it; empty for a name this kiosk cannot reach.
QByteArray socketAddress(const QString &variable)
{
    const QByteArray name = variable.toLocal8Bit();
    if (name.startsWith('/') && std::size_t(name.size()) < longestName)
        return name;
    if (name.startsWith('@') && name.size() > 1 && std::size_t(name.size()) <= longestName)
        return QByteArray(1, '\0') + name.mid(1);
    return {};
}

qint64 pingInterval(const QProcessEnvironment &environment)
{
    bool ok = false;
    const qulonglong usec = environment.value(QStringLiteral("WATCHDOG_USEC")).toULongLong(&ok);
    if (!ok || usec == 0)
        return 0;
    // The interval was given to another process of the service.
    if (environment.contains(QStringLiteral("WATCHDOG_PID"))) {
        const qlonglong pid = environment.value(QStringLiteral("WATCHDOG_PID")).toLongLong(&ok);
        if (!ok || pid != qlonglong(::getpid()))
            return 0;
    }
    return std::clamp<qint64>(qint64(usec / 2000), 1, INT_MAX);
}

} // namespace

ServiceNotifier::ServiceNotifier(const QProcessEnvironment &environment, QObject *parent)
    : QObject(parent), m_timer(new KioskTimer(this))
{
    const QString variable = environment.value(QLatin1String(SessionNotifySocketVariable),
                                               environment.value(QStringLiteral("NOTIFY_SOCKET")));
    if (variable.isEmpty())
        return;
    m_address = socketAddress(variable);
    if (m_address.isEmpty()) {
        qWarning("NOTIFY_SOCKET: unsupported socket name %s", qPrintable(variable));
        return;
    }
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0) {
        qWarning("NOTIFY_SOCKET: no socket: %s", std::strerror(errno));
        return;
    }
    m_pingIntervalMs = pingInterval(environment);
    m_lastMs = clock().monotonicMs();
    // Until ready, the start-up's time-out is extended while the kiosk works.
    m_timer->setInterval(int(StartExtensionEveryMs));
    connect(m_timer, &KioskTimer::timeout, this, [this] { m_ready ? ping() : extendStart(); });
    m_timer->start();
    installWatchdogFeed([this](qint64 blockAheadMs) { feed(blockAheadMs); });
}

ServiceNotifier::~ServiceNotifier()
{
    if (m_socket >= 0) {
        installWatchdogFeed({});
        ::close(m_socket);
    }
}

void ServiceNotifier::notifyReady()
{
    if (!enabled())
        return;
    m_timer->stop();
    m_ready = true;
    send(QByteArrayLiteral("READY=1"));
    m_lastMs = clock().monotonicMs();
    if (m_pingIntervalMs > 0) {
        m_timer->setInterval(int(m_pingIntervalMs));
        m_timer->start();
    }
}

void ServiceNotifier::notifyStopping()
{
    m_timer->stop();
    m_stopping = true;
    send(QByteArrayLiteral("STOPPING=1"));
}

void ServiceNotifier::ping()
{
    m_lastMs = clock().monotonicMs();
    send(QByteArrayLiteral("WATCHDOG=1"));
}

void ServiceNotifier::extendStart()
{
    m_lastMs = clock().monotonicMs();
    send(QByteArrayLiteral("EXTEND_TIMEOUT_USEC=") + QByteArray::number(StartExtensionMs * 1000));
}

void ServiceNotifier::feed(qint64 blockAheadMs)
{
    if (m_stopping)
        return;
    const qint64 since = clock().monotonicMs() - m_lastMs;
    if (!m_ready) {
        if (since >= StartExtensionEveryMs)
            extendStart();
        return;
    }
    if (m_pingIntervalMs <= 0)
        return;
    // Before a known blocking stretch, early enough that the next ping cannot come too late;
    // never more than a ping a second for it.
    const qint64 due = qMax(qMin<qint64>(1000, m_pingIntervalMs), m_pingIntervalMs - blockAheadMs);
    if (since >= due) {
        ping();
        // The timer counts its interval again from this ping.
        m_timer->restart();
    }
}

bool ServiceNotifier::send(const QByteArray &state)
{
    if (m_socket < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, m_address.constData(), std::size_t(m_address.size()));
    // A path is passed with its terminating zero, an abstract name without one.
    const bool abstract = m_address.startsWith('\0');
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(m_address.size()) +
                                  (abstract ? 0 : 1));
    // Never waits: a manager that cannot take the datagram now must not hold the screens.
    const ssize_t sent =
        ::sendto(m_socket, state.constData(), std::size_t(state.size()),
                 MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&address), length);
    if (sent == state.size()) {
        m_sendFailed = false;
        return true;
    }
    // Once per run of failures: the journal needs the cause, not one line per ping.
    if (!m_sendFailed)
        qWarning("NOTIFY_SOCKET: %s not sent: %s", state.constData(), std::strerror(errno));
    m_sendFailed = true;
    return false;
}

} // namespace Movendi::Platform
