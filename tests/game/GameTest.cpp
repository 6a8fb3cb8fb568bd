// The bus-stop rules as the main loop drives them: a frame clock the test
// sets, Scene::update once per frame, the space bar through Scene::onKey, and
// the real sound manager playing the test tones under the game's sound names.
#include "velmora/Application.h"
#include "velmora/SoundManager.h"
#include "engine/SoundManagerWorkings.h"
#include "game/Bus.h"
#include "game/Game.h"
#include "game/Gauge.h"
#include "game/Scene.h"

#include "support/Process.h"
#include "support/TempDir.h"
#include "support/TestSounds.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <miniaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace velmora;

using testsupport::installTestSound;
using testsupport::ScratchDir;
using testsupport::waitUntil;

namespace {

constexpr double kDeadline = 10.0;
constexpr float kBusSpeed = 0.5f;

using SoundFiles = std::map<std::string, std::string>; // game name -> test tone

// Every game sound; the grunts are long enough to outlast the bus's drive.
SoundFiles everySound(const std::string& grunt) {
    return {{"loop.mp3", "long.mp3"}, {"bus_stop.mp3", "long.mp3"}, {"bus_miss.mp3", "long.mp3"},
            {"grunt1.mp3", grunt},    {"grunt2.mp3", grunt},        {"grunt3.mp3", grunt},
            {"grunt4.mp3", grunt},    {"succes1.mp3", "short.mp3"}, {"succes2.mp3", "short.mp3"}};
}

// What the rules show from one frame to the next.
struct Snapshot {
    GameState state;
    bool busArriving;
    float stateTimer;
    bool soundPlayed;
    int lastGrunt;
    int lastSuccess;
    float progress;
    float x;
    float y;
    double phase;
    bool frozen;

    static Snapshot take() {
        const Bus& bus = Bus::instance();
        const Gauge& gauge = Gauge::instance();
        return {game.state,     game.busArriving, game.stateTimer, game.soundPlayed,
                game.lastGrunt, game.lastSuccess, bus.progress,    bus.x,
                bus.y,          gauge.phase,      gauge.frozen};
    }
    bool operator==(const Snapshot& o) const {
        return state == o.state && busArriving == o.busArriving && stateTimer == o.stateTimer &&
               soundPlayed == o.soundPlayed && lastGrunt == o.lastGrunt &&
               lastSuccess == o.lastSuccess && progress == o.progress && x == o.x && y == o.y &&
               phase == o.phase && frozen == o.frozen;
    }
};

bool playing(const std::string& name) {
    return SoundManager::instance().isPlaying(name.c_str());
}

bool anyGruntPlaying() {
    return playing("grunt1.mp3") || playing("grunt2.mp3") || playing("grunt3.mp3") ||
           playing("grunt4.mp3");
}

// The gauge phase at which the pointer shows `value`.
double phaseShowing(float value) {
    const double phase = std::asin(2.0 * value - 1.0) / (2 * 3.141592653589793);
    return phase < 0 ? phase + 1.0 : phase;
}

class GameTest : public ::testing::Test {
  protected:
    // Sets the game up as start-up does: the sounds (the names not given are
    // missing), the music looping, the game reset, the scene's clock at 0.
    void startGame(const SoundFiles& files) {
        for (const auto& file : files) {
            installTestSound(scratch, file.second, file.first);
        }
        SoundManager& sounds = SoundManager::instance();
        sounds.loadSound("loop.mp3");
        sounds.play("loop.mp3", true);
        for (const char* name : {"grunt1.mp3", "grunt2.mp3", "grunt3.mp3", "grunt4.mp3",
                                 "bus_miss.mp3", "bus_stop.mp3", "succes1.mp3", "succes2.mp3"}) {
            sounds.loadSound(name);
        }
        game.reset();
        scene.lastTime = 0.0;
    }

    // Frames come `framesPerSecond` times per clock second. When the sounds'
    // ends matter, the clock is held to real time, since they play in it.
    void useClock(int framesPerSecond, bool followRealTime) {
        step = 1.0 / framesPerSecond;
        realTime = followRealTime;
        clockStart = clock;
        realStart = std::chrono::steady_clock::now();
    }

