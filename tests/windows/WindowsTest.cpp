// The Windows build's programs (make windows) as a Windows player meets
// them, under Wine on the test X server: started from another folder, looked
// at through screenshots, played with real key presses, heard through a
// private sound server; and a game of one's own built with the installed
// engine's toolchain file.
#include "support/Game.h"
#include "support/GameOutput.h"
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/Screenshot.h"
#include "support/SoundServer.h"
#include "support/TempDir.h"
#include "support/WebPage.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using testsupport::ChildProcess;
using testsupport::ProcessOptions;
using testsupport::Screenshot;
using testsupport::waitUntil;

namespace {

// Mean difference per channel (0-255) allowed between the Linux game's first
// title and the Windows one's: both draw on llvmpipe, so they match but for
// rounding; a missing sprite, a wrong texture or a shifted picture gives tens.
constexpr double kSamePictureTolerance = 1.0;

const std::string kWindowed = "Windowed mode enabled\n";

// Pixels of strongly tinted colours: pictures and bricks, never a backdrop or text.
int tintedPixels(const Screenshot& shot) {
    int tinted = 0;
    for (std::size_t i = 0; i + 2 < shot.rgb.size(); i += 3) {
        const int r = shot.rgb[i], g = shot.rgb[i + 1], b = shot.rgb[i + 2];
        tinted += (std::max({r, g, b}) - std::min({r, g, b}) > 80) ? 1 : 0;
    }
    return tinted;
}

class WindowsProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        VELMORA_REQUIRE_DISPLAY();
        const std::string missing = testsupport::windowsProgramsMissing();
        if (!missing.empty()) {
            GTEST_SKIP() << missing;
        }
    }

    void TearDown() override {
        game.reset();
        testsupport::endWine();
    }

    // Starts a Windows program from the scratch folder (not its own).
    void start(const std::string& exe, const std::vector<std::string>& arguments,
               const std::map<std::string, std::optional<std::string>>& env) {
        ProcessOptions options;
        options.workingDirectory = scratch.path();
        options.env = env;
        std::vector<std::string> argv{"wine", exe};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        game = testsupport::startGame(argv, testsupport::withWine(options));
        ASSERT_TRUE(game->started());
        window = testsupport::windowOf(*game);
        ASSERT_FALSE(window.empty()) << game->standardError();
    }

    // Escape ends the program with status 0, having printed `output` and
    // nothing of its own on standard error.
    void quit(const std::string& output) {
        ASSERT_TRUE(testsupport::sendKey(window, "Escape"));
        const auto status = game->waitFor(30);
        ASSERT_TRUE(status.has_value()) << "still running after Escape";
        EXPECT_EQ(*status, 0);
        EXPECT_EQ(testsupport::withUnixLineEnds(game->standardOutput()), output);
        EXPECT_EQ(testsupport::gameLines(testsupport::withUnixLineEnds(game->standardError())),
                  std::vector<std::string>{});
    }

    testsupport::ScratchDir scratch;
    std::unique_ptr<ChildProcess> game;
    std::string window;
};

// Without a sound server, from a folder with a non-ASCII name, started from
// another folder: it finds its data, shows the Linux game's first title,
// takes Space, and says only that it runs silently.
TEST_F(WindowsProgram, TheBusGameShowsTheLinuxTitleAndCountsASpacePress) {
    std::unique_ptr<ChildProcess> native;
    ProcessOptions atTheRoot;
    atTheRoot.workingDirectory = VELMORA_SOURCE_DIR;
    const Screenshot expected =
        testsupport::firstTitle({VELMORA_GAME_EXE, "windowed"}, atTheRoot, native);
    native.reset();
    ASSERT_FALSE(expected.empty()) << "no title picture from the Linux game";

    const std::string folder = scratch.path() + "/Pelit ääkköset – 遊戯";
    std::filesystem::create_directories(folder);
    std::filesystem::copy(VELMORA_WINDOWS_BUILD_DIR "/velmora", folder + "/velmora",
                          std::filesystem::copy_options::recursive);
    ProcessOptions options;
    options.workingDirectory = scratch.path();
    options.env = testsupport::noSoundServerEnvironment(scratch.path());
    const Screenshot title =
        testsupport::firstTitle({"wine", folder + "/velmora/velmora.exe", "windowed"},
                                testsupport::withWine(options), game);
    ASSERT_FALSE(title.empty()) << game->standardOutput() << game->standardError();
    ASSERT_EQ(title.width, expected.width);
    ASSERT_EQ(title.height, expected.height);
    EXPECT_LT(title.difference(expected), kSamePictureTolerance);

    window = testsupport::windowOf(*game);
    ASSERT_TRUE(testsupport::sendKey(window, "F3"));
    ASSERT_TRUE(testsupport::sendKey(window, "space"));
    EXPECT_TRUE(waitUntil(10, [&] {
        const std::string overlay =
            testsupport::readText(testsupport::captureWindow(window), 0, 0, 400, 130);
        return overlay.find("attempts 1") != std::string::npos;
    })) << "the overlay does not count the press";
    quit(kWindowed + testsupport::noSoundDeviceLine());
}

