// Reading what the game wrote on its console, apart from the lines that the
// system's audio libraries print while miniaudio looks for a device.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Whether `line` comes from the system's audio libraries (ALSA, JACK, the
// PulseAudio client) rather than from the game.
bool isSystemLibraryLine(const std::string& line);

// The non-empty lines of `text` that the game itself wrote.
std::vector<std::string> gameLines(const std::string& text);

} // namespace testsupport
