// The terminal simulator over its pseudo-terminal, byte by byte, as the kiosk would drive it.
#include "answers.h"
#include "kiosktest.h"
#include "payment/terminalframe.h"
#include "tpesim.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace Movendi;
using namespace Movendi::Test;
namespace Ctl = Payment::Ctl;

namespace {

constexpr int Wait = 2000;

// The kiosk's end of the line, raw.
class KioskEnd
{
public:
    ~KioskEnd() { close(); }

    bool open(const QString &device)
    {
        close();
        m_fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        if (m_fd < 0)
            return false;
        termios settings{};
        tcgetattr(m_fd, &settings);
        cfmakeraw(&settings);
        tcsetattr(m_fd, TCSANOW, &settings);
        return true;
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    void send(const QByteArray &bytes)
    {
        ASSERT_EQ(::write(m_fd, bytes.constData(), bytes.size()), bytes.size());
    }
    void send(char control) { send(QByteArray(1, control)); }

    // Up to n bytes, whatever has come when the time is up.
    QByteArray read(int n, int timeoutMs = Wait)
    {
        QByteArray data;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (data.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, int(left.count())) <= 0)
                break;
            char c;
            if (::read(m_fd, &c, 1) == 1)
                data += c;
        }
        return data;
    }
    char readByte(int timeoutMs = Wait)
    {
        const QByteArray b = read(1, timeoutMs);
        return b.isEmpty() ? char(0) : b.at(0);
    }
    // The rest of a block after its STX: up to DLE ETX or DLE ETB, and the LRC.
    QByteArray readBlockAfterStx()
    {
        QByteArray block(1, Ctl::STX);
        for (;;) {
            const QByteArray c = read(1);
            if (c.isEmpty())
                return block;
            block += c;
            const char last = c.at(0);
            if ((last == Ctl::ETX || last == Ctl::ETB) && block.at(block.size() - 2) == Ctl::DLE)
                return block + read(1);
        }
    }

    // ENQ, the request frame, EOT; true when the terminal then asks for the line.
    bool request(const QByteArray &message)
    {
        send(Ctl::ENQ);
        if (readByte() != Ctl::ACK)
            return false;
        send(Payment::buildFrame(message));
        if (readByte() != Ctl::ACK)
            return false;
        send(Ctl::EOT);
        return readByte() == Ctl::ENQ;
    }

    // After the terminal's ENQ: acknowledges it and every block up to the terminal's EOT.
    // The blocks in order of arrival; an empty list when the EOT never came.
    QList<QByteArray> listen()
    {
        QList<QByteArray> blocks;
        send(Ctl::ACK);
        for (;;) {
            const char c = readByte();
            if (c == Ctl::EOT)
                return blocks;
            if (c != Ctl::STX) {
                ADD_FAILURE() << "unexpected byte " << int(uchar(c)) << " in the terminal's turn";
                return {};
            }
            blocks.append(readBlockAfterStx());
            send(Ctl::ACK);
        }
    }

private:
    int m_fd = -1;
};

bool lrcIsRight(const QByteArray &block)
{
    return block.size() > 2 && Payment::ComputeLrc(block.left(block.size() - 1)) == block.right(1);
}

bool isFirstBlock(const QByteArray &block)
{
    return block.size() >= 3 && block.at(block.size() - 3) == Ctl::DLE &&
           block.at(block.size() - 2) == Ctl::ETB;
}

bool isLastBlock(const QByteArray &block)
{
    return block.size() >= 3 && block.at(block.size() - 3) == Ctl::DLE &&
           block.at(block.size() - 2) == Ctl::ETX;
}

// The answer among the blocks of a turn: the block carrying identifier, joined with the
// block after it when it ends in ETB.
QByteArray answerIn(const QList<QByteArray> &blocks, const QByteArray &identifier)
{
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        if (Payment::field(blocks.at(i), 2, 3) != identifier)
            continue;
        if (isFirstBlock(blocks.at(i)) && i + 1 < blocks.size())
            return Payment::joinBlocks(blocks.at(i), blocks.at(i + 1));
        return blocks.at(i);
    }
    return {};
}

QByteArray statusPoll(KioskEnd &kiosk)
{
    if (!kiosk.request("AA000"))
        return {};
    return answerIn(kiosk.listen(), "Aa");
}

