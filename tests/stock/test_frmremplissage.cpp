#include "lignesenregistrees.h"
#include "mecanismeenregistre.h"
#include "screenstest.h"

#include "config/badgespersonnel.h"
#include "front/fnacceuil.h"
#include "machine/automate.h"
#include "media/frmvideo.h"
#include "platform/kiosktimer.h"
#include "platform/portoutput.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "startup/demarrage.h"
#include "state/etatdemarrage.h"
#include "stock/accespersonnel.h"
#include "stock/afficheurlcd.h"
#include "stock/frmremplissage.h"
#include "stock/inventaire.h"
#include "store/storedatabase.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <optional>
#include <ostream>
#include <string>

using namespace Movendi;
namespace Mt = Movendi::Test;

namespace {

// The display as staff read it: its two lines just before each new message clears it, and now.
class AfficheurObserve final : public Platform::PortOutput
{
public:
    bool out32(std::uint16_t port, std::uint8_t value) override
    {
        ports << port;
        // Each message starts by clearing the display: what it showed until then is complete.
        const QString avant = lignes();
        const bool avantVide = vide();
        const int effacements = display.clears();
        display.write(value);
        if (display.clears() != effacements && !avantVide)
            messages << avant;
        return true;
    }
    QString errorText() const override { return {}; }
    QString lignes() const { return display.line(0) + QLatin1Char('|') + display.line(1); }
    bool vide() const
    {
        return display.line(0).trimmed().isEmpty() && display.line(1).trimmed().isEmpty();
    }
    QStringList tous() const { return vide() ? messages : messages + QStringList{lignes()}; }

    Platform::Hd44780 display;
    QStringList messages;
    QList<std::uint16_t> ports;
};

QString ligneLCD(const QString &l1, const QString &l2)
{
    return l1.leftJustified(20) + QLatin1Char('|') + l2.leftJustified(20);
}

class RemplissageTest : public Mt::ScreensTest
{
protected:
    void SetUp() override
    {
        ScreensTest::SetUp();
        createJournal();
        useExchangeFolder();
        ASSERT_TRUE(
            m_lib.load(path(QStringLiteral("libgrafcet.so")), Machine::ControleProvenance::Aucun))
            << m_lib.errorText().toStdString();
        ASSERT_EQ(m_mecanisme.init_grafcet(Machine::InitGrafcetMode), 0);
    }
    void TearDown() override
    {
        m_lcdInstalle.reset();
        qunsetenv("MOVENDI_EPI");
        ScreensTest::TearDown();
    }

