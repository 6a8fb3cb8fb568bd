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