class TpeSim : public ::testing::Test
{
protected:
    void startWith(const QStringList &directives)
    {
        ASSERT_TRUE(m_sim.start(directives));
        ASSERT_TRUE(m_kiosk.open(m_sim.devicePath())) << qPrintable(m_sim.devicePath());
    }
    TpeSimulator m_sim;
    KioskEnd m_kiosk;
};

TEST_F(TpeSim, AcknowledgesEnq)
{
    startWith({});
    EXPECT_TRUE(m_sim.devicePath().startsWith(QLatin1String("/dev/pts/")));
    m_kiosk.send(Ctl::ENQ);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::ACK);
    ASSERT_TRUE(m_sim.waitFor(QStringLiteral("envoye <ACK>")));
    EXPECT_EQ(m_sim.count(QStringLiteral("recu <ENQ>")), 1);
}

TEST_F(TpeSim, AnswersStatusFrameAtItsPositions)
{
    startWith({QStringLiteral("carte absente"), QStringLiteral("activite 2"),
               QStringLiteral("securite 1")});
    ASSERT_TRUE(m_kiosk.request("AA000"));
    m_kiosk.send(Ctl::ACK);
    const QByteArray answer = m_kiosk.read(13);
    ASSERT_EQ(answer.size(), 13);
    EXPECT_EQ(answer.left(6), QByteArray("\x02"
                                         "Aa004"));
    EXPECT_EQ(Payment::charAt(answer, 7), "0");
    EXPECT_EQ(Payment::charAt(answer, 8), "0");
    EXPECT_EQ(Payment::charAt(answer, 9), "2");
    EXPECT_EQ(Payment::charAt(answer, 10), "1");
    EXPECT_TRUE(isLastBlock(answer));
    EXPECT_TRUE(lrcIsRight(answer));
    m_kiosk.send(Ctl::ACK);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::EOT);
    ASSERT_TRUE(m_sim.waitFor(QStringLiteral("envoye <EOT>")));
    EXPECT_EQ(m_sim.count(QStringLiteral("recu trame AA000 ")), 1);
    EXPECT_EQ(m_sim.count(QStringLiteral("envoye trame Aa0040021")), 1);
}

TEST_F(TpeSim, NaksFrameWithWrongLrcAndAcceptsTheGoodOne)
{
    startWith({});
    QByteArray bad = Payment::buildFrame("AA000");
    bad.back() = char(bad.back() ^ 0x01);
    m_kiosk.send(Ctl::ENQ);
    ASSERT_EQ(m_kiosk.readByte(), Ctl::ACK);
    m_kiosk.send(bad);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::NAK);
    m_kiosk.send(Payment::buildFrame("AA000"));
    EXPECT_EQ(m_kiosk.readByte(), Ctl::ACK);
    // The refused frame is not a request: only the accepted one is answered after EOT.
    m_kiosk.send(Ctl::EOT);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::ENQ);
    EXPECT_EQ(m_sim.count(QStringLiteral("LRC faux")), 1);
}

TEST_F(TpeSim, NakScenarioRefusesTheFirstFrames)
{
    startWith({QStringLiteral("nak 2")});
    const QByteArray frame = Payment::buildFrame("AA000");
    m_kiosk.send(Ctl::ENQ);
    ASSERT_EQ(m_kiosk.readByte(), Ctl::ACK);
    m_kiosk.send(frame);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::NAK);
    m_kiosk.send(frame);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::NAK);
    m_kiosk.send(frame);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::ACK);
    ASSERT_TRUE(m_sim.waitFor(QStringLiteral("recu trame AA000"), 3));
    EXPECT_EQ(m_sim.count(QStringLiteral("envoye <NAK>")), 2);
}

TEST_F(TpeSim, ResendsItsFrameOnNak)
{
    startWith({});
    ASSERT_TRUE(m_kiosk.request("AA000"));
    m_kiosk.send(Ctl::ACK);
    const QByteArray first = m_kiosk.read(13);
    m_kiosk.send(Ctl::NAK);
    const QByteArray again = m_kiosk.read(13);
    EXPECT_EQ(again, first);
    m_kiosk.send(Ctl::ACK);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::EOT);
    EXPECT_EQ(m_sim.count(QStringLiteral("renvoye trame Aa004")), 1);
}

