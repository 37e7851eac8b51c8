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

// Print lines as the terminal's printer has them, so a trailing space can steer the LRC.
constexpr int PrintWidth = 24;

QString controlName(char c)
{
    return readable(QByteArray(1, c));
}

// The journal text of a block: message part, "<ETB>" for a first block, check character.
QString blockText(const QByteArray &block)
{
    const QByteArray part = block.mid(1, block.size() - 4);
    const bool first = block.at(block.size() - 2) == Ctl::ETB;
    return readable(part) + (first ? QStringLiteral(" <ETB> ") : QStringLiteral(" ")) +
           hexByte(block.back());
}

// Filler of a display or print frame: trailing padding only (end of line 2, else of
// line 1, or the end of a print line), so that the text shown stays as it is.
QList<int> paddingFiller(const QByteArray &message)
{
    const QList<qsizetype> candidates =
        message.startsWith('D') ? QList<qsizetype>{32, 16} : QList<qsizetype>{message.size() - 1};
    for (qsizetype index : candidates) {
        if (index > 0 && index < message.size() && message.at(index) == ' ')
            return {int(index) + 2};
    }
    return {};
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

void Terminal::send(char control)
{
    m_write(QByteArray(1, control));
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
            next(now);
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
            send(Ctl::EOT);
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
        m_turn.clear();
        addEnq(m_turn);
        if (m_scenario.collisionRemittance)
            addFrame(m_turn, displayMessage("TELECOLLECTE", "EN COURS"));
        else
            addFrame(m_turn, displayMessage("MPC10S", "PATIENTEZ"));
        addEot(m_turn);
        m_step = 0;
        m_resends = 0;
        sendCurrent(now, false);
        return;
    }
    send(Ctl::ACK);
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
        send(Ctl::NAK);
        return;
    }
    if (m_scenario.nakFrames > 0) {
        --m_scenario.nakFrames;
        note(QStringLiteral("NAK impose"));
        send(Ctl::NAK);
        return;
    }
    send(Ctl::ACK);
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
    m_due = now + std::chrono::milliseconds(m_scenario.delayMs);
}

void Terminal::tick(Clock::time_point now)
{
    if (m_state == State::InFrame && now >= m_frameDeadline) {
        m_journal.write(QStringLiteral("recu trame incomplete ") + readable(m_frame.mid(1)));
        m_state = State::Idle;
    } else if (m_state == State::Processing && now >= m_due) {
        m_turn = turnFor(m_processing);
        m_step = 0;
        m_resends = 0;
        if (m_turn.isEmpty())
            m_state = State::Idle;
        else
            sendCurrent(now, false);
    } else if (m_state == State::AwaitingAck && now >= m_due) {
        abandon(QStringLiteral("pas d'ACK"));
        send(Ctl::EOT);
    }
}

std::optional<Terminal::Clock::time_point> Terminal::deadline() const
{
    switch (m_state) {
    case State::InFrame:
        return m_frameDeadline;
    case State::Processing:
    case State::AwaitingAck:
        return m_due;
    case State::Idle:
        break;
    }
    return std::nullopt;
}

void Terminal::sendCurrent(Clock::time_point now, bool resend)
{
    const Step &step = m_turn.at(m_step);
    m_write(step.bytes);
    m_journal.write((resend ? QStringLiteral("renvoye ") : QStringLiteral("envoye ")) + step.label);
    if (step.waitsForAck) {
        m_state = State::AwaitingAck;
        m_due = now + std::chrono::milliseconds(m_scenario.ackWaitMs);
    } else {
        next(now);
    }
}

void Terminal::next(Clock::time_point now)
{
    ++m_step;
    m_resends = 0;
    if (m_step >= m_turn.size()) {
        m_turn.clear();
        m_state = State::Idle;
        return;
    }
    sendCurrent(now, false);
}

void Terminal::abandon(const QString &why)
{
    if (m_state == State::AwaitingAck || m_state == State::Processing)
        note(QStringLiteral("abandon: ") + why);
    m_turn.clear();
    m_state = State::Idle;
}

void Terminal::addEnq(QList<Step> &turn) const
{
    turn.append({QByteArray(1, Ctl::ENQ), QStringLiteral("<ENQ>"), true});
}

void Terminal::addEot(QList<Step> &turn) const
{
    turn.append({QByteArray(1, Ctl::EOT), QStringLiteral("<EOT>"), false});
}

void Terminal::addFrame(QList<Step> &turn, const QByteArray &message) const
{
    for (const QByteArray &block : toBlocks({message, paddingFiller(message)}))
        turn.append({block, QStringLiteral("trame ") + blockText(block), true});
}

