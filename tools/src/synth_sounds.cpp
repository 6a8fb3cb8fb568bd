// synth_sounds: composes the game's music and sound effects and writes them
// as 16-bit stereo WAV files at 44.1 kHz for the MP3 encoder.
//
//   synth_sounds OUT_DIR
//
// Writes loop.wav, succes1.wav, succes2.wav, stab.wav, bus_miss.wav and
// bus_stop.wav. Everything is deterministic: the noise has fixed seeds.
//
// The music loop and the MP3 encoder: a decoder without gapless metadata
// (miniaudio's) plays an MP3 as encoder delay (1105 frames of silence), the
// music, then padding up to a whole number of 1152-frame MP3 frames. So the
// loop is composed to be exactly kLoopMp3Frames MP3 frames long and to be
// silent in its last kLoopSilentTail frames; the WAV leaves those frames out
// (kLoopTrim of them), and the encoder's delay and padding take their place.
// Decoded and looped, the stream is then the music itself, seamlessly.
#include "AudioBuffer.h"
#include "Instruments.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace instruments;

namespace {

const double kTwoPi = 6.283185307179586;

// 612 MP3 frames of 1152: 705024 frames, 15.987 s, 32 beats at 120.1 BPM.
const long kLoopMp3Frames = 612;
const long kLoopFrames = kLoopMp3Frames * 1152;
const long kBeatFrames = kLoopFrames / 32;
// Frames the WAV leaves out at the end: the encoder's delay (1105) plus the
// least padding it adds before it starts another MP3 frame.
const long kLoopTrim = 1200;
// Nothing may sound in this many frames before the loop's end.
const long kLoopSilentTail = 1600;

double beats(double b) {
    return b * kBeatFrames / AudioBuffer::kRate;
}

// A note of the loop, checked against the silent tail the seam needs.
struct LoopScore {
    AudioBuffer& out;
    bool sound = true;

