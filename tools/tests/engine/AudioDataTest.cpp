// The sounds under data/audio/, decoded by miniaudio's own decoder as the
// game hears them: lengths, levels, a music loop that repeats without a gap
// or a click, and reaction sounds that are over before the rules can ask for
// them again.
#include "velmora/Application.h"
#include "game/Game.h"
#include "game/Gauge.h"
#include "game/Scene.h"

#include <miniaudio.h>

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace velmora;

namespace {

struct Decoded {
    unsigned channels = 0;
    unsigned rate = 0;
    std::vector<float> samples;
    size_t frames() const { return channels ? samples.size() / channels : 0; }
    double seconds() const { return rate ? static_cast<double>(frames()) / rate : 0.0; }
};

Decoded decode(const std::string& name) {
    Decoded d;
    std::string path = std::string(VELMORA_DATA_DIR) + "/audio/" + name;
    ma_decoder_config config = ma_decoder_config_init(ma_format_f32, 0, 0);
    ma_decoder decoder;
    if (ma_decoder_init_file(path.c_str(), &config, &decoder) != MA_SUCCESS) {
        ADD_FAILURE() << "cannot decode " << path;
        return d;
    }
    d.channels = decoder.outputChannels;
    d.rate = decoder.outputSampleRate;
    std::vector<float> chunk(4096 * d.channels);
    ma_uint64 read = 0;
    while (ma_decoder_read_pcm_frames(&decoder, chunk.data(), 4096, &read) == MA_SUCCESS &&
           read > 0) {
        d.samples.insert(d.samples.end(), chunk.begin(), chunk.begin() + read * d.channels);
    }
    ma_decoder_uninit(&decoder);
    return d;
}

double dbfs(double level) {
    return 20.0 * std::log10(std::max(level, 1e-10));
}

double rmsDb(const Decoded& d, size_t firstFrame, size_t frames) {
    double sum = 0.0;
    size_t n = 0;
    for (size_t i = firstFrame * d.channels;
         i < (firstFrame + frames) * d.channels && i < d.samples.size(); ++i) {
        sum += d.samples[i] * d.samples[i];
        ++n;
    }
    return n ? dbfs(std::sqrt(sum / n)) : -200.0;
}

double peakDb(const Decoded& d) {
    float peak = 0.0f;
    for (float s : d.samples) {
        peak = std::max(peak, std::fabs(s));
    }
    return dbfs(peak);
}

struct Expected {
    const char* name;
    double minSeconds;
    double maxSeconds;
    double rmsTarget; // dBFS
};

TEST(AudioData, EverySoundDecodesWithItsLengthAndLevel) {
    const Expected sounds[] = {
        {"stab.mp3", 0.5, 1.5, -16},     {"loop.mp3", 8.0, 16.1, -20},
        {"grunt1.mp3", 0.4, 0.8, -16},   {"grunt2.mp3", 0.4, 0.8, -16},
        {"grunt3.mp3", 0.4, 0.8, -16},   {"grunt4.mp3", 0.4, 0.8, -16},
        {"bus_miss.mp3", 1.5, 2.0, -16}, {"bus_stop.mp3", 2.0, 2.5, -16},
        {"succes1.mp3", 1.0, 1.5, -16},  {"succes2.mp3", 1.0, 1.5, -16},
    };
    for (const Expected& e : sounds) {
        Decoded d = decode(e.name);
        ASSERT_GT(d.frames(), 0u) << e.name;
        EXPECT_GE(d.seconds(), e.minSeconds) << e.name;
        EXPECT_LE(d.seconds(), e.maxSeconds) << e.name;
        // Evened out: within 5 dB of the target (peaks limit the loudest
        // short ones), and never clipping.
        EXPECT_NEAR(rmsDb(d, 0, d.frames()), e.rmsTarget, 5.0) << e.name;
        EXPECT_LT(peakDb(d), -0.5) << e.name;
    }
}

TEST(AudioData, GruntsAreFourDifferentSounds) {
    std::vector<Decoded> grunts;
    for (int n = 1; n <= 4; ++n) {
        grunts.push_back(decode("grunt" + std::to_string(n) + ".mp3"));
    }
    for (size_t a = 0; a < grunts.size(); ++a) {
        for (size_t b = a + 1; b < grunts.size(); ++b) {
            EXPECT_FALSE(grunts[a].samples == grunts[b].samples) << a + 1 << " and " << b + 1;
        }
    }
}

// Looping plays the decoded stream end to start. A gap would show as a long
// silence across that point, a click as a jump between its two samples.
TEST(AudioData, MusicLoopRepeatsWithoutGapOrClick) {
    Decoded d = decode("loop.mp3");
    ASSERT_GT(d.frames(), 44100u);
    const float silence = 0.001f; // -60 dBFS
    auto quiet = [&](size_t frame) {
        for (unsigned c = 0; c < d.channels; ++c) {
            if (std::fabs(d.samples[frame * d.channels + c]) >= silence) {
                return false;
            }
        }
        return true;
    };
    size_t lead = 0;
    while (lead < d.frames() && quiet(lead)) {
        ++lead;
    }
    size_t tail = 0;
    while (tail < d.frames() && quiet(d.frames() - 1 - tail)) {
        ++tail;
    }
    double gapMs = 1000.0 * (lead + tail) / d.rate;
    // The music itself rests about 37 ms before each bar: the seam may be
    // no longer a rest than that (an MP3's bare delay and padding alone are
    // 25 ms and more).
    EXPECT_LT(gapMs, 45.0);

    // The longest silence anywhere else in the loop, for comparison: the seam
    // is no longer than the rests the music already has.
    size_t longest = 0, run = 0;
    for (size_t f = lead; f < d.frames() - tail; ++f) {
        run = quiet(f) ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    EXPECT_LE(lead + tail, longest + d.rate / 200) << "seam rest longer than the music's own";

    for (unsigned c = 0; c < d.channels; ++c) {
        float jump = std::fabs(d.samples[c] - d.samples[(d.frames() - 1) * d.channels + c]);
        EXPECT_LT(jump, 0.01f);
    }
    // MP3 frames are 1152 samples: a loop made to fit them exactly.
    EXPECT_EQ(d.frames() % 1152, 0u);
}

// One attempt as the rules ran it, on the frame clock.
struct Attempt {
    GameState outcome;
    double pressed; // the bus's sound starts
    double reacted; // the grunt or the success jingle starts
    double over;    // back to aiming: the next press may come in this frame
};

// Plays the attempts one after the other at a steady frame rate, each pressed
// for at the first frame the rules allow. No sound is loaded, so no grunt
// holds a miss back: every cycle is the shortest the rules take at that rate.
std::vector<Attempt> playAttempts(double framesPerSecond, const std::vector<GameState>& outcomes) {
    const double step = 1.0 / framesPerSecond;
    double clock = 11.0; // past the title pictures
    Application::instance().time = clock;
    game.reset();
    scene.lastTime = static_cast<float>(clock);
    std::vector<Attempt> attempts;
    for (GameState outcome : outcomes) {
        // The pointer in the middle of its swing hits, at its end misses.
        Gauge::instance().phase = outcome == GameState::Hit ? 0.0 : 0.25;
        scene.onKey(GLFW_PRESS, GLFW_KEY_SPACE);
        Attempt attempt{game.state, clock, 0.0, 0.0};
        const double deadline = clock + 30.0;
        while (game.state != GameState::Aiming && clock < deadline) {
            const bool reactedBefore = game.soundPlayed;
            clock += step;
            Application::instance().time = clock;
            scene.update();
            if (!reactedBefore && game.soundPlayed) {
                attempt.reacted = clock;
            }
        }
        attempt.over = clock;
        attempts.push_back(attempt);
    }
    return attempts;
}

// How soon a sound can be asked for again: the bus's sound at the next press;
// a grunt or a jingle, never chosen twice in a row, at the same reaction two
// attempts of its kind later.
enum class AskedAgain { AtNextPress, TwoReactionsLater };

// The spans, in seconds, from each start of a sound to when it can be asked
// for again.
std::vector<double> cyclesOf(const std::vector<Attempt>& attempts, GameState outcome,
                             AskedAgain again) {
    std::vector<const Attempt*> ofKind;
    for (const Attempt& a : attempts) {
        if (a.outcome == outcome) {
            ofKind.push_back(&a);
        }
    }
    std::vector<double> cycles;
    for (size_t i = 0; i < ofKind.size(); ++i) {
        if (again == AskedAgain::AtNextPress) {
            cycles.push_back(ofKind[i]->over - ofKind[i]->pressed);
        } else if (i + 2 < ofKind.size()) {
            cycles.push_back(ofKind[i + 2]->reacted - ofKind[i]->reacted);
        }
    }
    return cycles;
}

// A sound asked for while it still plays is neither restarted nor repeated:
// the player hears its tail, or nothing. So each must be over before its
// next use, whatever the frame rate.
TEST(AudioData, EveryReactionSoundEndsBeforeItCanBeAskedForAgain) {
    // The playback device starts a sound at its next period and notices its
    // end at the one after; miniaudio's periods are 10 ms, slower devices'
    // longer.
    const double deviceLatency = 0.05;
    const struct {
        const char* name;
        GameState outcome;
        AskedAgain again;
    } sounds[] = {
        {"bus_miss.mp3", GameState::Missed, AskedAgain::AtNextPress},
        {"bus_stop.mp3", GameState::Hit, AskedAgain::AtNextPress},
        {"grunt1.mp3", GameState::Missed, AskedAgain::TwoReactionsLater},
        {"grunt2.mp3", GameState::Missed, AskedAgain::TwoReactionsLater},
        {"grunt3.mp3", GameState::Missed, AskedAgain::TwoReactionsLater},
        {"grunt4.mp3", GameState::Missed, AskedAgain::TwoReactionsLater},
        {"succes1.mp3", GameState::Hit, AskedAgain::TwoReactionsLater},
        {"succes2.mp3", GameState::Hit, AskedAgain::TwoReactionsLater},
    };
    // The slowest and the fastest frame rate the game is made for, and the
    // one where a hit is shortest. A miss takes ceil(2 f) + 1 frames at f fps,
    // shortest at 1000 fps: 2.001 s. A hit takes floor(1.3 f) + ceil(2.2 f),
    // shortest just below 10 / 1.3 fps, where the bus leaves the stop on the
    // first frame it may: 3.38 s, against 3.50 s at 1000 fps.
    const std::vector<GameState> outcomes = {GameState::Missed, GameState::Missed,
                                             GameState::Missed, GameState::Hit,
                                             GameState::Hit,    GameState::Hit};
    for (double framesPerSecond : {7.0, 7.69, 1000.0}) {
        const std::vector<Attempt> attempts = playAttempts(framesPerSecond, outcomes);
        for (size_t i = 0; i < outcomes.size(); ++i) {
            ASSERT_EQ(attempts[i].outcome, outcomes[i]) << "attempt " << i;
            ASSERT_NE(attempts[i].reacted, 0.0) << "attempt " << i << " never reacted";
        }
        for (const auto& sound : sounds) {
            const double length = decode(sound.name).seconds();
            ASSERT_GT(length, 0.0) << sound.name;
            const std::vector<double> cycles = cyclesOf(attempts, sound.outcome, sound.again);
            ASSERT_FALSE(cycles.empty()) << sound.name;
            const auto range = std::minmax_element(cycles.begin(), cycles.end());
            EXPECT_LT(length + deviceLatency, *range.first)
                << sound.name << " (" << length << " s) at " << framesPerSecond
                << " fps, where it can be asked for again after " << *range.first << " to "
                << *range.second << " s";
        }
    }
}

} // namespace
