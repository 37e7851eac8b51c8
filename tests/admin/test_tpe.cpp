// The technician's terminal checks of the staff tool, against the terminal simulator.
#include "kiosktest.h"
#include "tpesim.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

using namespace Movendi;

namespace {

struct AdminRun
{
    int code = -1;
    QStringList out;
    QString err;
    qint64 ms = 0;
};

class TpeCheckTest : public Movendi::Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        layOutApplicationFolder();
    }
    // The folder's terminal port (PortTPE 1) is the device dev/com1 of the folder.
    QString port() const { return path(QStringLiteral("dev/com1")); }
    void startTerminal(const QStringList &directives)
    {
        QDir().mkpath(path(QStringLiteral("dev")));
        ASSERT_TRUE(m_sim.start(directives, port()));
    }
    AdminRun admin(const QStringList &args) const
    {
        QProcess p;
        QElapsedTimer timer;
        timer.start();
        p.start(Movendi::Test::binaryPath("movendi-admin"), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        AdminRun run;
        run.ms = timer.elapsed();
        run.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        run.out = QString::fromUtf8(p.readAllStandardOutput())
                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        run.err = QString::fromUtf8(p.readAllStandardError());
        return run;
    }
    int journalSize() const { return int(journalRows().size()); }

    Movendi::Test::TpeSimulator m_sim;
};

} // namespace

TEST_F(TpeCheckTest, StatusPrintsTheResultAndItsMeaning)
{
    startTerminal({QStringLiteral("carte absente")});
    const AdminRun run = admin({QStringLiteral("tpe"), folder(), QStringLiteral("statut")});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    ASSERT_FALSE(run.out.isEmpty());
    EXPECT_EQ(run.out.last(), QStringLiteral("1"));
    EXPECT_TRUE(run.out.contains(
        QStringLiteral("DemSwi: 1 (terminal prêt, pas de carte dans le lecteur)")));
    EXPECT_EQ(m_sim.count(QStringLiteral("recu trame AA000")), 1);
}

TEST_F(TpeCheckTest, StatusShowsWhatWouldBeJournalledWithoutRecordingIt)
{
    startTerminal({QStringLiteral("securite 2")});
    const int before = journalSize();
    const AdminRun run = admin({QStringLiteral("tpe"), folder(), QStringLiteral("statut")});
    EXPECT_EQ(run.out.last(), QStringLiteral("-403"));
    EXPECT_TRUE(run.out.contains(
        QStringLiteral("journal: DemSwi: Lecteur hors service, sécurité activée")));
    EXPECT_EQ(journalSize(), before);
}

TEST_F(TpeCheckTest, RemittancePrintsTheReportAndBothResults)
{
    startTerminal({QStringLiteral("lot 2 2500")});
    const int before = journalSize();
    const AdminRun run = admin({QStringLiteral("tpe"), folder(), QStringLiteral("telecollecte")});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("NB REMISE: 1")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("\t25,00 EUR")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("DemTC: 255 (télécollecte complète)")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("DemTIC: 255 (compte rendu reçu)")));
    EXPECT_TRUE(run.out.filter(QStringLiteral("écran: ")).size() >= 1);
    EXPECT_EQ(journalSize(), before);
}

TEST_F(TpeCheckTest, SlowTerminalShowingSeveralScreensAfterItsRemittance)
{
    startTerminal({QStringLiteral("cadence 9600"), QStringLiteral("affichages-apres 3"),
                   QStringLiteral("lot 2 2500")});
    const AdminRun status = admin({QStringLiteral("tpe"), folder(), QStringLiteral("statut")});
    EXPECT_EQ(status.code, 0) << status.err.toStdString();
    ASSERT_FALSE(status.out.isEmpty());
    EXPECT_EQ(status.out.last(), QStringLiteral("255"));
    const AdminRun remittance =
        admin({QStringLiteral("tpe"), folder(), QStringLiteral("telecollecte")});
    EXPECT_EQ(remittance.code, 0) << remittance.err.toStdString();
    EXPECT_TRUE(remittance.out.contains(QStringLiteral("DemTC: 255 (télécollecte complète)")));
    EXPECT_TRUE(remittance.out.contains(QStringLiteral("DemTIC: 255 (compte rendu reçu)")));
    EXPECT_TRUE(remittance.out.contains(QStringLiteral("\t25,00 EUR")));
}

TEST_F(TpeCheckTest, RemittanceThatDoesNotGoThroughEndsInBoundedTimeWithAFailure)
{
    struct Row
    {
        QStringList directives;
        QString result;
    };
    const QList<Row> rows{
        // Acknowledges the line check and the request, then never takes its turn.
        {{QStringLiteral("sans-reponse")},
         QStringLiteral("DemTC: 1 (télécollecte incomplète ou sans réponse)")},
        // Remits, but its report says the call failed.
        {{QStringLiteral("rapport-statut 2")},
         QStringLiteral("DemTIC: 2 (appel erroné ou inefficace)")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.result.toStdString());
        m_sim.stop();
        startTerminal(row.directives);
        const AdminRun run = admin({QStringLiteral("tpe"), folder(), QStringLiteral("telecollecte"),
                                    QStringLiteral("--attente"), QStringLiteral("3")});
        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(run.out.contains(row.result)) << run.out.join(QLatin1Char('\n')).toStdString();
        EXPECT_LT(run.ms, 15000);
    }
}

TEST_F(TpeCheckTest, MissingPortEndsWithAClearMessage)
{
    const AdminRun run = admin({QStringLiteral("tpe"), folder(), QStringLiteral("statut")});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("le port du terminal ne s'ouvre pas")))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(port())) << run.err.toStdString();
    EXPECT_LT(run.ms, 10000);
}

TEST_F(TpeCheckTest, SilentTerminalEndsWithoutHanging)
{
    startTerminal({QStringLiteral("silence")});
    const AdminRun status = admin({QStringLiteral("tpe"), folder(), QStringLiteral("statut")});
    EXPECT_EQ(status.code, 1);
    EXPECT_EQ(status.out.last(), QStringLiteral("-400"));
    EXPECT_LT(status.ms, 15000);
    const AdminRun remittance =
        admin({QStringLiteral("tpe"), folder(), QStringLiteral("telecollecte")});
    EXPECT_EQ(remittance.code, 1);
    EXPECT_TRUE(remittance.out.contains(QStringLiteral("DemTC: -500 (le terminal ne répond pas)")));
    EXPECT_LT(remittance.ms, 10000);
}

TEST_F(TpeCheckTest, UnknownCheckIsRefused)
{
    const AdminRun run = admin({QStringLiteral("tpe"), folder(), QStringLiteral("debit")});
    EXPECT_EQ(run.code, 64);
    EXPECT_TRUE(run.err.contains(QStringLiteral("statut ou telecollecte")));
}
