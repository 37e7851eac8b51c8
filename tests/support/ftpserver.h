#pragma once

#include "helperprocess.h"

#include <QString>

namespace Movendi::Test {

// A real FTP server (python3-pyftpdlib) on 127.0.0.1, started and stopped by the test.
class FtpServer
{
public:
    enum class Behaviour {
        Normal,
        RefuseLogin,
        SilentMidTransfer,
        Trickle,       // every reply a byte at a time, four a second
        CloseMidReply, // half a greeting, then closed
    };

    static constexpr const char *User = "kiosque";
    static constexpr const char *Password = "essai-ftp-loopback";

    FtpServer() = default;
    ~FtpServer();
    FtpServer(const FtpServer &) = delete;
    FtpServer &operator=(const FtpServer &) = delete;

    // The user sees `home` as "/". A server silent mid-transfer stops reading an upload after
    // silentAfterBytes and answers nothing more. Adds a test failure and returns false when the
    // server does not come up.
    bool start(const QString &home, const QString &password,
               Behaviour behaviour = Behaviour::Normal, qint64 silentAfterBytes = 1024);
    // The next start requires explicit TLS with this certificate and key.
    void requireTls(const QString &certificate, const QString &key)
    {
        m_certificate = certificate;
        m_key = key;
    }
    void stop();
    quint16 port() const { return m_port; }

private:
    HelperProcess m_server{"FTP server"};
    quint16 m_port = 0;
    QString m_certificate;
    QString m_key;
};

} // namespace Movendi::Test
