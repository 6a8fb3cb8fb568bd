// SoundManager: miniaudio engine ownership, name-addressed sounds and their
// voices, and the restart of an engine whose device was lost.
#include "velmora/SoundManager.h"

#include "engine/BackgroundTask.h"
#include "engine/DataDirectory.h"
#include "engine/PlaybackProgress.h"
#include "engine/Replay.h"
#include "engine/SoundBackends.h"
#include "engine/SoundManagerWorkings.h"

#include <miniaudio.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace velmora {

namespace {

using Clock = PlaybackProgress::Clock;

constexpr DataFolder kAudioDirectory{"audio/"};
const char* const kDeviceLost = "The audio device was lost; playing on without sound";
const char* const kDeviceBack = "The audio device is back; sound is on again";
const char* const kLoadFailed = "Failed to load sound: ";
const char* const kNoSoundDevice = "No sound device: the game runs silently";

// How often the device watch looks at the device's requests for samples, and
// how long a new device may take to ask again after filling its buffer.
constexpr std::chrono::milliseconds kWatchPeriod{100};
constexpr std::chrono::milliseconds kStartLimit{4000};
// A stopped voice fades out over this long instead of ending with a click.
constexpr ma_uint64 kVoiceFadeMilliseconds = 5;

// The sound of a name streams from its file; the source of its voices is
// decoded whole and only copied, never played itself, so it stays off the mix.
constexpr ma_uint32 kStreamFlags = MA_SOUND_FLAG_STREAM;
constexpr ma_uint32 kVoiceSourceFlags =
    MA_SOUND_FLAG_DECODE | MA_SOUND_FLAG_NO_DEFAULT_ATTACHMENT | MA_SOUND_FLAG_NO_SPATIALIZATION;
constexpr ma_uint32 kVoiceFlags = MA_SOUND_FLAG_NO_SPATIALIZATION;

constexpr float kMinPitch = 0.125f;
constexpr float kMaxPitch = 8.0f;

// The ordinary exit would free what the stuck device thread still uses, so
// the process ends here, successfully: quitting worked.
void endStuckProcess() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

void (*stuckShutdownHandler)() = endStuckProcess;

// Names arrive from formatted stack buffers and literals; a null pointer is
// treated as the empty name rather than dereferenced.
std::string nameOf(const char* name) {
    return name != nullptr ? std::string(name) : std::string();
}

// A sound name must stay inside the audio directory: it may not be empty and
// no path component may be "..". Subdirectories below data/audio/ are fine.
bool staysInAudioDirectory(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        if (name.compare(start, end - start, "..") == 0) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// Whether the file begins as WAV, FLAC, Ogg or MP3 does. miniaudio's own
// decoders would also take AIFF, and guess at anything else by trying each
// decoder in turn; the engine reads exactly the formats it names.
bool readableFormat(const std::string& path) {
    unsigned char head[12] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    auto has = [&](size_t at, const char* text) {
        const size_t length = std::strlen(text);
        return got >= at + length && std::memcmp(head + at, text, length) == 0;
    };
    const bool mpegFrame = got >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0;
    return ((has(0, "RIFF") || has(0, "RF64")) && has(8, "WAVE")) || has(0, "fLaC") ||
           has(0, "OggS") || has(0, "ID3") || mpegFrame;
}

// Brings a setting into [low, high]; false for a value that is not a number.
bool bounded(float value, float low, float high, float* result) {
    if (std::isnan(value)) {
        return false;
    }
    *result = std::min(std::max(value, low), high);
    return true;
}

void releaseSound(ma_sound* sound) {
    if (sound != nullptr) {
        ma_sound_uninit(sound);
        delete sound;
    }
}

// One whole line at once: the device watch writes from its own thread.
void say(const std::string& line) {
    std::cout << (line + "\n") << std::flush;
}

// One voice: a copy of a sound's decoded data with settings of its own.
struct Voice {
    std::uint64_t id = 0;
    ma_sound* sound = nullptr;
    bool ending = false; // stopped early, fading out
};

// Everything the manager keeps under one name.
struct Entry {
    ma_sound* sound = nullptr; // null once it could not be reopened: silent
    std::string path;          // the file it was loaded from, reopened by a restart
    bool looping = false;      // the flag last asked for by play
    float volume = 1.0f;
    float pitch = 1.0f;
    float pan = 0.0f;
    std::uint64_t load = 0;          // which load made it, to tell a reload
    ma_sound* voiceSource = nullptr; // made by the first voice
    bool voiceSourceFailed = false;  // reported once; tried again on a new engine
    std::vector<Voice> voices;       // oldest first

    void applySettings(ma_sound* to) const {
        ma_sound_set_volume(to, volume);
        ma_sound_set_pitch(to, pitch);
        ma_sound_set_pan(to, pan);
    }

    // Hands every voice and the voices' source to `retired`.
    void dropVoices(std::vector<ma_sound*>& retired) {
        for (const Voice& voice : voices) {
            retired.push_back(voice.sound);
        }
        voices.clear();
        retired.push_back(voiceSource);
        voiceSource = nullptr;
        voiceSourceFailed = false;
    }

    // Frees the voices that have played out or faded away.
    void reapVoices() {
        auto ended = std::stable_partition(voices.begin(), voices.end(), [](const Voice& voice) {
            return ma_sound_is_playing(voice.sound) == MA_TRUE;
        });
        for (auto it = ended; it != voices.end(); ++it) {
            releaseSound(it->sound);
        }
        voices.erase(ended, voices.end());
    }

    void release() {
        std::vector<ma_sound*> retired;
        dropVoices(retired);
        retired.push_back(sound);
        sound = nullptr;
        for (ma_sound* each : retired) {
            releaseSound(each);
        }
    }
};

} // namespace

struct SoundManagerEngine {
    ma_engine engine{};
    ma_context* context = nullptr; // one of our own, for a restarted engine
    ma_allocation_callbacks allocator{};
    // How often the device has asked for samples. It asks every few
    // milliseconds, whether anything plays or not, for as long as it works.
    std::atomic<std::uint64_t> pulls{0};
    // Blocks that miniaudio left behind after failed loads; freed after the
    // engine has stopped. The caller's thread and the device watch may both
    // be opening files on the engine.
    std::mutex abandonedLock;
    std::vector<void*> abandonedSources;

