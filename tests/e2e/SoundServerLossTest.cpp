// The real game playing through a PulseAudio server of the test's own, which
// is killed, restarted or frozen under the game's feet, as happens when a
// desktop's sound server restarts or hangs.
#include "support/Game.h"
#include "support/GameOutput.h"
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/SoundServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <string>
#include <vector>

using testsupport::ChildProcess;
using testsupport::PrivateSoundServer;
using testsupport::SinkRecording;
using testsupport::waitUntil;

namespace {

// Escape must end the game within this many seconds, whatever the server does.
constexpr double kQuitLimit = 2.0;

const std::string kWindowed = "Windowed mode enabled\n";
const std::string kLost = "The audio device was lost; playing on without sound\n";
const std::string kBack = "The audio device is back; sound is on again\n";
const std::string kGivenUp =
    "The audio device did not stop within 1 s; quitting without waiting for it\n";

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

    bool said(const std::string& line) {
        return waitUntil(10, [&] { return game->standardOutput().find(line) != std::string::npos; });
    }

    // Space, then Escape: the game must go back to aiming until the Escape
    // and then end promptly with status 0, having printed `output` and
    // nothing on standard error.
    void pressSpaceThenQuit(const std::string& output) {
        ASSERT_TRUE(testsupport::sendKey(window, "space"));
        testsupport::pause(4.0); // the bus has been and gone
        EXPECT_TRUE(waitUntil(12, [&] { return testsupport::gaugeMoves(window); }))
            << "the game did not go back to aiming";
        ASSERT_TRUE(game->running()) << game->standardError();
        quit(output);
    }

    void quit(const std::string& output) {
        ASSERT_TRUE(testsupport::sendKey(window, "Escape"));
        const auto pressed = std::chrono::steady_clock::now();
        const auto status = game->waitFor(kQuitLimit + 1.0);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count();
        ASSERT_TRUE(status.has_value()) << "still running " << seconds << " s after Escape";
        std::cout << "exit " << seconds << " s after Escape\n";
        EXPECT_EQ(*status, 0);
        EXPECT_LT(seconds, kQuitLimit);
        EXPECT_EQ(game->standardOutput(), output);
        EXPECT_EQ(testsupport::gameLines(game->standardError()), std::vector<std::string>{});
    }

    PrivateSoundServer server;
    std::unique_ptr<ChildProcess> game;
    std::string window;
};

TEST_F(SoundServerLossTest, WithTheServerAliveEscapeEndsTheGame) {
    pressSpaceThenQuit(kWindowed);
}

// The stop of the engine must end the lost device's thread at once: no
// give-up line, and one line for the loss however many restarts failed.
TEST_F(SoundServerLossTest, AfterTheServerIsKilledTheGamePlaysOnSilentlyAndEscapeEndsIt) {
    server.kill();
    ASSERT_TRUE(said(kLost));
    testsupport::pause(3.0);
    pressSpaceThenQuit(kWindowed + kLost);
}

TEST_F(SoundServerLossTest, SoundReturnsWithTheServerAndAPressPlaysItsSound) {
    server.kill();
    ASSERT_TRUE(said(kLost));
    server.restart();
    ASSERT_TRUE(server.ready()) << server.log();
    SinkRecording sink(server);
    const double returned = sink.secondsUntilSound(10.0);
    std::cout << "sound " << returned << " s after the server's return\n";
    EXPECT_GE(returned, 0.0) << "no sound after the server's return";
    EXPECT_LT(returned, 3.0);
    EXPECT_TRUE(said(kBack));

    // The press pauses the music, and the bus's sound plays in its place.
    ASSERT_TRUE(testsupport::sendKey(window, "space"));
    testsupport::pause(0.3);
    EXPECT_GE(sink.secondsUntilSound(1.0), 0.0) << "silence after the press";
    quit(kWindowed + kLost + kBack);
}

// A hung server keeps the device's thread inside the audio library for good:
// the game gives up on it after its budget and still ends well.
TEST_F(SoundServerLossTest, WithTheServerFrozenEscapeEndsTheGameWithinItsLimit) {
    server.freeze();
    ASSERT_TRUE(said(kLost));
    quit(kWindowed + kLost + kGivenUp);
}

} // namespace
