// Test sounds: copying the committed tones into a scratch directory, and
// telling the sound manager's lines apart from the audio libraries' chatter.
#include "support/TestSounds.h"

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace testsupport {

void installTestSound(const ScratchDir& scratch, const std::string& source,
                      const std::string& asName) {
    const fs::path target = fs::path(scratch.path()) / "data" / "audio" / asName;
    fs::create_directories(target.parent_path());
    fs::copy_file(fs::path(VELMORA_SOURCE_DIR) / "tests" / "data" / "audio" / source, target,
                  fs::copy_options::overwrite_existing);
}

std::vector<std::string> soundManagerLines(const std::string& output) {
    static const char* const kPrefixes[] = {
        "Failed to initialize audio engine.",
        "Failed to load sound: ", "Sound not found: ", "Failed to get cursor position for sound: ",
        "The audio device "};
    std::vector<std::string> lines;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        for (const char* prefix : kPrefixes) {
            if (line.rfind(prefix, 0) == 0) {
                lines.push_back(line);
                break;
            }
        }
    }
    return lines;
}

} // namespace testsupport
