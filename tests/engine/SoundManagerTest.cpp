// The sound manager on the real miniaudio engine. Without a sound card the
// engine plays on miniaudio's null device, which consumes audio in real time,
// so the tests poll the playback state with generous deadlines.
#include "velmora/SoundManager.h"
#include "engine/DataDirectory.h"
#include "engine/PlaybackProgress.h"
#include "engine/SoundManagerWorkings.h"

#include <miniaudio.h>

#include "support/Capture.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/TestSounds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <streambuf>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace velmora;

using testsupport::installTestSound;
using testsupport::kLongSoundSeconds;
using testsupport::kShortSoundSeconds;
using testsupport::pause;
using testsupport::ScratchDir;
using testsupport::soundManagerLines;
using testsupport::StreamCapture;
using testsupport::waitUntil;

namespace {

using Lines = std::vector<std::string>;

// Generous: on a loaded two-core machine the null device may lag behind.
constexpr double kDeadline = 10.0;

const char* const kLost = "The audio device was lost; playing on without sound";
const char* const kBack = "The audio device is back; sound is on again";

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The sounds attached to the engine's output, and how many of them are
// started: a sound that was replaced but never uninitialised would still be
// here, and still audible if started.
struct GraphCount {
    int attached = 0;
    int started = 0;
};

GraphCount soundsOnEndpoint(ma_engine& engine) {
    auto* endpoint = static_cast<ma_node_base*>(ma_engine_get_endpoint(&engine));
    GraphCount count;
    ma_node_output_bus* bus =
        __atomic_load_n(&endpoint->pInputBuses[0].head.pNext, __ATOMIC_ACQUIRE);
    for (; bus != nullptr; bus = __atomic_load_n(&bus->pNext, __ATOMIC_ACQUIRE)) {
        if (bus->pNode == nullptr) {
            continue;
        }
        ++count.attached;
        if (ma_node_get_state(bus->pNode) == ma_node_state_started) {
            ++count.started;
        }
    }
    return count;
}

// Sets the stuck-shutdown handler for one test, then puts the earlier one back.
struct StuckShutdownHandlerForTest {
    explicit StuckShutdownHandlerForTest(SoundManager::StuckShutdownHandler handler)
        : earlier(SoundManager::setStuckShutdownHandler(handler)) {}
    ~StuckShutdownHandlerForTest() { SoundManager::setStuckShutdownHandler(earlier); }
    SoundManager::StuckShutdownHandler earlier;
};

// A named pipe in place of a sound file, as on a slow disk or a hung network
// share: whoever opens it to read waits until the test lets it go on.
struct SlowFile {
    explicit SlowFile(const std::string& at) : path(at) {
        std::filesystem::remove(path);
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    bool readerWaits() {
        writer = writer >= 0 ? writer : open(path.c_str(), O_WRONLY | O_NONBLOCK);
        return writer >= 0;
    }
    void release() { // to find no sound there
        if (readerWaits()) {
            EXPECT_EQ(write(writer, "not a sound", 11), 11);
            close(writer);
            writer = -1;
        }
    }
    std::string path;
    int writer = -1;
};

class SoundManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        installTestSound(scratch, "short.mp3", "short.mp3");
        installTestSound(scratch, "long.mp3", "long.mp3");
        // Start the engine outside any capture: the system's audio libraries
        // may talk while miniaudio looks for a device.
        SoundManager::instance();
    }

    SoundManager& manager() { return SoundManager::instance(); }

    bool waitForCursorAbove(const char* name, double seconds) {
        return waitUntil(kDeadline, [&] { return manager().cursorSeconds(name) > seconds; });
    }

    ScratchDir scratch;
};

TEST_F(SoundManagerTest, PlayOnAPlayingSoundNeitherRestartsNorDuplicatesIt) {
    manager().loadSound("long.mp3");
    manager().play("long.mp3", false);
    ASSERT_TRUE(waitForCursorAbove("long.mp3", 0.5));

    const double before = manager().cursorSeconds("long.mp3");
    manager().play("long.mp3", true); // only the looping flag may change
    EXPECT_GE(manager().cursorSeconds("long.mp3"), before);
    EXPECT_TRUE(SoundManagerWorkings::looping(manager(), "long.mp3"));
    EXPECT_TRUE(ma_sound_is_looping(SoundManagerWorkings::sound(manager(), "long.mp3")));
    EXPECT_TRUE(waitForCursorAbove("long.mp3", before + 0.3)) << "the cursor keeps growing";

    const GraphCount graph = soundsOnEndpoint(*SoundManagerWorkings::engine(manager()));
    EXPECT_EQ(graph.attached, 1);
    EXPECT_EQ(graph.started, 1);
}

