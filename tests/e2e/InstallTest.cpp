// An installed game starts from any working directory through its launcher,
// and the desktop's menus can list it; so does the game's Debian package,
// unpacked into any folder.
#include "support/Game.h"
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/Screenshot.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <filesystem>
#include <memory>
#include <regex>
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

// The package is built here and unpacked with dpkg-deb, never installed: its
// launcher and its private library path must work from wherever it lies.
TEST(Install, TheDebianPackageRunsFromAnyFolder) {
    VELMORA_REQUIRE_DISPLAY();
    testsupport::ScratchDir scratch;
    int rc = -1;
    const std::string log = runShell("cpack -G DEB --config '" VELMORA_BINARY_DIR
                                     "/CPackConfig.cmake' -B '" + scratch.path() + "/debs' 2>&1", &rc);
    ASSERT_EQ(rc, 0) << log;
    const std::string root = scratch.path() + "/root";
    runShell("dpkg-deb -x \"$(ls '" + scratch.path() + "'/debs/velmora_*.deb)\" '" + root + "'", &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_TRUE(fs::exists(root + "/usr/games/velmora"));
    ASSERT_TRUE(fs::is_directory(root + "/usr/share/velmora/data"));

    ProcessOptions options;
    options.workingDirectory = "/";
    auto game = testsupport::startGame({root + "/usr/games/velmora", "windowed"}, options);
    ASSERT_TRUE(game->started());
    const std::string window = testsupport::windowOf(*game);
    ASSERT_FALSE(window.empty()) << game->standardError();
    // The first title picture, as the documentation shows it.
    ASSERT_TRUE(testsupport::waitUntil(30, [&] { return testsupport::titleClock(window) > 2.0; }));
    const testsupport::Screenshot shot = testsupport::captureWindow(window);
    EXPECT_LT(testsupport::titleClock(window), 5.4) << "the screenshot came too late";
    testsupport::Screenshot title;
    std::unique_ptr<unsigned char, void (*)(void*)> pixels(
        stbi_load(VELMORA_SOURCE_DIR "/docs/title.png", &title.width, &title.height, nullptr, 3),
        stbi_image_free);
    ASSERT_TRUE(pixels);
    title.rgb.assign(pixels.get(), pixels.get() + title.width * title.height * 3);
    ASSERT_EQ(shot.width, title.width);
    EXPECT_LT(shot.difference(title), 2.0);
    // A GLFW that the package carries is the one the game runs with.
    const std::string privateGlfw = root + "/usr/lib/velmora/glfw/libglfw.so.3.4";
    if (fs::exists(privateGlfw)) {
        const std::string maps =
            testsupport::readFile("/proc/" + std::to_string(game->processId()) + "/maps");
        EXPECT_NE(maps.find(privateGlfw), std::string::npos) << maps;
    }

    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    const auto status = game->waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
}

// The installed headers are the engine's promise to a game: each compiles on
// its own, and every header it includes by quotes is another installed one,
// never one of the workings in src/engine/.
TEST(Install, EveryInstalledHeaderIsPublicAndCompilesAlone) {
    testsupport::ScratchDir scratch;
    const std::string prefix = scratch.path() + "/prefix";
    int rc = -1;
    runShell("cmake --install '" VELMORA_BINARY_DIR "' --component engine --prefix '" + prefix + "'", &rc);
    ASSERT_EQ(rc, 0);
    const fs::path include = prefix + "/include";
    const std::regex quoted("#include\\s*\"([^\"]+)\"");
    int headers = 0;
    for (const auto& entry : fs::recursive_directory_iterator(include)) {
        const std::string name = entry.path().lexically_relative(include).string();
        if (entry.path().extension() != ".h" || name.rfind("velmora/GLFW/", 0) == 0) {
            continue; // the window library's own headers may come along
        }
        ++headers;
        EXPECT_TRUE(fs::exists(VELMORA_SOURCE_DIR "/include/" + name)) << name << " is not public";
        const std::string text = testsupport::readFile(entry.path().string());
        for (std::sregex_iterator it(text.begin(), text.end(), quoted), end; it != end; ++it) {
            const std::string included = (*it)[1];
            EXPECT_TRUE(included.rfind("velmora/", 0) == 0 && fs::exists(include / included))
                << name << " includes \"" << included << "\"";
        }
        const std::string errors = runShell("echo '#include <" + name + ">' | c++ -std=c++17 -Wall -Wextra "
                                            "-Werror -fsyntax-only -I'" + include.string() + "' -x c++ - 2>&1",
                                            &rc);
        EXPECT_EQ(rc, 0) << name << " does not compile alone:\n" << errors;
    }
    EXPECT_EQ(headers, std::distance(fs::directory_iterator(VELMORA_SOURCE_DIR "/include/velmora"),
                                     fs::directory_iterator()));
}

} // namespace
