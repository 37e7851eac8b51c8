// The technician's mail check of the staff tool.
#include "kiosktest.h"
#include "smtpserver.h"

#include "platform/profilefile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>

using namespace Movendi;

namespace {

class EmailCheckTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        layOutApplicationFolder();
    }
    void setting(const QString &key, const QString &value) const
    {
        ASSERT_TRUE(Platform::writeProfileString(path(QStringLiteral("RURUDIZ.ini")),
                                                 QStringLiteral("Email"), key, value));
    }
    int check(QStringList *out, qint64 *ms) const
    {
        QProcess p;
        QElapsedTimer timer;
        timer.start();
        p.start(Movendi::Test::binaryPath("movendi-admin"),
                {QStringLiteral("email"), folder(), QStringLiteral("test")});
        // Keep the event loop of this process turning: the silent server lives here.
        while (!p.waitForFinished(50) && timer.elapsed() < 30000)
            QCoreApplication::processEvents();
        *ms = timer.elapsed();
        *out = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

} // namespace

TEST_F(EmailCheckTest, TestMailGoesOutWithEachReplyPrinted)
{
    Movendi::Test::SmtpServer server;
    ASSERT_TRUE(server.start());
    setting(QStringLiteral("Port"), QString::number(server.port()));
    QStringList out;
    qint64 ms = 0;
    EXPECT_EQ(check(&out, &ms), 0) << out.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Reponse: RCPT est accepté (250 OK)")));
    EXPECT_TRUE(out.contains(QStringLiteral("Reponse: Email envoyé avec succés... "
                                            "(250 Message accepted for delivery)")));
    EXPECT_TRUE(out.contains(QStringLiteral("1 mail(s) envoyé(s) sur 1")));
    const QList<Movendi::Test::ReceivedMail> mails = server.mails();
    ASSERT_EQ(mails.size(), 1);
    EXPECT_TRUE(mails.at(0).content.contains("Subject: test\r\n"));
    EXPECT_TRUE(mails.at(0).content.contains("\r\n\r\nTest d' Email Da VUDU2\r\n"));
}

TEST_F(EmailCheckTest, SilentServerEndsInBoundedTime)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    setting(QStringLiteral("Port"), QString::number(listener.serverPort()));
    QStringList out;
    qint64 ms = 0;
    EXPECT_EQ(check(&out, &ms), 1);
    EXPECT_LT(ms, 10000);
    EXPECT_TRUE(out.contains(QStringLiteral("0 mail(s) envoyé(s) sur 1")));
}

TEST_F(EmailCheckTest, BadAddressIsShown)
{
    setting(QStringLiteral("Mailto1"), QStringLiteral("sans-arobase"));
    QStringList out;
    qint64 ms = 0;
    EXPECT_EQ(check(&out, &ms), 1);
    EXPECT_FALSE(out.filter(QStringLiteral("journal: EnvoyerEmail: N°: 5")).isEmpty())
        << out.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(journalRows().isEmpty());
}
