// velmora_soak: plays the real game headless for a long time and checks that it
// stays healthy. It runs the game's own start-up and main loop (windowed, from
// the directory that holds data/) with the scene's hooks wrapped: after each
// real update it may press the space bar at a random moment, through the
// application's key callback as a player's key would arrive, follows every
// attempt back to aiming, and samples the resident memory. It ends the loop
// itself after the given time and prints a summary; OpenGL error lines, which
// the engine prints on standard output, are checked by scripts/soak.sh.
//
//   velmora_soak [--seconds S] [--warmup W] [--deadline D] [--max-slope K]
//                [--seed N]
//
// Exit status 0 when every attempt came back to aiming in time and resident
// memory, sampled after free heap pages are handed back, did not climb faster
// than K KiB/min after the warm-up (median slope, which a rare one-time step
// does not move; see MemoryTrend.h); 1 otherwise.
#include "AttemptTracker.h"
#include "MemoryTrend.h"

#include "velmora/Application.h"
#include "game/Game.h"
#include "game/Scene.h"

#include <GLFW/glfw3.h>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

using namespace velmora;

namespace {

struct Options {
    double seconds = 600.0;   // game time to play
    double warmup = 60.0;     // start-up growth ignored before this
    double deadline = 10.0;   // longest acceptable attempt, game time
    double maxSlope = 64.0;   // KiB per minute
    double sampleEvery = 0.5; // seconds between RSS samples
    unsigned long long seed = 0;
};

// What the wrapped hooks need between frames. The hooks are plain function
// pointers, so this lives at file scope.
struct SoakState {
    Options options;
    SceneHooks real;
    AttemptTracker attempts{10.0};
    MemoryTrend memory;     // resident memory after handing free heap back
    MemoryTrend heap;       // bytes the program holds in malloc blocks, in KiB
    std::mt19937_64 random; // the game draws from rand(); the soak never touches it
    double nextPress = 0.0;
    double releaseAt = -1.0;
    double nextSample = 0.0;
    double firstFrame = -1.0;
    double lastFrame = 0.0;
    unsigned long long frames = 0;
    unsigned long long hits = 0;
    unsigned long long misses = 0;
    bool done = false;
};

SoakState soak;

// Gaps between presses: mostly short enough that some land while an attempt
// is still running (they must change nothing) and long enough that most find
// the game aiming again; the pointer's position at the press, effectively
// random at these gaps, decides hit or miss. One gap in ten is long enough
// (over 8.5 s) for the idle hint to come up and blink.
double nextGap() {
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (chance(soak.random) < 0.1) {
        std::uniform_real_distribution<double> idle(8.6, 12.0);
        return idle(soak.random);
    }
    std::uniform_real_distribution<double> gap(0.15, 3.5);
    return gap(soak.random);
}

bool aiming() {
    return game.state == GameState::Aiming;
}

void pressSpace(double now) {
    GLFWwindow* window = Application::instance().window;
    const GameState before = game.state;
    soak.attempts.press(now, before == GameState::Aiming);
    Application::keyCallback(window, GLFW_KEY_SPACE, 0, GLFW_PRESS, 0);
    if (before == GameState::Aiming) {
        if (game.state == GameState::Hit) {
            ++soak.hits;
        } else if (game.state == GameState::Missed) {
            ++soak.misses;
        }
    }
    // Hold the key for a moment; a player's press is never instantaneous.
    soak.releaseAt = now + 0.08;
}

// Live heap in KiB: what the program holds in malloc blocks, in every arena
// and in blocks of their own mapping.
double liveHeapKib() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / 1024.0;
}

// The allocator keeps freed memory for reuse: after the 30 MB atlas decode
// it no longer hands its heap top back, so a burst of short-lived blocks (a
// frame that happens to need more of the driver's temporary memory than any
// before it) raises resident memory by a step that stays, with nothing
// held. malloc_trim returns such free pages first, so that the samples show
// what the program holds and a leak is not confused with the allocator's
// high-water mark; the live-heap figure is reported beside it.
void sampleMemory(double now) {
    if (now < soak.nextSample) {
        return;
    }
    malloc_trim(0);
    const long kib = readStatusKib("VmRSS");
    if (kib >= 0) {
        soak.memory.add(now - soak.firstFrame, static_cast<double>(kib));
    }
    soak.heap.add(now - soak.firstFrame, liveHeapKib());
    soak.nextSample = now + soak.options.sampleEvery;
}

void soakUpdate() {
    if (soak.real.update != nullptr) {
        soak.real.update();
    }
    const double now = Application::instance().time;
    if (soak.firstFrame < 0.0) {
        soak.firstFrame = now;
        soak.nextPress = now + nextGap();
        soak.nextSample = now;
    }
    ++soak.frames;
    soak.lastFrame = now;
    if (soak.releaseAt >= 0.0 && now >= soak.releaseAt) {
        Application::keyCallback(Application::instance().window, GLFW_KEY_SPACE, 0, GLFW_RELEASE,
                                 0);
        soak.releaseAt = -1.0;
    }
    if (now >= soak.nextPress && soak.releaseAt < 0.0) {
        pressSpace(now);
        soak.nextPress = now + nextGap();
    }
    soak.attempts.observe(now, aiming());
    sampleMemory(now);
    if (now - soak.firstFrame >= soak.options.seconds && !soak.done) {
        soak.done = true;
        glfwSetWindowShouldClose(Application::instance().window, GLFW_TRUE);
    }
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "velmora_soak: %s needs a value\n", flag.c_str());
            return false;
        }
        const char* value = argv[++i];
        if (flag == "--seconds") {
            options.seconds = std::atof(value);
        } else if (flag == "--warmup") {
            options.warmup = std::atof(value);
        } else if (flag == "--deadline") {
            options.deadline = std::atof(value);
        } else if (flag == "--max-slope") {
            options.maxSlope = std::atof(value);
        } else if (flag == "--seed") {
            options.seed = std::strtoull(value, nullptr, 10);
        } else {
            std::fprintf(stderr, "velmora_soak: unknown option %s\n", flag.c_str());
            return false;
        }
    }
    if (options.seconds <= 0.0 || options.warmup < 0.0 || options.warmup >= options.seconds) {
        std::fprintf(stderr, "velmora_soak: need 0 <= warmup < seconds\n");
        return false;
    }
    return true;
}

