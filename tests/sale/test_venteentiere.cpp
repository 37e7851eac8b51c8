// Whole sales through the real screens, against the terminal simulator, the mechanism
// simulator, a printer on a pseudo-terminal and a mail server, on a clock that runs ten
// times faster than real time.
#include "brokermqtt.h"
#include "client/scaledclock.h"
#include "config/reglagesflotte.h"
#include "flotte/serviceflotte.h"
#include "front/flottekiosque.h"
#include "front/fnacceuil.h"
#include "ftpserver.h"
#include "machine/automate.h"
#include "machine/grafcetlibrary.h"
#include "machine/machinecontrol.h"
#include "media/frmvideo.h"
#include "notificationsocket.h"
#include "payment/etatpaiement.h"
#include "platform/kiosktimer.h"
#include "platform/lienmqtt.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "platform/servicenotifier.h"
#include "printersim.h"
#include "reporting/synchrserv.h"
#include "sale/etatvente.h"
#include "sale/frmchoix.h"
#include "sale/frmpayment.h"
#include "screenstest.h"
#include "smtpserver.h"
#include "startup/demarrage.h"
#include "state/disponibilite.h"
#include "state/etatdemarrage.h"
#include "state/gardes.h"
#include "store/boiteenvoi.h"
#include "store/storedatabase.h"
#include "tpesim.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

using namespace Movendi;
using State::etat;

namespace {

const QString SimulatorCard = QStringLiteral("4970101234567893");

class VenteEntiereTest : public Movendi::Test::ScreensTest
{
protected:
    void SetUp() override
    {
        ScreensTest::SetUp();
        m_fast.setFactor(10);
        m_lien.reinitialiser();
        // The mechanism, as start-up loads it.
        ASSERT_EQ(Startup::initialiserAutomate(), 0);
        ASSERT_EQ(Machine::automate().raz_tpv(Machine::RazTpvMode), 0);
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("dev"))));
        ASSERT_TRUE(m_printer.start(path(QStringLiteral("dev/com2"))));
        ASSERT_TRUE(m_mail.start());
        ini(QStringLiteral("Email"), QStringLiteral("Port"), QString::number(m_mail.port()));
    }
    void TearDown() override
    {
        m_lien.reinitialiser();
        ScreensTest::TearDown();
    }
    void ini(const QString &section, const QString &key, const QString &value) const
    {
        ASSERT_TRUE(Platform::writeProfileString(etat().CheminIni, section, key, value));
    }
    void terminal(const QStringList &directives)
    {
        ASSERT_TRUE(m_tpe.start(directives, path(QStringLiteral("dev/com1"))));
    }
    void panne(const QString &section, const QString &key, const QString &value) const
    {
        ASSERT_TRUE(Platform::writeProfileString(path(QStringLiteral("epi/grafcet-sim.ini")),
                                                 section, key, value));
    }
    // The first free location holding the reference, as the delivery picks it.
    int emplacement(int reference) const
    {
        Store::StoreDatabase base;
        return base
            .lire(QStringLiteral("SELECT MIN(NoEmpl) AS n FROM EmplacementsMachine1 WHERE "
                                 "Reference = ?"),
                  {reference})
            .valeur(0, QStringLiteral("n"))
            .toInt();
    }
    Store::ResultatRequete lire(const QString &sql, const QVariantList &p = {}) const
    {
        Store::StoreDatabase base;
        return base.lire(sql, p);
    }
    // The remittance window opens now; the idle kiosk starts its player, whose timer runs the
    // night. The player is modal: the helper watches from inside its loop. True once the kiosk
    // is back on the player; `enregistree` says whether the remittance was recorded.
    bool passerLaNuit(bool *enregistree)
    {
        const QTime maintenant = m_fast.now().time();
        etat().DebutTelecollecte = maintenant.addSecs(-60);
        etat().FinTelecollecte = maintenant.addSecs(1800);
        Front::FnAcceuil *accueil = m_screens.fnAcceuil();
        bool lecteurRevenu = false;
        *enregistree = false;
        QTimer veille;
        QObject::connect(&veille, &QTimer::timeout, [&] {
            *enregistree =
                *enregistree || !lire(QStringLiteral("SELECT Id FROM Telecollectes")).estVide();
            if (*enregistree && accueil->lecteur()->isVisible()) {
                lecteurRevenu = true;
                veille.stop();
                accueil->lecteur()->hide();
            }
        });
        veille.start(50);
        QElapsedTimer t;
        t.start();
        while (!lecteurRevenu && t.elapsed() < 60000)
            QTest::qWait(50);
        veille.stop();
        return lecteurRevenu;
    }

    Sale::FrmPayment *paiement() const { return m_screens.frmPayment(); }

    // The customer: the first tile, a top-up when asked, validate; then the payment runs. The
    // article is taken when the door opens (unless told to leave it); `pendant` runs at each
    // pass of the watch, for the tests that act during the payment.
    void acheter(bool recharge = true, bool prendre = true,
                 const std::function<void()> &pendant = {})
    {
        // A customer already on the product choice screen goes on with the basket there.
        if (!m_screens.frmChoix() || !m_screens.frmChoix()->isVisible()) {
            if (!m_screens.fnAcceuil() || !m_screens.fnAcceuil()->isVisible())
                demarrer();
            ASSERT_TRUE(m_client.toucherTuile(0));
        }
        m_reference = m_screens.frmChoix()->panier().ReferenceArticle;
        if (recharge) {
            ASSERT_TRUE(m_client.ajouterRecharge());
            m_recharge = m_screens.frmChoix()->panier().LigneRecharge.ReferenceRecharge;
        }
        Client::ClientScripte::Suivi suivi;
        suivi.prendre = prendre;
        suivi.periodeMs = 20;
        suivi.limiteMs = 60000;
        suivi.pendant = pendant;
        ASSERT_TRUE(m_client.payer(suivi));
        ASSERT_FALSE(paiement()->paiementEnCours()) << "the sale did not end";
    }
    int ventes() const
    {
        return lire(QStringLiteral("SELECT COUNT(*) AS n FROM Ventes"))
            .valeur(0, QStringLiteral("n"))
            .toInt();
    }
    // Debit amounts the terminal was asked for, in cents.
    QList<int> debits() const
    {
        QList<int> d;
        for (const QString &line : m_tpe.journal()) {
            const qsizetype at = line.indexOf(QLatin1String("recu trame AL011"));
            if (at >= 0)
                d << line.mid(at + 16, 8).toInt();
        }
        return d;
    }
    QStringList sujets() const
    {
        QStringList s;
        for (const Movendi::Test::ReceivedMail &m : m_mail.mails()) {
            for (const QByteArray &l : m.content.split('\n')) {
                if (l.startsWith("Subject: "))
                    s << QString::fromUtf8(l.mid(9).trimmed());
            }
        }
        return s;
    }

    // Outlives the screens of every test: their timers still cancel on it when they go.
    static Movendi::Client::ScaledClock &horloge()
    {
        static Movendi::Client::ScaledClock clock(10);
        return clock;
    }
    Movendi::Client::ScaledClock &m_fast = horloge();
    const Platform::InstalledClock m_rapide{&m_fast};
    Movendi::Test::TpeSimulator m_tpe;
    Movendi::Test::PrinterSimulator m_printer;
    Movendi::Test::SmtpServer m_mail;
    int m_reference = 0;
    int m_recharge = 0;
};

} // namespace

