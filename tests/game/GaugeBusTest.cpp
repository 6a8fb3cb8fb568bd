// The gauge's swing and the bus's straight-line drive, on a clock the test
// sets, through the scene's per-frame update where the game runs them.
#include "velmora/Application.h"
#include "game/Bus.h"
#include "game/Gauge.h"
#include "game/Scene.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace velmora;

namespace {

void frameAt(double time) {
    Application::instance().time = time;
    scene.update();
}

TEST(Gauge, ValueSwingsAroundTheMiddleOfTheDial) {
    Gauge& gauge = Gauge::instance();
    const struct {
        double phase;
        float value;
    } expected[] = {{0.0, 0.5f}, {0.25, 1.0f}, {0.5, 0.5f}, {0.75, 0.0f}, {0.125, 0.85355339f}};
    for (const auto& point : expected) {
        gauge.phase = point.phase;
        EXPECT_NEAR(gauge.value(), point.value, 1e-6) << "phase " << point.phase;
    }
}

TEST(Gauge, OneFullSwingTakesOneSecond) {
    Gauge& gauge = Gauge::instance();
    float highest = 0.5f;
    float lowest = 0.5f;
    double timeOfHighest = 0.0;
    double timeOfLowest = 0.0;
    for (int frame = 1; frame < 60; ++frame) {
        const double t = frame / 60.0;
        frameAt(t);
        if (gauge.value() > highest) {
            highest = gauge.value();
            timeOfHighest = t;
        }
        if (gauge.value() < lowest) {
            lowest = gauge.value();
            timeOfLowest = t;
        }
    }
    EXPECT_NEAR(highest, 1.0f, 1e-4);
    EXPECT_NEAR(timeOfHighest, 0.25, 1e-9);
    EXPECT_NEAR(lowest, 0.0f, 1e-4);
    EXPECT_NEAR(timeOfLowest, 0.75, 1e-9);
    EXPECT_NEAR(gauge.phase, 59 / 60.0, 1e-5);

    frameAt(1.0);
    EXPECT_EQ(gauge.phase, 0.0) << "back in the middle after one second";
}

TEST(Gauge, AStepPastTheEndOfASwingStartsOverWithoutTheExcess) {
    Gauge& gauge = Gauge::instance();
    gauge.phase = 0.9;
    gauge.lastTime = 20.0;
    gauge.update(20.25);
    EXPECT_EQ(gauge.phase, 0.0) << "0.15 past the end is dropped";

    gauge.phase = 0.75;
    gauge.update(20.5); // lands exactly on 1.0
    EXPECT_EQ(gauge.phase, 0.0);

    gauge.phase = 0.5;
    gauge.update(20.9990234375); // just short of the end
    EXPECT_NEAR(gauge.phase, 0.9990234375, 1e-7);
}

TEST(Gauge, AFirstFrameAtLeastASecondAfterTheClockStartedResetsThePhase) {
    frameAt(1.0);
    EXPECT_EQ(Gauge::instance().phase, 0.0);
    frameAt(1.25);
    EXPECT_NEAR(Gauge::instance().phase, 0.25, 1e-7);
}

TEST(Gauge, AFirstFrameWithinTheFirstSecondKeepsItsStep) {
    frameAt(0.625);
    EXPECT_NEAR(Gauge::instance().phase, 0.625, 1e-7);
}

TEST(Gauge, StandsStillWhileFrozenAndResumesWhereItStopped) {
    Gauge& gauge = Gauge::instance();
    frameAt(12.0);
    frameAt(12.3);
    const double stopped = gauge.phase;
    gauge.frozen = true;
    for (double t = 12.4; t < 15.0; t += 0.1) {
        frameAt(t);
        ASSERT_EQ(gauge.phase, stopped);
    }
    gauge.frozen = false;
    const double resumeFrom = Gauge::instance().lastTime;
    frameAt(resumeFrom + 0.125);
    EXPECT_NEAR(gauge.phase, stopped + 0.125, 1e-6) << "no jump for the frozen time";
}

TEST(Gauge, TheRulesRunOnASinglePrecisionCopyOfTheClock) {
    frameAt(100.0);
    const double phase = Gauge::instance().phase;
    // A millionth of a second is below a float's resolution at 100 s.
    frameAt(100.000001);
    EXPECT_EQ(Gauge::instance().phase, phase);
    EXPECT_EQ(scene.lastTime, 100.0);
    frameAt(100.25);
    EXPECT_NEAR(Gauge::instance().phase, phase + 0.25, 1e-6);
}

TEST(Bus, DrivesFromItsStartPointAlongALineThatGoesOnPastTheEnd) {
    Bus& bus = Bus::instance();
    EXPECT_FLOAT_EQ(bus.x, 0.33f);
    EXPECT_FLOAT_EQ(bus.y, 0.05f);
    EXPECT_EQ(bus.progress, 0.0f);

    bus.update(1.0f);
    EXPECT_FLOAT_EQ(bus.progress, 0.5f);
    EXPECT_FLOAT_EQ(bus.x, 0.04f);
    EXPECT_FLOAT_EQ(bus.y, 0.025f);
    bus.update(1.0f);
    EXPECT_FLOAT_EQ(bus.x, -0.25f);
    EXPECT_FLOAT_EQ(bus.y, 0.0f);
    bus.update(2.0f);
    EXPECT_FLOAT_EQ(bus.progress, 2.0f) << "never clamped";
    EXPECT_FLOAT_EQ(bus.x, -0.83f);
    EXPECT_FLOAT_EQ(bus.y, -0.05f);

    bus.reset();
    EXPECT_EQ(bus.progress, 0.0f);
    EXPECT_EQ(bus.x, 0.33f);
    EXPECT_EQ(bus.y, 0.05f);
}

} // namespace
