// SoundManager: the process's one audio engine and every sound of the game,
// addressed by bare file name ("loop.mp3"). Sounds are streamed from
// data/audio/ and decoded on miniaudio's own threads; this class only forwards
// play, pause/resume and queries to them. Failures are reported on standard
// output and never stop the game: a missing sound is simply silent.
#pragma once

#include "engine/PlaybackProgress.h"

#include <miniaudio.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

// One loaded sound: the miniaudio sound (heap-allocated, since miniaudio keeps
// pointers into it) and the looping flag last asked for.
struct SoundEntry {
    ma_sound* sound = nullptr;
    bool looping = false;
};

class SoundManager {
  public:
    // How long shut-down waits for miniaudio to stop its device and threads.
    static constexpr std::chrono::milliseconds kShutdownBudget{1000};

    // What the program does when the audio shut-down overruns its budget: the
    // device thread is then stuck inside the audio library, and the handler
    // is expected to end the process without the ordinary exit. Without a
    // handler, or if it returns, shut-down goes on waiting, since the stuck
    // thread still uses this manager's memory. Setting it creates no manager.
    static void setStuckShutdownHandler(void (*handler)());

    // The game's manager, on the system's default playback device; created on
    // first call.
    static SoundManager& instance();

    // A manager whose engine starts with `config` (null: miniaudio's
    // defaults). The game only ever uses instance(); a separate manager lets
    // tools and tests run an engine of their own.
    explicit SoundManager(const ma_engine_config* config);
    ~SoundManager();

    // Opens "data/audio/" + name as a streamed sound, stopped at its start.
    // Loading a name again replaces the earlier sound, which stops and is freed.
    void loadSound(const char* name);
    // Sets the looping flag, then starts the sound. A sound that is already
    // playing goes on undisturbed, a finished one starts over, a paused one
    // resumes where it stopped.
    void play(const char* name, bool loop);
    // Pauses the sound if it plays, else starts it (position kept).
    void toggle(const char* name);
    // Whether the sound plays now. Once the playback device has stopped
    // pulling samples (its sound server went away) nothing plays, so callers
    // waiting for a sound to end are not kept waiting for ever.
    bool isPlaying(const char* name);
    // The playback position in seconds from the start of the sound; 0.0 when
    // the name has no sound or the position is unavailable.
    double cursorSeconds(const char* name);

    ma_engine engine;
    std::map<std::string, SoundEntry*> sounds;

    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

  private:
    SoundEntry* find(const char* name);
    void releaseFailedLoad(ma_sound* sound);
    void releaseEverything();
    bool deviceAdvancing();

    // False when the engine did not start: it must then never be used or
    // uninitialised, since miniaudio has already released what it had built.
    bool engineReady = false;
    // Blocks that miniaudio left behind after failed loads; freed after the
    // engine has stopped.
    std::vector<void*> abandonedSources;
    PlaybackProgress progress;
};