TEST_F(VenteEntiereTest, PhoneWithTopUpPaidDeliveredRecordedAndPrinted)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 2")});
    acheter();
    ASSERT_NE(m_reference, 0);
    ASSERT_NE(m_recharge, 0);

    EXPECT_EQ(ventes(), 1);
    const Store::ResultatRequete vente = lire(QStringLiteral("SELECT * FROM Ventes"));
    const int numero = vente.valeur(0, QStringLiteral("NumVente")).toInt();
    EXPECT_EQ(vente.valeur(0, QStringLiteral("NoCBClient")).toString(),
              QStringLiteral("497010******7893"));
    const Store::ResultatRequete details =
        lire(QStringLiteral("SELECT * FROM DetailVente ORDER BY Id"));
    ASSERT_EQ(details.lignes.size(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(details.valeur(i, QStringLiteral("NoVente")).toInt(), numero);
    EXPECT_EQ(details.valeur(0, QStringLiteral("RefProduit")).toInt(), m_reference);
    EXPECT_FALSE(details.valeur(0, QStringLiteral("NoIMEI")).toString().isEmpty());
    EXPECT_FALSE(details.valeur(0, QStringLiteral("NoSIM")).toString().isEmpty());
    EXPECT_EQ(details.valeur(1, QStringLiteral("RefProduit")).toInt(), m_recharge);
    EXPECT_EQ(details.valeur(1, QStringLiteral("NoSerieRecharge")).toString().size(), 16);
    EXPECT_EQ(details.valeur(1, QStringLiteral("EAN13recharge")).toString().size(), 13);
    // Both locations freed: their identifiers are nowhere in the machine any more.
    const QString imei = details.valeur(0, QStringLiteral("NoIMEI")).toString();
    const QString serie = details.valeur(1, QStringLiteral("NoSerieRecharge")).toString();
    EXPECT_TRUE(
        lire(QStringLiteral("SELECT * FROM EmplacementsMachine1 WHERE IMEI = ? OR NoSIM = ?"),
             {imei, serie})
            .estVide());

    // The printer got the described bytes, in order.
    const QByteArray octets = m_printer.bytes();
    const QByteArray client = m_lien.etat().CustomerTicketText.toLatin1();
    ASSERT_FALSE(client.isEmpty());
    const QByteArray nom = m_screens.frmChoix()->panier().InfoSociete.Nom.toLatin1();
    QByteArray attendu = client + "\r\n\n" + QByteArray(46, '.') + "\r\n\n" + "\x1b!\x28" + nom +
                         "\n" + QByteArray("\x1b!\x00", 3);
    ASSERT_TRUE(octets.startsWith(attendu)) << octets.left(400).toStdString();
    EXPECT_TRUE(octets.endsWith("\n\x1bi\r\n"));
    EXPECT_TRUE(octets.contains("MERCI A BIENTOT"));
    EXPECT_FALSE(octets.contains(SimulatorCard.toLatin1()));
    EXPECT_EQ(debits().size(), 1);
    EXPECT_TRUE(journal(QStringLiteral("make payment")).isEmpty());
    EXPECT_TRUE(m_screens.fnAcceuil()->isVisible());
    for (const Movendi::Test::JournalRow &r : journalRows())
        EXPECT_FALSE(r.erreur.contains(SimulatorCard));
}

TEST_F(VenteEntiereTest, RealisticTerminalAt9600Baud_RightAmountCardNeverInClear)
{
    // Every behaviour of a real terminal at once: 9600 baud, check characters on control
    // codes, the display cleared before the answer and nothing after it, display between the
    // blocks, second block starting with "D", print frames, blocks resent, the line handed back
    // during the PIN, request and authorisation checks, the card number glued to other digits
    // in both answers. Both payment phases end on their answer: the sale takes seconds.
    m_fast.setFactor(4);
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 2"),
              QStringLiteral("realiste"), QStringLiteral("efface-avant")});
    const qint64 debut = m_fast.monotonicMs();
    acheter();
    ASSERT_EQ(ventes(), 1);
    ASSERT_EQ(debits().size(), 1);
    EXPECT_LT(m_fast.monotonicMs() - debut, 120000);
    const qint64 cents = debits().at(0);
    EXPECT_EQ(cents, m_screens.frmChoix()->panier().LigneRecharge.PrixRechargeCentimes +
                         lire(QStringLiteral("SELECT Prix FROM ArticleEnStock WHERE Reference = ?"),
                              {m_reference})
                                 .valeur(0, QStringLiteral("Prix"))
                                 .toLongLong() /
                             100);
    const QString amount = QStringLiteral("\r\nMONTANT = %1,%2 EUR\r\n")
                               .arg(cents / 100)
                               .arg(cents % 100, 2, 10, QLatin1Char('0'));
    const QString stored = lire(QStringLiteral("SELECT Ticket FROM Ventes"))
                               .valeur(0, QStringLiteral("Ticket"))
                               .toString();
    EXPECT_TRUE(stored.contains(amount)) << stored.toStdString();         // merchant's copy
    EXPECT_TRUE(QString::fromLatin1(m_printer.bytes()).contains(amount)); // customer's copy
    EXPECT_EQ(m_tpe.count(QStringLiteral("debit refuse")), 0);

    // The card shows as its first six and last four digits, nowhere more.
    QStringList texts{QString::fromLatin1(m_printer.bytes()), stored,
                      m_lien.etat().MerchantTicketText, m_lien.etat().CustomerTicketText};
    for (const Movendi::Test::JournalRow &r : journalRows())
        texts << r.erreur;
    for (const QString &table : {QStringLiteral("Ventes"), QStringLiteral("DetailVente")}) {
        const Store::ResultatRequete rows = lire(QStringLiteral("SELECT * FROM ") + table);
        for (int i = 0; i < rows.lignes.size(); ++i) {
            for (const QVariant &value : rows.lignes.at(i))
                texts << value.toString();
        }
    }
    EXPECT_TRUE(texts.join(QLatin1Char('|')).contains(QStringLiteral("497010******7893")));
    for (const QString &text : texts) {
        EXPECT_FALSE(text.contains(SimulatorCard.left(7))) << text.toStdString();
        EXPECT_FALSE(text.contains(SimulatorCard.right(5))) << text.toStdString();
    }
}

