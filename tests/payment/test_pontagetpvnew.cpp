// The terminal link over the simulator's terminal in-process: frames, line discipline,
// time-outs, phases.
#include "paymenttest.h"

#include "payment/pontagetpvnew.h"

using namespace Movendi;
using namespace Movendi::Payment;
using Movendi::Test::displayFrame;
using Movendi::Test::SimulatedTerminal;
using Movendi::Test::SimulatedTerminalLine;

namespace {

QByteArray bytes(std::initializer_list<char> chars)
{
    return QByteArray(chars.begin(), qsizetype(chars.size()));
}

const QByteArray Eot(1, Ctl::EOT);

class LinkTest : public Movendi::Test::PaymentTest
{
protected:
    qint64 now() const { return m_clock.monotonicMs(); }
    // The terminal answers the kiosk's next ENQs with its own turn: one display frame.
    void collide(int times, const QByteArray &line1, const QByteArray &line2)
    {
        m_terminal.scenario().collisions = times;
        m_terminal.scenario().collisionLine1 = line1;
        m_terminal.scenario().collisionLine2 = line2;
    }
};

} // namespace

TEST(Frame, StatusFrameCarriesTheExclusiveOrOfEverythingAfterStx)
{
    const QByteArray frame = buildFrame("AA000");
    char lrc = 0;
    for (char c : QByteArray("AA000") + Ctl::DLE + Ctl::ETX)
        lrc = char(lrc ^ c);
    EXPECT_EQ(frame, Ctl::STX + QByteArray("AA000") + Ctl::DLE + Ctl::ETX + lrc);
    EXPECT_EQ(frame.size(), 5 + 4);
    EXPECT_EQ(ComputeLrc(bytes({Ctl::STX, 'A'})), QByteArray("A"));
    EXPECT_EQ(ComputeLrc(QByteArray(1, Ctl::STX)), QByteArray(1, '\0'));
}

TEST(Frame, BlocksJoinWithoutTheFirstBlockEndAndTheSecondStx)
{
    const QByteArray joined = joinBlocks(buildFirstBlock("Al355abc"),
                                         Ctl::STX + QByteArray("def") + Ctl::DLE + Ctl::ETX + 'x');
    EXPECT_EQ(joined, Ctl::STX + QByteArray("Al355abcdef") + Ctl::DLE + Ctl::ETX + 'x');
}

TEST(Frame, CardNumbersAreMaskedToSixAndFour)
{
    EXPECT_EQ(maskCardNumber(QStringLiteral("1234567890123456")),
              QStringLiteral("123456******3456"));
    EXPECT_EQ(maskCardNumber(QStringLiteral("123456789012")), QStringLiteral("************"));
    EXPECT_EQ(maskCardNumber(QStringLiteral("1234567890123")), QStringLiteral("123456***0123"));
    EXPECT_EQ(maskCardNumber(QStringLiteral("1234 5678 9012 3456")),
              QStringLiteral("1234 56** **** 3456"));
    EXPECT_EQ(maskCardNumber(QString()), QString());
    EXPECT_EQ(maskCardNumbersIn(QStringLiteral("a4970101234567893b 000000012345")),
              QStringLiteral("a497010******7893b 000000012345"));
    // Written in groups, or glued to another number: a run that passes the Luhn check keeps its
    // first six and last four; digits in groups that pass no check stay as they are.
    const struct
    {
        const char *texte;
        const char *masque;
    } groupes[] = {
        {"Carte 4970 1012 3456 7893 ok", "Carte 4970 10** **** 7893 ok"},
        {"4970-1012-3456-7893", "4970-10**-****-7893"},
        {"No 4970-1012-3456-7893, 10 EUR", "No 4970-10**-****-7893, 10 EUR"},
        {"Tel 06 12 34 56 78 le 08-12-2026", "Tel 06 12 34 56 78 le 08-12-2026"},
        {"4970  1012 3456 7893", "4970  1012 3456 7893"},
    };
    for (const auto &g : groupes)
        EXPECT_EQ(maskCardNumbersIn(QString::fromLatin1(g.texte)), QString::fromLatin1(g.masque))
            << g.texte;
}