TEST_F(SoundManagerTest, AFinishedSoundPlaysAgainFromItsStart) {
    manager().loadSound("short.mp3");
    manager().play("short.mp3", false);
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return !manager().isPlaying("short.mp3"); }));
    EXPECT_GT(manager().cursorSeconds("short.mp3"), 0.25) << "stopped at its end";

    // Played from its first frame again, it needs its whole length once more;
    // a sound left at its end would stop at once.
    const auto start = std::chrono::steady_clock::now();
    manager().play("short.mp3", false);
    EXPECT_TRUE(manager().isPlaying("short.mp3"));
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return !manager().isPlaying("short.mp3"); }));
    EXPECT_GE(secondsSince(start), kShortSoundSeconds * 0.7);
}

TEST_F(SoundManagerTest, ToggleTwiceResumesWhereItPaused) {
    manager().loadSound("long.mp3");
    manager().play("long.mp3", false);
    ASSERT_TRUE(waitForCursorAbove("long.mp3", 0.5));

    manager().toggle("long.mp3");
    EXPECT_FALSE(manager().isPlaying("long.mp3"));
    pause(0.1); // let the audio thread finish the period it was mixing
    const double paused = manager().cursorSeconds("long.mp3");
    EXPECT_GT(paused, 0.4);
    pause(0.3);
    EXPECT_EQ(manager().cursorSeconds("long.mp3"), paused) << "a paused sound keeps its place";

    manager().toggle("long.mp3");
    EXPECT_TRUE(manager().isPlaying("long.mp3"));
    EXPECT_GE(manager().cursorSeconds("long.mp3"), paused) << "resumed, not restarted";
    EXPECT_TRUE(waitForCursorAbove("long.mp3", paused + 0.2));
    EXPECT_FALSE(SoundManagerWorkings::looping(manager(), "long.mp3"))
        << "toggle leaves the flag alone";
}

TEST_F(SoundManagerTest, ALoopingSoundPlaysOnPastItsEndUntilTheLoopIsLifted) {
    manager().loadSound("short.mp3");
    const auto start = std::chrono::steady_clock::now();
    manager().play("short.mp3", true);
    waitUntil(kDeadline, [&] { return secondsSince(start) > 3 * kShortSoundSeconds; });
    EXPECT_TRUE(manager().isPlaying("short.mp3"));
    EXPECT_LT(manager().cursorSeconds("short.mp3"), kShortSoundSeconds + 0.05) << "wrapped";

    // Played again without the loop, it finishes its current pass and stops.
    manager().play("short.mp3", false);
    EXPECT_TRUE(waitUntil(kDeadline, [&] { return !manager().isPlaying("short.mp3"); }));
}

// A device whose sound server has gone away stops pulling samples without a
// word; its sounds never reach their end. Stopping the device stands in for
// that here: the game, which waits for sounds to end, must not wait for ever.
TEST_F(SoundManagerTest, NothingPlaysWhileTheDeviceStopsPullingSamples) {
    manager().loadSound("long.mp3");
    manager().play("long.mp3", true);
    ASSERT_TRUE(waitForCursorAbove("long.mp3", 0.05));
    StreamCapture out(StreamCapture::Stream::Out);
    ma_engine* engine = SoundManagerWorkings::engine(manager());
    ma_engine_stop(engine);
    const auto stalled = std::chrono::steady_clock::now();
    EXPECT_TRUE(waitUntil(kDeadline, [&] { return !manager().isPlaying("long.mp3"); }));
    EXPECT_GE(secondsSince(stalled), 0.5) << "a short pause of the device is not a loss";
    // A caller that makes sure the music plays must not pause it instead.
    if (!manager().isPlaying("long.mp3")) {
        manager().toggle("long.mp3");
    }
    ma_sound* sound = SoundManagerWorkings::sound(manager(), "long.mp3");
    EXPECT_TRUE(ma_sound_is_playing(sound)) << "the sound itself was never stopped";

    ma_engine_start(engine);
    EXPECT_TRUE(waitUntil(kDeadline, [&] { return manager().isPlaying("long.mp3"); }));
    EXPECT_EQ(soundManagerLines(out.finish()), (Lines{kLost, kBack}));
    EXPECT_EQ(SoundManagerWorkings::engine(manager()), engine) << "back by itself, not restarted";
}

