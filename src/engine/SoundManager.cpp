// SoundManager: miniaudio engine ownership, name-addressed sounds, and the
// restart of an engine whose device was lost.
#include "velmora/SoundManager.h"

#include "engine/BackgroundTask.h"
#include "engine/DataDirectory.h"

#include <miniaudio.h>

#include <atomic>
#include <cstdint>
#include <iostream>
#include <vector>

namespace velmora {

namespace {

constexpr DataFolder kAudioDirectory{"audio/"};
const char* const kDeviceLost = "The audio device was lost; playing on without sound";
const char* const kDeviceBack = "The audio device is back; sound is on again";

// How often the device watch looks at the device's requests for samples, and
// how long a new device may take to ask again after filling its buffer.
constexpr std::chrono::milliseconds kWatchPeriod{100};
constexpr std::chrono::milliseconds kStartLimit{4000};

void (*stuckShutdownHandler)() = nullptr;

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

void releaseSound(ma_sound* sound) {
    ma_sound_uninit(sound);
    delete sound;
}

void releaseEntry(SoundEntry* entry) {
    releaseSound(entry->sound);
    delete entry;
}

// One whole line at once: the device watch writes from its own thread.
void say(const char* line) {
    std::cout << (std::string(line) + "\n") << std::flush;
}

} // namespace

struct SoundManager::Engine {
    ma_engine engine{};
    ma_context* context = nullptr; // one of our own, for a restarted engine
    ma_allocation_callbacks allocator{};
    // How often the device has asked for samples. It asks every few
    // milliseconds, whether anything plays or not, for as long as it works.
    std::atomic<std::uint64_t> pulls{0};
    // Blocks that miniaudio left behind after failed loads; freed after the
    // engine has stopped.
    std::vector<void*> abandonedSources;

    // Starts an engine; with `backend`, on that back-end only (a lost device
    // is looked for where it was, not on a silent stand-in). Null on failure.
    static std::unique_ptr<Engine> start(const SoundOptions& options, const ma_backend* backend) {
        auto started = std::make_unique<Engine>();
        ma_engine_config config = ma_engine_config_init();
        config.noDevice = options.playbackDevice ? MA_FALSE : MA_TRUE;
        config.channels = options.channels;
        config.sampleRate = options.sampleRate;
        config.allocationCallbacks = {options.allocatorUser, options.allocate, options.reallocate,
                                      options.release};
        config.onProcess = [](void* user, float*, ma_uint64) {
            static_cast<Engine*>(user)->pulls.fetch_add(1);
        };
        config.pProcessUserData = started.get();
        if (backend != nullptr) {
            ma_context_config contextConfig = ma_context_config_init();
            contextConfig.allocationCallbacks = config.allocationCallbacks;
            started->context = new ma_context();
            if (ma_context_init(backend, 1, &contextConfig, started->context) != MA_SUCCESS) {
                delete started->context;
                return nullptr;
            }
            config.pContext = started->context;
        }
        if (ma_engine_init(&config, &started->engine) != MA_SUCCESS) {
            started->releaseContext();
            return nullptr;
        }
        started->allocator = started->engine.allocationCallbacks;
        return started;
    }

