#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

#include <sys/types.h>

namespace Movendi::Platform {

// The receiving end of a private notification socket: the kiosk started under the relay finds
// it in MOVENDI_NOTIFY_SOCKET, and the relay passes what it sends on to the service manager as
// its own.
// Under a PAM session systemd hears only a unit's main process, while the kiosk runs deeper, as
// a child of its compositor.
class NotificationRelay
{
public:
    struct Message
    {
        QByteArray state;
        pid_t sender = 0; // 0 when the kernel did not say
        uid_t uid = uid_t(-1);
    };

    NotificationRelay() = default;
    ~NotificationRelay();
    NotificationRelay(const NotificationRelay &) = delete;
    NotificationRelay &operator=(const NotificationRelay &) = delete;

    // Binds a socket under a unique abstract name; false when it cannot.
    bool open();
    // As a notification socket's variable gives it: "@name".
    QByteArray name() const { return m_name; }
    // Readable when a message waits; -1 before open().
    int fd() const { return m_fd; }
    // Every message waiting, without blocking.
    QList<Message> take();

private:
    int m_fd = -1;
    QByteArray m_name;
};

// A datagram socket bound to a notification socket's name ("/path", or "@name" for an abstract
// one), non-blocking, close-on-exec, with the senders' credentials passed; -1 when it cannot be.
int bindNotificationSocket(const QByteArray &name);

// One message waiting on such a socket, with its sender; nothing when none waits. Never blocks.
std::optional<NotificationRelay::Message> receiveNotification(int fd);

} // namespace Movendi::Platform
