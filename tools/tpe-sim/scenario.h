#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace Movendi::TpeSim {

// Answers given one after the other; once the list is used up its last value keeps coming.
template <typename T> class Sequence
{
public:
    void append(const T &value) { m_values.append(value); }
    bool isEmpty() const { return m_values.isEmpty(); }
    T take(const T &fallback)
    {
        if (m_values.isEmpty())
            return fallback;
        const T value = m_values.at(qMin(m_next, m_values.size() - 1));
        ++m_next;
        return value;
    }

private:
    QList<T> m_values;
    qsizetype m_next = 0;
};

// A fault applied to the first N occurrences after the first `skip` ones; Always when no count
// was given.
class Budget
{
public:
    static constexpr int Always = -1;
    void set(int count, int skip = 0)
    {
        m_left = count;
        m_skip = skip;
    }
    bool isSet() const { return m_left != 0; }
    // True when the fault applies to this occurrence (and uses one up).
    bool spend()
    {
        if (m_left == 0)
            return false;
        if (m_skip > 0) {
            --m_skip;
            return false;
        }
        if (m_left > 0)
            --m_left;
        return true;
    }

private:
    int m_left = 0;
    int m_skip = 0;
};

struct SolvencyResult
{
    char result = '0';
    QByteArray diagnostic = "00";
};

struct ReportBatch
{
    int transactions = 0;
    qint64 cents = 0;
};

// What the terminal sends in one turn, given by a test instead of the built-in answers: each
// item goes out after the previous one was acknowledged (items that are not frames, such as
// loose control characters, do not wait), then EOT.
struct ScriptedItem
{
    QByteArray bytes;
    bool waitsForAck = true;
    int pauseBeforeMs = 0;
};
using TurnScript = std::function<std::optional<QList<ScriptedItem>>(const QByteArray &request)>;

// How the check characters of the terminal's blocks come out.
enum class CheckCharacters {
    Natural,  // as computed: any byte
    Gentle,   // a filler steers them away from STX and ENQ
    Hazardous // a filler steers them onto control characters where it can
};

// What the simulated terminal does, built from directives (see README.md).
struct Scenario
{
    // Card in the reader.
    bool cardAtStart = true;
    int insertAfterPolls = -1; // -1: the card never comes
    int removeAfterPolls = 1;  // -1: the card is never taken out
    // Luhn-valid, so that nothing downstream can tell it from a real one.
    QByteArray cardNumber = "4970101234567893";
    QByteArray expiry = "2712"; // yymm

    // Status answer, positions 7, 9 and 10.
    Sequence<char> availability;
    Sequence<char> remoteActivity;
    Sequence<char> security;

    Sequence<SolvencyResult> solvency;
    Sequence<char> debit;
    QByteArray authorisation = "654321";

    // Remittance.
    QList<char> acquirerStatus{'0'};
    std::optional<char> remittanceResult;
    int remittanceNumber = 1;
    QList<int> reportRecords{1};
    QList<char> reportStatus{'0'}; // per acquirer block
    std::optional<ReportBatch> reportBatch;
    int displaysAfterRemittance = 1;

    // Line faults.
    int nakFrames = 0;
    bool silent = false;
    Budget noAckEnq;
    Budget noAckFrame;
    Budget noAnswer;
    Budget garbage;
    Budget wrongLrc;
    int collisions = 0;
    QByteArray collisionLine1 = "MPC10S";
    QByteArray collisionLine2 = "PATIENTEZ";

    // What real terminals do.
    int baud = 0; // 0: whole blocks at once
    CheckCharacters checkCharacters = CheckCharacters::Natural;
    bool blankBeforeAnswer = false;
    // The display cleared before the payment answers and nothing shown after them.
    bool clearsBeforeAnswer = false;
    bool displayBetweenBlocks = false;
    char continuationStart = 0; // 'D' or 'P': first letter of a payment answer's second block
    bool debitPrints = false;
    int resendEvery = 0; // every n-th frame of a payment turn goes out twice
    int pinTurns = 0;
    int pinPauseMs = 1500;
    bool checkRequests = false;
    bool checkAuthorisation = false;

    bool displays = true;
    bool prints = true;
    // The terminal's clock; the local time when not set.
    std::optional<QDateTime> clock;
    int delayMs = 20;
    // Processing time before the terminal takes its turn, per request (by the request's
    // identifier, "AJ00204" for the remittance and "AJ00203" for its report); delayMs otherwise.
    QList<QPair<QByteArray, int>> turnDelays;
    int turnDelayFor(const QByteArray &request) const;
    int ackWaitMs = 3000;

    // For tests run in the same process: turns of their own for the requests it answers.
    TurnScript script;

    // Applies one directive; returns an error text when it is not understood. Blank lines and
    // lines starting with '#' are accepted and ignored.
    std::optional<QString> apply(const QString &directive);
    // Applies every line of a file; errors name the line.
    std::optional<QString> applyFile(const QString &fileName);
};

// True when the digits pass the Luhn check, as every issued card number does.
bool luhnValid(const QByteArray &digits);

} // namespace Movendi::TpeSim
