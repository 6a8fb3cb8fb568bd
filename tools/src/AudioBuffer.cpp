// Stereo mixing buffer and its WAV output.
#include "AudioBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void AudioBuffer::add(long i, float value, float pan) {
    if (i < 0 || static_cast<size_t>(i) >= left.size()) {
        return;
    }
    // Equal-power pan: centre keeps 0.707 on each side.
    float angle = (pan + 1.0f) * 0.25f * 3.14159265f;
    left[i] += value * std::cos(angle);
    right[i] += value * std::sin(angle);
}

float AudioBuffer::peak() const {
    float p = 0.0f;
    for (size_t i = 0; i < left.size(); ++i) {
        p = std::max(p, std::max(std::fabs(left[i]), std::fabs(right[i])));
    }
    return p;
}

void AudioBuffer::normalise(float level) {
    float p = peak();
    if (p <= 0.0f) {
        return;
    }
    float gain = level / p;
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] *= gain;
        right[i] *= gain;
    }
}

void AudioBuffer::fadeOutTo(size_t first, size_t count) {
    for (size_t i = first; i < left.size(); ++i) {
        float g = i < first + count ? 1.0f - static_cast<float>(i - first) / count : 0.0f;
        left[i] *= g;
        right[i] *= g;
    }
}

namespace {

void put16(std::FILE* f, uint16_t v) {
    unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

void put32(std::FILE* f, uint32_t v) {
    put16(f, static_cast<uint16_t>(v));
    put16(f, static_cast<uint16_t>(v >> 16));
}

int16_t toPcm(float s) {
    float clamped = std::max(-1.0f, std::min(1.0f, s));
    return static_cast<int16_t>(std::lround(clamped * 32767.0f));
}

} // namespace

bool AudioBuffer::writeWav(const std::string& path) const {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    uint32_t dataBytes = static_cast<uint32_t>(left.size() * 4);
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1); // PCM
    put16(f, 2);
    put32(f, kRate);
    put32(f, kRate * 4);
    put16(f, 4);
    put16(f, 16);
    std::fwrite("data", 1, 4, f);
    put32(f, dataBytes);
    for (size_t i = 0; i < left.size(); ++i) {
        put16(f, static_cast<uint16_t>(toPcm(left[i])));
        put16(f, static_cast<uint16_t>(toPcm(right[i])));
    }
    bool ok = std::ferror(f) == 0;
    return std::fclose(f) == 0 && ok;
}

float Noise::next() {
    // xorshift32
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<float>(state) / 2147483648.0f - 1.0f;
}
