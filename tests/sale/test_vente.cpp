// A sale run without any screen: the sale object at its desk, the simulator's terminal in-process,
// the simulated mechanism, a printer kept in memory, and a display that records what the sale
// asks of it.
#include "kiosktest.h"
#include "lignesenregistrees.h"
#include "mecanismeenregistre.h"
#include "simulatedterminal.h"

#include "i18n/constmessage.h"
#include "machine/grafcetlibrary.h"
#include "payment/pontagetpvnew.h"
#include "platform/clocksetter.h"
#include "platform/profilefile.h"
#include "sale/affichagevente.h"
#include "sale/postevente.h"
#include "sale/vente.h"
#include "startup/demarrage.h"
#include "state/etatdemarrage.h"
#include "store/storedatabase.h"

#include <QTcpServer>

#include <functional>
#include <ostream>
#include <string>

using namespace Movendi;
namespace Mt = Movendi::Test;
using Money::Monnaie;
using State::etat;

namespace {

// The terminal's own display during a payment, counted.
class AffichageTerminal final : public Payment::AffichageClient
{
public:
    void montrer() override {}
    void afficher(const QString &) override { ++lignes; }
    void cacher() override {}
    int lignes = 0;
};

// What the sale asked the customer's screen to show, in order; the customer presses the close
// button as soon as it is offered.
class AffichageEnregistre final : public Sale::AffichageVente
{
public:
    void afficherConsigne(const QString &texte) override
    {
        noter(QStringLiteral("consigne ") + texte);
    }
    void mettreEnEvidenceConsigne(bool) override {}
    void afficherInvite(const QString &texte) override { noter(QStringLiteral("invite ") + texte); }
    void montrerInvite(bool) override {}
    void montrerMontant(bool visible) override { montant = visible; }
    void montrerAnnulation(bool visible) override { annulation = visible; }
    void afficherPanneau(const QString &texte) override
    {
        noter(QStringLiteral("panneau ") + texte);
    }
    void cacherPanneau() override {}
    Payment::AffichageClient &affichageTerminal() override { return terminal; }
    void revenirAuPaiement() override { noter(QStringLiteral("retour au paiement")); }
    void afficherImageEtage(const QString &) override {}
    void alternerImages(bool) override {}
    void cacherImages() override {}
    void montrerBoutonFermeture(bool visible) override { bouton = visible; }
    bool fermetureDemandee() const override { return bouton; }
    void oublierFermetureDemandee() override {}
    void rafraichir() override {}
    void retourAccueil() override
    {
        ++retours;
        noter(QStringLiteral("accueil"));
    }

    // A prompt shown again while it stands is noted once.
    void noter(const QString &quoi)
    {
        if (evenements.isEmpty() || evenements.last() != quoi)
            evenements << quoi;
    }
    qsizetype position(const QString &quoi) const { return evenements.indexOf(quoi); }

    QStringList evenements;
    AffichageTerminal terminal;
    bool montant = false;
    bool annulation = true;
    bool bouton = false;
    int retours = 0;
};

class VenteSansEcranTest : public Mt::KioskTest
{
protected:
    void SetUp() override
    {
        KioskTest::SetUp();
        useApplicationFolder(true);
        useExchangeFolder();
        etat().PortImprimante = 7;
        I18n::ChargerMessages(QStringLiteral("FR"));
        // No mail or upload server: a closed port fails at once.
        QTcpServer ecoute;
        ecoute.listen(QHostAddress::LocalHost, 0);
        for (const char *section : {"Email", "FTP"})
            Platform::writeProfileString(etat().CheminIni, QLatin1String(section),
                                         QStringLiteral("Port"),
                                         QString::number(ecoute.serverPort()));
        ASSERT_TRUE(
            m_lib.load(path(QStringLiteral("libgrafcet.so")), Machine::ControleProvenance::Aucun))
            << m_lib.errorText().toStdString();
        ASSERT_EQ(m_mecanisme.init_grafcet(Machine::InitGrafcetMode), 0);
    }
    void TearDown() override
    {
        qunsetenv("MOVENDI_EPI");
        KioskTest::TearDown();
    }