    // The home screen, then F12: the refill screen opens its tables.
    Stock::FrmRemplissage *ouvrir()
    {
        demarrer();
        QTest::keyRelease(m_screens.fnAcceuil(), Qt::Key_F12);
        traiterEvenements();
        m_lcdInstalle.emplace(&m_lcd);
        m_mecanisme.appels.clear();
        return m_screens.frmRemplissage();
    }
    void fermer()
    {
        m_screens.dechargerRemplissage();
        traiterEvenements();
    }
    QLineEdit *champ() const
    {
        return controle<QLineEdit>(m_screens.frmRemplissage(), QStringLiteral("TextCodBar"));
    }
    // As a keyboard-emulating scanner types: the characters, then Enter.
    void scanner(const QString &code)
    {
        champ()->clear();
        QTest::keyClicks(champ(), code);
        QTest::keyClick(champ(), Qt::Key_Return);
        traiterEvenements();
    }
    static QString texte(const QVariantList &ligne)
    {
        QStringList champs;
        for (const QVariant &v : ligne)
            champs << (v.isNull() ? QStringLiteral("NULL") : v.toString());
        return champs.join(QLatin1Char(','));
    }
    // The audit's rows, oldest first, as the columns' values joined by commas.
    static QStringList lignesAudit(const QString &colonnes)
    {
        Store::StoreDatabase base;
        QStringList lignes;
        for (const QVariantList &l :
             base.lire(QStringLiteral("SELECT %1 FROM AuditStock ORDER BY Id").arg(colonnes))
                 .lignes)
            lignes << texte(l);
        return lignes;
    }
    QString emplacements() const
    {
        Store::StoreDatabase base;
        QStringList lignes;
        for (const QVariantList &l :
             base.lire(QStringLiteral("SELECT * FROM EmplacementsMachine1 ORDER BY NoEmpl")).lignes)
            lignes << texte(l);
        return lignes.join(QLatin1Char('\n'));
    }
    QVariantList emplacement(int colonne, int etage) const
    {
        Store::StoreDatabase base;
        const auto r = base.lire(QStringLiteral("SELECT NoEmpl, Reference, IMEI, NoSIM, EAN13, "
                                                "NoCommande FROM EmplacementsMachine1 WHERE "
                                                "Colonne = ? AND Etage = ?"),
                                 {colonne, etage});
        return r.estVide() ? QVariantList{} : r.lignes.first();
    }
    int noEmpl(int colonne, int etage) const
    {
        return emplacement(colonne, etage).value(0).toInt();
    }
    // Only the given locations free among the levels of that kind of article.
    void seulsLibres(bool telephones, const QList<QPair<int, int>> &libres) const
    {
        sql(telephones ? QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = 104 WHERE "
                                        "Reference IS NULL AND Etage > 2")
                       : QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = 201 WHERE "
                                        "Reference IS NULL AND Etage < 3"));
        for (const auto &[c, e] : libres)
            sql(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = NULL, IMEI = NULL, "
                               "NoSIM = NULL, EAN13 = NULL, NoCommande = NULL WHERE Colonne = ? "
                               "AND Etage = ?"),
                {c, e});
    }
    QStringList contextesJournal() const
    {
        QStringList c;
        for (const Mt::JournalRow &r : journalRows())
            c << r.contexte;
        return c;
    }

    Machine::GrafcetLibrary m_lib;
    Mt::MecanismeEnregistre m_mecanisme{m_lib};
    Mt::LignesEnregistrees m_lignes;
    AfficheurObserve m_lcd;
    const Startup::InstalledAutomate m_automateInstalle{&m_mecanisme};
    const Platform::InstalledSerialLines m_lignesInstallees{&m_lignes};
    std::optional<Platform::InstalledPortOutput> m_lcdInstalle;
};

// From the demo delivery list that the staff tool writes: new units, none in the machine yet.
const QString ImeiListe = QStringLiteral("352091064433371");  // reference 106
const QString NsteListe = QStringLiteral("7201583094779745"); // reference 201

TEST_F(RemplissageTest, PhoneScanned_GoesToTheFirstFreeUpperLocationWithTheListsDetails)
{
    seulsLibres(true, {{1, 4}, {1, 3}, {2, 3}});
    Stock::FrmRemplissage *ecran = ouvrir();
    ASSERT_NE(ecran, nullptr);
    const int place = noEmpl(1, 3);

    scanner(ImeiListe);

    EXPECT_EQ(emplacement(1, 3),
              (QVariantList{place, 106, ImeiListe, QStringLiteral("8933014700071350196"),
                            QStringLiteral("3760123001069"), QStringLiteral("CMD-2026-1208")}));
    EXPECT_EQ(m_mecanisme.suite(), (QStringList{QStringLiteral("DrumPosition(%1)").arg(place),
                                                QStringLiteral("OpenDoor(%1)").arg(place)}));
    EXPECT_EQ(m_lcd.tous(),
              QStringList{ligneLCD(QStringLiteral("352091064433371Etage"), QStringLiteral(": 3"))});
    EXPECT_EQ(controle<QLineEdit>(ecran, QStringLiteral("Text2"))->text(),
              QStringLiteral("352091064433371Etage: 3").leftJustified(40));
    EXPECT_TRUE(champ()->text().isEmpty());
    EXPECT_EQ(ecran->EmplacementOuvert(), place);
    EXPECT_TRUE(m_lcd.display.fourBitMode());
    EXPECT_TRUE(std::all_of(m_lcd.ports.begin(), m_lcd.ports.end(),
                            [](std::uint16_t p) { return p == 0x378; }));

    auto *porte = controle<QPushButton>(ecran, QStringLiteral("Command1"));
    ASSERT_TRUE(porte->isVisible());
    cliquer(porte);
    EXPECT_FALSE(porte->isVisible());
    EXPECT_EQ(m_mecanisme.suite().last(), QStringLiteral("CloseDoor(%1)").arg(place));

    // The same phone again: it is there now.
    const QString avant = emplacements();
    m_mecanisme.appels.clear();
    scanner(ImeiListe);
    EXPECT_EQ(emplacements(), avant);
    EXPECT_EQ(m_lcd.tous().mid(1), (QStringList{ligneLCD(QStringLiteral("Erreur IMEI deja pre"),
                                                         QStringLiteral("sent dans le DA")),
                                                ligneLCD(QStringLiteral("352091064433371Etage"),
                                                         QStringLiteral(": 3"))}));
    EXPECT_EQ(m_mecanisme.suite(), (QStringList{QStringLiteral("DrumPosition(%1)").arg(place),
                                                QStringLiteral("OpenDoor(%1)").arg(place)}));
    EXPECT_EQ(champ()->text(), ImeiListe);
    EXPECT_TRUE(journalRows().isEmpty());
}

