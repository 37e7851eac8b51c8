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
// waiting for ACK (resent on NAK), EOT. Time comes from the caller and nothing here blocks, so
// the same terminal runs on a pseudo-terminal in real time and inside a test on its clock.
class Terminal
{
public:
    using Clock = std::chrono::steady_clock;
    // Bytes for the line and the moment they have all arrived at the kiosk's end: at a baud
    // rate, one byte at a time, each at its own moment.
    using Writer = std::function<void(const QByteArray &bytes, Clock::time_point at)>;

    Terminal(Scenario scenario, EventJournal &journal, Writer writer);

    void receive(const QByteArray &bytes, Clock::time_point now);
    // Runs what is due at now (time-outs, the end of a processing delay or a pause).
    void tick(Clock::time_point now);
    // When tick() next has something to do.
    std::optional<Clock::time_point> deadline() const;

    // The scenario in force; a test may change it between requests.
    Scenario &scenario() { return m_scenario; }

private:
    // One step of the terminal's turn.
    struct Step
    {
        QByteArray bytes;
        QString label; // journal text after "envoye "
        bool waitsForAck = true;
        int pauseBeforeMs = 0;
        bool sentTwice = false; // the kiosk's ACK is taken for a NAK once
    };
    enum class State { Idle, InFrame, Processing, Pausing, AwaitingAck };

    void handleByte(char byte, Clock::time_point now);
    void handleEnq(Clock::time_point now);
    void frameComplete(Clock::time_point now);
    void handOver(Clock::time_point now);
    void startTurn(QList<Step> turn, Clock::time_point now);
    void sendCurrent(Clock::time_point now, bool resend);
    void acknowledged(Clock::time_point now);
    void next(Clock::time_point now);
    void abandon(const QString &why);
    void flushStrays();
    void send(char control, Clock::time_point now);
    void transmit(const QByteArray &bytes, Clock::time_point now);
    Clock::time_point lineFree(Clock::time_point now) const;
    void note(const QString &text);
    QDateTime now() const;

    // The turn that answers a request.
    QList<Step> turnFor(const QByteArray &request);
    QList<Step> scriptedTurn(const QList<ScriptedItem> &items) const;
    QList<Step> statusTurn();
    QList<Step> solvencyTurn(const QByteArray &request);
    QList<Step> debitTurn(const QByteArray &request);
    QList<Step> restartTurn();
    QList<Step> remittanceTurn();
    QList<Step> reportTurn();

    void addEnq(QList<Step> &turn, int pauseBeforeMs = 0) const;
    void addEot(QList<Step> &turn) const;
    void addFrame(QList<Step> &turn, const QByteArray &message) const;
    void addDisplay(QList<Step> &turn, const QByteArray &line1, const QByteArray &line2) const;
    void addAnswer(QList<Step> &turn, const Answer &answer, bool paymentTurn = false);
    void markResends(QList<Step> &turn) const;

    // Request checks: empty when the request is as the terminal expects it.
    QString malformedFrame(const QByteArray &message) const;

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
    bool m_paused = false;
    bool m_sentTwice = false;
    Clock::time_point m_due;
    Clock::time_point m_lineFreeAt;

    // Terminal state carried between requests.
    bool m_card;
    int m_pollsWithoutCard = 0;
    bool m_removalArmed = false;
    int m_pollsSinceSolvency = 0;
    int m_transactionNumber = 0;
    std::optional<qint64> m_authorisedCents;
    ReportBatch m_batch;
    QList<QByteArray> m_batchLines; // the debits of the batch, as the print-out lists them
    std::optional<ReportBatch> m_remitted;
    int m_remittedNumber = 0;
    QDateTime m_remittedAt;
};

} // namespace Movendi::TpeSim
