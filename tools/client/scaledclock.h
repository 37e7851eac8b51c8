#pragma once

#include "platform/clock.h"

#include <QElapsedTimer>

#include <map>
#include <memory>

class QTimer;

namespace Movendi::Client {

// Real time running `factor` times faster: the kiosk's minute-long waits take seconds while
// simulators in other processes still answer in real time. For tests with real peers, where a
// manual clock would let every time-out pass before the peer could answer.
class ScaledClock final : public Platform::Clock
{
public:
    explicit ScaledClock(int factor, QDateTime start = QDateTime(QDate(2026, 12, 8), QTime(10, 0)));
    ~ScaledClock() override;

    // Changes the speed from now on; the time already passed is kept.
    void setFactor(int factor);

    QDateTime now() const override;
    qint64 monotonicMs() const override;
    void sleepMs(qint64 ms) override;
    void processEventsFor(qint64 maxMs) override;
    quint64 callAfter(qint64 ms, std::function<void()> due) override;
    void cancel(quint64 id) override;

private:
    int m_factor;
    QDateTime m_start;
    QElapsedTimer m_real;
    qint64 m_offsetMs = 0;
    quint64 m_nextId = 1;
    std::map<quint64, std::unique_ptr<QTimer>> m_timers;
};

} // namespace Movendi::Client
