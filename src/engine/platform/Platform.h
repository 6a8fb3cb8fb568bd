// Platform: the few system calls that differ between the systems the engine
// runs on, one implementation per system in platform/<system>/ (linux: the
// POSIX calls, which Emscripten's file system provides too; windows: the
// Win32 ones, with UTF-8 names). Paths are UTF-8 everywhere.
#pragma once

#include <string>
#include <system_error>

struct GLFWwindow;

namespace velmora::platform {

// The running program's file, links resolved; empty with `error` set when
// the system cannot tell.
std::string programFile(std::error_code& error);

// Creates `path` for writing, failing with EEXIST when it exists. A file
// descriptor for fdopen(…, "wb") (binary, not inherited by child processes),
// or -1 with errno set.
int createNewFile(const std::string& path);

// A number that tells this process from the others running now.
long processId();

// Gives `from` the name `to`, replacing a file of that name at once. 0, or
// the errno of the failure.
int replaceFile(const std::string& from, const std::string& to);

// Removes the file; what fails is ignored (a temporary file left behind).
void removeFile(const std::string& path);

// A shared library by its file name and a symbol in it; null when either is
// missing.
void* openLibrary(const char* name);
void* librarySymbol(void* library, const char* name);

// Called after each buffer swap of `window`, whose game asked for frames in
// step with the display (Vsync::On or DriverDefault). Where swaps do not
// wait for the display (a display server that ignores the swap interval:
// many swaps in a row return in under half a refresh period), it holds the
// loop to the refresh rate of the window's monitor (60 Hz when unknown), so
// that a spinning loop does not starve the sound of the processor. Nothing
// where the platform's swaps are left to pace the loop.
void paceFrame(GLFWwindow* window);

} // namespace velmora::platform
