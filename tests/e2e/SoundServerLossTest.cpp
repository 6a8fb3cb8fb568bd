// The real game playing through a PulseAudio server of the test's own, which
// is killed, restarted or frozen under the game's feet, as happens when a
// desktop's sound server restarts or hangs.
#include "support/Game.h"
#include "support/GameOutput.h"
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/Screenshot.h"
#include "support/SoundServer.h"
#include "support/TempDir.h"
#include "support/TestSounds.h"

#include <velmora/SoundManager.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
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

// Whether the window's picture changes between two captures 0.12 s apart:
// how a game without the frame clock in its title shows that it draws.
bool pictureMoves(const std::string& window) {
    const testsupport::Screenshot a = testsupport::captureWindow(window);
    testsupport::pause(0.12);
    const testsupport::Screenshot b = testsupport::captureWindow(window);
    return !a.empty() && a.difference(b) > 0.0;
}

class PrivateServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testsupport::soundServerInstalled()) {
            // The test command installs it; only a hand-made run may lack it.
            if (testsupport::runningInCi()) {
                FAIL() << "pulseaudio is not installed";
            }
            GTEST_SKIP() << "pulseaudio is not installed (the test command installs it)";
        }
        ASSERT_TRUE(server.ready()) << server.log();
    }

    PrivateSoundServer server;
};

// The engine's own manager in this process, playing voices through the
// test's server: what its sink plays is recorded and measured.
TEST_F(PrivateServerTest, VoicesOverlapAndPlayAtTheirOwnVolume) {
    const testsupport::ClientEnvironmentScope environment(server);
    testsupport::ScratchDir scratch;
    testsupport::installTestSound(scratch, "short.mp3", "short.mp3");
    testsupport::installTestSound(scratch, "long.mp3", "long.mp3");
    velmora::SoundManager own;
    own.loadSound("short.mp3");
    own.loadSound("long.mp3");
    SinkRecording sink(server);
    sink.levels(0.2); // recording
    own.playVoice("short.mp3");
    testsupport::pause(0.3);
    own.playVoice("short.mp3");
    const std::vector<double> twice = sink.levels(1.5);
    const auto heard = std::count_if(twice.begin(), twice.end(), [](double l) { return l > 0.01; });
    EXPECT_GE(heard, 11) << "50 ms blocks; one voice alone sounds 0.34 s";

    // The windows are long, and the quiet voice waits for the loud one's end
    // to come through: the server's latency varies.
    const velmora::VoiceHandle loud = own.playVoice("long.mp3", 1.0f);
    const std::vector<double> full = sink.levels(1.5);
    own.stopVoice(loud);
    for (int i = 0; i < 40 && sink.levels(0.05) != std::vector<double>{0.0}; ++i) {
    }
    own.playVoice("long.mp3", 0.25f);
    const std::vector<double> quarter = sink.levels(1.5);
    const double ratio = *std::max_element(quarter.begin(), quarter.end()) /
                         *std::max_element(full.begin(), full.end());
    std::cout << "level at volume 0.25 against 1: " << ratio << "\n";
    EXPECT_NEAR(ratio, 0.25, 0.02);
}

class SoundServerLossTest : public PrivateServerTest {
  protected:
    void SetUp() override {
        VELMORA_REQUIRE_DISPLAY();
        PrivateServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        testsupport::ProcessOptions options;
        options.workingDirectory = folder;
        options.env = server.clientEnvironment();
        game = testsupport::startGame(program, options);
        ASSERT_TRUE(game->started());
        window = testsupport::windowOf(*game);
        ASSERT_FALSE(window.empty()) << game->standardError();
        // Otherwise miniaudio settled on another device and the server's fate
        // would not matter to the game.
        ASSERT_TRUE(waitUntil(30, [&] { return server.playbackStreams() > 0; }))
            << "the game does not play through the test's server\n"
            << game->standardError();
        // The first frame follows the sound set-up: from here on the server's
        // fate can no longer keep the engine from starting. (Frozen while
        // miniaudio starts the device, the server would hold the game inside
        // that start for good, before the device watch exists.)
        ASSERT_TRUE(waitUntil(30, [&] {
            return clockInTitle ? testsupport::titleClock(window) >= 0.0 : pictureMoves(window);
        })) << "no frame drawn";
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

    // The program and where it runs: the bus game, which sets its own
    // stuck-shutdown handler.
    std::vector<std::string> program{VELMORA_GAME_EXE, "windowed"};
    std::string folder = VELMORA_SOURCE_DIR;
    bool clockInTitle = true;
    std::unique_ptr<ChildProcess> game;
    std::string window;
};

// The example sets no stuck-shutdown handler: the engine's own ends it.
class ExampleSoundServerLossTest : public SoundServerLossTest {
  protected:
    ExampleSoundServerLossTest() {
        program = {VELMORA_BINARY_DIR "/examples/bounce/bounce"};
        folder = VELMORA_BINARY_DIR "/examples/bounce";
        clockInTitle = false;
    }
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

// Stopped as a whole (Ctrl-Z, a debugger, a suspended machine) and
// continued, the game has lost no device: the silence meanwhile was not the
// device's. The server stops a little before the game and goes on a little
// after it, so the device has asked for nothing for a while either side.
TEST_F(SoundServerLossTest, AGameStoppedForTwoSecondsLostNothing) {
    testsupport::pause(4.0); // past the device's start, which is judged apart
    server.freeze();
    testsupport::pause(0.2);
    ::kill(game->processId(), SIGSTOP);
    testsupport::pause(2.0);
    ::kill(game->processId(), SIGCONT);
    testsupport::pause(0.1);
    server.thaw();
    testsupport::pause(2.0);
    pressSpaceThenQuit(kWindowed);
}

TEST_F(ExampleSoundServerLossTest, WithTheServerFrozenAndNoHandlerEscapeEndsItWithinItsLimit) {
    server.freeze();
    ASSERT_TRUE(said(kLost));
    quit(kLost + kGivenUp);
}

} // namespace
