// The synthesiser's building blocks that the music's loop seam relies on.
#include "AudioBuffer.h"
#include "Instruments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

TEST(Instruments, NoteNamesGiveEqualTemperedFrequencies) {
    EXPECT_DOUBLE_EQ(instruments::frequency("A4"), 440.0);
    EXPECT_NEAR(instruments::frequency("C4"), 261.626, 0.001);
    EXPECT_NEAR(instruments::frequency("Eb3"), 155.563, 0.001);
    EXPECT_NEAR(instruments::frequency("F#5"), 739.989, 0.001);
    EXPECT_DOUBLE_EQ(instruments::frequency("-"), 0.0);
}

// Every note must be silent from its given length on: the loop is composed
// so that nothing sounds where the MP3 encoder's delay and padding go.
TEST(Instruments, NotesEndByTheirLength) {
    Noise noise(1);
    AudioBuffer out(AudioBuffer::framesOf(1.0));
    const double start = 0.1, length = 0.3;
    instruments::pluck(out, start, length, 440.0, 0.5f, 0.0f);
    instruments::bell(out, start, length, 880.0, 0.5f, 0.3f);
    instruments::bass(out, start, length, 55.0, 0.5f);
    instruments::chord(out, start, length, {261.6, 329.6, 392.0}, 0.5f, -0.2f);
    instruments::brass(out, start, length, 220.0, 0.5f, 0.0f, 0.5);
    instruments::hat(out, start, length, 0.5f, noise);
    instruments::crash(out, start, length, 0.5f, noise);
    size_t end = AudioBuffer::framesOf(start + length);
    float before = 0.0f;
    for (size_t i = AudioBuffer::framesOf(start); i < end; ++i) {
        before = std::max(before, std::fabs(out.left[i]));
    }
    EXPECT_GT(before, 0.05f);
    for (size_t i = end; i < out.frames(); ++i) {
        ASSERT_EQ(out.left[i], 0.0f) << "frame " << i;
        ASSERT_EQ(out.right[i], 0.0f) << "frame " << i;
    }
    for (size_t i = 0; i < AudioBuffer::framesOf(start); ++i) {
        ASSERT_EQ(out.left[i], 0.0f);
    }
}

TEST(AudioBuffer, PanningMovesSoundBetweenTheSides) {
    AudioBuffer out(3);
    out.add(0, 1.0f, -1.0f);
    out.add(1, 1.0f, 1.0f);
    out.add(2, 1.0f, 0.0f);
    EXPECT_NEAR(out.left[0], 1.0f, 1e-6);
    EXPECT_NEAR(out.right[0], 0.0f, 1e-6);
    EXPECT_NEAR(out.left[1], 0.0f, 1e-6);
    EXPECT_NEAR(out.right[1], 1.0f, 1e-6);
    EXPECT_NEAR(out.left[2], out.right[2], 1e-6);
    out.add(5, 1.0f); // outside: dropped, not a crash
}

TEST(AudioBuffer, NoiseIsTheSameOnEveryRun) {
    Noise a(42), b(42), c(43);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        float x = a.next();
        ASSERT_EQ(x, b.next());
        ASSERT_GE(x, -1.0f);
        ASSERT_LT(x, 1.0f);
        differs = differs || x != c.next();
    }
    EXPECT_TRUE(differs);
}

TEST(AudioBuffer, WritesA16BitStereoWav) {
    AudioBuffer out(4);
    out.left = {0.0f, 0.5f, -1.0f, 2.0f};
    out.right = {0.0f, -0.5f, 1.0f, -2.0f};
    std::string path = ::testing::TempDir() + "synth_test.wav";
    ASSERT_TRUE(out.writeWav(path));
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    ASSERT_EQ(bytes.size(), 44u + 16u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    auto sample = [&](int frame, int side) {
        size_t at = 44 + frame * 4 + side * 2;
        return static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8));
    };
    EXPECT_EQ(sample(1, 0), 16384);
    EXPECT_EQ(sample(1, 1), -16384);
    EXPECT_EQ(sample(3, 0), 32767); // clipped, not wrapped
    EXPECT_EQ(sample(3, 1), -32767);
}

} // namespace