// Wine's WASAPI goes to the PulseAudio server it finds: the game's music
// reaches its sink.
TEST_F(WindowsProgram, TheBusGamesSoundReachesASoundServerThroughWasapi) {
    if (!testsupport::soundServerInstalled()) {
        GTEST_SKIP() << "PulseAudio is not installed";
    }
    testsupport::PrivateSoundServer server;
    ASSERT_TRUE(server.ready()) << server.log();
    testsupport::SinkRecording sink(server);
    start(VELMORA_WINDOWS_BUILD_DIR "/velmora/velmora.exe", {"windowed"},
          server.clientEnvironment());
    EXPECT_GE(sink.secondsUntilSound(30.0), 0.0) << "no sound on the server's sink";
    quit(kWindowed);
}

// A held arrow key moves Breakout's paddle (light, its row 552 pixels from
// the top of the 800 × 600 window).
TEST_F(WindowsProgram, BreakoutsPaddleMovesOnAHeldKey) {
    start(VELMORA_WINDOWS_BUILD_DIR "/breakout/breakout.exe", {},
          testsupport::noSoundServerEnvironment(scratch.path()));
    ASSERT_TRUE(waitUntil(30, [&] {
        return tintedPixels(testsupport::captureWindow(window)) > 60000;
    })) << "no bricks";
    // The paddle follows the mouse: it starts from the left, under the pointer.
    const auto paddleAt = [&](int x) {
        return testsupport::captureWindow(window).brightest(x - 5, 550, 10, 4) > 180;
    };
    testsupport::xdotool("mousemove --window " + window + " 150 300");
    ASSERT_TRUE(waitUntil(10, [&] { return paddleAt(150) && !paddleAt(350); })) << "no paddle";
    testsupport::xdotool("windowfocus --sync " + window + " keydown Right sleep 0.5 keyup Right");
    const Screenshot moved = testsupport::captureWindow(window);
    EXPECT_TRUE(moved.brightest(145, 550, 10, 4) <= 180 && moved.brightest(230, 550, 570, 4) > 180);
    quit(testsupport::noSoundDeviceLine());
}

// A game of one's own (Bounce's sources) builds with nothing but the
// installed engine's toolchain file, its zip holds what a player needs, and
// the program from it draws its pictures and text.
TEST_F(WindowsProgram, AnOutsideGameBuildsWithTheInstalledToolchainFileAndDraws) {
    const std::string prefix = scratch.path() + "/engine";
    const std::string build = scratch.path() + "/bounce-build";
    int rc = -1;
    std::string log = testsupport::runShell("cmake --install '" VELMORA_WINDOWS_BUILD_DIR
                                            "' --component engine --prefix '" +
                                                prefix + "' 2>&1",
                                            &rc);
    ASSERT_EQ(rc, 0) << log;
    log = testsupport::runShell(
        "cmake -S '" VELMORA_SOURCE_DIR "/examples/bounce' -B '" + build +
            "' -DCMAKE_TOOLCHAIN_FILE='" + prefix +
            "/lib/cmake/Velmora/windows-toolchain.cmake' 2>&1 && cmake --build '" + build +
            "' 2>&1",
        &rc);
    ASSERT_EQ(rc, 0) << log;
    const std::string listing =
        testsupport::runShell("cd '" + build + "' && cmake -E tar tf bounce.zip");
    for (const char* file : {"bounce/bounce.exe", "bounce/data/shaders/textured.glsl",
                             "bounce/data/fonts/DejaVuSans.ttf", "bounce/licences/GLFW.txt"}) {
        EXPECT_NE(listing.find(file), std::string::npos) << file << " is not in the zip:\n"
                                                         << listing;
    }

    start(build + "/bounce/bounce.exe", {}, testsupport::noSoundServerEnvironment(scratch.path()));
    EXPECT_TRUE(waitUntil(30, [&] {
        return tintedPixels(testsupport::captureWindow(window)) > 5000;
    })) << "no pictures";
    quit(testsupport::noSoundDeviceLine());
}

} // namespace
