// A sale of a phone and a top-up whose store refuses a write: at each of its writes in turn,
// locked by another connection, left read-only or on a full disk. Whether the kiosk goes on or
// is restarted, the card is debited at most once, every debit has its sale, no locker the
// customer reached stays full and no door opens for a sale whose journal could not be written.
// The screens, the terminal's own simulator and the mechanism simulator run in this process on
// the manual clock; the faults are real: a second connection holding the write lock, and a VFS
// under SQLite that refuses the store's writes.
#include "disqueenpanne.h"
#include "lignesenregistrees.h"
#include "screenstest.h"
#include "simulatedterminal.h"

#include "front/fnacceuil.h"
#include "i18n/constmessage.h"
#include "machine/automate.h"
#include "machine/grafcetlibrary.h"
#include "machine/machinecontrol.h"
#include "payment/etatpaiement.h"
#include "platform/kiosktimer.h"
#include "platform/pointarret.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "sale/etatvente.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"
#include "sale/postevente.h"
#include "sale/surveillancemagasin.h"
#include "startup/demarrage.h"
#include "startup/liaisonpaiement.h"
#include "state/disponibilite.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>

#include <cstdio>
#include <memory>
#include <optional>
#include <sqlite3.h>

using namespace Movendi;
using Movendi::Test::DisqueEnPanne;
using State::etat;

namespace {

// The terminal on port 1, a recording printer on every other port, as the kiosk opens them.
class LigneRoutee final : public Platform::SerialLine
{
public:
    LigneRoutee(Movendi::Test::SimulatedTerminal &terminal, QByteArray *imprime)
        : m_terminal(terminal), m_imprime(imprime)
    {
    }
    bool open(int port, const QString &reglages) override
    {
        if (port == 1)
            m_ligne = std::make_unique<Movendi::Test::SimulatedTerminalLine>(m_terminal);
        else
            m_ligne = std::make_unique<Movendi::Test::LigneEnregistree>(m_imprime);
        m_ligne->setInputLength(m_longueur);
        return m_ligne->open(port, reglages);
    }
    void close() override
    {
        if (m_ligne)
            m_ligne->close();
    }
    bool isOpen() const override { return m_ligne && m_ligne->isOpen(); }
    void setInputLength(int n) override
    {
        m_longueur = n;
        if (m_ligne)
            m_ligne->setInputLength(n);
    }
    QByteArray read() override { return m_ligne ? m_ligne->read() : QByteArray(); }
    int bytesAvailable() const override { return m_ligne ? m_ligne->bytesAvailable() : 0; }
    bool write(const QByteArray &octets) override { return m_ligne && m_ligne->write(octets); }
    QString errorText() const override { return m_ligne ? m_ligne->errorText() : QString(); }

private:
    Movendi::Test::SimulatedTerminal &m_terminal;
    QByteArray *m_imprime;
    std::unique_ptr<Platform::SerialLine> m_ligne;
    int m_longueur = 0;
};

class LignesRoutees final : public Platform::SerialLineFactory
{
public:
    explicit LignesRoutees(Movendi::Test::SimulatedTerminal &terminal) : m_terminal(terminal) {}
    std::unique_ptr<Platform::SerialLine> create(const QString &) override
    {
        return std::make_unique<LigneRoutee>(m_terminal, &imprime);
    }
    QByteArray imprime;

private:
    Movendi::Test::SimulatedTerminal &m_terminal;
};

enum class Panne { Verrou, LectureSeule, DisquePlein };
enum class Suite { Continue, Redemarre };

const char *nom(Panne p)
{
    switch (p) {
    case Panne::Verrou:
        return "verrouillée par une autre connexion";
    case Panne::LectureSeule:
        return "en lecture seule";
    case Panne::DisquePlein:
        return "disque plein";
    }
    return "";
}

// A write of the sale's store: the journal's and the recording's.
bool ecritureMagasin(const char *point)
{
    const QByteArray p(point);
    return p.startsWith("journal:") || p == "base: enregistrement de la vente";
}

struct Issue
{
    int debits = 0;
    int ventes = 0;
    int ventesSansDebit = 0; // StatutDebit 1 with a debit asked
    int journauxOuverts = 0;
    QString integrite;
    QStringList casiersPleins;     // reached by the customer, still full
    QStringList portesSansJournal; // opened for a sale whose journal does not name them
    bool enService = false;
    QStringList points; // the store writes reached
};

class PannesMagasinTest : public Movendi::Test::ScreensTest
{
protected:
    void SetUp() override
    {
        ScreensTest::SetUp();
        DisqueEnPanne::installer();
        // Mails fail at once: nothing listens there.
        QTcpServer ecoute;
        ecoute.listen(QHostAddress::LocalHost, 0);
        Platform::writeProfileString(etat().CheminIni, QStringLiteral("Email"),
                                     QStringLiteral("Port"), QString::number(ecoute.serverPort()));
        ASSERT_EQ(Startup::initialiserAutomate(), 0);
        m_magasin = path(etat().NomBase + QStringLiteral(".db"));
        ASSERT_TRUE(QFile::copy(m_magasin, path(QStringLiteral("vierge.db"))));
        DisqueEnPanne::panne(DisqueEnPanne::Panne::Aucune, m_magasin);
    }
    void TearDown() override
    {
        DisqueEnPanne::panne(DisqueEnPanne::Panne::Aucune);
        ScreensTest::TearDown();
    }

