// The soak's memory verdict rests on the fitted slope and on reading VmRSS
// correctly; a wrong sign, unit or field would pass a leaking game.
#include "MemoryTrend.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(MemoryTrend, SlopeOfAStraightLineIsItsGradientPerMinute) {
    MemoryTrend trend;
    for (int i = 0; i <= 120; ++i) {
        trend.add(i * 0.5, 50000.0 + 2.0 * i * 0.5); // 2 KiB per second
    }
    EXPECT_NEAR(trend.slopeKibPerMinute(0.0), 120.0, 1e-6);
}

TEST(MemoryTrend, WarmUpSamplesAreLeftOut) {
    MemoryTrend trend;
    // Steep growth during start-up, then flat with page-sized jitter.
    for (int i = 0; i < 20; ++i) {
        trend.add(i, 10000.0 + 1000.0 * i);
    }
    for (int i = 20; i <= 600; ++i) {
        trend.add(i, 30000.0 + ((i % 2) != 0 ? 4.0 : 0.0));
    }
    EXPECT_GT(trend.slopeKibPerMinute(0.0), 100.0);
    EXPECT_NEAR(trend.slopeKibPerMinute(20.0), 0.0, 0.1);
    EXPECT_EQ(trend.after(20.0).size(), 581u);
}

TEST(MemoryTrend, ShrinkingMemoryHasANegativeSlope) {
    MemoryTrend trend;
    for (int i = 0; i < 60; ++i) {
        trend.add(i, 40000.0 - i);
    }
    EXPECT_NEAR(trend.slopeKibPerMinute(0.0), -60.0, 1e-6);
}

TEST(MemoryTrend, TooFewSamplesGiveNoSlope) {
    MemoryTrend trend;
    EXPECT_EQ(trend.slopeKibPerMinute(0.0), 0.0);
    trend.add(5.0, 100.0);
    EXPECT_EQ(trend.slopeKibPerMinute(0.0), 0.0);
    trend.add(5.0, 900.0); // no spread in time
    EXPECT_EQ(trend.slopeKibPerMinute(0.0), 0.0);
}

TEST(MemoryTrend, MedianSlopeFollowsASteadyClimb) {
    MemoryTrend trend;
    for (int i = 0; i <= 600; ++i) {
        trend.add(i * 0.5, 60000.0 + 0.5 * i * 0.5); // 30 KiB/min
    }
    EXPECT_NEAR(trend.medianSlopeKibPerMinute(0.0), 30.0, 1e-6);
}

TEST(MemoryTrend, MedianSlopeSeesALeakThatGrowsInWholePages) {
    // One 4 KiB page every 4 s: 60 KiB/min, in steps as RSS really moves.
    MemoryTrend trend;
    for (int i = 0; i <= 1200; ++i) {
        const double t = i * 0.5;
        trend.add(t, 60000.0 + 4.0 * static_cast<int>(t / 4.0));
    }
    EXPECT_NEAR(trend.medianSlopeKibPerMinute(0.0), 60.0, 6.0);
    EXPECT_NEAR(trend.slopeKibPerMinute(0.0), 60.0, 6.0);
}

TEST(MemoryTrend, OneTimeStepPullsTheLineButNotTheMedianSlope) {
    // Flat, then a driver pool grows by 1 MiB once, half-way through 9 min.
    MemoryTrend trend;
    for (int i = 0; i <= 1080; ++i) {
        const double t = 60.0 + i * 0.5;
        trend.add(t, t < 330.0 ? 137000.0 : 138024.0);
    }
    EXPECT_GT(trend.slopeKibPerMinute(60.0), 100.0);
    EXPECT_NEAR(trend.medianSlopeKibPerMinute(60.0), 0.0, 1e-9);
}

TEST(MemoryTrend, ALevelThatTogglesIsNoClimbButALeakUnderItIs) {
    // 56 KiB trimmed and grown again every 6 s, with and without a leak of
    // one 4 KiB page every 2 s (120 KiB/min) beneath it.
    for (const double leak : {0.0, 120.0}) {
        MemoryTrend trend;
        for (int i = 0; i <= 80; ++i) {
            const double t = 20.0 + i * 0.5;
            const double high = static_cast<int>(t / 6.0) % 2 == 1 ? 56.0 : 0.0;
            trend.add(t, 135400.0 + high + 4.0 * static_cast<int>(t * leak / 240.0));
        }
        // Whole pages over a lag of 6.5 s: off by up to a page a lag, a quarter here.
        EXPECT_NEAR(trend.medianSlopeKibPerMinute(20.0), leak, leak * 0.25 + 1.0) << leak;
    }
}

TEST(MemoryTrend, TwoStepsAnywhereStillLeaveTheMedianFlat) {
    for (double first : {70.0, 200.0, 330.0, 500.0}) {
        MemoryTrend trend;
        for (int i = 0; i <= 1080; ++i) {
            const double t = 60.0 + i * 0.5;
            trend.add(t, 137000.0 + (t >= first ? 1024.0 : 0.0) + (t >= 560.0 ? 1024.0 : 0.0));
        }
        EXPECT_NEAR(trend.medianSlopeKibPerMinute(60.0), 0.0, 1e-9) << "first step at " << first;
    }
}

TEST(MemoryTrend, ShrinkingAndTooShortSeriesAreFlatOrNegative) {
    MemoryTrend trend;
    for (int i = 0; i < 600; ++i) {
        trend.add(i, 1000.0 - i * 0.25); // shrinking by 15 KiB/min
    }
    EXPECT_NEAR(trend.medianSlopeKibPerMinute(0.0), -15.0, 1e-6);
    EXPECT_EQ(MemoryTrend().medianSlopeKibPerMinute(0.0), 0.0);
    MemoryTrend one;
    one.add(3.0, 500.0);
    EXPECT_EQ(one.medianSlopeKibPerMinute(0.0), 0.0);
}

TEST(MemoryTrend, ReadsKibFieldsOfAStatusText) {
    const std::string status = "Name:\tvelmora\nVmPeak:\t  300000 kB\nVmHWM:\t   81234 kB\n"
                               "VmRSS:\t   80000 kB\nThreads:\t5\n";
    EXPECT_EQ(statusFieldKib(status, "VmRSS"), 80000);
    EXPECT_EQ(statusFieldKib(status, "VmHWM"), 81234);
    EXPECT_EQ(statusFieldKib(status, "VmSwap"), -1);
    // A field name that is a prefix of another must not match it.
    EXPECT_EQ(statusFieldKib(status, "Vm"), -1);
}

TEST(MemoryTrend, ReadsThisProcesssResidentMemory) {
    const long rss = readStatusKib("VmRSS");
    EXPECT_GT(rss, 0);
    EXPECT_GE(readStatusKib("VmHWM"), rss);
    EXPECT_EQ(readStatusKib("VmRSS", "/nonexistent/status"), -1);
}

} // namespace
