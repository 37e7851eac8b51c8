// The terminal link over an in-process terminal: frames, line discipline, time-outs, phases.
#include "paymenttest.h"

#include "payment/pontagetpvnew.h"

using namespace Movendi;
using namespace Movendi::Payment;
using Movendi::Test::displayFrame;
using Movendi::Test::FakeTerminal;
using Movendi::Test::FakeTerminalLine;

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
    EXPECT_EQ(maskCardNumbersIn(QStringLiteral("a4970101234567890b 000000012345")),
              QStringLiteral("a497010******7890b 000000012345"));
}

TEST_F(LinkTest, PortIsOpenedOnceWithTheTerminalSettings)
{
    EXPECT_TRUE(OpenTerminalPort());
    EXPECT_TRUE(OpenTerminalPort());
    EXPECT_EQ(FakeTerminalLine::opens, 1);
    EXPECT_EQ(FakeTerminalLine::lastPort, 4);
    EXPECT_EQ(FakeTerminalLine::lastSettings, QStringLiteral("9600,N,8,1"));
}

TEST_F(LinkTest, MissingPortIsJournalledOnceAndExchangesTimeOut)
{
    FakeTerminalLine::refuseOpen = true;
    const qint64 start = now();
    EXPECT_FALSE(CheckTerminalReady());
    EXPECT_FALSE(CheckTerminalReady());
    EXPECT_GE(now() - start, 4000);
    EXPECT_EQ(journalTexts(QStringLiteral("OpenTerminalPort")).size(), 1);
    FakeTerminalLine::refuseOpen = false;
    EXPECT_TRUE(CheckTerminalReady());
}

TEST_F(LinkTest, SendAndWaitDropsStaleInputAndReturnsWhatArrived)
{
    OpenTerminalPort();
    m_terminal.deliver("stale");
    m_clock.advance(1);
    m_terminal.enqReply = FakeTerminal::EnqReply::Ack;
    EXPECT_EQ(SendAndWait(QByteArray(1, Ctl::ENQ), false, 1, 2), QByteArray(1, Ctl::ACK));
    EXPECT_TRUE(SendAndWait(QByteArray(), false, 1, 2).isEmpty());

    m_terminal.enqReply = FakeTerminal::EnqReply::Silent;
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
    m_terminal.naksLeft = 3;
    int expected = 13;
    EXPECT_EQ(ExchangeMessage("AA000", expected, 3), ErrMessage);
    EXPECT_EQ(m_terminal.framesReceived(), QList<QByteArray>(3, buildFrame("AA000")));
    EXPECT_TRUE(m_terminal.written().endsWith(Eot));
}

TEST_F(LinkTest, TwoRefusalsThenTheFrameGoesThrough)
{
    m_terminal.naksLeft = 2;
    const QByteArray answer = buildFrame("Aa0040100");
    m_terminal.answerFor = [&](const QByteArray &) { return FakeTerminal::Answer{answer}; };
    int expected = 13;
    EXPECT_EQ(ExchangeMessage("AA000", expected, 3), answer);
    EXPECT_EQ(m_terminal.framesReceived().size(), 3);
}

TEST_F(LinkTest, UnansweredFrameIsTakenAsAcknowledged)
{
    m_terminal.frameSilent = true;
    const QByteArray answer = buildFrame("Aa0040100");
    m_terminal.answerFor = [&](const QByteArray &) { return FakeTerminal::Answer{answer}; };
    const qint64 start = now();
    int expected = 13;
    EXPECT_EQ(ExchangeMessage("AA000", expected, 3), answer);
    EXPECT_EQ(m_terminal.framesReceived().size(), 1);
    EXPECT_GE(now() - start, 3000);
}

