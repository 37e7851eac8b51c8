#include "pontagetpvnew.h"

#include "etatpaiement.h"
#include "terminalframe.h"

#include "platform/clock.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "startup/etatdemarrage.h"
#include "startup/journal.h"

#include <QScopeGuard>

#include <exception>

namespace Movendi::Payment {

namespace {

using Platform::clock;

// Short enough to keep up with 9600 baud, long enough not to spin.
constexpr qint64 PollSliceMs = 5;
// A terminal that asks for the line more often than this is taken as not giving it.
constexpr int MaxCollisions = 10;
// The longest stated length (999) fits in five blocks.
constexpr int MaxBlocks = 5;

const QByteArray Enq(1, Ctl::ENQ);
const QByteArray Ack(1, Ctl::ACK);
const QByteArray Eot(1, Ctl::EOT);

Platform::SerialLine *line()
{
    return etatPaiement().ligneTerminal.get();
}

void setInputLength(int n)
{
    if (Platform::SerialLine *l = line())
        l->setInputLength(n);
}

int buffered()
{
    Platform::SerialLine *l = line();
    return l ? l->bytesAvailable() : 0;
}

QByteArray readBuffered()
{
    Platform::SerialLine *l = line();
    return l ? l->read() : QByteArray();
}

void send(const QByteArray &bytes)
{
    if (Platform::SerialLine *l = line())
        l->write(bytes);
}

bool elapsed(qint64 startMs, int seconds)
{
    return clock().monotonicMs() - startMs >= qint64(seconds) * 1000;
}

// Polls until `expected` characters are buffered or the time-out counted from startMs is over.
void waitForCount(int expected, qint64 startMs, int timeoutSeconds, bool handleEvents)
{
    while (buffered() < expected && !elapsed(startMs, timeoutSeconds)) {
        if (handleEvents)
            clock().processEventsFor(PollSliceMs);
        else
            clock().sleepMs(PollSliceMs);
    }
}

QByteArray waitForOne(int timeoutSeconds)
{
    waitForCount(1, clock().monotonicMs(), timeoutSeconds, false);
    return readBuffered();
}

bool startsWith(const QByteArray &text, char c)
{
    return !text.isEmpty() && text.at(0) == c;
}

bool endsAsFirstBlock(const QByteArray &block)
{
    return block.size() >= 2 && block.at(block.size() - 2) == Ctl::ETB;
}

// The frame, refused at most three times, then the line handed over to the terminal. False
// when the frame was refused three times (the line is released) or the terminal did not take
// its turn within waitSeconds.
bool sendFrameAndHandOver(const QByteArray &message, int waitSeconds)
{
    OpenTerminalPort();
    const QByteArray frame = Ctl::STX + message + Ctl::DLE + Ctl::ETX;
    for (int attempt = 1;; ++attempt) {
        if (!startsWith(SendAndWait(frame, true, 1, 3), Ctl::NAK))
            break;
        if (attempt == 3) {
            SendAndWait(Eot, false, 1, 3);
            return false;
        }
    }
    return startsWith(SendAndWait(Eot, false, 1, waitSeconds), Ctl::ENQ);
}

// The terminal's EOT after the last acknowledgement; not examined.
void releaseLine()
{
    SendAndWait(Ack, false, 1, 3);
}

const char *phaseName(Ecoute phase)
{
    switch (phase) {
    case Ecoute::Demarrage:
        return "EcouterDemarrage";
    case Ecoute::DemVAl:
        return "EcouterDemVAl";
    case Ecoute::DemEnr:
        return "EcouterDemEnr";
    case Ecoute::DemTC:
        return "EcouterDemTC";
    }
    return "";
}

QByteArray answerIdentifier(Ecoute phase)
{
    switch (phase) {
    case Ecoute::DemVAl:
        return QByteArrayLiteral("Ak");
    case Ecoute::DemEnr:
        return QByteArrayLiteral("Al");
    case Ecoute::DemTC:
        return QByteArrayLiteral("Aj");
    case Ecoute::Demarrage:
        break;
    }
    return {};
}

// The text of a print frame: after its code letter, without the check character and the
// frame's closing DLE ETX, which are not part of what is printed.
QByteArray printedText(const QByteArray &frame)
{
    QByteArray text = frame.mid(2, frame.size() - 3);
    if (text.endsWith(Ctl::ETX))
        text.chop(1);
    if (text.endsWith(Ctl::DLE))
        text.chop(1);
    return text;
}

class Listening
{
public:
    explicit Listening(Ecoute phase)
        : m_phase(phase), m_payment(phase == Ecoute::DemVAl || phase == Ecoute::DemEnr),
          m_answerId(answerIdentifier(phase))
    {
        EtatPaiement &e = etatPaiement();
        m_display = m_payment ? e.affichagePaiement : e.affichageAccueil;
    }

