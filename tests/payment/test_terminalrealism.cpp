// The requests against a terminal that behaves as real ones do: displays anywhere, blocks
// resent, slow lines, check characters that look like control characters, card numbers in its
// answers and print-outs. The simulator's terminal runs in-process on the manual clock.
#include "paymenttest.h"

#include "payment/demandestpe.h"
#include "payment/pontagetpvnew.h"

#include <functional>
#include <memory>
#include <utility>

using namespace Movendi;
using namespace Movendi::Payment;
using Movendi::Test::SimulatedTerminal;
using Movendi::Test::SimulatedTerminalFactory;

namespace {

const QByteArray SimulatorCard = "4970101234567893";

class RealTerminalTest : public Movendi::Test::PaymentTest
{
protected:
    // A terminal of its own for one case of a table; the link starts afresh on it.
    struct Case
    {
        SimulatedTerminal terminal;
        SimulatedTerminalFactory factory{terminal};
    };
    std::unique_ptr<Case> fresh(const QStringList &directives)
    {
        auto c = std::make_unique<Case>();
        c->terminal.apply(directives);
        m_lignes = &c->factory;
        reinitialiserPaiement();
        return c;
    }
    int journalSize() const { return int(journalRows().size()); }
};

} // namespace

TEST_F(RealTerminalTest, PaymentAnswersAreTakenWholeWhateverTheTerminalInterleaves)
{
    const QList<QStringList> cases{
        {QStringLiteral("blanc-avant")},    {QStringLiteral("affichage-entre-blocs")},
        {QStringLiteral("suite D")},        {QStringLiteral("suite P")},
        {QStringLiteral("renvoi")},         {QStringLiteral("impression-debit")},
        {QStringLiteral("controle piege")}, {QStringLiteral("tours-pin 2 4000")},
        {QStringLiteral("cadence 9600")},   {QStringLiteral("realiste")},
    };
    for (const QStringList &directives : cases) {
        SCOPED_TRACE(directives.join(QLatin1Char(',')).toStdString());
        const auto terminal = fresh(directives);
        etatPaiement().PaymentAmountCents = 1250;
        const qint64 start = m_clock.monotonicMs();
        // As a sale does: the card is seen, then authorised, then debited.
        EXPECT_EQ(DemSwi(), 255);
        EXPECT_EQ(DemVal(true), 255);
        EXPECT_EQ(DemEnr(true), 255);
        // Both phases end on the terminal's cleared screen, not on their five-minute limit.
        EXPECT_LT(m_clock.monotonicMs() - start, 30000);
        const EtatPaiement &e = etatPaiement();
        EXPECT_EQ(e.CardNumber, QStringLiteral("497010******7893"));
        for (const QString &ticket : {e.MerchantTicketText, e.CustomerTicketText})
            EXPECT_TRUE(ticket.contains(QStringLiteral("\r\nMONTANT = 12,50 EUR\r\n")))
                << ticket.toStdString();
        EXPECT_EQ(e.RemittanceNumber, 1);
        // The line is left clean: the next exchange goes through.
        EXPECT_EQ(DemSwi(), 255);
        EXPECT_EQ(terminal->terminal.journalCount(QStringLiteral("abandon")), 0);
        expectCardNumberHidden(SimulatorCard);
    }
}

TEST_F(RealTerminalTest, APaymentPhaseEndsOnItsAnswerWhenTheDisplayWasClearedBeforeIt)
{
    // The terminal clears its display, then answers, and shows nothing more: the last display
    // was the cleared one, so the answer ends the phase (a display between the two blocks of
    // the answer does not count as the last one).
    for (const QStringList &directives :
         {QStringList{QStringLiteral("efface-avant")},
          QStringList{QStringLiteral("realiste"), QStringLiteral("efface-avant")}}) {
        SCOPED_TRACE(directives.join(QLatin1Char(',')).toStdString());
        const auto terminal = fresh(directives);
        etatPaiement().PaymentAmountCents = 1250;
        ASSERT_EQ(DemSwi(), 255);
        for (const auto &[demande, nom] :
             {std::pair{std::function<int()>([this] { return DemVal(true); }), "solvabilite"},
              std::pair{std::function<int()>([this] { return DemEnr(true); }), "debit"}}) {
            SCOPED_TRACE(nom);
            EXPECT_EQ(demande(), 255);
            EXPECT_LT(m_clock.monotonicMs() - terminal->terminal.lastReadDueMs(), 1000);
        }
        EXPECT_EQ(etatPaiement().CardNumber, QStringLiteral("497010******7893"));
        EXPECT_TRUE(
            etatPaiement().CustomerTicketText.contains(QStringLiteral("MONTANT = 12,50 EUR")));
    }
}

