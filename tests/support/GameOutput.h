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

// Whether `line` is Berkeley DB's own ("BDBnnnn ..."), printed straight to
// standard error when libjack's metadata store in /dev/shm was made by a
// program of another libdb build: no program can hold it back.
bool isBerkeleyDbLine(const std::string& line);

// The non-empty lines of `text` that the game itself wrote: those that
// `fromALibrary` (all the system libraries' by default) does not claim.
std::vector<std::string> gameLines(const std::string& text,
                                   bool (*fromALibrary)(const std::string&) = isSystemLibraryLine);

} // namespace testsupport
