// audio_probe: decodes sounds with miniaudio's own decoder, the one the game
// plays them through, and reports what a listener would notice.
//
//   audio_probe FILE...             length, peak, RMS, silent lead-in/tail
//   audio_probe --loop FILE         the same plus the loop seam: the jump
//                                   between the last and first sample and the
//                                   silent stretch across the seam
//   audio_probe --dump FILE OUT.wav the decoded samples, for spectrograms
#include <miniaudio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Decoded {
    ma_uint32 channels = 0;
    ma_uint32 sampleRate = 0;
    std::vector<float> samples; // interleaved
    size_t frames() const { return channels ? samples.size() / channels : 0; }
};

bool decode(const char* path, Decoded& out) {
    ma_decoder_config config = ma_decoder_config_init(ma_format_f32, 0, 0);
    ma_decoder decoder;
    if (ma_decoder_init_file(path, &config, &decoder) != MA_SUCCESS) {
        std::printf("%s: cannot decode\n", path);
        return false;
    }
    out.channels = decoder.outputChannels;
    out.sampleRate = decoder.outputSampleRate;
    std::vector<float> chunk(4096 * out.channels);
    for (;;) {
        ma_uint64 read = 0;
        ma_decoder_read_pcm_frames(&decoder, chunk.data(), 4096, &read);
        if (read == 0) {
            break;
        }
        out.samples.insert(out.samples.end(), chunk.begin(), chunk.begin() + read * out.channels);
    }
    ma_decoder_uninit(&decoder);
    return true;
}

// Largest absolute sample of a frame over its channels.
float framePeak(const Decoded& d, size_t frame) {
    float peak = 0.0f;
    for (ma_uint32 c = 0; c < d.channels; ++c) {
        peak = std::max(peak, std::fabs(d.samples[frame * d.channels + c]));
    }
    return peak;
}

// Below -60 dBFS counts as silence.
const float kSilence = 0.001f;

size_t silentLead(const Decoded& d) {
    size_t n = 0;
    while (n < d.frames() && framePeak(d, n) < kSilence) {
        ++n;
    }
    return n;
}

size_t silentTail(const Decoded& d) {
    size_t n = 0;
    while (n < d.frames() && framePeak(d, d.frames() - 1 - n) < kSilence) {
        ++n;
    }
    return n;
}

double millis(const Decoded& d, size_t frames) {
    return 1000.0 * frames / d.sampleRate;
}

double rms(const Decoded& d, size_t first, size_t count) {
    double sum = 0.0;
    size_t n = 0;
    for (size_t f = first; f < first + count && f < d.frames(); ++f) {
        for (ma_uint32 c = 0; c < d.channels; ++c) {
            double s = d.samples[f * d.channels + c];
            sum += s * s;
            ++n;
        }
    }
    return n ? std::sqrt(sum / n) : 0.0;
}

double dbfs(double level) {
    return level > 0.0 ? 20.0 * std::log10(level) : -200.0;
}

void report(const char* path, const Decoded& d) {
    float peak = 0.0f;
    for (float s : d.samples) {
        peak = std::max(peak, std::fabs(s));
    }
    std::printf("%s: %.3f s (%zu frames, %u Hz, %u ch), peak %.1f dBFS, RMS %.1f dBFS, "
                "silent lead-in %.1f ms, silent tail %.1f ms\n",
                path, static_cast<double>(d.frames()) / d.sampleRate, d.frames(), d.sampleRate,
                d.channels, dbfs(peak), dbfs(rms(d, 0, d.frames())), millis(d, silentLead(d)),
                millis(d, silentTail(d)));
}

// What looping the decoded stream sounds like at the point where it restarts.
void reportSeam(const Decoded& d) {
    size_t last = d.frames() - 1;
    float jump = 0.0f;
    float typicalStep = 0.0f; // largest step between neighbours away from the seam
    for (ma_uint32 c = 0; c < d.channels; ++c) {
        jump = std::max(jump, std::fabs(d.samples[c] - d.samples[last * d.channels + c]));
    }
    for (size_t f = 1; f < d.frames(); ++f) {
        for (ma_uint32 c = 0; c < d.channels; ++c) {
            typicalStep = std::max(typicalStep, std::fabs(d.samples[f * d.channels + c] -
                                                          d.samples[(f - 1) * d.channels + c]));
        }
    }
    size_t window = d.sampleRate / 50; // 20 ms
    double before = rms(d, d.frames() - window, window);
    double after = rms(d, 0, window);
    double overall = rms(d, 0, d.frames());
    std::printf("  seam: sample jump %.4f (largest step elsewhere %.4f); silence across seam "
                "%.1f ms; RMS 20 ms before %.1f dBFS, after %.1f dBFS, whole %.1f dBFS\n",
                jump, typicalStep, millis(d, silentTail(d) + silentLead(d)), dbfs(before),
                dbfs(after), dbfs(overall));
}

bool dump(const Decoded& d, const char* out) {
    ma_encoder_config config =
        ma_encoder_config_init(ma_encoding_format_wav, ma_format_f32, d.channels, d.sampleRate);
    ma_encoder encoder;
    if (ma_encoder_init_file(out, &config, &encoder) != MA_SUCCESS) {
        std::printf("%s: cannot write\n", out);
        return false;
    }
    ma_uint64 written = 0;
    ma_encoder_write_pcm_frames(&encoder, d.samples.data(), d.frames(), &written);
    ma_encoder_uninit(&encoder);
    return written == d.frames();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: audio_probe [--loop] FILE... | --dump FILE OUT.wav\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--dump") == 0) {
        Decoded d;
        return argc == 4 && decode(argv[2], d) && dump(d, argv[3]) ? 0 : 1;
    }
    bool loop = std::strcmp(argv[1], "--loop") == 0;
    bool ok = true;
    for (int i = loop ? 2 : 1; i < argc; ++i) {
        Decoded d;
        if (!decode(argv[i], d) || d.frames() == 0) {
            ok = false;
            continue;
        }
        report(argv[i], d);
        if (loop) {
            reportSeam(d);
        }
    }
    return ok ? 0 : 1;
}
