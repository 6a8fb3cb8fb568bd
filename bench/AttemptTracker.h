// AttemptTracker: follows the game's attempts from the outside during a soak.
// An attempt starts when a press of the space bar takes the game out of
// aiming and ends when the game is back in aiming; each must end within a
// deadline of game time. It also catches the two ways the state machine can
// go wrong around a press: a press while aiming that starts no attempt, and
// an attempt that starts without any press.
#pragma once

#include <cstdint>

class AttemptTracker {
  public:
    explicit AttemptTracker(double deadlineSeconds) : deadline(deadlineSeconds) {}

    // A press of the space bar was delivered at `time`; `aimingBefore` is
    // whether the game was aiming just before it.
    void press(double time, bool aimingBefore);

    // The game's state at the end of a frame (after any press of that frame).
    void observe(double time, bool aiming);

    // True when no attempt overran its deadline, every press while aiming
    // started an attempt and no attempt started by itself.
    bool healthy() const { return overdue == 0 && ignored == 0 && unprompted == 0; }

    std::uint64_t presses = 0;       // presses delivered
    std::uint64_t pressesAiming = 0; // of which while aiming
    std::uint64_t started = 0;       // attempts begun
    std::uint64_t finished = 0;      // attempts back in aiming
    std::uint64_t overdue = 0;       // attempts not back within the deadline
    std::uint64_t ignored = 0;       // presses while aiming that started nothing
    std::uint64_t unprompted = 0;    // attempts begun without a press
    double longest = 0.0;            // longest finished attempt, seconds
    bool inAttempt = false;

  private:
    void finish(double time);

    double deadline;
    double attemptStart = 0.0;
    bool overdueCounted = false;
    bool pendingPress = false; // a press while aiming not yet seen to leave aiming
    bool wasAiming = false;
    bool seenFrame = false;
};