    void check(double start, double length) {
        if ((start + length) * AudioBuffer::kRate > kLoopFrames - kLoopSilentTail) {
            std::fprintf(stderr, "synth_sounds: a note at %.3f s rings into the loop seam\n",
                         start);
            sound = false;
        }
    }
};

std::vector<double> chordOf(const char* root) {
    std::string r = root;
    if (r == "C") {
        return {frequency("C4"), frequency("E4"), frequency("G4")};
    }
    if (r == "Am") {
        return {frequency("A3"), frequency("C4"), frequency("E4")};
    }
    if (r == "F") {
        return {frequency("F3"), frequency("A3"), frequency("C4")};
    }
    return {frequency("G3"), frequency("B3"), frequency("D4")};
}

double bassRoot(const char* chord) {
    std::string r = chord;
    return frequency(r == "C" ? "C2" : r == "Am" ? "A1" : r == "F" ? "F2" : "G2");
}

struct MelodyNote {
    const char* pitch;
    double length; // beats
};

bool composeLoop(const std::string& path) {
    AudioBuffer out(kLoopFrames);
    LoopScore score{out};
    Noise noise(0x5eed1234u);
    const char* bars[8] = {"C", "Am", "F", "G", "C", "Am", "F", "G"};
    const std::vector<std::vector<MelodyNote>> melody = {
        {{"E5", .5},
         {"G5", .5},
         {"C6", .5},
         {"G5", .5},
         {"E5", .5},
         {"G5", .5},
         {"E5", .5},
         {"D5", .5}},
        {{"C5", .5}, {"E5", .5}, {"A5", 1}, {"G5", .5}, {"E5", .5}, {"C5", 1}},
        {{"A4", .5},
         {"C5", .5},
         {"F5", .5},
         {"A5", .5},
         {"G5", .5},
         {"F5", .5},
         {"E5", .5},
         {"C5", .5}},
        {{"D5", 1}, {"G5", .5}, {"F5", .5}, {"E5", .5}, {"D5", .5}, {"B4", 1}},
        {{"E5", .5},
         {"G5", .5},
         {"C6", .5},
         {"G5", .5},
         {"E5", .5},
         {"G5", .5},
         {"C6", .5},
         {"D6", .5}},
        {{"E6", 1}, {"D6", .5}, {"C6", .5}, {"A5", 1}, {"E5", 1}},
        {{"F5", .5},
         {"A5", .5},
         {"C6", .5},
         {"A5", .5},
         {"G5", .5},
         {"F5", .5},
         {"E5", .5},
         {"D5", .5}},
        {{"G5", 1.5}, {"D5", .5}, {"B4", .5}, {"D5", .5}, {"F5", .5}, {"D5", .5}},
    };
    for (int bar = 0; bar < 8; ++bar) {
        double b0 = bar * 4.0;
        bool last = bar == 7;
        // Bass: root, fifth on the off-beat, root, octave; short in the last
        // bar so the phrase breathes before it starts again.
        double root = bassRoot(bars[bar]);
        const double bassNotes[4][3] = {
            {0.0, 0.8, root}, {1.5, 0.4, root * 1.5}, {2.0, 0.8, root}, {3.5, 0.3, root * 2}};
        for (const auto& n : bassNotes) {
            score.check(beats(b0 + n[0]), beats(n[1]));
            bass(out, beats(b0 + n[0]), beats(n[1]), n[2], 0.55f);
        }
        // Chords on the off-beats.
        for (double off : {0.5, 1.5, 2.5, 3.5}) {
            score.check(beats(b0 + off), beats(0.22));
            chord(out, beats(b0 + off), beats(0.22), chordOf(bars[bar]), 0.5f, -0.25f);
        }
        // Drums.
        kick(out, beats(b0), 0.75f);
        kick(out, beats(b0 + 2.0), 0.75f);
        if (bar % 2 == 1) {
            kick(out, beats(b0 + 2.5), 0.5f);
        }
        snare(out, beats(b0 + 1.0), 0.38f, noise);
        snare(out, beats(b0 + 3.0), 0.38f, noise);
        if (last) {
            snare(out, beats(b0 + 3.25), 0.25f, noise);
        }
        for (int e = 0; e < 8; ++e) {
            double len = e == 7 ? 0.3 : 0.1;
            hat(out, beats(b0 + e * 0.5), beats(len), e % 2 ? 0.09f : 0.14f, noise);
        }
        score.check(beats(b0 + 3.25), 0.18);
        // Melody, staccato, with a bell doubling it an octave up on the downbeats.
        double t = b0;
        for (const MelodyNote& n : melody[bar]) {
            double f = frequency(n.pitch);
            if (f > 0.0) {
                score.check(beats(t), beats(n.length * 0.85));
                pluck(out, beats(t), beats(n.length * 0.85), f, 0.2f, 0.2f);
                if (t == b0 || t == b0 + 2.0) {
                    bell(out, beats(t), beats(n.length * 0.9), f * 2, 0.09f, 0.4f);
                }
            }
            t += n.length;
        }
    }
    if (!score.sound) {
        return false;
    }
    out.normalise(0.89f);
    // The encoder's delay and padding stand in for the silent last frames.
    out.left.resize(kLoopFrames - kLoopTrim);
    out.right.resize(kLoopFrames - kLoopTrim);
    return out.writeWav(path);
}

bool composeSuccess1(const std::string& path) {
    AudioBuffer out(AudioBuffer::framesOf(1.25));
    Noise noise(0x1234u);
    const char* arpeggio[4] = {"C5", "E5", "G5", "C6"};
    for (int i = 0; i < 4; ++i) {
        double f = frequency(arpeggio[i]);
        bell(out, 0.08 * i, 0.5, f * 2, 0.25f, -0.3f + 0.2f * i);
        pluck(out, 0.08 * i, 0.12, f, 0.25f, -0.3f + 0.2f * i);
    }
    for (const char* n : {"C5", "E5", "G5", "C6"}) {
        brass(out, 0.36, 0.8, frequency(n), 0.16f, 0.0f, 0.5);
    }
    bass(out, 0.36, 0.7, frequency("C3"), 0.5f);
    kick(out, 0.36, 0.6f);
    crash(out, 0.36, 0.85, 0.25f, noise);
    out.fadeOutTo(AudioBuffer::framesOf(1.15), AudioBuffer::framesOf(0.1));
    out.normalise(0.89f);
    return out.writeWav(path);
}

bool composeSuccess2(const std::string& path) {
    AudioBuffer out(AudioBuffer::framesOf(1.35));
    Noise noise(0x4321u);
    // "Ta-daa": a short pickup chord, then the held major chord with sparkle.
    for (const char* n : {"G4", "B4", "D5"}) {
        brass(out, 0.0, 0.16, frequency(n), 0.18f, -0.1f);
    }
    for (const char* n : {"C5", "E5", "G5", "C6"}) {
        brass(out, 0.22, 1.0, frequency(n), 0.16f, 0.1f, 0.7);
    }
    bass(out, 0.22, 0.9, frequency("C3"), 0.5f);
    kick(out, 0.22, 0.6f);
    crash(out, 0.22, 1.0, 0.22f, noise);
    const char* sparkle[6] = {"G6", "C7", "E7", "G6", "C7", "E7"};
    for (int i = 0; i < 6; ++i) {
        bell(out, 0.3 + 0.07 * i, 0.35, frequency(sparkle[i]), 0.08f, i % 2 ? 0.5f : -0.5f);
    }
    out.fadeOutTo(AudioBuffer::framesOf(1.2), AudioBuffer::framesOf(0.15));
    out.normalise(0.89f);
    return out.writeWav(path);
}

bool composeStab(const std::string& path) {
    AudioBuffer out(AudioBuffer::framesOf(1.3));
    Noise noise(0x57abu);
    // A dark minor hit with a low boom under it.
    for (const char* n : {"C3", "Eb3", "G3", "C4", "Eb4"}) {
        brass(out, 0.0, 1.2, frequency(n), 0.2f, 0.0f, 0.35);
    }
    chord(out, 0.0, 0.5, {frequency("C4"), frequency("Eb4"), frequency("G4")}, 0.6f, 0.0f);
    bass(out, 0.0, 1.2, frequency("C2"), 0.7f);
    kick(out, 0.0, 0.9f);
    crash(out, 0.0, 1.2, 0.35f, noise);
    out.fadeOutTo(AudioBuffer::framesOf(1.15), AudioBuffer::framesOf(0.15));
    out.normalise(0.89f);
    return out.writeWav(path);
}

// Diesel engine: harmonics of the firing frequency with a little roughness,
// plus low rumble noise. freq(t), gain(t) and pan(t) shape the drive.
template <typename Freq, typename Gain, typename Pan>
void engine(AudioBuffer& out, Freq freqAt, Gain gainAt, Pan panAt, uint32_t seed) {
    Noise noise(seed);
    const float harmonics[8] = {1.0f, 0.7f, 0.55f, 0.35f, 0.3f, 0.18f, 0.12f, 0.08f};
    double phase = 0.0;
    float rumble = 0.0f;
    float rough = 0.0f;
    for (size_t i = 0; i < out.frames(); ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        double f = freqAt(t);
        phase += kTwoPi * f / AudioBuffer::kRate;
        float n = noise.next();
        rough += 0.002f * (n - rough);
        rumble += 0.03f * (n - rumble);
        double v = 0.0;
        for (int k = 0; k < 8; ++k) {
            v += harmonics[k] * std::sin((k + 1) * phase * (1.0 + 0.0004 * k));
        }
        v *= 1.0 + 6.0 * rough; // cylinder-to-cylinder unevenness
        out.add(static_cast<long>(i), gainAt(t) * (0.25f * static_cast<float>(v) + 1.8f * rumble),
                panAt(t));
    }
}

// Tyre and wind noise: band of noise following the same gain and pan.
template <typename Gain, typename Pan>
void roadNoise(AudioBuffer& out, Gain gainAt, Pan panAt, uint32_t seed, float level) {
    Noise noise(seed);
    float low = 0.0f, low2 = 0.0f, lower = 0.0f;
    for (size_t i = 0; i < out.frames(); ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        float n = noise.next();
        // Two low-pass stages keep it a roar rather than a hiss.
        low += 0.25f * (n - low);
        low2 += 0.25f * (low - low2);
        lower += 0.04f * (low2 - lower);
        out.add(static_cast<long>(i), level * gainAt(t) * (low2 - lower), panAt(t));
    }
}

// The drive-past must be over before the next press can ask for it again.
// The shortest miss ends 2.0 s after the press, plus one frame (the bus's
// travel to its end point), and a press may come on that very frame; the
// decoder adds up to 51 ms of delay and padding to what is written here. So
// the bus fades out as it leaves the picture, about 1.83 s after the press.
const double kBusMissSeconds = 1.85;
const double kBusMissFadeOut = 0.5;

bool composeBusMiss(const std::string& path) {
    AudioBuffer out(AudioBuffer::framesOf(kBusMissSeconds));
    // The bus passes from right to left 6 m away at 15 m/s, nearest at 0.9 s,
    // as its picture crosses the middle of the screen.
    const double speed = 15.0, distance = 6.0, nearest = 0.9, sound = 343.0;
    auto offset = [=](double t) { return -speed * (t - nearest); }; // metres, + is right
    auto range = [=](double t) { return std::hypot(offset(t), distance); };
    auto doppler = [=](double t) { return 1.0 + speed / sound * offset(t) / range(t); };
    auto gain = [=](double t) {
        double fadeIn = std::min(1.0, t / 0.25);
        double fadeOut = std::min(1.0, std::max(0.0, kBusMissSeconds - t) / kBusMissFadeOut);
        return static_cast<float>(fadeIn * fadeOut * distance / range(t));
    };
    auto pan = [=](double t) { return static_cast<float>(0.9 * offset(t) / range(t)); };
    engine(
        out, [=](double t) { return 46.0 * doppler(t); }, gain, pan, 0xb05u);
    roadNoise(
        out, [=](double t) { return gain(t) * gain(t); }, pan, 0x7e5u, 2.2f);
    out.normalise(0.89f);
    return out.writeWav(path);
}

bool composeBusStop(const std::string& path) {
    AudioBuffer out(AudioBuffer::framesOf(2.3));
    Noise noise(0xd00u);
    // Approach and braking: the bus comes from the right and stops in front
    // of the stop 0.85 s in; then the air brake, then the door opens.
    const double stop = 0.85;
    auto offset = [=](double t) {
        double left = std::max(0.0, 1.0 - t / stop);
        return 14.0 * left * left;
    };
    auto gain = [=](double t) {
        double fadeIn = std::min(1.0, t / 0.15);
        double fadeOut = std::min(1.0, (2.3 - t) / 0.35);
        double idle = t < stop ? 1.0 : 0.75;
        return static_cast<float>(fadeIn * fadeOut * idle * 6.0 / std::hypot(offset(t), 6.0));
    };
    auto pan = [=](double t) { return static_cast<float>(0.8 * offset(t) / 14.0 - 0.1); };
    auto freq = [=](double t) { return t < stop ? 52.0 - 22.0 * t / stop : 30.0; };
    engine(out, freq, gain, pan, 0xb06u);
    roadNoise(
        out, [=](double t) { return t < stop ? gain(t) * (1.0f - float(t / stop)) : 0.0f; }, pan,
        0x7e6u, 1.6f);
    // Brake squeal as it slows.
    for (size_t i = AudioBuffer::framesOf(0.45); i < AudioBuffer::framesOf(0.9); ++i) {
        double t = static_cast<double>(i) / AudioBuffer::kRate;
        double u = (t - 0.45) / 0.45;
        double env = std::sin(3.14159265 * u) * (1.0 + 0.3 * std::sin(kTwoPi * 13.0 * t));
        double v = std::sin(kTwoPi * 2950.0 * t) + 0.5 * std::sin(kTwoPi * 3120.0 * t);
        out.add(static_cast<long>(i), static_cast<float>(0.05 * env * v), 0.0f);
    }
    // Air brake: a sharp hiss that dies away.
    {
        float low = 0.0f;
        for (size_t i = AudioBuffer::framesOf(0.92); i < AudioBuffer::framesOf(1.45); ++i) {
            double t = static_cast<double>(i) / AudioBuffer::kRate - 0.92;
            float n = noise.next();
            low += 0.6f * (n - low);
            float env = static_cast<float>(std::min(1.0, t / 0.01) * std::exp(-t / 0.14));
            out.add(static_cast<long>(i), 0.35f * env * (n - low), -0.1f);
        }
    }
    // Door: pneumatic hiss while the leaves swing, then the clunk at the end stop.
    {
        float low = 0.0f;
        for (size_t i = AudioBuffer::framesOf(1.3); i < AudioBuffer::framesOf(1.62); ++i) {
            double t = static_cast<double>(i) / AudioBuffer::kRate - 1.3;
            float n = noise.next();
            low += 0.3f * (n - low);
            float env = static_cast<float>(std::sin(3.14159265 * t / 0.32));
            out.add(static_cast<long>(i), 0.12f * env * low, -0.15f);
        }
        kick(out, 1.6, 0.45f);
        for (size_t i = AudioBuffer::framesOf(1.6); i < AudioBuffer::framesOf(1.64); ++i) {
            out.add(static_cast<long>(i), 0.25f * noise.next(), -0.15f);
        }
        // Two-tone chime: the doors are open.
        bell(out, 1.72, 0.3, frequency("E6"), 0.07f, -0.1f);
        bell(out, 1.9, 0.35, frequency("C6"), 0.07f, -0.1f);
    }
    out.normalise(0.89f);
    return out.writeWav(path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: synth_sounds OUT_DIR\n");
        return 2;
    }
    std::string dir = std::string(argv[1]) + "/";
    struct Piece {
        const char* name;
        bool (*compose)(const std::string&);
    } pieces[] = {{"loop.wav", composeLoop},        {"succes1.wav", composeSuccess1},
                  {"succes2.wav", composeSuccess2}, {"stab.wav", composeStab},
                  {"bus_miss.wav", composeBusMiss}, {"bus_stop.wav", composeBusStop}};
    bool ok = true;
    for (const Piece& p : pieces) {
        if (!p.compose(dir + p.name)) {
            std::fprintf(stderr, "synth_sounds: cannot make %s\n", p.name);
            ok = false;
        }
    }
    std::printf("synth_sounds: loop of %ld frames (%ld MP3 frames), written without its last "
                "%ld\n",
                kLoopFrames, kLoopMp3Frames, kLoopTrim);
    return ok ? 0 : 1;
}
