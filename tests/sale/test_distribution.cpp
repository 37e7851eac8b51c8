// Delivery of the basket through the simulated mechanism, the fault reports, and the debit of
// what was delivered, on a folder laid out by the staff tool.
#include "kiosktest.h"
#include "mecanismeenregistre.h"
#include "simulatedterminal.h"
#include "smtpserver.h"

#include "i18n/constmessage.h"
#include "machine/automate.h"
#include "machine/grafcetlibrary.h"
#include "mail/email.h"
#include "payment/etatpaiement.h"
#include "payment/terminalframe.h"
#include "platform/clocksetter.h"
#include "platform/profilefile.h"
#include "platform/seams.h"
#include "reporting/envoyeremail.h"
#include "sale/distribution.h"
#include "sale/etatvente.h"
#include "sale/frmpayment.h"
#include "sale/postevente.h"
#include "sale/vente.h"
#include "startup/demarrage.h"
#include "startup/installations.h"
#include "startup/liaisonpaiement.h"
#include "state/ecrans.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>

#include <memory>

using namespace Movendi;
namespace Mt = Movendi::Test;
using Money::Monnaie;
using State::etat;

namespace {

const QString Olive = QColor(192, 192, 0).name();
const QString JauneClair = QColor(255, 255, 128).name();
const QString SujetPanne = QStringLiteral("Rapport de panne DA Telephone mobile");

// The screens the delivery talks to, reduced to what it asks of them.
class EcransEnregistres final : public State::Ecrans
{
public:
    void charger() override {}
    bool accueilCharge() const override { return false; }
    QList<QWidget *> ecransClients() override { return {}; }
    void afficherAccueil() override {}
    void relancerTimerRetourAutomatique() override { appels << QStringLiteral("relancer"); }
    void arreterTimerRetourAutomatique() override { appels << QStringLiteral("arreter"); }
    void cacherEcransVente() override {}
    void dechargerRemplissage() override {}
    void montrerAccueil() override {}
    void arreterAnimation() override { appels << QStringLiteral("animation"); }
    QWidget *accueil() const override { return nullptr; }

    QStringList appels;
};

using Mt::Appel;
using Mt::MecanismeEnregistre;

// The moments at which a widget was shown to its screen.
class MomentsAffichage final : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ShowToParent)
            instants << Platform::clock().monotonicMs();
        return false;
    }
    QList<qint64> instants;
};

struct Emplacement
{
    int noEmpl = 0;
    int etage = 0;
    int reference = 0; // 0: empty
    QString imei, noSim, ean13, noCommande;
};