// A device that does not come back is replaced: every sound goes on where it
// stood, and a sound that would have ended meanwhile does not play again.
TEST_F(SoundManagerTest, ALostDeviceIsReplacedAndEverySoundGoesOnWhereItStood) {
    installTestSound(scratch, "long.mp3", "paused.mp3");
    for (const char* name : {"long.mp3", "short.mp3", "paused.mp3"}) {
        manager().loadSound(name);
    }
    manager().play("paused.mp3", false);
    manager().play("long.mp3", true);
    ASSERT_TRUE(waitForCursorAbove("paused.mp3", 0.3));
    manager().toggle("paused.mp3");
    StreamCapture out(StreamCapture::Stream::Out);
    manager().play("short.mp3", false);
    ma_engine* lost = SoundManagerWorkings::engine(manager());
    ma_engine_stop(lost);
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return !manager().isPlaying("long.mp3"); }));
    const double stood = manager().cursorSeconds("long.mp3");
    const double paused = manager().cursorSeconds("paused.mp3");

    ASSERT_TRUE(
        waitUntil(kDeadline, [&] { return SoundManagerWorkings::engine(manager()) != lost; }));
    EXPECT_FALSE(manager().isPlaying("short.mp3")) << "it would have ended meanwhile";
    EXPECT_FALSE(manager().isPlaying("paused.mp3"));
    EXPECT_NEAR(manager().cursorSeconds("paused.mp3"), paused, 0.05);
    EXPECT_TRUE(manager().isPlaying("long.mp3"));
    EXPECT_NEAR(manager().cursorSeconds("long.mp3"), stood, 0.3) << "resumed where it stood";
    EXPECT_TRUE(waitForCursorAbove("long.mp3", stood + 0.1));
    EXPECT_EQ(soundManagerLines(out.finish()), (Lines{kLost, kBack}));
}

TEST_F(SoundManagerTest, CursorOfALoadedSoundThatNeverStartedIsZeroWithoutAMessage) {
    manager().loadSound("short.mp3");
    StreamCapture out(StreamCapture::Stream::Out);
    EXPECT_EQ(manager().cursorSeconds("short.mp3"), 0.0);
    EXPECT_EQ(soundManagerLines(out.finish()), Lines{});
}

TEST_F(SoundManagerTest, NamesWithoutASoundAreQuietAndCreateNoEntry) {
    StreamCapture out(StreamCapture::Stream::Out);
    EXPECT_FALSE(manager().isPlaying("long.mp3"));
    manager().toggle("long.mp3");
    manager().play("long.mp3", true);
    EXPECT_FALSE(manager().isPlaying(nullptr));
    manager().toggle(nullptr);
    manager().play(nullptr, false);
    EXPECT_EQ(soundManagerLines(out.finish()), Lines{});
    EXPECT_TRUE(SoundManagerWorkings::soundCount(manager()) == 0);

    // The name loads normally afterwards, and only its exact spelling finds it.
    manager().loadSound("long.mp3");
    ASSERT_EQ(SoundManagerWorkings::soundCount(manager()), 1u);
    EXPECT_FALSE(manager().isPlaying("long.mp3"));
    manager().toggle("long.mp3");
    EXPECT_TRUE(manager().isPlaying("long.mp3"));
    EXPECT_FALSE(manager().isPlaying("LONG.MP3"));
    manager().toggle("Long.mp3");
    EXPECT_TRUE(manager().isPlaying("long.mp3"));
    EXPECT_EQ(SoundManagerWorkings::soundCount(manager()), 1u);
}

TEST_F(SoundManagerTest, CursorOfAnUnknownNameSaysSoAndIsZero) {
    manager().loadSound("long.mp3");
    StreamCapture out(StreamCapture::Stream::Out);
    EXPECT_EQ(manager().cursorSeconds("nothing.mp3"), 0.0);
    EXPECT_EQ(manager().cursorSeconds("LONG.MP3"), 0.0);
    EXPECT_EQ(manager().cursorSeconds(nullptr), 0.0);
    const std::string text = out.finish();
    EXPECT_EQ(soundManagerLines(text), (Lines{"Sound not found: nothing.mp3",
                                              "Sound not found: LONG.MP3", "Sound not found: "}));
    EXPECT_NE(text.find("Sound not found: nothing.mp3\n"), std::string::npos);
    EXPECT_EQ(SoundManagerWorkings::soundCount(manager()), 1u);
}

TEST_F(SoundManagerTest, FilesThatCannotBeLoadedAreReportedByTheirBareName) {
    scratch.writeFile("data/audio/empty.mp3", "");
    scratch.writeFile("data/audio/text.mp3", "This is a text file, not an MP3 stream.\n");
    // A real sound just outside the audio directory must not be reachable.
    installTestSound(scratch, "short.mp3", "../escape.mp3");

    StreamCapture out(StreamCapture::Stream::Out);
    for (const char* name :
         {"missing.mp3", "empty.mp3", "text.mp3", "../escape.mp3", "sub/../../escape.mp3", ""}) {
        manager().loadSound(name);
    }
    manager().loadSound(nullptr);
    const std::string text = out.finish();
    EXPECT_EQ(soundManagerLines(text),
              (Lines{"Failed to load sound: missing.mp3", "Failed to load sound: empty.mp3",
                     "Failed to load sound: text.mp3", "Failed to load sound: ../escape.mp3",
                     "Failed to load sound: sub/../../escape.mp3",
                     "Failed to load sound: ", "Failed to load sound: "}));
    EXPECT_EQ(text.find("data/audio"), std::string::npos);
    EXPECT_TRUE(SoundManagerWorkings::soundCount(manager()) == 0);
    EXPECT_EQ(soundsOnEndpoint(*SoundManagerWorkings::engine(manager())).attached, 0);
}

