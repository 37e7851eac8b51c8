#pragma once

#include "answers.h"
#include "scenario.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace Movendi::TpeSim {

class EventJournal;

// The terminal's side of the line discipline: takes the kiosk's bytes, acknowledges its
// frames, and once the kiosk hands the line over (EOT) sends its own turn: ENQ, frames each
// waiting for ACK (resent on NAK), EOT. Time comes from the caller; nothing here blocks.
class Terminal
{
public:
    using Clock = std::chrono::steady_clock;
    using Writer = std::function<void(const QByteArray &)>;

    Terminal(Scenario scenario, EventJournal &journal, Writer writer);

    void receive(const QByteArray &bytes, Clock::time_point now);
    // Runs what is due at now (time-outs, the end of a processing delay).
    void tick(Clock::time_point now);
    // When tick() next has something to do.
    std::optional<Clock::time_point> deadline() const;

private:
    // One step of the terminal's turn.
    struct Step
    {
        QByteArray bytes;
        QString label; // journal text after "envoye "
        bool waitsForAck = true;
    };
    enum class State { Idle, InFrame, Processing, AwaitingAck };

    void handleByte(char byte, Clock::time_point now);
    void handleEnq(Clock::time_point now);
    void frameComplete(Clock::time_point now);
    void handOver(Clock::time_point now);
    void sendCurrent(Clock::time_point now, bool resend);
    void next(Clock::time_point now);
    void abandon(const QString &why);
    void flushStrays();
    void send(char control);
    void note(const QString &text);
    QDateTime now() const;

    // The turn that answers a request.
    QList<Step> turnFor(const QByteArray &request);
    QList<Step> statusTurn();
    QList<Step> solvencyTurn(const QByteArray &request);
    QList<Step> debitTurn(const QByteArray &request);
    QList<Step> restartTurn();
    QList<Step> remittanceTurn();
    QList<Step> reportTurn();

    void addEnq(QList<Step> &turn) const;
    void addEot(QList<Step> &turn) const;
    void addFrame(QList<Step> &turn, const QByteArray &message) const;
    void addDisplay(QList<Step> &turn, const QByteArray &line1, const QByteArray &line2) const;
    void addAnswer(QList<Step> &turn, const Answer &answer);

    Scenario m_scenario;
    EventJournal &m_journal;
    Writer m_write;

    State m_state = State::Idle;
    QByteArray m_frame;         // kiosk frame being received, from the STX
    bool m_frameEnding = false; // DLE ETX seen, the LRC comes next
    Clock::time_point m_frameDeadline;
    QByteArray m_strays;                 // bytes outside frames, journalled together
    std::optional<QByteArray> m_request; // accepted, waiting for the kiosk's EOT
    QByteArray m_processing;             // request being processed
    QList<Step> m_turn;
    qsizetype m_step = 0;
    int m_resends = 0;
    Clock::time_point m_due;

    // Terminal state carried between requests.
    bool m_card;
    int m_pollsWithoutCard = 0;
    bool m_removalArmed = false;
    int m_pollsSinceSolvency = 0;
    int m_framesSeen = 0;
    int m_transactionNumber = 0;
    ReportBatch m_batch;
    std::optional<ReportBatch> m_remitted;
    int m_remittedNumber = 0;
    QDateTime m_remittedAt;
    bool m_wrongLrcNow = false;
};

} // namespace Movendi::TpeSim
