// PlaybackProgress: stall detection on the device's requests for samples.
#include "engine/PlaybackProgress.h"

namespace velmora {

bool PlaybackProgress::advancing(std::uint64_t count, Clock::time_point now) {
    const Clock::duration sinceLook = now - lastLook;
    lastLook = now;
    if (!sampled || count != lastCount) {
        sampled = true;
        lastCount = count;
        lastMove = now;
        silent = Clock::duration::zero();
        return true;
    }
    if (sinceLook <= kAsleepLimit) {
        silent += sinceLook;
    }
    return silent <= kStallLimit;
}

} // namespace velmora