// One summary line per concern, all starting with "soak:" so that the script
// can pick them out of the game's own output.
bool report() {
    const Options& o = soak.options;
    const AttemptTracker& a = soak.attempts;
    const double played = soak.firstFrame < 0.0 ? 0.0 : soak.lastFrame - soak.firstFrame;
    std::printf("soak: played %.1f s, %llu frames (%.1f frames/s)\n", played, soak.frames,
                played > 0.0 ? static_cast<double>(soak.frames) / played : 0.0);
    std::printf("soak: presses %llu (%llu while aiming); attempts %llu (hits %llu, misses %llu), "
                "back to aiming %llu, longest %.2f s, still running at the end %d\n",
                static_cast<unsigned long long>(a.presses),
                static_cast<unsigned long long>(a.pressesAiming),
                static_cast<unsigned long long>(a.started), soak.hits, soak.misses,
                static_cast<unsigned long long>(a.finished), a.longest, a.inAttempt ? 1 : 0);
    std::printf("soak: overdue (> %.0f s) %llu, presses in aiming that started nothing %llu, "
                "attempts without a press %llu\n",
                o.deadline, static_cast<unsigned long long>(a.overdue),
                static_cast<unsigned long long>(a.ignored),
                static_cast<unsigned long long>(a.unprompted));

    const auto kept = soak.memory.after(o.warmup);
    double low = 0.0;
    double high = 0.0;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        low = i == 0 || kept[i].kib < low ? kept[i].kib : low;
        high = i == 0 || kept[i].kib > high ? kept[i].kib : high;
    }
    // The shape over the whole run, start-up included: ten evenly spaced
    // samples tell a one-time step from a steady climb.
    if (!soak.memory.samples.empty()) {
        std::printf("soak: rss timeline (s: KiB):");
        const std::size_t count = soak.memory.samples.size();
        for (int i = 0; i <= 10; ++i) {
            const auto& sample = soak.memory.samples[(count - 1) * i / 10];
            std::printf(" %.0f: %.0f", sample.seconds, sample.kib);
        }
        std::printf("\n");
    }
    const double lineSlope = soak.memory.slopeKibPerMinute(o.warmup);
    const double slope = soak.memory.medianSlopeKibPerMinute(o.warmup);
    const long peak = readStatusKib("VmHWM");
    if (!kept.empty()) {
        std::printf("soak: rss after %.0f s warm-up: %zu samples, first %.0f KiB, last %.0f KiB, "
                    "min %.0f KiB, max %.0f KiB; median slope %+.1f KiB/min (limit %.0f), "
                    "least-squares slope %+.1f KiB/min; peak (VmHWM) %ld KiB\n",
                    o.warmup, kept.size(), kept.front().kib, kept.back().kib, low, high, slope,
                    o.maxSlope, lineSlope, peak);
    }
    const auto heapKept = soak.heap.after(o.warmup);
    if (!heapKept.empty()) {
        std::printf("soak: live heap after the warm-up: first %.0f KiB, last %.0f KiB; median "
                    "slope %+.1f KiB/min, least-squares slope %+.1f KiB/min\n",
                    heapKept.front().kib, heapKept.back().kib,
                    soak.heap.medianSlopeKibPerMinute(o.warmup),
                    soak.heap.slopeKibPerMinute(o.warmup));
    }

    bool ok = true;
    auto fail = [&ok](const char* why) {
        std::printf("soak: FAIL: %s\n", why);
        ok = false;
    };
    if (a.started == 0) {
        fail("no attempt was played");
    }
    if (!a.healthy()) {
        fail("an attempt did not come back to aiming as it should");
    }
    if (kept.size() < 2) {
        fail("too few memory samples after the warm-up");
    } else if (slope > o.maxSlope) {
        fail("resident memory grows after the warm-up");
    }
    if (ok) {
        std::printf("soak: PASS\n");
    }
    std::fflush(stdout);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (!parseOptions(argc, argv, soak.options)) {
        return 2;
    }
    if (soak.options.seed == 0) {
        soak.options.seed = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
    }
    soak.random.seed(soak.options.seed);
    soak.attempts = AttemptTracker(soak.options.deadline);
    // Room for every sample up front, so that the soak's own bookkeeping
    // does not show up as a growing heap.
    const auto sampleCount =
        static_cast<std::size_t>(soak.options.seconds / soak.options.sampleEvery) + 64;
    soak.memory.samples.reserve(sampleCount);
    soak.heap.samples.reserve(sampleCount);
    std::printf("soak: seed %llu, %.0f s, warm-up %.0f s, deadline %.0f s\n", soak.options.seed,
                soak.options.seconds, soak.options.warmup, soak.options.deadline);
    std::fflush(stdout);

    soak.real = sceneHooks();
    SceneHooks wrapped = soak.real;
    wrapped.update = soakUpdate;
    Application& application = Application::instance();
    application.setSceneHooks(wrapped);
    if (!application.init(false)) {
        std::printf("soak: FAIL: the game did not start\n");
        return 1;
    }
    application.run();
    return report() ? 0 : 1;
}
