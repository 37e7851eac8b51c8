#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

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

// A fault applied to the first N occurrences; Always when no count was given.
class Budget
{
public:
    static constexpr int Always = -1;
    void set(int count) { m_left = count; }
    bool isSet() const { return m_left != 0; }
    // True when the fault applies to this occurrence (and uses one up).
    bool spend()
    {
        if (m_left == 0)
            return false;
        if (m_left > 0)
            --m_left;
        return true;
    }

private:
    int m_left = 0;
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

// What the simulated terminal does, built from directives (see README.md).
struct Scenario
{
    // Card in the reader.
    bool cardAtStart = true;
    int insertAfterPolls = -1; // -1: the card never comes
    int removeAfterPolls = 1;
    QByteArray cardNumber = "4970101234567890";
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
    char reportStatus = '0';
    std::optional<ReportBatch> reportBatch;

    // Line faults.
    int nakFrames = 0;
    bool silent = false;
    Budget noAckEnq;
    Budget noAnswer;
    Budget garbage;
    Budget wrongLrc;
    int collisions = 0;
    bool collisionRemittance = false;

    bool displays = true;
    bool prints = true;
    // The terminal's clock; the local time when not set.
    std::optional<QDateTime> clock;
    int delayMs = 20;
    int ackWaitMs = 3000;

    // Applies one directive; returns an error text when it is not understood. Blank lines and
    // lines starting with '#' are accepted and ignored.
    std::optional<QString> apply(const QString &directive);
    // Applies every line of a file; errors name the line.
    std::optional<QString> applyFile(const QString &fileName);
};

} // namespace Movendi::TpeSim