TEST_F(LinkTest, PortIsOpenedOnceWithTheTerminalSettings)
{
    EXPECT_TRUE(OpenTerminalPort());
    EXPECT_TRUE(OpenTerminalPort());
    EXPECT_EQ(SimulatedTerminalLine::opens, 1);
    EXPECT_EQ(SimulatedTerminalLine::lastPort, 4);
    EXPECT_EQ(SimulatedTerminalLine::lastSettings, QStringLiteral("9600,N,8,1"));
}

TEST_F(LinkTest, MissingPortIsJournalledOnceAndExchangesTimeOut)
{
    SimulatedTerminalLine::refuseOpen = true;
    const qint64 start = now();
    EXPECT_FALSE(CheckTerminalReady());
    EXPECT_FALSE(CheckTerminalReady());
    EXPECT_GE(now() - start, 4000);
    EXPECT_EQ(journalTexts(QStringLiteral("OpenTerminalPort")).size(), 1);
    SimulatedTerminalLine::refuseOpen = false;
    EXPECT_TRUE(CheckTerminalReady());
}

TEST_F(LinkTest, SendAndWaitDropsStaleInputAndReturnsWhatArrived)
{
    OpenTerminalPort();
    m_terminal.inject("stale");
    m_clock.advance(1);
    EXPECT_EQ(SendAndWait(QByteArray(1, Ctl::ENQ), false, 1, 2), QByteArray(1, Ctl::ACK));
    EXPECT_TRUE(SendAndWait(QByteArray(), false, 1, 2).isEmpty());

    m_terminal.apply({QStringLiteral("sans-ack-enq")});
    const qint64 start = now();
    EXPECT_TRUE(SendAndWait(QByteArray(1, Ctl::ENQ), false, 1, 2).isEmpty());
    EXPECT_GE(now() - start, 2000);
    EXPECT_LT(now() - start, 2100);
}

TEST_F(LinkTest, SendAndWaitAddsTheCheckCharacterWhenAsked)
{
    OpenTerminalPort();
    SendAndWait(Ctl::STX + QByteArray("AA000") + Ctl::DLE + Ctl::ETX, true, 1, 3);
    ASSERT_EQ(m_terminal.framesReceived().size(), 1);
    EXPECT_EQ(m_terminal.framesReceived().at(0), buildFrame("AA000"));
}

TEST_F(LinkTest, ThreeRefusalsSendTheFrameThreeTimesThenRelease)
{
    m_terminal.apply({QStringLiteral("nak 3")});
    int expected = 13;
    EXPECT_EQ(ExchangeMessage("AA000", expected, 3), ErrMessage);
    EXPECT_EQ(m_terminal.framesReceived(), QList<QByteArray>(3, buildFrame("AA000")));
    EXPECT_TRUE(m_terminal.written().endsWith(Eot));
}

TEST_F(LinkTest, TwoRefusalsThenTheFrameGoesThrough)
{
    m_terminal.apply({QStringLiteral("nak 2")});
    const QByteArray answer = buildFrame("Aa0040100");
    m_terminal.answerFor([&](const QByteArray &) { return SimulatedTerminal::Frames{answer}; });
    int expected = 13;
    EXPECT_EQ(ExchangeMessage("AA000", expected, 3), answer);
    EXPECT_EQ(m_terminal.framesReceived().size(), 3);
}

TEST_F(LinkTest, UnansweredFrameIsTakenAsAcknowledged)
{
    m_terminal.apply({QStringLiteral("sans-ack-trame")});
    const QByteArray answer = buildFrame("Aa0040100");
    m_terminal.answerFor([&](const QByteArray &) { return SimulatedTerminal::Frames{answer}; });
    const qint64 start = now();
    int expected = 13;
    EXPECT_EQ(ExchangeMessage("AA000", expected, 3), answer);
    EXPECT_EQ(m_terminal.framesReceived().size(), 1);
    EXPECT_GE(now() - start, 3000);
}

