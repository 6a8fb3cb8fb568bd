// The example game builds as an outside project against the installed
// engine package, and runs from any folder: its own window, sprites and
// text, Escape quits. The guide's first game runs as the guide shows it.
#include "support/Game.h"
#include "support/GameOutput.h"
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/Screenshot.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using testsupport::ProcessOptions;
using testsupport::runShell;

namespace {

TEST(Example, BuildsAgainstTheInstalledEngineAndRuns) {
    VELMORA_REQUIRE_DISPLAY();
    testsupport::ScratchDir scratch;
    const std::string prefix = scratch.path() + "/prefix";
    const std::string build = scratch.path() + "/bounce-build";
    // Exactly what a user types; the build's own output is kept for a failure.
    int rc = -1;
    std::string log = runShell("cmake --install '" VELMORA_BINARY_DIR "' --prefix '" + prefix + "' 2>&1", &rc);
    ASSERT_EQ(rc, 0) << log;
    log = runShell("cmake -S '" VELMORA_SOURCE_DIR "/examples/bounce' -B '" + build +
                       "' -DCMAKE_PREFIX_PATH='" + prefix + "' 2>&1 && cmake --build '" + build + "' 2>&1",
                   &rc);
    ASSERT_EQ(rc, 0) << log;

    ProcessOptions options;
    options.workingDirectory = scratch.path(); // no data/ here: it reads the one beside it
    auto bounce = testsupport::startGame({build + "/bounce"}, options);
    ASSERT_TRUE(bounce->started());
    const std::string window = testsupport::windowOf(*bounce);
    ASSERT_FALSE(window.empty()) << bounce->standardError();
    EXPECT_EQ(testsupport::xdotool("getwindowname " + window), "Bounce — a Velmora example");
    testsupport::pause(2.0);
    EXPECT_TRUE(testsupport::sendKey(window, "space"));
    const testsupport::Screenshot shot = testsupport::captureWindow(window);
    ASSERT_EQ(shot.width, 960);
    ASSERT_EQ(shot.height, 540);
    // The text is the only white; the pictures are the only strongly tinted
    // colours (every tint keeps one channel low). Neither is the backdrop.
    int white = 0, tinted = 0;
    for (std::size_t i = 0; i + 2 < shot.rgb.size(); i += 3) {
        const int r = shot.rgb[i], g = shot.rgb[i + 1], b = shot.rgb[i + 2];
        white += (r > 230 && g > 230 && b > 230) ? 1 : 0;
        tinted += (std::max({r, g, b}) - std::min({r, g, b}) > 80) ? 1 : 0;
    }
    EXPECT_GT(white, 500);
    EXPECT_GT(tinted, 5000);
    if (HasFailure()) {
        testsupport::savePng(shot, VELMORA_BINARY_DIR "/example-failure.png");
    }

    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    const auto status = bounce->waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    // Every asset was found and the sound played: nothing to report.
    EXPECT_EQ(testsupport::gameLines(bounce->standardError()), std::vector<std::string>{});
    EXPECT_EQ(testsupport::gameLines(bounce->standardOutput()), std::vector<std::string>{});
}

// Whether the catcher's white paddle (120 wide, its row 570 pixels from the
// top of the 800×600 window) covers column x.
bool paddleCovers(const std::string& window, int x) {
    const testsupport::Screenshot shot = testsupport::captureWindow(window);
    return shot.height == 600 && shot.rgb[(570 * shot.width + x) * 3 + 2] > 230;
}

TEST(Example, TheGuidesFirstGameFindsItsDataAndItsPaddleFollowsKeysAndMouse) {
    VELMORA_REQUIRE_DISPLAY();
    ProcessOptions options;
    options.workingDirectory = "/";
    auto catcher = testsupport::startGame({VELMORA_BINARY_DIR "/guide/catcher"}, options);
    const std::string window = testsupport::windowOf(*catcher);
    ASSERT_FALSE(window.empty()) << catcher->standardError();
    ASSERT_TRUE(testsupport::waitUntil(10, [&] { return paddleCovers(window, 400); }));

    testsupport::xdotool("windowfocus --sync " + window + " keydown Left sleep 0.3 keyup Left");
    EXPECT_FALSE(paddleCovers(window, 400)) << "a held arrow key moves the paddle";
    testsupport::xdotool("mousemove --window " + window + " 650 300 mousedown 1 sleep 0.2 "
                         "mouseup 1");
    EXPECT_TRUE(paddleCovers(window, 650) && !paddleCovers(window, 580)) << "it follows the mouse";

    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    EXPECT_EQ(catcher->waitFor(30), std::optional<int>(0));
    EXPECT_EQ(catcher->standardError() + catcher->standardOutput(), "") << "every file was found";
}

} // namespace