class DistributionTest : public Mt::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        useApplicationFolder(true);
        useExchangeFolder();
        I18n::ChargerMessages(QStringLiteral("FR"));
        // No mail server unless a test starts one: a closed port makes mails fail at once.
        reglageEmail(QStringLiteral("Port"), QString::number(portFerme()));
        writeFile(QStringLiteral("epi/panne.txt"), "Tambour: butee colonne non atteinte\r\n");

        ASSERT_TRUE(
            m_lib.load(path(QStringLiteral("libgrafcet.so")), Machine::ControleProvenance::Aucun))
            << m_lib.errorText().toStdString();
        ASSERT_EQ(m_mecanisme.init_grafcet(Machine::InitGrafcetMode), 0);

        m_terminal.answerFor([this](const QByteArray &message) {
            if (!message.startsWith("AL011"))
                return Mt::SimulatedTerminal::Frames{};
            m_debits << message.mid(5, 8);
            // As a terminal in listening mode answers: displays around the answer.
            Mt::SimulatedTerminal::Frames trames{Mt::displayFrame("TAPEZ CODE", "")};
            trames += Mt::answerBlocks(reponseDebit());
            trames << Mt::displayFrame("", "");
            return trames;
        });

        m_ecran = std::make_unique<Sale::FrmPayment>(m_poste);
        m_ecran->Form_Load();
    }
    void TearDown() override
    {
        m_vente.reset();
        m_ecran.reset();
        qunsetenv("MOVENDI_EPI");
        KioskTest::TearDown();
    }

    static quint16 portFerme()
    {
        QTcpServer ecoute;
        ecoute.listen(QHostAddress::LocalHost, 0);
        return ecoute.serverPort();
    }
    void reglageEmail(const QString &cle, const QString &valeur) const
    {
        ASSERT_TRUE(
            Platform::writeProfileString(etat().CheminIni, QStringLiteral("Email"), cle, valeur));
    }
    void simulateur(const QString &section, const QString &cle, const QString &valeur) const
    {
        ASSERT_TRUE(Platform::writeProfileString(path(QStringLiteral("epi/grafcet-sim.ini")),
                                                 section, cle, valeur));
    }

    static QByteArray reponseDebit()
    {
        QByteArray m = Payment::buildMessage("Al", QByteArray(355, '.'));
        auto put = [&m](int position, const QByteArray &valeur) {
            m.replace(position - 2, valeur.size(), valeur);
        };
        put(7, "0");
        put(17, QByteArray("CB CONTACT").leftJustified(25));
        put(42, QByteArray("MOVENDI KIOSQUE").leftJustified(25));
        put(67, "081226");
        put(73, "143005");
        put(176, "4970101234567893");
        put(199, "2812");
        put(234, "000042");
        put(241, "A1B2C3");
        return m;
    }

    // A sale of the basket the product choice screen would hand over, from the store's
    // catalogue, shown on the payment screen.
    void panier(int reference, int referenceRecharge)
    {
        Store::StoreDatabase base;
        const auto article = base.lire(
            QStringLiteral("SELECT Designation, Prix FROM ArticleEnStock WHERE Reference = ?"),
            {reference});
        ASSERT_FALSE(article.estVide());
        Sale::Panier vente;
        vente.ReferenceChoisie = reference;
        vente.ReferenceArticle = reference;
        vente.DesignationArticle = article.valeur(0, QStringLiteral("Designation")).toString();
        vente.PrixArticle =
            Store::StoreDatabase::monnaie(article.valeur(0, QStringLiteral("Prix")));
        Monnaie total = vente.PrixArticle;
        if (referenceRecharge != 0) {
            const auto recharge =
                base.lire(QStringLiteral("SELECT Prix FROM ArticleEnStock WHERE Reference = ?"),
                          {referenceRecharge});
            ASSERT_FALSE(recharge.estVide());
            const Monnaie prix =
                Store::StoreDatabase::monnaie(recharge.valeur(0, QStringLiteral("Prix")));
            vente.LigneRecharge.ReferenceRecharge = referenceRecharge;
            vente.LigneRecharge.PrixRechargeCentimes = std::int32_t(prix.centimes());
            total += prix;
        }
        vente.MontantAPayer = total;
        m_vente.reset();
        m_vente = std::make_unique<Sale::Vente>(m_poste, m_ecran->affichage(), vente);
    }
    Sale::EtatVente &etatVente() { return m_vente->etat(); }

    // Every location of the store, in location order.
    QList<Emplacement> emplacements() const
    {
        Store::StoreDatabase base;
        const auto r = base.lire(
            QStringLiteral("SELECT NoEmpl, Etage, Reference, IMEI, NoSIM, EAN13, NoCommande FROM "
                           "EmplacementsMachine1"));
        QList<Emplacement> liste;
        for (qsizetype i = 0; i < r.lignes.size(); ++i) {
            liste.append({r.valeur(i, QStringLiteral("NoEmpl")).toInt(),
                          r.valeur(i, QStringLiteral("Etage")).toInt(),
                          r.valeur(i, QStringLiteral("Reference")).toInt(),
                          r.valeur(i, QStringLiteral("IMEI")).toString(),
                          r.valeur(i, QStringLiteral("NoSIM")).toString(),
                          r.valeur(i, QStringLiteral("EAN13")).toString(),
                          r.valeur(i, QStringLiteral("NoCommande")).toString()});
        }
        std::sort(liste.begin(), liste.end(),
                  [](const Emplacement &a, const Emplacement &b) { return a.noEmpl < b.noEmpl; });
        return liste;
    }
    Emplacement premier(int reference) const
    {
        for (const Emplacement &e : emplacements()) {
            if (e.reference == reference)
                return e;
        }
        return {};
    }
    Emplacement emplacement(int noEmpl) const
    {
        for (const Emplacement &e : emplacements()) {
            if (e.noEmpl == noEmpl)
                return e;
        }
        return {};
    }

    // The customer presses the button as soon as it is offered (manual clock).
    void appuyerDesQuePropose()
    {
        m_clock.callAfter(20, [this] {
            appuyerSiPropose();
            appuyerDesQuePropose();
        });
    }
    // One press each time the button is offered.
    void appuyerSiPropose()
    {
        QPushButton *bouton = m_ecran->CmdTicketFermPorte();
        if (bouton->isHidden()) {
            m_appuye = false;
        } else if (!m_appuye) {
            m_appuye = true;
            ++m_appuis;
            bouton->click();
        }
    }
    // The same on the real clock, for the tests that talk to a mail server.
    void appuyerDesQueProposeTempsReel()
    {
        m_appuiReel.setInterval(10);
        QObject::connect(&m_appuiReel, &QTimer::timeout, [this] { appuyerSiPropose(); });
        m_appuiReel.start();
    }

    // The delivery on the real clock, against a mail server started by the test.
    bool livrerAvecServeur(Mt::SmtpServer &serveur)
    {
        reglageEmail(QStringLiteral("SMTP"), QStringLiteral("127.0.0.1"));
        reglageEmail(QStringLiteral("Port"), QString::number(serveur.port()));
        const Platform::InstalledClock tempsReel(nullptr);
        return Sale::MiseAJourStock(*m_vente);
    }

    // The text after the headers and after the attached files, if any.
    static QString corps(const Mt::ReceivedMail &mail)
    {
        const QString texte = QString::fromUtf8(mail.content);
        const qsizetype debut = texte.indexOf(QStringLiteral("\r\n\r\n"));
        if (debut < 0)
            return {};
        QString reste = texte.mid(debut + 4);
        if (!mail.attachments.isEmpty()) {
            const qsizetype fin = reste.lastIndexOf(QStringLiteral("\r\nend\r\n\r\n"));
            reste = fin < 0 ? QString() : reste.mid(fin + 9);
        }
        return reste;
    }
    static bool aSujet(const Mt::ReceivedMail &mail, const QString &sujet)
    {
        return mail.content.contains(("\r\nSubject: " + sujet + "\r\n").toUtf8()) ||
               mail.content.startsWith(("Subject: " + sujet + "\r\n").toUtf8());
    }
    // "dd/MM/yyyy HH:mm:ss  DA de: <location>" and CR LF, then the fault line.
    static QRegularExpression corpsAttendu(const QString &ligne)
    {
        return QRegularExpression(
            QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d  DA de: ") +
            QRegularExpression::escape(etat().LocalisationMachine) + QStringLiteral("\r\n") +
            QRegularExpression::escape(ligne) + QStringLiteral("\r\n$"));
    }

    EcransEnregistres m_ecrans;
    const Startup::InstalledEcrans m_ecransInstalles{&m_ecrans};
    Machine::GrafcetLibrary m_lib;
    MecanismeEnregistre m_mecanisme{m_lib};
    Mt::SimulatedTerminal m_terminal;
    Mt::SimulatedTerminalFactory m_usine{m_terminal};
    Platform::RecordingClockSetter m_reglageHorloge;
    Mail::Email m_email;
    const Startup::InstalledEmail1 m_email1{&m_email};
    // The link on the simulated terminal, the desk on the recorded mechanism.
    static Payment::LiaisonTerminal::Environnement
    environnement(Platform::SerialLineFactory *lignes, Platform::ClockSetter *reglage)
    {
        Payment::LiaisonTerminal::Environnement e = Startup::environnementTerminal();
        e.lignes = lignes;
        e.reglageHorloge = reglage;
        return e;
    }
    Payment::LiaisonTerminal m_lien{environnement(&m_usine, &m_reglageHorloge)};
    Sale::PosteVente m_poste{m_lien, {&m_mecanisme, nullptr, nullptr}};
    std::unique_ptr<Sale::FrmPayment> m_ecran;
    std::unique_ptr<Sale::Vente> m_vente;
    QList<QByteArray> m_debits;
    QTimer m_appuiReel;
    int m_appuis = 0;
    bool m_appuye = false;
};