// The night ends by starting the film; staff on the refill screen keep it: a modal film over the
// screen they scan into would take their keystrokes. The film waits until they leave.
TEST_F(RemplissageTest, NightEnd_NoFilmOverStaffRefilling)
{
    ouvrir();
    Front::FnAcceuil *accueil = m_screens.fnAcceuil();
    bool filmMontre = false;
    // Were the film shown, its modal loop would run this; hiding the player ends that loop.
    QTimer::singleShot(0, accueil, [&] {
        filmMontre = accueil->lecteur()->isVisible();
        if (filmMontre)
            accueil->ArreterVideo();
    });
    accueil->LancerVideo();
    traiterEvenements();
    EXPECT_FALSE(filmMontre);
    EXPECT_FALSE(accueil->videoEnCours());
    EXPECT_TRUE(m_screens.frmRemplissage()->isVisible());
    fermer();
}

// The simulated display behind the kiosk's own output, mirrored where staff tools read it.
TEST_F(RemplissageTest, LcdMirror_HoldsTheTwoLinesTheDisplayShows)
{
    Stock::FrmRemplissage *ecran = ouvrir();
    m_lcdInstalle.reset();
    m_lcdInstalle.emplace(State::etat().sortieLCD.get());
    ecran->AffichezMessage(QStringLiteral("Pas d'emplacement"), QStringLiteral("disponible"));
    EXPECT_EQ(readFile(QStringLiteral("epi/lcd.txt")),
              "Pas d'emplacementdis\nponible             \n");
    const qint64 avant = m_clock.monotonicMs();
    ecran->AffichezMessage(QString(), QString());
    EXPECT_EQ(readFile(QStringLiteral("epi/lcd.txt")),
              QByteArray(20, ' ') + '\n' + QByteArray(20, ' ') + '\n');
    EXPECT_EQ(controle<QLineEdit>(ecran, QStringLiteral("Text2"))->text(),
              QStringLiteral("Pas d'emplacementdisponible").leftJustified(40));
    // The settling times pass on the clock: 16 ms, then 2 ms after each of the seven commands.
    EXPECT_GE(m_clock.monotonicMs() - avant, 30);
}

struct CasScan
{
    const char *nom;
    QString code;
    QStringList sqlAvant;
    QStringList lcd;            // messages shown
    int colonne = 0, etage = 0; // the location loaded, 0 when none
    bool champVide = false;
    int appelsMecanisme = 0;
};

void PrintTo(const CasScan &c, std::ostream *os)
{
    *os << c.nom;
}

class ScanTest : public RemplissageTest, public ::testing::WithParamInterface<CasScan>
{
};

TEST_P(ScanTest, WhatEachKindOfCodeLoadsAndShows)
{
    const CasScan &c = GetParam();
    for (const QString &s : c.sqlAvant)
        sql(s);
    ouvrir();
    const QString avant = emplacements();
    scanner(c.code);
    if (c.colonne) {
        EXPECT_EQ(emplacement(c.colonne, c.etage).value(1), 201);
        EXPECT_EQ(emplacement(c.colonne, c.etage).value(3), c.code);
    } else {
        EXPECT_EQ(emplacements(), avant);
    }
    EXPECT_EQ(m_lcd.tous(), c.lcd);
    EXPECT_EQ(champ()->text().isEmpty(), c.champVide);
    EXPECT_EQ(m_mecanisme.appels.size(), c.appelsMecanisme);
    EXPECT_TRUE(journalRows().isEmpty()) << contextesJournal().join(',').toStdString();
    fermer();
}

