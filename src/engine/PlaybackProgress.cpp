// PlaybackProgress: stall detection on the engine's frame clock.
#include "engine/PlaybackProgress.h"

bool PlaybackProgress::advancing(std::uint64_t frames, Clock::time_point now) {
    if (!sampled || frames != lastFrames) {
        sampled = true;
        lastFrames = frames;
        lastMove = now;
        return true;
    }
    return now - lastMove <= kStallLimit;
}
