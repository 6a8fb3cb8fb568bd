// SoundBackends: back-end names, and holding back ALSA's and JACK's console
// lines while a back-end is probed. Both libraries are opened here by the
// names miniaudio opens them by, so these are the very copies it uses.
#include "engine/SoundBackends.h"

#include "engine/platform/Platform.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <strings.h>

namespace velmora {

namespace {

const char* const kNames[] = {"wasapi", "dsound", "winmm",      "coreaudio", "sndio",
                              "audio4", "oss",    "pulseaudio", "alsa",      "jack",
                              "aaudio", "opensl", "webaudio",   "custom",    "null"};
static_assert(sizeof kNames / sizeof kNames[0] == ma_backend_null + 1,
              "one name for each of miniaudio's back-ends, in its order");

// The lines held back on this thread, or null when it holds none back.
thread_local std::vector<std::string>* heldHere = nullptr;

void* symbol(void* library, const char* name) {
    return platform::librarySymbol(library, name);
}

void* openFirst(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (void* library = platform::openLibrary(name)) {
            return library;
        }
    }
    return nullptr;
}

// ALSA: a handler of the calling thread's own (snd_lib_error_set_local),
// which its default report consults first.
using AlsaLocalHandler = void (*)(const char* file, int line, const char* function, int err,
                                  const char* format, va_list arguments);
struct Alsa {
    AlsaLocalHandler (*setLocal)(AlsaLocalHandler) = nullptr;
    int (*nextCard)(int* card) = nullptr;
    const char* (*describe)(int err) = nullptr;
};

const Alsa& alsa() {
    static const Alsa found = [] {
        Alsa library;
        if (void* so = openFirst({"libasound.so.2", "libasound.so"})) {
            library.setLocal =
                reinterpret_cast<decltype(library.setLocal)>(symbol(so, "snd_lib_error_set_local"));
            library.nextCard =
                reinterpret_cast<decltype(library.nextCard)>(symbol(so, "snd_card_next"));
            library.describe =
                reinterpret_cast<decltype(library.describe)>(symbol(so, "snd_strerror"));
        }
        return library;
    }();
    return found;
}

// As ALSA's own report would print it.
void holdAlsaLine(const char* file, int line, const char* function, int err, const char* format,
                  va_list arguments) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string whole = "ALSA lib " + std::string(file) + ":" + std::to_string(line) + ":(" +
                        function + ") " + text;
    if (err != 0 && alsa().describe != nullptr) {
        whole += std::string(": ") + alsa().describe(err);
    }
    heldHere->push_back(whole); // set only on a thread that holds lines back
}

bool alsaHasACard() {
    int card = -1;
    return alsa().nextCard != nullptr && alsa().nextCard(&card) == 0 && card >= 0;
}

// JACK: one error and one information function for the whole process; the
// ones set before are kept, and given every line of the other threads.
using JackReport = void (*)(const char* text);
struct Jack {
    void (*setError)(JackReport) = nullptr;
    void (*setInfo)(JackReport) = nullptr;
    JackReport* error = nullptr; // the functions set now
    JackReport* info = nullptr;
};

const Jack& jack() {
    static const Jack found = [] {
        Jack library;
        if (void* so = openFirst({"libjack.so", "libjack.so.0"})) {
            library.setError =
                reinterpret_cast<decltype(library.setError)>(symbol(so, "jack_set_error_function"));
            library.setInfo =
                reinterpret_cast<decltype(library.setInfo)>(symbol(so, "jack_set_info_function"));
            library.error = static_cast<JackReport*>(symbol(so, "jack_error_callback"));
            library.info = static_cast<JackReport*>(symbol(so, "jack_info_callback"));
        }
        const bool complete = library.setError != nullptr && library.setInfo != nullptr &&
                              library.error != nullptr && library.info != nullptr;
        return complete ? library : Jack();
    }();
    return found;
}

std::mutex jackProbe;
JackReport jackErrorBefore = nullptr;
JackReport jackInfoBefore = nullptr;

void holdJackError(const char* text) {
    if (heldHere != nullptr) {
        heldHere->push_back(text);
    } else if (jackErrorBefore != nullptr) {
        jackErrorBefore(text);
    }
}

void holdJackInfo(const char* text) {
    if (heldHere != nullptr) {
        heldHere->push_back(text);
    } else if (jackInfoBefore != nullptr) {
        jackInfoBefore(text);
    }
}

// What libjack says, every time, when no JACK server runs.
bool saysNoJackServer(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (line.rfind("jack server is not running", 0) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

BackendChoice chooseBackends(const std::vector<std::string>& names) {
    BackendChoice choice;
    for (const std::string& name : names) {
        int known = -1;
        for (int i = 0; i <= ma_backend_null; ++i) {
            if (i != ma_backend_custom && strcasecmp(name.c_str(), kNames[i]) == 0) {
                known = i;
            }
        }
        if (known < 0) {
            choice.unknown.push_back(name);
        } else if (ma_is_backend_enabled(static_cast<ma_backend>(known))) {
            choice.order.push_back(static_cast<ma_backend>(known));
        }
    }
    if (choice.order.empty()) {
        for (int i = 0; i <= ma_backend_null; ++i) {
            if (i != ma_backend_custom && ma_is_backend_enabled(static_cast<ma_backend>(i))) {
                choice.order.push_back(static_cast<ma_backend>(i));
            }
        }
    }
    return choice;
}

const char* backendName(ma_backend backend) {
    return backend >= 0 && backend <= ma_backend_null ? kNames[backend] : "";
}

QuietProbe::QuietProbe(ma_backend probed) : backend(probed) {
    if (backend == ma_backend_alsa && alsa().setLocal != nullptr) {
        alsa().setLocal(holdAlsaLine);
        holding = true;
    } else if (backend == ma_backend_jack && jack().setError != nullptr) {
        jackProbe.lock();
        jackErrorBefore = *jack().error;
        jackInfoBefore = *jack().info;
        jack().setError(holdJackError);
        jack().setInfo(holdJackInfo);
        holding = true;
    }
    heldHere = holding ? &held : nullptr;
}

void QuietProbe::finish(bool gaveDevice) {
    if (!holding) {
        return;
    }
    holding = false;
    heldHere = nullptr;
    if (backend == ma_backend_alsa) {
        alsa().setLocal(nullptr);
    } else {
        jack().setError(jackErrorBefore);
        jack().setInfo(jackInfoBefore);
        jackProbe.unlock();
    }
    const bool nothingThere = backend == ma_backend_alsa ? !alsaHasACard() : saysNoJackServer(held);
    if (!gaveDevice && !nothingThere) {
        for (const std::string& line : held) {
            std::cerr << line << '\n';
        }
        std::cerr.flush();
    }
    held.clear();
}

QuietProbe::~QuietProbe() {
    finish(false);
}

} // namespace velmora
