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

// Whether `line` is Berkeley DB's own ("BDBnnnn ..."): libjack keeps its
// metadata in a Berkeley DB environment in /dev/shm, shared by every JACK
// client of the machine, and when a program linked to another build of
// libdb made it, libdb says so straight on standard error, where no program
// can hold the line back.
bool isBerkeleyDbLine(const std::string& line);

// The non-empty lines of `text` that the game itself wrote: those that
// `fromALibrary` (all the system libraries' by default) does not claim.
std::vector<std::string> gameLines(const std::string& text,
                                   bool (*fromALibrary)(const std::string&) = isSystemLibraryLine);

} // namespace testsupport