TEST_F(TpeSim, SolvencyComesInTwoBlocksBetweenDisplays)
{
    startWith({QStringLiteral("solvabilite refuse 9 26")});
    ASSERT_TRUE(m_kiosk.request("AK016000001250309782D"));
    const QList<QByteArray> blocks = m_kiosk.listen();
    ASSERT_GE(blocks.size(), 4);

    EXPECT_TRUE(Payment::isDisplayFrame(blocks.at(0)));
    EXPECT_EQ(blocks.at(0).size(), 37);
    EXPECT_EQ(Payment::displayText(blocks.at(0)),
              QStringLiteral("MONTANT  12,50 E\nTAPEZ CODE      "));
    for (const QByteArray &block : blocks) {
        EXPECT_TRUE(lrcIsRight(block));
        // Harmless check characters: the kiosk cuts frames at the last STX.
        EXPECT_NE(block.back(), Ctl::STX);
        EXPECT_NE(block.back(), Ctl::ENQ);
    }

    qsizetype first = -1;
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        if (Payment::field(blocks.at(i), 2, 3) == "Ak")
            first = i;
    }
    ASSERT_GE(first, 1);
    ASSERT_LT(first + 2, blocks.size());
    EXPECT_EQ(blocks.at(first).size(), Payment::MaxBlock);
    EXPECT_TRUE(isFirstBlock(blocks.at(first)));
    const QByteArray second = blocks.at(first + 1);
    EXPECT_TRUE(isLastBlock(second));
    EXPECT_FALSE(Payment::isDisplayFrame(second));
    const QByteArray answer = Payment::joinBlocks(blocks.at(first), second);
    EXPECT_EQ(answer.size(), 322);
    EXPECT_EQ(Payment::statedLength(answer), 313);
    EXPECT_EQ(Payment::charAt(answer, 7), "9");
    EXPECT_EQ(Payment::field(answer, 8, 9), "26");
    // After the answer, the terminal clears its display; then EOT.
    EXPECT_TRUE(Payment::isBlankDisplay(blocks.last()));
    EXPECT_EQ(first + 3, blocks.size());
}

TEST_F(TpeSim, DebitAnswerCarriesTheRequestAndTheCard)
{
    startWith({QStringLiteral("numero-carte 1234567890123456"), QStringLiteral("remise 000042"),
               QStringLiteral("autorisation A1B2C3"), QStringLiteral("expiration 2903")});
    const QString before = QDate::currentDate().toString(QStringLiteral("ddMMyy"));
    ASSERT_TRUE(m_kiosk.request("AL01100001250978"));
    const QByteArray answer = answerIn(m_kiosk.listen(), "Al");
    const QString after = QDate::currentDate().toString(QStringLiteral("ddMMyy"));
    ASSERT_EQ(answer.size(), 364);
    EXPECT_EQ(Payment::statedLength(answer), 355);
    EXPECT_EQ(Payment::charAt(answer, 7), "0");
    const QString date = QString::fromLatin1(Payment::field(answer, 67, 72));
    EXPECT_TRUE(date == before || date == after) << qPrintable(date);
    EXPECT_TRUE(Payment::isDigits(Payment::field(answer, 73, 78)));
    EXPECT_EQ(Payment::field(answer, 176, 191), "1234567890123456");
    EXPECT_EQ(Payment::field(answer, 199, 202), "2903");
    EXPECT_EQ(Payment::field(answer, 234, 239), "000042");
    EXPECT_EQ(Payment::field(answer, 241, 246), "A1B2C3");
    EXPECT_EQ(Payment::field(answer, 272, 279), "00001250");
    EXPECT_EQ(m_sim.count(QStringLiteral("recu trame AL01100001250978")), 1);
}

