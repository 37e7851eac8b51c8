#include "payment/pontagetpvnew.h"

#include "payment/resultatstpe.h"
#include "payment/terminalframe.h"

#include "platform/clock.h"
#include "platform/clocksetter.h"
#include "platform/seams.h"
#include "platform/serialline.h"
#include "platform/watchdog.h"

#include <QScopeGuard>

#include <exception>

namespace Movendi::Payment {

namespace {

// Short enough to keep up with 9600 baud, long enough not to spin.
constexpr qint64 PollSliceMs = 5;
// The first moments of a wait are when the terminal's answer to a control character comes:
// polled finely then, so that each turn of the line costs a fraction of a character's time
// (1.04 ms at 9600 baud) rather than a slice; a longer wait (a PIN typed) goes to slices.
constexpr qint64 FineSliceUs = 250;
constexpr qint64 FineWindowMs = 50;
// A terminal that asks for the line more often than this, or keeps it longer, is taken as not
// giving it.
constexpr int MaxCollisions = 10;
constexpr int BidLimitSeconds = 60;
// The longest stated length (999) fits in five blocks.
constexpr int MaxBlocks = 5;
// Phase limits: the payment and restart phases from their start; the remittance phase on
// silence, and overall so that a terminal that never stops talking cannot hold the kiosk.
constexpr int PhaseSeconds = 300;
constexpr int RemittanceSilenceSeconds = 600;
constexpr int RemittanceLimitSeconds = 1800;
// Once a phase has its answer, the rest of the terminal's turn is acknowledged until it hands
// the line back, so that the next exchange starts on a quiet line.
constexpr int TurnEndSilenceSeconds = 2;
constexpr int TurnEndLimitSeconds = 30;

const QByteArray Enq(1, Ctl::ENQ);
const QByteArray Ack(1, Ctl::ACK);
const QByteArray Eot(1, Ctl::EOT);

bool startsWith(const QByteArray &text, char c)
{
    return !text.isEmpty() && text.at(0) == c;
}

bool endsAsFirstBlock(const QByteArray &block)
{
    return block.size() >= 2 && block.at(block.size() - 2) == Ctl::ETB;
}

// A block whose end (DLE, ETX or ETB, check character) has arrived: nothing more comes before
// the kiosk acknowledges it.
bool isWholeBlock(const QByteArray &text)
{
    const qsizetype n = text.size();
    return n >= 4 && text.at(0) == Ctl::STX && text.at(n - 3) == Ctl::DLE &&
           (text.at(n - 2) == Ctl::ETX || text.at(n - 2) == Ctl::ETB);
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

bool isPrintFrame(const QByteArray &frame)
{
    return charAt(frame, 2) == "P";
}

} // namespace

// A phase in which the terminal drives the dialogue: frames are read one character at a time
// (their check character read on its own, so that it is never taken for a control character),
// acknowledged, and sorted into displays, print lines and the answer, which may come in blocks
// with displays between them.
class LiaisonTerminal::Phase
{
public:
    Phase(LiaisonTerminal &lien, Ecoute phase)
        : m_lien(lien), m_phase(phase),
          m_payment(phase == Ecoute::DemVAl || phase == Ecoute::DemEnr),
          m_answerId(answerIdentifier(phase))
    {
        m_display = m_payment ? lien.m_affichagePaiement : lien.m_affichageAccueil;
    }

    QByteArray run()
    {
        m_lien.setInputLength(1);
        if (m_display)
            m_display->montrer();
        if (m_phase == Ecoute::DemTC)
            m_lien.m_etat.MerchantTicketText.clear();
        m_lien.send(Ack);
        m_phaseStart = m_silenceStart = horloge().monotonicMs();
        try {
            if (loop())
                finishTurn();
        } catch (const std::exception &e) {
            m_lien.journaliser(QString::fromLatin1(phaseName(m_phase)),
                               QString::fromLocal8Bit(e.what()));
        }
        if (m_display)
            m_display->cacher();
        m_lien.setInputLength(0);
        if (m_phase == Ecoute::DemTC) {
            // Masked first: a number cut by the limit would no longer look like one.
            m_lien.journaliser(QStringLiteral("EcouterDemTC"), maskTerminalText(m_text).left(249));
            if (m_limitReached)
                m_lien.journaliser(
                    QStringLiteral("EcouterDemTC"),
                    QStringLiteral("durée maximale de la télécollecte atteinte (%1 s)")
                        .arg(RemittanceLimitSeconds));
        }
        return m_phase == Ecoute::Demarrage ? m_text : m_answer;
    }

private:
    QByteArray next(int timeoutSeconds)
    {
        const QByteArray c = m_lien.ReadTerminalChars(timeoutSeconds);
        m_text += c;
        return c;
    }

