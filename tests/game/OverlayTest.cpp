// The overlay's own behaviour: which key events toggle it and how it turns
// frame times into the numbers it shows.
#include "game/Game.h"
#include "game/Overlay.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(OverlayKeys, OnlyAPressOfF3TogglesIt) {
    Overlay overlay;
    EXPECT_FALSE(overlay.visible) << "off at start";
    overlay.onKey(GLFW_RELEASE, GLFW_KEY_F3);
    overlay.onKey(GLFW_REPEAT, GLFW_KEY_F3);
    overlay.onKey(GLFW_PRESS, GLFW_KEY_SPACE);
    overlay.onKey(GLFW_PRESS, GLFW_KEY_F2);
    EXPECT_FALSE(overlay.visible);
    overlay.onKey(GLFW_PRESS, GLFW_KEY_F3);
    EXPECT_TRUE(overlay.visible);
    overlay.onKey(GLFW_REPEAT, GLFW_KEY_F3); // held down: stays on
    overlay.onKey(GLFW_RELEASE, GLFW_KEY_F3);
    EXPECT_TRUE(overlay.visible);
    overlay.onKey(GLFW_PRESS, GLFW_KEY_F3);
    EXPECT_FALSE(overlay.visible);
}

TEST(OverlayClock, TheRateIsAveragedOverHalfSecondWindowsAndTheFrameTimeIsTheLastFrames) {
    Overlay overlay;
    // Binary fractions of a second, so that the windows close exactly.
    double now = 3.0;
    overlay.tick(now);
    // 0.25 s at 64 frames/s, then 0.25 s at 32: the first window closes
    // after 16 + 8 frames.
    for (int i = 0; i < 16; ++i) {
        overlay.tick(now += 1.0 / 64);
    }
    EXPECT_DOUBLE_EQ(overlay.framesPerSecond, 0.0) << "no window has closed yet";
    for (int i = 0; i < 8; ++i) {
        overlay.tick(now += 1.0 / 32);
    }
    EXPECT_DOUBLE_EQ(overlay.framesPerSecond, 48.0);
    EXPECT_DOUBLE_EQ(overlay.lastFrameSeconds, 1.0 / 32);
    for (int i = 0; i < 32; ++i) {
        overlay.tick(now += 1.0 / 64);
    }
    EXPECT_DOUBLE_EQ(overlay.framesPerSecond, 64.0);

    Score score;
    score.record(true);
    score.record(true);
    score.record(false);
    score.record(true);
    char text[160];
    const std::size_t length = overlay.format(score, text, sizeof text);
    EXPECT_EQ(std::string(text, length),
              "64.0 fps  15.6 ms\nattempts 4  hits 3  misses 1\nstreak 1  best 2");
    char tiny[8];
    EXPECT_EQ(overlay.format(score, tiny, sizeof tiny), 7u);
    EXPECT_EQ(std::string(tiny), "64.0 fp");
}

} // namespace