TEST_F(RealTerminalTest, AFrameThatIsNotTheAnswerNeverBecomesIt)
{
    // Position 8 onwards all "0": joined as if it were a second block, it would read as an
    // accepted solvency.
    const QByteArray stray = buildFrame("Zz020" + QByteArray(20, '0'));
    const auto terminal = fresh({});
    // Whatever the request, the same turn.
    terminal->terminal.answerFor([&](const QByteArray &) {
        return SimulatedTerminal::Frames{Movendi::Test::displayFrame("TAPEZ CODE", ""), stray,
                                         Movendi::Test::displayFrame("", "")};
    });
    etatPaiement().PaymentAmountCents = 1250;
    EXPECT_EQ(DemVal(true), 1);
    EXPECT_EQ(DemEnr(true), 1);
}

TEST_F(RealTerminalTest, EveryExchangeStartsOnAQuietLine)
{
    // What an interrupted display leaves on the line.
    {
        const auto terminal = fresh({});
        OpenTerminalPort();
        terminal->terminal.inject("   EN COURS    " + QByteArray(1, Ctl::DLE) + Ctl::ETX + "K");
        m_clock.advance(10);
        EXPECT_EQ(DemSwi(), 255);
    }
    // A terminal that shows several screens after its remittance answer, at 9600 baud too.
    for (const QStringList &directives :
         {QStringList{QStringLiteral("affichages-apres 3")},
          QStringList{QStringLiteral("affichages-apres 3"), QStringLiteral("cadence 9600")}}) {
        SCOPED_TRACE(directives.join(QLatin1Char(',')).toStdString());
        const auto terminal = fresh(directives);
        EXPECT_EQ(DemTC(true), 255);
        EXPECT_EQ(DemTIC(), 255);
        EXPECT_TRUE(etatPaiement().MerchantTicketText.contains(QStringLiteral("NB REMISE: 1")));
    }
}

TEST_F(RealTerminalTest, AmountsTheTerminalCannotTakeAreRefusedBeforeAnythingIsSent)
{
    const auto terminal = fresh({});
    for (const qint64 cents : {qint64(-1), qint64(-125000), qint64(100000000), qint64(1) << 40}) {
        SCOPED_TRACE(cents);
        etatPaiement().PaymentAmountCents = cents;
        const int before = journalSize();
        EXPECT_EQ(DemVal(true), 1);
        EXPECT_EQ(DemEnr(true), 1);
        EXPECT_EQ(journalSize(), before + 2);
        EXPECT_TRUE(journalRows().last().erreur.contains(QString::number(cents)));
    }
    EXPECT_TRUE(terminal->terminal.written().isEmpty());
    // The largest amount the terminal takes still goes.
    etatPaiement().PaymentAmountCents = 99999999;
    EXPECT_EQ(DemVal(true), 255);
    EXPECT_EQ(terminal->terminal.journalCount(QStringLiteral("AK0160999999993097")), 1);
}

TEST_F(RealTerminalTest, CardNumbersNeverGoOutInClear)
{
    // A refused card: the raw answer is journalled, the card's number glued to its neighbours.
    {
        const auto terminal = fresh({QStringLiteral("solvabilite refuse 9 20")});
        etatPaiement().PaymentAmountCents = 1250;
        EXPECT_EQ(DemVal(true), 2);
        const QStringList raw = journalTexts(QStringLiteral("Carte refusée DemVal"));
        ASSERT_EQ(raw.size(), 2);
        EXPECT_TRUE(raw.at(0).contains(QStringLiteral("497010******7893")))
            << raw.at(0).toStdString();
        // The amount is a field of its own and stays readable.
        EXPECT_TRUE(raw.at(0).contains(QStringLiteral("00001250978")));
        expectCardNumberHidden(SimulatorCard);
    }
    // A remittance whose print-out lists the card of each debit, listened to or read as a
    // stream.
    for (const bool listen : {true, false}) {
        SCOPED_TRACE(listen);
        const auto terminal = fresh({QStringLiteral("affichage non")});
        etatPaiement().PaymentAmountCents = 1250;
        ASSERT_EQ(DemVal(false), 255);
        ASSERT_EQ(DemEnr(false), 255);
        terminal->terminal.scenario().displays = listen;
        EXPECT_EQ(DemTC(listen), 255);
        EXPECT_TRUE(etatPaiement().MerchantTicketText.contains(QStringLiteral("497010******7893")))
            << etatPaiement().MerchantTicketText.toStdString();
        expectCardNumberHidden(SimulatorCard);
    }
    // A card number across the 249th character of the remittance phase's journal text.
    {
        const auto terminal = fresh({});
        terminal->terminal.answerFor([](const QByteArray &) {
            const QByteArray line = "P" + QByteArray(200, '-') + "\r\n";
            return SimulatedTerminal::Frames{
                buildFrame(line), buildFrame("P" + QByteArray(30, '-') + SimulatorCard + "\r\n"),
                buildFrame(buildMessage("Aj", "000011000010")),
                Movendi::Test::displayFrame("FIN", "")};
        });
        EXPECT_EQ(DemTC(true), 255);
        const QStringList phase = journalTexts(QStringLiteral("EcouterDemTC"));
        ASSERT_FALSE(phase.isEmpty());
        EXPECT_EQ(phase.last().size(), 249);
        expectCardNumberHidden(SimulatorCard);
    }
}