const QString Samsung = QStringLiteral("101 Prix: 199,9 Design: Samsung Galaxy A15 128 Go");

TEST_F(DistributionTest, PhoneAndTopUp_BothDelivered_LocationsFreedAndFullAmountDebited)
{
    panier(101, 201);
    const Emplacement telephone = premier(101);
    const Emplacement recharge = premier(201);
    ASSERT_NE(telephone.noEmpl, 0);
    ASSERT_NE(recharge.noEmpl, 0);
    ASSERT_FALSE(telephone.imei.isEmpty());
    ASSERT_FALSE(recharge.noSim.isEmpty());
    const QList<Emplacement> avant = emplacements();
    QSignalSpy envois(&m_email, &Mail::Email::Encodage);
    appuyerDesQuePropose();

    EXPECT_TRUE(Sale::MiseAJourStock(*m_vente));

    EXPECT_EQ(m_mecanisme.suite(),
              QStringList({QStringLiteral("InitMotor"),
                           QStringLiteral("DrumPosition(%1)").arg(telephone.noEmpl),
                           QStringLiteral("OpenDoor(%1)").arg(telephone.noEmpl),
                           QStringLiteral("CloseDoor(%1)").arg(telephone.noEmpl),
                           QStringLiteral("InitMotor"),
                           QStringLiteral("DrumPosition(%1)").arg(recharge.noEmpl),
                           QStringLiteral("OpenDoor(%1)").arg(recharge.noEmpl),
                           QStringLiteral("CloseDoor(%1)").arg(recharge.noEmpl)}));
    for (const auto &a : m_mecanisme.arguments)
        EXPECT_EQ(a, qMakePair(Machine::DrumUnit, Machine::DrumSpeed));
    EXPECT_EQ(m_appuis, 2);

    // Both locations emptied, nothing else touched.
    const QList<Emplacement> apres = emplacements();
    ASSERT_EQ(apres.size(), avant.size());
    for (qsizetype i = 0; i < apres.size(); ++i) {
        const Emplacement &e = apres.at(i);
        if (e.noEmpl == telephone.noEmpl || e.noEmpl == recharge.noEmpl) {
            EXPECT_TRUE(e.reference == 0) << e.noEmpl;
            EXPECT_TRUE(e.imei.isEmpty() && e.noSim.isEmpty() && e.ean13.isEmpty() &&
                        e.noCommande.isEmpty())
                << e.noEmpl;
        } else {
            EXPECT_EQ(e.reference, avant.at(i).reference) << e.noEmpl;
            EXPECT_EQ(e.imei, avant.at(i).imei) << e.noEmpl;
        }
    }

    const Sale::EtatVente &vente = etatVente();
    EXPECT_EQ(vente.ArticleServi.IMEI, telephone.imei);
    EXPECT_EQ(vente.ArticleServi.NoSIM, telephone.noSim);
    EXPECT_EQ(vente.ArticleServi.EAN13, telephone.ean13);
    EXPECT_EQ(vente.ArticleServi.NoCommande, telephone.noCommande);
    EXPECT_EQ(vente.RechargeServie.NoSIM, recharge.noSim);
    EXPECT_EQ(vente.RechargeServie.EAN13, recharge.ean13);
    EXPECT_EQ(vente.RechargeServie.NoCommande, recharge.noCommande);
    EXPECT_TRUE(vente.RechargeServie.IMEI.isEmpty());
    EXPECT_FALSE(vente.EchecDistribution);
    EXPECT_TRUE(vente.LigneRecharge.RechargeAServir);

    EXPECT_EQ(m_debits, QList<QByteArray>{"00020990"});
    EXPECT_EQ(m_lien.etat().PaymentAmountCents, 20990);
    EXPECT_EQ(etat().MontantAPayer, Monnaie::depuisCentimes(20990));
    EXPECT_EQ(envois.size(), 0);
    EXPECT_TRUE(journal(QStringLiteral("MiseAJourStock")).isEmpty());
    EXPECT_TRUE(journal(QStringLiteral("PiloterAutomate")).isEmpty());

    // The screen as the delivery leaves it.
    EXPECT_EQ(m_ecran->LabelChoisisser()->text(),
              QStringLiteral("2") + etat().Messages.MsgArticlesADistribuer);
    EXPECT_FALSE(Sale::FrmPayment::couleurFond(m_ecran->LabelChoisisser()).isValid());
    EXPECT_TRUE(m_ecran->MonnaieDispo()->isHidden());
    EXPECT_EQ(m_ecran->MonnaieDispo()->text(), etat().Messages.MsgPatientez);
    EXPECT_TRUE(m_ecran->Montant()->isHidden());
    EXPECT_TRUE(m_ecran->CmdTicketFermPorte()->isHidden());
    EXPECT_EQ(Sale::FrmPayment::couleurFond(m_ecran->CmdTicketFermPorte()).name(), Olive);
    EXPECT_TRUE(m_ecran->Picture1()->isHidden());
    EXPECT_TRUE(m_ecran->Picture2()->isHidden());
    ASSERT_FALSE(m_ecrans.appels.isEmpty());
    EXPECT_EQ(m_ecrans.appels.first(), QStringLiteral("animation"));
    EXPECT_TRUE(m_ecrans.appels.contains(QStringLiteral("arreter")));
    EXPECT_EQ(m_ecrans.appels.last(), QStringLiteral("relancer"));
}

