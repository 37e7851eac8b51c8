#include "platform/watchdog.h"

#include "platform/clock.h"
#include "platform/seams.h"

namespace Movendi::Platform {

namespace {

// Below any watchdog interval a service manager gives in practice.
constexpr qint64 SliceMs = 100;

WatchdogFeed &installed()
{
    static WatchdogFeed feed;
    return feed;
}

} // namespace

WatchdogFeed watchdogFeed()
{
    return installed();
}

void installWatchdogFeed(WatchdogFeed feed)
{
    installed() = std::move(feed);
}

void feedWatchdog(qint64 blockAheadMs)
{
    if (const WatchdogFeed &feed = installed())
        feed(blockAheadMs);
}

void sleepFed(qint64 ms)
{
    Clock &c = clock();
    const qint64 start = c.monotonicMs();
    for (qint64 left = ms; left > 0; left = ms - (c.monotonicMs() - start)) {
        feedWatchdog();
        c.sleepMs(qMin(left, SliceMs));
    }
    feedWatchdog();
}

} // namespace Movendi::Platform
