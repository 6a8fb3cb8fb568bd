// Random: a small, fast generator of random numbers (splitmix64) that gives
// the same sequence from the same seed on every machine, and the engine's
// own generator on the run's seed, which a recording keeps: a game that
// draws its chance from gameRandom() replays exactly (docs/engine.md,
// "Recording and replaying a run").
#pragma once

#include <cstdint>

namespace velmora {

class Random {
  public:
    explicit Random(std::uint64_t seed = 0) : state(seed) {}

    // Starts the sequence again from `seed`.
    void reseed(std::uint64_t seed) { state = seed; }

    // 64 random bits.
    std::uint64_t next();
    // A whole number in 0 … n − 1, every one as likely; 0 when n ≤ 0.
    int below(int n);
    // A whole number in low … high, both included; low when high < low.
    int between(int low, int high);
    // A number in [0, 1).
    double fraction();
    // A number in [low, high).
    float uniform(float low, float high);

  private:
    std::uint64_t state;
};

// The seed of this run: a new one every run; the recorded one while a
// recording is replayed; or the number in the environment variable
// VELMORA_SEED (decimal or 0x… hexadecimal), to run with a chosen seed.
// Chosen by Application::init, before the scene's load hook; 0 before it.
std::uint64_t runSeed();

// The engine's generator, seeded with runSeed() by Application::init before
// the scene's load hook. Main thread only.
Random& gameRandom();

} // namespace velmora
