// The kiosk's side of the service manager's notification protocol, on the manual clock: the
// manager binds a datagram socket, names it in NOTIFY_SOCKET and gives a watchdog interval in
// WATCHDOG_USEC (for the process WATCHDOG_PID names, when set).
#include "manualclock.h"
#include "notificationsocket.h"
#include "platform/installation.h"
#include "platform/seams.h"
#include "platform/servicenotifier.h"
#include "platform/watchdog.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace Movendi;
using Movendi::Test::NotificationSocket;

namespace {

enum class WatchdogPid { Unset, Ours, Another };

struct Case
{
    const char *what;
    const char *variable; // naming the socket
    NotificationSocket::Kind kind;
    const char *watchdogUsec; // null: unset
    WatchdogPid pid;
    int pingsPerSecond;
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.what;
}

class ServiceNotifierTest : public ::testing::TestWithParam<Case>
{
protected:
    Movendi::Test::ManualClock m_clock;
    const Platform::InstalledClock m_installee{&m_clock};
};

TEST_P(ServiceNotifierTest, ReadyThenPingsAtHalfTheWatchdogIntervalUntilStopping)
{
    const Case &c = GetParam();
    NotificationSocket manager(c.kind);
    ASSERT_TRUE(manager.isBound());
    QProcessEnvironment environment;
    environment.insert(QLatin1String(c.variable), manager.name());
    if (c.watchdogUsec)
        environment.insert(QStringLiteral("WATCHDOG_USEC"), QString::fromLatin1(c.watchdogUsec));
    if (c.pid != WatchdogPid::Unset)
        environment.insert(QStringLiteral("WATCHDOG_PID"),
                           QString::number(c.pid == WatchdogPid::Ours ? ::getpid() : ::getppid()));

    Platform::ServiceNotifier notifier(environment);
    ASSERT_TRUE(notifier.enabled());
    m_clock.advance(1000);
    EXPECT_TRUE(manager.drain().isEmpty()) << "nothing before the kiosk is ready";

    notifier.notifyReady();
    m_clock.advance(1000);
    QByteArrayList expected{"READY=1"};
    for (int i = 0; i < c.pingsPerSecond; ++i)
        expected << "WATCHDOG=1";
    EXPECT_EQ(manager.drain(), expected);

    notifier.notifyStopping();
    m_clock.advance(1000);
    EXPECT_EQ(manager.drain(), QByteArrayList{"STOPPING=1"});
}

INSTANTIATE_TEST_SUITE_P(
    Environments, ServiceNotifierTest,
    ::testing::Values(Case{"PathAndWatchdog", "NOTIFY_SOCKET", NotificationSocket::Kind::Path,
                           "400000", WatchdogPid::Unset, 5},
                      Case{"AbstractAndWatchdogForThisProcess", "NOTIFY_SOCKET",
                           NotificationSocket::Kind::Abstract, "400000", WatchdogPid::Ours, 5},
                      Case{"SessionRelay", Platform::SessionNotifySocketVariable,
                           NotificationSocket::Kind::Abstract, "400000", WatchdogPid::Unset, 5},
                      Case{"WatchdogForAnotherProcess", "NOTIFY_SOCKET",
                           NotificationSocket::Kind::Abstract, "400000", WatchdogPid::Another, 0},
                      Case{"NoWatchdog", "NOTIFY_SOCKET", NotificationSocket::Kind::Path, nullptr,
                           WatchdogPid::Unset, 0},
                      Case{"MalformedWatchdog", "NOTIFY_SOCKET", NotificationSocket::Kind::Path,
                           "30s", WatchdogPid::Unset, 0}),
    [](const ::testing::TestParamInfo<Case> &parameter) {
        return std::string(parameter.param.what);
    });

TEST_F(ServiceNotifierTest, WaitsWithoutEventsStillPingAndALongStartUpExtendsItsTimeOut)
{
    NotificationSocket manager(NotificationSocket::Kind::Path);
    ASSERT_TRUE(manager.isBound());
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), manager.name());
    environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("400000"));
    Platform::ServiceNotifier notifier(environment);

    // A start-up that settles a sale for a minute and a half without handling events.
    Platform::sleepFed(95000);
    const QByteArray extension = "EXTEND_TIMEOUT_USEC=90000000";
    EXPECT_EQ(manager.drain(), (QByteArrayList{extension, extension, extension}));

    // Ready: a wait of two seconds without events pings as the timer would, every 200 ms.
    notifier.notifyReady();
    EXPECT_EQ(manager.drain(), QByteArrayList{"READY=1"});
    Platform::sleepFed(2000);
    EXPECT_EQ(manager.drain().count("WATCHDOG=1"), 10);
    // The same wait without the feed is what starved the manager.
    m_clock.sleepMs(2000);
    EXPECT_TRUE(manager.drain().isEmpty());

    notifier.notifyStopping();
    Platform::sleepFed(1000);
    EXPECT_EQ(manager.drain(), QByteArrayList{"STOPPING=1"});
}

TEST(ServiceNotifierEnvironmentTest, NoSocketOrOneOutOfReach_Disabled)
{
    for (const QString &name :
         {QString(), QStringLiteral("vsock:2:1234"), QStringLiteral("relative/notify"),
          QStringLiteral("@"), QLatin1Char('/') + QString(120, QLatin1Char('x'))}) {
        QProcessEnvironment environment;
        if (!name.isNull())
            environment.insert(QStringLiteral("NOTIFY_SOCKET"), name);
        environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("400000"));
        const Platform::ServiceNotifier notifier(environment);
        EXPECT_FALSE(notifier.enabled()) << qPrintable(name);
    }
}

} // namespace