void Terminal::addDisplay(QList<Step> &turn, const QByteArray &line1, const QByteArray &line2) const
{
    if (m_scenario.displays)
        addFrame(turn, displayMessage(line1, line2));
}

void Terminal::addAnswer(QList<Step> &turn, const Answer &answer)
{
    if (m_scenario.garbage.spend()) {
        const QByteArray garbage = "?#~ CHARABIA 7x!Qz%& ~#? 0123 ~~ @@";
        turn.append({garbage, QStringLiteral("charabia ") + readable(garbage), false});
        return;
    }
    const bool wrong = m_scenario.wrongLrc.spend();
    if (wrong)
        note(QStringLiteral("LRC faux impose"));
    const QList<QByteArray> blocks = toBlocks(answer, wrong);
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const QString kind = i == 0 ? QStringLiteral("trame ") : QStringLiteral("suite ");
        turn.append({blocks.at(i), kind + blockText(blocks.at(i)), true});
    }
}

QList<Terminal::Step> Terminal::turnFor(const QByteArray &request)
{
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
    if (m_card && m_removalArmed && m_pollsSinceSolvency >= m_scenario.removeAfterPolls) {
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
    const QByteArray amount = request.mid(6, 8);
    const qint64 cents = centsOf(amount);
    const SolvencyResult result = m_scenario.solvency.take({});
    m_removalArmed = true;
    m_pollsSinceSolvency = 0;

    QList<Step> turn;
    addEnq(turn);
    if (!m_card)
        addDisplay(turn, amountLine(cents), "INTRODUIRE CARTE");
    addDisplay(turn, amountLine(cents), "TAPEZ CODE");
    addDisplay(turn, {}, "CODE BON");
    addDisplay(turn, "DEMANDE", "D'AUTORISATION");
    addAnswer(turn, solvencyAnswer(result.result, result.diagnostic, amount));
    addDisplay(turn, {}, {});
    addEot(turn);
    return turn;
}

QList<Terminal::Step> Terminal::debitTurn(const QByteArray &request)
{
    // "AL011", amount (8), "978"
    DebitDetails details;
    details.result = m_scenario.debit.take('0');
    details.when = this->now();
    details.amount = request.mid(5, 8).leftJustified(8, '0', true);
    details.cardNumber = m_scenario.cardNumber;
    details.expiry = m_scenario.expiry;
    details.transactionNumber = ++m_transactionNumber;
    details.remittanceNumber = m_scenario.remittanceNumber;
    details.authorisation = m_scenario.authorisation;
    if (details.result == '0') {
        ++m_batch.transactions;
        m_batch.cents += centsOf(details.amount);
    }

    QList<Step> turn;
    addEnq(turn);
    addDisplay(turn, amountLine(centsOf(details.amount)), "DEBIT EN COURS");
    addAnswer(turn, debitAnswer(details));
    addDisplay(turn, {}, {});
    addEot(turn);
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
                         QByteArray::number(m_scenario.remittanceNumber).rightJustified(6, '0')
                  << "NB TRANSACTIONS " + QByteArray::number(i == 0 ? batch.transactions : 0)
                  << "MONTANT " + euros(i == 0 ? batch.cents : 0) + " EUR"
                  << (status == '0' ? QByteArray("TELECOLLECTE OK") : "TELECOLLECTE INCOMPLETE");
        }
        for (const QByteArray &line : lines)
            addFrame(turn, printMessage(line.leftJustified(PrintWidth, ' ', true)));
    }
    addAnswer(turn, remittanceAnswer(result, acquirers));
    // The kiosk's remittance phase ends on the first display after the answer.
    addDisplay(turn, "TELECOLLECTE", result == '0' ? "TERMINEE" : "INCOMPLETE");
    addEot(turn);

    if (result == '0') {
        m_remitted = batch;
        m_remittedNumber = m_scenario.remittanceNumber;
        m_remittedAt = now;
        ++m_scenario.remittanceNumber;
        m_batch = {};
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
    for (qsizetype a = 0; a < m_scenario.reportRecords.size(); ++a) {
        ReportBlock block;
        block.identifier = a == 0 ? Acquirer1 : Acquirer2;
        block.status = a == 0 ? m_scenario.reportStatus : '0';
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
    const char result = m_scenario.reportStatus == '0' ? '0' : '1';

    QList<Step> turn;
    addEnq(turn);
    addAnswer(turn, reportAnswer(result, when, blocks));
    addEot(turn);
    return turn;
}

} // namespace Movendi::TpeSim