TEST_F(VenteEntiereTest, NightAfterASale_RemittanceRecordedStoreBackedUpBackOnTheAttractPlayer)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1"),
              QStringLiteral("affichages-apres 3"), QStringLiteral("cadence 9600")});
    m_fast.setFactor(4);
    acheter(false);
    ASSERT_EQ(debits().size(), 1);
    const int centimes = debits().at(0);

    bool enregistree = false;
    const bool lecteurRevenu = passerLaNuit(&enregistree);
    ASSERT_TRUE(enregistree);
    EXPECT_TRUE(lecteurRevenu) << "the kiosk is back on the attract player";
    EXPECT_EQ(m_tpe.count(QStringLiteral("recu trame AJ00204")), 1);

    const Store::ResultatRequete r = lire(QStringLiteral("SELECT * FROM Telecollectes"));
    ASSERT_EQ(r.lignes.size(), 1);
    EXPECT_EQ(r.valeur(0, QStringLiteral("NoRemise")).toInt(), 1);
    EXPECT_EQ(r.valeur(0, QStringLiteral("NbTransaction")).toInt(), 1);
    EXPECT_EQ(r.valeur(0, QStringLiteral("Montant")).toLongLong(), qint64(centimes) * 100);
    const QString impression = r.valeur(0, QStringLiteral("Ticket")).toString();
    EXPECT_TRUE(impression.startsWith(QStringLiteral("100001\r\nBANQUE EXEMPLE 1")))
        << impression.toStdString();
    EXPECT_TRUE(impression.endsWith(QStringLiteral("Nb Trans non aboutie: 000000\r\n\r\n\r\n")));
    EXPECT_TRUE(QFileInfo::exists(
        QDir(etat().cheminEpi)
            .filePath(QStringLiteral("Sauvegarde") + etat().NomBase + QStringLiteral(".dat"))));
    EXPECT_EQ(journal(QStringLiteral("EnregistrerTelecollecte")), QStringList{})
        << journal(QStringLiteral("EnregistrerTelecollecte")).join(QLatin1Char('\n')).toStdString();
}

// The night's remittance holds a debit whose sale the store has lost: the remittance's event
// says the difference, the journal has it and the operator gets the mail.
TEST_F(VenteEntiereTest, Night_SaleMissingFromTheStore_DifferenceInTheEventTheJournalAndAMail)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    m_fast.setFactor(4);
    const Store::BoiteEnvoiActivee boite;
    acheter(false);
    acheter(false);
    ASSERT_EQ(debits().size(), 2);
    const QVariant perdue = lire(QStringLiteral("SELECT MAX(NumVente) AS n FROM Ventes"))
                                .valeur(0, QStringLiteral("n"));
    for (const char *table :
         {"DetailVente WHERE NoVente", "JournalVente WHERE NumVente", "Ventes WHERE NumVente"})
        sql(QStringLiteral("DELETE FROM %1 = ?").arg(QLatin1String(table)), {perdue});

    bool enregistree = false;
    passerLaNuit(&enregistree);
    ASSERT_TRUE(enregistree);
    const Store::ResultatRequete evenement =
        lire(QStringLiteral("SELECT Charge FROM BoiteEnvoi WHERE Type = 'telecollecte'"));
    ASSERT_EQ(evenement.lignes.size(), 1);
    const QJsonObject e =
        QJsonDocument::fromJson(evenement.lignes.at(0).at(0).toString().toUtf8()).object();
    EXPECT_EQ(e.value(QStringLiteral("nbTransactions")).toInt(), 2);
    EXPECT_EQ(e.value(QStringLiteral("local")).toObject().value(QStringLiteral("nbDebits")).toInt(),
              1);
    EXPECT_TRUE(e.value(QStringLiteral("ecart")).toBool());
    const QStringList entrees = journal(QStringLiteral("EnregistrerTelecollecte"));
    ASSERT_EQ(entrees.size(), 1);
    EXPECT_TRUE(entrees.first().startsWith(QStringLiteral("Ecart de télécollecte: remise ")));
    // The mail as the server received it (its subject encoded, being accented).
    QStringList sujetsLus;
    for (const QString &sujet : sujets()) {
        const QString prefixe = QStringLiteral("=?utf-8?B?");
        sujetsLus << (sujet.startsWith(prefixe, Qt::CaseInsensitive)
                          ? QString::fromUtf8(QByteArray::fromBase64(
                                sujet.mid(prefixe.size()).chopped(2).toLatin1()))
                          : sujet);
    }
    EXPECT_TRUE(sujetsLus.contains(QStringLiteral("Ecart de télécollecte")))
        << sujetsLus.join(QLatin1Char('|')).toStdString();
}

// The service manager's side of the watchdog, read on a thread of its own: the kiosk's waits
// that hold the UI thread would hold a reader on it too.
class ManagerWatch
{
public:
    ManagerWatch() : m_reader([this] { lire(); }) {}
    ~ManagerWatch()
    {
        m_stop = true;
        m_reader.join();
    }
    QString name() const { return m_socket.name(); }
    // The longest time between two pings, in real milliseconds, and how many came.
    std::pair<qint64, int> pings() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        qint64 longest = 0;
        for (qsizetype i = 1; i < m_pings.size(); ++i)
            longest = qMax(longest, m_pings.at(i) - m_pings.at(i - 1));
        return {longest, int(m_pings.size())};
    }

private:
    void lire()
    {
        using namespace std::chrono;
        while (!m_stop) {
            const std::optional<QByteArray> message = m_socket.next(100);
            if (!message || !message->startsWith("WATCHDOG=1"))
                continue;
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_pings << duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        }
    }

    Movendi::Test::NotificationSocket m_socket{Movendi::Test::NotificationSocket::Kind::Path};
    mutable std::mutex m_mutex;
    QList<qint64> m_pings;
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
};

