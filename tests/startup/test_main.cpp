#include "disqueenpanne.h"
#include "front/fnacceuil.h"
#include "front/kioskscreens.h"
#include "front/kiosque.h"
#include "kiosktest.h"
#include "platform/profilefile.h"
#include "sale/frmpayment.h"
#include "sale/postevente.h"
#include "sale/surveillancemagasin.h"
#include "startup/demarrage.h"
#include "startup/liaisonpaiement.h"
#include "state/disponibilite.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"

#include <QDir>
#include <QLockFile>
#include <QScopeGuard>
#include <QTest>

#include <sqlite3.h>

using namespace Movendi;
using namespace Movendi::State;
using namespace Movendi::Startup;

namespace {

class MainTest : public Test::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        layOutApplicationFolder();
    }
    void injectFault(const QString &function, const QString &code) const
    {
        ASSERT_TRUE(Platform::writeProfileString(path(QStringLiteral("epi/grafcet-sim.ini")),
                                                 QStringLiteral("Pannes"), function, code));
    }
    QString running() const
    {
        const auto flag =
            Platform::readProfileString(path(QStringLiteral("RUNAUTO.INI")),
                                        QStringLiteral("Application"), QStringLiteral("Running"));
        return flag.status == Platform::ProfileStatus::Found ? flag.value
                                                             : QStringLiteral("<absent>");
    }
    QStringList mechanismCalls() const
    {
        QStringList calls;
        for (const QString &line :
             QString::fromUtf8(readFile(QStringLiteral("epi/grafcet-sim.log")))
                 .split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            calls.append(line.section(QLatin1Char(' '), 2));
        return calls;
    }

    Front::Kiosque m_kiosque;
    Sale::PosteVente &m_poste = m_kiosque.poste();
    Front::KioskScreens &m_screens = m_kiosque.ecrans();
};

TEST_F(MainTest, Start_ReachesTheHomeScreenAndKeyFEndsInOrder)
{
    ASSERT_EQ(Main(), IssueDemarrage::EnMarche);
    EXPECT_EQ(running(), QStringLiteral("OUI"));
    EXPECT_EQ(mechanismCalls(), (QStringList{QStringLiteral("init_grafcet(50) = 0"),
                                             QStringLiteral("raz_tpv(1) = 0")}));
    ASSERT_TRUE(m_screens.accueil());
    EXPECT_TRUE(m_screens.accueil()->isVisible());
    EXPECT_EQ(m_screens.accueil()->windowTitle(), QStringLiteral("acceuil"));

    const EtatDemarrage &e = etat();
    EXPECT_EQ(e.Langue, QStringLiteral("FR"));
    EXPECT_EQ(e.CheminIni, folder() + QStringLiteral("/RURUDIZ.ini"));
    EXPECT_EQ(e.CheminImages, folder() + QStringLiteral("/image/"));
    EXPECT_EQ(e.IdentiteMachine, QStringLiteral("KIOSQUE-DEMO-01"));
    EXPECT_EQ(e.MotDePasseBase, QStringLiteral("Mv7sK"));
    EXPECT_EQ(
        e.ChaineConnexion,
        QStringLiteral(
            "uid=sa;pwd=Mv7sK;driver={SQL Server}; server=LOCALHOST;database=DBMovendi;dsn=''"));
    EXPECT_EQ(qEnvironmentVariable("MOVENDI_EPI"), folder() + QStringLiteral("/epi"));

    QTest::keyClick(m_screens.accueil(), Qt::Key_F);
    EXPECT_EQ(running(), QStringLiteral("NON"));
    EXPECT_FALSE(m_screens.accueil()->isVisible());
    EXPECT_TRUE(journalRows().isEmpty());
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

TEST_F(MainTest, StoreOrJournalRefusingWritesAtStartUp_OutOfServiceUntilTheyTakeThemAgain)
{
    using Movendi::Test::DisqueEnPanne;
    DisqueEnPanne::installer();
    struct Cas
    {
        const char *quoi;
        const char *fichier;
        bool verrou; // held by another connection, else refused as a read-only file
    };
    for (const Cas &c : {Cas{"base en lecture seule", "DBMovendi.db", false},
                         Cas{"base verrouillée", "DBMovendi.db", true},
                         Cas{"journal en lecture seule", "MAINTEN.db", false}}) {
        SCOPED_TRACE(c.quoi);
        State::disponibilite().reinitialiser();
        sqlite3 *autre = nullptr;
        if (c.verrou) {
            sqlite3_open_v2(QFile::encodeName(path(QLatin1String(c.fichier))).constData(), &autre,
                            SQLITE_OPEN_READWRITE, nullptr);
            ASSERT_EQ(sqlite3_exec(autre, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        } else {
            DisqueEnPanne::panne(DisqueEnPanne::Panne::LectureSeule,
                                 path(QLatin1String(c.fichier)));
        }
        Front::KioskScreens ecrans(m_poste);
        const InstalledEcrans installes(&ecrans);
        etat().verrouInstance.reset();
        ASSERT_EQ(Main(), IssueDemarrage::EnMarche);
        // The home screen shows, out of service, and sells nothing.
        ASSERT_TRUE(ecrans.fnAcceuil()->isVisible());
        EXPECT_TRUE(ecrans.fnAcceuil()->indisponibiliteAffichee());
        EXPECT_FALSE(State::disponibilite().disponible());

        DisqueEnPanne::panne(DisqueEnPanne::Panne::Aucune);
        if (autre) {
            sqlite3_exec(autre, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(autre);
        }
        // The next try finds it writable again.
        EXPECT_TRUE(ecrans.poste().surveillanceMagasin().essayer());
        EXPECT_FALSE(ecrans.fnAcceuil()->indisponibiliteAffichee());
        ecrans.fnAcceuil()->terminer();
    }
    // Each time the store was at fault the reason was journalled, and its return; a journal
    // that refused writes could only take the return (its fault went to the system log).
    QStringList magasin;
    for (const Movendi::Test::JournalRow &r : journalRows()) {
        if (r.contexte == QLatin1String("Magasin"))
            magasin << r.erreur;
    }
    ASSERT_EQ(magasin.size(), 5) << magasin.join(QLatin1Char('\n')).toStdString();
    for (int i : {0, 2})
        EXPECT_TRUE(magasin.at(i).startsWith(
            QStringLiteral("kiosque hors service: base de donnée non inscriptible")))
            << magasin.at(i).toStdString();
    for (int i : {1, 3, 4})
        EXPECT_TRUE(magasin.at(i).contains(QStringLiteral("remis en service")));
}

TEST_F(MainTest, InitGrafcetFails_JournalBoxAndEndWithoutRunningFlag)
{
    injectFault(QStringLiteral("init_grafcet"), QStringLiteral("3"));
    EXPECT_EQ(Main(), IssueDemarrage::EchecAutomate);
    const auto rows = journalRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).contexte, QStringLiteral("main"));
    EXPECT_EQ(rows.at(0).erreur, QStringLiteral("erreur ini_grfcet 3"));
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.shown().at(0).text, QStringLiteral("Erreur init grafcet 3"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("RUNAUTO.INI"))));
    EXPECT_FALSE(m_screens.accueilCharge());
    EXPECT_EQ(mechanismCalls(), QStringList{QStringLiteral("init_grafcet(50) = 3")});
}

