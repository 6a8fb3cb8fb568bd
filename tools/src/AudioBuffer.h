// A stereo sound being synthesised: 32-bit float samples at 44.1 kHz that
// instruments add into, written out as a 16-bit WAV file for the encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class AudioBuffer {
  public:
    static constexpr int kRate = 44100;

    explicit AudioBuffer(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}

    size_t frames() const { return left.size(); }
    static size_t framesOf(double seconds) { return static_cast<size_t>(seconds * kRate + 0.5); }

    // Adds one sample at frame i, pan -1 (left) .. 1 (right), equal power;
    // frames outside the buffer are dropped.
    void add(long i, float value, float pan = 0.0f);
    float peak() const;
    // Scales everything so the peak is `level` (linear).
    void normalise(float level);
    // Multiplies frames [first, first + count) by a ramp from 1 down to 0, and
    // everything after it by 0.
    void fadeOutTo(size_t first, size_t count);

    bool writeWav(const std::string& path) const;

    std::vector<float> left;
    std::vector<float> right;
};

// Deterministic white noise, the same on every machine and every run.
class Noise {
  public:
    explicit Noise(uint32_t seed) : state(seed ? seed : 1u) {}
    float next(); // uniform in [-1, 1)

  private:
    uint32_t state;
};
