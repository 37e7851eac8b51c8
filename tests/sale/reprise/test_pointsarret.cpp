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

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

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
    // Runs side by side: each waits on its kiosk most of the time.
    static constexpr int EnParallele = 3;

    static quint16 portFerme()
    {
        QTcpServer ecoute;
        ecoute.listen(QHostAddress::LocalHost, 0);
        return ecoute.serverPort();
    }

    // One run: a fresh folder and its devices, a sale killed at point `arret` (0: never), a
    // restarted kiosk, and what is left. Runs wait on their kiosks most of the time, so a few
    // go side by side: lancer() starts the sale, relancer() waits for it and restarts the
    // kiosk, lire() waits for the restart and reads what is left.
    struct Execution
    {
        QTemporaryDir dossier;
        Movendi::Test::TpeSimulator terminal;
        Movendi::Test::PrinterSimulator imprimante;
        QProcessEnvironment env;
        QProcess client;
        QProcess reprise;
        bool demarree = false;
        Issue issue;
    };

    // `points` lists the points reached when given.
    static std::unique_ptr<Execution> lancer(int arret, const QString &points = {})
    {
        auto x = std::make_unique<Execution>();
        const QString d = x->dossier.path();
        const Admin::InitReport init =
            Admin::initialiserDossier(d, Movendi::Test::simulatorLibraryPath());
        EXPECT_TRUE(init.ok);
        // No mail server: reports fail at once instead of waiting.
        EXPECT_TRUE(Platform::writeProfileString(QDir(d).filePath(QStringLiteral("RURUDIZ.ini")),
                                                 QStringLiteral("Email"), QStringLiteral("Port"),
                                                 QString::number(portFerme())));
        Movendi::Test::eloignerNuit(QDir(d).filePath(QStringLiteral("RURUDIZ.ini")));
        QDir().mkpath(QDir(d).filePath(QStringLiteral("dev")));
        if (!x->terminal.start({QStringLiteral("carte absente"), QStringLiteral("insertion 1"),
                                QStringLiteral("controle-autorisation")},
                               QDir(d).filePath(QStringLiteral("dev/com1"))) ||
            !x->imprimante.start(QDir(d).filePath(QStringLiteral("dev/com2"))))
            return x;

        x->env = QProcessEnvironment::systemEnvironment();
        Movendi::Test::sansControleFuitesFilm(x->env);
        x->env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        x->env.insert(QStringLiteral("MOVENDI_BOITES"), QDir(d).filePath(QStringLiteral("boites")));
        QProcessEnvironment vente = x->env;
        if (arret > 0)
            vente.insert(QStringLiteral("MOVENDI_POINT_ARRET"), QString::number(arret));
        if (!points.isEmpty())
            vente.insert(QStringLiteral("MOVENDI_POINTS"), points);

        // A customer buys a phone and a top-up; the kiosk dies at its point.
        x->client.setProcessEnvironment(vente);
        x->client.start(binaryPath("movendi-captures"),
                        {QStringLiteral("--dossier"), d, QStringLiteral("--vente"),
                         QStringLiteral("crash"), QDir(d).filePath(QStringLiteral("captures"))});
        x->demarree = true;
        return x;
    }

    static void relancer(Execution &x)
    {
        if (!x.demarree)
            return;
        const QString d = x.dossier.path();
        EXPECT_TRUE(x.client.waitForFinished(90000));
        x.issue.tue = x.client.exitStatus() == QProcess::CrashExit;

        // The kiosk starts again, settles the sale, shows its screens and ends.
        x.reprise.setProcessEnvironment(x.env);
        x.reprise.start(
            binaryPath("movendi-captures"),
            {QStringLiteral("--dossier"), d, QDir(d).filePath(QStringLiteral("captures-reprise"))});
    }

    static Issue lire(Execution &x)
    {
        if (!x.demarree)
            return x.issue;
        const QString d = x.dossier.path();
        Issue &issue = x.issue;
        EXPECT_TRUE(x.reprise.waitForFinished(90000));
        EXPECT_EQ(x.reprise.exitCode(), 0) << x.reprise.readAllStandardError().toStdString();

        issue.debits = x.terminal.count(QStringLiteral("recu trame AL011"));
        Store::StoreDatabase base(QDir(d).filePath(QStringLiteral("DBMovendi.db")));
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
    const std::unique_ptr<Execution> tout = lancer(0, points);
    relancer(*tout);
    const Issue entiere = lire(*tout);
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
    for (int premier = 1; premier <= noms.size(); premier += EnParallele) {
        const int dernier = std::min(int(noms.size()), premier + EnParallele - 1);
        std::vector<std::unique_ptr<Execution>> lot;
        for (int n = premier; n <= dernier; ++n)
            lot.push_back(lancer(n));
        for (const auto &x : lot)
            relancer(*x);
        for (int n = premier; n <= dernier; ++n) {
            SCOPED_TRACE(noms.at(n - 1).toStdString());
            const Issue issue = lire(*lot.at(n - premier));
            EXPECT_TRUE(issue.tue);
            EXPECT_EQ(issue.integrite, QStringLiteral("ok"));
            EXPECT_LE(issue.debits, 1);
            if (issue.debits > 0) {
                EXPECT_GE(issue.ventes, 1) << "a debit without its sale";
            }
            EXPECT_LE(issue.ventes, 1);
            EXPECT_EQ(issue.ouvertes, 0);
            EXPECT_TRUE(issue.casiers.isEmpty())
                << issue.casiers.join(QLatin1Char(' ')).toStdString();
            reprises += issue.ventesReprises;
        }
    }
    // Most points fall after the authorisation: their sales are settled at the restart.
    EXPECT_GT(reprises, 0);
    std::printf("points d'arrêt essayés: %lld, ventes réglées à la reprise: %d\n",
                qlonglong(noms.size()), reprises);
    RecordProperty("points", int(noms.size()));
}

} // namespace
