// PlaybackProgress: tells from the audio engine's clock whether the playback
// device is still pulling samples. A device whose sound server has gone away
// stops pulling without telling anyone; its sounds then stay "playing" for
// good, and a caller waiting for one to end would wait for ever.
#pragma once

#include <chrono>
#include <cstdint>

class PlaybackProgress {
  public:
    using Clock = std::chrono::steady_clock;

    // How long the engine clock may stand still before the device counts as
    // gone. A working device advances it every few milliseconds.
    static constexpr std::chrono::milliseconds kStallLimit{500};

    // Records the engine clock `frames` read at `now`; false once it has not
    // moved for longer than kStallLimit. True again as soon as it moves.
    bool advancing(std::uint64_t frames, Clock::time_point now);
    // When the clock was last seen to move (or first read).
    Clock::time_point lastMoved() const { return lastMove; }

  private:
    bool sampled = false;
    std::uint64_t lastFrames = 0;
    Clock::time_point lastMove;
};
