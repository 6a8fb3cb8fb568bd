// Telling the game's own console lines from those that system libraries print
// into the same stream while the game starts (audio back-ends probed by
// miniaudio, the window system's helper libraries).
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// True for a line that a system library wrote, not the game.
bool isSystemLibraryLine(const std::string& line);

// The non-empty lines of `text` that the game itself wrote.
std::vector<std::string> gameLines(const std::string& text);

} // namespace testsupport