TEST_F(LinkTest, NoTurnFromTheTerminalIsAFailure)
{
    m_terminal.handOverSilent = true;
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
    m_terminal.answerFor = [&](const QByteArray &) { return blocks; };
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
    m_terminal.answerFor = [&](const QByteArray &) {
        return FakeTerminal::Answer{buildFrame(message)};
    };
    int expected = 248;
    const qint64 start = now();
    EXPECT_EQ(ExchangeMessage("AX000", expected, 10), buildFrame(message));
    EXPECT_EQ(expected, 248);
    EXPECT_LT(now() - start, 1000) << "a complete block must not wait for more";
}

TEST_F(LinkTest, ShortAnswerToALongRequestIsNotJoined)
{
    const QByteArray refusal = buildFrame("Al0041...");
    m_terminal.answerFor = [&](const QByteArray &) { return FakeTerminal::Answer{refusal}; };
    int expected = 364;
    EXPECT_EQ(ExchangeMessage("AL01100001250978", expected, 10), refusal);
}

TEST_F(LinkTest, SizedAnswerReadsTheStatedLength)
{
    const QByteArray report = buildFrame(answerMessage("Aj", 200));
    m_terminal.answerFor = [&](const QByteArray &) { return FakeTerminal::Answer{report}; };
    int length = 250;
    EXPECT_EQ(ExchangeSizedAnswer("AJ00203", length, 10), report);
    EXPECT_EQ(length, report.size());
}

TEST_F(LinkTest, SizedAnswerInTwoBlocksKeepsItsEnd)
{
    const QByteArray message = answerMessage("Aj", 276);
    m_terminal.answerFor = [&](const QByteArray &) { return Movendi::Test::answerBlocks(message); };
    int length = 250;
    EXPECT_EQ(ExchangeSizedAnswer("AJ00203", length, 10).chopped(1),
              buildFrame(message).chopped(1));
}

TEST_F(LinkTest, LineCheckWantsAnAcknowledgement)
{
    EXPECT_TRUE(CheckTerminalReady());
    m_terminal.enqReply = FakeTerminal::EnqReply::Silent;
    const qint64 start = now();
    EXPECT_FALSE(CheckTerminalReady());
    EXPECT_GE(now() - start, 2000);
}

TEST_F(LinkTest, BidForLine)
{
    EXPECT_EQ(BidForLine(), 1);
    EXPECT_EQ(FakeTerminalLine::inputLength, 0);

    m_terminal.enqReply = FakeTerminal::EnqReply::Silent;
    EXPECT_EQ(BidForLine(), 0);
    EXPECT_EQ(m_terminal.count(Ctl::ENQ), 1 + 3);
    EXPECT_EQ(FakeTerminalLine::inputLength, 0);
}

TEST_F(LinkTest, BidForLineLetsTheTerminalSpeakFirst)
{
    m_terminal.collisionsLeft = 1;
    m_terminal.collisionFrame = displayFrame("BONJOUR", "");
    EXPECT_EQ(BidForLine(), 1);
    EXPECT_EQ(m_terminal.count(Ctl::ENQ), 2);
}

TEST_F(LinkTest, BidForLineSeesARemittanceRunning)
{
    m_terminal.collisionsLeft = 1;
    m_terminal.collisionFrame = displayFrame("Telecollecte", "en cours");
    EXPECT_EQ(BidForLine(), -404);
    EXPECT_EQ(FakeTerminalLine::inputLength, 0);
}

TEST_F(LinkTest, BidForLineGivesUpOnATerminalThatNeverYields)
{
    m_terminal.collisionsLeft = 1000;
    m_terminal.collisionFrame = displayFrame("OCCUPE", "");
    EXPECT_EQ(BidForLine(), 0);
}

TEST_F(LinkTest, SolvencyPhaseShowsTheTerminalDisplayUntilAnsweredAndCleared)
{
    const QByteArray message = answerMessage("Ak", 313);
    QList<QByteArray> frames{displayFrame("MONTANT   12,50E", "INTRODUIRE CARTE"),
                             displayFrame("TAPEZ VOTRE CODE", "")};
    frames += Movendi::Test::answerBlocks(message);
    frames << displayFrame("PAIEMENT ACCEPTE", "") << displayFrame("", "");
    m_terminal.answerFor = [&](const QByteArray &) { return frames; };

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
    EXPECT_EQ(FakeTerminalLine::inputLength, 0);
}

