// Platform on Linux and on Emscripten's POSIX layer.
#include "engine/platform/Platform.h"

#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace velmora::platform {

std::string programFile(std::error_code& error) {
    return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

int createNewFile(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

long processId() {
    return static_cast<long>(getpid());
}

int replaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void removeFile(const std::string& path) {
    unlink(path.c_str());
}

void* openLibrary(const char* name) {
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* librarySymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void paceFrame(GLFWwindow* /*window*/) {
    // The X server's and the compositors' swaps are left to pace the loop.
}

} // namespace velmora::platform
