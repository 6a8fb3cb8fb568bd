// Reading what the game wrote on its console, apart from the lines that the
// system's audio libraries print while miniaudio looks for a device.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Whether `line` comes from the system's audio libraries rather than from the
// game: ALSA, the JACK client, the PulseAudio client and a daemon it may
// start for the user, and libdecor on Wayland. Which of them print depends on
// what the machine has installed and running, never on the game.
bool isSystemLibraryLine(const std::string& line);

// The non-empty lines of `text` that the game itself wrote.
std::vector<std::string> gameLines(const std::string& text);

} // namespace testsupport