    // Opens "data/audio/" + name into `sound`; false when it cannot.
    bool open(const std::string& name, ma_sound* sound) {
        const std::string path = kAudioDirectory + name;
        if (ma_sound_init_from_file(&engine, path.c_str(), MA_SOUND_FLAG_STREAM, nullptr, nullptr,
                                    sound) == MA_SUCCESS) {
            return true;
        }
        // On a file that cannot be opened or decoded, miniaudio 0.11 returns
        // without freeing the data-source block it allocated for the sound,
        // and its decoding thread may still be finishing with that block. It
        // is set aside and freed once the engine, and that thread, stopped.
        if (sound->pResourceManagerDataSource != nullptr && !sound->ownsDataSource) {
            abandonedSources.push_back(sound->pResourceManagerDataSource);
        }
        delete sound;
        return false;
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

SoundManager& SoundManager::instance() {
    static SoundManager manager;
    return manager;
}

SoundManager::SoundManager(const SoundOptions& chosen) : options(chosen) {
    engine = Engine::start(options, nullptr);
    if (engine == nullptr) {
        std::cout << "Failed to initialize audio engine.\n";
        return;
    }
    // Without a device the owner drives the engine's clock; only a device
    // can be lost.
    if (ma_engine_get_device(&engine->engine) != nullptr) {
        startWatching();
        watch = std::make_unique<BackgroundTask>([this] { watchDevice(); });
    }
}

void SoundManager::startWatching() {
    device = Device::Starting;
    deviceSince = PlaybackProgress::Clock::now();
    progress = PlaybackProgress();
    progress.advancing(engine->pulls.load(), deviceSince);
}

void SoundManager::setStuckShutdownHandler(void (*handler)()) {
    stuckShutdownHandler = handler;
}

SoundManager::~SoundManager() {
    {
        std::lock_guard<std::mutex> guard(lock);
        quitting = true;
    }
    wake.notify_all();
    // miniaudio joins its device thread, and that thread can be blocked for
    // good on a sound server that has gone away or stopped answering; so can
    // a restart under way. The work therefore runs beside this thread, which
    // waits only so long when the program has a way out.
    BackgroundTask shutdown([this] {
        watch.reset();
        releaseEverything();
    });
    if (shutdown.finishedWithin(kShutdownBudget) || stuckShutdownHandler == nullptr) {
        return; // without a way out, the task's end is awaited quietly
    }
    std::cout << "The audio device did not stop within "
              << std::chrono::duration<double>(kShutdownBudget).count()
              << " s; quitting without waiting for it" << std::endl;
    stuckShutdownHandler();
}

void SoundManager::releaseEverything() {
    // Every sound detaches from the engine's graph before the engine goes;
    // the map's order makes this ascending by name.
    for (auto& named : sounds) {
        releaseEntry(named.second);
    }
    sounds.clear();
    if (engine != nullptr) {
        engine->close();
        engine.reset();
    }
}

void SoundManager::watchDevice() {
    using Clock = PlaybackProgress::Clock;
    std::unique_lock<std::mutex> guard(lock);
    Clock::time_point lastAttempt;
    while (!wake.wait_for(guard, kWatchPeriod, [this] { return quitting; })) {
        const auto now = Clock::now();
        const bool advancing = progress.advancing(engine->pulls.load(), now);
        const bool movedSince = progress.lastMoved() > deviceSince;
        switch (device) {
        case Device::Starting:
            // A PulseAudio stream fills its buffer at once and may then not
            // ask again for a couple of seconds, so a new device is judged
            // only once it has pulled again, or after a generous wait.
            if (movedSince) {
                device = Device::Working;
            } else if (now - deviceSince > kStartLimit) {
                loseDevice(now);
                lastAttempt = now;
            }
            break;
        case Device::Working:
            if (!advancing) {
                loseDevice(now);
                lastAttempt = now; // the first attempt follows one interval later
            }
            break;
        case Device::Lost:
            if (movedSince) { // the old device came back by itself
                device = Device::Working;
                say(kDeviceBack);
            } else if (now - lastAttempt >= kRetryInterval) {
                lastAttempt = now;
                const auto stalledSince = progress.lastMoved();
                guard.unlock();
                const bool restarted = recover(stalledSince);
                guard.lock();
                if (restarted) {
                    say(kDeviceBack);
                }
            }
            break;
        }
    }
}

void SoundManager::loseDevice(PlaybackProgress::Clock::time_point now) {
    device = Device::Lost;
    deviceSince = now;
    say(kDeviceLost);
}

bool SoundManager::recover(PlaybackProgress::Clock::time_point stalledSince) {
    std::vector<std::string> names;
    unsigned loadsSeen = 0;
    ma_backend backend;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (const auto& named : sounds) {
            names.push_back(named.first);
        }
        loadsSeen = loadCount;
        backend = engine->backend();
    }

    // Everything that may block (a frozen server) or take a while (opening
    // files) happens here, outside the lock, on an engine nobody else sees.
    std::unique_ptr<Engine> fresh = Engine::start(options, &backend);
    if (fresh == nullptr) {
        return false;
    }
    std::map<std::string, ma_sound*> opened;
    bool complete = true;
    for (const std::string& name : names) {
        ma_sound* sound = new ma_sound();
        if (fresh->open(name, sound)) {
            opened[name] = sound;
        } else {
            complete = false;
        }
    }

    std::vector<ma_sound*> retired;
    bool swapped = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (complete && !quitting && loadsSeen == loadCount) {
            const double secondsLost =
                std::chrono::duration<double>(PlaybackProgress::Clock::now() - stalledSince)
                    .count();
            for (auto& named : sounds) {
                SoundEntry* entry = named.second;
                ma_sound* sound = opened[named.first];
                carryOver(entry->sound, engine->sampleRate(), sound, fresh->sampleRate(),
                          secondsLost);
                retired.push_back(entry->sound);
                entry->sound = sound;
            }
            opened.clear();
            std::swap(engine, fresh); // fresh now holds the lost engine
            startWatching();
            swapped = true;
        }
    }
    // Whichever engine is left over goes, with its sounds.
    for (auto& named : opened) {
        retired.push_back(named.second);
    }
    for (ma_sound* sound : retired) {
        releaseSound(sound);
    }
    fresh->close();
    return swapped;
}

ma_engine* SoundManager::audioEngine() {
    std::lock_guard<std::mutex> guard(lock);
    return engine != nullptr ? &engine->engine : nullptr;
}

SoundEntry* SoundManager::find(const char* name) {
    auto found = sounds.find(nameOf(name));
    return found != sounds.end() ? found->second : nullptr;
}

void SoundManager::loadSound(const char* name) {
    std::lock_guard<std::mutex> guard(lock);
    const std::string bare = nameOf(name);
    ma_sound* sound = new ma_sound(); // value-initialised: zero-filled
    bool loaded = false;
    if (engine != nullptr && staysInAudioDirectory(bare)) {
        loaded = engine->open(bare, sound);
    } else {
        delete sound;
    }
    if (!loaded) {
        std::cout << "Failed to load sound: " << bare << std::endl;
        return;
    }
    ++loadCount;

    // A second load of a name must not leave the first sound attached to the
    // engine, where it would go on playing with nobody able to stop it.
    auto existing = sounds.find(bare);
    if (existing != sounds.end()) {
        releaseEntry(existing->second);
        sounds.erase(existing);
    }
    SoundEntry* entry = new SoundEntry();
    entry->sound = sound;
    entry->looping = false;
    sounds[bare] = entry;
}

void SoundManager::play(const char* name, bool loop) {
    std::lock_guard<std::mutex> guard(lock);
    SoundEntry* entry = find(name);
    if (entry == nullptr) {
        return;
    }
    entry->looping = loop;
    ma_sound_set_looping(entry->sound, loop ? MA_TRUE : MA_FALSE);
    ma_sound_start(entry->sound);
}

void SoundManager::toggle(const char* name) {
    std::lock_guard<std::mutex> guard(lock);
    SoundEntry* entry = find(name);
    if (entry == nullptr) {
        return;
    }
    if (ma_sound_is_playing(entry->sound) == MA_TRUE && device != Device::Lost) {
        ma_sound_stop(entry->sound);
    } else {
        ma_sound_start(entry->sound);
    }
}

bool SoundManager::isPlaying(const char* name) {
    std::lock_guard<std::mutex> guard(lock);
    SoundEntry* entry = find(name);
    return entry != nullptr && ma_sound_is_playing(entry->sound) == MA_TRUE &&
           device != Device::Lost;
}

double SoundManager::cursorSeconds(const char* name) {
    std::lock_guard<std::mutex> guard(lock);
    SoundEntry* entry = find(name);
    if (entry == nullptr) {
        std::cout << "Sound not found: " << nameOf(name) << std::endl;
        return 0.0;
    }
    ma_uint64 frames = 0;
    if (ma_sound_get_cursor_in_pcm_frames(entry->sound, &frames) != MA_SUCCESS) {
        std::cout << "Failed to get cursor position for sound: " << nameOf(name) << std::endl;
        return 0.0;
    }
    return static_cast<double>(frames) / engine->sampleRate();
}

} // namespace velmora