    QByteArray run()
    {
        setInputLength(1);
        if (m_display)
            m_display->montrer();
        if (m_phase == Ecoute::DemTC)
            etatPaiement().MerchantTicketText.clear();
        send(Ack);
        m_clockStart = clock().monotonicMs();
        try {
            loop();
        } catch (const std::exception &e) {
            Startup::JournaliserErreur(QString::fromLatin1(phaseName(m_phase)),
                                       QString::fromLocal8Bit(e.what()));
        }
        if (m_display)
            m_display->cacher();
        setInputLength(0);
        if (m_phase == Ecoute::DemTC)
            Startup::JournaliserErreur(QStringLiteral("EcouterDemTC"),
                                       maskCardNumbersIn(terminalText(m_text.left(249))));
        return m_phase == Ecoute::Demarrage ? m_text : m_answer;
    }

private:
    void loop()
    {
        const int limitSeconds = m_phase == Ecoute::DemTC ? 600 : 300;
        for (;;) {
            clock().processEventsFor(0);
            const QByteArray c = ReadTerminalChars(2);
            m_text += c;
            if (m_phase == Ecoute::DemTC && m_displayCount >= 1 && m_displayCount <= 8)
                return;
            const char ch = c.isEmpty() ? 0 : c.at(0);
            if (ch == Ctl::ENQ) {
                send(Ack);
                restartSilenceClock();
            } else if (ch == Ctl::ETX) {
                m_text += ReadTerminalChars(2);
                send(Ack);
                restartSilenceClock();
                frameEnded(false);
            } else if (ch == Ctl::ETB) {
                m_text += ReadTerminalChars(2);
                restartSilenceClock();
                frameEnded(true);
                send(Ack);
            } else if (ch == Ctl::EOT) {
                restartSilenceClock();
                if (m_phase == Ecoute::Demarrage && ++m_eots == 5)
                    return;
            }
            if (m_payment && !m_answer.isEmpty() && m_lastDisplayBlank) {
                m_text += ReadTerminalChars(1);
                return;
            }
            if (elapsed(m_clockStart, limitSeconds))
                return;
        }
    }

    void restartSilenceClock()
    {
        if (m_phase == Ecoute::DemTC)
            m_clockStart = clock().monotonicMs();
    }

    void frameEnded(bool firstBlock)
    {
        // The check character may itself be an STX: the frame starts before it.
        const qsizetype at = m_text.lastIndexOf(Ctl::STX, m_text.size() - 2);
        if (at < 0)
            return;
        const QByteArray frame = m_text.mid(at);
        const bool isAnswer = !m_answerId.isEmpty() && field(frame, 2, 3) == m_answerId;
        if (firstBlock) {
            if (isAnswer)
                m_answer = frame;
            return;
        }
        if (isDisplayFrame(frame)) {
            if (m_display)
                m_display->afficher(displayText(frame));
            m_lastDisplayBlank = isBlankDisplay(frame);
            ++m_displayCount;
        } else if (isAnswer) {
            m_answer = frame;
            m_displayCount = 0;
        } else if (m_payment) {
            m_answer = joinBlocks(m_answer, frame);
        } else if (m_phase == Ecoute::DemTC && charAt(frame, 2) == "P") {
            etatPaiement().MerchantTicketText += terminalText(printedText(frame));
        }
    }