    // Starts an engine on the first of `order` that gives a device (without
    // a playback device, on none), probing each quietly. A lost device is
    // looked for on its own back-end only, not on a silent stand-in. Null
    // when none gives one.
    static std::unique_ptr<SoundManagerEngine> start(const SoundOptions& options,
                                                     const std::vector<ma_backend>& order) {
        if (!options.playbackDevice) {
            auto started = std::make_unique<SoundManagerEngine>();
            return started->init(options, ma_backend_null) ? std::move(started) : nullptr;
        }
        for (ma_backend backend : order) {
            auto started = std::make_unique<SoundManagerEngine>();
            QuietProbe probe(backend);
            const bool working = started->init(options, backend);
            probe.finish(working);
            if (working) {
                return started;
            }
        }
        return nullptr;
    }

    // Starts the engine, with a playback device on a context of its own for
    // `backend`.
    bool init(const SoundOptions& options, ma_backend backend) {
        ma_engine_config config = ma_engine_config_init();
        config.noDevice = options.playbackDevice ? MA_FALSE : MA_TRUE;
        config.channels = options.channels;
        config.sampleRate = options.sampleRate;
        config.allocationCallbacks = {options.allocatorUser, options.allocate, options.reallocate,
                                      options.release};
        config.onProcess = [](void* user, float*, ma_uint64) {
            static_cast<SoundManagerEngine*>(user)->pulls.fetch_add(1);
        };
        config.pProcessUserData = this;
        if (options.playbackDevice) {
            ma_context_config contextConfig = ma_context_config_init();
            contextConfig.allocationCallbacks = config.allocationCallbacks;
            context = new ma_context();
            if (ma_context_init(&backend, 1, &contextConfig, context) != MA_SUCCESS) {
                delete context;
                context = nullptr;
                return false;
            }
            config.pContext = context;
        }
        if (ma_engine_init(&config, &engine) != MA_SUCCESS) {
            releaseContext();
            return false;
        }
        allocator = engine.allocationCallbacks;
        return true;
    }