TEST(TpeSimBlocks, CheckCharactersAsComputedSteeredAwayOrSteeredOntoControlCodes)
{
    // A debit answer whose first block's check character comes out as STX by itself.
    Movendi::TpeSim::DebitDetails details;
    details.when = QDateTime(QDate(2025, 1, 1), QTime(12, 0));
    details.amount = "00001250";
    details.card = {"4970101234567893", "2712"};
    Movendi::TpeSim::Answer answer;
    for (int n = 0; n < 95 * 95; ++n) {
        details.authorisation = QByteArray(1, char(0x21 + n / 95)) + char(0x21 + n % 95) + "0000";
        answer = Movendi::TpeSim::debitAnswer(details);
        if (Movendi::TpeSim::toBlocks(answer).at(0).back() == Ctl::STX)
            break;
    }
    const QList<QByteArray> natural = Movendi::TpeSim::toBlocks(answer);
    ASSERT_EQ(natural.at(0).back(), Ctl::STX);
    const QByteArray controls("\x02\x03\x04\x05\x06\x10\x15\x17", 8);
    const QList<QByteArray> gentle =
        Movendi::TpeSim::toBlocks(answer, Movendi::TpeSim::CheckCharacters::Gentle);
    const QList<QByteArray> trap =
        Movendi::TpeSim::toBlocks(answer, Movendi::TpeSim::CheckCharacters::Hazardous);
    for (int b = 0; b < 2; ++b) {
        for (const QByteArray &block : {natural.at(b), gentle.at(b), trap.at(b)})
            EXPECT_TRUE(lrcIsRight(block)) << b;
        EXPECT_NE(gentle.at(b).back(), Ctl::STX);
        EXPECT_NE(gentle.at(b).back(), Ctl::ENQ);
        EXPECT_TRUE(controls.contains(trap.at(b).back())) << b;
    }
    // Only a filler changed (the first block's is its last character): the fields read the same.
    EXPECT_EQ(Payment::field(trap.at(0), 2, 248), Payment::field(natural.at(0), 2, 248));
    // The blank display stays blank whatever the mode.
    const QByteArray blank = Movendi::TpeSim::blankDisplayMessage();
    EXPECT_TRUE(Payment::isBlankDisplay(
        Movendi::TpeSim::toBlocks({blank, Movendi::TpeSim::paddingFillers(blank)},
                                  Movendi::TpeSim::CheckCharacters::Hazardous)
            .at(0)));
}

TEST_F(TpeSim, CheckCharactersAreNeverStxOrEnqWhenAskedToBeGentle)
{
    // Authorisation numbers that, on this date, give a first block whose check character is
    // STX or ENQ as computed; asked to be gentle, the terminal changes a filler instead.
    Movendi::TpeSim::DebitDetails details;
    details.when = QDateTime(QDate(2025, 1, 1), QTime(12, 0));
    details.amount = "00001250";
    details.card = {"4970101234567893", "2712"};
    for (const char hazard : {Ctl::STX, Ctl::ENQ}) {
        for (int n = 0; n < 95 * 95; ++n) {
            details.authorisation =
                QByteArray(1, char(0x21 + n / 95)) + char(0x21 + n % 95) + "0000";
            if (Movendi::TpeSim::toBlocks(Movendi::TpeSim::debitAnswer(details)).at(0).back() ==
                hazard)
                break;
        }
        ASSERT_EQ(Movendi::TpeSim::toBlocks(Movendi::TpeSim::debitAnswer(details)).at(0).back(),
                  hazard);
        const QString authorisation = QString::fromLatin1(details.authorisation);
        SCOPED_TRACE(authorisation.toStdString());
        TpeSimulator sim;
        ASSERT_TRUE(
            sim.start({QStringLiteral("controle doux"), QStringLiteral("horloge 010125 120000"),
                       QStringLiteral("autorisation ") + authorisation}));
        KioskEnd kiosk;
        ASSERT_TRUE(kiosk.open(sim.devicePath()));
        ASSERT_TRUE(kiosk.request("AL01100001250978"));
        const QList<QByteArray> blocks = kiosk.listen();
        const QByteArray answer = answerIn(blocks, "Al");
        ASSERT_EQ(answer.size(), 364);
        EXPECT_EQ(Payment::field(answer, 67, 78), "010125120000");
        EXPECT_EQ(Payment::field(answer, 241, 246), details.authorisation);
        for (const QByteArray &block : blocks) {
            EXPECT_TRUE(lrcIsRight(block));
            EXPECT_NE(block.back(), Ctl::STX);
            EXPECT_NE(block.back(), Ctl::ENQ);
        }
    }
}