    void frame() {
        clock += step;
        if (realTime) {
            std::this_thread::sleep_until(realStart +
                                          std::chrono::duration_cast<std::chrono::nanoseconds>(
                                              std::chrono::duration<double>(clock - clockStart)));
        }
        Application::instance().time = clock;
        scene.update();
    }

    void pressSpace() { scene.onKey(GLFW_PRESS, GLFW_KEY_SPACE); }

    // Lets the gauge swing until its value suits `wanted`.
    template <typename Wanted> bool aimUntil(Wanted wanted) {
        for (int i = 0; i < 2000; ++i) {
            if (wanted(Gauge::instance().value())) {
                return true;
            }
            frame();
        }
        return false;
    }
    bool aimForHit() {
        return aimUntil([](float v) { return std::fabs(v - 0.5f) < 0.1f; });
    }
    bool aimForMiss() {
        return aimUntil([](float v) { return std::fabs(v - 0.5f) > 0.4f; });
    }

    // Runs frames until the attempt is over; false if it never ends.
    bool finishAttempt(double maxSeconds = 30.0) {
        for (double t = 0; t < maxSeconds && game.state != GameState::Aiming; t += step) {
            frame();
        }
        return game.state == GameState::Aiming;
    }

    float progressPerFrame() const { return static_cast<float>(step) * kBusSpeed; }

