#pragma once

#include <QDateTime>

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
    /// One pass of event handling: handles what is pending, waits at most maxMs for more.
    virtual void processEventsFor(qint64 maxMs) = 0;
};

// The real clock: sleeps in the kernel and waits for events without spinning.
class SystemClock final : public Clock
{
public:
    SystemClock();
    QDateTime now() const override;
    qint64 monotonicMs() const override;
    void sleepMs(qint64 ms) override;
    void processEventsFor(qint64 maxMs) override;

private:
    qint64 m_origin;
};

} // namespace Movendi::Platform
