#include "smtpserver.h"

#include "simulatorprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace Movendi::Test {

namespace {

QByteArray fileContent(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

SmtpServer::~SmtpServer()
{
    stop();
}

bool SmtpServer::start(const QStringList &refused)
{
    QStringList args{QStringLiteral(MOVENDI_SOURCE_DIR "/tests/support/smtpserver.py"),
                     m_dir.path()};
    for (const QString &address : refused)
        args << QStringLiteral("--refuse") << address;
    // Debian's aiosmtpd belongs to the system interpreter.
    m_process.start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_process.waitForStarted(5000)) {
        ADD_FAILURE() << "mail server: " << m_process.errorString().toStdString();
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine() && timer.elapsed() < 10000)
        m_process.waitForReadyRead(100);
    bool ok = false;
    m_port = quint16(m_process.readLine().trimmed().toUInt(&ok));
    if (!ok || m_port == 0) {
        ADD_FAILURE() << "mail server did not start: "
                      << m_process.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

void SmtpServer::stop()
{
    stopProcess(m_process);
}

QList<ReceivedMail> SmtpServer::mails() const
{
    QList<ReceivedMail> mails;
    for (int n = 1;; ++n) {
        const QDir folder(m_dir.filePath(QStringLiteral("mail-%1").arg(n)));
        const QByteArray envelope = fileContent(folder.filePath(QStringLiteral("envelope.json")));
        if (envelope.isEmpty())
            break;
        ReceivedMail mail;
        const QJsonObject json = QJsonDocument::fromJson(envelope).object();
        mail.mailFrom = json.value(QStringLiteral("mail_from")).toString();
        for (const QJsonValue &to : json.value(QStringLiteral("rcpt_tos")).toArray())
            mail.rcptTos << to.toString();
        mail.content = fileContent(folder.filePath(QStringLiteral("content.eml")));
        const QDir attachments(folder.filePath(QStringLiteral("attachments")));
        for (const QString &name : attachments.entryList(QDir::Files))
            mail.attachments.insert(name, fileContent(attachments.filePath(name)));
        mails << mail;
    }
    return mails;
}

} // namespace Movendi::Test