    ScratchDir scratch;
    double clock = 11.0; // past the title pictures, as in a real game
    double clockStart = 11.0;
    double step = 1.0 / 60;
    bool realTime = false;
    std::chrono::steady_clock::time_point realStart;
};

TEST_F(GameTest, TheHitWindowIncludesBothBoundsAndNothingBeyond) {
    startGame({});
    Gauge& gauge = Gauge::instance();
    const struct {
        float value;
        GameState outcome;
    } presses[] = {{0.35f, GameState::Hit},
                   {0.65f, GameState::Hit},
                   {0.5f, GameState::Hit},
                   {std::nextafter(0.35f, 0.0f), GameState::Missed},
                   {std::nextafter(0.65f, 1.0f), GameState::Missed},
                   {0.2f, GameState::Missed},
                   {0.9f, GameState::Missed}};
    for (const auto& press : presses) {
        gauge.phase = phaseShowing(press.value);
        ASSERT_EQ(gauge.value(), press.value) << "the test must put the pointer exactly there";
        game.state = GameState::Aiming;
        gauge.frozen = false;
        game.judge();
        EXPECT_EQ(game.state, press.outcome) << "value " << press.value;
        EXPECT_TRUE(gauge.frozen);
    }
}

TEST_F(GameTest, OnlyAPressOfTheSpaceBarWhileAimingIsJudged) {
    startGame({});
    useClock(60, false);
    frame();
    const Snapshot aiming = Snapshot::take();
    for (const auto& event :
         {std::make_pair(GLFW_RELEASE, GLFW_KEY_SPACE), std::make_pair(GLFW_REPEAT, GLFW_KEY_SPACE),
          std::make_pair(GLFW_PRESS, GLFW_KEY_ENTER), std::make_pair(GLFW_PRESS, GLFW_KEY_B),
          std::make_pair(GLFW_PRESS, GLFW_KEY_F3)}) {
        scene.onKey(event.first, event.second);
    }
    EXPECT_TRUE(Snapshot::take() == aiming);
    EXPECT_EQ(scene.lastSpacePressTime, 10.0f);
    EXPECT_EQ(game.score.attempts, 0);

    // Presses during an attempt only restart the idle hint's delay.
    for (const bool hit : {true, false}) {
        ASSERT_TRUE(hit ? aimForHit() : aimForMiss());
        pressSpace();
        ASSERT_EQ(game.state, hit ? GameState::Hit : GameState::Missed);
        for (int i = 0; i < 30; ++i) {
            frame();
        }
        const Snapshot during = Snapshot::take();
        pressSpace();
        EXPECT_TRUE(Snapshot::take() == during);
        EXPECT_EQ(scene.lastSpacePressTime, static_cast<float>(clock));
        frame();
        scene.onKey(GLFW_REPEAT, GLFW_KEY_SPACE);
        scene.onKey(GLFW_RELEASE, GLFW_KEY_SPACE);
        EXPECT_NE(scene.lastSpacePressTime, static_cast<float>(clock));
        ASSERT_TRUE(finishAttempt());
    }
    EXPECT_EQ(game.score.attempts, 2) << "only the judged presses are attempts";
}

// The music rests during every attempt and plays while aiming, also when the
// audio device is lost before a press and comes back before the next aim.
TEST_F(GameTest, TheMusicFollowsTheAttemptsAcrossALostDevice) {
    startGame(everySound("short.mp3"));
    ma_engine* lost = SoundManagerWorkings::engine(SoundManager::instance());
    ASSERT_TRUE(waitUntil(kDeadline, [] { return playing("loop.mp3"); }));
    ma_engine_stop(lost); // the device stops asking for samples
    ASSERT_TRUE(waitUntil(kDeadline, [] { return !playing("loop.mp3"); }));
    useClock(60, false);
    ASSERT_TRUE(aimForMiss());
    pressSpace(); // judged while nothing can play
    ASSERT_TRUE(waitUntil(
        kDeadline, [&] { return SoundManagerWorkings::engine(SoundManager::instance()) != lost; }));
    useClock(60, true);
    ASSERT_TRUE(finishAttempt());
    EXPECT_TRUE(waitUntil(kDeadline, [] { return playing("loop.mp3"); })) << "aiming has music";
    useClock(60, false);
    ASSERT_TRUE(aimForMiss());
    pressSpace();
    EXPECT_FALSE(playing("loop.mp3")) << "an attempt has none";
}

class GameAtFrameRate : public GameTest, public ::testing::WithParamInterface<int> {};

TEST_P(GameAtFrameRate, AHitStopsTheBusBoardsTheManAndDrivesOff) {
    startGame(everySound("short.mp3"));
    useClock(GetParam(), false);
    SoundManager& sounds = SoundManager::instance();
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return sounds.cursorSeconds("loop.mp3") > 0.2; }));
    frame();
    frame();
    EXPECT_EQ(Bus::instance().progress, 0.0f) << "the bus waits at its start";

    ASSERT_TRUE(aimForHit());
    const double frozenAt = Gauge::instance().phase;
    pressSpace();
    EXPECT_EQ(scene.lastSpacePressTime, static_cast<float>(clock));
    ASSERT_EQ(game.state, GameState::Hit);
    EXPECT_TRUE(Gauge::instance().frozen);
    EXPECT_FALSE(playing("loop.mp3")) << "the music pauses";
    EXPECT_TRUE(playing("bus_stop.mp3"));
    EXPECT_EQ(Bus::instance().progress, 0.0f);
    const double musicPausedAt = sounds.cursorSeconds("loop.mp3");

    float stoppedAt = -1.0f;
    bool boarded = false;
    bool successStarted = false;
    Snapshot before = Snapshot::take();
    for (int i = 0; i < 100 * GetParam() && game.state == GameState::Hit; ++i) {
        before = Snapshot::take();
        frame();
        const Snapshot after = Snapshot::take();
        if (after.state != GameState::Hit) {
            break; // the gauge swings again from this frame on
        }
        ASSERT_EQ(after.phase, frozenAt) << "the gauge stands still";
        if (before.busArriving && before.progress <= 0.42) { // driving up
            ASSERT_GT(after.progress, before.progress);
            ASSERT_EQ(after.stateTimer, 0.0f);
        } else if (before.busArriving) { // standing at the stop, the man still outside
            if (stoppedAt < 0) {
                stoppedAt = before.progress;
            }
            ASSERT_EQ(after.progress, before.progress);
            ASSERT_GT(after.stateTimer, before.stateTimer);
            ASSERT_EQ(after.busArriving, !(after.stateTimer > 0.8));
            ASSERT_FALSE(after.soundPlayed);
            boarded = !after.busArriving;
        } else { // boarded: the success sound, then off to the left
            ASSERT_EQ(after.soundPlayed, after.stateTimer > 0.9);
            if (after.soundPlayed && !before.soundPlayed) {
                successStarted = true;
                ASSERT_TRUE(after.lastSuccess == 1 || after.lastSuccess == 2);
                EXPECT_TRUE(playing("succes" + std::to_string(after.lastSuccess) + ".mp3"));
                EXPECT_FALSE(playing("succes" + std::to_string(3 - after.lastSuccess) + ".mp3"));
            }
            ASSERT_EQ(after.progress > before.progress, after.stateTimer > 1.3);
            ASSERT_LT(after.progress, 1.1f);
        }
    }
    EXPECT_TRUE(boarded);
    EXPECT_TRUE(successStarted);
    // The stop is the first progress past 0.42 that whole frames reach.
    EXPECT_GT(stoppedAt, 0.42f);
    EXPECT_NEAR(stoppedAt, std::ceil(0.42f / progressPerFrame()) * progressPerFrame(), 1e-4);

    ASSERT_EQ(game.state, GameState::Aiming);
    EXPECT_GE(Bus::instance().progress, 1.1f);
    EXPECT_GT(before.stateTimer + step, 1.3);
    EXPECT_TRUE(game.busArriving);
    EXPECT_EQ(game.stateTimer, 0.0f);
    EXPECT_FALSE(game.soundPlayed);
    EXPECT_FALSE(Gauge::instance().frozen);
    EXPECT_TRUE(playing("loop.mp3")) << "the music resumes";
    EXPECT_GE(sounds.cursorSeconds("loop.mp3"), musicPausedAt) << "where it paused";

    // While aiming again the bus stays beyond its stop and the gauge swings.
    const Snapshot back = Snapshot::take();
    frame();
    frame();
    EXPECT_EQ(Bus::instance().x, back.x);
    EXPECT_EQ(Bus::instance().progress, back.progress);
    EXPECT_NE(Gauge::instance().phase, frozenAt);
}