    // Opens the file at `path`; null when it cannot.
    ma_sound* open(const std::string& path, ma_uint32 flags) {
        if (!readableFormat(path)) {
            return nullptr;
        }
        ma_sound* sound = new ma_sound(); // value-initialised: zero-filled
        if (ma_sound_init_from_file(&engine, path.c_str(), flags, nullptr, nullptr, sound) ==
            MA_SUCCESS) {
            return sound;
        }
        // On a file that cannot be opened or decoded, miniaudio 0.11 returns
        // without freeing the data-source block it allocated for the sound,
        // and its decoding thread may still be finishing with that block. It
        // is set aside and freed once the engine, and that thread, stopped.
        if (sound->pResourceManagerDataSource != nullptr && !sound->ownsDataSource) {
            std::lock_guard<std::mutex> guard(abandonedLock);
            abandonedSources.push_back(sound->pResourceManagerDataSource);
        }
        delete sound;
        return nullptr;
    }

    // A new voice sharing the decoded data of `source`; null when it cannot.
    ma_sound* copy(const ma_sound* source) {
        ma_sound* voice = new ma_sound();
        if (ma_sound_init_copy(&engine, source, kVoiceFlags, nullptr, voice) == MA_SUCCESS) {
            return voice;
        }
        delete voice;
        return nullptr;
    }

    // Stops and uninitialises the engine; its sounds must be gone already.
    void close() {
        // miniaudio's uninit does not stop the device; it only flags the
        // device thread and waits for it to notice, which a PulseAudio device
        // whose server is gone never does, since nothing wakes its event loop.
        // Stopping first wakes that loop through the back-end.
        ma_engine_stop(&engine);
        ma_engine_uninit(&engine);
        for (void* block : abandonedSources) {
            ma_free(block, &allocator);
        }
        abandonedSources.clear();
        releaseContext();
    }

    void releaseContext() {
        if (context != nullptr) {
            ma_context_uninit(context);
            delete context;
            context = nullptr;
        }
    }

    // The back-end of the device; none without a device.
    const char* backendName() {
        ma_device* device = ma_engine_get_device(&engine);
        return device != nullptr ? velmora::backendName(device->pContext->backend) : "";
    }
    ma_backend backend() { return ma_engine_get_device(&engine)->pContext->backend; }
    double sampleRate() { return static_cast<double>(ma_engine_get_sample_rate(&engine)); }
};

namespace {

// Gives `fresh`, on a new engine, the state that `stale` had on the lost one.
// Positions go through seconds, as the two engines may run at different
// rates. A looping or paused sound goes on where it stood; a sound that was
// playing once through goes on where it would be now had the device not been
// lost, and stays finished if it would have ended meanwhile.
void carryOver(ma_sound* stale, double staleRate, ma_sound* fresh, double freshRate,
               double secondsLost) {
    ma_uint64 cursor = 0;
    ma_uint64 length = 0;
    ma_sound_get_cursor_in_pcm_frames(stale, &cursor);
    ma_sound_get_length_in_pcm_frames(stale, &length);
    const bool looping = ma_sound_is_looping(stale) == MA_TRUE;
    const bool playing = ma_sound_is_playing(stale) == MA_TRUE;
    double seconds = static_cast<double>(cursor) / staleRate;
    if (playing && !looping) {
        seconds += secondsLost;
    }
    ma_sound_set_looping(fresh, looping ? MA_TRUE : MA_FALSE);
    if (ma_sound_at_end(stale) || (length > 0 && seconds * staleRate >= length)) {
        return; // finished: a fresh sound at its start plays again from there
    }
    ma_sound_seek_to_pcm_frame(fresh, static_cast<ma_uint64>(seconds * freshRate));
    if (playing) {
        ma_sound_start(fresh);
    }
}

} // namespace

struct SoundManager::State {
    using Engine = SoundManagerEngine;

    explicit State(const SoundOptions& chosen) : options(chosen) {}

