// An installed game starts from any working directory through its launcher,
// and the desktop's menus can list it.
#include "support/Game.h"
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
    VELMORA_REQUIRE_DISPLAY();
    testsupport::ScratchDir scratch;
    const std::string prefix = scratch.path() + "/prefix";
    int rc = -1;
    runShell("cmake --install '" VELMORA_BINARY_DIR "' --prefix '" + prefix + "'", &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_TRUE(fs::exists(prefix + "/bin/velmora"));
    ASSERT_TRUE(fs::is_directory(prefix + "/share/velmora/data"));

    // The desktop's menu entry is valid and starts this launcher; its icon is
    // in the hicolor theme.
    const std::string entry = prefix + "/share/applications/velmora.desktop";
    const std::string problems = runShell("desktop-file-validate '" + entry + "' 2>&1", &rc);
    EXPECT_EQ(rc, 0) << problems;
    EXPECT_EQ(problems, "");
    EXPECT_NE(testsupport::readFile(entry).find("Exec=\"" + prefix + "/bin/velmora\"\n"),
              std::string::npos)
        << testsupport::readFile(entry);
    EXPECT_TRUE(fs::exists(prefix + "/share/icons/hicolor/scalable/apps/velmora.svg"));
    EXPECT_TRUE(fs::exists(prefix + "/share/icons/hicolor/256x256/apps/velmora.png"));

    // Start it from a directory without data/: the launcher must find its own.
    ProcessOptions options;
    options.workingDirectory = "/";
    auto game = testsupport::startGame({prefix + "/bin/velmora", "windowed"}, options);
    ASSERT_TRUE(game->started());
    const std::string window = testsupport::windowOf(*game);
    ASSERT_FALSE(window.empty()) << game->standardError();
    ASSERT_TRUE(testsupport::waitUntil(30, [&] { return testsupport::titleClock(window) > 0.0; }));
    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    const auto status = game->waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    // Every asset was found: no loader complained.
    EXPECT_EQ(game->standardError().find("Failed to open"), std::string::npos)
        << game->standardError();
    EXPECT_EQ(game->standardOutput().find("Failed to load"), std::string::npos)
        << game->standardOutput();
}

} // namespace