const QString PleinBas =
    QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = 201 WHERE Etage < 3");
const QString PleinHaut =
    QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = 104 WHERE Reference IS NULL "
                   "AND Etage > 2");

INSTANTIATE_TEST_SUITE_P(
    Codes, ScanTest,
    ::testing::Values(
        CasScan{"VoucherToTheFirstFreeLowerLocation",
                NsteListe,
                {},
                {ligneLCD(QStringLiteral("7201583094779745Etag"), QStringLiteral("e: 2"))},
                14,
                2,
                true,
                2},
        CasScan{"VoucherNeverAboveLevel2",
                NsteListe,
                {PleinBas},
                {ligneLCD(QStringLiteral("Pas d'emplacementdis"), QStringLiteral("ponible"))},
                0,
                0,
                false,
                0},
        CasScan{"PhoneWithNoCatalogueBarcodeForItsEan13",
                ImeiListe,
                {QStringLiteral(
                    "UPDATE ArticleEnStock SET CodeBar = '0000000000000' WHERE Reference = 106")},
                {},
                0,
                0,
                true,
                0},
        CasScan{"FourteenCharacters", QStringLiteral("35209106443337"), {}, {}, 0, 0, false, 0},
        CasScan{"SeventeenCharacters", QStringLiteral("72015830947797451"), {}, {}, 0, 0, false, 0},
        // Taken as text: no quote breaks the search, no wildcard matches a phone in the machine.
        CasScan{"AQuote", QStringLiteral("35209106443337'"), {}, {}, 0, 0, true, 0},
        CasScan{"PhonesFull",
                ImeiListe,
                {PleinHaut},
                {ligneLCD(QStringLiteral("Pas d'emplacementdis"), QStringLiteral("ponible"))},
                0,
                0,
                false,
                0},
        CasScan{"AWildcard", QStringLiteral("35209101410037%"), {}, {}, 0, 0, true, 0},
        CasScan{"AnUnderscore", QStringLiteral("35209101410037_"), {}, {}, 0, 0, true, 0}),
    [](const ::testing::TestParamInfo<CasScan> &cas) { return std::string(cas.param.nom); });

TEST_F(RemplissageTest, RearLoading_TurnsTheColumnToTheRearOpeningWithoutOpeningADoor)
{
    ASSERT_TRUE(
        Platform::writeProfileString(path(QStringLiteral("RURUDIZ.ini")), QStringLiteral("Machine"),
                                     QStringLiteral("ChargementArriere"), QStringLiteral("OUI")));
    Startup::LireConfiguration();
    for (const auto &[colonne, position] : {std::pair{24, 36}, std::pair{25, 1}}) {
        SCOPED_TRACE(colonne);
        sql(QStringLiteral(
            "UPDATE EmplacementsMachine1 SET Reference = 104 WHERE Reference IS NULL "
            "AND Etage > 2"));
        sql(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = NULL WHERE Colonne = ? AND "
                           "Etage = 3"),
            {colonne});
        Stock::FrmRemplissage *ecran = ouvrir();
        scanner(ImeiListe);
        EXPECT_EQ(m_mecanisme.suite(),
                  QStringList{QStringLiteral("DrumPosition(%1)").arg(position)});
        EXPECT_EQ(emplacement(colonne, 3).value(1), 106);
        EXPECT_EQ(ecran->EmplacementOuvert(), 0);
        EXPECT_FALSE(controle<QPushButton>(ecran, QStringLiteral("Command1"))->isVisible());
        sql(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = NULL, IMEI = NULL "
                           "WHERE IMEI = ?"),
            {ImeiListe});
        fermer();
    }
    EXPECT_EQ(Stock::PosCol(12), 24);
    EXPECT_EQ(Stock::PosCol(36), 12);
}

