// The real executable, started from the repository root under the test
// command's X server.
#include "support/Game.h"
#include "support/GlContext.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using testsupport::ChildProcess;
using testsupport::ProcessOptions;
using testsupport::runShell;
using testsupport::waitUntil;

namespace {

ProcessOptions fromRepositoryRoot() {
    ProcessOptions options;
    options.workingDirectory = VELMORA_SOURCE_DIR;
    return options;
}

TEST(GameWindow, OpensTitledShowsTheClockAndClosesOnEscape) {
    VELMORA_REQUIRE_DISPLAY();
    auto game = testsupport::startGame({VELMORA_GAME_EXE, "windowed"}, fromRepositoryRoot());
    ASSERT_TRUE(game->started());
    const std::string window = testsupport::windowOf(*game);
    ASSERT_FALSE(window.empty()) << game->standardError();

    // The loop shows the clock in the title, and the clock grows.
    double first = -1.0;
    ASSERT_TRUE(waitUntil(30, [&] {
        first = testsupport::titleClock(window);
        return first > 0.0;
    }));
    ASSERT_TRUE(waitUntil(30, [&] { return testsupport::titleClock(window) > first + 0.2; }));

    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    const auto status = game->waitFor(30);
    ASSERT_TRUE(status.has_value()) << "the game did not end on Escape";
    EXPECT_EQ(*status, 0) << game->standardError();
    EXPECT_NE(game->standardOutput().find("Windowed mode enabled\n"), std::string::npos);
}

TEST(GameWindow, WithoutAnyDisplayItReportsGlfwAndFails) {
    ProcessOptions options = fromRepositoryRoot();
    options.env["DISPLAY"] = std::nullopt;
    options.env["WAYLAND_DISPLAY"] = std::nullopt;
    ChildProcess game({VELMORA_GAME_EXE, "windowed"}, options);
    ASSERT_TRUE(game.started());
    const auto status = game.waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0);
    EXPECT_NE(game.standardError().find("Failed to initialize GLFW\n"), std::string::npos)
        << game.standardError();
}

TEST(GameWindow, AnOpenGlContextBelowFourPointFiveIsRefused) {
    VELMORA_REQUIRE_DISPLAY();
    ProcessOptions options = fromRepositoryRoot();
    options.env["MESA_GL_VERSION_OVERRIDE"] = "3.3";
    auto game = testsupport::startGame({VELMORA_GAME_EXE, "windowed"}, options);
    ASSERT_TRUE(game->started());
    const auto status = game->waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0);
    EXPECT_NE(game->standardError().find("OpenGL 4.5 or later is required, but this context "
                                         "provides OpenGL 3.3"),
              std::string::npos)
        << game->standardError();
}

} // namespace