TEST_F(TpeSim, RealTerminalBehavioursShapeThePaymentTurn)
{
    startWith({QStringLiteral("blanc-avant"), QStringLiteral("affichage-entre-blocs"),
               QStringLiteral("suite D"), QStringLiteral("renvoi 5"),
               QStringLiteral("tours-pin 1 200"), QStringLiteral("cadence 9600")});
    const QByteArray card = "4970101234567893";
    ASSERT_TRUE(m_kiosk.request("AK016000001250309782D"));
    // The line comes back to the kiosk while the customer types the PIN, then goes again.
    QList<QByteArray> blocks = m_kiosk.listen();
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_TRUE(blocks.at(0).contains("TAPEZ CODE"));
    EXPECT_TRUE(m_kiosk.read(1, 100).isEmpty());
    EXPECT_EQ(m_kiosk.readByte(), Ctl::ENQ);
    QElapsedTimer paced;
    paced.start();
    blocks = m_kiosk.listen();
    // 252 characters at 9600 baud take a quarter of a second.
    EXPECT_GE(paced.elapsed(), 250);
    QList<QByteArray> codes;
    for (const QByteArray &block : blocks)
        codes << Payment::field(block, 2, 3);
    // CODE BON, DEMANDE, blank, the answer's first block twice (the fifth frame of the turn),
    // PATIENTEZ, the second block starting with D, blank.
    ASSERT_EQ(blocks.size(), 8);
    EXPECT_TRUE(Payment::isBlankDisplay(blocks.at(2)));
    EXPECT_EQ(codes.at(3), "Ak");
    EXPECT_EQ(blocks.at(3), blocks.at(4));
    EXPECT_TRUE(Payment::isDisplayFrame(blocks.at(5)));
    EXPECT_EQ(Payment::charAt(blocks.at(6), 2), "D");
    EXPECT_TRUE(Payment::isBlankDisplay(blocks.at(7)));
    const QByteArray answer = Payment::joinBlocks(blocks.at(3), blocks.at(6));
    EXPECT_EQ(answer.size(), 322);
    // The card the reader read, at its place, glued to the fields after it.
    EXPECT_EQ(Payment::field(answer, 176, 191), card);
    EXPECT_TRUE(Movendi::TpeSim::luhnValid(card));
    EXPECT_EQ(Payment::field(answer, 199, 202), "2712");
    EXPECT_TRUE(Payment::isDigits(Payment::field(answer, 176, 202)));
    EXPECT_EQ(m_sim.count(QStringLiteral("ACK pris pour un NAK")), 1);
}

TEST_F(TpeSim, RequestsAndAmountsAreCheckedAsATerminalDoes)
{
    startWith({QStringLiteral("controle-requetes"), QStringLiteral("controle-autorisation"),
               QStringLiteral("affichage non")});
    // A stated length that does not match the data: refused like a bad check character.
    m_kiosk.send(Ctl::ENQ);
    ASSERT_EQ(m_kiosk.readByte(), Ctl::ACK);
    m_kiosk.send(Payment::buildFrame("AA001"));
    EXPECT_EQ(m_kiosk.readByte(), Ctl::NAK);
    struct Row
    {
        QByteArray request;
        QByteArray result; // positions 7 to 9 (debits: 7 only)
    };
    const QList<Row> rows{
        {"AL01100001250978", "4"},        // debit without a solvency
        {"AK016000001250309402D", "517"}, // currency the terminal does not take
        {"AK016000001250309782D", "000"}, // authorised for 12,50
        {"AL01100001251978", "5"},        // one cent more than authorised
        {"AL01100000000978", "6"},        // nothing delivered: the authorisation is cancelled
        {"AL01100001250978", "4"},        // nothing left to debit
        {"AK016000001250309782D", "000"}, // authorised again
        {"AL01100001250978", "0"},        // debited
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.request.toStdString());
        ASSERT_TRUE(m_kiosk.request(row.request));
        const QList<QByteArray> blocks = m_kiosk.listen();
        ASSERT_EQ(blocks.size(), 2);
        const QByteArray answer = Payment::joinBlocks(blocks.at(0), blocks.at(1));
        EXPECT_EQ(Payment::field(answer, 7, 6 + int(row.result.size())), row.result);
    }
}