    SoundOptions options;
    std::unique_ptr<Engine> engine; // null when no engine ever started
    // Guards everything below between the operations and the device watch.
    // Both hold it only for moments: files are read and lines written with
    // it released.
    std::mutex lock;
    std::condition_variable wake;
    bool quitting = false;
    // The engine that the caller's thread opens a file on while it has the
    // lock released; a restart closes the engine it replaced only once this
    // has moved off it.
    const Engine* openingOn = nullptr;
    std::condition_variable openDone;
    std::uint64_t loads = 0;     // loads so far
    std::uint64_t lastVoice = 0; // the id of the latest voice
    float masterVolume = 1.0f;
    std::map<std::string, Entry> sounds;
    // The device: new (not yet judged), pulling samples, or lost; while it
    // is lost nothing plays.
    enum class Device { Starting, Working, Lost } device = Device::Starting;
    Clock::time_point deviceSince; // started, or lost
    PlaybackProgress progress;
    std::unique_ptr<BackgroundTask> watch; // last: it uses everything above

    // The entry of a name that has a sound, or null.
    Entry* find(const char* name) {
        auto found = sounds.find(nameOf(name));
        return found != sounds.end() && found->second.sound != nullptr ? &found->second : nullptr;
    }

    // Opens `path` on the engine that plays, reading the file with `guard`
    // released; returns with it held again, the sound (null when the file
    // cannot be opened) on the engine that plays then. For the caller's
    // thread only.
    ma_sound* open(std::unique_lock<std::mutex>& guard, const std::string& path, ma_uint32 flags) {
        for (Engine* on = engine.get(); on != nullptr; on = engine.get()) {
            openingOn = on;
            guard.unlock();
            ma_sound* sound = on->open(path, flags);
            guard.lock();
            const bool current = engine.get() == on;
            if (!current) { // replaced by a restart meanwhile: open it on the new one
                releaseSound(sound);
            }
            openingOn = nullptr;
            openDone.notify_all();
            if (current) {
                return sound;
            }
        }
        return nullptr;
    }

    bool stopping() {
        std::lock_guard<std::mutex> guard(lock);
        return quitting;
    }

    void startWatching() {
        device = Device::Starting;
        deviceSince = Clock::now();
        progress = PlaybackProgress();
        progress.advancing(engine->pulls.load(), deviceSince);
    }

    // Ends a voice early: a short fade, or at once while nothing plays
    // anyway (a lost device would never finish the fade).
    void endVoice(Voice& voice) {
        if (device == Device::Lost) {
            ma_sound_stop(voice.sound);
        } else {
            ma_sound_stop_with_fade_in_milliseconds(voice.sound, kVoiceFadeMilliseconds);
        }
        voice.ending = true;
    }

    // A sound that a restart opens again on the new engine.
    struct Reopen {
        std::string name;
        std::uint64_t load;
        std::string path;
        ma_sound* sound = nullptr;
    };

