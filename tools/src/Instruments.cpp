// Instruments built from band-limited additive oscillators, filtered noise
// and simple envelopes.
#include "Instruments.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace instruments {

namespace {

const double kTwoPi = 6.283185307179586;

long frameOf(double seconds) {
    return std::lround(seconds * AudioBuffer::kRate);
}

// Envelope: linear attack, exponential decay with time constant `decay`, and
// a linear release over the last `release` seconds of the note's length.
float envelope(double t, double length, double attack, double decay, double release) {
    if (t < 0.0 || t >= length) {
        return 0.0f;
    }
    double a = t < attack ? t / attack : 1.0;
    double d = decay > 0.0 ? std::exp(-(t - std::min(t, attack)) / decay) : 1.0;
    double r = t > length - release ? (length - t) / release : 1.0;
    return static_cast<float>(a * d * r);
}

// Band-limited sawtooth by summing harmonics below 12 kHz.
double saw(double phase, double freq) {
    int harmonics = std::max(1, std::min(40, static_cast<int>(12000.0 / freq)));
    double sum = 0.0;
    for (int k = 1; k <= harmonics; ++k) {
        sum += std::sin(k * phase) / k;
    }
    return sum * 0.55;
}

double square(double phase, double freq) {
    int harmonics = std::max(1, std::min(40, static_cast<int>(12000.0 / freq)));
    double sum = 0.0;
    for (int k = 1; k <= harmonics; k += 2) {
        sum += std::sin(k * phase) / k;
    }
    return sum * 0.9;
}

} // namespace

double frequency(const char* name) {
    static const int offsets[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G from C
    if (!name || name[0] == '-' || name[0] == '\0') {
        return 0.0;
    }
    int letter = std::toupper(static_cast<unsigned char>(name[0])) - 'A';
    if (letter < 0 || letter > 6) {
        return 0.0;
    }
    int semitone = offsets[letter];
    const char* p = name + 1;
    if (*p == '#') {
        ++semitone;
        ++p;
    } else if (*p == 'b') {
        --semitone;
        ++p;
    }
    int octave = std::atoi(p);
    int midi = (octave + 1) * 12 + semitone;
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

void pluck(AudioBuffer& out, double start, double length, double freq, float gain, float pan) {
    long first = frameOf(start);
    long count = frameOf(length);
    for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        double phase = kTwoPi * freq * t;
        double v = 0.6 * square(phase, freq) + 0.4 * saw(phase * 1.003, freq);
        out.add(first + i, gain * envelope(t, length, 0.004, 0.18, 0.012) * static_cast<float>(v),
                pan);
    }
}

void bell(AudioBuffer& out, double start, double length, double freq, float gain, float pan) {
    long first = frameOf(start);
    long count = frameOf(length);
    for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        double index = 2.2 * std::exp(-t / 0.12);
        double v = std::sin(kTwoPi * freq * t + index * std::sin(kTwoPi * freq * 3.5 * t));
        out.add(first + i, gain * envelope(t, length, 0.002, 0.35, 0.015) * static_cast<float>(v),
                pan);
    }
}

void bass(AudioBuffer& out, double start, double length, double freq, float gain) {
    long first = frameOf(start);
    long count = frameOf(length);
    for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        double phase = kTwoPi * freq * t;
        double v = std::sin(phase) + 0.3 * std::sin(2 * phase) + 0.12 * std::sin(3 * phase);
        out.add(first + i, gain * envelope(t, length, 0.005, 0.35, 0.02) * static_cast<float>(v));
    }
}

void chord(AudioBuffer& out, double start, double length, const std::vector<double>& freqs,
           float gain, float pan) {
    long first = frameOf(start);
    long count = frameOf(length);
    float per = gain / static_cast<float>(freqs.size());
    float low = 0.0f; // one-pole low-pass state, keeps the stab soft
    for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        double v = 0.0;
        for (double f : freqs) {
            v += saw(kTwoPi * f * t, f) + saw(kTwoPi * f * 1.006 * t, f);
        }
        low += 0.35f * (static_cast<float>(v) - low);
        out.add(first + i, per * envelope(t, length, 0.003, 0.09, 0.012) * low, pan);
    }
}

void brass(AudioBuffer& out, double start, double length, double freq, float gain, float pan,
           double decay) {
    long first = frameOf(start);
    long count = frameOf(length);
    float low = 0.0f;
    double phase = 0.0;
    for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        double vibrato = 1.0 + 0.006 * std::sin(kTwoPi * 5.5 * t) * std::min(1.0, t / 0.3);
        phase += kTwoPi * freq * vibrato / AudioBuffer::kRate;
        double v = saw(phase, freq) + 0.5 * saw(phase * 0.5, freq * 0.5);
        // The filter opens with the attack, the way a horn brightens.
        float cutoff = 0.08f + 0.4f * static_cast<float>(std::min(1.0, t / 0.06));
        low += cutoff * (static_cast<float>(v) - low);
        out.add(first + i, gain * envelope(t, length, 0.03, decay, 0.08) * low, pan);
    }
}

void kick(AudioBuffer& out, double start, float gain) {
    long first = frameOf(start);
    double length = 0.22;
    long count = frameOf(length);
    double phase = 0.0;
    for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        double f = 45.0 + 110.0 * std::exp(-t / 0.03);
        phase += kTwoPi * f / AudioBuffer::kRate;
        out.add(first + i, gain * envelope(t, length, 0.001, 0.09, 0.02) *
                               static_cast<float>(std::sin(phase)));
    }
}

void snare(AudioBuffer& out, double start, float gain, Noise& noise) {
    long first = frameOf(start);
    double length = 0.18;
    long count = frameOf(length);
    float low = 0.0f;
    for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        float n = noise.next();
        low += 0.5f * (n - low);
        float bright = n - low; // high half of the noise
        double tone = std::sin(kTwoPi * 190.0 * t) * std::exp(-t / 0.03);
        float v = 0.7f * bright * envelope(t, length, 0.001, 0.05, 0.02) + 0.5f * tone;
        out.add(first + i, gain * v, 0.1f);
    }
}

void hat(AudioBuffer& out, double start, double length, float gain, Noise& noise) {
    long first = frameOf(start);
    long count = frameOf(length);
    float low = 0.0f;
    for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        float n = noise.next();
        low += 0.8f * (n - low);
        float v = (n - low) * envelope(t, length, 0.001, length * 0.35, 0.01);
        out.add(first + i, gain * v, 0.35f);
    }
}

void crash(AudioBuffer& out, double start, double length, float gain, Noise& noise) {
    long first = frameOf(start);
    long count = frameOf(length);
    float low = 0.0f;
    for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        float n = noise.next();
        low += 0.6f * (n - low);
        float v = (n - low) * envelope(t, length, 0.002, 0.45, 0.05);
        out.add(first + i, gain * v, -0.3f);
    }
}

} // namespace instruments