TEST_F(MainTest, RazTpvFails_JournalBoxAndEndWithoutRunningFlag)
{
    injectFault(QStringLiteral("raz_tpv"), QStringLiteral("7"));
    EXPECT_EQ(Main(), IssueDemarrage::EchecAutomate);
    const auto rows = journalRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).contexte, QStringLiteral("main"));
    EXPECT_EQ(rows.at(0).erreur, QStringLiteral("erreur init moteur 7"));
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.shown().at(0).text, QStringLiteral("Erreur init moteur 7"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("RUNAUTO.INI"))));
    EXPECT_FALSE(m_screens.accueilCharge());
}

TEST_F(MainTest, LibraryMissingOrIncomplete_CountsAsInitGrafcetFailure)
{
    QFile::remove(path(QStringLiteral("libgrafcet.so")));
    EXPECT_EQ(Main(), IssueDemarrage::EchecAutomate);
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.shown().at(0).text, QStringLiteral("Erreur init grafcet -1"));

    reinitialiserEtat();
    ASSERT_TRUE(Platform::writeProfileString(
        path(QStringLiteral("RURUDIZ.ini")), QStringLiteral("Machine"), QStringLiteral("Automate"),
        Movendi::Test::binaryPath("libgrafcet_incomplete.so")));
    EXPECT_EQ(Main(), IssueDemarrage::EchecAutomate);

    const auto rows = journalRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).contexte, QStringLiteral("main"));
    EXPECT_TRUE(rows.at(0).erreur.startsWith(QStringLiteral("erreur ini_grfcet -1 (")));
    EXPECT_TRUE(rows.at(0).erreur.contains(QStringLiteral("introuvable")));
    EXPECT_TRUE(rows.at(1).erreur.contains(QStringLiteral("CloseDoor")));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("RUNAUTO.INI"))));

    // In service, the simulator in a folder the kiosk's account could write is not even opened.
    reinitialiserEtat();
    const QString copie = path(QStringLiteral("libgrafcet.so"));
    ASSERT_TRUE(QFile::copy(Movendi::Test::binaryPath("libgrafcet.so"), copie));
    ASSERT_TRUE(QFile::setPermissions(copie, QFile::permissions(copie) | QFile::WriteGroup));
    ASSERT_TRUE(Platform::writeProfileString(path(QStringLiteral("RURUDIZ.ini")),
                                             QStringLiteral("Machine"), QStringLiteral("Automate"),
                                             QStringLiteral("libgrafcet.so")));
    qunsetenv("MOVENDI_AUTOMATE_HORS_ROOT");
    const auto remettre = qScopeGuard([] { qputenv("MOVENDI_AUTOMATE_HORS_ROOT", "1"); });
    EXPECT_EQ(Main(), IssueDemarrage::EchecAutomate);
    const auto refus = journalRows();
    ASSERT_EQ(refus.size(), 3);
    EXPECT_TRUE(refus.at(2).erreur.startsWith(
        QStringLiteral("erreur ini_grfcet -1 (bibliothèque %1 refusée: ").arg(copie)))
        << refus.at(2).erreur.toStdString();
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("epi/grafcet-sim.log"))));
}

TEST_F(MainTest, FolderLockedByAnotherCopy_EndsSilentlyTouchingNothing)
{
    QLockFile other(path(QStringLiteral("movendi.lck")));
    ASSERT_TRUE(other.tryLock(0));
    const QStringList before = QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    EXPECT_EQ(Main(), IssueDemarrage::AutreCopie);
    EXPECT_EQ(QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("epi/grafcet-sim.log"))));
    EXPECT_TRUE(m_boxes.shown().isEmpty());
    EXPECT_TRUE(journalRows().isEmpty());
}

TEST_F(MainTest, NoScreens_SequenceFailureJournalledUnderMain)
{
    const InstalledEcrans aucun(nullptr);
    EXPECT_EQ(Main(), IssueDemarrage::EchecSequence);
    const auto rows = journalRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).contexte, QStringLiteral("Main"));
    EXPECT_TRUE(rows.at(0).erreur.startsWith(QStringLiteral("N°: ")));
    EXPECT_EQ(running(), QStringLiteral("NON"));
}

} // namespace