TEST_F(TpeSim, RemittanceTellsItsEndOnSeveralScreensAndPrintsLinesEndingInCrLf)
{
    startWith({QStringLiteral("affichages-apres 3"), QStringLiteral("rapport-statut 0 1"),
               QStringLiteral("rapport 1 1"), QStringLiteral("telecollecte 0 0")});
    ASSERT_TRUE(m_kiosk.request("AJ00204"));
    const QList<QByteArray> blocks = m_kiosk.listen();
    qsizetype answer = -1;
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        if (Payment::charAt(blocks.at(i), 2) == "P") {
            EXPECT_TRUE(blocks.at(i).endsWith(QByteArray("\r\n") + Ctl::DLE + Ctl::ETX +
                                              blocks.at(i).back()));
        }
        if (Payment::field(blocks.at(i), 2, 3) == "Aj")
            answer = i;
    }
    ASSERT_GE(answer, 0);
    EXPECT_EQ(blocks.size() - 1 - answer, 3);
    // The report gives each acquirer's status at the start of its block.
    ASSERT_TRUE(m_kiosk.request("AJ00203"));
    const QList<QByteArray> report = m_kiosk.listen();
    ASSERT_EQ(report.size(), 2);
    const QByteArray whole = Payment::joinBlocks(report.at(0), report.at(1));
    EXPECT_EQ(Payment::charAt(whole, 18), "0");
    EXPECT_EQ(Payment::charAt(whole, 233 + 18), "1");
    EXPECT_EQ(Payment::charAt(whole, 7), "1");
}

TEST_F(TpeSim, DebitRefusalUsesTheChosenResult)
{
    startWith({QStringLiteral("debit refuse 6"), QStringLiteral("affichage non")});
    ASSERT_TRUE(m_kiosk.request("AL01100000990978"));
    const QList<QByteArray> blocks = m_kiosk.listen();
    // Without displays the turn is the answer alone, as a plain reading expects it.
    ASSERT_EQ(blocks.size(), 2);
    const QByteArray answer = Payment::joinBlocks(blocks.at(0), blocks.at(1));
    EXPECT_EQ(Payment::charAt(answer, 7), "6");
    EXPECT_EQ(Payment::field(answer, 272, 279), "00000990");
}

TEST_F(TpeSim, RestartEndsAtTheFifthEot)
{
    startWith({});
    ASSERT_TRUE(m_kiosk.request("AU000"));
    int eots = 0;
    QByteArray restart;
    for (;;) {
        const QList<QByteArray> blocks = m_kiosk.listen();
        ++eots;
        if (restart.isEmpty())
            restart = answerIn(blocks, "Au");
        if (eots == 5)
            break;
        ASSERT_EQ(m_kiosk.readByte(), Ctl::ENQ) << "after EOT " << eots;
    }
    EXPECT_EQ(Payment::field(restart, 2, 6), "Au003");
    // Nothing more after the fifth EOT.
    EXPECT_TRUE(m_kiosk.read(1, 300).isEmpty());
}

TEST_F(TpeSim, RemittancePrintsAndAnswersPerAcquirer)
{
    startWith({QStringLiteral("telecollecte 0 1")});
    ASSERT_TRUE(m_kiosk.request("AJ00204"));
    const QList<QByteArray> blocks = m_kiosk.listen();
    int prints = 0;
    for (const QByteArray &block : blocks)
        prints += Payment::charAt(block, 2) == "P" ? 1 : 0;
    EXPECT_GE(prints, 3);
    const QByteArray answer = answerIn(blocks, "Aj");
    EXPECT_EQ(Payment::field(answer, 2, 6), "Aj019");
    EXPECT_EQ(Payment::charAt(answer, 7), "1");
    EXPECT_EQ(Payment::field(answer, 10, 11), "02");
    EXPECT_EQ(Payment::field(answer, 12, 17), "100001");
    EXPECT_EQ(Payment::charAt(answer, 18), "0");
    EXPECT_EQ(Payment::field(answer, 19, 24), "100002");
    EXPECT_EQ(Payment::charAt(answer, 25), "1");
    // One display after the answer closes the kiosk's remittance phase.
    ASSERT_FALSE(blocks.isEmpty());
    EXPECT_TRUE(Payment::isDisplayFrame(blocks.last()));
    EXPECT_EQ(Payment::field(blocks.at(blocks.size() - 2), 2, 3), "Aj");
}

