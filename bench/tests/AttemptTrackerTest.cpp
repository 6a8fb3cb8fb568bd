// The soak's verdict on attempts: it must count an attempt from the press that
// leaves aiming to the frame that is back in aiming, and must flag each way the
// game can get stuck or misjudge a press, or the soak would pass a broken game.
#include "AttemptTracker.h"

#include <gtest/gtest.h>

namespace {

// Frames every 10 ms from `from` to `to`, all in the same state.
void frames(AttemptTracker& tracker, double from, double to, bool aiming) {
    for (double t = from; t < to; t += 0.01) {
        tracker.observe(t, aiming);
    }
}

TEST(AttemptTracker, CountsAnAttemptFromItsPressBackToAiming) {
    AttemptTracker tracker(10.0);
    frames(tracker, 0.0, 1.0, true);
    tracker.press(1.0, true);
    tracker.observe(1.0, false);
    frames(tracker, 1.01, 3.5, false);
    tracker.observe(3.5, true);
    EXPECT_EQ(tracker.presses, 1u);
    EXPECT_EQ(tracker.pressesAiming, 1u);
    EXPECT_EQ(tracker.started, 1u);
    EXPECT_EQ(tracker.finished, 1u);
    EXPECT_NEAR(tracker.longest, 2.5, 1e-9);
    EXPECT_FALSE(tracker.inAttempt);
    EXPECT_TRUE(tracker.healthy());
}

TEST(AttemptTracker, PressesDuringAnAttemptAreNotAttempts) {
    AttemptTracker tracker(10.0);
    tracker.observe(0.0, true);
    tracker.press(0.5, true);
    tracker.observe(0.5, false);
    tracker.press(1.0, false); // the game ignores it, and so must the count
    tracker.observe(1.0, false);
    tracker.observe(2.0, true);
    EXPECT_EQ(tracker.presses, 2u);
    EXPECT_EQ(tracker.started, 1u);
    EXPECT_EQ(tracker.finished, 1u);
    EXPECT_TRUE(tracker.healthy());
}

TEST(AttemptTracker, AnAttemptEndingInTheFrameOfTheNextPressIsCountedAsEnded) {
    AttemptTracker tracker(10.0);
    tracker.observe(0.0, true);
    tracker.press(1.0, true);
    tracker.observe(1.0, false);
    tracker.observe(3.0, false);
    // The game is back in aiming at 4.0, and the same frame's press leaves it
    // at once: the frame's end never shows aiming.
    tracker.press(4.0, true);
    tracker.observe(4.0, false);
    tracker.observe(6.5, true);
    EXPECT_EQ(tracker.started, 2u);
    EXPECT_EQ(tracker.finished, 2u);
    EXPECT_NEAR(tracker.longest, 3.0, 1e-9);
    EXPECT_FALSE(tracker.inAttempt);
    EXPECT_TRUE(tracker.healthy());
}

TEST(AttemptTracker, AnAttemptThatNeverComesBackIsOverdueOnce) {
    AttemptTracker tracker(10.0);
    tracker.observe(0.0, true);
    tracker.press(1.0, true);
    frames(tracker, 1.0, 30.0, false);
    EXPECT_EQ(tracker.overdue, 1u);
    EXPECT_TRUE(tracker.inAttempt);
    EXPECT_FALSE(tracker.healthy());
    // Coming back late does not count it a second time.
    tracker.observe(30.0, true);
    EXPECT_EQ(tracker.overdue, 1u);
    EXPECT_EQ(tracker.finished, 1u);
}

TEST(AttemptTracker, AnAttemptJustInsideTheDeadlineIsFine) {
    AttemptTracker tracker(10.0);
    tracker.observe(0.0, true);
    tracker.press(1.0, true);
    frames(tracker, 1.0, 10.99, false);
    tracker.observe(10.995, true);
    EXPECT_EQ(tracker.overdue, 0u);
    EXPECT_TRUE(tracker.healthy());
}

TEST(AttemptTracker, APressWhileAimingThatChangesNothingIsFlagged) {
    AttemptTracker tracker(10.0);
    tracker.observe(0.0, true);
    tracker.press(1.0, true);
    tracker.observe(1.0, true);
    EXPECT_EQ(tracker.ignored, 1u);
    EXPECT_EQ(tracker.started, 0u);
    EXPECT_FALSE(tracker.healthy());
}

TEST(AttemptTracker, LeavingAimingWithoutAPressIsFlagged) {
    AttemptTracker tracker(10.0);
    frames(tracker, 0.0, 1.0, true);
    tracker.observe(1.0, false);
    EXPECT_EQ(tracker.started, 1u);
    EXPECT_EQ(tracker.unprompted, 1u);
    EXPECT_FALSE(tracker.healthy());
}

TEST(AttemptTracker, AnAttemptStartedByTheVeryFirstFramesPressCounts) {
    AttemptTracker tracker(10.0);
    tracker.press(0.3, true); // before any frame was observed
    tracker.observe(0.3, false);
    tracker.observe(3.0, true);
    EXPECT_EQ(tracker.started, 1u);
    EXPECT_EQ(tracker.finished, 1u);
    EXPECT_TRUE(tracker.healthy());
}

} // namespace
