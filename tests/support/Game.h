// Starting the real game executable for end-to-end tests, and talking to its
// window through xdotool.
//
// The test X server (Xvfb on these machines) now and then hangs up on a new
// connection while other clients connect at the same moment. The game then
// rightly says "Failed to initialize GLFW" and ends, and an xdotool call
// fails. These helpers retry exactly those transient failures, so that a test
// fails only for what it tests.
#pragma once

#include "support/Process.h"
#include "support/Screenshot.h"

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// Starts the game with `argv` and waits until it either has a visible window
// or has ended. A start that ended because it could not reach the display is
// retried a few times.
std::unique_ptr<ChildProcess> startGame(const std::vector<std::string>& argv,
                                        const ProcessOptions& options);

// The game's visible window as xdotool names it, or "" when it has none.
std::string windowOf(const ChildProcess& game);

// Runs `xdotool <arguments>` and retries a failed call a few times; returns
// its standard output without the trailing newline, and whether it succeeded.
std::string xdotool(const std::string& arguments, bool* succeeded = nullptr);

// The frame clock that the game's title shows, or -1 before the first frame.
double titleClock(const std::string& window);

// Focuses the window and sends it one key press (xdotool key names).
bool sendKey(const std::string& window, const std::string& key);

// Whether the gauge's pointer moves in the 1024×768 window: two screenshots
// 0.12 s apart differ over the gauge's face.
bool gaugeMoves(const std::string& window);

// The bus game's first title picture, windowed at 1024 × 768, from the game
// that `argv` starts: taken once its clock has passed 2 s; empty when it has
// no window or the clock had passed 5.4 s (the next title) by then. The game
// is left running; `game` receives it.
Screenshot firstTitle(const std::vector<std::string>& argv, const ProcessOptions& options,
                      std::unique_ptr<ChildProcess>& game);

} // namespace testsupport