TEST_F(SoundManagerTest, ReloadingANameReplacesTheSoundAndSilencesTheEarlierOne) {
    installTestSound(scratch, "long.mp3", "voice.mp3");
    manager().loadSound("voice.mp3");
    manager().play("voice.mp3", true);
    ASSERT_TRUE(waitForCursorAbove("voice.mp3", 0.2));
    const ma_sound* firstSound = SoundManagerWorkings::sound(manager(), "voice.mp3");

    installTestSound(scratch, "short.mp3", "voice.mp3");
    StreamCapture out(StreamCapture::Stream::Out);
    manager().loadSound("voice.mp3");
    EXPECT_EQ(soundManagerLines(out.finish()), Lines{});
    ASSERT_EQ(SoundManagerWorkings::soundCount(manager()), 1u);
    EXPECT_NE(SoundManagerWorkings::sound(manager(), "voice.mp3"), firstSound);
    EXPECT_FALSE(manager().isPlaying("voice.mp3")) << "the new sound waits to be played";
    EXPECT_FALSE(SoundManagerWorkings::looping(manager(), "voice.mp3"));
    pause(0.2);
    GraphCount graph = soundsOnEndpoint(*SoundManagerWorkings::engine(manager()));
    EXPECT_EQ(graph.attached, 1) << "the earlier sound left the engine";
    EXPECT_EQ(graph.started, 0) << "nothing plays any more";

    // A reload that fails keeps the sound that was there.
    manager().play("voice.mp3", false);
    const ma_sound* second = SoundManagerWorkings::sound(manager(), "voice.mp3");
    scratch.writeFile("data/audio/voice.mp3", "");
    StreamCapture failed(StreamCapture::Stream::Out);
    manager().loadSound("voice.mp3");
    EXPECT_EQ(soundManagerLines(failed.finish()), Lines{"Failed to load sound: voice.mp3"});
    EXPECT_EQ(SoundManagerWorkings::sound(manager(), "voice.mp3"), second);
    EXPECT_TRUE(waitUntil(kDeadline, [&] { return !manager().isPlaying("voice.mp3"); }))
        << "the kept sound still plays to its end";
}

// Counts miniaudio's live heap blocks, so a test can see that a manager gives
// back everything its engine and sounds took.
struct HeapLedger {
    std::mutex lock;
    std::set<std::uintptr_t> live; // addresses, so that freed ones are never dereferenced

    static void* onMalloc(size_t size, void* user) {
        void* p = std::malloc(size);
        static_cast<HeapLedger*>(user)->add(reinterpret_cast<std::uintptr_t>(p));
        return p;
    }
    static void* onRealloc(void* old, size_t size, void* user) {
        auto* ledger = static_cast<HeapLedger*>(user);
        ledger->remove(reinterpret_cast<std::uintptr_t>(old));
        void* p = std::realloc(old, size);
        ledger->add(reinterpret_cast<std::uintptr_t>(p));
        return p;
    }
    static void onFree(void* p, void* user) {
        static_cast<HeapLedger*>(user)->remove(reinterpret_cast<std::uintptr_t>(p));
        std::free(p);
    }
    void add(std::uintptr_t p) {
        if (p != 0) {
            std::lock_guard<std::mutex> guard(lock);
            live.insert(p);
        }
    }
    void remove(std::uintptr_t p) {
        if (p != 0) {
            std::lock_guard<std::mutex> guard(lock);
            live.erase(p);
        }
    }
    size_t count() {
        std::lock_guard<std::mutex> guard(lock);
        return live.size();
    }
};

TEST_F(SoundManagerTest, NothingIsLeftBehindByReplacedSoundsFailedLoadsOrDestruction) {
    HeapLedger ledger;
    SoundOptions options;
    options.allocatorUser = &ledger;
    options.allocate = HeapLedger::onMalloc;
    options.reallocate = HeapLedger::onRealloc;
    options.release = HeapLedger::onFree;
    {
        SoundManager own(options);
        own.loadSound("short.mp3");
        own.loadSound("long.mp3");
        own.loadSound("long.mp3");
        own.loadSound("missing.mp3");
        own.play("long.mp3", true);
        own.play("short.mp3", false);
        EXPECT_TRUE(waitUntil(kDeadline, [&] { return own.cursorSeconds("long.mp3") > 0.1; }));
        EXPECT_GT(ledger.count(), 0u);
    }
    EXPECT_EQ(ledger.count(), 0u);
}