    void watchDevice();
    const char* loseDevice(Clock::time_point now);
    bool recover(Clock::time_point stalledSince);
    bool reopen(Engine& on, std::vector<Reopen>& sounds);
    void releaseEverything();
};

namespace {

// What the game's manager starts with, settled when instance() first runs.
struct InstanceSetting {
    std::vector<std::string> backends;
    bool made = false;
};

InstanceSetting& instanceSetting() {
    static InstanceSetting setting;
    return setting;
}

} // namespace

SoundManager& SoundManager::instance() {
    static SoundManager manager([] {
        SoundOptions options;
        options.backends = instanceSetting().backends;
        instanceSetting().made = true;
        return options;
    }());
    return manager;
}

bool SoundManager::setBackends(std::vector<std::string> names) {
    if (instanceSetting().made) {
        return false;
    }
    instanceSetting().backends = std::move(names);
    return true;
}

std::vector<std::string> SoundManager::backends() {
    return instanceSetting().backends;
}

SoundManager::SoundManager(const SoundOptions& options) : state(std::make_unique<State>(options)) {
    const BackendChoice choice = chooseBackends(options.backends);
    for (const std::string& name : choice.unknown) {
        std::cout << "Unknown sound back-end, ignored: " << name << std::endl;
    }
    state->engine = State::Engine::start(options, choice.order);
    if (state->engine == nullptr) {
        std::cout << "Failed to initialize audio engine.\n";
        return;
    }
    // Without a device the owner drives the engine's clock;
    // only a device can be lost. A page has no sound server to lose and no
    // threads: there is no watch.
#ifndef __EMSCRIPTEN__
    if (ma_engine_get_device(&state->engine->engine) != nullptr) {
        // Every back-end before the null device found nothing to play on.
        if (state->engine->backend() == ma_backend_null &&
            choice.order.front() != ma_backend_null) {
            std::cout << kNoSoundDevice << std::endl;
        }
        state->startWatching();
        State* watched = state.get();
        state->watch = std::make_unique<BackgroundTask>([watched] { watched->watchDevice(); });
    }
#endif
}

SoundManager::StuckShutdownHandler
SoundManager::setStuckShutdownHandler(StuckShutdownHandler handler) {
    const StuckShutdownHandler previous =
        stuckShutdownHandler != endStuckProcess ? stuckShutdownHandler : nullptr;
    stuckShutdownHandler = handler != nullptr ? handler : endStuckProcess;
    return previous;
}

SoundManager::~SoundManager() {
    {
        std::lock_guard<std::mutex> guard(state->lock);
        state->quitting = true;
    }
    state->wake.notify_all();
#ifdef __EMSCRIPTEN__
    // No threads in a page: nothing can be stuck, so the release runs here.
    state->releaseEverything();
    return;
#endif
    // miniaudio joins its device thread, and that thread can be blocked for
    // good on a sound server that has gone away or stopped answering; so can
    // a restart under way. The work therefore runs beside this thread, which
    // waits only so long.
    State* ending = state.get();
    BackgroundTask shutdown([ending] {
        ending->watch.reset();
        ending->releaseEverything();
    });
    if (shutdown.finishedWithin(kShutdownBudget)) {
        return;
    }
    std::cout << "The audio device did not stop within "
              << std::chrono::duration<double>(kShutdownBudget).count()
              << " s; quitting without waiting for it" << std::endl;
    stuckShutdownHandler(); // if it returns, the task's end is awaited
}

void SoundManager::State::releaseEverything() {
    // Every sound detaches from the engine's graph before the engine goes;
    // the map's order makes this ascending by name.
    for (auto& named : sounds) {
        named.second.release();
    }
    sounds.clear();
    if (engine != nullptr) {
        engine->close();
        engine.reset();
    }
}

void SoundManager::State::watchDevice() {
    std::unique_lock<std::mutex> guard(lock);
    Clock::time_point lastAttempt;
    while (!wake.wait_for(guard, kWatchPeriod, [this] { return quitting; })) {
        const auto now = Clock::now();
        const bool advancing = progress.advancing(engine->pulls.load(), now);
        const bool movedSince = progress.lastMoved() > deviceSince;
        const char* line = nullptr; // written once the lock is released
        switch (device) {
        case Device::Starting:
            // A PulseAudio stream fills its buffer at once and may then not
            // ask again for a couple of seconds, so a new device is judged
            // only once it has pulled again, or after a generous wait.
            if (movedSince) {
                device = Device::Working;
            } else if (progress.silence() > kStartLimit) {
                line = loseDevice(now);
                lastAttempt = now;
            }
            break;
        case Device::Working:
            if (!advancing) {
                line = loseDevice(now);
                lastAttempt = now; // the first attempt follows one interval later
            }
            break;
        case Device::Lost:
            if (movedSince) { // the old device came back by itself
                device = Device::Working;
                line = kDeviceBack;
            } else if (now - lastAttempt >= kRetryInterval) {
                lastAttempt = now;
                const auto stalledSince = progress.lastMoved();
                guard.unlock();
                const bool restarted = recover(stalledSince);
                guard.lock();
                line = restarted ? kDeviceBack : nullptr;
            }
            break;
        }
        if (line != nullptr) {
            guard.unlock();
            say(line);
            guard.lock();
        }
    }
}

const char* SoundManager::State::loseDevice(Clock::time_point now) {
    device = Device::Lost;
    deviceSince = now;
    return kDeviceLost;
}

// Opens each sound on `on`, with the lock released; false as soon as the
// manager quits, which then waits for no further file.
bool SoundManager::State::reopen(Engine& on, std::vector<Reopen>& wanted) {
    for (Reopen& each : wanted) {
        if (stopping()) {
            return false;
        }
        each.sound = on.open(each.path, kStreamFlags);
    }
    return !stopping();
}

bool SoundManager::State::recover(Clock::time_point stalledSince) {
    std::vector<Reopen> wanted;
    ma_backend backend;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (quitting) {
            return false;
        }
        for (const auto& named : sounds) {
            if (named.second.sound != nullptr) {
                wanted.push_back({named.first, named.second.load, named.second.path});
            }
        }
        backend = engine->backend();
    }
    auto releaseOpened = [](std::vector<Reopen>& opened) {
        for (Reopen& each : opened) {
            releaseSound(each.sound);
            each.sound = nullptr;
        }
    };