    // True when the phase ended on its answer (the terminal may still be talking), false on a
    // time limit or the line handed back.
    bool loop()
    {
        for (;;) {
            horloge().processEventsFor(0);
            const QByteArray c = next(2);
            if (!c.isEmpty())
                take(c.at(0));
            // The first display after the remittance answer closes the phase.
            if (m_phase == Ecoute::DemTC && m_answerComplete && m_displayCount >= 1 &&
                m_displayCount <= 8)
                return true;
            if (m_phase == Ecoute::Demarrage && m_eots == 5)
                return false;
            // The whole answer has come and the terminal's last display is its cleared screen,
            // whichever came first.
            if (m_payment && m_answerComplete && m_lastDisplayBlank)
                return true;
            if (m_phase == Ecoute::DemTC) {
                if (m_lien.elapsed(m_silenceStart, RemittanceSilenceSeconds))
                    return false;
                if (m_lien.elapsed(m_phaseStart, RemittanceLimitSeconds)) {
                    m_limitReached = true;
                    return false;
                }
            } else if (m_lien.elapsed(m_phaseStart, PhaseSeconds)) {
                return false;
            }
        }
    }

    // The rest of the terminal's turn, acknowledged until it hands the line back; nothing of it
    // is shown or kept.
    void finishTurn()
    {
        m_draining = true;
        const int silence = m_payment ? 1 : TurnEndSilenceSeconds;
        const qint64 start = horloge().monotonicMs();
        while (!m_lineBack && !m_lien.elapsed(start, TurnEndLimitSeconds)) {
            horloge().processEventsFor(0);
            const QByteArray c = next(silence);
            if (c.isEmpty())
                return;
            take(c.at(0));
        }
    }

    Platform::Clock &horloge() const { return m_lien.horloge(); }
    void restartSilenceClock() { m_silenceStart = horloge().monotonicMs(); }

    // One character of the terminal's turn.
    void take(char ch)
    {
        if (m_inFrame) {
            if (ch == Ctl::ETX || ch == Ctl::ETB) {
                m_frame += ch;
                const QByteArray lrc = next(2);
                m_frame += lrc;
                m_inFrame = false;
                restartSilenceClock();
                const bool firstBlock = ch == Ctl::ETB;
                if (!firstBlock)
                    m_lien.send(Ack);
                frameEnded(m_frame, firstBlock);
                if (firstBlock)
                    m_lien.send(Ack);
                return;
            }
            if (ch != Ctl::STX && ch != Ctl::ENQ && ch != Ctl::EOT) {
                m_frame += ch;
                return;
            }
            // A frame cut short: what follows starts afresh.
            m_inFrame = false;
        }
        switch (ch) {
        case Ctl::STX:
            m_inFrame = true;
            m_frame = QByteArray(1, Ctl::STX);
            break;
        case Ctl::ENQ:
            m_lineBack = false;
            m_lien.send(Ack);
            restartSilenceClock();
            break;
        case Ctl::EOT:
            m_lineBack = true;
            restartSilenceClock();
            if (m_phase == Ecoute::Demarrage)
                ++m_eots;
            break;
        default:
            break; // noise between frames
        }
    }

    // While the first block of an answer waits for its continuation, the next frame is that
    // continuation, whatever its first characters, unless it is a display or print frame that
    // cannot be the rest of the stated length.
    bool continues(const QByteArray &frame, bool firstBlock) const
    {
        if (firstBlock)
            return true;
        if (const std::optional<int> length = statedLength(m_answer)) {
            const qsizetype rest = *length + 9 - (m_answer.size() - 3) + 1;
            if (frame.size() == rest)
                return true;
        }
        return !isDisplayFrame(frame) && !isPrintFrame(frame);
    }

