// The requests against the terminal simulator over a real pseudo-terminal, on the real clock.
#include "paymenttest.h"
#include "tpesim.h"

#include "payment/demandestpe.h"
#include "payment/pontagetpvnew.h"
#include "platform/profilefile.h"

#include <QElapsedTimer>

using namespace Movendi;
using namespace Movendi::Payment;
using Movendi::Test::TpeSimulator;

namespace {

const QString SimulatorCard = QStringLiteral("4970101234567893");

class TerminalSessionTest : public Movendi::Test::PaymentTest
{
protected:
    void SetUp() override
    {
        PaymentTest::SetUp();
        m_lignes = nullptr;
        reinitialiserPaiement();
        State::etat().CheminIni = path(QStringLiteral("RURUDIZ.ini"));
    }

    void start(const QStringList &directives)
    {
        ASSERT_TRUE(m_sim.start(directives));
        Platform::writeProfileString(State::etat().CheminIni, QStringLiteral("PortCom"),
                                     QStringLiteral("Port4"), m_sim.devicePath());
    }

    // Nothing the terminal said about the card may be kept in clear.
    void expectNoClearCardNumber() const
    {
        const EtatPaiement &e = etatPaiement();
        for (const QString &text : {e.CardNumber, e.MerchantTicketText, e.CustomerTicketText})
            EXPECT_FALSE(text.contains(SimulatorCard));
        for (const Movendi::Test::JournalRow &row : journalRows())
            EXPECT_FALSE(row.erreur.contains(SimulatorCard)) << row.erreur.toStdString();
    }

    TpeSimulator m_sim;
    // The simulator answers in real time.
    const Platform::InstalledClock m_reel{nullptr};
};

} // namespace

TEST_F(TerminalSessionTest, StatusWithAndWithoutACard)
{
    start({QStringLiteral("carte absente"), QStringLiteral("insertion 2")});
    EXPECT_EQ(DemSwi(), 1);
    EXPECT_EQ(DemSwi(), 1);
    EXPECT_EQ(DemSwi(), 255);
    EXPECT_EQ(m_sim.count(QStringLiteral("recu trame AA000")), 3);
}

TEST_F(TerminalSessionTest, RefusedFramesThenAccepted)
{
    start({QStringLiteral("nak 2")});
    EXPECT_EQ(DemSwi(), 255);
    EXPECT_EQ(m_sim.count(QStringLiteral("recu trame AA000")), 3);
}

TEST_F(TerminalSessionTest, AcceptedSolvencyShowsTheTerminalDisplay)
{
    start({});
    etatPaiement().PaymentAmountCents = 1250;
    EXPECT_EQ(DemVal(true), 255);
    EXPECT_EQ(m_sim.count(QStringLiteral("recu trame AK016000001250309782D")), 1);
    ASSERT_GE(m_paymentDisplay.shown.size(), 2);
    for (const QString &shown : m_paymentDisplay.shown) {
        ASSERT_EQ(shown.size(), 33) << shown.toStdString();
        EXPECT_EQ(shown.at(16), QLatin1Char('\n'));
    }
    EXPECT_EQ(m_paymentDisplay.shown.last().trimmed(), QString());
    EXPECT_EQ(m_paymentDisplay.shows, 1);
    EXPECT_FALSE(m_paymentDisplay.visible);
}

TEST_F(TerminalSessionTest, DebitInTwoBlocksGivesBothTickets)
{
    start({QStringLiteral("horloge 081226 143005"), QStringLiteral("remise 000042")});
    etatPaiement().PaymentAmountCents = 1250;
    EXPECT_EQ(DemVal(true), 255);
    EXPECT_EQ(DemEnr(true), 255);
    EXPECT_EQ(m_sim.count(QStringLiteral("envoye suite")), 2); // both answers came in two blocks

    const EtatPaiement &e = etatPaiement();
    EXPECT_EQ(e.CardNumber, QStringLiteral("497010******7893"));
    EXPECT_TRUE(e.MerchantTicketText.contains(QStringLiteral("\r\n497010******7893\r\n")));
    EXPECT_TRUE(e.CustomerTicketText.contains(QStringLiteral("\r\n497010******7893\r\n")));
    for (const QString &ticket : {e.MerchantTicketText, e.CustomerTicketText})
        EXPECT_TRUE(ticket.contains(QStringLiteral("MONTANT = 12,50 EUR\r\n")))
            << ticket.toStdString();
    EXPECT_TRUE(e.CustomerTicketText.endsWith(QStringLiteral("TICKET CLIENT A CONSERVER")));
    EXPECT_EQ(e.RemittanceNumber, 42);
    ASSERT_EQ(m_clockSetter.calls().size(), 1);
    EXPECT_EQ(m_clockSetter.calls().at(0).local, QDateTime(QDate(2026, 12, 8), QTime(14, 30, 5)));
    expectNoClearCardNumber();
}