TEST_F(VenteEntiereTest, SlowTerminalByDayAndByNight_TheWatchdogIsFedThroughout)
{
    // As the shipped unit has it: WatchdogSec=30, a ping every 15 s. The terminal dials the bank
    // before it takes its turn: a minute for the solvency, ten for the remittance. On this clock
    // a real second is ten of the kiosk's.
    constexpr int Facteur = 10;
    m_fast.setFactor(Facteur);
    ManagerWatch manager;
    QProcessEnvironment env;
    env.insert(QStringLiteral("NOTIFY_SOCKET"), manager.name());
    env.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("30000000"));
    Platform::ServiceNotifier notifier(env);
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1"),
              QStringLiteral("delai-tour solvabilite %1").arg(60000 / Facteur),
              QStringLiteral("delai-tour telecollecte %1").arg(600000 / Facteur)});
    demarrer();
    notifier.notifyReady();
    acheter(false);
    ASSERT_EQ(ventes(), 1);
    ASSERT_EQ(debits().size(), 1);

    // The night, from the attract player as the idle kiosk runs it.
    const QTime maintenant = m_fast.now().time();
    etat().DebutTelecollecte = maintenant.addSecs(-60);
    etat().FinTelecollecte = maintenant.addSecs(3600);
    bool enregistree = false;
    QElapsedTimer t;
    t.start();
    while (!enregistree && t.elapsed() < 150000) {
        QTest::qWait(100);
        enregistree = !lire(QStringLiteral("SELECT Id FROM Telecollectes")).estVide();
    }
    if (m_screens.fnAcceuil()->lecteur()->isVisible())
        m_screens.fnAcceuil()->lecteur()->hide();
    EXPECT_TRUE(enregistree) << "the remittance did not complete";
    const auto [plusLongMs, nombre] = manager.pings();
    std::printf("pings: %d, plus long intervalle: %lld s (horloge du kiosque)\n", nombre,
                qlonglong(plusLongMs * Facteur / 1000));
    EXPECT_GE(nombre, 40);
    EXPECT_LT(plusLongMs * Facteur, 30000) << "the service manager would have killed the kiosk";
}

TEST_F(VenteEntiereTest,
       UploadAndMailRefused_JournalledTheNextGoesNightMeetsNoCustomerNorRemitsTwice)
{
    // The server refuses one waiting workbook for the third run running (a folder has its name):
    // it is set aside and the sale's own workbook goes.
    Movendi::Test::FtpServer ftp;
    const QString home = path(QStringLiteral("ftp"));
    const QString refuse = QStringLiteral("SyncKIOSQUE-DEMO-0101122026080000.xls");
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/Telvio/Sync/") + refuse));
    ASSERT_TRUE(ftp.start(home, QLatin1String(Movendi::Test::FtpServer::Password)));
    ini(QStringLiteral("FTP"), QStringLiteral("Port"), QString::number(ftp.port()));
    ini(QStringLiteral("FTP"), QStringLiteral("MotDePasse"),
        QLatin1String(Movendi::Test::FtpServer::Password));
    writeFile(QStringLiteral("SyncrhoServ/") + refuse, "refusé");
    sql(QStringLiteral("INSERT INTO FichierTransfer (NomFichier, Echecs) VALUES (?, 2)"), {refuse});
    // The remittance workbook's recipient is refused by the mail server.
    m_mail.stop();
    ASSERT_TRUE(m_mail.start({QStringLiteral("refuse@compta.test")}));
    ini(QStringLiteral("Email"), QStringLiteral("Port"), QString::number(m_mail.port()));
    ini(QStringLiteral("Email"), QStringLiteral("Mailto Rapport Telvio1"),
        QStringLiteral("refuse@compta.test"));
    // The terminal dials the bank for half a minute before it remits.
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1"),
              QStringLiteral("delai-tour telecollecte 3000")});
    acheter(false);
    ASSERT_EQ(ventes(), 1);
    EXPECT_TRUE(
        journal(QStringLiteral("TransferFTP"))
            .join(QLatin1Char('|'))
            .contains(refuse + QStringLiteral(" refusé par le serveur 3 fois, mis de côté")));
    const QStringList recus = QDir(home + QStringLiteral("/Telvio/Sync")).entryList(QDir::Files);
    EXPECT_EQ(recus.size(), 1) << "the sale's workbook went";

    // The night: a customer touches a tile while the terminal remits.
    const int statutsAvantLaNuit = m_tpe.count(QStringLiteral("recu trame AA000"));
    const QTime maintenant = m_fast.now().time();
    etat().DebutTelecollecte = maintenant.addSecs(-60);
    etat().FinTelecollecte = maintenant.addSecs(3600);
    Front::FnAcceuil *accueil = m_screens.fnAcceuil();
    bool toucheePendantLaNuit = false;
    bool indisponiblePendantLaNuit = false;
    bool choixMontre = false;
    bool enregistree = false;
    QTimer veille;
    QObject::connect(&veille, &QTimer::timeout, [&] {
        if (State::nuitEnCours() && !toucheePendantLaNuit) {
            toucheePendantLaNuit = true;
            indisponiblePendantLaNuit = accueil->indisponibiliteAffichee();
            QTest::mouseClick(controle<QLabel>(accueil, QStringLiteral("Image1"), 0),
                              Qt::LeftButton);
        }
        choixMontre = choixMontre || m_screens.frmChoix()->isVisible();
        enregistree =
            enregistree || !lire(QStringLiteral("SELECT Id FROM Telecollectes")).estVide();
        if (enregistree && !State::nuitEnCours() && accueil->lecteur()->isVisible()) {
            veille.stop();
            accueil->lecteur()->hide();
        }
    });
    veille.start(50);
    QElapsedTimer t;
    t.start();
    while (veille.isActive() && t.elapsed() < 60000)
        QTest::qWait(50);
    veille.stop();
    ASSERT_TRUE(enregistree);
    EXPECT_TRUE(toucheePendantLaNuit);
    EXPECT_TRUE(indisponiblePendantLaNuit);
    EXPECT_FALSE(choixMontre) << "a sale started during the night";
    EXPECT_EQ(m_tpe.count(QStringLiteral("recu trame AA000")), statutsAvantLaNuit)
        << "the terminal was asked for a card during the night";
    EXPECT_TRUE(State::disponibilite().disponible()) << "back in service after the night";
    EXPECT_FALSE(accueil->indisponibiliteAffichee());
    EXPECT_TRUE(journal(QStringLiteral("EnvoyerEmailRapportCSV"))
                    .join(QLatin1Char('|'))
                    .contains(QStringLiteral("550")));

    // Restarted inside the window, the kiosk does not remit again.
    {
        Front::Kiosque relance;
        relance.ecrans().charger();
        relance.ecrans().fnAcceuil()->supervision()->VerifierSauvegarde();
    }
    EXPECT_EQ(m_tpe.count(QStringLiteral("recu trame AJ00204")), 1);
}