TEST_F(LinkTest, NoTurnFromTheTerminalIsAFailure)
{
    m_terminal.apply({QStringLiteral("sans-reponse")});
    const qint64 start = now();
    int expected = 13;
    EXPECT_EQ(ExchangeMessage("AA000", expected, 7), ErrMessage);
    EXPECT_GE(now() - start, 7000);
    EXPECT_LT(now() - start, 8000);
}

TEST_F(LinkTest, LongExpectedAnswerIsReadAsTwoBlocks)
{
    const QByteArray message = answerMessage("Al", 355);
    const QList<QByteArray> blocks = Movendi::Test::answerBlocks(message);
    ASSERT_EQ(blocks.size(), 2);
    ASSERT_EQ(blocks.at(0).size(), 252);
    ASSERT_EQ(blocks.at(1).size(), 355 - 239);
    m_terminal.answerFor([&](const QByteArray &) { return blocks; });
    int expected = 364;
    // Joined blocks end with the second block's own check character.
    EXPECT_EQ(ExchangeMessage("AL01100001250978", expected, 10).chopped(1),
              buildFrame(message).chopped(1));
    EXPECT_EQ(expected, 355 - 239);
}

TEST_F(LinkTest, AnswerOf248IsReadAsOneBlock)
{
    const QByteArray message = answerMessage("Ax", 239);
    ASSERT_EQ(buildFrame(message).size(), 248);
    m_terminal.answerFor(
        [&](const QByteArray &) { return SimulatedTerminal::Frames{buildFrame(message)}; });
    int expected = 248;
    const qint64 start = now();
    EXPECT_EQ(ExchangeMessage("AX000", expected, 10), buildFrame(message));
    EXPECT_EQ(expected, 248);
    EXPECT_LT(now() - start, 1000) << "a complete block must not wait for more";
}

TEST_F(LinkTest, ShortAnswerToALongRequestIsNotJoined)
{
    const QByteArray refusal = buildFrame("Al0041...");
    m_terminal.answerFor([&](const QByteArray &) { return SimulatedTerminal::Frames{refusal}; });
    int expected = 364;
    EXPECT_EQ(ExchangeMessage("AL01100001250978", expected, 10), refusal);
}

TEST_F(LinkTest, SizedAnswerReadsTheStatedLength)
{
    const QByteArray report = buildFrame(answerMessage("Aj", 200));
    m_terminal.answerFor([&](const QByteArray &) { return SimulatedTerminal::Frames{report}; });
    int length = 250;
    EXPECT_EQ(ExchangeSizedAnswer("AJ00203", length, 10), report);
    EXPECT_EQ(length, report.size());
}

TEST_F(LinkTest, SizedAnswerInTwoBlocksKeepsItsEnd)
{
    const QByteArray message = answerMessage("Aj", 276);
    m_terminal.answerFor([&](const QByteArray &) { return Movendi::Test::answerBlocks(message); });
    int length = 250;
    EXPECT_EQ(ExchangeSizedAnswer("AJ00203", length, 10).chopped(1),
              buildFrame(message).chopped(1));
}

TEST_F(LinkTest, LineCheckWantsAnAcknowledgement)
{
    EXPECT_TRUE(CheckTerminalReady());
    m_terminal.apply({QStringLiteral("sans-ack-enq")});
    const qint64 start = now();
    EXPECT_FALSE(CheckTerminalReady());
    EXPECT_GE(now() - start, 2000);
}

TEST_F(LinkTest, BidForLine)
{
    EXPECT_EQ(BidForLine(), 1);
    EXPECT_EQ(SimulatedTerminalLine::inputLength, 0);

    m_terminal.apply({QStringLiteral("sans-ack-enq")});
    EXPECT_EQ(BidForLine(), 0);
    EXPECT_EQ(m_terminal.count(Ctl::ENQ), 1 + 3);
    EXPECT_EQ(SimulatedTerminalLine::inputLength, 0);
}

TEST_F(LinkTest, BidForLineLetsTheTerminalSpeakFirst)
{
    collide(1, "BONJOUR", "");
    EXPECT_EQ(BidForLine(), 1);
    EXPECT_EQ(m_terminal.count(Ctl::ENQ), 2);
}

