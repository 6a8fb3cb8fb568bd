// The example game builds as an outside project against the installed
// engine package, and runs: its own window, sprites and text, Escape quits.
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
    options.workingDirectory = build; // its data/, put together by its build
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

} // namespace