TEST_F(DistributionTest, DoorThatDidNotOpen_ArticleKeptAndNotChargedTopUpStillDebited)
{
    Mt::SmtpServer serveur;
    ASSERT_TRUE(serveur.start());
    panier(101, 201);
    const Emplacement telephone = premier(101);
    const Emplacement recharge = premier(201);
    simulateur(QStringLiteral("Portes"), QStringLiteral("Bloquee"),
               QString::number(telephone.noEmpl));
    appuyerDesQueProposeTempsReel();

    EXPECT_TRUE(livrerAvecServeur(serveur));

    // The location still holds its article, with all its identifiers.
    const Emplacement garde = emplacement(telephone.noEmpl);
    EXPECT_EQ(garde.reference, 101);
    EXPECT_EQ(garde.imei, telephone.imei);
    EXPECT_EQ(garde.noSim, telephone.noSim);
    EXPECT_EQ(garde.ean13, telephone.ean13);
    EXPECT_EQ(garde.noCommande, telephone.noCommande);
    EXPECT_TRUE(emplacement(recharge.noEmpl).reference == 0);

    const Sale::EtatVente &vente = etatVente();
    EXPECT_TRUE(vente.ArticleServi.IMEI.isEmpty());
    EXPECT_TRUE(vente.ArticleServi.NoSIM.isEmpty());
    EXPECT_TRUE(vente.ArticleServi.EAN13.isEmpty());
    EXPECT_TRUE(vente.ArticleServi.NoCommande.isEmpty());
    EXPECT_EQ(vente.RechargeServie.NoSIM, recharge.noSim);
    EXPECT_TRUE(vente.EchecDistribution);
    EXPECT_TRUE(vente.LigneRecharge.RechargeAServir);

    EXPECT_EQ(m_debits, QList<QByteArray>{"00001000"});
    EXPECT_EQ(etat().MontantAPayer, Monnaie::depuisCentimes(1000));
    EXPECT_EQ(journal(QStringLiteral("MiseAJourStock")),
              QStringList{QStringLiteral("Erreur automate porte pas ouverte Ref: ") + Samsung});
    EXPECT_TRUE(journal(QStringLiteral("PiloterAutomate")).isEmpty());

    const QList<Mt::ReceivedMail> mails = serveur.mails();
    ASSERT_EQ(mails.size(), 1);
    EXPECT_EQ(mails.at(0).rcptTos,
              QStringList{QStringLiteral("supervision@movendi-exploitation.fr")});
    EXPECT_TRUE(aSujet(mails.at(0), SujetPanne));
    EXPECT_TRUE(corpsAttendu(QStringLiteral("la trappe ne c'est pas ouverte"))
                    .match(corps(mails.at(0)))
                    .hasMatch())
        << corps(mails.at(0)).toStdString();
    EXPECT_TRUE(mails.at(0).attachments.isEmpty());
}