TEST_F(LinkTest, BidForLineSeesARemittanceRunning)
{
    collide(1, "Telecollecte", "en cours");
    EXPECT_EQ(BidForLine(), -404);
    EXPECT_EQ(SimulatedTerminalLine::inputLength, 0);
}

TEST_F(LinkTest, BidForLineGivesUpOnATerminalThatNeverYields)
{
    collide(1000, "OCCUPE", "");
    EXPECT_EQ(BidForLine(), 0);
}

TEST_F(LinkTest, SolvencyPhaseShowsTheTerminalDisplayUntilAnsweredAndCleared)
{
    const QByteArray message = answerMessage("Ak", 313);
    QList<QByteArray> frames{displayFrame("MONTANT   12,50E", "INTRODUIRE CARTE"),
                             displayFrame("TAPEZ VOTRE CODE", "")};
    frames += Movendi::Test::answerBlocks(message);
    frames << displayFrame("PAIEMENT ACCEPTE", "") << displayFrame("", "");
    m_terminal.answerFor([&](const QByteArray &) { return frames; });

    const QByteArray answer = ExchangeAndListen("AK016", 322, 180, Ecoute::DemVAl);
    EXPECT_EQ(answer.chopped(1), buildFrame(message).chopped(1));
    EXPECT_EQ(m_paymentDisplay.shown,
              QStringList({QStringLiteral("MONTANT   12,50E\nINTRODUIRE CARTE"),
                           QStringLiteral("TAPEZ VOTRE CODE\n                "),
                           QStringLiteral("PAIEMENT ACCEPTE\n                "),
                           QStringLiteral("                \n                ")}));
    EXPECT_EQ(m_paymentDisplay.shows, 1);
    EXPECT_EQ(m_paymentDisplay.hides, 1);
    EXPECT_EQ(m_homeDisplay.shows, 0);
    EXPECT_EQ(SimulatedTerminalLine::inputLength, 0);
}

TEST_F(LinkTest, SolvencyPhaseWithoutABlankDisplayRunsItsFullTime)
{
    const QByteArray answer = buildFrame(answerMessage("Ak", 100));
    m_terminal.answerFor([&](const QByteArray &) { return SimulatedTerminal::Frames{answer}; });
    const qint64 start = now();
    EXPECT_EQ(ExchangeAndListen("AK016", 322, 180, Ecoute::DemVAl), answer);
    EXPECT_GE(now() - start, 300000);
    EXPECT_LT(now() - start, 303000);
}

TEST_F(LinkTest, SolvencyPhaseWithoutAnAnswerEndsAfterFiveMinutes)
{
    m_terminal.answerFor(
        [&](const QByteArray &) { return SimulatedTerminal::Frames{displayFrame("", "")}; });
    const qint64 start = now();
    EXPECT_TRUE(ExchangeAndListen("AK016", 322, 180, Ecoute::DemVAl).isEmpty());
    EXPECT_GE(now() - start, 300000);
    EXPECT_LT(now() - start, 303000);
    EXPECT_FALSE(m_paymentDisplay.visible);
}

TEST_F(LinkTest, RestartPhaseEndsAtTheFifthEotOnTheHomeDisplay)
{
    m_terminal.answerFor([&](const QByteArray &) {
        return SimulatedTerminal::Frames{displayFrame("REDEMARRAGE", ""), QByteArray(6, Ctl::EOT)};
    });
    const qint64 start = now();
    const QByteArray text = ExchangeAndListen("AU000", 12, 10, Ecoute::Demarrage);
    EXPECT_EQ(text.count(Ctl::EOT), 5);
    EXPECT_LT(now() - start, 5000);
    EXPECT_TRUE(text.contains("REDEMARRAGE"));
    EXPECT_EQ(m_homeDisplay.shown.size(), 1);
    EXPECT_EQ(m_homeDisplay.hides, 1);
    EXPECT_EQ(m_paymentDisplay.shows, 0);
}

