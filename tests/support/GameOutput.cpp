// Telling the game's own console lines from those of the system's libraries.
#include "support/GameOutput.h"

#include <regex>
#include <sstream>

namespace testsupport {

namespace {

bool startsWith(const std::string& line, const char* prefix) {
    return line.rfind(prefix, 0) == 0;
}

bool isAlsaLine(const std::string& line) {
    return startsWith(line, "ALSA lib ");
}

// libjack's messages when no JACK server runs: a few fixed texts, and its
// C++ classes' own "JackSomething::method" reports; and its complaint when
// its metadata store will not open.
bool isJackLine(const std::string& line) {
    static const std::regex jackMethod("^Jack[A-Za-z]+::.*");
    return startsWith(line, "Cannot connect to server socket err = ") ||
           startsWith(line, "Cannot connect to server request channel") ||
           startsWith(line, "jack server is not running or cannot be started") ||
           startsWith(line, "Cannot open DB environment: ") ||
           std::regex_match(line, jackMethod) || isBerkeleyDbLine(line);
}

// PulseAudio's log format, "E: [thread] file.c: text", used by its client
// library and by a daemon that the client may start for the user; and the
// complaints of the system's client libraries about a missing or foreign
// runtime folder (XDG_RUNTIME_DIR), which they look for before they connect.
bool isPulseAudioLine(const std::string& line) {
    // The thread name between the brackets is any text without a "]". (In
    // this grammar "[^]" would be a class of its own, matching any character.)
    static const std::regex pulseLog("^[EWNID]: \\[[^\\]]*\\] .*");
    return std::regex_match(line, pulseLog) || line.find("XDG_RUNTIME_DIR") != std::string::npos;
}

// libdecor, which GLFW loads for a Wayland window, when it finds no
// decoration plugins.
bool isLibdecorLine(const std::string& line) {
    return startsWith(line, "Couldn't open plugin directory") ||
           startsWith(line, "No plugins found, falling back on no decorations");
}

} // namespace

bool isBerkeleyDbLine(const std::string& line) {
    static const std::regex berkeleyDb("^BDB[0-9]{4} .*");
    return std::regex_match(line, berkeleyDb);
}

bool isSystemLibraryLine(const std::string& line) {
    return isAlsaLine(line) || isJackLine(line) || isPulseAudioLine(line) || isLibdecorLine(line);
}

std::vector<std::string> gameLines(const std::string& text,
                                   bool (*fromALibrary)(const std::string&)) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && !fromALibrary(line)) {
            lines.push_back(line);
        }
    }
    return lines;
}

} // namespace testsupport
