#include "kiosktest.h"
#include "smtpserver.h"

#include "platform/profilefile.h"
#include "store/storedatabase.h"

#include <QDate>
#include <QProcess>

namespace {

class ExportTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        layOutApplicationFolder();
    }
    int exporter(const QStringList &options, QString *out) const
    {
        QProcess p;
        p.start(Movendi::Test::binaryPath("movendi-admin"),
                QStringList{QStringLiteral("export"), folder()} + options);
        // The mail server lives in its own process: waiting here blocks nothing it needs.
        p.waitForFinished(60000);
        *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

} // namespace

TEST_F(ExportTest, PeriodFilesWrittenAndMailedOnRequest)
{
    QString sortie;
    for (const QStringList &mauvais :
         {QStringList{QStringLiteral("--du"), QStringLiteral("01/12/2026")},
          QStringList{QStringLiteral("--du"), QStringLiteral("10/12/2026"), QStringLiteral("--au"),
                      QStringLiteral("01/12/2026")},
          QStringList{QStringLiteral("--du"), QStringLiteral("1-12-2026"), QStringLiteral("--au"),
                      QStringLiteral("31/12/2026")}})
        EXPECT_EQ(exporter(mauvais, &sortie), 64) << sortie.toStdString();

    Movendi::Test::SmtpServer serveur;
    ASSERT_TRUE(serveur.start());
    ASSERT_TRUE(Movendi::Platform::writeProfileString(
        path(QStringLiteral("RURUDIZ.ini")), QStringLiteral("Email"), QStringLiteral("Port"),
        QString::number(serveur.port())));
    ASSERT_EQ(
        exporter({QStringLiteral("--du"), QStringLiteral("01/11/2026"), QStringLiteral("--au"),
                  QStringLiteral("30/11/2026"), QStringLiteral("--envoyer")},
                 &sortie),
        0)
        << sortie.toStdString();
    const QDate jour = QDate::currentDate();
    const QString suffixe =
        QStringLiteral("KIOSQUE-DEMO-01%1-%2").arg(jour.day()).arg(jour.month());
    for (const QString &nom : {QStringLiteral("Ventes") + suffixe + QStringLiteral(".CSV"),
                               QStringLiteral("Recharges") + suffixe + QStringLiteral(".CSV"),
                               QStringLiteral("Telecollecte") + suffixe + QStringLiteral(".xls")}) {
        EXPECT_TRUE(sortie.contains(QStringLiteral("écrit: ") +
                                    path(QStringLiteral("RapportVentes/") + nom)))
            << sortie.toStdString();
    }
    // The template's recipients: the exports to one, the remittance workbook to another.
    const QList<Movendi::Test::ReceivedMail> mails = serveur.mails();
    ASSERT_EQ(mails.size(), 2) << sortie.toStdString();
    EXPECT_EQ(mails[0].attachments.size(), 2);
    EXPECT_EQ(mails[1].attachments.keys(),
              QStringList{QStringLiteral("Telecollecte") + suffixe + QStringLiteral(".xls")});
    EXPECT_TRUE(sortie.contains(QStringLiteral("2 mail(s) envoyé(s) sur 2")));
}
