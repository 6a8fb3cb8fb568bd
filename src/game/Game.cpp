// Game: the attempt state machine, its sounds and its timing.
#include "game/Game.h"

#include "velmora/SoundManager.h"
#include "game/Bus.h"
#include "game/Gauge.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace velmora;

Game game;

namespace {

constexpr const char* kMusic = "loop.mp3";
constexpr int kGruntCount = 4;
constexpr int kSuccessCount = 2;

// In a hit the bus stops once it is past this progress, the man boards after
// the timer passes kBoardAfter, the success sound follows, then the bus leaves
// and the attempt ends once it is out of the picture.
constexpr double kStopProgress = 0.42;
constexpr double kBoardAfter = 0.8;
constexpr double kSuccessAfter = 0.9;
constexpr double kLeaveAfter = 1.3;
constexpr double kHitDoneProgress = 1.1;
// In a miss the man grunts once the bus is past kGruntProgress; the attempt
// ends when the bus has reached its end point and the grunt is over.
constexpr double kGruntProgress = 0.8;
constexpr double kMissDoneProgress = 1.0;

// A sound number from 1 to count that differs from the previous one, so the
// same reaction never plays twice in a row. The generator is left unseeded:
// every run hears the same sequence.
int chooseOtherThan(int previous, int count) {
    if (count < 2) {
        return 1;
    }
    int n = 0;
    do {
        n = std::rand() % count + 1;
    } while (n == previous);
    return n;
}

void formatName(char (&buffer)[32], const char* pattern, int n) {
    std::snprintf(buffer, sizeof buffer, pattern, n);
}

} // namespace

void Score::record(bool hit) {
    ++attempts;
    if (hit) {
        ++hits;
        ++streak;
        bestStreak = std::max(bestStreak, streak);
    } else {
        ++misses;
        streak = 0;
    }
}

void Game::reset() {
    sound = &SoundManager::instance();
    bus = &Bus::instance();
    gauge = &Gauge::instance();
    bus->reset();
    busArriving = true;
    stateTimer = 0.0f;
    state = GameState::Aiming;
}

void Game::judge() {
    if (state != GameState::Aiming) {
        return;
    }
    // Frozen, not flipped: the gauge must stand still during the attempt
    // whatever state it was left in.
    gauge->frozen = true;
    const float v = gauge->value() - 0.5f;
    const bool hit = -tolerance <= v && v <= tolerance;
    score.record(hit);
    if (hit) {
        startAttempt(GameState::Hit, "bus_stop.mp3");
    } else {
        startAttempt(GameState::Missed, "bus_miss.mp3");
    }
}

void Game::startAttempt(GameState outcome, const char* busSound) {
    // The music pauses for the attempt and resumes with the next aim. Each
    // is one call that does nothing when the music is already so: a blind
    // flip would leave the music paused for aiming and playing through
    // attempts once a lost audio device is back.
    sound->pause(kMusic);
    sound->play(busSound, false);
    bus->reset();
    state = outcome;
}

void Game::backToAiming() {
    sound->resume(kMusic);
    busArriving = true;
    stateTimer = 0.0f;
    gauge->frozen = false;
    soundPlayed = false;
    state = GameState::Aiming;
}

void Game::update(double dt) {
    switch (state) {
    case GameState::Missed:
        updateMissed(dt);
        break;
    case GameState::Hit:
        updateHit(dt);
        break;
    case GameState::NotStarted:
    case GameState::Aiming:
        break; // only the gauge moves, on its own clock
    }
}

bool Game::gruntPlaying() {
    char name[32];
    for (int n = 1; n <= kGruntCount; ++n) {
        formatName(name, "grunt%d.mp3", n);
        if (sound->isPlaying(name)) {
            return true;
        }
    }
    return false;
}

void Game::updateMissed(double dt) {
    // Both tests look at where the bus stood before this frame's move.
    if (bus->progress > kGruntProgress && !soundPlayed) {
        soundPlayed = true;
        lastGrunt = chooseOtherThan(lastGrunt, kGruntCount);
        char name[32];
        formatName(name, "grunt%d.mp3", lastGrunt);
        sound->play(name, false);
    }
    if (bus->progress >= kMissDoneProgress && !gruntPlaying()) {
        backToAiming();
        return;
    }
    bus->update(static_cast<float>(dt));
}

void Game::updateHit(double dt) {
    if (busArriving) {
        if (bus->progress <= kStopProgress) {
            bus->update(static_cast<float>(dt));
            return;
        }
        stateTimer = static_cast<float>(stateTimer + dt);
        if (stateTimer > kBoardAfter) {
            busArriving = false; // the man has boarded
        }
        return;
    }

    stateTimer = static_cast<float>(stateTimer + dt);
    if (stateTimer > kSuccessAfter && !soundPlayed) {
        lastSuccess = chooseOtherThan(lastSuccess, kSuccessCount);
        char name[32];
        formatName(name, "succes%d.mp3", lastSuccess);
        sound->play(name, false);
        soundPlayed = true;
    }
    if (stateTimer > kLeaveAfter) {
        bus->update(static_cast<float>(dt));
        if (bus->progress >= kHitDoneProgress) {
            backToAiming();
        }
    }
}