    // One sale from a fresh store, with the fault starting at the n-th write (0: never) and
    // lasting until the sale is over; then the kiosk goes on (its next try) or starts again.
    Issue vendre(int n, Panne panne, Suite suite)
    {
        for (const QString &s : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(m_magasin + s);
        EXPECT_TRUE(QFile::copy(path(QStringLiteral("vierge.db")), m_magasin));
        QFile::remove(path(QStringLiteral("epi/grafcet-sim.log")));
        State::disponibilite().reinitialiser();
        Movendi::Test::SimulatedTerminal terminal;
        terminal.apply({QStringLiteral("controle-autorisation")});
        LignesRoutees lignes(terminal);
        std::optional<Platform::InstalledSerialLines> lignesInstallees(std::in_place, &lignes);

        Issue issue;
        sqlite3 *verrou = nullptr;
        int ecritures = 0;
        std::optional<Platform::InstalledObservateurPoints> observateur(
            std::in_place, [&](const char *point) {
                if (!ecritureMagasin(point))
                    return;
                issue.points << QString::fromUtf8(point);
                if (++ecritures != n)
                    return;
                if (panne == Panne::Verrou) {
                    sqlite3_open_v2(QFile::encodeName(m_magasin).constData(), &verrou,
                                    SQLITE_OPEN_READWRITE, nullptr);
                    EXPECT_EQ(sqlite3_exec(verrou, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr),
                              SQLITE_OK);
                } else {
                    DisqueEnPanne::panne(panne == Panne::LectureSeule
                                             ? DisqueEnPanne::Panne::LectureSeule
                                             : DisqueEnPanne::Panne::DisquePlein);
                }
            });
        {
            auto kiosque = std::make_unique<Front::Kiosque>();
            Front::KioskScreens *ecrans = &kiosque->ecrans();
            Client::ClientScripte client(*ecrans, &ScreensTest::traiterEvenements);
            ecrans->reprendreVentesInterrompues();
            I18n::ChargerMessages(QStringLiteral("FR"));
            ecrans->afficherAccueil();
            traiterEvenements();
            client.toucherTuile(0);
            client.ajouterRecharge();
            client.toucher(
                Client::controle<QPushButton>(ecrans->frmChoix(), QStringLiteral("CmdVal")));
            EXPECT_FALSE(ecrans->frmPayment()->paiementEnCours());
            observateur.reset();
            if (verrou) {
                sqlite3_exec(verrou, "ROLLBACK", nullptr, nullptr, nullptr);
                sqlite3_close(verrou);
            }
            DisqueEnPanne::panne(DisqueEnPanne::Panne::Aucune);
            if (suite == Suite::Continue) {
                kiosque->poste().surveillanceMagasin().essayer();
            } else {
                // What was only in memory is gone; a new kiosk starts on the store.
                kiosque.reset();
                kiosque = std::make_unique<Front::Kiosque>();
                ecrans = &kiosque->ecrans();
                State::disponibilite().reinitialiser();
                ecrans->reprendreVentesInterrompues();
            }
            issue.enService = State::disponibilite().disponible();
        }
        lignesInstallees.reset();

        issue.debits = terminal.journalCount(QStringLiteral("recu trame AL011"));
        Store::StoreDatabase base(m_magasin);
        const auto nombre = [&base](const QString &sql) {
            return base.lire(sql).lignes.value(0).value(0).toInt();
        };
        issue.integrite =
            base.lire(QStringLiteral("PRAGMA integrity_check")).lignes.value(0).value(0).toString();
        issue.ventes = nombre(QStringLiteral("SELECT COUNT(*) FROM Ventes"));
        issue.ventesSansDebit =
            nombre(QStringLiteral("SELECT COUNT(*) FROM Ventes WHERE StatutDebit = 1"));
        issue.journauxOuverts =
            nombre(QStringLiteral("SELECT COUNT(*) FROM JournalVente WHERE Cloturee = 0"));
        QFile appels(path(QStringLiteral("epi/grafcet-sim.log")));
        if (appels.open(QIODevice::ReadOnly)) {
            const QRegularExpression ouverture(QStringLiteral("OpenDoor\\(1, (\\d+), 5\\) = 0"));
            auto it = ouverture.globalMatch(QString::fromUtf8(appels.readAll()));
            while (it.hasNext()) {
                const int noEmpl = it.next().captured(1).toInt();
                if (!base.lire(QStringLiteral("SELECT 1 FROM EmplacementsMachine1 WHERE NoEmpl = "
                                              "? AND Reference IS NOT NULL"),
                               {noEmpl})
                         .estVide())
                    issue.casiersPleins << QString::number(noEmpl);
                if (base.lire(QStringLiteral("SELECT 1 FROM JournalVente WHERE NoEmpl1 = ? OR "
                                             "NoEmpl2 = ?"),
                              {noEmpl, noEmpl})
                        .estVide())
                    issue.portesSansJournal << QString::number(noEmpl);
            }
        }
        return issue;
    }

    QString m_magasin;
};

} // namespace

TEST_F(PannesMagasinTest, StoreRefusingEachWriteOfASale_NeverTwiceNeverLostNoLockerLeftFull)
{
    // The sale without a fault lists its writes.
    const Issue entiere = vendre(0, Panne::Verrou, Suite::Continue);
    ASSERT_EQ(entiere.debits, 1);
    ASSERT_EQ(entiere.ventes, 1);
    EXPECT_TRUE(entiere.casiersPleins.isEmpty());
    EXPECT_TRUE(entiere.enService);
    const QStringList ecritures = entiere.points;
    ASSERT_GE(ecritures.size(), 9) << ecritures.join(QLatin1Char('|')).toStdString();

    int cas = 0;
    int reglees = 0;
    for (int n = 1; n <= ecritures.size(); ++n) {
        for (const Panne panne : {Panne::Verrou, Panne::LectureSeule, Panne::DisquePlein}) {
            for (const Suite suite : {Suite::Continue, Suite::Redemarre}) {
                SCOPED_TRACE(QStringLiteral("écriture %1 (%2), base %3, %4")
                                 .arg(n)
                                 .arg(ecritures.at(n - 1), QString::fromUtf8(nom(panne)),
                                      suite == Suite::Continue ? QStringLiteral("le kiosque "
                                                                                "continue")
                                                               : QStringLiteral("redémarré"))
                                 .toStdString());
                const Issue issue = vendre(n, panne, suite);
                ++cas;
                EXPECT_EQ(issue.integrite, QStringLiteral("ok"));
                EXPECT_LE(issue.debits, 1);
                EXPECT_LE(issue.ventes, 1);
                if (issue.debits == 1) {
                    EXPECT_EQ(issue.ventes, 1) << "a debit without its sale";
                    EXPECT_EQ(issue.ventesSansDebit, 0);
                }
                EXPECT_EQ(issue.journauxOuverts, 0);
                EXPECT_TRUE(issue.casiersPleins.isEmpty())
                    << issue.casiersPleins.join(QLatin1Char(' ')).toStdString();
                EXPECT_TRUE(issue.portesSansJournal.isEmpty())
                    << issue.portesSansJournal.join(QLatin1Char(' ')).toStdString();
                EXPECT_TRUE(issue.enService);
                reglees += issue.ventes;
            }
        }
    }
    std::printf("écritures de la vente: %lld, cas essayés: %d, ventes enregistrées: %d\n",
                qlonglong(ecritures.size()), cas, reglees);
    RecordProperty("cas", cas);
}