TEST(SoundManagerWithoutEngine, RunsSilentlyAndReportsEveryLoad) {
    ScratchDir scratch;
    installTestSound(scratch, "long.mp3", "long.mp3");
    // No device and no output format: miniaudio refuses to start the engine.
    SoundOptions options;
    options.playbackDevice = false;

    StreamCapture out(StreamCapture::Stream::Out);
    {
        SoundManager silent(options);
        silent.loadSound("long.mp3");
        silent.play("long.mp3", true);
        silent.toggle("long.mp3");
        EXPECT_FALSE(silent.isPlaying("long.mp3"));
        EXPECT_EQ(silent.cursorSeconds("long.mp3"), 0.0);
        EXPECT_TRUE(SoundManagerWorkings::soundCount(silent) == 0);
    }
    const std::string text = out.finish();
    EXPECT_EQ(soundManagerLines(text),
              (Lines{"Failed to initialize audio engine.", "Failed to load sound: long.mp3",
                     "Sound not found: long.mp3"}));
    EXPECT_EQ(text.rfind("Failed to initialize audio engine.\n", 0), 0u);
}

// Giving memory back slowly, once armed, makes shut-down overrun its budget
// as a stuck device would. A handler that returns has shut-down wait after
// all (without one, the process would end here).
TEST(SoundManagerShutdown, AHandlerThatReturnsHasItWaitPastItsBudget) {
    static std::atomic<bool> slow{false};
    static std::atomic<int> calls{0};
    SoundOptions options;
    options.allocate = [](size_t size, void*) { return std::malloc(size); };
    options.reallocate = [](void* block, size_t size, void*) { return std::realloc(block, size); };
    options.release = [](void* block, void*) {
        if (slow.exchange(false)) {
            pause(1.5);
        }
        std::free(block);
    };
    const StuckShutdownHandlerForTest counting([] { ++calls; });
    StreamCapture out(StreamCapture::Stream::Out);
    const auto start = std::chrono::steady_clock::now();
    {
        SoundManager own(options);
        slow = true;
    }
    EXPECT_GE(secondsSince(start), 1.5) << "shut-down did not wait for the work";
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(testsupport::countOccurrences(out.finish(), "did not stop within 1 s"), 1);
}

// A stand-in for the game's clock: looks at a device every 100 ms.
TEST(PlaybackProgressTest, OnlySilenceWhileTheProcessRunsCounts) {
    using std::chrono::milliseconds;
    const PlaybackProgress::Clock::time_point t0;
    PlaybackProgress progress;
    EXPECT_TRUE(progress.advancing(5, t0));
    for (int i = 1; i <= 9; ++i) {
        EXPECT_TRUE(progress.advancing(5, t0 + milliseconds(100 * i)));
    }
    EXPECT_TRUE(progress.advancing(5, t0 + milliseconds(3900))) << "the process was stopped";
    EXPECT_TRUE(progress.advancing(5, t0 + milliseconds(4000))) << "a second of silence";
    EXPECT_FALSE(progress.advancing(5, t0 + milliseconds(4100)));
    EXPECT_TRUE(progress.advancing(6, t0 + milliseconds(4200)));
    EXPECT_EQ(progress.lastMoved(), t0 + milliseconds(4200));
}

