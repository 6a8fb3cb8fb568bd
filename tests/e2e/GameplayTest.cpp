// The complete game as a player meets it: the real executable, started
// windowed from the repository root under the test X server, looked at
// through screenshots and played with real key presses.
#include "support/Game.h"
#include "support/GameOutput.h"
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/Screenshot.h"
#include "support/SoundServer.h"
#include "support/TempDir.h"
#include "support/WebPage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

using testsupport::ChildProcess;
using testsupport::ProcessOptions;
using testsupport::runShell;
using testsupport::Screenshot;
using testsupport::waitUntil;

namespace {

class GameplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VELMORA_REQUIRE_DISPLAY();
        ProcessOptions options;
        options.workingDirectory = VELMORA_SOURCE_DIR;
        options.env = testsupport::noSoundServerEnvironment(scratch.path());
        game = testsupport::startGame({VELMORA_GAME_EXE, "windowed"}, options);
        ASSERT_TRUE(game->started());
        window = testsupport::windowOf(*game);
        ASSERT_FALSE(window.empty()) << game->standardError();
    }

    // A screenshot taken once the game's clock has reached `clock`; fails the
    // test when the clock had already passed `latest` by the time it was taken.
    Screenshot shotAt(double clock, double latest) {
        EXPECT_TRUE(waitUntil(60, [&] { return testsupport::titleClock(window) >= clock; }));
        Screenshot shot = testsupport::captureWindow(window);
        EXPECT_LT(testsupport::titleClock(window), latest) << "the screenshot came too late";
        return shot;
    }

    void press(const std::string& key) { EXPECT_TRUE(testsupport::sendKey(window, key)); }

    testsupport::ScratchDir scratch;
    std::unique_ptr<ChildProcess> game;
    std::string window;
};

TEST_F(GameplayTest, TitlesThenTheGameAPressFreezesThePointerAndTheNextAttemptFollows) {
    // The three title pictures, then the game picture.
    const Screenshot title = shotAt(2.0, 5.4);
    const Screenshot stopTitle = shotAt(6.5, 8.0);
    const Screenshot howToPlay = shotAt(9.5, 10.7);
    const Screenshot street = shotAt(12.0, 60.0);
    const Screenshot* shots[] = {&title, &stopTitle, &howToPlay, &street};
    for (const Screenshot* shot : shots) {
        ASSERT_EQ(shot->width, 1024);
        ASSERT_EQ(shot->height, 768);
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = i + 1; j < 4; ++j) {
            EXPECT_GT(shots[i]->difference(*shots[j]), 5.0) << "pictures " << i << " and " << j;
        }
    }
    if (const char* keep = std::getenv("VELMORA_KEEP_SCREENSHOTS")) {
        testsupport::savePng(title, std::string(keep) + "/title.png");
        testsupport::savePng(howToPlay, std::string(keep) + "/how-to-play.png");
        testsupport::savePng(street, std::string(keep) + "/game.png");
    }

    // Aiming: the pointer swings.
    ASSERT_TRUE(waitUntil(5, [&] { return testsupport::gaugeMoves(window); }));

    // A press freezes it where it stands, hit or miss.
    press("space");
    testsupport::pause(0.1);
    EXPECT_FALSE(testsupport::gaugeMoves(window));

    // The bus has been and gone within a few seconds: aiming again, the
    // pointer swings once more.
    testsupport::pause(4.0);
    EXPECT_TRUE(waitUntil(12, [&] { return testsupport::gaugeMoves(window); }));

    press("Escape");
    const auto status = game->waitFor(30);
    ASSERT_TRUE(status.has_value()) << "the game did not end on Escape";
    EXPECT_EQ(*status, 0);
    // No sound server: the one line says so, and the audio libraries keep quiet.
    EXPECT_EQ(game->standardOutput(), "Windowed mode enabled\n" + testsupport::noSoundDeviceLine());
    // Shown quoted on failure, so that a line the filter missed is plain to see.
    EXPECT_EQ(testsupport::gameLines(game->standardError()), std::vector<std::string>{});
}

// A played run, recorded, replays exactly: twice over, the pictures of three
// frames are byte for byte the same, and the score shows the attempts that
// the player made.
TEST(GameReplay, ARecordedRunReplaysToTheSamePicturesAndAttempts) {
    VELMORA_REQUIRE_DISPLAY();
    testsupport::ScratchDir scratch;
    const std::string recording = scratch.path() + "/bus.vrec";
    ProcessOptions options;
    options.workingDirectory = VELMORA_SOURCE_DIR;
    options.env = testsupport::noSoundServerEnvironment(scratch.path());
    options.env["VELMORA_RECORD"] = recording;
    auto game = testsupport::startGame({VELMORA_GAME_EXE, "windowed"}, options);
    const std::string window = testsupport::windowOf(*game);
    ASSERT_FALSE(window.empty()) << game->standardError();
    const auto at = [&](double clock) {
        EXPECT_TRUE(waitUntil(60, [&] { return testsupport::titleClock(window) >= clock; }));
    };
    EXPECT_TRUE(testsupport::sendKey(window, "F3")); // the score shows
    for (const double clock : {11.5, 17.0}) {
        at(clock);
        EXPECT_TRUE(testsupport::sendKey(window, "space"));
    }
    at(20.0);
    const std::string played =
        testsupport::readText(testsupport::captureWindow(window), 0, 0, 380, 120);
    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    ASSERT_EQ(game->waitFor(30), std::optional<int>(0));
    std::smatch attempts;
    ASSERT_TRUE(std::regex_search(played, attempts, std::regex("attempts \\d+"))) << played;

    // The frames: a third and two thirds in, and the last but one.
    std::smatch end;
    const std::string file = testsupport::readFile(recording);
    ASSERT_TRUE(std::regex_search(file, end, std::regex("\nend (\\d+) [0-9a-f]{16}\n$")));
    const long frames = std::stol(end[1]);
    const std::vector<long> chosen = {frames / 3, frames * 2 / 3, frames - 1};
    std::vector<std::unique_ptr<ChildProcess>> replays;
    for (const char* run : {"/one-", "/two-"}) {
        std::string pictures;
        for (const long frame : chosen) {
            pictures += std::to_string(frame) + "=" + scratch.path() + run + std::to_string(frame) +
                        ".png;";
        }
        ProcessOptions replay = options;
        replay.env.erase("VELMORA_RECORD");
        replay.env["VELMORA_REPLAY"] = recording;
        replay.env["VELMORA_PICTURES"] = pictures;
        replay.env["VELMORA_PICTURES_WRITE"] = "1";
        replays.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{VELMORA_GAME_EXE, "windowed"}, replay));
    }
    for (auto& replay : replays) {
        ASSERT_EQ(replay->waitFor(100), std::optional<int>(0)) << replay->standardError();
        EXPECT_NE(replay->standardOutput().find("Replay check passed"), std::string::npos)
            << replay->standardOutput() << replay->standardError();
    }
    for (const long frame : chosen) {
        const std::string one =
            testsupport::readFile(scratch.path() + "/one-" + std::to_string(frame) + ".png");
        EXPECT_FALSE(one.empty());
        EXPECT_TRUE(
            one == testsupport::readFile(scratch.path() + "/two-" + std::to_string(frame) + ".png"))
            << "frame " << frame;
    }
    const testsupport::Screenshot last =
        testsupport::loadPng(scratch.path() + "/one-" + std::to_string(frames - 1) + ".png");
    EXPECT_NE(testsupport::readText(last, 0, 0, 380, 120).find(attempts.str()), std::string::npos)
        << "the replay's score, where the player's showed " << attempts.str();
}

} // namespace