TEST_F(RemplissageTest, F11_ListsAndPrintsTheContents)
{
    sql(QStringLiteral(
        "UPDATE EmplacementsMachine1 SET Reference = NULL, IMEI = NULL, NoSIM = NULL, "
        "EAN13 = NULL, NoCommande = NULL"));
    sql(QStringLiteral("INSERT INTO ArticleEnStock (Reference, Designation, Prix, Famille, Image) "
                       "VALUES (7, 'Nokia', 2490, 1, 'nokia-105')"));
    sql(QStringLiteral("INSERT INTO EmplacementsMachine1 (NoEmpl, Colonne, Etage, Reference, IMEI) "
                       "VALUES (900, 3, 12, 7, '353456789012348')"));
    Stock::FrmRemplissage *ecran = ouvrir();
    QTest::keyRelease(champ(), Qt::Key_F11);

    auto *liste = controle<QListWidget>(ecran, QStringLiteral("List1"));
    ASSERT_TRUE(liste->isVisible());
    QStringList lignes;
    for (int i = 0; i < liste->count(); ++i)
        lignes << liste->item(i)->text();
    const QString date = Stock::dateGenerale(m_clock.now());
    EXPECT_EQ(lignes, (QStringList{date, QStringLiteral("Automate: KIOSQUE-DEMO-01"),
                                   QStringLiteral("REF.\tCOL\tETAGE\tDESIGNATION\tIMEI"),
                                   QString(110, QLatin1Char('-')),
                                   QStringLiteral("0007\t03\t12\tnokia-105  \t353456789012348")}));
    ASSERT_NE(m_lignes.derniere, nullptr);
    EXPECT_EQ(m_lignes.derniere->ouvertures,
              QStringList{QStringLiteral("%1 19200,N,8,1").arg(State::etat().PortImprimante)});
    EXPECT_EQ(m_lignes.derniere->recu, date.toLatin1() +
                                           "\r\n\nAutomate: KIOSQUE-DEMO-01\r\n\n"
                                           "... | COL | ETAG | DESIGNATION | IMEI\r\n\n" +
                                           QByteArray(48, '-') +
                                           "\n0007 | 03  | 12   | nokia-105   | 353456789012348\n" +
                                           QByteArray("\r\n\n").repeated(5) + "\x1bi\r\n");
    EXPECT_FALSE(m_lignes.derniere->isOpen());

    // The spin button walks the list and stops at both ends.
    ecran->SpinButton1_SpinUp();
    EXPECT_EQ(liste->currentRow(), -1);
    for (int i = 0; i < 7; ++i)
        ecran->SpinButton1_SpinDown();
    EXPECT_EQ(liste->currentRow(), 4);
    ecran->SpinButton1_SpinUp();
    EXPECT_EQ(liste->currentRow(), 3);
}

TEST_F(RemplissageTest, F9_DestocksTheTypedReferenceAfterPrintingTheInventory)
{
    sql(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = 105, IMEI = '1', NoSIM = '2', "
                       "EAN13 = '3', NoCommande = '4' WHERE NoEmpl = 200"));
    Store::StoreDatabase base;
    const auto places = base.lire(QStringLiteral("SELECT NoEmpl, Colonne, Etage FROM "
                                                 "EmplacementsMachine1 WHERE Reference = 105 "
                                                 "ORDER BY NoEmpl"));
    ASSERT_EQ(places.lignes.size(), 3);
    ouvrir();
    const QString reste = emplacements();

    struct CasF9
    {
        QString texte;
        bool imprime;
        QString lcd;
    };
    for (const CasF9 &c :
         {CasF9{QStringLiteral("abc"), false, QString()}, CasF9{QString(), false, QString()},
          CasF9{QStringLiteral("999"), false,
                ligneLCD(QStringLiteral("Reference inconnue"), QString())}}) {
        SCOPED_TRACE(c.texte.toStdString());
        m_lcd.messages.clear();
        m_lcd.display = Platform::Hd44780();
        champ()->setText(c.texte);
        QTest::keyRelease(champ(), Qt::Key_F9);
        EXPECT_EQ(m_lignes.derniere ? m_lignes.derniere->recu.size() : 0, 0);
        EXPECT_EQ(m_lcd.tous(), c.lcd.isEmpty() ? QStringList{} : QStringList{c.lcd});
        EXPECT_EQ(emplacements(), reste);
        EXPECT_EQ(champ()->text(), c.texte);
    }

    champ()->setText(QStringLiteral("105"));
    QTest::keyRelease(champ(), Qt::Key_F9);
    ASSERT_NE(m_lignes.derniere, nullptr);
    EXPECT_EQ(m_lignes.derniere->recu.count("0105 | "), 3);
    const auto apres =
        base.lire(QStringLiteral("SELECT NoEmpl, Colonne, Etage, Reference, IMEI, "
                                 "NoSIM, EAN13, NoCommande FROM EmplacementsMachine1 "
                                 "WHERE NoEmpl IN (?, ?, ?) ORDER BY NoEmpl"),
                  {places.lignes[0][0], places.lignes[1][0], places.lignes[2][0]});
    ASSERT_EQ(apres.lignes.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QStringList attendu;
        for (int c = 0; c < 3; ++c)
            attendu << places.lignes[i][c].toString();
        attendu << QStringList(5, QStringLiteral("NULL"));
        EXPECT_EQ(texte(apres.lignes[i]), attendu.join(QLatin1Char(',')));
    }
    EXPECT_EQ(m_lcd.tous().last(), ligneLCD(QStringLiteral("Operation effectuee"), QString()));
    EXPECT_EQ(champ()->text(), QStringLiteral("105"));
    EXPECT_TRUE(m_mecanisme.appels.isEmpty());
}