// A file gone before a restart is reported once and stays silent while the
// others come back; loads all the while, several of them inside each restart
// (which slow memory stretches), neither keep it from succeeding nor get
// lost; voices end there, and the master volume carries over.
TEST(SoundManagerRestart, BringsBackWhatItCanWhileTheGameLoadsOn) {
    static std::atomic<bool> slow{false};
    static std::thread::id game = std::this_thread::get_id();
    ScratchDir scratch;
    for (const char* name : {"long.mp3", "short.mp3"}) {
        installTestSound(scratch, name, name);
    }
    installTestSound(scratch, "long.mp3", "gone.mp3");
    SoundOptions options;
    options.allocate = [](size_t size, void*) {
        if (slow && std::this_thread::get_id() != game) {
            pause(0.05);
        }
        return std::malloc(size);
    };
    options.reallocate = [](void* block, size_t size, void*) { return std::realloc(block, size); };
    options.release = [](void* block, void*) { std::free(block); };
    SoundManager own(options);
    for (const char* name : {"long.mp3", "gone.mp3", "short.mp3"}) {
        own.loadSound(name);
        own.play(name, true);
    }
    const VoiceHandle voice = own.playVoice("long.mp3");
    ASSERT_TRUE(waitUntil(kDeadline, [&] { return own.cursorSeconds("gone.mp3") > 0.1; }));
    std::filesystem::remove(scratch.path() + "/data/audio/gone.mp3");
    StreamCapture out(StreamCapture::Stream::Out);
    own.setMasterVolume(0.5f);
    ma_engine* lost = SoundManagerWorkings::engine(own);
    slow = true;
    ma_engine_stop(lost);
    ASSERT_TRUE(waitUntil(3 * kDeadline, [&] {
        own.loadSound("short.mp3"); // stopped at its start again
        return SoundManagerWorkings::engine(own) != lost;
    }));
    slow = false;
    EXPECT_EQ(ma_engine_get_volume(SoundManagerWorkings::engine(own)), 0.5f) << "carried over";
    own.stopVoice(voice); // ended by the restart: harmless
    own.play("gone.mp3", true);
    EXPECT_TRUE(waitUntil(kDeadline, [&] { return own.cursorSeconds("long.mp3") > 0.5; }));
    EXPECT_FALSE(own.isPlaying("gone.mp3"));
    own.play("short.mp3", false);
    EXPECT_TRUE(waitUntil(kDeadline, [&] { return own.cursorSeconds("short.mp3") > 0.1; }));
    const GraphCount graph = soundsOnEndpoint(*SoundManagerWorkings::engine(own));
    EXPECT_EQ(graph.attached, 2) << "long and short; no voice, nothing of the gone file";
    EXPECT_EQ(soundManagerLines(out.finish()),
              (Lines{kLost, "Failed to load sound: gone.mp3", kBack}));
}

// Managers without a device, whose mix the test pulls itself, hear every
// setting exactly: the level of each channel, and the tone's frequency by its
// zero crossings, against the sound as loaded.
struct Heard {
    double left = 0.0, right = 0.0, crossings = 0.0;
};

SoundOptions pulledByTheTest() {
    SoundOptions options;
    options.playbackDevice = false;
    options.channels = 2;
    options.sampleRate = 48000;
    return options;
}

Heard listen(SoundManager& own) {
    constexpr ma_uint64 kFrames = 9600; // 0.2 s, after 0.1 s of lead-in and fades
    std::vector<float> pcm(kFrames * 2);
    ma_engine* engine = SoundManagerWorkings::engine(own);
    ma_engine_read_pcm_frames(engine, pcm.data(), kFrames / 2, nullptr);
    ma_engine_read_pcm_frames(engine, pcm.data(), kFrames, nullptr);
    Heard heard;
    for (ma_uint64 i = 0; i < kFrames; ++i) {
        heard.left += pcm[2 * i] * pcm[2 * i];
        heard.right += pcm[2 * i + 1] * pcm[2 * i + 1];
        heard.crossings +=
            i > 0 && (pcm[2 * i] + pcm[2 * i + 1] < 0) != (pcm[2 * i - 2] + pcm[2 * i - 1] < 0);
    }
    heard.left = std::sqrt(heard.left / kFrames);
    heard.right = std::sqrt(heard.right / kFrames);
    return heard;
}

TEST(SoundControls, EachSettingAndEveryVoiceIsHeardInTheMix) {
    ScratchDir scratch;
    installTestSound(scratch, "long.mp3", "tone.mp3");
    const char* const t = "tone.mp3";
    using M = SoundManager&;
    struct Case {
        const char* what;
        std::function<void(M)> set;
        double left, right, pitch; // against the sound as loaded; pitch 0: silence
    };
    const Case cases[] = {
        {"as loaded", [&](M m) { m.play(t, false); }, 1, 1, 1},
        {"volume, master volume, pan, pitch, then not a number",
         [&](M m) {
             m.setVolume(t, 0.5f), m.setMasterVolume(0.5f), m.setPan(t, -1), m.setPitch(t, 3);
             m.setPitch(t, NAN), m.play(t, false);
         },
         0.25, 0, 3},
        {"paused twice", [&](M m) { m.play(t, false), m.pause(t), m.pause(t); }, 0, 0, 0},
        {"resumed twice", [&](M m) { m.play(t, false), m.pause(t), m.resume(t), m.resume(t); }, 1,
         1, 1},
        {"stopped at its start",
         [&](M m) {
             m.play(t, false), listen(m), m.stop(t);
             EXPECT_EQ(m.cursorSeconds(t), 0.0);
         },
         0, 0, 0},
        {"a voice on the right beside the sound below 0",
         [&](M m) { m.setVolume(t, -2), m.play(t, false), m.playVoice(t, 0.25f, 1, 1); }, 0, 0.25,
         1},
        {"two voices an octave down",
         [&](M m) { m.playVoice(t, 0.5f, 0.5f), m.playVoice(t, 0.5f, 0.5f); }, 1, 1, 0.5},
        {"nine voices: the oldest, on the left, makes room",
         [&](M m) {
             m.playVoice(t, 0.1f, 1, -1);
             for (int i = 0; i < 8; ++i) {
                 m.playVoice(t, 0.1f);
             }
         },
         0.8, 0.8, 1},
        {"a voice stopped, twice, and an empty handle",
         [&](M m) {
             const VoiceHandle first = m.playVoice(t, 0.5f);
             m.playVoice(t, 0.25f), m.stopVoice(first), m.stopVoice(first), m.stopVoice({});
         },
         0.25, 0.25, 1},
    };
    Heard loaded;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SoundManager own(pulledByTheTest());
        own.loadSound(t);
        c.set(own);
        const Heard heard = listen(own);
        loaded = &c == cases ? heard : loaded;
        EXPECT_NEAR(heard.left / loaded.left, c.left, 0.03);
        EXPECT_NEAR(heard.right / loaded.right, c.right, 0.03);
        EXPECT_NEAR(heard.crossings / loaded.crossings, c.pitch, 0.03);
        EXPECT_FALSE(own.playVoice("nothing.mp3"));
    }
}

