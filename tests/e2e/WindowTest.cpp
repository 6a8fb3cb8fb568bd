// The real executable, started from the repository root under the test
// command's X server.
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

std::string trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

ProcessOptions fromRepositoryRoot() {
    ProcessOptions options;
    options.workingDirectory = VELMORA_SOURCE_DIR;
    return options;
}

// The X window of a process, found by its PID, or "" when it has none yet.
std::string windowOf(int pid) {
    return trim(
        runShell("xdotool search --onlyvisible --pid " + std::to_string(pid) + " | head -n 1"));
}

double clockInTitle(const std::string& title) {
    const std::string prefix = "Time: ";
    if (title.rfind(prefix, 0) != 0) {
        return -1.0;
    }
    return std::atof(title.c_str() + prefix.size());
}

#define REQUIRE_DISPLAY()                                                                          \
    do {                                                                                           \
        if (!testsupport::displayAvailable()) {                                                    \
            if (testsupport::runningInCi()) {                                                      \
                FAIL() << "no display under CI";                                                   \
            }                                                                                      \
            GTEST_SKIP() << "no display";                                                          \
        }                                                                                          \
    } while (0)

TEST(GameWindow, OpensTitledShowsTheClockAndClosesOnEscape) {
    REQUIRE_DISPLAY();
    ChildProcess game({VELMORA_GAME_EXE, "windowed"}, fromRepositoryRoot());
    ASSERT_TRUE(game.started());

    std::string window;
    ASSERT_TRUE(waitUntil(30, [&] {
        window = windowOf(game.processId());
        return !window.empty() || !game.running();
    }));
    ASSERT_FALSE(window.empty()) << game.standardError();

    // The first title is the program's name; the loop then shows the clock.
    std::string title;
    ASSERT_TRUE(waitUntil(30,
                          [&] {
                              title = trim(runShell("xdotool getwindowname " + window));
                              return clockInTitle(title) > 0.0;
                          }))
        << "title: " << title;
    const double first = clockInTitle(title);
    ASSERT_TRUE(waitUntil(30, [&] {
        return clockInTitle(trim(runShell("xdotool getwindowname " + window))) > first + 0.2;
    }));

    int rc = -1;
    runShell("xdotool windowfocus --sync " + window + " key Escape", &rc);
    EXPECT_EQ(rc, 0);
    const auto status = game.waitFor(30);
    ASSERT_TRUE(status.has_value()) << "the game did not end on Escape";
    EXPECT_EQ(*status, 0) << game.standardError();
    EXPECT_NE(game.standardOutput().find("Windowed mode enabled\n"), std::string::npos);
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
    REQUIRE_DISPLAY();
    ProcessOptions options = fromRepositoryRoot();
    options.env["MESA_GL_VERSION_OVERRIDE"] = "3.3";
    ChildProcess game({VELMORA_GAME_EXE, "windowed"}, options);
    ASSERT_TRUE(game.started());
    const auto status = game.waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0);
    EXPECT_NE(game.standardError().find("OpenGL 4.5 or later is required, but this context "
                                        "provides OpenGL 3.3"),
              std::string::npos)
        << game.standardError();
}

} // namespace
