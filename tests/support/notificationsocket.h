#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace Movendi::Test {

// The service manager's end of the notification protocol: a datagram socket bound by the test,
// on a path of its own or under a unique abstract name.
class NotificationSocket
{
public:
    enum class Kind { Path, Abstract };
    explicit NotificationSocket(Kind kind);
    ~NotificationSocket();
    NotificationSocket(const NotificationSocket &) = delete;
    NotificationSocket &operator=(const NotificationSocket &) = delete;

    bool isBound() const { return m_fd >= 0; }
    // As NOTIFY_SOCKET gives it: "/path" or "@name".
    QString name() const { return m_name; }
    // The next datagram within timeoutMs.
    std::optional<QByteArray> next(int timeoutMs);
    // Every datagram received so far.
    QByteArrayList drain();
    // The process that sent the last datagram, as the kernel says (systemd's way of telling
    // whose it is).
    qint64 lastSender() const { return m_lastSender; }

private:
    QTemporaryDir m_dir;
    QString m_name;
    int m_fd = -1;
    qint64 m_lastSender = 0;
};

} // namespace Movendi::Test