    void frameEnded(const QByteArray &frame, bool firstBlock)
    {
        // After the phase: acknowledged only.
        if (m_draining)
            return;
        // A block sent again (the terminal took the acknowledgement for a refusal) was taken.
        // Print lines may repeat on purpose (blank lines): they are not compared.
        if (!isPrintFrame(frame)) {
            if (frame == m_lastFrame)
                return;
            m_lastFrame = frame;
        }
        if (m_awaitingContinuation && continues(frame, firstBlock)) {
            m_answer = joinBlocks(m_answer, frame);
            m_awaitingContinuation = firstBlock;
            m_answerComplete = !firstBlock;
            return;
        }
        if (isDisplayFrame(frame)) {
            if (m_display)
                m_display->afficher(displayText(frame));
            // A display between the blocks of an answer is not the terminal's last word.
            if (!m_awaitingContinuation)
                m_lastDisplayBlank = isBlankDisplay(frame);
            ++m_displayCount;
        } else if (!m_answerId.isEmpty() && field(frame, 2, 3) == m_answerId) {
            m_answer = frame;
            m_awaitingContinuation = firstBlock;
            m_answerComplete = !firstBlock;
            m_displayCount = 0;
        } else if (m_phase == Ecoute::DemTC && isPrintFrame(frame)) {
            QString &text = m_lien.m_etat.MerchantTicketText;
            text = maskCardNumbersIn(text + terminalText(printedText(frame)));
        }
        // Anything else is neither shown nor taken for the answer.
    }

