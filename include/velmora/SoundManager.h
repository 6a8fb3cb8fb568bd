// SoundManager: the process's one audio engine and every sound of the game,
// addressed by bare file name ("loop.mp3"). Sounds are streamed from
// data/audio/ and decoded on miniaudio's own threads; this class only forwards
// play, pause/resume and queries to them. Failures are reported on standard
// output and never stop the game: a missing sound is simply silent.
//
// A thread of the manager's own watches the playback device. When it has
// asked for no samples for a second (its sound server was restarted, went
// away or hangs), the manager says so once, plays on silently, and tries a
// fresh engine on the same back-end about once a second until one runs; it
// then reopens every sound where it stood and says so once more. The
// operations below are meant for one thread, the game's; the watch shares a
// lock with them that it holds only for moments, so they never wait on it.
//
// This header needs no audio library headers; code that wants miniaudio's own
// calls includes <miniaudio.h> itself.
#pragma once

#include "engine/PlaybackProgress.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>

struct ma_engine;
struct ma_sound;

namespace velmora {
class BackgroundTask;

// One loaded sound: the miniaudio sound (heap-allocated, since miniaudio keeps
// pointers into it) and the looping flag last asked for.
struct SoundEntry {
    ma_sound* sound = nullptr;
    bool looping = false;
};

// How a manager of one's own starts its engine; the defaults are the game's.
struct SoundOptions {
    // False: an engine without a playback device, whose owner pulls the mix
    // itself. It needs channels and sampleRate, or it does not start.
    bool playbackDevice = true;
    unsigned channels = 0;   // 0: the device's own
    unsigned sampleRate = 0; // 0: the device's own
    // Where the audio library takes its memory; all three null: the C heap.
    void* allocatorUser = nullptr;
    void* (*allocate)(std::size_t size, void* user) = nullptr;
    void* (*reallocate)(void* block, std::size_t size, void* user) = nullptr;
    void (*release)(void* block, void* user) = nullptr;
};

class SoundManager {
  public:
    // How long shut-down waits for miniaudio to stop its device and threads.
    static constexpr std::chrono::milliseconds kShutdownBudget{1000};
    // The least time between two attempts to start a lost device again.
    static constexpr std::chrono::milliseconds kRetryInterval{1000};

    // What the program does when the audio shut-down overruns its budget: the
    // device thread is then stuck inside the audio library, and the handler
    // is expected to end the process without the ordinary exit (the manager
    // first prints that it gives up waiting). Without a handler, or if it
    // returns, shut-down quietly goes on waiting, since the stuck thread still
    // uses this manager's memory. Setting it creates no manager.
    static void setStuckShutdownHandler(void (*handler)());

    // The game's manager, on the system's default playback device; created on
    // first call.
    static SoundManager& instance();

    // A manager of its own (tools, tests); the game only ever uses instance().
    explicit SoundManager(const SoundOptions& options = SoundOptions());
    ~SoundManager();

    // Opens "data/audio/" + name as a streamed sound, stopped at its start.
    // Loading a name again replaces the earlier sound, which stops and is freed.
    void loadSound(const char* name);
    // Sets the looping flag, then starts the sound. A sound that is already
    // playing goes on undisturbed, a finished one starts over, a paused one
    // resumes where it stopped.
    void play(const char* name, bool loop);
    // Pauses the sound if isPlaying says it plays, else starts it (position
    // kept). While the device is gone nothing plays, so this starts.
    void toggle(const char* name);
    // Whether the sound plays now. Once the playback device has stopped
    // pulling samples nothing plays, so callers waiting for a sound to end
    // are not kept waiting for ever.
    bool isPlaying(const char* name);
    // The playback position in seconds from the start of the sound; 0.0 when
    // the name has no sound or the position is unavailable.
    double cursorSeconds(const char* name);

    // The engine that plays now (null if none started), for code that calls
    // miniaudio directly. A recovery replaces it and every entry's sound.
    ma_engine* audioEngine();

    // Every loaded sound by name; read it on the thread that calls the
    // operations above.
    std::map<std::string, SoundEntry*> sounds;

    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

  private:
    struct Engine; // one started engine and what only it may free

    SoundEntry* find(const char* name);
    void startWatching();
    void watchDevice();
    void loseDevice(PlaybackProgress::Clock::time_point now);
    bool recover(PlaybackProgress::Clock::time_point stalledSince);
    void releaseEverything();

    SoundOptions options;
    std::unique_ptr<Engine> engine; // null when no engine ever started
    // Guards everything below between the calls above and the device watch,
    // which holds it only for moments.
    std::mutex lock;
    std::condition_variable wake;
    bool quitting = false;
    unsigned loadCount = 0; // loads so far: a recovery that saw fewer starts over
    // The device: new (not yet judged), pulling samples, or lost; while it
    // is lost nothing plays.
    enum class Device { Starting, Working, Lost } device = Device::Starting;
    PlaybackProgress::Clock::time_point deviceSince; // started, or lost
    PlaybackProgress progress;
    std::unique_ptr<BackgroundTask> watch; // last: it uses everything above
};

} // namespace velmora