TEST_F(TpeSim, ReportTellsOfTheDebitsRemitted)
{
    startWith({QStringLiteral("remise 000007")});
    ASSERT_TRUE(m_kiosk.request("AL01100001250978"));
    ASSERT_FALSE(answerIn(m_kiosk.listen(), "Al").isEmpty());
    ASSERT_TRUE(m_kiosk.request("AL01100000500978"));
    ASSERT_FALSE(answerIn(m_kiosk.listen(), "Al").isEmpty());
    ASSERT_TRUE(m_kiosk.request("AJ00204"));
    const QByteArray remittance = answerIn(m_kiosk.listen(), "Aj");
    ASSERT_EQ(Payment::field(remittance, 2, 6), "Aj012");
    EXPECT_EQ(Payment::charAt(remittance, 7), "0");
    EXPECT_EQ(Payment::charAt(remittance, 18), "0");

    ASSERT_TRUE(m_kiosk.request("AJ00203"));
    const QList<QByteArray> blocks = m_kiosk.listen();
    ASSERT_EQ(blocks.size(), 1);
    const QByteArray report = blocks.at(0);
    EXPECT_LE(report.size(), Payment::MaxBlock);
    EXPECT_TRUE(lrcIsRight(report));
    EXPECT_EQ(Payment::statedLength(report), 238);
    EXPECT_EQ(Payment::charAt(report, 7), "0");
    EXPECT_EQ(Payment::field(report, 10, 11), "01");
    EXPECT_EQ(Payment::charAt(report, 18), "0");
    EXPECT_EQ(Payment::field(report, 12, 17), "100001");
    EXPECT_TRUE(Payment::isDigits(Payment::field(report, 72, 83)));
    EXPECT_EQ(Payment::charAt(report, 204), "1");
    EXPECT_EQ(Payment::field(report, 211, 216), "000007"); // remittance number
    EXPECT_EQ(Payment::field(report, 217, 222), "000002"); // transactions
    EXPECT_EQ(Payment::field(report, 223, 225), "EUR");
    EXPECT_EQ(Payment::field(report, 226, 237), "000000001750"); // 12,50 + 5,00
}

TEST_F(TpeSim, ReportWithTwoAcquirersComesInTwoBlocks)
{
    startWith({QStringLiteral("rapport 1 1")});
    ASSERT_TRUE(m_kiosk.request("AJ00203"));
    const QList<QByteArray> blocks = m_kiosk.listen();
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_EQ(blocks.at(0).size(), Payment::MaxBlock);
    EXPECT_TRUE(isFirstBlock(blocks.at(0)));
    const QByteArray report = Payment::joinBlocks(blocks.at(0), blocks.at(1));
    EXPECT_EQ(Payment::field(report, 10, 11), "02");
    // The second block starts 193 + 40 characters after the first.
    EXPECT_EQ(Payment::field(report, 233 + 12, 233 + 17), "100002");
    EXPECT_EQ(Payment::charAt(report, 233 + 204), "1");
    EXPECT_EQ(report.size(), 233 + 244 + 3);
}

TEST_F(TpeSim, CardComesAndGoesWithThePolls)
{
    startWith({QStringLiteral("carte absente"), QStringLiteral("insertion 2"),
               QStringLiteral("retrait 1")});
    QByteArray cards;
    for (int i = 0; i < 3; ++i)
        cards += Payment::charAt(statusPoll(m_kiosk), 8);
    ASSERT_TRUE(m_kiosk.request("AK016000001250309782D"));
    ASSERT_FALSE(answerIn(m_kiosk.listen(), "Ak").isEmpty());
    for (int i = 0; i < 2; ++i)
        cards += Payment::charAt(statusPoll(m_kiosk), 8);
    EXPECT_EQ(cards, "00110");
}

