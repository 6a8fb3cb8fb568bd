// SoundBackends: the audio back-ends a sound manager tries, by name, and a
// quiet probe of each, so that a machine without a sound device does not get
// the system audio libraries' complaints about it on its console.
#pragma once

#include <miniaudio.h>

#include <string>
#include <vector>

namespace velmora {

// The back-ends to try, in order, from the names a game gave. Names are
// miniaudio's back-ends in lower case ("pulseaudio", "alsa", "jack", "oss",
// "sndio", "audio4", "coreaudio", "wasapi", "dsound", "winmm", "aaudio",
// "opensl", "webaudio", "null"), in any letter case. A name this build of
// miniaudio lacks (another system's) is passed over without a word, so that
// one list serves every system; a name that is none of these lands in
// `unknown`. No names, or none usable: miniaudio's own order.
struct BackendChoice {
    std::vector<ma_backend> order;
    std::vector<std::string> unknown;
};
BackendChoice chooseBackends(const std::vector<std::string>& names);

// The lower-case name of a back-end, as chooseBackends reads it.
const char* backendName(ma_backend backend);

// While one lives, what ALSA and JACK print on this thread is held back
// instead of reaching standard error. Other threads print as before. JACK's
// report functions are the process's, so one JACK probe runs at a time.
class QuietProbe {
  public:
    explicit QuietProbe(ma_backend backend);
    // Ends holding back (once). When the back-end gave no device, what was
    // held is printed after all, unless it only said that there is nothing
    // there: ALSA without any sound card, JACK without a server. A back-end
    // that gave a device had nothing wrong to report.
    void finish(bool gaveDevice);
    ~QuietProbe();
    // What it holds back so far, a line each, as the library would print it.
    const std::vector<std::string>& heldLines() const { return held; }

    QuietProbe(const QuietProbe&) = delete;
    QuietProbe& operator=(const QuietProbe&) = delete;

  private:
    ma_backend backend;
    bool holding = false;
    std::vector<std::string> held;
};

} // namespace velmora