    // What may block (a frozen server) or take a while (opening files)
    // happens here, outside the lock, on an engine nobody else sees.
    std::unique_ptr<Engine> fresh = Engine::start(options, {backend});
    if (fresh == nullptr) {
        return false;
    }
    if (!reopen(*fresh, wanted)) {
        releaseOpened(wanted);
        fresh->close();
        return false;
    }

    std::vector<ma_sound*> retired;
    std::vector<std::string> missing;
    std::vector<Reopen> late; // loaded while the engine above started
    Engine* const now = fresh.get();
    const double lostRate = engine->sampleRate();
    const double freshRate = fresh->sampleRate();
    double secondsLost = 0.0;
    // Gives an entry its sound on the new engine, or none; its sound on the
    // lost one is retired.
    auto replace = [&](const std::string& name, Entry& entry, ma_sound* sound) {
        if (sound == nullptr) {
            missing.push_back(name);
        } else {
            entry.applySettings(sound);
            carryOver(entry.sound, lostRate, sound, freshRate, secondsLost);
        }
        retired.push_back(entry.sound);
        entry.sound = sound;
    };
    const bool swapped = [&] {
        std::lock_guard<std::mutex> guard(lock);
        if (quitting) {
            return false;
        }
        secondsLost = std::chrono::duration<double>(Clock::now() - stalledSince).count();
        ma_engine_set_volume(&fresh->engine, masterVolume);
        auto opened = wanted.begin();
        for (auto& named : sounds) {
            Entry& entry = named.second;
            entry.dropVoices(retired); // voices end here
            if (entry.sound == nullptr) {
                continue; // reported when it went missing
            }
            while (opened != wanted.end() && opened->name < named.first) {
                ++opened; // reloaded meanwhile under a name before this one
            }
            if (opened != wanted.end() && opened->name == named.first &&
                opened->load == entry.load) {
                replace(named.first, entry, opened->sound);
                opened->sound = nullptr;
            } else { // keeps its sound on the lost engine until it is opened below
                late.push_back({named.first, entry.load, entry.path});
            }
        }
        std::swap(engine, fresh); // fresh now holds the lost engine
        startWatching();
        return true;
    }();
    if (!swapped) {
        releaseOpened(wanted);
        fresh->close();
        return false;
    }
    // Left over: sounds opened for loads that were replaced meanwhile.
    releaseOpened(wanted);
    const bool opened = reopen(*now, late);
    {
        std::unique_lock<std::mutex> guard(lock);
        for (Reopen& each : late) {
            auto found = sounds.find(each.name);
            if (found != sounds.end() && found->second.load == each.load) {
                replace(each.name, found->second, each.sound);
                each.sound = nullptr;
            }
        }
        // The caller's thread may still be opening a file on the lost engine.
        openDone.wait(guard, [&] { return openingOn != fresh.get(); });
    }
    releaseOpened(late);
    for (ma_sound* sound : retired) {
        releaseSound(sound);
    }
    fresh->close();
    if (!opened) {
        return false;
    }
    for (const std::string& name : missing) {
        say(kLoadFailed + name);
    }
    return true;
}

void SoundManager::loadSound(const char* name) {
    const std::string bare = nameOf(name);
    // The data directory is read here, on the caller's thread, once: voices
    // and a restart open this same file, wherever the directory moves later.
    const std::string path = kAudioDirectory + bare;
    std::unique_lock<std::mutex> guard(state->lock);
    ma_sound* sound =
        staysInAudioDirectory(bare) ? state->open(guard, path, kStreamFlags) : nullptr;
    if (sound == nullptr) {
        guard.unlock();
        std::cout << kLoadFailed << bare << std::endl;
        return;
    }
    // A second load of a name must not leave the first sound attached to the
    // engine, where it would go on playing with nobody able to stop it.
    Entry& entry = state->sounds[bare];
    entry.release();
    entry = Entry();
    entry.sound = sound;
    entry.path = path;
    entry.load = ++state->loads;
}