TEST_F(LinkTest, RefusedRestartGivesAnEmptyText)
{
    m_terminal.apply({QStringLiteral("nak 3")});
    EXPECT_TRUE(ExchangeAndListen("AU000", 12, 10, Ecoute::Demarrage).isEmpty());
}

TEST_F(LinkTest, RemittancePhaseCollectsPrintLinesAndEndsAtTheNextDisplay)
{
    const QByteArray answer = buildFrame("Aj0120..011234560");
    m_terminal.answerFor([&](const QByteArray &) {
        return SimulatedTerminal::Frames{displayFrame("TELECOLLECTE", "EN COURS"),
                                         buildFrame("PREMISE 000123\r\n"),
                                         buildFrame("PTOTAL 12,50\r\n"),
                                         answer,
                                         displayFrame("FIN", ""),
                                         displayFrame("JAMAIS", "")};
    });
    etatPaiement().MerchantTicketText = QStringLiteral("avant");
    EXPECT_EQ(ExchangeAndListen("AJ00204", 210, 900, Ecoute::DemTC), answer);
    EXPECT_EQ(etatPaiement().MerchantTicketText,
              QStringLiteral("REMISE 000123\r\nTOTAL 12,50\r\n"));
    EXPECT_EQ(m_homeDisplay.shown.size(), 2);
    const QStringList journal = journalTexts(QStringLiteral("EcouterDemTC"));
    ASSERT_EQ(journal.size(), 1);
    EXPECT_TRUE(journal.at(0).contains(QStringLiteral("TELECOLLECTE")));
    EXPECT_LE(journal.at(0).size(), 249);
}

TEST_F(LinkTest, RemittancePhaseEndsOnSilenceOrAtItsOverallLimit)
{
    struct Row
    {
        int displays;
        qint64 everyMs;
        qint64 endMs; // from the start of the phase
        bool limitJournalled;
    };
    const QList<Row> rows{
        // Talks for a quarter of an hour, hands the line back and falls silent: ten minutes of
        // silence end the phase.
        {6, 150000, 6 * 150000 + 600000, false},
        // Never stops talking, a display every 590 seconds: the overall limit ends it.
        {10, 590000, 1800000, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.everyMs);
        reinitialiserPaiement();
        m_terminal.scenario().script = [row](const QByteArray &) {
            QList<Movendi::TpeSim::ScriptedItem> items;
            for (int i = 0; i < row.displays; ++i)
                items.append({displayFrame("PATIENTEZ", ""), true, int(row.everyMs)});
            return std::optional(items);
        };
        const int before = int(journalTexts(QStringLiteral("EcouterDemTC")).size());
        const qint64 start = now();
        EXPECT_TRUE(ExchangeAndListen("AJ00204", 210, 900, Ecoute::DemTC).isEmpty());
        EXPECT_GE(now() - start, row.endMs);
        EXPECT_LT(now() - start, row.endMs + 3000);
        const QStringList journal = journalTexts(QStringLiteral("EcouterDemTC")).mid(before);
        EXPECT_EQ(journal.size(), row.limitJournalled ? 2 : 1);
        EXPECT_EQ(journal.join(QLatin1Char(' ')).contains(QStringLiteral("1800 s")),
                  row.limitJournalled);
        // The terminal still talking is cut off; the next exchange starts afresh.
        m_terminal.scenario().script = {};
        m_clock.advance(row.everyMs);
    }
}

TEST_F(LinkTest, RemittanceStreamWithoutListeningFindsTheAnswer)
{
    const QByteArray answer = buildFrame("Aj0120..011234560");
    m_terminal.answerFor([&](const QByteArray &) {
        return SimulatedTerminal::Frames{QByteArray("journal de remise") + answer};
    });
    const QByteArray read = ExchangeAndReadStream("AJ00204", 900);
    EXPECT_TRUE(read.startsWith(answer)) << read.toStdString();
    EXPECT_TRUE(etatPaiement().MerchantTicketText.startsWith(QStringLiteral("journal")));
    EXPECT_EQ(SimulatedTerminalLine::inputLength, 0);
}