TEST_F(DistributionTest, DrumThatDoesNotPosition_TwoMailsTwoEntriesArticleKeptNotCharged)
{
    Mt::SmtpServer serveur;
    ASSERT_TRUE(serveur.start());
    panier(101, 201);
    const Emplacement telephone = premier(101);
    simulateur(QStringLiteral("Pannes"), QStringLiteral("DrumPosition.%1").arg(telephone.noEmpl),
               QStringLiteral("4"));
    appuyerDesQueProposeTempsReel();

    EXPECT_TRUE(livrerAvecServeur(serveur));

    // No door was opened at the failed location.
    for (const Appel &a : m_mecanisme.appels)
        EXPECT_FALSE(a.position == telephone.noEmpl && a.fonction != QLatin1String("DrumPosition"))
            << a.fonction.toStdString();
    EXPECT_EQ(emplacement(telephone.noEmpl).reference, 101);
    EXPECT_EQ(emplacement(telephone.noEmpl).imei, telephone.imei);
    EXPECT_TRUE(etatVente().ArticleServi.IMEI.isEmpty());
    EXPECT_TRUE(etatVente().EchecDistribution);
    EXPECT_EQ(m_debits, QList<QByteArray>{"00001000"});

    EXPECT_EQ(journal(QStringLiteral("MiseAJourStock")),
              QStringList({QStringLiteral("Erreur automate 4 distribution Ref: ") + Samsung,
                           QStringLiteral("Erreur automate porte pas ouverte Ref: ") + Samsung}));
    EXPECT_EQ(journal(QStringLiteral("PiloterAutomate")),
              QStringList{QStringLiteral("Erreur grafcet: 4")});

    const QList<Mt::ReceivedMail> mails = serveur.mails();
    ASSERT_EQ(mails.size(), 2);
    EXPECT_TRUE(aSujet(mails.at(0), SujetPanne));
    EXPECT_TRUE(corpsAttendu(QStringLiteral("Probleme mécanique, Erreur automate 4"))
                    .match(corps(mails.at(0)))
                    .hasMatch())
        << corps(mails.at(0)).toStdString();
    EXPECT_EQ(mails.at(0).attachments.keys(), QStringList{QStringLiteral("panne.txt")});
    EXPECT_EQ(mails.at(0).attachments.value(QStringLiteral("panne.txt")),
              readFile(QStringLiteral("epi/panne.txt")));
    EXPECT_TRUE(aSujet(mails.at(1), SujetPanne));
    EXPECT_TRUE(corpsAttendu(QStringLiteral("la trappe ne c'est pas ouverte"))
                    .match(corps(mails.at(1)))
                    .hasMatch())
        << corps(mails.at(1)).toStdString();
    EXPECT_TRUE(mails.at(1).attachments.isEmpty());
    EXPECT_TRUE(m_email.piecesJointes().isEmpty());
    EXPECT_TRUE(journal(QStringLiteral("EnvoyerEmail")).isEmpty());
}

