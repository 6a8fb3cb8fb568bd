// SoundManager: the process's one audio engine and every sound of the game,
// addressed by bare file name ("loop.mp3"), read from the data directory's audio/.
//
// Formats: WAV, FLAC, MP3 and Ogg Vorbis, told apart by the file's first
// bytes, not by its name. A file of any other format (AIFF, Opus, AAC, …) is
// refused with the one line "Failed to load sound: " + name.
//
// Two ways to make a sound heard:
// - The sound of a name: loadSound streams it from its file; play, toggle,
//   pause, resume and stop address it, one copy per name, as music wants.
// - Voices: playVoice starts another copy of a loaded sound that overlaps
//   those already playing, as hit sounds want. Each voice has its own volume,
//   pitch and pan, fixed when it starts, and ends by itself at the end of the
//   sound. At most kVoicesPerSound voices of one name play at once; one more
//   steals the oldest, so that the newest event is always heard.
//
// Failures are reported on standard output, one line each, and never stop
// the game: a missing sound is simply silent.
//
// The sound server may go away, restart or hang under the game. A thread of
// the manager's own watches the playback device: when it has asked for no
// samples for a second while this process runs (a process stopped as a
// whole, by Ctrl-Z or a debugger, does not count), the manager prints
// "The audio device was lost; playing on without sound", plays on silently
// and tries a fresh device on the same back-end about once a second. Once
// one runs, every sound of a name goes on where it stood (a sound that would
// have ended meanwhile stays ended), with its volume, pitch and pan, and the
// manager prints "The audio device is back; sound is on again". Voices end
// at such a restart: they belong to a moment of the game that has passed.
// Each file is opened again from the path it was loaded from. A file that can
// no longer be opened then is reported once, with the load failure line, and
// that name stays silent until it is loaded again.
//
// Threads: call the operations below from one thread at a time (the game's
// main thread, in practice). They and the watch share one lock, which guards
// only the manager's own state: files are read, devices started and stopped,
// and console lines written with it released. So an operation never waits on
// a hung sound server or on the watch's console, and the watch never waits
// on a slow file being loaded. Only the operations read the data directory
// (see loadSound). Nothing here hands out a pointer into the manager's state.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

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
    // The audio back-ends to try for the playback device, in order: the
    // first that gives a device is used (see SoundManager::setBackends for
    // the names). Empty: every back-end of the system, in the audio
    // library's order (PulseAudio, ALSA, JACK, then the silent null device
    // on Linux).
    std::vector<std::string> backends;
};

// One voice started by playVoice: a plain number that owns nothing. 0 is no
// voice. A handle whose voice has ended (played out, stopped, stolen, or
// ended by a restart) stays harmless: stopVoice ignores it.
struct VoiceHandle {
    std::uint64_t id = 0;
    explicit operator bool() const { return id != 0; }
};

class SoundManager {
  public:
    // How long shut-down waits for the audio library to stop its device.
    static constexpr std::chrono::milliseconds kShutdownBudget{1000};
    // The least time between two attempts to start a lost device again.
    static constexpr std::chrono::milliseconds kRetryInterval{1000};
    // The most voices of one sound that play at once.
    static constexpr int kVoicesPerSound = 8;

    // What the program does when the audio shut-down overruns its budget. The
    // device's thread is then stuck inside the audio library (a hung sound
    // server), and the ordinary exit, which would free what it still uses,
    // cannot be risked. The manager first prints "The audio device did not
    // stop within 1 s; quitting without waiting for it", then calls the
    // handler, which is expected to end the process without the ordinary
    // exit (std::_Exit). Without a handler (or after setting null) the
    // manager does that itself: it flushes the console and ends the process
    // with status 0. A handler that returns makes shut-down wait for the
    // stuck thread after all, for as long as it takes. Setting it creates no
    // manager. Returns the handler set before (null: the manager's own), so
    // that a caller can put it back.
    using StuckShutdownHandler = void (*)();
    static StuckShutdownHandler setStuckShutdownHandler(StuckShutdownHandler handler);

    // The game's manager, on the system's default playback device; created on
    // first call, destroyed at exit.
    //
    // Start-up tries the back-ends in turn (see setBackends). What the
    // system's audio libraries print while a back-end finds no device (ALSA
    // without a sound card, JACK without a server: some forty lines) is kept
    // off the console; should ALSA fail on a machine that has a card, or
    // JACK for another reason than a missing server, their lines are printed
    // after all, as real errors. When every back-end before the null device
    // found nothing, the manager prints the one line "No sound device: the
    // game runs silently" and plays on the null device: every operation
    // works, nothing is heard. With a sound server nothing of this shows.
    static SoundManager& instance();

