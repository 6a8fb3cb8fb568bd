// The real game on the desktops players have: Wayland (a headless sway), a
// HiDPI output scaled 2×, a tiling compositor that gives the window the whole
// output, and an X11 window resized after it opened. Each is checked on the
// picture read back from the screen.
#include "support/Game.h"
#include "support/GlContext.h"
#include "support/PrivateXServer.h"
#include "support/Process.h"
#include "support/Screenshot.h"
#include "support/GameOutput.h"
#include "support/WaylandSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using testsupport::Screenshot;
using testsupport::waitUntil;
using testsupport::WaylandSession;

namespace {

// Stands for "the picture is drawn here": the edges of the game's pictures are
// at least twice as bright on average, and the bars are exactly black.
constexpr double kDrawnBrightness = 10.0;

double brightness(const Screenshot& shot, int x, int y, int w, int h) {
    const auto rgb = shot.mean(x, y, w, h);
    return (rgb[0] + rgb[1] + rgb[2]) / 3.0;
}

#define VELMORA_REQUIRE_SWAY(session)                                                              \
    do {                                                                                           \
        if (!(session).failure().empty()) {                                                        \
            if (::testsupport::runningInCi() || std::system("command -v sway >/dev/null") == 0) {  \
                FAIL() << (session).failure();                                                     \
            }                                                                                      \
            GTEST_SKIP() << "sway is not installed";                                               \
        }                                                                                          \
    } while (0)

// Starts the game and reads the whole output back once its clock has passed
// `seconds`. The first title picture is drawn from the first frame, but a
// compositor under load may show the window's first buffers a little late,
// so the picture is read from 2 s on; from 6 s every picture has the sky
// across its top.
Screenshot outputAfter(WaylandSession& session, double seconds) {
    auto game = session.startGame();
    if (!waitUntil(30, [&] { return session.titleClock() > seconds; })) {
        ADD_FAILURE() << "the game's clock did not pass " << seconds << " s\n"
                      << game->standardError();
        return {};
    }
    return session.capture();
}

TEST(Wayland, TheGameRunsAndClosesWithTheWindow) {
    WaylandSession session(1024, 768, 1);
    VELMORA_REQUIRE_SWAY(session);
    auto game = session.startGame();
    ASSERT_TRUE(game->started());
    double first = -1.0;
    ASSERT_TRUE(waitUntil(30, [&] { return (first = session.titleClock()) > 0.0; }))
        << game->standardError();
    ASSERT_TRUE(waitUntil(30, [&] { return session.titleClock() > first + 0.2; }));

    // The headless seat has no keyboard: the compositor closes the window.
    EXPECT_TRUE(session.swaymsg("'[title=\"^Time: \"] kill'"));
    const auto status = game->waitFor(30);
    ASSERT_TRUE(status.has_value()) << "the game did not end when its window was closed";
    EXPECT_EQ(*status, 0) << game->standardError();
    EXPECT_EQ(game->standardError().find("Failed to initialize GLEW"), std::string::npos);
    // Shown quoted on failure, so that a line the filter missed is plain to see.
    EXPECT_EQ(testsupport::gameLines(game->standardError()), std::vector<std::string>{});
}

TEST(Wayland, AtScaleTwoThePictureFillsTheWindow) {
    // 1024×768 in the compositor's units, 2048×1536 framebuffer pixels.
    WaylandSession session(2048, 1536, 2);
    VELMORA_REQUIRE_SWAY(session);
    const Screenshot shot = outputAfter(session, 6.0);
    ASSERT_EQ(shot.width, 2048);
    ASSERT_EQ(shot.height, 1536);
    // The top-right quarter holds sky: blue, not the black of an undrawn area.
    const auto sky = shot.mean(1024, 0, 1024, 768);
    EXPECT_GT(sky[2], 150.0) << "mean RGB " << sky[0] << " " << sky[1] << " " << sky[2];
    EXPECT_GT(sky[2], sky[0]);
    EXPECT_GT(brightness(shot, 2040, 0, 8, 1536), kDrawnBrightness) << "right edge undrawn";
}

TEST(Wayland, ATiledWindowOfTheWholeOutputIsLetterboxed) {
    WaylandSession session(1280, 1024, 1);
    VELMORA_REQUIRE_SWAY(session);
    const Screenshot shot = outputAfter(session, 2.0);
    ASSERT_EQ(shot.width, 1280);
    ASSERT_EQ(shot.height, 1024);
    // The 4:3 picture is (0, 32, 1280, 960): bars of 32 rows above and below.
    EXPECT_EQ(shot.brightest(0, 0, 1280, 32), 0) << "top bar";
    EXPECT_EQ(shot.brightest(0, 992, 1280, 32), 0) << "bottom bar";
    EXPECT_GT(brightness(shot, 0, 32, 1280, 4), kDrawnBrightness) << "first picture rows";
    EXPECT_GT(brightness(shot, 0, 988, 1280, 4), kDrawnBrightness) << "last picture rows";
    EXPECT_GT(brightness(shot, 1276, 32, 4, 960), kDrawnBrightness) << "right picture columns";
}

TEST(X11, AWindowResizedTo1920By1080GetsBarsLeftAndRight) {
    // The shared test screen is smaller than the window; this one fits it.
    testsupport::PrivateXServer server(1920, 1080);
    ASSERT_FALSE(server.display().empty());
    setenv("DISPLAY", server.display().c_str(), 1);
    testsupport::ProcessOptions options;
    options.workingDirectory = VELMORA_SOURCE_DIR;
    auto game = testsupport::startGame({VELMORA_GAME_EXE, "windowed"}, options);
    const std::string window = testsupport::windowOf(*game);
    ASSERT_FALSE(window.empty()) << game->standardError();
    ASSERT_TRUE(waitUntil(30, [&] { return testsupport::titleClock(window) > 1.0; }));

    testsupport::xdotool("windowsize " + window + " 1920 1080");
    // (240, 0, 1440, 1080): 240 black columns on each side of the picture.
    Screenshot shot;
    const auto barsShown = [&] {
        shot = testsupport::captureWindow(window);
        return shot.width == 1920 && shot.brightest(0, 0, 240, 1080) == 0 &&
               shot.brightest(1680, 0, 240, 1080) == 0 &&
               brightness(shot, 240, 0, 4, 1080) > kDrawnBrightness &&
               brightness(shot, 1676, 0, 4, 1080) > kDrawnBrightness;
    };
    EXPECT_TRUE(waitUntil(15, barsShown))
        << shot.width << "x" << shot.height << ", left bar brightest "
        << shot.brightest(0, 0, 240, 1080) << ", right bar brightest "
        << shot.brightest(1680, 0, 240, 1080) << ", picture's left edge "
        << brightness(shot, 240, 0, 4, 1080) << ", right edge "
        << brightness(shot, 1676, 0, 4, 1080);
    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    EXPECT_EQ(game->waitFor(30), 0) << game->standardError();
}

} // namespace