    LiaisonTerminal &m_lien;
    Ecoute m_phase;
    bool m_payment;
    QByteArray m_answerId;
    AffichageClient *m_display = nullptr;
    QByteArray m_text;
    QByteArray m_answer;
    QByteArray m_frame;
    QByteArray m_lastFrame;
    qint64 m_phaseStart = 0;
    qint64 m_silenceStart = 0;
    bool m_inFrame = false;
    bool m_awaitingContinuation = false;
    bool m_answerComplete = false;
    bool m_lastDisplayBlank = false;
    bool m_lineBack = false;
    bool m_draining = false;
    bool m_limitReached = false;
    int m_eots = 0;
    int m_displayCount = 10;
};

LiaisonTerminal::LiaisonTerminal() : LiaisonTerminal(Environnement{}) {}

LiaisonTerminal::LiaisonTerminal(Environnement environnement) : m_environnement(environnement) {}

LiaisonTerminal::~LiaisonTerminal() = default;

void LiaisonTerminal::installerAffichages(AffichageClient *paiement, AffichageClient *accueil)
{
    m_affichagePaiement = paiement;
    m_affichageAccueil = accueil;
}

void LiaisonTerminal::reinitialiser()
{
    m_ligne.reset();
    m_echecOuverture.clear();
    m_etat = EtatPaiement();
}

Platform::Clock &LiaisonTerminal::horloge() const
{
    return m_environnement.horloge ? *m_environnement.horloge : Platform::clock();
}

const ConfigurationTerminal &LiaisonTerminal::configuration() const
{
    class ParDefaut final : public ConfigurationTerminal
    {
    public:
        int portTerminal() const override { return 1; }
        QString fichierConfiguration() const override { return {}; }
    };
    static const ParDefaut parDefaut;
    return m_environnement.configuration ? *m_environnement.configuration : parDefaut;
}

void LiaisonTerminal::journaliser(const QString &contexte, const QString &message)
{
    if (m_environnement.journal)
        m_environnement.journal->journaliser(contexte, message);
}

void LiaisonTerminal::setInputLength(int n)
{
    if (Platform::SerialLine *l = ligne())
        l->setInputLength(n);
}

int LiaisonTerminal::buffered()
{
    Platform::SerialLine *l = ligne();
    return l ? l->bytesAvailable() : 0;
}

QByteArray LiaisonTerminal::readBuffered()
{
    Platform::SerialLine *l = ligne();
    return l ? l->read() : QByteArray();
}

// Drops whatever is waiting, whatever the input length: left-overs of an earlier exchange.
void LiaisonTerminal::discardInput()
{
    Platform::SerialLine *l = ligne();
    for (int guard = 0; l && guard < 100000 && l->bytesAvailable() > 0; ++guard)
        l->read();
}

void LiaisonTerminal::send(const QByteArray &bytes)
{
    if (Platform::SerialLine *l = ligne())
        l->write(bytes);
}

bool LiaisonTerminal::elapsed(qint64 startMs, int seconds) const
{
    return horloge().monotonicMs() - startMs >= qint64(seconds) * 1000;
}

void LiaisonTerminal::pause(qint64 startMs, bool handleEvents)
{
    const bool fine = horloge().monotonicMs() - startMs < FineWindowMs;
    if (handleEvents && !fine) {
        horloge().processEventsFor(PollSliceMs);
        return;
    }
    if (handleEvents) // what is pending, then a fine sleep: the event loop's wait counts whole ms
        horloge().processEventsFor(0);
    else // waits that may not handle events still feed the watchdog
        Platform::feedWatchdog();
    if (fine)
        horloge().sleepUs(FineSliceUs);
    else
        horloge().sleepMs(PollSliceMs);
}

// Polls until `expected` characters are buffered or the time-out counted from startMs is over.
void LiaisonTerminal::waitForCount(int expected, qint64 startMs, int timeoutSeconds,
                                   bool handleEvents)
{
    // The hand-over may wait minutes for the terminal's turn without handling events.
    while (buffered() < expected && !elapsed(startMs, timeoutSeconds))
        pause(startMs, handleEvents);
}

// Reads, without handling events, until `expected` characters have come, a whole block has,
// or the time-out counted from startMs is over. Waiting past a whole block would only race
// the terminal's own wait for the acknowledgement.
QByteArray LiaisonTerminal::collect(QByteArray text, int expected, qint64 startMs,
                                    int timeoutSeconds)
{
    for (;;) {
        text += readBuffered();
        if (text.size() >= expected || isWholeBlock(text) || elapsed(startMs, timeoutSeconds))
            return text;
        pause(startMs, false);
    }
}

// Acknowledges what the terminal sent last and reads the block that follows.
QByteArray LiaisonTerminal::acknowledgeAndRead(int expected, int timeoutSeconds)
{
    discardInput();
    send(Ack);
    return collect({}, expected, horloge().monotonicMs(), timeoutSeconds);
}

// The frame, refused at most three times, then the line handed over to the terminal. False
// when the frame was refused three times (the line is released) or the terminal did not take
// its turn within waitSeconds.
bool LiaisonTerminal::sendFrameAndHandOver(const QByteArray &message, int waitSeconds)
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
void LiaisonTerminal::releaseLine()
{
    SendAndWait(Ack, false, 1, 3);
}

bool LiaisonTerminal::OpenTerminalPort()
{
    if (m_ligne && m_ligne->isOpen())
        return true;
    const ConfigurationTerminal &c = configuration();
    Platform::SerialLineFactory &usine =
        m_environnement.lignes ? *m_environnement.lignes : Platform::serialLines();
    m_ligne = usine.create(c.fichierConfiguration());
    m_ligne->setInputLength(0);
    if (!m_ligne->open(c.portTerminal(), QString::fromLatin1(ReglagesTerminal))) {
        const QString reason = m_ligne->errorText();
        if (reason != m_echecOuverture)
            journaliser(QStringLiteral("OpenTerminalPort"), reason);
        m_echecOuverture = reason;
        return false;
    }
    m_echecOuverture.clear();
    discardInput();
    return true;
}

QByteArray LiaisonTerminal::SendAndWait(const QByteArray &text, bool addLrc, int expected,
                                        int timeoutSeconds)
{
    if (text.isEmpty())
        return {};
    OpenTerminalPort();
    discardInput();
    send(addLrc ? text + ComputeLrc(text) : text);
    waitForCount(expected, horloge().monotonicMs(), timeoutSeconds, false);
    return readBuffered();
}

QByteArray LiaisonTerminal::ReadTerminalChars(int timeoutSeconds)
{
    waitForCount(1, horloge().monotonicMs(), timeoutSeconds, true);
    return readBuffered();
}

bool LiaisonTerminal::CheckTerminalReady()
{
    OpenTerminalPort();
    return startsWith(SendAndWait(Enq, false, 1, 2), Ctl::ACK);
}

int LiaisonTerminal::BidForLine()
{
    OpenTerminalPort();
    setInputLength(1);
    const auto restore = qScopeGuard([this] { setInputLength(0); });
    int failures = 0;
    int collisions = 0;
    const qint64 start = horloge().monotonicMs();
    for (;;) {
        if (elapsed(start, BidLimitSeconds))
            return Resultat::LigneRefusee;
        // Each bid starts on a quiet line: left-overs would read as the terminal's reply.
        discardInput();
        send(Enq);
        const QByteArray c = ReadTerminalChars(2);
        if (startsWith(c, Ctl::ACK))
            return Resultat::LigneObtenue;
        if (startsWith(c, Ctl::ENQ)) {
            failures = 0;
            if (++collisions > MaxCollisions)
                return Resultat::LigneRefusee;
            QByteArray last;
            do {
                send(Ack);
                QByteArray frame;
                for (;;) {
                    const QByteArray ch = ReadTerminalChars(1);
                    frame += ch;
                    if (ch.isEmpty() || ch.contains(Ctl::ETX) || frame.size() > MaxBlock)
                        break;
                }
                if (frame.toUpper().contains("TELEC"))
                    return Resultat::TelecollecteSurLaLigne;
                ReadTerminalChars(1);
                send(Ack);
                last = ReadTerminalChars(1);
                // A terminal gone silent has nothing more to send.
            } while (!last.isEmpty() && !startsWith(last, Ctl::EOT) &&
                     !elapsed(start, BidLimitSeconds));
            continue;
        }
        send(Eot);
        if (++failures == 3)
            return Resultat::LigneRefusee;
    }
}

ReponseTerminal LiaisonTerminal::ExchangeMessage(const QByteArray &message, int expectedLength,
                                                 int waitSeconds)
{
    if (!sendFrameAndHandOver(message, waitSeconds))
        return ReponseTerminal::echouee();
    QByteArray answer;
    int lastBlock = expectedLength;
    if (expectedLength <= MaxSingleBlockAnswer) {
        answer = acknowledgeAndRead(expectedLength, 3);
    } else {
        answer = acknowledgeAndRead(MaxBlock, 3);
        const std::optional<int> length = statedLength(answer);
        // An answer that fitted in one block has no second one to wait for.
        if (length && endsAsFirstBlock(answer)) {
            lastBlock = secondBlockLength(*length);
            answer = joinBlocks(answer, acknowledgeAndRead(lastBlock, 3));
        }
    }
    releaseLine();
    return ReponseTerminal::lue(answer, lastBlock);
}

ReponseTerminal LiaisonTerminal::ExchangeSizedAnswer(const QByteArray &message, int waitSeconds)
{
    if (!sendFrameAndHandOver(message, waitSeconds))
        return ReponseTerminal::echouee();
    discardInput();
    send(Ack);
    const qint64 start = horloge().monotonicMs();
    QByteArray answer = collect({}, 6, start, 3);
    const std::optional<int> length = statedLength(answer);
    // The first block ends at the stated length or at the longest block, whichever comes
    // first, however much of it the first read brought.
    const int whole = answer.size() >= 6 && length ? frameLength(*length) : MaxBlock;
    answer = collect(answer, qMin(whole, MaxBlock), start, 3);
    // A block ending in ETB announces another; without them the answer would lose its end.
    for (int block = 1; length && endsAsFirstBlock(answer) && block < MaxBlocks; ++block) {
        const int next = qMin<int>(MaxBlock, frameLength(*length) - int(answer.size()) + 4);
        answer = joinBlocks(answer, acknowledgeAndRead(next, 3));
    }
    releaseLine();
    return ReponseTerminal::lue(answer, int(answer.size()));
}

ReponseTerminal LiaisonTerminal::ExchangeAndListen(const QByteArray &message, int waitSeconds,
                                                   Ecoute phase)
{
    if (!sendFrameAndHandOver(message, waitSeconds))
        return phase == Ecoute::Demarrage ? ReponseTerminal::lue({}) : ReponseTerminal::echouee();
    return ReponseTerminal::lue(ecouter(phase));
}

ReponseTerminal LiaisonTerminal::ExchangeAndReadStream(const QByteArray &message, int waitSeconds)
{
    if (!sendFrameAndHandOver(message, waitSeconds))
        return ReponseTerminal::echouee();
    setInputLength(1);
    const qint64 start = horloge().monotonicMs();
    QByteArray stream = Enq; // the terminal's turn, taken in hand-over
    QByteArray answer;
    for (;;) {
        const char last = stream.at(stream.size() - 1);
        QByteArray c;
        if (last == Ctl::ENQ || last == Ctl::STX) {
            send(Ack);
            waitForCount(1, horloge().monotonicMs(), 3, false);
            c = readBuffered();
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
    m_etat.MerchantTicketText = kept > 0 ? maskTerminalText(stream.mid(1, kept)) : QString();
    setInputLength(0);
    return ReponseTerminal::lue(answer);
}

QByteArray LiaisonTerminal::ecouter(Ecoute phase)
{
    return Phase(*this, phase).run();
}

QByteArray LiaisonTerminal::EcouterDemarrage()
{
    return ecouter(Ecoute::Demarrage);
}

QByteArray LiaisonTerminal::EcouterDemVAl()
{
    return ecouter(Ecoute::DemVAl);
}

QByteArray LiaisonTerminal::EcouterDemEnr()
{
    return ecouter(Ecoute::DemEnr);
}

QByteArray LiaisonTerminal::EcouterDemTC()
{
    return ecouter(Ecoute::DemTC);
}

} // namespace Movendi::Payment