TEST_F(LinkTest, SolvencyPhaseWithoutABlankDisplayRunsItsFullTime)
{
    const QByteArray answer = buildFrame(answerMessage("Ak", 100));
    m_terminal.answerFor = [&](const QByteArray &) { return FakeTerminal::Answer{answer}; };
    const qint64 start = now();
    EXPECT_EQ(ExchangeAndListen("AK016", 322, 180, Ecoute::DemVAl), answer);
    EXPECT_GE(now() - start, 300000);
    EXPECT_LT(now() - start, 303000);
}

TEST_F(LinkTest, SolvencyPhaseWithoutAnAnswerEndsAfterFiveMinutes)
{
    m_terminal.answerFor = [&](const QByteArray &) {
        return FakeTerminal::Answer{displayFrame("", "")};
    };
    const qint64 start = now();
    EXPECT_TRUE(ExchangeAndListen("AK016", 322, 180, Ecoute::DemVAl).isEmpty());
    EXPECT_GE(now() - start, 300000);
    EXPECT_LT(now() - start, 303000);
    EXPECT_FALSE(m_paymentDisplay.visible);
}

TEST_F(LinkTest, RestartPhaseEndsAtTheFifthEotOnTheHomeDisplay)
{
    m_terminal.answerFor = [&](const QByteArray &) {
        return FakeTerminal::Answer{displayFrame("REDEMARRAGE", ""), QByteArray(6, Ctl::EOT)};
    };
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
    m_terminal.naksLeft = 3;
    EXPECT_TRUE(ExchangeAndListen("AU000", 12, 10, Ecoute::Demarrage).isEmpty());
}

TEST_F(LinkTest, RemittancePhaseCollectsPrintLinesAndEndsAtTheNextDisplay)
{
    const QByteArray answer = buildFrame("Aj0120..011234560");
    m_terminal.answerFor = [&](const QByteArray &) {
        return FakeTerminal::Answer{displayFrame("TELECOLLECTE", "EN COURS"),
                                    buildFrame("PREMISE 000123\r\n"),
                                    buildFrame("PTOTAL 12,50\r\n"),
                                    answer,
                                    displayFrame("FIN", ""),
                                    displayFrame("JAMAIS", "")};
    };
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

TEST_F(LinkTest, RemittancePhaseEndsTenMinutesAfterTheLastControlCharacter)
{
    m_terminal.answerFor = [&](const QByteArray &) { return FakeTerminal::Answer{}; };
    const qint64 start = now();
    // The terminal keeps talking for an hour, a display every 500 seconds, then falls silent.
    for (int i = 1; i <= 7; ++i)
        m_terminal.deliverAt(start + i * 500000, displayFrame("PATIENTEZ", ""));
    EXPECT_TRUE(ExchangeAndListen("AJ00204", 210, 900, Ecoute::DemTC).isEmpty());
    const qint64 last = start + 7 * 500000;
    EXPECT_GE(now(), last + 600000);
    EXPECT_LT(now(), last + 603000);
}

TEST_F(LinkTest, RemittanceStreamWithoutListeningFindsTheAnswer)
{
    const QByteArray answer = buildFrame("Aj0120..011234560");
    m_terminal.answerFor = [&](const QByteArray &) {
        return FakeTerminal::Answer{QByteArray("journal de remise") + answer};
    };
    const QByteArray read = ExchangeAndReadStream("AJ00204", 900);
    EXPECT_TRUE(read.startsWith(answer)) << read.toStdString();
    EXPECT_TRUE(etatPaiement().MerchantTicketText.startsWith(QStringLiteral("journal")));
    EXPECT_EQ(FakeTerminalLine::inputLength, 0);
}