TEST_F(VenteEntiereTest, DoorThatDidNotOpen_TopUpOnlyDebitedArticleKept)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    demarrer();
    ASSERT_TRUE(m_client.toucherTuile(0));
    const int reference = m_screens.frmChoix()->panier().ReferenceArticle;
    const int empl = emplacement(reference);
    cliquer(controle<QPushButton>(m_screens.frmChoix(), QStringLiteral("CmdAnn")));
    panne(QStringLiteral("Portes"), QStringLiteral("Bloquee"), QString::number(empl));
    m_fast.setFactor(2); // the mails need their seconds
    acheter();
    EXPECT_EQ(
        lire(QStringLiteral("SELECT Reference FROM EmplacementsMachine1 WHERE NoEmpl = ?"), {empl})
            .valeur(0, QStringLiteral("Reference"))
            .toInt(),
        reference);
    ASSERT_EQ(debits().size(), 1);
    EXPECT_EQ(debits().at(0), m_screens.frmChoix()->panier().LigneRecharge.PrixRechargeCentimes);
    EXPECT_TRUE(m_printer.text().contains(QStringLiteral("PB. DISTRIBUTION")));
    EXPECT_EQ(sujets(), QStringList{QStringLiteral("Rapport de panne DA Telephone mobile")});
    EXPECT_EQ(lire(QStringLiteral("SELECT * FROM DetailVente")).lignes.size(), 2);
}

TEST_F(VenteEntiereTest, DrumThatFailsToPosition_TwoMailsTwoEntries)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    panne(QStringLiteral("Pannes"), QStringLiteral("DrumPosition"), QStringLiteral("4"));
    m_fast.setFactor(2); // the mails need their seconds
    acheter(false);
    EXPECT_EQ(sujets().size(), 2);
    const QStringList entrees = journal(QStringLiteral("MiseAJourStock"));
    ASSERT_EQ(entrees.size(), 2);
    EXPECT_TRUE(entrees.at(0).startsWith(QStringLiteral("Erreur automate 4 distribution Ref: ")));
    EXPECT_TRUE(
        entrees.at(1).startsWith(QStringLiteral("Erreur automate porte pas ouverte Ref: ")));
    ASSERT_EQ(debits().size(), 1);
    EXPECT_EQ(debits().at(0), 0);
}

TEST_F(VenteEntiereTest, ArticleWithoutLocation_NoMailTopUpDebited)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    // The article leaves the machine while the customer pays (a staff destocking, say).
    bool retire = false;
    acheter(true, true, [&] {
        if (!retire && paiement()->isVisible()) {
            retire = true;
            sql(QStringLiteral("UPDATE EmplacementsMachine1 SET Reference = NULL, IMEI = NULL "
                               "WHERE Reference = ?"),
                {m_screens.frmChoix()->panier().ReferenceArticle});
        }
    });
    ASSERT_TRUE(retire);
    ASSERT_EQ(debits().size(), 1);
    EXPECT_EQ(debits().at(0), m_screens.frmChoix()->panier().LigneRecharge.PrixRechargeCentimes);
    const QStringList entrees = journal(QStringLiteral("MiseAJourStock"));
    ASSERT_FALSE(entrees.isEmpty());
    EXPECT_TRUE(
        entrees.at(0).startsWith(QStringLiteral("Erreur automate à la distribution Ref: ")));
    EXPECT_TRUE(sujets().isEmpty());
}

TEST_F(VenteEntiereTest, BothItemsFailing_DebitForZero)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    panne(QStringLiteral("Portes"), QStringLiteral("Bloquee"), QStringLiteral("*"));
    acheter();
    ASSERT_EQ(debits().size(), 1);
    EXPECT_EQ(debits().at(0), 0);
    EXPECT_EQ(etat().MontantAPayer, Money::Monnaie());
}

TEST_F(VenteEntiereTest, TerminalNotAvailable_ThreeRequestsThenHome)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1"),
              QStringLiteral("solvabilite refuse 1")});
    acheter();
    EXPECT_EQ(m_tpe.count(QStringLiteral("recu trame AK016")), 3);
    EXPECT_EQ(ventes(), 0);
    EXPECT_EQ(journal(QStringLiteral("make payment")),
              QStringList{QStringLiteral("sortie par payer=faux")});
}

TEST_F(VenteEntiereTest, RefusedCard_OneRequestNothingRecorded)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1"),
              QStringLiteral("solvabilite refuse 9 20")});
    acheter();
    EXPECT_EQ(m_tpe.count(QStringLiteral("recu trame AK016")), 1);
    EXPECT_EQ(ventes(), 0);
    EXPECT_TRUE(m_printer.bytes().isEmpty());
}

TEST_F(VenteEntiereTest, NoCardWithinAMinute)
{
    terminal({QStringLiteral("carte absente")});
    QElapsedTimer t;
    t.start();
    acheter(false);
    EXPECT_LT(t.elapsed(), 30000);
    EXPECT_EQ(journal(QStringLiteral("make payment")),
              QStringList{QStringLiteral("sortie par payer=faux")});
    EXPECT_EQ(m_tpe.count(QStringLiteral("recu trame AK016")), 0);
}

TEST_F(VenteEntiereTest, CardInsertedAfterCancelStillSells)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 8")});
    bool annule = false;
    bool minuteurs = false;
    bool couverte = false;
    acheter(true, true, [&] {
        if (!annule && paiement()->isVisible() &&
            paiement()->CommandButtonAnnulation()->isVisible()) {
            annule = true;
            paiement()->CommandButtonAnnulation()->click();
        } else if (annule && !minuteurs && paiement()->CmdTicketFermPorte()->isVisible()) {
            // The home screen stayed shown behind the sale: neither its animation nor its
            // automatic return may take the customer away from the delivery.
            minuteurs = true;
            for (int i = 0; i < 10; ++i)
                emit m_screens.fnAcceuil()->timerAnimation()->timeout();
            emit m_screens.fnAcceuil()->timerRetourAutomatique()->timeout();
            couverte =
                !paiement()->isVisible() || QApplication::activeWindow() == m_screens.fnAcceuil();
        }
    });
    EXPECT_TRUE(annule);
    EXPECT_TRUE(minuteurs);
    EXPECT_FALSE(couverte);
    EXPECT_EQ(ventes(), 1);
    // The frozen basket, its own amount from the authorisation to the ticket.
    const qint64 panier = paiement()->panier().MontantAPayer.centimes();
    EXPECT_EQ(m_tpe.count(QStringLiteral("recu trame AK0160") +
                          QString::number(panier).rightJustified(8, QLatin1Char('0'))),
              1);
    EXPECT_EQ(debits(), QList<int>{int(panier)});
    EXPECT_TRUE(m_printer.text().contains(QStringLiteral("MONTANT = %1,%2 EUR")
                                              .arg(panier / 100)
                                              .arg(panier % 100, 2, 10, QLatin1Char('0'))));
}