void SoundManager::play(const char* name, bool loop) {
    std::lock_guard<std::mutex> guard(state->lock);
    Entry* entry = state->find(name);
    if (entry == nullptr) {
        return;
    }
    entry->looping = loop;
    ma_sound_set_looping(entry->sound, loop ? MA_TRUE : MA_FALSE);
    ma_sound_start(entry->sound);
}

void SoundManager::toggle(const char* name) {
    std::lock_guard<std::mutex> guard(state->lock);
    Entry* entry = state->find(name);
    if (entry == nullptr) {
        return;
    }
    if (ma_sound_is_playing(entry->sound) == MA_TRUE && state->device != State::Device::Lost) {
        ma_sound_stop(entry->sound);
    } else {
        ma_sound_start(entry->sound);
    }
}

void SoundManager::pause(const char* name) {
    std::lock_guard<std::mutex> guard(state->lock);
    Entry* entry = state->find(name);
    if (entry != nullptr && ma_sound_is_playing(entry->sound) == MA_TRUE) {
        ma_sound_stop(entry->sound);
    }
}

void SoundManager::resume(const char* name) {
    std::lock_guard<std::mutex> guard(state->lock);
    Entry* entry = state->find(name);
    if (entry != nullptr && ma_sound_is_playing(entry->sound) == MA_FALSE) {
        ma_sound_start(entry->sound);
    }
}

void SoundManager::stop(const char* name) {
    std::lock_guard<std::mutex> guard(state->lock);
    Entry* entry = state->find(name);
    if (entry != nullptr) {
        ma_sound_stop(entry->sound);
        ma_sound_seek_to_pcm_frame(entry->sound, 0);
    }
}

bool SoundManager::isPlaying(const char* name) {
    bool playing = false;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        Entry* entry = state->find(name);
        playing = entry != nullptr && ma_sound_is_playing(entry->sound) == MA_TRUE &&
                  state->device != State::Device::Lost;
    }
    // The sound runs on the device's clock, not the frame clock: a
    // recording keeps the answer, a replay gives it back.
    return Replay::answer(playing ? 1.0 : 0.0) != 0.0;
}

double SoundManager::cursorSeconds(const char* name) {
    const char* failure = nullptr;
    double seconds = 0.0;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        Entry* entry = state->find(name);
        ma_uint64 frames = 0;
        if (entry == nullptr) {
            failure = "Sound not found: ";
        } else if (ma_sound_get_cursor_in_pcm_frames(entry->sound, &frames) != MA_SUCCESS) {
            failure = "Failed to get cursor position for sound: ";
        } else {
            seconds = static_cast<double>(frames) / state->engine->sampleRate();
        }
    }
    if (failure != nullptr) {
        std::cout << failure << nameOf(name) << std::endl;
    }
    return Replay::answer(seconds);
}

void SoundManager::setVolume(const char* name, float volume) {
    std::lock_guard<std::mutex> guard(state->lock);
    Entry* entry = state->find(name);
    if (entry != nullptr &&
        bounded(volume, 0.0f, std::numeric_limits<float>::max(), &entry->volume)) {
        ma_sound_set_volume(entry->sound, entry->volume);
    }
}

void SoundManager::setPitch(const char* name, float pitch) {
    std::lock_guard<std::mutex> guard(state->lock);
    Entry* entry = state->find(name);
    if (entry != nullptr && bounded(pitch, kMinPitch, kMaxPitch, &entry->pitch)) {
        ma_sound_set_pitch(entry->sound, entry->pitch);
    }
}

void SoundManager::setPan(const char* name, float pan) {
    std::lock_guard<std::mutex> guard(state->lock);
    Entry* entry = state->find(name);
    if (entry != nullptr && bounded(pan, -1.0f, 1.0f, &entry->pan)) {
        ma_sound_set_pan(entry->sound, entry->pan);
    }
}

void SoundManager::setMasterVolume(float volume) {
    std::lock_guard<std::mutex> guard(state->lock);
    if (bounded(volume, 0.0f, std::numeric_limits<float>::max(), &state->masterVolume) &&
        state->engine != nullptr) {
        ma_engine_set_volume(&state->engine->engine, state->masterVolume);
    }
}

float SoundManager::volume(const char* name) const {
    std::lock_guard<std::mutex> guard(state->lock);
    const Entry* entry = state->find(name);
    return entry != nullptr ? entry->volume : 1.0f;
}