    // The phone 101, with the 10-euro top-up 201 when asked, as the choice screen hands it over.
    static Sale::Panier panier(bool recharge, Monnaie total)
    {
        Sale::Panier p;
        p.ReferenceChoisie = p.ReferenceArticle = 101;
        p.QteChoisie = 1;
        p.DesignationArticle = QStringLiteral("Samsung Galaxy A15 128 Go");
        p.PrixArticle = Monnaie::depuisCentimes(19990);
        if (recharge)
            p.LigneRecharge = {false, 201, 1000};
        p.MontantAPayer = total;
        return p;
    }
    int requetes(const QByteArray &debut) const
    {
        int n = 0;
        for (const QByteArray &trame : m_terminal.framesReceived())
            n += trame.mid(1).startsWith(debut) ? 1 : 0;
        return n;
    }
    qint64 ventes() const
    {
        Store::StoreDatabase base;
        return base.lire(QStringLiteral("SELECT COUNT(*) FROM Ventes"))
            .lignes.at(0)
            .at(0)
            .toLongLong();
    }

    Machine::GrafcetLibrary m_lib;
    Mt::MecanismeEnregistre m_mecanisme{m_lib};
    Mt::SimulatedTerminal m_terminal;
    Mt::SimulatedTerminalFactory m_usine{m_terminal};
    Platform::RecordingClockSetter m_reglage;
    Payment::LiaisonTerminal m_lien{{&m_usine, nullptr, &m_reglage, nullptr, nullptr}};
    Mt::LignesEnregistrees m_imprimante;
    Sale::PosteVente m_poste{m_lien, {&m_mecanisme, nullptr, &m_imprimante}};
    AffichageEnregistre m_affichage;
};

} // namespace

TEST_F(VenteSansEcranTest, WholeSale_ShownStepByStepDeliveredDebitedRecordedPrinted)
{
    const Monnaie total = Monnaie::depuisCentimes(20990);
    {
        Sale::Vente vente(m_poste, m_affichage, panier(true, total));
        EXPECT_EQ(m_poste.venteEnCours(), &vente);
        vente.MakePayment();

        EXPECT_EQ(vente.etat().MontantAPayer, total);
        EXPECT_FALSE(vente.etat().EchecDistribution);
        EXPECT_FALSE(vente.etat().ArticleServi.IMEI.isEmpty());
        EXPECT_FALSE(vente.etat().RechargeServie.NoSIM.isEmpty());
        EXPECT_FALSE(vente.abandonnerAttenteCarte()) << "no card wait once the sale is over";
    }
    EXPECT_EQ(m_poste.venteEnCours(), nullptr);

    // What the customer was told, in this order, and the kiosk back home last.
    const State::TableMessages &msg = etat().Messages;
    const QStringList etapes{QStringLiteral("consigne ") + msg.MsgInsererCarte,
                             QStringLiteral("consigne ") + msg.MsgPatientez,
                             QStringLiteral("panneau RETIREZ VOTRE CARTE BANCAIRE"),
                             QStringLiteral("consigne 2") + msg.MsgArticlesADistribuer,
                             QStringLiteral("invite ") + msg.MsgPrenezProduit,
                             QStringLiteral("consigne ") + msg.MsgPrenezTicket,
                             QStringLiteral("accueil")};
    qsizetype avant = -1;
    for (const QString &etape : etapes) {
        const qsizetype ici = m_affichage.position(etape);
        EXPECT_GT(ici, avant) << etape.toStdString() << "\n"
                              << m_affichage.evenements.join(QLatin1Char('\n')).toStdString();
        avant = ici;
    }
    EXPECT_EQ(m_affichage.retours, 1);
    EXPECT_EQ(m_affichage.evenements.last(), QStringLiteral("accueil"));
    EXPECT_FALSE(m_affichage.annulation) << "no cancel once the card is in";
    EXPECT_FALSE(m_affichage.montant) << "the amount goes once the mechanism starts";

    EXPECT_EQ(requetes("AK"), 1);
    EXPECT_EQ(requetes("AL01100020990"), 1);
    EXPECT_EQ(m_lien.etat().PaymentAmountCents, 20990);
    EXPECT_EQ(ventes(), 1);
    EXPECT_TRUE(m_imprimante.text().contains(QStringLiteral("Samsung Galaxy A15")));
    EXPECT_EQ(m_mecanisme.suite().count(QStringLiteral("InitMotor")), 2);
}