TEST_F(DistributionTest, FaultReportWithoutPanneFile_StillMailed)
{
    Mt::SmtpServer serveur;
    ASSERT_TRUE(serveur.start());
    QFile::remove(path(QStringLiteral("epi/panne.txt")));
    panier(104, 0);
    const Emplacement telephone = premier(104);
    simulateur(QStringLiteral("Pannes"), QStringLiteral("DrumPosition.%1").arg(telephone.noEmpl),
               QStringLiteral("7"));

    EXPECT_FALSE(livrerAvecServeur(serveur));

    const QList<Mt::ReceivedMail> mails = serveur.mails();
    ASSERT_EQ(mails.size(), 2);
    EXPECT_TRUE(corpsAttendu(QStringLiteral("Probleme mécanique, Erreur automate 7"))
                    .match(corps(mails.at(0)))
                    .hasMatch())
        << corps(mails.at(0)).toStdString();
    EXPECT_TRUE(mails.at(0).attachments.isEmpty());
    EXPECT_EQ(journal(QStringLiteral("MiseAJourStock")).value(0),
              QStringLiteral("Erreur automate 7 distribution Ref: 104 Prix: 24,9 Design: Nokia "
                             "105 (2023)"));
    EXPECT_EQ(m_debits, QList<QByteArray>{"00000000"});
    EXPECT_TRUE(journal(QStringLiteral("EnvoyerEmail")).isEmpty());
}

TEST_F(DistributionTest, ArticleLocationNotFound_NoMailOnlyTopUpDebited)
{
    panier(106, 201); // listed, but no location holds it
    ASSERT_EQ(premier(106).noEmpl, 0);
    const Emplacement recharge = premier(201);
    QSignalSpy envois(&m_email, &Mail::Email::Encodage);
    appuyerDesQuePropose();

    EXPECT_TRUE(Sale::MiseAJourStock(*m_vente));

    EXPECT_EQ(journal(QStringLiteral("MiseAJourStock")),
              QStringList{QStringLiteral("Erreur automate à la distribution Ref: 106 Prix: 549 "
                                         "Design: Google Pixel 8a 128 Go")});
    EXPECT_EQ(envois.size(), 0);
    EXPECT_EQ(m_debits, QList<QByteArray>{"00001000"});
    EXPECT_EQ(etat().MontantAPayer, Monnaie::depuisCentimes(1000));
    EXPECT_TRUE(etatVente().EchecDistribution);
    EXPECT_EQ(etatVente().RechargeServie.NoSIM, recharge.noSim);
    EXPECT_TRUE(emplacement(recharge.noEmpl).reference == 0);
    EXPECT_EQ(m_mecanisme.suite(),
              QStringList({QStringLiteral("InitMotor"),
                           QStringLiteral("DrumPosition(%1)").arg(recharge.noEmpl),
                           QStringLiteral("OpenDoor(%1)").arg(recharge.noEmpl),
                           QStringLiteral("CloseDoor(%1)").arg(recharge.noEmpl)}));
}

TEST_F(DistributionTest, BothItemsFail_DebitRequestedForZero)
{
    panier(106, 201);
    const Emplacement recharge = premier(201);
    simulateur(QStringLiteral("Pannes"), QStringLiteral("DrumPosition.%1").arg(recharge.noEmpl),
               QStringLiteral("4"));

    EXPECT_FALSE(Sale::MiseAJourStock(*m_vente));

    EXPECT_EQ(m_debits, QList<QByteArray>{"00000000"});
    EXPECT_EQ(m_lien.etat().PaymentAmountCents, 0);
    EXPECT_EQ(etat().MontantAPayer, Monnaie());
    EXPECT_TRUE(etatVente().EchecDistribution);
    EXPECT_FALSE(etatVente().LigneRecharge.RechargeAServir);
    EXPECT_TRUE(etatVente().RechargeServie.NoSIM.isEmpty());
    EXPECT_EQ(emplacement(recharge.noEmpl).reference, 201);
    const QString top = QStringLiteral("201 Recharge de 10 €");
    EXPECT_EQ(journal(QStringLiteral("MiseAJourStock")),
              QStringList({QStringLiteral("Erreur automate à la distribution Ref: 106 Prix: 549 "
                                          "Design: Google Pixel 8a 128 Go"),
                           QStringLiteral("Erreur automate 4 distribution Ref: ") + top,
                           QStringLiteral("Erreur automate porte pas ouverte Ref: ") + top}));
}

