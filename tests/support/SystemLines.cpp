#include "support/SystemLines.h"

#include <sstream>

namespace testsupport {

bool isSystemLibraryLine(const std::string& line) {
    return line.rfind("ALSA lib ", 0) == 0 || line.find("XDG_RUNTIME_DIR") != std::string::npos ||
           line.rfind("jack", 0) == 0 || line.rfind("Cannot connect to server", 0) == 0;
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
