#include "support/Wine.h"

#include <filesystem>

namespace testsupport {

std::string windowsProgramsMissing() {
    int rc = -1;
    runShell("command -v wine && command -v wineserver", &rc);
    if (rc != 0) {
        return "Wine is not installed (scripts/bootstrap.sh windows)";
    }
    for (const char* game : {"velmora/velmora.exe", "breakout/breakout.exe"}) {
        if (!std::filesystem::exists(std::string(VELMORA_WINDOWS_BUILD_DIR "/") + game)) {
            return std::string(VELMORA_WINDOWS_BUILD_DIR "/") + game +
                   " is not built (make windows)";
        }
    }
    return "";
}

ProcessOptions withWine(ProcessOptions options) {
    options.env["WINEPREFIX"] = VELMORA_BINARY_DIR "/wine-prefix";
    options.env["WINEDEBUG"] = "-all";
    return options;
}

void endWine() {
    runShell("WINEPREFIX='" VELMORA_BINARY_DIR "/wine-prefix' wineserver -k 2>/dev/null");
}

std::string withUnixLineEnds(std::string text) {
    std::string::size_type at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) {
        text.erase(at, 1);
    }
    return text;
}

} // namespace testsupport