// Sales that end before anything is delivered: nothing debited, nothing recorded, one return
// home, and what the journal says.
struct FinSansDebit
{
    const char *nom;
    QStringList directives;
    Monnaie montant;
    // Run during the card wait, with the sale.
    std::function<void(Sale::Vente &)> pendant;
    int statuts; // status requests at least
    // How long the sale lasted, on the clock.
    qint64 auMoinsMs;
    qint64 auPlusMs;
    QString journal;
};

void PrintTo(const FinSansDebit &c, std::ostream *os)
{
    *os << c.nom;
}

class VenteSansDebitTest : public VenteSansEcranTest,
                           public ::testing::WithParamInterface<FinSansDebit>
{
};

TEST_P(VenteSansDebitTest, NothingChargedOneReturnHome)
{
    const FinSansDebit &c = GetParam();
    Mt::SimulatedTerminal terminal;
    terminal.apply(c.directives);
    Mt::SimulatedTerminalFactory usine{terminal};
    Payment::LiaisonTerminal lien{{&usine, nullptr, &m_reglage, nullptr, nullptr}};
    Sale::PosteVente poste{lien, {&m_mecanisme, nullptr, &m_imprimante}};
    AffichageEnregistre affichage;
    m_mecanisme.appels.clear();
    const qsizetype entrees = journal(QStringLiteral("make payment")).size();
    const qint64 debut = m_clock.monotonicMs();
    {
        Sale::Vente vente(poste, affichage, panier(false, c.montant));
        quint64 rappel = 0;
        if (c.pendant)
            rappel = m_clock.callAfter(3000, [&] { c.pendant(vente); });
        vente.MakePayment();
        m_clock.cancel(rappel);
        EXPECT_FALSE(vente.etat().ResultatDebit.has_value());
    }
    EXPECT_GE(m_clock.monotonicMs() - debut, c.auMoinsMs);
    EXPECT_LE(m_clock.monotonicMs() - debut, c.auPlusMs);
    int statuts = 0;
    for (const QByteArray &trame : terminal.framesReceived())
        statuts += trame.mid(1).startsWith("AA000") ? 1 : 0;
    EXPECT_GE(statuts, c.statuts);
    for (const QByteArray &trame : terminal.framesReceived())
        EXPECT_FALSE(trame.mid(1).startsWith("AL")) << trame.toStdString();
    EXPECT_TRUE(m_mecanisme.appels.isEmpty());
    EXPECT_EQ(ventes(), 0);
    EXPECT_EQ(affichage.retours, 1);
    const QStringList entreesApres = journal(QStringLiteral("make payment"));
    ASSERT_EQ(entreesApres.size(), entrees + 1);
    EXPECT_EQ(entreesApres.last(), c.journal);
}

INSTANTIATE_TEST_SUITE_P(
    Fins, VenteSansDebitTest,
    ::testing::Values(FinSansDebit{"MontantNonFacturable",
                                   {},
                                   Monnaie::depuisUnites(1999005),
                                   {},
                                   0,
                                   0,
                                   1000,
                                   QStringLiteral("montant refusé: ") +
                                       Monnaie::depuisUnites(1999005).texteMonetaire()},
                      FinSansDebit{"AucuneCarteEnUneMinute",
                                   {QStringLiteral("carte absente")},
                                   Monnaie::depuisCentimes(19990),
                                   {},
                                   2,
                                   60000,
                                   70000,
                                   QStringLiteral("sortie par payer=faux")},
                      FinSansDebit{
                          "NouveauPanierPendantLAttente",
                          {QStringLiteral("carte absente")},
                          Monnaie::depuisCentimes(19990),
                          [](Sale::Vente &vente) { EXPECT_TRUE(vente.abandonnerAttenteCarte()); },
                          1,
                          3000,
                          5000,
                          QStringLiteral("sortie par payer=faux")},
                      FinSansDebit{"CarteRefusee",
                                   {QStringLiteral("solvabilite refuse 9 20")},
                                   Monnaie::depuisCentimes(19990),
                                   {},
                                   1,
                                   0,
                                   30000,
                                   QStringLiteral("sortie par payer=faux")}),
    [](const ::testing::TestParamInfo<FinSansDebit> &cas) { return std::string(cas.param.nom); });
