// Feeds arbitrary bytes to the recording reader as a recording of the game
// "fuzz" by engine "fuzz". Besides the sanitizers, it checks that whatever
// it accepts is written back, by the writer, to a file it reads the same.
#include "engine/RecordingFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace velmora;

namespace {

std::string written(const Recording& recording) {
    std::string bytes = recordingHeader(recording);
    for (const RecordedFrame& frame : recording.frames) {
        bytes += frameLine(frame.clock);
        for (const InputEvent& event : frame.events) {
            bytes += eventLine(event);
        }
        for (const double answer : frame.answers) {
            bytes += answerLine(answer);
        }
    }
    return bytes + endLine(recording.frames.size(), fnv1a64(bytes));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    Recording recording;
    std::string why;
    if (!readRecording(input, "fuzz", "fuzz", recording, why)) {
        if (why.empty() || why.find('\n') != std::string::npos) {
            std::abort(); // a refusal is one line
        }
        return 0;
    }
    for (const RecordedFrame& frame : recording.frames) {
        if (!std::isfinite(frame.clock)) {
            std::abort();
        }
    }
    const std::string again = written(recording);
    Recording reread;
    if (!readRecording(again, "fuzz", "fuzz", reread, why) || written(reread) != again) {
        std::abort();
    }
    return 0;
}
