// Platform on Windows: wide-character calls, the UTF-8 names converted.
#include "engine/platform/Platform.h"

#include <GLFW/glfw3.h>

#include <windows.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace velmora::platform {

namespace {

std::wstring wide(const std::string& utf8) {
    return std::filesystem::u8path(utf8).wstring();
}

int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}

// How many swaps in a row must return in under half a refresh period before
// the loop is held: a few fast ones happen anywhere (a skipped frame).
constexpr int kFastSwapsBeforePacing = 30;

using Clock = std::chrono::steady_clock;

struct Pacer {
    Clock::time_point last{};
    bool seen = false;
    int fastSwaps = 0;
    bool pacing = false;
    Clock::duration period{};
    Clock::time_point deadline{};
};

Clock::duration refreshPeriod(GLFWwindow* window) {
    GLFWmonitor* monitor = glfwGetWindowMonitor(window);
    if (monitor == nullptr) {
        monitor = glfwGetPrimaryMonitor();
    }
    const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
    const int rate = mode != nullptr && mode->refreshRate > 0 ? mode->refreshRate : 60;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
}

} // namespace

std::string programFile(std::error_code& error) {
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
            return "";
        }
        if (length < name.size()) {
            return std::filesystem::path(std::wstring(name.data(), length)).u8string();
        }
        name.resize(name.size() * 2);
    }
}

int createNewFile(const std::string& path) {
    return _wopen(wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}

long processId() {
    return static_cast<long>(GetCurrentProcessId());
}

int replaceFile(const std::string& from, const std::string& to) {
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
        return 0;
    }
    return errnoOf(GetLastError());
}

void removeFile(const std::string& path) {
    DeleteFileW(wide(path).c_str());
}

void* openLibrary(const char* name) {
    return reinterpret_cast<void*>(LoadLibraryA(name));
}

void* librarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void paceFrame(GLFWwindow* window) {
    static Pacer pacer;
    const Clock::time_point now = Clock::now();
    if (!pacer.pacing) {
        if (pacer.period == Clock::duration{}) {
            pacer.period = refreshPeriod(window);
        }
        const bool fast = pacer.seen && now - pacer.last < pacer.period / 2;
        pacer.fastSwaps = fast ? pacer.fastSwaps + 1 : 0;
        pacer.seen = true;
        pacer.last = now;
        if (pacer.fastSwaps < kFastSwapsBeforePacing) {
            return;
        }
        // From here on the loop sleeps: ask for the timer's finest step.
        pacer.pacing = true;
        pacer.period = refreshPeriod(window);
        pacer.deadline = now;
        timeBeginPeriod(1);
    }
    pacer.deadline += pacer.period;
    if (pacer.deadline < now - pacer.period) {
        pacer.deadline = now; // a long frame: start counting afresh, no burst after it
    }
    std::this_thread::sleep_until(pacer.deadline);
}

} // namespace velmora::platform