TEST_P(GameAtFrameRate, AMissDrivesPastAndTheNextAttemptWaitsForTheGrunt) {
    startGame(everySound("long.mp3"));
    useClock(GetParam(), true);
    ASSERT_TRUE(aimForMiss());
    const double frozenAt = Gauge::instance().phase;
    pressSpace();
    ASSERT_EQ(game.state, GameState::Missed);
    EXPECT_FALSE(playing("loop.mp3"));
    EXPECT_TRUE(playing("bus_miss.mp3"));
    EXPECT_EQ(Bus::instance().progress, 0.0f);

    bool gruntStarted = false;
    Snapshot before = Snapshot::take();
    for (int i = 0; i < 30 * GetParam() && game.state == GameState::Missed; ++i) {
        before = Snapshot::take();
        frame();
        const Snapshot after = Snapshot::take();
        ASSERT_TRUE(after.busArriving) << "nobody boards";
        if (!before.soundPlayed) {
            ASSERT_EQ(after.soundPlayed, before.progress > 0.8);
            if (after.soundPlayed) {
                gruntStarted = true;
                ASSERT_GE(after.lastGrunt, 1);
                ASSERT_LE(after.lastGrunt, 4);
                EXPECT_TRUE(playing("grunt" + std::to_string(after.lastGrunt) + ".mp3"));
            }
        }
        if (after.state == GameState::Missed) {
            ASSERT_EQ(after.phase, frozenAt) << "the gauge stands still";
            ASSERT_GT(after.progress, before.progress);
        } else {
            EXPECT_GE(before.progress, 1.0f);
            EXPECT_EQ(after.progress, before.progress) << "no move in the frame that ends it";
            EXPECT_FALSE(anyGruntPlaying());
        }
    }
    EXPECT_TRUE(gruntStarted);
    ASSERT_EQ(game.state, GameState::Aiming);
    // A grunt of about two seconds starting at 0.8 carries the bus far beyond 1.0.
    EXPECT_GT(Bus::instance().progress, 1.3f);
    EXPECT_FALSE(game.soundPlayed);
    EXPECT_FALSE(Gauge::instance().frozen);
    EXPECT_TRUE(playing("loop.mp3"));

    const float leftAt = Bus::instance().progress;
    frame();
    EXPECT_EQ(Bus::instance().progress, leftAt);
    EXPECT_NE(Gauge::instance().phase, frozenAt);
}

