// A sale killed at each point where something cannot be undone, then settled by a restarted
// kiosk: the store stays whole, the card is debited at most once, every debit has its sale and
// every locker the customer could reach is empty.
#include "dossierapplication.h"
#include "kiosktest.h"
#include "platform/profilefile.h"
#include "printersim.h"
#include "store/storedatabase.h"
#include "tpesim.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <cstdio>

using namespace Movendi;
using Movendi::Test::binaryPath;

namespace {

struct Issue
{
    bool tue = false; // the child was killed at its point
    int debits = 0;   // debit requests the terminal received
    int ventes = 0;   // Ventes rows after the restart
    int ventesReprises = 0;
    int ouvertes = 0;    // sale journals left open after the restart
    QString integrite;   // PRAGMA integrity_check
    QStringList casiers; // locations reached by the customer and not emptied
};

class PointsArretTest : public ::testing::Test
{
protected:
    static quint16 portFerme()
    {
        QTcpServer ecoute;
        ecoute.listen(QHostAddress::LocalHost, 0);
        return ecoute.serverPort();
    }

    // One run: a fresh folder and devices, a sale killed at point `arret` (0: never), a
    // restarted kiosk, and what is left. `points` lists the points reached when given.
    Issue jouer(int arret, const QString &points = {})
    {
        Issue issue;
        QTemporaryDir dossier;
        const QString d = dossier.path();
        const Admin::InitReport init =
            Admin::initialiserDossier(d, Movendi::Test::simulatorLibraryPath());
        EXPECT_TRUE(init.ok);
        // No mail server: reports fail at once instead of waiting.
        EXPECT_TRUE(Platform::writeProfileString(QDir(d).filePath(QStringLiteral("RURUDIZ.ini")),
                                                 QStringLiteral("Email"), QStringLiteral("Port"),
                                                 QString::number(portFerme())));
        QDir().mkpath(QDir(d).filePath(QStringLiteral("dev")));
        Movendi::Test::TpeSimulator terminal;
        Movendi::Test::PrinterSimulator imprimante;
        if (!terminal.start({QStringLiteral("carte absente"), QStringLiteral("insertion 1"),
                             QStringLiteral("controle-autorisation")},
                            QDir(d).filePath(QStringLiteral("dev/com1"))) ||
            !imprimante.start(QDir(d).filePath(QStringLiteral("dev/com2"))))
            return issue;

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("MOVENDI_BOITES"), QDir(d).filePath(QStringLiteral("boites")));
        QProcessEnvironment vente = env;
        if (arret > 0)
            vente.insert(QStringLiteral("MOVENDI_POINT_ARRET"), QString::number(arret));
        if (!points.isEmpty())
            vente.insert(QStringLiteral("MOVENDI_POINTS"), points);

        // A customer buys a phone and a top-up; the kiosk dies at its point.
        QProcess client;
        client.setProcessEnvironment(vente);
        client.start(binaryPath("movendi-captures"),
                     {QStringLiteral("--dossier"), d, QStringLiteral("--vente"),
                      QStringLiteral("crash"), QDir(d).filePath(QStringLiteral("captures"))});
        EXPECT_TRUE(client.waitForFinished(90000));
        issue.tue = client.exitStatus() == QProcess::CrashExit;

        // The kiosk starts again, settles the sale, shows its screens and ends.
        QProcess reprise;
        reprise.setProcessEnvironment(env);
        reprise.start(
            binaryPath("movendi-captures"),
            {QStringLiteral("--dossier"), d, QDir(d).filePath(QStringLiteral("captures-reprise"))});
        EXPECT_TRUE(reprise.waitForFinished(90000));
        EXPECT_EQ(reprise.exitCode(), 0) << reprise.readAllStandardError().toStdString();

        issue.debits = terminal.count(QStringLiteral("recu trame AL011"));
        Startup::StoreDatabase base(QDir(d).filePath(QStringLiteral("DBMovendi.db")));
        issue.integrite =
            base.lire(QStringLiteral("PRAGMA integrity_check")).lignes.value(0).value(0).toString();
        issue.ventes =
            base.lire(QStringLiteral("SELECT COUNT(*) FROM Ventes")).lignes.at(0).at(0).toInt();
        issue.ventesReprises =
            base.lire(QStringLiteral("SELECT COUNT(*) FROM Ventes WHERE Reprise = 1"))
                .lignes.at(0)
                .at(0)
                .toInt();
        issue.ouvertes =
            base.lire(QStringLiteral("SELECT COUNT(*) FROM JournalVente WHERE Cloturee = 0"))
                .lignes.at(0)
                .at(0)
                .toInt();
        // Every door the mechanism opened (none is blocked here) was reached by the customer.
        QFile appels(QDir(d).filePath(QStringLiteral("epi/grafcet-sim.log")));
        if (appels.open(QIODevice::ReadOnly)) {
            const QRegularExpression ouverture(QStringLiteral("OpenDoor\\(1, (\\d+), 5\\) = 0"));
            auto it = ouverture.globalMatch(QString::fromUtf8(appels.readAll()));
            while (it.hasNext()) {
                const QString noEmpl = it.next().captured(1);
                if (!base.lire(QStringLiteral("SELECT NoEmpl FROM EmplacementsMachine1 WHERE "
                                              "NoEmpl = ? AND Reference IS NOT NULL"),
                               {noEmpl.toInt()})
                         .estVide())
                    issue.casiers << noEmpl;
            }
        }
        return issue;
    }
};

TEST_F(PointsArretTest, SaleKilledAtEachPoint_SettledAtRestartNeitherTwiceNorLost)
{
    // The whole sale first, to list its points.
    QTemporaryDir liste;
    const QString points = liste.filePath(QStringLiteral("points"));
    const Issue entiere = jouer(0, points);
    EXPECT_FALSE(entiere.tue);
    EXPECT_EQ(entiere.debits, 1);
    EXPECT_EQ(entiere.ventes, 1);
    EXPECT_EQ(entiere.ventesReprises, 0);
    QFile fichier(points);
    ASSERT_TRUE(fichier.open(QIODevice::ReadOnly));
    const QStringList noms =
        QString::fromUtf8(fichier.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(noms.size(), 15);

    int reprises = 0;
    for (int n = 1; n <= noms.size(); ++n) {
        SCOPED_TRACE(noms.at(n - 1).toStdString());
        const Issue issue = jouer(n);
        EXPECT_TRUE(issue.tue);
        EXPECT_EQ(issue.integrite, QStringLiteral("ok"));
        EXPECT_LE(issue.debits, 1);
        if (issue.debits > 0) {
            EXPECT_GE(issue.ventes, 1) << "a debit without its sale";
        }
        EXPECT_LE(issue.ventes, 1);
        EXPECT_EQ(issue.ouvertes, 0);
        EXPECT_TRUE(issue.casiers.isEmpty()) << issue.casiers.join(QLatin1Char(' ')).toStdString();
        reprises += issue.ventesReprises;
    }
    // Most points fall after the authorisation: their sales are settled at the restart.
    EXPECT_GT(reprises, 0);
    std::printf("points d'arrêt essayés: %lld, ventes réglées à la reprise: %d\n",
                qlonglong(noms.size()), reprises);
    RecordProperty("points", int(noms.size()));
}

} // namespace
