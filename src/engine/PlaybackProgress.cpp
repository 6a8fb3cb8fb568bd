// PlaybackProgress: stall detection on the device's requests for samples.
#include "engine/PlaybackProgress.h"

namespace velmora {

bool PlaybackProgress::advancing(std::uint64_t count, Clock::time_point now) {
    if (!sampled || count != lastCount) {
        sampled = true;
        lastCount = count;
        lastMove = now;
        return true;
    }
    return now - lastMove <= kStallLimit;
}

} // namespace velmora
