// Game: the rules of the bus-stop game. While aiming, the gauge swings; a
// press of the space bar judges it. A hit brings the bus to the stop, the man
// boards and the bus drives off to a success sound; a miss sends the bus past
// while the man grunts. Then the next attempt starts, without end.
#pragma once

namespace velmora {
class SoundManager;
} // namespace velmora
using namespace velmora;

class Bus;
class Gauge;

enum class GameState { NotStarted = 0, Aiming = 1, Missed = 2, Hit = 3 };

// The player's record since the game started. Every judged press is an
// attempt; a hit lengthens the current streak, a miss ends it.
struct Score {
    int attempts = 0;
    int hits = 0;
    int misses = 0;
    int streak = 0;     // hits in a row up to now
    int bestStreak = 0; // the longest streak so far

    void record(bool hit);
};

class Game {
  public:
    // Takes hold of the bus, the gauge and the sound manager, puts the bus at
    // its start point and starts aiming. Expects the music to be playing.
    void reset();
    // The player's press: while aiming, freezes the gauge and decides.
    void judge();
    // One time step of dt seconds.
    void update(double dt);

    float tolerance = 0.15f;  // half-width of the hit window around the middle
    bool busArriving = false; // the man is still at the stop
    float stateTimer = 0.0f;  // seconds in Hit since the bus stopped
    bool soundPlayed = false; // this attempt's grunt or success sound has started
    int lastGrunt = 0;        // 1 to 4, the grunt chosen last
    int lastSuccess = 0;      // 1 or 2, the success sound chosen last
    Bus* bus = nullptr;
    Gauge* gauge = nullptr;
    SoundManager* sound = nullptr;
    GameState state = GameState::NotStarted;
    Score score; // read by the overlay, written only by judge()

  private:
    void updateMissed(double dt);
    void updateHit(double dt);
    void startAttempt(GameState outcome, const char* busSound);
    void backToAiming();
    bool gruntPlaying();
};

extern Game game;
