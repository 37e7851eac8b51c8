#include "terminal.h"

#include "eventjournal.h"
#include "payment/terminalframe.h"

namespace Movendi::TpeSim {

namespace Ctl = Payment::Ctl;
using namespace std::chrono_literals;

namespace {

// Resends of one frame after NAKs before the terminal gives the line up.
constexpr int MaxResends = 3;
// A kiosk frame whose next character does not come within this is dropped.
constexpr auto FrameGap = 1000ms;
// Longer than any request; protects against a stream with no ETX.
constexpr qsizetype MaxFrame = 1024;

const QByteArray Acquirer1 = "100001";
const QByteArray Acquirer2 = "100002";

// What the display shows after a remittance, one screen after the other.
const QByteArray AfterRemittance[][2] = {
    {"MPC10S", "PRET"}, {"INSEREZ", "VOTRE CARTE"}, {"BONJOUR", ""}};

QString controlName(char c)
{
    return readable(QByteArray(1, c));
}

// The journal text of a block: message part, "<ETB>" for a first block, check character.
QString blockText(const QByteArray &block)
{
    if (block.size() < 4 || block.at(0) != Ctl::STX)
        return QStringLiteral("octets ") + readable(block);
    const QByteArray part = block.mid(1, block.size() - 4);
    const bool first = block.at(block.size() - 2) == Ctl::ETB;
    return readable(part) + (first ? QStringLiteral(" <ETB> ") : QStringLiteral(" ")) +
           hexByte(block.back());
}

qint64 centsOf(const QByteArray &digits)
{
    return Payment::isDigits(digits) ? digits.toLongLong() : 0;
}

} // namespace

Terminal::Terminal(Scenario scenario, EventJournal &journal, Writer writer)
    : m_scenario(std::move(scenario)), m_journal(journal), m_write(std::move(writer)),
      m_card(m_scenario.cardAtStart)
{
}

void Terminal::note(const QString &text)
{
    m_journal.write(QStringLiteral("note ") + text);
}

QDateTime Terminal::now() const
{
    return m_scenario.clock.value_or(QDateTime::currentDateTime());
}

Terminal::Clock::time_point Terminal::lineFree(Clock::time_point now) const
{
    return std::max(now, m_lineFreeAt);
}

void Terminal::transmit(const QByteArray &bytes, Clock::time_point now)
{
    Clock::time_point at = lineFree(now);
    if (m_scenario.baud <= 0) {
        m_write(bytes, at);
    } else {
        // Ten bits a byte on the wire: start bit, eight data bits, stop bit.
        const auto perByte = std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(10'000'000'000LL / m_scenario.baud));
        for (char byte : bytes) {
            at += perByte;
            m_write(QByteArray(1, byte), at);
        }
    }
    m_lineFreeAt = at;
}

void Terminal::send(char control, Clock::time_point now)
{
    transmit(QByteArray(1, control), now);
    m_journal.write(QStringLiteral("envoye ") + controlName(control));
}

void Terminal::flushStrays()
{
    if (m_strays.isEmpty())
        return;
    m_journal.write(QStringLiteral("recu octets ") + readable(m_strays));
    m_strays.clear();
}

void Terminal::receive(const QByteArray &bytes, Clock::time_point now)
{
    for (char byte : bytes)
        handleByte(byte, now);
    flushStrays();
}

void Terminal::handleByte(char byte, Clock::time_point now)
{
    if (m_state == State::InFrame) {
        if (m_frameEnding) {
            m_frame += byte;
            frameComplete(now);
            return;
        }
        if (byte == Ctl::STX || byte == Ctl::ENQ || m_frame.size() >= MaxFrame) {
            m_journal.write(QStringLiteral("recu trame incomplete ") + readable(m_frame.mid(1)));
            m_state = State::Idle;
            handleByte(byte, now);
            return;
        }
        m_frame += byte;
        m_frameDeadline = now + FrameGap;
        if ((byte == Ctl::ETX || byte == Ctl::ETB) && m_frame.at(m_frame.size() - 2) == Ctl::DLE)
            m_frameEnding = true;
        return;
    }

    switch (byte) {
    case Ctl::STX:
        flushStrays();
        if (m_state != State::Idle)
            abandon(QStringLiteral("le poste envoie une trame"));
        m_state = State::InFrame;
        m_frame = QByteArray(1, Ctl::STX);
        m_frameEnding = false;
        m_frameDeadline = now + FrameGap;
        return;
    case Ctl::ENQ:
        flushStrays();
        m_journal.write(QStringLiteral("recu <ENQ>"));
        handleEnq(now);
        return;
    case Ctl::ACK:
        flushStrays();
        m_journal.write(QStringLiteral("recu <ACK>"));
        // An ACK at any other moment is the kiosk's stream reading being generous: ignored.
        if (m_state == State::AwaitingAck)
            acknowledged(now);
        return;
    case Ctl::NAK:
        flushStrays();
        m_journal.write(QStringLiteral("recu <NAK>"));
        if (m_state != State::AwaitingAck)
            return;
        if (m_resends < MaxResends) {
            ++m_resends;
            sendCurrent(now, true);
        } else {
            abandon(QStringLiteral("trame refusee %1 fois").arg(MaxResends + 1));
            send(Ctl::EOT, now);
        }
        return;
    case Ctl::EOT:
        flushStrays();
        m_journal.write(QStringLiteral("recu <EOT>"));
        if (m_state == State::Idle && m_request)
            handOver(now);
        return;
    default:
        m_strays += byte;
    }
}

void Terminal::handleEnq(Clock::time_point now)
{
    // A fresh ENQ means the kiosk has started over, whatever the terminal was doing.
    if (m_state != State::Idle)
        abandon(QStringLiteral("le poste reprend la ligne"));
    m_request.reset();
    if (m_scenario.silent)
        return;
    if (m_scenario.noAckEnq.spend()) {
        note(QStringLiteral("ENQ laisse sans reponse"));
        return;
    }
    if (m_scenario.collisions > 0) {
        --m_scenario.collisions;
        note(QStringLiteral("collision: le terminal demande la ligne"));
        QList<Step> turn;
        addEnq(turn);
        addFrame(turn, displayMessage(m_scenario.collisionLine1, m_scenario.collisionLine2));
        addEot(turn);
        startTurn(turn, now);
        return;
    }
    send(Ctl::ACK, now);
}

QString Terminal::malformedFrame(const QByteArray &message) const
{
    if (message.size() < 5)
        return QStringLiteral("trame trop courte");
    const QByteArray length = message.mid(2, 3);
    if (!Payment::isDigits(length))
        return QStringLiteral("longueur illisible");
    if (length.toInt() != message.size() - 5)
        return QStringLiteral("longueur annoncee %1, %2 caracteres de donnees")
            .arg(length.toInt())
            .arg(message.size() - 5);
    return {};
}

void Terminal::frameComplete(Clock::time_point now)
{
    m_state = State::Idle;
    const char lrc = m_frame.back();
    const QByteArray body = m_frame.left(m_frame.size() - 1);
    const char expected = Payment::ComputeLrc(body).at(0);
    const bool block = body.back() == Ctl::ETB;
    const QByteArray message = body.mid(1, body.size() - 3);
    QString line = QStringLiteral("recu trame ") + readable(message) +
                   (block ? QStringLiteral(" <ETB> ") : QStringLiteral(" ")) + hexByte(lrc);
    if (lrc != expected)
        line += QStringLiteral(" LRC faux, attendu ") + hexByte(expected);
    m_journal.write(line);
    if (m_scenario.silent)
        return;
    if (lrc != expected) {
        send(Ctl::NAK, now);
        return;
    }
    if (m_scenario.nakFrames > 0) {
        --m_scenario.nakFrames;
        note(QStringLiteral("NAK impose"));
        send(Ctl::NAK, now);
        return;
    }
    if (m_scenario.checkRequests && !block) {
        const QString fault = malformedFrame(message);
        if (!fault.isEmpty()) {
            note(QStringLiteral("requete mal formee: ") + fault);
            send(Ctl::NAK, now);
            return;
        }
    }
    if (m_scenario.noAckFrame.spend())
        note(QStringLiteral("trame prise sans ACK"));
    else
        send(Ctl::ACK, now);
    if (block) {
        note(QStringLiteral("bloc du poste ignore"));
        return;
    }
    m_request = message;
}

void Terminal::handOver(Clock::time_point now)
{
    m_processing = *m_request;
    m_request.reset();
    if (m_scenario.noAnswer.spend()) {
        note(QStringLiteral("requete laissee sans reponse"));
        return;
    }
    m_state = State::Processing;
    m_due = lineFree(now) + std::chrono::milliseconds(m_scenario.turnDelayFor(m_processing));
}

void Terminal::tick(Clock::time_point now)
{
    if (m_state == State::InFrame && now >= m_frameDeadline) {
        m_journal.write(QStringLiteral("recu trame incomplete ") + readable(m_frame.mid(1)));
        m_state = State::Idle;
    } else if (m_state == State::Processing && now >= m_due) {
        m_state = State::Idle;
        startTurn(turnFor(m_processing), now);
    } else if (m_state == State::Pausing && now >= m_due) {
        sendCurrent(now, false);
    } else if (m_state == State::AwaitingAck && now >= m_due) {
        abandon(QStringLiteral("pas d'ACK"));
        send(Ctl::EOT, now);
    }
}

std::optional<Terminal::Clock::time_point> Terminal::deadline() const
{
    switch (m_state) {
    case State::InFrame:
        return m_frameDeadline;
    case State::Processing:
    case State::Pausing:
    case State::AwaitingAck:
        return m_due;
    case State::Idle:
        break;
    }
    return std::nullopt;
}

void Terminal::startTurn(QList<Step> turn, Clock::time_point now)
{
    m_turn = std::move(turn);
    m_step = 0;
    m_resends = 0;
    m_paused = false;
    m_sentTwice = false;
    if (m_turn.isEmpty())
        m_state = State::Idle;
    else
        sendCurrent(now, false);
}

void Terminal::sendCurrent(Clock::time_point now, bool resend)
{
    const Step &step = m_turn.at(m_step);
    if (!resend && step.pauseBeforeMs > 0 && !m_paused) {
        m_paused = true;
        m_state = State::Pausing;
        m_due = lineFree(now) + std::chrono::milliseconds(step.pauseBeforeMs);
        return;
    }
    m_paused = false;
    transmit(step.bytes, now);
    m_journal.write((resend ? QStringLiteral("renvoye ") : QStringLiteral("envoye ")) + step.label);
    if (step.waitsForAck) {
        m_state = State::AwaitingAck;
        m_due = m_lineFreeAt + std::chrono::milliseconds(m_scenario.ackWaitMs);
    } else {
        next(now);
    }
}

void Terminal::acknowledged(Clock::time_point now)
{
    // A noisy line turns an ACK into something else: the terminal sends the frame again.
    if (m_turn.at(m_step).sentTwice && !m_sentTwice) {
        m_sentTwice = true;
        note(QStringLiteral("ACK pris pour un NAK"));
        sendCurrent(now, true);
        return;
    }
    next(now);
}

void Terminal::next(Clock::time_point now)
{
    ++m_step;
    m_resends = 0;
    m_sentTwice = false;
    if (m_step >= m_turn.size()) {
        m_turn.clear();
        m_state = State::Idle;
        return;
    }
    sendCurrent(now, false);
}

void Terminal::abandon(const QString &why)
{
    if (m_state == State::AwaitingAck || m_state == State::Processing || m_state == State::Pausing)
        note(QStringLiteral("abandon: ") + why);
    m_turn.clear();
    m_state = State::Idle;
}

void Terminal::addEnq(QList<Step> &turn, int pauseBeforeMs) const
{
    turn.append({QByteArray(1, Ctl::ENQ), QStringLiteral("<ENQ>"), true, pauseBeforeMs});
}

void Terminal::addEot(QList<Step> &turn) const
{
    turn.append({QByteArray(1, Ctl::EOT), QStringLiteral("<EOT>"), false});
}

void Terminal::addFrame(QList<Step> &turn, const QByteArray &message) const
{
    for (const QByteArray &block :
         toBlocks({message, paddingFillers(message)}, m_scenario.checkCharacters))
        turn.append({block, QStringLiteral("trame ") + blockText(block), true});
}

void Terminal::addDisplay(QList<Step> &turn, const QByteArray &line1, const QByteArray &line2) const
{
    if (m_scenario.displays)
        addFrame(turn, displayMessage(line1, line2));
}

void Terminal::addAnswer(QList<Step> &turn, const Answer &answer, bool paymentTurn)
{
    if (m_scenario.garbage.spend()) {
        const QByteArray garbage = "?#~ CHARABIA 7x!Qz%& ~#? 0123 ~~ @@";
        turn.append({garbage, QStringLiteral("charabia ") + readable(garbage), false});
        return;
    }
    const bool wrong = m_scenario.wrongLrc.spend();
    if (wrong)
        note(QStringLiteral("LRC faux impose"));
    Answer sent = answer;
    if (paymentTurn && m_scenario.continuationStart)
        setContinuationStart(sent, m_scenario.continuationStart);
    const QList<QByteArray> blocks = toBlocks(sent, m_scenario.checkCharacters, wrong);
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        if (i > 0 && paymentTurn && m_scenario.displayBetweenBlocks)
            addDisplay(turn, "PATIENTEZ", "");
        const QString kind = i == 0 ? QStringLiteral("trame ") : QStringLiteral("suite ");
        turn.append({blocks.at(i), kind + blockText(blocks.at(i)), true});
    }
}

void Terminal::markResends(QList<Step> &turn) const
{
    if (m_scenario.resendEvery <= 0)
        return;
    int frames = 0;
    for (Step &step : turn) {
        if (step.bytes.startsWith(Ctl::STX) && ++frames % m_scenario.resendEvery == 0)
            step.sentTwice = true;
    }
}

QList<Terminal::Step> Terminal::scriptedTurn(const QList<ScriptedItem> &items) const
{
    QList<Step> turn;
    addEnq(turn);
    for (const ScriptedItem &item : items)
        turn.append({item.bytes, blockText(item.bytes), item.waitsForAck, item.pauseBeforeMs});
    addEot(turn);
    return turn;
}

QList<Terminal::Step> Terminal::turnFor(const QByteArray &request)
{
    if (m_scenario.script) {
        if (const auto items = m_scenario.script(request))
            return scriptedTurn(*items);
    }
    const QByteArray identifier = request.left(2);
    if (identifier == "AA")
        return statusTurn();
    if (identifier == "AK")
        return solvencyTurn(request);
    if (identifier == "AL")
        return debitTurn(request);
    if (identifier == "AU")
        return restartTurn();
    if (identifier == "AJ" && request.mid(5) == "04")
        return remittanceTurn();
    if (identifier == "AJ" && request.mid(5) == "03")
        return reportTurn();
    note(QStringLiteral("requete inconnue ") + readable(request));
    return {};
}

QList<Terminal::Step> Terminal::statusTurn()
{
    // The card comes after so many polls without it, and goes after so many polls once a
    // solvency has been asked for.
    if (!m_card && m_scenario.insertAfterPolls >= 0 &&
        m_pollsWithoutCard >= m_scenario.insertAfterPolls) {
        m_card = true;
        note(QStringLiteral("carte introduite"));
    }
    if (m_card && m_removalArmed && m_scenario.removeAfterPolls >= 0 &&
        m_pollsSinceSolvency >= m_scenario.removeAfterPolls) {
        m_card = false;
        m_removalArmed = false;
        m_pollsWithoutCard = 0;
        note(QStringLiteral("carte retiree"));
    }
    if (m_card) {
        if (m_removalArmed)
            ++m_pollsSinceSolvency;
    } else {
        ++m_pollsWithoutCard;
    }
    const char availability = m_scenario.availability.take('0');
    const char remote = m_scenario.remoteActivity.take('0');
    const char security = m_scenario.security.take('0');

    QList<Step> turn;
    addEnq(turn);
    addAnswer(turn, statusAnswer(availability, m_card, remote, security));
    addEot(turn);
    return turn;
}

QList<Terminal::Step> Terminal::solvencyTurn(const QByteArray &request)
{
    // "AK016", "0", amount (8), "30", "978", "2D"
    const QByteArray data = request.mid(5);
    const QByteArray amount = data.mid(1, 8);
    const qint64 cents = centsOf(amount);
    SolvencyResult result = m_scenario.solvency.take({});
    if (m_scenario.checkRequests) {
        const bool currency = data.mid(11, 3) == "978";
        const bool fixed = data.size() == 16 && data.startsWith('0') && data.mid(9, 2) == "30" &&
                           data.mid(14, 2) == "2D";
        if (!currency || !fixed || amount.size() != 8 || !Payment::isDigits(amount)) {
            note(QStringLiteral("solvabilite refusee: requete hors format ") + readable(data));
            // Amount or currency problem, with the diagnostic a terminal gives.
            result = {'5', currency ? QByteArray("10") : QByteArray("17")};
        }
    }
    if (m_scenario.checkAuthorisation) {
        if (result.result == '0')
            m_authorisedCents = cents;
        else
            m_authorisedCents.reset();
    }
    m_removalArmed = true;
    m_pollsSinceSolvency = 0;

    QList<Step> turn;
    addEnq(turn);
    if (!m_card)
        addDisplay(turn, amountLine(cents), "INTRODUIRE CARTE");
    addDisplay(turn, amountLine(cents), "TAPEZ CODE");
    // The customer types slowly: the terminal hands the line back meanwhile.
    for (int i = 0; i < m_scenario.pinTurns; ++i) {
        addEot(turn);
        addEnq(turn, m_scenario.pinPauseMs);
    }
    addDisplay(turn, {}, "CODE BON");
    addDisplay(turn, "DEMANDE", "D'AUTORISATION");
    if (m_scenario.blankBeforeAnswer)
        addDisplay(turn, {}, {});
    addAnswer(turn,
              solvencyAnswer(result.result, result.diagnostic, amount,
                             {m_scenario.cardNumber, m_scenario.expiry}),
              true);
    if (!m_scenario.clearsBeforeAnswer)
        addDisplay(turn, {}, {});
    addEot(turn);
    markResends(turn);
    return turn;
}

QList<Terminal::Step> Terminal::debitTurn(const QByteArray &request)
{
    // "AL011", amount (8), "978"
    const QByteArray data = request.mid(5);
    DebitDetails details;
    details.result = m_scenario.debit.take('0');
    details.when = this->now();
    details.amount = data.left(8).leftJustified(8, '0', true);
    details.card = {m_scenario.cardNumber, m_scenario.expiry};
    details.transactionNumber = ++m_transactionNumber;
    details.remittanceNumber = m_scenario.remittanceNumber;
    details.authorisation = m_scenario.authorisation;
    const qint64 cents = centsOf(details.amount);
    if (m_scenario.checkRequests &&
        (data.size() != 11 || !Payment::isDigits(data.left(8)) || data.mid(8) != "978")) {
        note(QStringLiteral("debit refuse: requete hors format ") + readable(data));
        details.result = '5';
    }
    if (m_scenario.checkAuthorisation && details.result == '0') {
        if (!m_authorisedCents)
            details.result = '4';
        else if (cents > *m_authorisedCents)
            details.result = '5';
        else if (cents == 0)
            details.result = '6';
        if (details.result != '0')
            note(QStringLiteral("debit refuse: %1 centimes, autorise %2")
                     .arg(cents)
                     .arg(m_authorisedCents ? QString::number(*m_authorisedCents)
                                            : QStringLiteral("rien")));
    }
    if (details.result == '0' || details.result == '6')
        m_authorisedCents.reset();
    if (details.result == '0') {
        ++m_batch.transactions;
        m_batch.cents += cents;
        m_batchLines << m_scenario.cardNumber + ' ' + euros(cents);
    }

    QList<Step> turn;
    addEnq(turn);
    addDisplay(turn, amountLine(cents), "DEBIT EN COURS");
    if (m_scenario.debitPrints && details.result == '0') {
        // The terminal's own ticket, card number in full as some printers have it.
        for (const QByteArray &line :
             {QByteArray("CARTE BANCAIRE"), QByteArray("MOVENDI BORNE 01"),
              details.when.toString(QStringLiteral("'LE 'dd/MM/yy' A 'hh:mm:ss")).toLatin1(),
              m_scenario.cardNumber, "MONTANT " + euros(cents) + " EUR", QByteArray("DEBIT")})
            addFrame(turn, printMessage(line));
    }
    if (m_scenario.blankBeforeAnswer)
        addDisplay(turn, {}, {});
    addAnswer(turn, debitAnswer(details), true);
    if (!m_scenario.clearsBeforeAnswer)
        addDisplay(turn, {}, {});
    addEot(turn);
    markResends(turn);
    return turn;
}

QList<Terminal::Step> Terminal::restartTurn()
{
    // The kiosk's restart phase ends at the fifth EOT: five turns, the answer in the last.
    static const char *const screens[][2] = {{"MPC10S", "REDEMARRAGE"},
                                             {"INITIALISATION", "EN COURS"},
                                             {"TEST LECTEUR", ""},
                                             {"TEST PIN-PAD", ""},
                                             {"MPC10S", "PRET"}};
    QList<Step> turn;
    for (int i = 0; i < 5; ++i) {
        addEnq(turn);
        addDisplay(turn, screens[i][0], screens[i][1]);
        if (i == 4) {
            addAnswer(turn, restartAnswer());
            addDisplay(turn, {}, {});
        }
        addEot(turn);
    }
    return turn;
}

QList<Terminal::Step> Terminal::remittanceTurn()
{
    const QDateTime now = this->now();
    QList<AcquirerResult> acquirers;
    bool allGood = true;
    for (qsizetype i = 0; i < m_scenario.acquirerStatus.size(); ++i) {
        const char status = m_scenario.acquirerStatus.at(i);
        acquirers.append({i == 0 ? Acquirer1 : Acquirer2, status});
        allGood = allGood && status == '0';
    }
    const char result = m_scenario.remittanceResult.value_or(allGood ? '0' : '1');
    const ReportBatch batch = m_scenario.reportBatch.value_or(m_batch);

    QList<Step> turn;
    addEnq(turn);
    addDisplay(turn, "TELECOLLECTE", "EN COURS");
    for (qsizetype i = 0; i < acquirers.size(); ++i)
        addDisplay(turn, "APPEL", "ACQUEREUR " + QByteArray::number(i + 1));
    if (m_scenario.prints) {
        QList<QByteArray> lines{
            "      TELECOLLECTE",
            now.toString(QStringLiteral("'LE 'dd/MM/yy' A 'hh:mm:ss")).toLatin1()};
        for (qsizetype i = 0; i < acquirers.size(); ++i) {
            const char status = acquirers.at(i).status;
            lines << "ACQUEREUR " + acquirers.at(i).identifier
                  << "REMISE No " +
                         QByteArray::number(m_scenario.remittanceNumber).rightJustified(6, '0');
            // The debits of the batch, one a line with the card as the terminal stored it.
            if (i == 0)
                lines += m_batchLines;
            lines << "NB TRANSACTIONS " + QByteArray::number(i == 0 ? batch.transactions : 0)
                  << "MONTANT " + euros(i == 0 ? batch.cents : 0) + " EUR"
                  << (status == '0' ? QByteArray("TELECOLLECTE OK") : "TELECOLLECTE INCOMPLETE");
        }
        for (const QByteArray &line : lines)
            addFrame(turn, printMessage(line));
    }
    addAnswer(turn, remittanceAnswer(result, acquirers));
    // The kiosk's remittance phase ends on the first display after the answer.
    for (int i = 0; i < m_scenario.displaysAfterRemittance; ++i) {
        if (i == 0)
            addDisplay(turn, "TELECOLLECTE", result == '0' ? "TERMINEE" : "INCOMPLETE");
        else
            addDisplay(turn, AfterRemittance[(i - 1) % 3][0], AfterRemittance[(i - 1) % 3][1]);
    }
    addEot(turn);

    if (result == '0') {
        m_remitted = batch;
        m_remittedNumber = m_scenario.remittanceNumber;
        m_remittedAt = now;
        ++m_scenario.remittanceNumber;
        m_batch = {};
        m_batchLines.clear();
        m_scenario.reportBatch.reset();
    }
    return turn;
}

QList<Terminal::Step> Terminal::reportTurn()
{
    // The report tells of the last remittance, or of the batch so far when there was none.
    const ReportBatch first = m_scenario.reportBatch.value_or(m_remitted.value_or(m_batch));
    const int number = m_remitted ? m_remittedNumber : m_scenario.remittanceNumber;
    const QDateTime when = m_remitted ? m_remittedAt : this->now();

    QList<ReportBlock> blocks;
    int extra = 0;
    bool allGood = true;
    for (qsizetype a = 0; a < m_scenario.reportRecords.size(); ++a) {
        ReportBlock block;
        block.identifier = a == 0 ? Acquirer1 : Acquirer2;
        block.status = m_scenario.reportStatus.value(a, '0');
        allGood = allGood && block.status == '0';
        block.name = a == 0 ? "BANQUE EXEMPLE 1" : "BANQUE EXEMPLE 2";
        for (int r = 0; r < m_scenario.reportRecords.at(a); ++r) {
            RemittanceRecord record;
            record.acquirerNumber = block.identifier;
            if (a == 0 && r == 0) {
                record.remittanceNumber = number;
                record.transactions = first.transactions;
                record.cents = first.cents;
            } else {
                ++extra;
                record.remittanceNumber = qMax(0, number - extra);
                record.transactions = extra;
                record.cents = 1000 * extra;
            }
            block.records.append(record);
        }
        blocks.append(block);
    }

    QList<Step> turn;
    addEnq(turn);
    addAnswer(turn, reportAnswer(allGood ? '0' : '1', when, blocks));
    addEot(turn);
    return turn;
}

} // namespace Movendi::TpeSim
