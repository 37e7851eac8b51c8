#include "platform/clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <ctime>

using namespace Movendi::Platform;

namespace {

double processCpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

TEST(SystemClockTest, Sleep_HandlesNoEventAndUsesNoProcessor)
{
    SystemClock clock;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    clock.sleepMs(200);
    EXPECT_GE(wall.elapsed(), 195);
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.05);
    EXPECT_FALSE(ran);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
}

TEST(SystemClockTest, ProcessEventsFor_ReturnsOnAnEventOrAtTheSliceEnd)
{
    SystemClock clock;
    QCoreApplication::processEvents(); // what start-up left pending
    QElapsedTimer wall;
    wall.start();
    clock.processEventsFor(50);
    EXPECT_GE(wall.elapsed(), 45);
    EXPECT_LT(wall.elapsed(), 1000);

    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    wall.restart();
    clock.processEventsFor(5000);
    EXPECT_TRUE(ran);
    EXPECT_LT(wall.elapsed(), 1000);
}

} // namespace