TEST_F(DistributionTest, CustomerNeverPresses_DoorClosesAfterThirtySecondsButtonFromTwelfthPass)
{
    panier(101, 0);
    const Emplacement telephone = premier(101);
    QImage etage(8, 8, QImage::Format_RGB32);
    etage.fill(Qt::red);
    ASSERT_TRUE(etage.save(path(QStringLiteral("etage%1.JPG").arg(telephone.etage)), "JPG"));
    MomentsAffichage bouton;
    m_ecran->CmdTicketFermPorte()->installEventFilter(&bouton);

    // The display as it stands at a few moments of the wait.
    struct Releve
    {
        bool image1, image2;
        QString couleur;
        bool pixmap;
    };
    QList<Releve> releves;
    std::function<void()> relever = [&] {
        if (m_mecanisme.dernier("OpenDoor") && !m_mecanisme.dernier("CloseDoor")) {
            releves.append({!m_ecran->Picture1()->isHidden(), !m_ecran->Picture2()->isHidden(),
                            Sale::FrmPayment::couleurFond(m_ecran->CmdTicketFermPorte()).name(),
                            !m_ecran->Picture1()->pixmap().isNull()});
        }
        if (!m_mecanisme.dernier("CloseDoor"))
            m_clock.callAfter(101, relever);
    };
    m_clock.callAfter(50, relever);

    EXPECT_TRUE(Sale::MiseAJourStock(*m_vente));

    const Appel *ouverture = m_mecanisme.dernier("OpenDoor");
    const Appel *fermeture = m_mecanisme.dernier("CloseDoor");
    ASSERT_NE(ouverture, nullptr);
    ASSERT_NE(fermeture, nullptr);
    const qint64 attente = fermeture->instant - ouverture->instant;
    EXPECT_GE(attente, 30000);
    EXPECT_LT(attente, 30000 + 150);

    // Shown once, after eleven waits of 0.1 second and before a twelfth.
    ASSERT_EQ(bouton.instants.size(), 1);
    const qint64 affichage = bouton.instants.at(0) - ouverture->instant;
    EXPECT_GE(affichage, 1100);
    EXPECT_LT(affichage, 1200);
    EXPECT_TRUE(m_ecran->CmdTicketFermPorte()->isHidden());

    ASSERT_GE(releves.size(), 200);
    int olive = 0;
    int jaune = 0;
    for (const Releve &r : releves) {
        EXPECT_NE(r.image1, r.image2);
        EXPECT_TRUE(r.pixmap);
        if (r.couleur == Olive) {
            ++olive;
            EXPECT_TRUE(r.image2);
        } else {
            EXPECT_EQ(r.couleur, JauneClair);
            ++jaune;
            EXPECT_TRUE(r.image1);
        }
    }
    EXPECT_GT(olive, 20);
    EXPECT_GT(jaune, 20);

    // The door was open all along: delivered and charged.
    EXPECT_TRUE(emplacement(telephone.noEmpl).reference == 0);
    EXPECT_EQ(m_debits, QList<QByteArray>{"00019990"});
    EXPECT_FALSE(etatVente().EchecDistribution);
}

TEST_F(DistributionTest, CustomerPresses_DoorClosesAtOnce)
{
    panier(101, 0);
    appuyerDesQuePropose();
    EXPECT_TRUE(Sale::MiseAJourStock(*m_vente));
    const Appel *ouverture = m_mecanisme.dernier("OpenDoor");
    const Appel *fermeture = m_mecanisme.dernier("CloseDoor");
    ASSERT_NE(ouverture, nullptr);
    ASSERT_NE(fermeture, nullptr);
    EXPECT_EQ(m_appuis, 1);
    // Offered at the twelfth pass, taken within the next poll of the customer.
    EXPECT_LT(fermeture->instant - ouverture->instant, 1400);
    EXPECT_TRUE(m_ecran->CmdTicketFermPorte()->isHidden());
}

TEST_F(DistributionTest, DoorStateWithoutTheKey_CountsAsOpened)
{
    panier(101, 0);
    const Emplacement telephone = premier(101);
    // The door stays shut as far as the simulator goes; the mechanism side then drops the key.
    simulateur(QStringLiteral("Portes"), QStringLiteral("Bloquee"),
               QString::number(telephone.noEmpl));
    m_clock.callAfter(2000, [this] {
        writeFile(QStringLiteral("epi/porte.ini"), "[Porte]\r\nAutre=1\r\n");
        m_ecran->CmdTicketFermPorte()->click();
    });
    QSignalSpy envois(&m_email, &Mail::Email::Encodage);

    EXPECT_TRUE(Sale::MiseAJourStock(*m_vente));

    EXPECT_TRUE(emplacement(telephone.noEmpl).reference == 0);
    EXPECT_EQ(etatVente().ArticleServi.IMEI, telephone.imei);
    EXPECT_FALSE(etatVente().EchecDistribution);
    EXPECT_EQ(m_debits, QList<QByteArray>{"00019990"});
    EXPECT_TRUE(journal(QStringLiteral("MiseAJourStock")).isEmpty());
    EXPECT_EQ(envois.size(), 0);
}

