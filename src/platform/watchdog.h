#pragma once

#include <QtGlobal>

#include <functional>

namespace Movendi::Platform {

// Waits that may not handle events (the terminal's hand-over and block reads, timed sleeps, the
// store's busy time-out) still tell the service manager that the kiosk is alive, as long as
// they wait for a bounded reason. The service notifier installs the feed; without one, feeding
// does nothing.
//
// A feed receives how long the caller may block right after it (0 for a wait in short slices):
// it pings when the last ping is old enough that the next one could otherwise come too late.
using WatchdogFeed = std::function<void(qint64 blockAheadMs)>;
WatchdogFeed watchdogFeed();
void installWatchdogFeed(WatchdogFeed feed);
void feedWatchdog(qint64 blockAheadMs = 0);

// Sleeps on the installed clock without handling any event, feeding the watchdog between
// slices of a tenth of a second.
void sleepFed(qint64 ms);

} // namespace Movendi::Platform
