// SoundManager: miniaudio engine ownership and name-addressed sounds.
#include "engine/SoundManager.h"

#include "engine/BackgroundTask.h"

#include <iostream>

namespace {

const char* const kAudioDirectory = "data/audio/";

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

void releaseEntry(SoundEntry* entry) {
    ma_sound_uninit(entry->sound);
    delete entry->sound;
    delete entry;
}

} // namespace

// When the file cannot be opened or decoded, miniaudio 0.11 returns without
// freeing the data-source block it allocated for the sound, and its decoding
// thread may still be finishing with that block. It is set aside and freed
// once the engine, and with it that thread, has stopped.
void SoundManager::releaseFailedLoad(ma_sound* sound) {
    if (sound->pResourceManagerDataSource != nullptr && !sound->ownsDataSource) {
        abandonedSources.push_back(sound->pResourceManagerDataSource);
    }
    delete sound;
}

SoundManager& SoundManager::instance() {
    static SoundManager manager(nullptr);
    return manager;
}

SoundManager::SoundManager(const ma_engine_config* config) {
    if (ma_engine_init(config, &engine) != MA_SUCCESS) {
        std::cout << "Failed to initialize audio engine.\n";
        return;
    }
    engineReady = true;
}

void SoundManager::setStuckShutdownHandler(void (*handler)()) {
    stuckShutdownHandler = handler;
}

SoundManager::~SoundManager() {
    // miniaudio joins its device thread, and that thread can be blocked for
    // good on a sound server that has gone away or stopped answering. The
    // work therefore runs beside this thread, which waits only so long.
    BackgroundTask shutdown([this] { releaseEverything(); });
    if (shutdown.finishedWithin(kShutdownBudget)) {
        return;
    }
    std::cerr << "The audio device did not stop within "
              << std::chrono::duration<double>(kShutdownBudget).count()
              << " s; quitting without waiting for it" << std::endl;
    if (stuckShutdownHandler != nullptr) {
        stuckShutdownHandler();
    }
}

void SoundManager::releaseEverything() {
    // Every sound detaches from the engine's graph before the engine goes;
    // the map's order makes this ascending by name.
    for (auto& named : sounds) {
        releaseEntry(named.second);
    }
    sounds.clear();
    if (!engineReady) {
        return;
    }
    // miniaudio's uninit does not stop the device; it only flags the device
    // thread and waits for it to notice, which a PulseAudio device whose
    // server is gone never does, since nothing wakes its event loop. Stopping
    // first wakes that loop through the back-end.
    ma_engine_stop(&engine);
    const ma_allocation_callbacks allocator = engine.allocationCallbacks;
    ma_engine_uninit(&engine);
    for (void* block : abandonedSources) {
        ma_free(block, &allocator);
    }
}

bool SoundManager::deviceAdvancing() {
    // Without a device the owner of the engine drives its clock by reading
    // from it; only a real device can stall.
    if (!engineReady || ma_engine_get_device(&engine) == nullptr) {
        return true;
    }
    return progress.advancing(ma_engine_get_time_in_pcm_frames(&engine),
                              PlaybackProgress::Clock::now());
}

SoundEntry* SoundManager::find(const char* name) {
    auto found = sounds.find(nameOf(name));
    return found != sounds.end() ? found->second : nullptr;
}

void SoundManager::loadSound(const char* name) {
    const std::string bare = nameOf(name);
    ma_sound* sound = new ma_sound(); // value-initialised: zero-filled
    bool loaded = false;
    if (engineReady && staysInAudioDirectory(bare)) {
        const std::string path = kAudioDirectory + bare;
        loaded = ma_sound_init_from_file(&engine, path.c_str(), MA_SOUND_FLAG_STREAM, nullptr,
                                         nullptr, sound) == MA_SUCCESS;
    }
    if (!loaded) {
        releaseFailedLoad(sound);
        std::cout << "Failed to load sound: " << bare << std::endl;
        return;
    }

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
    SoundEntry* entry = find(name);
    if (entry == nullptr) {
        return;
    }
    entry->looping = loop;
    ma_sound_set_looping(entry->sound, loop ? MA_TRUE : MA_FALSE);
    ma_sound_start(entry->sound);
}

void SoundManager::toggle(const char* name) {
    SoundEntry* entry = find(name);
    if (entry == nullptr) {
        return;
    }
    if (ma_sound_is_playing(entry->sound)) {
        ma_sound_stop(entry->sound);
    } else {
        ma_sound_start(entry->sound);
    }
}

bool SoundManager::isPlaying(const char* name) {
    SoundEntry* entry = find(name);
    return entry != nullptr && ma_sound_is_playing(entry->sound) == MA_TRUE && deviceAdvancing();
}

double SoundManager::cursorSeconds(const char* name) {
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
    return static_cast<double>(frames) / static_cast<double>(ma_engine_get_sample_rate(&engine));
}
