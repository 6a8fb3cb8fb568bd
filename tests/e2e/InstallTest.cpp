// An installed game starts from any working directory through its launcher.
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::ProcessOptions;
using testsupport::runShell;

namespace {

TEST(Install, TheLauncherRunsTheGameFromItsDataDirectory) {
    if (!testsupport::displayAvailable()) {
        if (testsupport::runningInCi()) {
            FAIL() << "no display under CI";
        }
        GTEST_SKIP() << "no display";
    }
    testsupport::ScratchDir scratch;
    const std::string prefix = scratch.path() + "/prefix";
    int rc = -1;
    runShell("cmake --install '" VELMORA_BINARY_DIR "' --prefix '" + prefix + "'", &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_TRUE(fs::exists(prefix + "/bin/velmora"));
    ASSERT_TRUE(fs::is_directory(prefix + "/share/velmora/data"));

    // Start it from a directory without data/: the launcher must find its own.
    ProcessOptions options;
    options.workingDirectory = "/";
    ChildProcess game({prefix + "/bin/velmora", "windowed"}, options);
    ASSERT_TRUE(game.started());
    std::string window;
    ASSERT_TRUE(testsupport::waitUntil(30, [&] {
        window = runShell("xdotool search --onlyvisible --pid " + std::to_string(game.processId()) +
                          " | head -n 1");
        return !window.empty() || !game.running();
    }));
    ASSERT_FALSE(window.empty()) << game.standardError();
    while (!window.empty() && window.back() == '\n') {
        window.pop_back();
    }
    runShell("xdotool windowfocus --sync " + window + " key Escape", &rc);
    const auto status = game.waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    // Every asset was found: no loader complained.
    EXPECT_EQ(game.standardError().find("Failed to open"), std::string::npos)
        << game.standardError();
    EXPECT_EQ(game.standardOutput().find("Failed to load"), std::string::npos)
        << game.standardOutput();
}

} // namespace
