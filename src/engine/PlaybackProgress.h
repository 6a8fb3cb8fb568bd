// PlaybackProgress: tells from a count of the playback device's requests for
// samples whether the device is still pulling them. A device whose sound
// server has gone away stops pulling without telling anyone; its sounds then
// stay "playing" for good, and a caller waiting for one to end would wait for
// ever.
#pragma once

#include <chrono>
#include <cstdint>

namespace velmora {

class PlaybackProgress {
  public:
    using Clock = std::chrono::steady_clock;

    // How long the count may stand still before the device counts as gone.
    // A working device advances it every few milliseconds; a second leaves
    // room for a busy machine and for a server moving the stream to another
    // output.
    static constexpr std::chrono::milliseconds kStallLimit{1000};

    // Two looks further apart than this mean that this process did not run
    // in between (stopped as a whole by a signal or a debugger): the device
    // could not pull then, so that time is not counted as its silence.
    static constexpr std::chrono::milliseconds kAsleepLimit{500};

    // Records the count read at `now`; false once it has not moved for
    // longer than kStallLimit of the time this process ran. True again as
    // soon as it moves.
    bool advancing(std::uint64_t count, Clock::time_point now);
    // When the count was last seen to move (or first read).
    Clock::time_point lastMoved() const { return lastMove; }
    // How long the count has stood still while this process ran.
    Clock::duration silence() const { return silent; }

  private:
    bool sampled = false;
    std::uint64_t lastCount = 0;
    Clock::time_point lastMove;
    Clock::time_point lastLook;
    Clock::duration silent{};
};

} // namespace velmora
