// Starts programs for end-to-end tests: the real game executable, xdotool,
// screenshot tools. Output goes to files that the test reads afterwards.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessOptions {
    std::string workingDirectory;                          // "" keeps the current one
    std::map<std::string, std::optional<std::string>> env; // value set, or nullopt to unset
};

class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});
    ~ChildProcess(); // kills the child if it still runs

    bool started() const { return pid > 0; }
    int processId() const { return pid; }
    // Waits up to `seconds` for the child to end. Returns its exit status
    // (128 + signal number when a signal ended it), or nullopt on time-out.
    std::optional<int> waitFor(double seconds);
    bool running();
    void kill();

    std::string standardOutput() const;
    std::string standardError() const;

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

  private:
    int pid = -1;
    std::optional<int> status;
    std::string outPath;
    std::string errPath;
};

// Runs a shell command to completion and returns its standard output
// (standard error is discarded); `exitCode` receives its exit status.
std::string runShell(const std::string& command, int* exitCode = nullptr);

// Sleeps for the given number of seconds.
void pause(double seconds);

// Polls `condition` every 50 ms until it holds or `seconds` have passed.
template <typename Condition> bool waitUntil(double seconds, Condition condition);

} // namespace testsupport

#include <chrono>
#include <thread>

template <typename Condition> bool testsupport::waitUntil(double seconds, Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}
