#include "smtpserver.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Movendi::Test {

SmtpServer::~SmtpServer()
{
    stop();
}

bool SmtpServer::start(const QStringList &refused)
{
    QStringList args{m_dir.path()};
    for (const QString &address : refused)
        args << QStringLiteral("--refuse") << address;
    if (!m_tls.isEmpty()) {
        args << QStringLiteral("--tls") << m_tls.at(0) << m_tls.at(1);
        if (!m_tls.at(2).isEmpty())
            args << QStringLiteral("--auth") << m_tls.at(2) << m_tls.at(3);
    }
    m_port = m_server.startServer("smtpserver.py", args);
    return m_port != 0;
}

void SmtpServer::stop()
{
    m_server.stop();
}

QList<ReceivedMail> SmtpServer::mails() const
{
    QList<ReceivedMail> mails;
    for (int n = 1;; ++n) {
        const QDir folder(m_dir.filePath(QStringLiteral("mail-%1").arg(n)));
        const QByteArray envelope =
            HelperProcess::readAll(folder.filePath(QStringLiteral("envelope.json")));
        if (envelope.isEmpty())
            break;
        ReceivedMail mail;
        const QJsonObject json = QJsonDocument::fromJson(envelope).object();
        mail.mailFrom = json.value(QStringLiteral("mail_from")).toString();
        for (const QJsonValue &to : json.value(QStringLiteral("rcpt_tos")).toArray())
            mail.rcptTos << to.toString();
        mail.content = HelperProcess::readAll(folder.filePath(QStringLiteral("content.eml")));
        const QDir attachments(folder.filePath(QStringLiteral("attachments")));
        for (const QString &name : attachments.entryList(QDir::Files))
            mail.attachments.insert(name, HelperProcess::readAll(attachments.filePath(name)));
        mails << mail;
    }
    return mails;
}

} // namespace Movendi::Test