TEST_F(TpeSim, SilenceAnswersNothing)
{
    startWith({QStringLiteral("silence")});
    m_kiosk.send(Ctl::ENQ);
    EXPECT_TRUE(m_kiosk.read(1, 300).isEmpty());
    m_kiosk.send(Payment::buildFrame("AA000"));
    m_kiosk.send(Ctl::EOT);
    EXPECT_TRUE(m_kiosk.read(1, 300).isEmpty());
    EXPECT_EQ(m_sim.count(QStringLiteral("recu trame AA000")), 1);
    EXPECT_EQ(m_sim.count(QStringLiteral("envoye")), 0);
}

TEST_F(TpeSim, LeavesTheFirstEnqUnanswered)
{
    startWith({QStringLiteral("sans-ack-enq 1")});
    m_kiosk.send(Ctl::ENQ);
    EXPECT_TRUE(m_kiosk.read(1, 300).isEmpty());
    m_kiosk.send(Ctl::ENQ);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::ACK);
}

TEST_F(TpeSim, CollisionSendsItsOwnFrameFirst)
{
    startWith({QStringLiteral("collision 2 teleparametrage")});
    for (int i = 0; i < 2; ++i) {
        m_kiosk.send(Ctl::ENQ);
        ASSERT_EQ(m_kiosk.readByte(), Ctl::ENQ);
        const QList<QByteArray> blocks = m_kiosk.listen();
        ASSERT_EQ(blocks.size(), 1);
        EXPECT_TRUE(blocks.at(0).contains("TELEPARAMETRAGE"));
    }
    // Once its frame is out, the line is the kiosk's again.
    m_kiosk.send(Ctl::ENQ);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::ACK);
}

TEST_F(TpeSim, GarbageAndWrongLrcInsteadOfAnswers)
{
    startWith({QStringLiteral("charabia 1"), QStringLiteral("lrc-faux 1")});
    ASSERT_TRUE(m_kiosk.request("AA000"));
    m_kiosk.send(Ctl::ACK);
    const QByteArray garbage = m_kiosk.read(200, 500);
    EXPECT_FALSE(garbage.contains(Ctl::STX));
    EXPECT_TRUE(garbage.endsWith(Ctl::EOT));

    ASSERT_TRUE(m_kiosk.request("AA000"));
    m_kiosk.send(Ctl::ACK);
    const QByteArray answer = m_kiosk.read(13);
    ASSERT_EQ(answer.size(), 13);
    EXPECT_FALSE(lrcIsRight(answer));
    m_kiosk.send(Ctl::ACK);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::EOT);

    // Both faults were for one answer each.
    EXPECT_TRUE(lrcIsRight(statusPoll(m_kiosk)));
}

TEST_F(TpeSim, FreshEnqFromTheKioskStartsOver)
{
    startWith({});
    ASSERT_TRUE(m_kiosk.request("AA000"));
    // The kiosk gives up instead of acknowledging the terminal's ENQ.
    m_kiosk.send(Ctl::ENQ);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::ACK);
    EXPECT_TRUE(m_kiosk.read(1, 200).isEmpty());
    EXPECT_FALSE(statusPoll(m_kiosk).isEmpty());
    EXPECT_EQ(m_sim.count(QStringLiteral("abandon")), 1);
}

TEST_F(TpeSim, SurvivesTheKioskClosingItsPort)
{
    startWith({});
    m_kiosk.close();
    ASSERT_TRUE(m_kiosk.open(m_sim.devicePath()));
    EXPECT_FALSE(statusPoll(m_kiosk).isEmpty());
    EXPECT_TRUE(m_sim.isRunning());
}

TEST_F(TpeSim, LinkPointsToTheDeviceUntilStopped)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("tpe"));
    ASSERT_TRUE(m_sim.start({}, link));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), m_sim.devicePath());
    ASSERT_TRUE(m_kiosk.open(link));
    m_kiosk.send(Ctl::ENQ);
    EXPECT_EQ(m_kiosk.readByte(), Ctl::ACK);
    m_sim.stop();
    EXPECT_FALSE(QFileInfo::exists(link) || QFileInfo(link).isSymLink());
}

TEST(TpeSimCommandLine, RefusesAnUnknownDirective)
{
    QProcess process;
    process.start(binaryPath("movendi-tpe-sim"), {QStringLiteral("carte perdue")});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("carte perdue"));
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
}

} // namespace
