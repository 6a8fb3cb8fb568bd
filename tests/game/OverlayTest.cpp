// The overlay's own behaviour: which key events toggle it, and how the
// application's frame timing turns frame times into the numbers it shows.
#include "velmora/Application.h"
#include "game/Game.h"
#include "game/Overlay.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace velmora;

namespace {

TEST(OverlayKeys, OnlyAPressOfF3TogglesIt) {
    Overlay overlay;
    EXPECT_FALSE(overlay.visible) << "off at start";
    // One event at a time: a pair of non-presses that both toggled would
    // cancel out.
    for (const auto& event :
         {std::make_pair(GLFW_RELEASE, GLFW_KEY_F3), std::make_pair(GLFW_REPEAT, GLFW_KEY_F3),
          std::make_pair(GLFW_PRESS, GLFW_KEY_SPACE), std::make_pair(GLFW_PRESS, GLFW_KEY_F2)}) {
        overlay.onKey(event.first, event.second);
        EXPECT_FALSE(overlay.visible) << "action " << event.first << " key " << event.second;
    }
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
    FrameTimer frames;
    // Binary fractions of a second, so that the windows close exactly.
    double now = 3.0;
    frames.tick(now);
    // 0.25 s at 64 frames/s, then 0.25 s at 32: the first window closes
    // after 16 + 8 frames.
    for (int i = 0; i < 16; ++i) {
        frames.tick(now += 1.0 / 64);
    }
    EXPECT_DOUBLE_EQ(frames.framesPerSecond(), 0.0) << "no window has closed yet";
    for (int i = 0; i < 8; ++i) {
        frames.tick(now += 1.0 / 32);
    }
    EXPECT_DOUBLE_EQ(frames.framesPerSecond(), 48.0);
    EXPECT_DOUBLE_EQ(frames.lastFrameSeconds(), 1.0 / 32);
    // A slow frame of 0.8 s closes the next window late, after 0.25 + 0.8 s:
    // its 9 frames are divided by that, not by the nominal half second.
    for (int i = 0; i < 8; ++i) {
        frames.tick(now += 1.0 / 32);
    }
    frames.tick(now += 0.8);
    EXPECT_NEAR(frames.framesPerSecond(), 9 / 1.05, 1e-9);
    EXPECT_NEAR(frames.lastFrameSeconds(), 0.8, 1e-9);
    for (int i = 0; i < 32; ++i) {
        frames.tick(now += 1.0 / 64);
    }
    EXPECT_DOUBLE_EQ(frames.framesPerSecond(), 64.0);

    Score score;
    score.record(true);
    score.record(true);
    score.record(false);
    score.record(true);
    char text[160];
    const std::size_t length = overlay.format(score, frames, text, sizeof text);
    EXPECT_EQ(std::string(text, length),
              "64.0 fps  15.6 ms\nattempts 4  hits 3  misses 1\nstreak 1  best 2");
    char tiny[8];
    EXPECT_EQ(overlay.format(score, frames, tiny, sizeof tiny), 7u);
    EXPECT_EQ(std::string(tiny), "64.0 fp");
}

} // namespace
