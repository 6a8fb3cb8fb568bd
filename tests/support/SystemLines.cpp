#include "support/SystemLines.h"

#include <sstream>

namespace testsupport {

bool isSystemLibraryLine(const std::string& line) {
    // The audio back-ends that miniaudio probes: ALSA, JACK (its client
    // library says so in either case), and the runtime-folder warnings.
    const bool audio = line.rfind("ALSA lib ", 0) == 0 ||
                       line.find("XDG_RUNTIME_DIR") != std::string::npos ||
                       line.rfind("jack", 0) == 0 || line.rfind("Jack", 0) == 0 ||
                       line.rfind("Cannot connect to server", 0) == 0;
    // libdecor, which GLFW loads on Wayland, without its decoration plugins.
    const bool decorations = line.rfind("Couldn't open plugin directory", 0) == 0 ||
                             line.rfind("No plugins found, falling back on no decorations", 0) == 0;
    return audio || decorations;
}

std::vector<std::string> gameLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && !isSystemLibraryLine(line)) {
            lines.push_back(line);
        }
    }
    return lines;
}

} // namespace testsupport