TEST_F(RemplissageTest, EveryStaffActionAudited_AWriteRefusedPresentsNothingAndDestocksNothing)
{
    seulsLibres(true, {{1, 3}, {2, 3}});
    ouvrir();
    const int place = noEmpl(1, 3);
    // The store refuses the location's record: no door is presented, the LCD says why.
    sql(QStringLiteral("CREATE TRIGGER refus BEFORE UPDATE ON EmplacementsMachine1 BEGIN "
                       "SELECT RAISE(ABORT, 'disque plein'); END"));
    scanner(ImeiListe);
    EXPECT_TRUE(m_mecanisme.suite().isEmpty()) << m_mecanisme.suite().join(' ').toStdString();
    EXPECT_EQ(m_lcd.tous(), QStringList{ligneLCD(QStringLiteral("Erreur base donnees "),
                                                 QStringLiteral("article non charge"))});
    EXPECT_TRUE(emplacement(1, 3).value(1).isNull());
    EXPECT_TRUE(contextesJournal().contains(QStringLiteral("RemplissageMachineTELE")));

    // A destocking that fails on its last location empties none of them.
    sql(QStringLiteral("DROP TRIGGER refus"));
    sql(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = 105 WHERE NoEmpl = 200"));
    sql(QStringLiteral("CREATE TRIGGER refus BEFORE UPDATE ON EmplacementsMachine1 WHEN "
                       "OLD.NoEmpl = 200 BEGIN SELECT RAISE(ABORT, 'disque plein'); END"));
    const QString avant = emplacements();
    champ()->setText(QStringLiteral("105"));
    QTest::keyRelease(champ(), Qt::Key_F9);
    EXPECT_EQ(emplacements(), avant);
    EXPECT_EQ(m_lcd.tous().last(),
              ligneLCD(QStringLiteral("Erreur base donnees "), QStringLiteral("rien destocke")));
    sql(QStringLiteral("DROP TRIGGER refus"));

    // Once the store takes them: loading, its door, the inventory and the destocking, each a
    // row of the audit.
    scanner(ImeiListe);
    champ()->setText(QStringLiteral("105"));
    QTest::keyRelease(champ(), Qt::Key_F9);
    Store::StoreDatabase base;
    const QStringList audit =
        lignesAudit(QStringLiteral("Ecran, Code, NoEmpl, Reference, Resultat"));
    const Store::ResultatRequete destockes =
        base.lire(QStringLiteral("SELECT COUNT(*) FROM AuditStock WHERE Ecran = 'Destockage'"));
    ASSERT_GE(audit.size(), 5) << audit.join(QLatin1Char('\n')).toStdString();
    // The inventory printed before the refused destocking.
    EXPECT_TRUE(audit.at(0).startsWith(
        QStringLiteral("ImprimerContenueEmplacements,NULL,NULL,NULL,inventaire imprimé: ")));
    EXPECT_EQ(audit.at(1),
              QStringLiteral("RemplissageMachineTELE,%1,%2,106,chargé").arg(ImeiListe).arg(place));
    EXPECT_EQ(audit.at(2), QStringLiteral("RemplissageMachineTELE,%1,%2,106,porte présentée")
                               .arg(ImeiListe)
                               .arg(place));
    EXPECT_TRUE(audit.at(3).startsWith(QStringLiteral("ImprimerContenueEmplacements,")));
    EXPECT_EQ(destockes.lignes.value(0).value(0).toInt(), 3);
    EXPECT_TRUE(audit.last().endsWith(QStringLiteral(",105,déstocké")));
}

// A list made by LibreOffice from a CSV, IMEIs and EAN-13 codes as number cells.
TEST_F(RemplissageTest, LibreOfficeDeliveryList_LoadsItsPhoneAndItsVoucher)
{
    QFile::remove(path(QStringLiteral("ListeIMEI.xls")));
    ASSERT_TRUE(QFile::copy(
        QStringLiteral(MOVENDI_SOURCE_DIR "/tests/stock/fixtures/ListeIMEI-libreoffice.xls"),
        path(QStringLiteral("listeimei.XLS"))));
    sql(QStringLiteral(
        "UPDATE ArticleEnStock SET CodeBar = '4006381333931' WHERE Reference = 101"));
    sql(QStringLiteral(
        "UPDATE ArticleEnStock SET CodeBar = '4006381333948' WHERE Reference = 202"));
    ouvrir();
    scanner(QStringLiteral("353456789012348"));
    scanner(QStringLiteral("5501234567890123"));

    Store::StoreDatabase base;
    const auto charges =
        base.lire(QStringLiteral("SELECT Reference, IMEI, NoSIM, EAN13, NoCommande "
                                 "FROM EmplacementsMachine1 WHERE NoCommande "
                                 "LIKE 'CMD-2026-00%' ORDER BY Reference"));
    QStringList lignes;
    for (const QVariantList &l : charges.lignes)
        lignes << texte(l);
    EXPECT_EQ(lignes, (QStringList{
                          QStringLiteral("101,353456789012348,8933150319000012345,4006381333931,"
                                         "CMD-2026-001"),
                          QStringLiteral("202,NULL,5501234567890123,4006381333948,CMD-2026-002")}));
    EXPECT_TRUE(journalRows().isEmpty()) << contextesJournal().join(',').toStdString();
}

TEST_F(RemplissageTest, MissingList_OpeningAndEveryScanJournalledNothingChanged)
{
    QFile::remove(path(QStringLiteral("ListeIMEI.xls")));
    const QString avant = emplacements();
    ouvrir();
    scanner(ImeiListe);
    EXPECT_EQ(emplacements(), avant);
    EXPECT_EQ(contextesJournal(),
              (QStringList{QStringLiteral("OuvrirTables"), QStringLiteral("LectureDouchette")}));
    EXPECT_TRUE(m_mecanisme.appels.isEmpty());
}

// The refill screen gives the kiosk back to customers by itself: its 400th tick restarts the home
// screen's automatic return, which brings the home screen back a minute later.
TEST_F(RemplissageTest, LeftOpen_TheHomeScreenComesBackAfterFiveMinutes)
{
    ouvrir();
    m_clock.advance(400 * 600 - 600);
    EXPECT_NE(m_screens.frmRemplissage(), nullptr);
    m_clock.advance(600 + 59000);
    EXPECT_NE(m_screens.frmRemplissage(), nullptr);
    m_clock.advance(1200);
    traiterEvenements();
    EXPECT_EQ(m_screens.frmRemplissage(), nullptr);
    EXPECT_TRUE(m_screens.fnAcceuil()->isVisible());
}

// With badges configured F12 only asks for one on the LCD; a listed badge scanned within
// 30 s opens the screen and names its holder in the audit; three wrong ones lock it for five
// minutes and raise an alarm.
TEST_F(RemplissageTest, StaffBadges_F12OpensOnlyForAListedBadgeAndThreeWrongOnesLockIt)
{
    // Three badges: more than one value holds, the third in a numbered key.
    const QString ini = State::etat().CheminIni;
    Platform::writeProfileString(
        ini, QStringLiteral("Machine"), QStringLiteral("BadgePersonnel"),
        Config::entreeBadge(QStringLiteral("Paul"), QStringLiteral("4012345678")) +
            QStringLiteral(" ; ") +
            Config::entreeBadge(QStringLiteral("Marc"), QStringLiteral("77777777")));
    Platform::writeProfileString(
        ini, QStringLiteral("Machine"), QStringLiteral("BadgePersonnel7"),
        Config::entreeBadge(QStringLiteral("Léa"), QStringLiteral("ABF99")));
    seulsLibres(true, {{1, 3}});
    demarrer();
    m_lcdInstalle.emplace(&m_lcd);
    Front::FnAcceuil *accueil = m_screens.fnAcceuil();
    const auto f12 = [&] {
        QTest::keyRelease(accueil, Qt::Key_F12);
        traiterEvenements();
    };
    const auto badge = [&](const QString &code) {
        QTest::keyClicks(accueil, code);
        QTest::keyClick(accueil, Qt::Key_Return);
        traiterEvenements();
    };
    const auto retourAccueil = [&] {
        QTest::keyClick(m_screens.frmRemplissage(), Qt::Key_F4);
        m_clock.advance(600);
        traiterEvenements();
        ASSERT_EQ(m_screens.frmRemplissage(), nullptr);
    };
    const QString demande = ligneLCD(QStringLiteral("Badge personnel ?"), QString());

    // No badge, a wrong one, a listed one too late: the screen stays shut.
    f12();
    EXPECT_EQ(m_screens.frmRemplissage(), nullptr);
    EXPECT_EQ(m_lcd.lignes(), demande);
    badge(QStringLiteral("4012345679"));
    EXPECT_EQ(m_screens.frmRemplissage(), nullptr);
    f12();
    m_clock.advance(Stock::AccesPersonnel::DelaiBadgeMs + 1);
    badge(QStringLiteral("4012345678"));
    EXPECT_EQ(m_screens.frmRemplissage(), nullptr);
    EXPECT_TRUE(accueil->isVisible());

    // A listed badge, an F in it that would otherwise end the program.
    f12();
    badge(QStringLiteral("ABF99"));
    ASSERT_NE(m_screens.frmRemplissage(), nullptr);
    EXPECT_TRUE(m_screens.frmRemplissage()->isVisible());
    EXPECT_FALSE(accueil->isVisible());
    scanner(ImeiListe);
    EXPECT_EQ(lignesAudit(QStringLiteral("Ecran, Resultat, Personnel")),
              (QStringList{QStringLiteral("BadgePersonnel,remplissage ouvert,Léa"),
                           QStringLiteral("RemplissageMachineTELE,chargé,Léa"),
                           QStringLiteral("RemplissageMachineTELE,porte présentée,Léa")}));
    retourAccueil();

    // Three wrong in a row: locked, the alarm in the journal, even a listed badge refused.
    for (int i = 0; i < Stock::AccesPersonnel::EssaisAvantVerrou; ++i) {
        f12();
        badge(QStringLiteral("0000"));
    }
    EXPECT_EQ(contextesJournal().count(QStringLiteral("BadgePersonnel")), 1);
    f12();
    EXPECT_NE(m_lcd.lignes(), demande);
    badge(QStringLiteral("4012345678"));
    EXPECT_EQ(m_screens.frmRemplissage(), nullptr);

    // Five minutes later the next listed badge opens it (the home screen's timers kept off
    // meanwhile: the film's player would hold the test in its own loop).
    for (Platform::KioskTimer *t : {accueil->timerAnimation(), accueil->timerVideo(),
                                    accueil->timerRetourAutomatique(), accueil->timerControl()})
        t->stop();
    m_clock.advance(Stock::AccesPersonnel::VerrouMs);
    f12();
    EXPECT_EQ(m_lcd.lignes(), demande);
    badge(QStringLiteral("4012345678"));
    ASSERT_NE(m_screens.frmRemplissage(), nullptr);
    EXPECT_TRUE(m_screens.frmRemplissage()->isVisible());
}

} // namespace
