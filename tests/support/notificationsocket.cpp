#include "notificationsocket.h"

#include <QUuid>

#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace Movendi::Test {

NotificationSocket::NotificationSocket(Kind kind)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socklen_t length = 0;
    if (kind == Kind::Path) {
        m_name = m_dir.filePath(QStringLiteral("notify"));
        const QByteArray path = m_name.toLocal8Bit();
        if (!m_dir.isValid() || std::size_t(path.size()) >= sizeof(address.sun_path))
            return;
        std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
        length = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(path.size()) + 1);
    } else {
        const QByteArray unique = "movendi-test-" + QUuid::createUuid().toByteArray(QUuid::Id128);
        m_name = QLatin1Char('@') + QString::fromLatin1(unique);
        std::memcpy(address.sun_path + 1, unique.constData(), std::size_t(unique.size()));
        length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(unique.size()));
    }
    m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    if (m_fd >= 0 && (::setsockopt(m_fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0 ||
                      ::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), length) != 0)) {
        ::close(m_fd);
        m_fd = -1;
    }
}

NotificationSocket::~NotificationSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<QByteArray> NotificationSocket::next(int timeoutMs)
{
    if (m_fd < 0)
        return std::nullopt;
    pollfd entry{m_fd, POLLIN, 0};
    if (::poll(&entry, 1, timeoutMs) <= 0)
        return std::nullopt;
    char buffer[4096];
    iovec part{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(m_fd, &header, 0);
    if (n < 0)
        return std::nullopt;
    m_lastSender = 0;
    for (cmsghdr *c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
            ucred credentials{};
            std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
            m_lastSender = credentials.pid;
        }
    }
    return QByteArray(buffer, qsizetype(n));
}

QByteArrayList NotificationSocket::drain()
{
    QByteArrayList messages;
    while (const std::optional<QByteArray> message = next(0))
        messages << *message;
    return messages;
}

} // namespace Movendi::Test
