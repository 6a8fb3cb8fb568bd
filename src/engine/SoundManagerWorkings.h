// SoundManagerWorkings: a look inside a SoundManager for the engine's own
// tests, which stop its device as a lost sound server would and count what
// hangs on its engine. Each call takes the manager's lock; a restart of the
// device replaces the engine and every sound, so what these return is only
// good until then.
#pragma once

#include "velmora/SoundManager.h"

#include <cstddef>

struct ma_engine;
struct ma_sound;

namespace velmora {

struct SoundManagerWorkings {
    // The engine that plays now; null if none started.
    static ma_engine* engine(SoundManager& manager);
    // The streamed sound of a name; null if it has none.
    static ma_sound* sound(SoundManager& manager, const char* name);
    // How many names the manager holds, with or without a sound.
    static std::size_t soundCount(SoundManager& manager);
    // The looping flag last given to play for the name.
    static bool looping(SoundManager& manager, const char* name);
};

} // namespace velmora