INSTANTIATE_TEST_SUITE_P(FramesPerSecond, GameAtFrameRate, ::testing::Values(60, 7));

TEST_F(GameTest, WithoutSoundsTheGameCyclesAndReactionsNeverRepeat) {
    startGame({});
    useClock(60, false);
    std::vector<std::pair<char, int>> chosen; // 'g'runt or 's'uccess, in order of choice
    Score expected;
    // Hits and misses in a scripted order with streaks of several lengths.
    const std::string script = "HMHHMHHHHHMMHHHMHHMHMHHHHHHHMHHMHHHMHHMH";
    for (int attempt = 0; attempt < static_cast<int>(script.size()); ++attempt) {
        const bool hit = script[attempt] == 'H';
        ASSERT_TRUE(hit ? aimForHit() : aimForMiss());
        pressSpace();
        ASSERT_EQ(game.state, hit ? GameState::Hit : GameState::Missed);
        // What the overlay shows follows the run: a miss ends the streak.
        expected.attempts += 1;
        (hit ? expected.hits : expected.misses) += 1;
        expected.streak = hit ? expected.streak + 1 : 0;
        expected.bestStreak = std::max(expected.bestStreak, expected.streak);
        char shown[160];
        scene.overlay.format(game.score, Application::instance().frameTimer(), shown, sizeof shown);
        char wanted[80];
        std::snprintf(wanted, sizeof wanted, "attempts %d  hits %d  misses %d\nstreak %d  best %d",
                      expected.attempts, expected.hits, expected.misses, expected.streak,
                      expected.bestStreak);
        ASSERT_NE(std::string(shown).find(wanted), std::string::npos) << shown;
        Snapshot before = Snapshot::take();
        while (game.state != GameState::Aiming) {
            before = Snapshot::take();
            frame();
            ASSERT_LT(clock, 1e5) << "attempt " << attempt << " never ends";
        }
        const float progress = Bus::instance().progress;
        if (hit) {
            EXPECT_GE(progress, 1.1f);
            chosen.emplace_back('s', game.lastSuccess);
        } else {
            // Nothing to wait for: back as soon as the bus reaches the end point.
            EXPECT_GE(progress, 1.0f);
            EXPECT_LT(before.progress - progressPerFrame(), 1.0f);
            chosen.emplace_back('g', game.lastGrunt);
        }
        EXPECT_TRUE(game.busArriving);
    }

    int previousGrunt = 0;
    int previousSuccess = 0;
    int successes = 0;
    for (const auto& choice : chosen) {
        int& previous = choice.first == 'g' ? previousGrunt : previousSuccess;
        EXPECT_GE(choice.second, 1);
        EXPECT_LE(choice.second, choice.first == 'g' ? 4 : 2);
        EXPECT_NE(choice.second, previous) << "the same reaction twice in a row";
        previous = choice.second;
        successes += choice.first == 's';
    }
    EXPECT_GT(successes, 20);
    EXPECT_EQ(game.score.bestStreak, 7);

    // The generator is never seeded, which makes it behave as if seeded with
    // 1: every run of the game hears exactly this sequence.
    std::srand(1);
    previousGrunt = previousSuccess = 0;
    for (const auto& choice : chosen) {
        const int count = choice.first == 'g' ? 4 : 2;
        int& previous = choice.first == 'g' ? previousGrunt : previousSuccess;
        int n = 0;
        do {
            n = std::rand() % count + 1;
        } while (n == previous);
        previous = n;
        EXPECT_EQ(choice.second, n);
    }
}

} // namespace
