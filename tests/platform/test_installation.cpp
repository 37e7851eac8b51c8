#include "manualclock.h"
#include "platform/installation.h"

#include <gtest/gtest.h>

using namespace Movendi::Platform;

namespace {

// Installations nest: each end puts back exactly what its start found, so a fixture's clock
// survives a test's own, and the program's back-end comes back after both.
TEST(InstallationTest, NestedInstallsRestoreInReverseOrder)
{
    Clock *programme = &Movendi::Platform::clock();
    Movendi::Test::ManualClock exterieure;
    Movendi::Test::ManualClock interieure;
    {
        InstalledClock a(&exterieure);
        EXPECT_EQ(&Movendi::Platform::clock(), &exterieure);
        {
            InstalledClock b(&interieure);
            EXPECT_EQ(&Movendi::Platform::clock(), &interieure);
        }
        EXPECT_EQ(&Movendi::Platform::clock(), &exterieure);
    }
    EXPECT_EQ(&Movendi::Platform::clock(), programme);

    // A function seam too: the feed installed inside is gone after, the outer one still fed.
    int exterieur = 0;
    int interieur = 0;
    {
        InstalledWatchdogFeed a([&](qint64) { ++exterieur; });
        {
            InstalledWatchdogFeed b([&](qint64) { ++interieur; });
            watchdogFeed()(0);
        }
        watchdogFeed()(0);
    }
    EXPECT_EQ(interieur, 1);
    EXPECT_EQ(exterieur, 1);
    EXPECT_FALSE(watchdogFeed());
}

} // namespace