TEST_F(VenteEntiereTest, NewBasketAfterCancel_EndsTheEarlierCardWaitNothingCharged)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 6")});
    demarrer();
    ASSERT_TRUE(m_client.toucherTuile(0));
    const int premier = m_screens.frmChoix()->panier().ReferenceArticle;
    enum { Paiement, Annule, Tuile, Recharge, Fini } etape = Paiement;
    QTimer client;
    QObject::connect(&client, &QTimer::timeout, [&] {
        if (etape == Paiement && paiement()->isVisible() &&
            paiement()->CommandButtonAnnulation()->isVisible() &&
            m_tpe.count(QStringLiteral("recu trame AA000")) >= 1) {
            etape = Annule;
            paiement()->CommandButtonAnnulation()->click();
        } else if (etape == Annule && m_screens.fnAcceuil()->isVisible()) {
            // Another article, while the cancelled payment still waits for its card.
            etape = Tuile;
            QTest::mouseClick(controle<QLabel>(m_screens.fnAcceuil(), QStringLiteral("Image1"), 1),
                              Qt::LeftButton);
        } else if (etape == Tuile && m_screens.frmChoix()->isVisible() &&
                   m_screens.frmChoix()->panier().ReferenceArticle != premier) {
            etape = Recharge;
            ASSERT_TRUE(m_client.ajouterRecharge());
        } else if (etape == Recharge) {
            etape = Fini;
        }
    });
    client.start(20);
    cliquer(controle<QPushButton>(m_screens.frmChoix(), QStringLiteral("CmdVal")));
    QElapsedTimer t;
    t.start();
    while (etape != Fini && t.elapsed() < 30000)
        QTest::qWait(20);
    client.stop();
    ASSERT_EQ(etape, Fini);
    // The card the terminal would have seen at its sixth poll finds no payment waiting.
    QTest::qWait(1500);
    EXPECT_FALSE(paiement()->paiementEnCours());
    EXPECT_EQ(m_tpe.count(QStringLiteral("recu trame AK016")), 0);
    EXPECT_EQ(ventes(), 0);
    EXPECT_EQ(journal(QStringLiteral("make payment")),
              QStringList{QStringLiteral("sortie par payer=faux")});
    EXPECT_TRUE(m_screens.frmChoix()->isVisible());

    // The new basket is then paid for what it holds: the other article and its top-up.
    const qint64 nouveau = etat().MontantAPayer.centimes();
    EXPECT_NE(m_screens.frmChoix()->panier().LigneRecharge.ReferenceRecharge, 0);
    acheter(false);
    EXPECT_NE(m_reference, premier);
    EXPECT_EQ(ventes(), 1);
    EXPECT_EQ(debits(), QList<int>{int(nouveau)});
}

TEST_F(VenteEntiereTest, ZeroPriceArticle_NotSold)
{
    terminal({QStringLiteral("carte presente")});
    demarrer();
    const QString premier =
        controle<QLabel>(m_screens.fnAcceuil(), QStringLiteral("Label1"), 0)->text();
    // The staff set the price to zero after the home screen showed the article.
    sql(QStringLiteral("UPDATE ArticleEnStock SET Prix = 0 WHERE Designation = ?"), {premier});
    // The product choice screen says it is unavailable and goes back home by itself.
    ASSERT_TRUE(m_client.toucherTuile(0));
    QElapsedTimer t;
    t.start();
    while (!m_screens.fnAcceuil()->isVisible() && t.elapsed() < 10000)
        QTest::qWait(20);
    // Back home, the article is no longer offered.
    ASSERT_TRUE(m_screens.fnAcceuil()->isVisible());
    EXPECT_NE(controle<QLabel>(m_screens.fnAcceuil(), QStringLiteral("Label1"), 0)->text(),
              premier);
    EXPECT_EQ(m_tpe.count(QStringLiteral("recu trame AK016")), 0);
    EXPECT_EQ(ventes(), 0);
}

TEST_F(VenteEntiereTest, DebitRefusedAfterAGoodSale_RecordedMarkedPrintedAsNotDebitedAndMailed)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1"),
              QStringLiteral("debit accepte"), QStringLiteral("debit refuse 4")});
    m_fast.setFactor(2); // the mail needs its second
    acheter(false);
    ASSERT_EQ(ventes(), 1);
    const qsizetype avant = m_printer.bytes().size();
    acheter(false);
    ASSERT_EQ(ventes(), 2);
    const Store::ResultatRequete v =
        lire(QStringLiteral("SELECT NumVente, StatutDebit, NoCBClient, NoRemiseTelecollecte, "
                            "Ticket FROM Ventes ORDER BY NumVente"));
    EXPECT_EQ(v.valeur(0, QStringLiteral("StatutDebit")).toInt(), 0);
    EXPECT_EQ(v.valeur(1, QStringLiteral("StatutDebit")).toInt(), 1);
    // Nothing of the first sale's debit goes with the second.
    EXPECT_TRUE(v.valeur(1, QStringLiteral("NoCBClient")).toString().isEmpty());
    EXPECT_EQ(v.valeur(1, QStringLiteral("NoRemiseTelecollecte")).toInt(), 0);
    EXPECT_FALSE(
        v.valeur(1, QStringLiteral("Ticket")).toString().contains(QStringLiteral("AUTO:")));
    const QByteArray second = m_printer.bytes().mid(avant);
    EXPECT_FALSE(second.contains("TICKET CLIENT A CONSERVER"));
    EXPECT_FALSE(second.contains("MONTANT = "));
    EXPECT_TRUE(second.contains("PAIEMENT NON DEBITE"));
    const QStringList journal = this->journal(QStringLiteral("EnregistrerCommande"));
    ASSERT_EQ(journal.size(), 1);
    EXPECT_TRUE(journal.at(0).contains(QStringLiteral("non débitée")))
        << journal.at(0).toStdString();
    EXPECT_EQ(sujets(), QStringList{QStringLiteral("Vente non debitee DA Telephone mobile")});
}

TEST_F(VenteEntiereTest, DoorClosingFailsAfterTheCustomerReachedIt_LockerFreedIdentifiersKept)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    panne(QStringLiteral("Pannes"), QStringLiteral("CloseDoor"), QStringLiteral("3"));
    m_fast.setFactor(2); // the fault mails need their seconds
    acheter(false);
    ASSERT_EQ(ventes(), 1);
    const QString imei = lire(QStringLiteral("SELECT NoIMEI FROM DetailVente"))
                             .valeur(0, QStringLiteral("NoIMEI"))
                             .toString();
    EXPECT_FALSE(imei.isEmpty());
    EXPECT_TRUE(lire(QStringLiteral("SELECT * FROM EmplacementsMachine1 WHERE IMEI = ?"), {imei})
                    .estVide());
    EXPECT_EQ(debits(), QList<int>{int(paiement()->panier().MontantAPayer.centimes())});
}