TEST_F(DistributionTest, DoorStateThatCannotBeTrusted_NotDeliveredNotChargedNoBox)
{
    struct Row
    {
        const char *cas;
        std::function<void()> avant;   // before the delivery
        std::function<void()> pendant; // while the customer is at the door
        bool porteOuverte;             // whether a door opened at all
    };
    const QString porte = path(QStringLiteral("epi/porte.ini"));
    const QList<Row> rows{
        // "NON" cannot be written (a folder stands where the file goes): a stale "OUI" would
        // charge what nobody could reach, so no door opens.
        {"état de porte impossible à écrire",
         [&] {
             QFile::remove(porte);
             QDir().mkpath(porte);
         },
         {},
         false},
        // The door opened, then the state file went away before it was read.
        {"état de porte disparu", {}, [&] { QFile::remove(porte); }, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.cas);
        panier(101, 0);
        const Emplacement telephone = premier(101);
        m_debits.clear();
        m_mecanisme.appels.clear();
        const int boites = int(m_boxes.shown().size());
        if (row.avant)
            row.avant();
        const quint64 client = m_clock.callAfter(1500, [&] {
            if (row.pendant)
                row.pendant();
            m_ecran->CmdTicketFermPorte()->click();
        });

        Sale::MiseAJourStock(*m_vente);
        m_clock.cancel(client);

        EXPECT_EQ(emplacement(telephone.noEmpl).reference, 101);
        EXPECT_TRUE(etatVente().ArticleServi.IMEI.isEmpty());
        EXPECT_TRUE(etatVente().EchecDistribution);
        EXPECT_EQ(m_debits, QList<QByteArray>{"00000000"});
        EXPECT_EQ(m_mecanisme.dernier("OpenDoor") != nullptr, row.porteOuverte);
        EXPECT_EQ(int(m_boxes.shown().size()), boites);
        EXPECT_FALSE(journal(QStringLiteral("MiseAJourStock")).isEmpty());
        QDir(porte).removeRecursively();
        QFile::remove(porte);
    }
}

TEST_F(DistributionTest, DoorStateNon_WithoutServer_NotDeliveredAndMailFailsQuietly)
{
    panier(101, 0);
    const Emplacement telephone = premier(101);
    simulateur(QStringLiteral("Portes"), QStringLiteral("Bloquee"),
               QString::number(telephone.noEmpl));
    appuyerDesQuePropose();
    QSignalSpy envois(&m_email, &Mail::Email::Encodage);

    EXPECT_TRUE(Sale::MiseAJourStock(*m_vente));

    EXPECT_EQ(emplacement(telephone.noEmpl).reference, 101);
    EXPECT_EQ(envois.size(), 1); // the door report was attempted
    EXPECT_EQ(m_debits, QList<QByteArray>{"00000000"});
    EXPECT_EQ(etat().MontantAPayer, Monnaie());
    EXPECT_EQ(Platform::readProfileString(path(QStringLiteral("epi/porte.ini")),
                                          QStringLiteral("Porte"), QStringLiteral("Ouverte"))
                  .value,
              QStringLiteral("NON"));
}

TEST_F(DistributionTest, StoreFailsAfterTheDoorOpened_WhatWasDeliveredIsStillDebited)
{
    panier(101, 201);
    const Emplacement telephone = premier(101);
    const Emplacement recharge = premier(201);
    {
        Store::StoreDatabase base;
        base.executer(
            QStringLiteral("CREATE TRIGGER refus BEFORE UPDATE ON EmplacementsMachine1 BEGIN "
                           "SELECT RAISE(ABORT, 'emplacement verrouille'); END"));
    }
    appuyerDesQuePropose();

    Sale::MiseAJourStock(*m_vente);

    // The phone was reachable and is charged; the top-up was never attempted.
    EXPECT_EQ(m_debits, QList<QByteArray>{"00019990"});
    EXPECT_EQ(etat().MontantAPayer, Monnaie::depuisCentimes(19990));
    EXPECT_TRUE(etatVente().EchecDistribution);
    EXPECT_FALSE(etatVente().LigneRecharge.RechargeAServir);
    EXPECT_EQ(etatVente().ArticleServi.IMEI, telephone.imei);
    for (const Appel &a : m_mecanisme.appels)
        EXPECT_NE(a.position, recharge.noEmpl);
    const QStringList erreurs = journal(QStringLiteral("MiseAJourStock"));
    ASSERT_EQ(erreurs.size(), 1);
    EXPECT_TRUE(erreurs.at(0).startsWith(QStringLiteral("N°: 3146 ")))
        << erreurs.at(0).toStdString();
    EXPECT_EQ(m_ecrans.appels.last(), QStringLiteral("relancer"));
    EXPECT_TRUE(m_ecran->MonnaieDispo()->isHidden());
}

TEST_F(DistributionTest, StoreUnreachable_NothingDeliveredAmountCancelled)
{
    panier(101, 201);
    QFile::remove(path(QStringLiteral("DBMovendi.db")));

    EXPECT_FALSE(Sale::MiseAJourStock(*m_vente));

    EXPECT_TRUE(m_mecanisme.appels.isEmpty());
    EXPECT_EQ(m_debits, QList<QByteArray>{"00000000"});
    EXPECT_EQ(etat().MontantAPayer, Monnaie());
    EXPECT_EQ(journal(QStringLiteral("MiseAJourStock")).size(), 1);
}

} // namespace