    Ecoute m_phase;
    bool m_payment;
    QByteArray m_answerId;
    AffichageClient *m_display = nullptr;
    QByteArray m_text;
    QByteArray m_answer;
    qint64 m_clockStart = 0;
    bool m_lastDisplayBlank = false;
    int m_eots = 0;
    int m_displayCount = 10;
};

} // namespace

bool OpenTerminalPort()
{
    EtatPaiement &e = etatPaiement();
    if (e.ligneTerminal && e.ligneTerminal->isOpen())
        return true;
    e.ligneTerminal = Platform::serialLines().create(Startup::etat().CheminIni);
    e.ligneTerminal->setInputLength(0);
    if (!e.ligneTerminal->open(Startup::etat().PortTPE, QString::fromLatin1(ReglagesTerminal))) {
        const QString reason = e.ligneTerminal->errorText();
        if (reason != e.echecOuverture)
            Startup::JournaliserErreur(QStringLiteral("OpenTerminalPort"), reason);
        e.echecOuverture = reason;
        return false;
    }
    e.echecOuverture.clear();
    e.ligneTerminal->read();
    return true;
}

QByteArray SendAndWait(const QByteArray &text, bool addLrc, int expected, int timeoutSeconds)
{
    if (text.isEmpty())
        return {};
    OpenTerminalPort();
    readBuffered();
    send(addLrc ? text + ComputeLrc(text) : text);
    waitForCount(expected, clock().monotonicMs(), timeoutSeconds, false);
    return readBuffered();
}

QByteArray ReadTerminalChars(int timeoutSeconds)
{
    waitForCount(1, clock().monotonicMs(), timeoutSeconds, true);
    return readBuffered();
}

bool CheckTerminalReady()
{
    OpenTerminalPort();
    return startsWith(SendAndWait(Enq, false, 1, 2), Ctl::ACK);
}

int BidForLine()
{
    OpenTerminalPort();
    setInputLength(1);
    const auto restore = qScopeGuard([] { setInputLength(0); });
    int failures = 0;
    int collisions = 0;
    for (;;) {
        send(Enq);
        const QByteArray c = ReadTerminalChars(2);
        if (startsWith(c, Ctl::ACK))
            return 1;
        if (startsWith(c, Ctl::ENQ)) {
            failures = 0;
            if (++collisions > MaxCollisions)
                return 0;
            QByteArray last;
            do {
                send(Ack);
                QByteArray frame;
                for (;;) {
                    const QByteArray ch = ReadTerminalChars(1);
                    frame += ch;
                    if (ch.isEmpty() || ch.contains(Ctl::ETX))
                        break;
                }
                if (frame.toUpper().contains("TELEC"))
                    return -404;
                ReadTerminalChars(1);
                send(Ack);
                last = ReadTerminalChars(1);
                // A terminal gone silent has nothing more to send.
            } while (!last.isEmpty() && !startsWith(last, Ctl::EOT));
            continue;
        }
        send(Eot);
        if (++failures == 3)
            return 0;
    }
}

QByteArray ExchangeMessage(const QByteArray &message, int &expectedLength, int waitSeconds)
{
    if (!sendFrameAndHandOver(message, waitSeconds))
        return ErrMessage;
    QByteArray answer;
    if (expectedLength <= MaxSingleBlockAnswer) {
        answer = SendAndWait(Ack, false, expectedLength, 3);
    } else {
        answer = SendAndWait(Ack, false, MaxBlock, 3);
        const std::optional<int> length = statedLength(answer);
        // An answer that fitted in one block has no second one to wait for.
        if (length && endsAsFirstBlock(answer)) {
            expectedLength = *length - 239;
            answer = joinBlocks(answer, SendAndWait(Ack, false, expectedLength, 3));
        }
    }
    releaseLine();
    return answer;
}

QByteArray ExchangeSizedAnswer(const QByteArray &message, int &answerLength, int waitSeconds)
{
    if (!sendFrameAndHandOver(message, waitSeconds))
        return ErrMessage;
    readBuffered();
    send(Ack);
    const qint64 start = clock().monotonicMs();
    waitForCount(6, start, 3, false);
    QByteArray answer = readBuffered();
    const std::optional<int> length = statedLength(answer);
    int remaining = answer.size() >= 6 && length ? *length + 9 - int(answer.size()) : MaxBlock;
    if (remaining > MaxSingleBlockAnswer)
        remaining = MaxBlock - int(answer.size());
    waitForCount(remaining, start, 3, false);
    answer += readBuffered();
    // A block ending in ETB announces another; without them the answer would lose its end.
    for (int block = 1; length && endsAsFirstBlock(answer) && block < MaxBlocks; ++block) {
        const int next = qMin<int>(MaxBlock, *length + 9 - int(answer.size()) + 4);
        answer = joinBlocks(answer, SendAndWait(Ack, false, next, 3));
    }
    releaseLine();
    answerLength = int(answer.size());
    return answer;
}

QByteArray ExchangeAndListen(const QByteArray &message, int expectedLength, int waitSeconds,
                             Ecoute phase)
{
    Q_UNUSED(expectedLength);
    if (!sendFrameAndHandOver(message, waitSeconds))
        return phase == Ecoute::Demarrage ? QByteArray() : ErrMessage;
    switch (phase) {
    case Ecoute::Demarrage:
        return EcouterDemarrage();
    case Ecoute::DemVAl:
        return EcouterDemVAl();
    case Ecoute::DemEnr:
        return EcouterDemEnr();
    case Ecoute::DemTC:
        return EcouterDemTC();
    }
    return ErrMessage;
}

QByteArray ExchangeAndReadStream(const QByteArray &message, int waitSeconds)
{
    if (!sendFrameAndHandOver(message, waitSeconds))
        return ErrMessage;
    setInputLength(1);
    const qint64 start = clock().monotonicMs();
    QByteArray stream = Enq; // the terminal's turn, taken in hand-over
    QByteArray answer;
    for (;;) {
        const char last = stream.at(stream.size() - 1);
        QByteArray c;
        if (last == Ctl::ENQ || last == Ctl::STX) {
            send(Ack);
            c = waitForOne(3);
        } else {
            c = ReadTerminalChars(11);
        }
        stream += c;
        if (c.isEmpty()) {
            qsizetype at = stream.lastIndexOf("j019");
            if (at < 0)
                at = stream.lastIndexOf("j012");
            if (at >= 0) {
                // From the answer's STX, so that its positions read as in every other answer.
                answer = stream.mid(qMax<qsizetype>(0, at - 2), 30);
                if (answer.contains(QByteArray() + Ctl::DLE + Ctl::ETX))
                    break;
            }
        }
        if (elapsed(start, waitSeconds))
            break;
    }
    const qsizetype kept = stream.size() - 1 - (answer.size() + 6);
    etatPaiement().MerchantTicketText = kept > 0 ? terminalText(stream.mid(1, kept)) : QString();
    setInputLength(0);
    return answer;
}

QByteArray EcouterDemarrage()
{
    return Listening(Ecoute::Demarrage).run();
}

QByteArray EcouterDemVAl()
{
    return Listening(Ecoute::DemVAl).run();
}

QByteArray EcouterDemEnr()
{
    return Listening(Ecoute::DemEnr).run();
}

QByteArray EcouterDemTC()
{
    return Listening(Ecoute::DemTC).run();
}

} // namespace Movendi::Payment