TEST(SoundSettings, EachGetterGivesWhatItsSetterKept) {
    ScratchDir scratch;
    installTestSound(scratch, "short.mp3", "a.mp3");
    const struct {
        float set, volume, pitch, pan; // the master volume reads as the volume
    } cases[] = {{0.5f, 0.5f, 0.5f, 0.5f}, {20, 20, 8, 1}, {-3, 0, 0.125f, -1}, {NAN, 1, 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        SoundManager own(pulledByTheTest());
        own.loadSound("a.mp3");
        own.setVolume("a.mp3", c.set), own.setPitch("a.mp3", c.set), own.setPan("a.mp3", c.set);
        own.setMasterVolume(c.set);
        auto read = [&](const char* name) {
            return std::vector<float>{own.volume(name), own.pitch(name), own.pan(name)};
        };
        EXPECT_EQ(read("a.mp3"), (std::vector<float>{c.volume, c.pitch, c.pan}));
        EXPECT_EQ(own.masterVolume(), c.volume);
        own.loadSound("a.mp3"); // afresh, as is a name without a sound
        EXPECT_EQ(read("a.mp3"), (std::vector<float>{1, 1, 0}));
        EXPECT_EQ(read("none.mp3"), (std::vector<float>{1, 1, 0}));
    }
}

TEST(SoundFormats, WavFlacMp3AndOggVorbisPlayAnyOtherFormatFailsWithOneLine) {
    ScratchDir scratch;
    const char* const names[] = {"short.wav", "short.flac", "short.mp3", "short.ogg", "short.aiff"};
    for (const char* name : names) {
        installTestSound(scratch, name, name);
    }
    // Most MP3 files begin with a tag, here an empty one.
    std::ifstream mp3(scratch.path() + "/data/audio/short.mp3", std::ios::binary);
    scratch.writeFile("data/audio/short.mp3",
                      std::string("ID3\3\0\0\0\0\0\0", 10) +
                          std::string(std::istreambuf_iterator<char>(mp3), {}));
    SoundManager own(pulledByTheTest());
    StreamCapture out(StreamCapture::Stream::Out);
    for (const char* name : names) {
        SCOPED_TRACE(name);
        own.loadSound(name);
        own.play(name, false);
        EXPECT_EQ(listen(own).left > 0.2, name != names[4]) << "a tone at half of full scale";
        own.stop(name);
    }
    EXPECT_EQ(soundManagerLines(out.finish()), Lines{"Failed to load sound: short.aiff"});
}

// Slow files (named pipes here) hold up only the thread reading them: the
// watch notices a lost device while a load waits, and quitting while the
// restart waits waits for that file and no further one, without giving up.
TEST(SoundManagerSlowFiles, HoldUpOnlyTheThreadThatReadsThem) {
    static std::atomic<int> calls{0};
    ScratchDir scratch;
    installTestSound(scratch, "long.mp3", "a.mp3");
    installTestSound(scratch, "long.mp3", "b.mp3");
    StreamCapture out(StreamCapture::Stream::Out);
    {
        const StuckShutdownHandlerForTest counting([] { ++calls; });
        auto own = std::make_unique<SoundManager>();
        own->loadSound("a.mp3"), own->loadSound("b.mp3");
        ma_engine* lost = SoundManagerWorkings::engine(*own);
        const std::string audio = scratch.path() + "/data/audio/";
        SlowFile a(audio + "a.mp3"), b(audio + "b.mp3"), slow(audio + "slow.mp3");
        std::thread game([&] { own->loadSound("slow.mp3"); });
        EXPECT_TRUE(waitUntil(kDeadline, [&] { return slow.readerWaits(); }));
        ma_engine_stop(lost);
        EXPECT_TRUE(waitUntil(kDeadline, [&] { return a.readerWaits(); })) << "restarting";
        slow.release();
        game.join();
        std::atomic<bool> done{false};
        std::thread files([&] {
            pause(0.2);
            waitUntil(3.0, [&] { return a.release(), done.load(); });
            waitUntil(kDeadline, [&] { return a.release(), b.release(), done.load(); });
        });
        const auto start = std::chrono::steady_clock::now();
        own.reset();
        EXPECT_LT(secondsSince(start), 0.9);
        done = true;
        files.join();
    }
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(SoundManager::setStuckShutdownHandler(nullptr), nullptr) << "the earlier one";
    EXPECT_EQ(soundManagerLines(out.finish()), (Lines{kLost, "Failed to load sound: slow.mp3"}));
}

// Sounds loaded before the data directory moves (as Application::init moves
// it) keep their folder: for voices, and when a restart reopens them.
TEST(SoundManagerRestart, ReopensEachSoundFromTheFolderItWasLoadedFrom) {
    ScratchDir scratch;
    installTestSound(scratch, "long.mp3", "long.mp3");
    SoundManager own;
    own.loadSound("long.mp3");
    own.play("long.mp3", true);
    const std::string loadedFrom = dataDirectory();
    setDataDirectory("elsewhere");
    StreamCapture out(StreamCapture::Stream::Out);
    EXPECT_TRUE(own.playVoice("long.mp3"));
    ma_engine* lost = SoundManagerWorkings::engine(own);
    ma_engine_stop(lost);
    EXPECT_TRUE(waitUntil(kDeadline, [&] {
        return SoundManagerWorkings::engine(own) != lost && own.isPlaying("long.mp3");
    }));
    setDataDirectory(loadedFrom);
    EXPECT_EQ(soundManagerLines(out.finish()), (Lines{kLost, kBack}));
}

// Loads while a restart reopens the sounds (held up here by a slow file): a
// new name and a name loaded again get their own sounds on the new engine,
// and nothing opened for the earlier load stays behind on it.
TEST(SoundManagerRestart, LoadsMeanwhileGetTheirOwnSounds) {
    ScratchDir scratch;
    for (const char* name : {"a.mp3", "m.mp3", "z.mp3"}) {
        installTestSound(scratch, "long.mp3", name);
    }
    SoundManager own;
    own.loadSound("a.mp3"), own.loadSound("z.mp3");
    ma_engine* lost = SoundManagerWorkings::engine(own);
    SlowFile a(scratch.path() + "/data/audio/a.mp3");
    ma_engine_stop(lost);
    EXPECT_TRUE(waitUntil(kDeadline, [&] { return a.readerWaits(); }));
    own.loadSound("m.mp3"), own.loadSound("z.mp3");
    a.release();
    auto onTheNewEngine = [&](const char* name) {
        ma_sound* sound = SoundManagerWorkings::sound(own, name);
        return sound != nullptr && ma_sound_get_engine(sound) != lost;
    };
    EXPECT_TRUE(
        waitUntil(kDeadline, [&] { return onTheNewEngine("m.mp3") && onTheNewEngine("z.mp3"); }));
    EXPECT_EQ(soundsOnEndpoint(*SoundManagerWorkings::engine(own)).attached, 2);
}

// A console that takes no output (a full pipe, a terminal on hold) holds up
// the watch's line about a lost device, and no operation.
TEST(SoundManagerHeldConsole, HoldsUpNoOperation) {
    struct HeldConsole : std::streambuf {
        std::atomic<bool> writing{false}, opened{false};
        std::streamsize xsputn(const char*, std::streamsize n) override {
            writing = true;
            waitUntil(kDeadline, [&] { return opened.load(); });
            return n;
        }
    } held;
    ScratchDir scratch;
    installTestSound(scratch, "long.mp3", "long.mp3");
    std::streambuf* console = std::cout.rdbuf(&held);
    {
        SoundManager own; // gone before the console is back
        own.loadSound("long.mp3");
        ma_engine_stop(SoundManagerWorkings::engine(own));
        EXPECT_TRUE(waitUntil(kDeadline, [&] { return held.writing.load(); }));
        const auto start = std::chrono::steady_clock::now();
        own.isPlaying("long.mp3");
        EXPECT_LT(secondsSince(start), 1.0);
        held.opened = true;
    }
    std::cout.rdbuf(console);
}

} // namespace
