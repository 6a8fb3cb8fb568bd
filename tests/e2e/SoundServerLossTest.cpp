// Quitting the real game while it plays through a PulseAudio server of the
// test's own: with the server alive, and after the server has been killed
// under the game's feet, as happens when a desktop's sound server restarts.
#include "support/Game.h"
#include "support/GameOutput.h"
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/SoundServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using testsupport::ChildProcess;
using testsupport::PrivateSoundServer;
using testsupport::waitUntil;

namespace {

// Escape must end the game within this many seconds, whatever the server does.
constexpr double kQuitLimit = 2.0;

// The one line the game may write when it gave up waiting for the device.
const char* const kDeviceGivenUp = "The audio device did not stop within ";

class SoundServerLossTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VELMORA_REQUIRE_DISPLAY();
        if (!testsupport::soundServerInstalled()) {
            // The test command installs it; only a hand-made run may lack it.
            if (testsupport::runningInCi()) {
                FAIL() << "pulseaudio is not installed";
            }
            GTEST_SKIP() << "pulseaudio is not installed (the test command installs it)";
        }
        ASSERT_TRUE(server.ready()) << server.log();
        testsupport::ProcessOptions options;
        options.workingDirectory = VELMORA_SOURCE_DIR;
        options.env = server.clientEnvironment();
        game = testsupport::startGame({VELMORA_GAME_EXE, "windowed"}, options);
        ASSERT_TRUE(game->started());
        window = testsupport::windowOf(*game);
        ASSERT_FALSE(window.empty()) << game->standardError();
        // Otherwise miniaudio settled on another device and the server's fate
        // would not matter to the game.
        ASSERT_TRUE(waitUntil(30, [&] { return server.playbackStreams() > 0; }))
            << "the game does not play through the test's server\n"
            << game->standardError();
        // The first frame follows the sound set-up: from here on the server's
        // fate can no longer keep the engine from starting.
        ASSERT_TRUE(waitUntil(30, [&] { return testsupport::titleClock(window) >= 0.0; }))
            << "no frame drawn";
    }

    // Space, then Escape: the game must draw until the Escape and then end
    // promptly with status 0, having printed nothing frame after frame.
    void pressSpaceThenQuit() {
        const double beforePress = testsupport::titleClock(window);
        ASSERT_TRUE(testsupport::sendKey(window, "space"));
        EXPECT_TRUE(waitUntil(10, [&] {
            return testsupport::titleClock(window) > beforePress + 1.0;
        })) << "the game stopped drawing";
        ASSERT_TRUE(game->running()) << game->standardError();

        ASSERT_TRUE(testsupport::sendKey(window, "Escape"));
        const auto pressed = std::chrono::steady_clock::now();
        const auto status = game->waitFor(kQuitLimit + 1.0);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count();
        ASSERT_TRUE(status.has_value()) << "still running " << seconds << " s after Escape";
        EXPECT_EQ(*status, 0);
        EXPECT_LT(seconds, kQuitLimit);

        EXPECT_EQ(game->standardOutput(), "Windowed mode enabled\n");
        const std::vector<std::string> lines = testsupport::gameLines(game->standardError());
        EXPECT_LE(lines.size(), 1u) << game->standardError();
        for (const std::string& line : lines) {
            EXPECT_EQ(line.rfind(kDeviceGivenUp, 0), 0u) << line;
        }
    }

    PrivateSoundServer server;
    std::unique_ptr<ChildProcess> game;
    std::string window;
};

TEST_F(SoundServerLossTest, WithTheServerAliveEscapeEndsTheGame) {
    pressSpaceThenQuit();
}

TEST_F(SoundServerLossTest, AfterTheServerIsKilledTheGamePlaysOnSilentlyAndEscapeEndsIt) {
    server.kill();
    pressSpaceThenQuit();
}

} // namespace
