// A headless Wayland desktop for end-to-end tests: sway with its headless
// back-end and one output of a chosen size and scale, with the real game on it.
//
// sway refuses to run as root. When the tests run as root, sway, the game and
// every Wayland client of the test run as the unprivileged user "nobody"; as
// any other user they run as that user. "nobody" may not be able to enter the
// checkout (a clone under /root, or in a private temporary folder), so the game
// is copied, with data/ and the libraries it takes from the checkout, into a
// fresh world-readable folder and started from there.
#pragma once

#include "support/Process.h"
#include "support/Screenshot.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class WaylandSession {
  public:
    // Starts sway with one output of width × height pixels at `scale`.
    WaylandSession(int width, int height, int scale);
    ~WaylandSession();

    // Empty once the compositor runs; otherwise what went wrong.
    const std::string& failure() const { return problem; }

    // Starts the copied game windowed and waits until its window shows the
    // clock or the game has ended.
    std::unique_ptr<ChildProcess> startGame();

    // The frame clock in the game window's title, or -1 without one.
    double titleClock() const;

    // Runs swaymsg with `arguments` (shell words); true when it succeeded.
    bool swaymsg(const std::string& arguments) const;

    // The whole output, in pixels, as grim reads it back.
    Screenshot capture() const;

    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

  private:
    void prepareGameFolder();
    void carrySanitizerSuppressions();
    bool startCompositor(int width, int height, int scale);
    // `argv` run as the session's user.
    std::vector<std::string> asUser(const std::vector<std::string>& argv) const;
    // A shell command run as the session's user, with the session's
    // environment.
    std::string shellAsUser(const std::string& command) const;

    std::string problem;
    bool dropPrivileges = false;
    unsigned userId = 0;
    unsigned groupId = 0;
    std::string folder;     // world-readable: the game, its libraries, data/, config
    std::string runtimeDir; // XDG_RUNTIME_DIR: the user's own, mode 0700
    std::map<std::string, std::string> sanitizerOptions; // rewritten for the copy
    std::string waylandDisplay;
    std::string swaySocket;
    std::unique_ptr<ChildProcess> sway;
};

} // namespace testsupport