TEST_F(TerminalSessionTest, RefusedCards)
{
    start({QStringLiteral("solvabilite refuse 2 44"), QStringLiteral("solvabilite refuse 9 20")});
    etatPaiement().PaymentAmountCents = 4990;
    EXPECT_EQ(DemVal(true), 1);
    EXPECT_EQ(DemVal(true), 2);
    const QStringList journal = journalTexts(QStringLiteral("Carte refusée DemVal"));
    ASSERT_EQ(journal.size(), 3);
    EXPECT_EQ(journal.at(0), QStringLiteral("Cause: MPC10S non disponible et switch maintenance "
                                            "positionné - TIME-OUT SAISIE DU CODE 44"));
    EXPECT_TRUE(journal.at(1).contains(QStringLiteral("Ak313")));
    EXPECT_EQ(
        journal.at(2),
        QStringLiteral("Cause: PB ACCES CENTRE - CARTE REFUSEE DANS LA LISTE DE CONTRÔLE 20"));
    expectNoClearCardNumber();
}

TEST_F(TerminalSessionTest, RefusedDebit)
{
    start({QStringLiteral("debit refuse 4")});
    etatPaiement().PaymentAmountCents = 1250;
    EXPECT_EQ(DemEnr(true), 1);
    EXPECT_TRUE(etatPaiement().CustomerTicketText.isEmpty());
    EXPECT_EQ(journalTexts(QStringLiteral("Carte refusée DemEnr")),
              QStringList{QStringLiteral("Cause: pas de solvabilité accordée préalablement")});
}

TEST_F(TerminalSessionTest, RemittanceAndItsReport)
{
    start({QStringLiteral("lot 3 3750")});
    EXPECT_EQ(DemTC(true), 255);
    EXPECT_EQ(DemTIC(), 255);
    const QString report = etatPaiement().MerchantTicketText;
    EXPECT_TRUE(report.contains(QStringLiteral("NB REMISE: 1\r\n"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Nb Transaction : 000003\r\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("\t37,50 EUR\r\n")));
    EXPECT_EQ(journalTexts(QStringLiteral("EcouterDemTC")).size(), 1);
}

TEST_F(TerminalSessionTest, IncompleteRemittance)
{
    start({QStringLiteral("telecollecte 0 1")});
    EXPECT_EQ(DemTC(true), 1);
    const QStringList journal = journalTexts(QStringLiteral("Télécollecte"));
    ASSERT_EQ(journal.size(), 1);
    EXPECT_TRUE(journal.at(0).endsWith(QStringLiteral("télécollecte incomplète")));
}

TEST_F(TerminalSessionTest, SilentTerminalGivesUpInBoundedTime)
{
    start({QStringLiteral("silence")});
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(DemVal(true), -700);
    EXPECT_LT(timer.elapsed(), 4000);
}

TEST_F(TerminalSessionTest, LongReportKeepsEveryRemittance)
{
    start({QStringLiteral("telecollecte 0 0"), QStringLiteral("rapport 2 1")});
    EXPECT_EQ(DemTC(true), 255);
    EXPECT_EQ(DemTIC(), 255);
    EXPECT_EQ(m_sim.count(QStringLiteral("envoye suite")), 2);
    const QString report = etatPaiement().MerchantTicketText;
    EXPECT_EQ(report.count(QStringLiteral("No Remise: ")), 3) << report.toStdString();
    EXPECT_EQ(report.count(QStringLiteral("NB REMISE: ")), 2);
}
