// Linked into every Windows program on the engine (before the engine
// library, as an object of its own): a game is a GUI program, so a
// double-click opens no console window; started from a console, its
// standard output and error go to that console. Output that was redirected
// (to a file, a pipe) stays where it was sent.
#include <windows.h>

#include <cstdio>

namespace {

bool hasHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

struct ConsoleOfTheParent {
    ConsoleOfTheParent() {
        const bool output = hasHandle(STD_OUTPUT_HANDLE);
        const bool errors = hasHandle(STD_ERROR_HANDLE);
        if (output && errors) {
            return;
        }
        if (AttachConsole(ATTACH_PARENT_PROCESS) == 0) {
            return; // started without a console: nowhere to write to
        }
        if (!output) {
            std::freopen("CONOUT$", "w", stdout);
        }
        if (!errors) {
            std::freopen("CONOUT$", "w", stderr);
        }
    }
};

const ConsoleOfTheParent attached;

} // namespace
