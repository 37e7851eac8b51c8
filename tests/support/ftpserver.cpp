#include "ftpserver.h"

namespace Movendi::Test {

FtpServer::~FtpServer()
{
    stop();
}

bool FtpServer::start(const QString &home, const QString &password, Behaviour behaviour,
                      qint64 silentAfterBytes)
{
    stop();
    QStringList args{home, QLatin1String(User), password};
    if (behaviour == Behaviour::RefuseLogin)
        args << QStringLiteral("--refuse-login");
    if (behaviour == Behaviour::Trickle)
        args << QStringLiteral("--trickle") << QStringLiteral("0.25");
    if (behaviour == Behaviour::CloseMidReply)
        args << QStringLiteral("--close-mid-reply");
    if (behaviour == Behaviour::SilentMidTransfer)
        args << QStringLiteral("--silent-after") << QString::number(silentAfterBytes);
    if (!m_certificate.isEmpty())
        args << QStringLiteral("--tls") << m_certificate << m_key;
    m_port = m_server.startServer("ftpserver.py", args);
    return m_port != 0;
}

void FtpServer::stop()
{
    m_server.stop();
    m_port = 0;
}

} // namespace Movendi::Test
