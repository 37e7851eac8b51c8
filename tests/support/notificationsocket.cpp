#include "notificationsocket.h"

#include "platform/notificationrelay.h"

#include <QUuid>

#include <poll.h>
#include <unistd.h>

namespace Movendi::Test {

NotificationSocket::NotificationSocket(Kind kind)
{
    if (kind == Kind::Path) {
        if (!m_dir.isValid())
            return;
        m_name = m_dir.filePath(QStringLiteral("notify"));
    } else {
        m_name = QStringLiteral("@movendi-test-") +
                 QString::fromLatin1(QUuid::createUuid().toByteArray(QUuid::Id128));
    }
    m_fd = Platform::bindNotificationSocket(m_name.toLocal8Bit());
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
    const std::optional<Platform::NotificationRelay::Message> message =
        Platform::receiveNotification(m_fd);
    if (!message)
        return std::nullopt;
    m_lastSender = message->sender;
    return message->state;
}

QByteArrayList NotificationSocket::drain()
{
    QByteArrayList messages;
    while (const std::optional<QByteArray> message = next(0))
        messages << *message;
    return messages;
}

} // namespace Movendi::Test
