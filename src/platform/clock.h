#pragma once

#include <QDateTime>

#include <functional>
#include <map>
#include <memory>

class QTimer;

namespace Movendi::Platform {

/// Source of time for every wait, time-out and timer of the kiosk.
/// Implementations must be usable from the UI thread only; the installed clock lives until it is
/// replaced (see seams.h).
class Clock
{
public:
    virtual ~Clock() = default;

    /// Local wall-clock time, for records and the nightly window.
    virtual QDateTime now() const = 0;
    /// Monotonic milliseconds, for measuring waits; unaffected by changes of the wall clock.
    virtual qint64 monotonicMs() const = 0;
    /// Blocks the thread for ms milliseconds without handling any event.
    virtual void sleepMs(qint64 ms) = 0;
    /// The same for short device settling times; a clock without finer steps waits whole
    /// milliseconds, never less than asked.
    virtual void sleepUs(qint64 us) { sleepMs((us + 999) / 1000); }
    /// One pass of event handling: handles what is pending, waits at most maxMs for more.
    virtual void processEventsFor(qint64 maxMs) = 0;
    /// Calls `due` on the UI thread once ms milliseconds of this clock have passed, from the
    /// event loop (never from inside sleepMs). Returns an id for cancel().
    virtual quint64 callAfter(qint64 ms, std::function<void()> due) = 0;
    virtual void cancel(quint64 id) = 0;
};

// The real clock: sleeps in the kernel and waits for events without spinning.
class SystemClock final : public Clock
{
public:
    SystemClock();
    ~SystemClock() override;
    QDateTime now() const override;
    qint64 monotonicMs() const override;
    void sleepMs(qint64 ms) override;
    void sleepUs(qint64 us) override;
    void processEventsFor(qint64 maxMs) override;
    quint64 callAfter(qint64 ms, std::function<void()> due) override;
    void cancel(quint64 id) override;

private:
    qint64 m_origin;
    quint64 m_nextId = 1;
    std::map<quint64, std::unique_ptr<QTimer>> m_timers;
};

} // namespace Movendi::Platform