    // The back-ends instance() tries, in order, by lower-case name (any
    // letter case is read): "pulseaudio", "alsa", "jack", "oss", "sndio",
    // "audio4", "coreaudio", "wasapi", "dsound", "winmm", "aaudio", "opensl",
    // "webaudio", and "null", the silent device that always starts. A name
    // of another system's back-end is passed over quietly, so one list
    // serves every system; a name that is none of these is reported when
    // the manager starts, with "Unknown sound back-end, ignored: " and the
    // name, and skipped. Empty, or nothing usable: the default order (see
    // SoundOptions::backends). A list without "null" lets start-up fail
    // ("Failed to initialize audio engine.") rather than go silent; {"null"}
    // alone starts silently without a word. Call it before the first
    // instance(), e.g. first thing in main; afterwards it changes nothing
    // and returns false.
    static bool setBackends(std::vector<std::string> names);
    // The names setBackends kept (empty: the default order).
    static std::vector<std::string> backends();
    // The back-end the playback device runs on, by the names above ("null":
    // silent); "" when the manager has no device or no engine.
    std::string backend() const;

    // A manager of its own (tools, tests); the game only ever uses instance().
    // It starts as instance() does, on options.backends, quietly and with
    // the same lines. When no engine starts it prints "Failed to initialize
    // audio engine." and every load then fails.
    explicit SoundManager(const SoundOptions& options = SoundOptions());
    // Stops the watch, every sound and the engine. A restart of the device
    // under way gives up at once, at the latest after the file it is reading,
    // so that only the device itself can hold shut-down up.
    ~SoundManager();

    // Opens "data/audio/" + name ("data" being the settings' dataDirectory,
    // see Application.h) as a streamed sound, stopped at its start,
    // at volume 1, pitch 1, pan 0. The path is settled by this call: voices
    // of the name and a restart of the device open that same file, even once
    // the data directory has changed (a sound loaded before Application::init
    // stays with the folder it came from). A name may hold subdirectories but
    // no ".." part. Loading a name again replaces the earlier sound, which
    // stops and is freed with its voices; a failed load keeps the earlier one.
    void loadSound(const char* name);

    // Sets the looping flag, then starts the sound. A sound that is already
    // playing goes on undisturbed, a finished one starts over, a paused one
    // resumes where it stopped.
    void play(const char* name, bool loop);
    // Pauses the sound if isPlaying says it plays, else starts it (position
    // kept). While the device is lost nothing plays, so this starts.
    void toggle(const char* name);
    // Pauses the sound (position kept) if it is started; else does nothing.
    // Unlike isPlaying-then-toggle this is one step, which a restart of the
    // device cannot split, and it holds while the device is lost.
    void pause(const char* name);
    // Starts the sound if it is not started: a paused one resumes where it
    // stopped, a finished one starts over. A started one goes on undisturbed.
    void resume(const char* name);
    // Stops the sound and rewinds it to its start; play begins it anew.
    void stop(const char* name);
    // Whether the sound plays now. Once the playback device has stopped
    // pulling samples nothing plays, so callers waiting for a sound to end
    // are not kept waiting for ever. Voices do not count.
    bool isPlaying(const char* name);
    // The playback position in seconds from the start of the sound; 0.0 when
    // the name has no sound or the position is unavailable (each says so).
    double cursorSeconds(const char* name);

    // The sound's own settings, kept until it is loaded again, also across a
    // restart of the device; its voices keep theirs. Volume is a linear gain
    // (1: as recorded, 0: silent; below 0 counts as 0). Pitch scales the rate
    // and so the length (2: an octave up, twice as fast), from 1/8 to 8. Pan
    // moves it between the left (-1) and right (+1) speaker, 0 in the middle.
    // Values beyond the ranges are brought into them, and a value that is
    // not a number leaves the setting alone. A name without a sound: nothing.
    void setVolume(const char* name, float volume);
    void setPitch(const char* name, float pitch);
    void setPan(const char* name, float pan);
    // The sound's settings as kept: after the setters above brought them into
    // range. A name without a sound gives what a fresh load has (1, 1, 0).
    float volume(const char* name) const;
    float pitch(const char* name) const;
    float pan(const char* name) const;
    // A gain on everything the manager plays, kept across restarts; 1 at
    // start, same range as setVolume.
    void setMasterVolume(float volume);
    // The gain setMasterVolume kept; 1 at start.
    float masterVolume() const;

    // Starts a voice of a loaded sound, with the settings above, from its
    // start, once through. It overlaps the sound of the name and its other
    // voices; beyond kVoicesPerSound of them the oldest stops. The first
    // voice of a name decodes the whole file into memory (once, kept until
    // the name is loaded again): fine for effects, costly for long music.
    // Returns the voice, or an empty handle when the name has no sound.
    VoiceHandle playVoice(const char* name, float volume = 1.0f, float pitch = 1.0f,
                          float pan = 0.0f);
    // Ends the voice at once (a few milliseconds' fade, no click). An ended
    // or empty handle: nothing.
    void stopVoice(VoiceHandle voice);

    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

  private:
    friend struct SoundManagerWorkings; // the engine's tests look inside through it
    struct State;
    std::unique_ptr<State> state;
};

} // namespace velmora
