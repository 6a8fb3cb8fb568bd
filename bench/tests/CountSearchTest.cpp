// The search behind the bunnymark's headline count: against a program whose
// rate falls with the count as a known curve, it must land on the largest
// count that keeps the target, within the tolerance, and never report a
// count it did not measure at or above the target.
#include "CountSearch.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// Runs the search against `rateOf`; the counts it probed, in order.
std::vector<int> runSearch(CountSearch& search, const std::function<double(int)>& rateOf) {
    std::vector<int> probed;
    while (!search.done() && probed.size() < 100) {
        probed.push_back(search.nextCount());
        search.record(rateOf(search.nextCount()));
    }
    return probed;
}

// 60 frames/s at exactly `limit` sprites, slower beyond.
std::function<double(int)> fallsPast(int limit) {
    return [limit](int count) { return 60.0 * limit / count; };
}

TEST(CountSearch, DoublesThenBisectsToTheLargestCountWithinTheTolerance) {
    CountSearch search(100, 60.0, 0.05);
    const std::vector<int> probed = runSearch(search, fallsPast(1000));
    ASSERT_GE(probed.size(), 5u);
    EXPECT_EQ(std::vector<int>(probed.begin(), probed.begin() + 5),
              (std::vector<int>{100, 200, 400, 800, 1600}));
    EXPECT_LE(search.result(), 1000);
    EXPECT_GE(search.result(), 1000 / 1.05);
    // Each bisection probe lies strictly inside the bracket of 800 and 1600.
    for (std::size_t i = 5; i < probed.size(); ++i) {
        EXPECT_GT(probed[i], 800);
        EXPECT_LT(probed[i], 1600);
    }
}

TEST(CountSearch, HalvesAStartThatIsAlreadyTooSlowAndReportsZeroWhenNothingKeepsUp) {
    CountSearch slowStart(1000, 60.0, 0.05);
    runSearch(slowStart, fallsPast(130));
    EXPECT_LE(slowStart.result(), 130);
    EXPECT_GE(slowStart.result(), 130 / 1.05);

    CountSearch never(8, 60.0, 0.05);
    const std::vector<int> probed = runSearch(never, [](int) { return 10.0; });
    EXPECT_TRUE(never.done());
    EXPECT_EQ(never.result(), 0);
    EXPECT_EQ(probed.back(), 1);
}

TEST(CountSearch, StopsAtItsCeilingWhenTheRateNeverFalls) {
    CountSearch search(1, 60.0, 0.05);
    runSearch(search, [](int) { return 1000.0; });
    EXPECT_TRUE(search.done());
    EXPECT_EQ(search.result(), CountSearch::kMaxCount);
    // A ceiling of one's own: no count above it is probed.
    CountSearch capped(3, 60.0, 0.05, 10);
    EXPECT_EQ(runSearch(capped, [](int) { return 1000.0; }), (std::vector<int>{3, 6, 10}));
    EXPECT_EQ(capped.result(), 10);
}

} // namespace
