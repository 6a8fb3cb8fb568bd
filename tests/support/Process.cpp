#include "support/Process.h"

#include "support/TempDir.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

std::string makeTempPath(const char* tag) {
    std::string pattern = std::string("/tmp/velmora-") + tag + "-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd >= 0) {
        close(fd);
    }
    return pattern;
}

std::vector<std::string> buildEnvironment(const ProcessOptions& options) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const size_t eq = text.find('=');
        if (eq != std::string::npos) {
            merged[text.substr(0, eq)] = text.substr(eq + 1);
        }
    }
    for (const auto& [name, value] : options.env) {
        if (value) {
            merged[name] = *value;
        } else {
            merged.erase(name);
        }
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : merged) {
        result.push_back(name + "=" + value);
    }
    return result;
}

int decodeStatus(int raw) {
    if (WIFEXITED(raw)) {
        return WEXITSTATUS(raw);
    }
    if (WIFSIGNALED(raw)) {
        return 128 + WTERMSIG(raw);
    }
    return -1;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    outPath = makeTempPath("out");
    errPath = makeTempPath("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_TRUNC, 0);
    if (!options.workingDirectory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
    }
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::vector<std::string> envText = buildEnvironment(options);
    std::vector<char*> envp;
    for (auto& entry : envText) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawnp(&child, args[0], &actions, nullptr, args.data(), envp.data()) == 0) {
        pid = child;
    }
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    kill();
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
}

bool ChildProcess::running() {
    if (pid <= 0 || status) {
        return false;
    }
    int raw = 0;
    const pid_t done = waitpid(pid, &raw, WNOHANG);
    if (done == pid) {
        status = decodeStatus(raw);
        return false;
    }
    return true;
}

std::optional<int> ChildProcess::waitFor(double seconds) {
    waitUntil(seconds, [this] { return !running(); });
    return status;
}

void ChildProcess::kill() {
    if (running()) {
        ::kill(pid, SIGKILL);
        int raw = 0;
        waitpid(pid, &raw, 0);
        status = decodeStatus(raw);
    }
}

std::string ChildProcess::standardOutput() const {
    return readFile(outPath);
}
std::string ChildProcess::standardError() const {
    return readFile(errPath);
}

std::string runShell(const std::string& command, int* exitCode) {
    std::string output;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        if (exitCode != nullptr) {
            *exitCode = -1;
        }
        return output;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    const int raw = pclose(pipe);
    if (exitCode != nullptr) {
        *exitCode = decodeStatus(raw);
    }
    return output;
}

void pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

} // namespace testsupport