TEST_F(VenteEntiereTest, TicketOff_NothingPrintedButPrompt)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    etat().TicketActif = false;
    bool invite = false;
    acheter(true, true, [&] {
        invite =
            invite || paiement()->MonnaieDispo()->text() == QStringLiteral("PRENEZ VOTRE TICKET !");
    });
    EXPECT_EQ(ventes(), 1);
    EXPECT_TRUE(m_printer.bytes().isEmpty());
    EXPECT_TRUE(invite);
}

TEST_F(VenteEntiereTest, EnglishSale_PrintsEnglishNamesKeepsFrenchRecords)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    demarrer();
    cliquer(controle<QPushButton>(m_screens.fnAcceuil(), QStringLiteral("CmdEN")));
    acheter();
    const Store::ResultatRequete d = lire(QStringLiteral(
        "SELECT d.Designation, a.Designation AS fr, a.DesignationEN AS en FROM DetailVente d "
        "JOIN ArticleEnStock a ON a.Reference = d.RefProduit ORDER BY d.Id"));
    ASSERT_EQ(d.lignes.size(), 2);
    EXPECT_EQ(d.valeur(0, QStringLiteral("Designation")), d.valeur(0, QStringLiteral("fr")));
    EXPECT_TRUE(m_printer.text().contains(d.valeur(0, QStringLiteral("en")).toString()));
}

TEST_F(VenteEntiereTest, RecordingRefused_OutOfServiceUntilTheStoreTakesItThenSettledAndSelling)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    // The store refuses new details: nothing of the sale goes in.
    sql(QStringLiteral("CREATE TRIGGER refus BEFORE INSERT ON DetailVente BEGIN "
                       "SELECT RAISE(ABORT, 'disque plein'); END"));
    acheter();
    EXPECT_FALSE(journal(QStringLiteral("EnregistrerCommande")).isEmpty());
    EXPECT_EQ(journal(QStringLiteral("Magasin")).size(), 1);
    EXPECT_TRUE(sujets().contains(QStringLiteral("Kiosque hors service DA Telephone mobile")));
    EXPECT_TRUE(m_printer.bytes().isEmpty());
    ASSERT_EQ(debits().size(), 1);

    // Out of service: the home screen says so and sells nothing.
    Front::FnAcceuil *accueil = m_screens.fnAcceuil();
    EXPECT_TRUE(accueil->isVisible());
    EXPECT_TRUE(accueil->indisponibiliteAffichee());
    m_client.toucherTuile(0);
    EXPECT_FALSE(m_screens.frmChoix()->isVisible());

    // The store takes writes again: the sale is recorded from its journal, without a second
    // debit, and the kiosk is back in service.
    sql(QStringLiteral("DROP TRIGGER refus"));
    QElapsedTimer t;
    t.start();
    while (accueil->indisponibiliteAffichee() && t.elapsed() < 20000)
        QTest::qWait(50);
    ASSERT_FALSE(accueil->indisponibiliteAffichee());
    EXPECT_EQ(lire(QStringLiteral("SELECT * FROM Ventes WHERE Reprise = 1")).lignes.size(), 1);
    EXPECT_EQ(lire(QStringLiteral("SELECT * FROM DetailVente")).lignes.size(), 2);
    EXPECT_EQ(debits().size(), 1);

    acheter();
    EXPECT_EQ(lire(QStringLiteral("SELECT * FROM DetailVente")).lignes.size(), 4);
    EXPECT_EQ(debits().size(), 2);
}

TEST_F(VenteEntiereTest, TicketAmountsAndTopUpDesignation)
{
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    sql(QStringLiteral("UPDATE ArticleEnStock SET Prix = 499000 WHERE Famille = 1"));
    acheter(false);
    const QString ticket = m_printer.text();
    EXPECT_TRUE(ticket.contains(QStringLiteral("41,72 EUR"))) << ticket.toStdString();
    EXPECT_TRUE(ticket.contains(QStringLiteral("8,18 EUR")));
    EXPECT_TRUE(ticket.contains(QStringLiteral("49,90 EUR")));

    const qsizetype avant = m_printer.text().size();
    acheter(true);
    const QString second = m_printer.text().mid(avant);
    const QString designation =
        lire(QStringLiteral("SELECT Designation FROM ArticleEnStock WHERE Reference = ?"),
             {m_recharge})
            .valeur(0, QStringLiteral("Designation"))
            .toString();
    ASSERT_TRUE(designation.endsWith(QStringLiteral("€"))) << designation.toStdString();
    EXPECT_TRUE(second.contains(designation.chopped(1) + QLatin1Char('E'))) << second.toStdString();
    EXPECT_FALSE(second.contains(designation));
}