float SoundManager::pitch(const char* name) const {
    std::lock_guard<std::mutex> guard(state->lock);
    const Entry* entry = state->find(name);
    return entry != nullptr ? entry->pitch : 1.0f;
}

float SoundManager::pan(const char* name) const {
    std::lock_guard<std::mutex> guard(state->lock);
    const Entry* entry = state->find(name);
    return entry != nullptr ? entry->pan : 0.0f;
}

float SoundManager::masterVolume() const {
    std::lock_guard<std::mutex> guard(state->lock);
    return state->masterVolume;
}

std::string SoundManager::backend() const {
    std::lock_guard<std::mutex> guard(state->lock);
    return state->engine != nullptr ? state->engine->backendName() : "";
}

VoiceHandle SoundManager::playVoice(const char* name, float volume, float pitch, float pan) {
    std::unique_lock<std::mutex> guard(state->lock);
    Entry* entry = state->find(name);
    if (entry == nullptr) {
        return VoiceHandle();
    }
    if (entry->voiceSource == nullptr && !entry->voiceSourceFailed) {
        const std::string path = entry->path;
        ma_sound* source = state->open(guard, path, kVoiceSourceFlags);
        // Only this thread adds or removes names, but a restart meanwhile may
        // have left the name without a sound.
        entry = state->find(name);
        if (entry == nullptr) {
            releaseSound(source);
            return VoiceHandle();
        }
        entry->voiceSource = source;
        entry->voiceSourceFailed = source == nullptr;
        if (entry->voiceSourceFailed) {
            guard.unlock();
            say(kLoadFailed + nameOf(name));
            return VoiceHandle();
        }
    }
    if (entry->voiceSource == nullptr) {
        return VoiceHandle();
    }
    entry->reapVoices();
    int live = 0;
    for (const Voice& voice : entry->voices) {
        live += voice.ending ? 0 : 1;
    }
    for (Voice& voice : entry->voices) { // the oldest makes room
        if (live < kVoicesPerSound) {
            break;
        }
        if (!voice.ending) {
            state->endVoice(voice);
            --live;
        }
    }
    ma_sound* sound = state->engine->copy(entry->voiceSource);
    if (sound == nullptr) {
        return VoiceHandle();
    }
    float setting = 1.0f;
    ma_sound_set_volume(
        sound, bounded(volume, 0.0f, std::numeric_limits<float>::max(), &setting) ? setting : 1.0f);
    ma_sound_set_pitch(sound, bounded(pitch, kMinPitch, kMaxPitch, &setting) ? setting : 1.0f);
    ma_sound_set_pan(sound, bounded(pan, -1.0f, 1.0f, &setting) ? setting : 0.0f);
    ma_sound_start(sound);
    entry->voices.push_back(Voice{++state->lastVoice, sound, false});
    return VoiceHandle{state->lastVoice};
}

void SoundManager::stopVoice(VoiceHandle handle) {
    std::lock_guard<std::mutex> guard(state->lock);
    for (auto& named : state->sounds) {
        for (Voice& voice : named.second.voices) {
            if (voice.id == handle.id && !voice.ending) {
                state->endVoice(voice);
                named.second.reapVoices();
                return;
            }
        }
    }
}

ma_engine* SoundManagerWorkings::engine(SoundManager& manager) {
    std::lock_guard<std::mutex> guard(manager.state->lock);
    return manager.state->engine != nullptr ? &manager.state->engine->engine : nullptr;
}

ma_sound* SoundManagerWorkings::sound(SoundManager& manager, const char* name) {
    std::lock_guard<std::mutex> guard(manager.state->lock);
    Entry* entry = manager.state->find(name);
    return entry != nullptr ? entry->sound : nullptr;
}

std::size_t SoundManagerWorkings::soundCount(SoundManager& manager) {
    std::lock_guard<std::mutex> guard(manager.state->lock);
    return manager.state->sounds.size();
}

bool SoundManagerWorkings::looping(SoundManager& manager, const char* name) {
    std::lock_guard<std::mutex> guard(manager.state->lock);
    Entry* entry = manager.state->find(name);
    return entry != nullptr && entry->looping;
}

} // namespace velmora
