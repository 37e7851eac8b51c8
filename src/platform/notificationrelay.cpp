#include "platform/notificationrelay.h"

#include <QUuid>

#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace Movendi::Platform {

NotificationRelay::~NotificationRelay()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool NotificationRelay::open()
{
    const QByteArray unique = "movendi-session-" + QByteArray::number(::getpid()) + '-' +
                              QUuid::createUuid().toByteArray(QUuid::Id128).left(12);
    // Abstract: nothing to clean up on disk, and only this network namespace reaches it.
    m_fd = bindNotificationSocket('@' + unique);
    if (m_fd < 0)
        return false;
    m_name = '@' + unique;
    return true;
}

QList<NotificationRelay::Message> NotificationRelay::take()
{
    QList<Message> messages;
    while (const std::optional<Message> message = receiveNotification(m_fd))
        messages << *message;
    return messages;
}

int bindNotificationSocket(const QByteArray &name)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const bool abstrait = name.startsWith('@');
    const QByteArray chemin = abstrait ? name.mid(1) : name;
    if (chemin.isEmpty() || std::size_t(chemin.size()) + 1 >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path + (abstrait ? 1 : 0), chemin.constData(),
                std::size_t(chemin.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(chemin.size()));
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

std::optional<NotificationRelay::Message> receiveNotification(int fd)
{
    if (fd < 0)
        return std::nullopt;
    char buffer[4096];
    iovec part{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(fd, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (n < 0)
        return std::nullopt;
    NotificationRelay::Message message{QByteArray(buffer, qsizetype(n)), 0};
    for (cmsghdr *c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
            ucred credentials{};
            std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
            message.sender = credentials.pid;
            message.uid = credentials.uid;
        }
    }
    return message;
}

} // namespace Movendi::Platform