// The fleet on, against a real broker that goes away for twenty sales and comes back: every
// sale's event reaches a subscriber, in order, with the basket's amount, the masked card and
// its lines, and the stock events of its locations before it.
TEST_F(VenteEntiereTest, Fleet_BrokerDownForTwentySales_EveryEventArrivesInOrder)
{
    Movendi::Test::BrokerMqtt broker;
    ASSERT_TRUE(broker.start());
    ini(QStringLiteral("Flotte"), QStringLiteral("Serveur"), QStringLiteral("127.0.0.1"));
    ini(QStringLiteral("Flotte"), QStringLiteral("Port"), QString::number(broker.port()));
    const QString kiosque = Config::nomKiosque(etat().IdentiteMachine);
    const QString sujet = QStringLiteral("movendi/v1/%1/evenements").arg(kiosque);
    // A consumer with its own persistent session: it misses nothing while the broker is away.
    QProcess abonne;
    abonne.start(QStringLiteral("mosquitto_sub"),
                 {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                  QString::number(broker.port()), QStringLiteral("-t"), sujet, QStringLiteral("-q"),
                  QStringLiteral("1"), QStringLiteral("-c"), QStringLiteral("-i"),
                  QStringLiteral("consommateur")});
    ASSERT_TRUE(abonne.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return broker.log().contains(QLatin1String("consommateur")); }, 10000));
    QList<QJsonObject> recus;
    const auto lireAbonne = [&] {
        for (const QByteArray &l : abonne.readAllStandardOutput().split('\n')) {
            if (!l.trimmed().isEmpty())
                recus << QJsonDocument::fromJson(l).object();
        }
    };
    const auto ventesRecues = [&] {
        QList<QJsonObject> v;
        for (const QJsonObject &o : std::as_const(recus)) {
            if (o.value(QStringLiteral("type")).toString() == QLatin1String("vente"))
                v << o;
        }
        return v;
    };

    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    demarrer();
    Front::FlotteKiosque flotte(m_screens);
    flotte.demarrer();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            lireAbonne();
            return !recus.isEmpty();
        },
        20000));
    EXPECT_EQ(recus.first().value(QStringLiteral("type")).toString(), QStringLiteral("demarrage"));

    // One sale with the broker up: its event, its locations'.
    acheter();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            lireAbonne();
            return ventesRecues().size() == 1;
        },
        20000));
    const QJsonObject vente = ventesRecues().first();
    const Store::ResultatRequete detail =
        lire(QStringLiteral("SELECT SUM(Montant) / 100 AS c FROM DetailVente"));
    EXPECT_EQ(vente.value(QStringLiteral("montantCentimes")).toInteger(),
              detail.valeur(0, QStringLiteral("c")).toLongLong());
    EXPECT_EQ(vente.value(QStringLiteral("carte")).toString(), QStringLiteral("497010******7893"));
    EXPECT_EQ(vente.value(QStringLiteral("statutDebit")).toInt(), 0);
    const QJsonArray lignes = vente.value(QStringLiteral("lignes")).toArray();
    ASSERT_EQ(lignes.size(), 2);
    EXPECT_EQ(lignes.at(0).toObject().value(QStringLiteral("ref")).toInt(), m_reference);
    EXPECT_EQ(lignes.at(1).toObject().value(QStringLiteral("ref")).toInt(), m_recharge);
    QStringList stock;
    for (const QJsonObject &o : std::as_const(recus)) {
        if (o.value(QStringLiteral("type")).toString() == QLatin1String("stock"))
            stock << o.value(QStringLiteral("cause")).toString() +
                         (o.value(QStringLiteral("ref")).isNull() ? QStringLiteral(" libre")
                                                                  : QString());
    }
    EXPECT_EQ(stock, QStringList(2, QStringLiteral("vente libre")));

    // Twenty sales while the broker is away, then it comes back.
    broker.stop();
    const int avant = ventes();
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        acheter(false);
        if (HasFatalFailure())
            return;
    }
    ASSERT_EQ(ventes(), avant + 20);
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            lireAbonne();
            QSet<QString> ids;
            for (const QJsonObject &v : ventesRecues())
                ids.insert(v.value(QStringLiteral("id")).toString());
            return ids.size() == 21;
        },
        60000))
        << ventesRecues().size() << " ventes reçues";
    // In the kiosk's order, whatever came twice.
    qint64 precedent = 0;
    QList<qint64> numeros;
    for (const QJsonObject &v : ventesRecues()) {
        const qint64 seq = v.value(QStringLiteral("seq")).toInteger();
        if (seq <= precedent)
            continue; // a repeat, sent again after the link came back
        precedent = seq;
        numeros << v.value(QStringLiteral("numVente")).toInteger();
    }
    ASSERT_EQ(numeros.size(), 21);
    for (int i = 1; i < numeros.size(); ++i)
        EXPECT_EQ(numeros.at(i), numeros.at(i - 1) + 1);
    abonne.kill();
    abonne.waitForFinished();
}

// Commands from the back-office: out of service during a sale lets it finish, then no customer
// is taken, also after a restart; a command that cannot be read is refused, journalled and
// changes nothing; back in service sells again.
TEST_F(VenteEntiereTest, Fleet_CommandsAnsweredOutOfServiceAfterTheSaleAndAcrossARestart)
{
    ini(QStringLiteral("Flotte"), QStringLiteral("Serveur"), QStringLiteral("127.0.0.1"));
    const QString kiosque = Config::nomKiosque(etat().IdentiteMachine);
    const QString commandes = QStringLiteral("movendi/v1/%1/commandes").arg(kiosque);
    Platform::LienMqttEnregistre lien;
    auto service = std::make_unique<Flotte::ServiceFlotte>(lien, etat().CheminIni);
    terminal({QStringLiteral("carte absente"), QStringLiteral("insertion 1")});
    demarrer();
    service->demarrer(etat().IdentiteMachine, {});
    lien.simulerConnexion(false);
    ASSERT_TRUE(lien.abonnements().contains(commandes));
    const auto reponses = [&] {
        QStringList r;
        for (const auto &p : lien.publications()) {
            if (p.sujet.endsWith(QLatin1String("/reponses"))) {
                const QJsonObject o = QJsonDocument::fromJson(p.charge).object();
                r << o.value(QStringLiteral("id")).toString() + QLatin1Char(' ') +
                         o.value(QStringLiteral("resultat")).toString();
            }
        }
        return r;
    };

    bool envoyee = false;
    acheter(true, true, [&] {
        if (!envoyee && paiement()->paiementEnCours()) {
            envoyee = true;
            lien.simulerMessage(commandes, R"({"id": "c1", "commande": "hors-service"})");
        }
    });
    ASSERT_TRUE(envoyee);
    EXPECT_EQ(ventes(), 1) << "the sale under way finishes";
    EXPECT_EQ(reponses(), QStringList{QStringLiteral("c1 ok")});
    traiterEvenements();
    EXPECT_TRUE(m_screens.fnAcceuil()->indisponibiliteAffichee());
    m_client.toucherTuile(0);
    EXPECT_FALSE(m_screens.frmChoix() && m_screens.frmChoix()->isVisible());

    const int entrees = int(journal(QStringLiteral("Flotte")).size());
    for (const QByteArray &malforme :
         {QByteArray("{pas du json"), QByteArray(R"({"commande": "en-service"})"),
          QByteArray(R"({"id": "c2", "commande": "ouvrir-porte"})"), QByteArray("[1, 2]")})
        lien.simulerMessage(commandes, malforme);
    EXPECT_EQ(reponses().mid(1),
              (QStringList{QStringLiteral(" refuse"), QStringLiteral(" refuse"),
                           QStringLiteral("c2 refuse"), QStringLiteral(" refuse")}));
    EXPECT_EQ(int(journal(QStringLiteral("Flotte")).size()), entrees + 4);
    EXPECT_TRUE(State::disponibilite().contient(State::Indisponibilite::HorsServiceFlotte));

    // A restart: still out of service.
    service.reset();
    State::disponibilite().reinitialiser();
    service = std::make_unique<Flotte::ServiceFlotte>(lien, etat().CheminIni);
    service->demarrer(etat().IdentiteMachine, {});
    lien.simulerConnexion(true);
    EXPECT_TRUE(State::disponibilite().contient(State::Indisponibilite::HorsServiceFlotte));

    lien.simulerMessage(commandes, R"({"id": "c3", "commande": "en-service"})");
    EXPECT_TRUE(State::disponibilite().disponible());
    EXPECT_EQ(reponses().last(), QStringLiteral("c3 ok"));
    acheter(false);
    EXPECT_EQ(ventes(), 2);
    service.reset();
}
