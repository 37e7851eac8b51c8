#pragma once

#include "helperprocess.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

namespace Movendi::Test {

struct ReceivedMail
{
    QString mailFrom;
    QStringList rcptTos;
    QByteArray content;
    QMap<QString, QByteArray> attachments; // decoded by the server, independently of ours
};

// A real SMTP server (python3-aiosmtpd) on 127.0.0.1, started and stopped by the test.
class SmtpServer
{
public:
    SmtpServer() = default;
    ~SmtpServer();
    SmtpServer(const SmtpServer &) = delete;
    SmtpServer &operator=(const SmtpServer &) = delete;

    // Recipients in `refused` get 550 to RCPT TO. Adds a test failure and returns false when
    // the server does not come up.
    bool start(const QStringList &refused = {});
    // The next start requires STARTTLS with this certificate and key before any mail, and,
    // with a user, AUTH with that password over TLS.
    void requireTls(const QString &certificate, const QString &key, const QString &user = {},
                    const QString &password = {})
    {
        m_tls = {certificate, key, user, password};
    }
    void stop();
    quint16 port() const { return m_port; }
    QList<ReceivedMail> mails() const;

private:
    QTemporaryDir m_dir;
    HelperProcess m_server{"mail server"};
    quint16 m_port = 0;
    QStringList m_tls; // certificate, key, user, password
};

} // namespace Movendi::Test
