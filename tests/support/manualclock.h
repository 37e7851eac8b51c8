#pragma once

#include "platform/clock.h"

#include <vector>

namespace Movendi::Test {

// A clock that only moves when the code under test waits: a 60-second wait takes no real time.
// Event passes handle what is pending, then move time on by their whole slice.
class ManualClock final : public Platform::Clock
{
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 12, 8), QTime(10, 0)));

    QDateTime now() const override;
    qint64 monotonicMs() const override { return m_elapsed; }
    void sleepMs(qint64 ms) override;
    void processEventsFor(qint64 maxMs) override;

    quint64 callAfter(qint64 ms, std::function<void()> due) override;
    void cancel(quint64 id) override;

    // Moves time on, handling pending events and firing every timer that falls due on the way,
    // each at its own moment.
    void advance(qint64 ms);
    int sleeps() const { return m_sleeps; }
    int eventPasses() const { return m_passes; }

private:
    QDateTime m_start;
    qint64 m_elapsed = 0;
    int m_sleeps = 0;
    int m_passes = 0;
    struct Due
    {
        qint64 at;
        quint64 id;
        std::function<void()> call;
    };
    std::vector<Due> m_due;
    quint64 m_nextId = 1;
    void fireUntil(qint64 until);
};

} // namespace Movendi::Test
