#include "velmora/Application.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using velmora::FixedStep;

// Frames of given lengths through the fixed-step clock: the updates each one
// runs, and the fraction of a step left after the last.
TEST(FixedStep, RunsOneUpdatePerWholeStepOwedWithinTheCap) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        double rate;
        std::vector<double> frames;
        std::vector<int> updates;
        double fraction;
    } cases[] = {
        {"off: once a frame", 0.0, {0.0, 0.5, 0.001}, {1, 1, 1}, 0.0},
        {"a negative rate is off", -60.0, {0.0, 0.5}, {1, 1}, 0.0},
        {"a rate that is no number is off", nan, {0.0, 0.5}, {1, 1}, 0.0},
        {"frames of a step each", 60.0, {0.0, 1 / 60.0, 1 / 60.0, 1 / 60.0}, {1, 1, 1, 1}, 0.0},
        {"a frame of two steps runs two", 60.0, {0.0, 1 / 30.0}, {1, 2}, 0.0},
        {"half steps alternate", 60.0, {0.0, 1 / 120.0, 1 / 120.0, 1 / 120.0}, {1, 0, 1, 0}, 0.5},
        {"a stall runs the cap and drops the rest", 60.0, {0.0, 1.0 + 0.25 / 60}, {1, 5}, 0.25},
        {"a stall of one step past the cap leaves none", 4.0, {0.0, 1.5}, {1, 5}, 0.0},
        {"a long first frame", 10.0, {0.35}, {3}, 0.5},
        {"time that is none or runs back", 10.0, {0.0, -1.0, nan, 0.05}, {1, 0, 0, 0}, 0.5},
    };
    for (const auto& c : cases) {
        FixedStep clock(c.rate);
        std::vector<int> updates;
        for (const double seconds : c.frames) {
            updates.push_back(clock.advance(seconds));
        }
        EXPECT_EQ(updates, c.updates) << c.what;
        EXPECT_NEAR(clock.fraction(), c.fraction, 1e-6) << c.what;
        EXPECT_DOUBLE_EQ(clock.step(), c.rate > 0 ? 1 / c.rate : 0.0) << c.what;
    }
    FixedStep none(60.0);
    EXPECT_EQ(none.advance(1.0, 0), 0) << "at most maxSteps, on the first frame too";
}
