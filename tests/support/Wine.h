// The Windows build's programs (make windows: build-windows/ of the checkout)
// run under Wine on the test X server, for the tests that look at them as a
// Windows player would. Wine runs quiet (WINEDEBUG=-all) in a prefix of the
// build's own (wine-prefix/ of the test build), never the user's.
#pragma once

#include "support/Process.h"

#include <string>

namespace testsupport {

// Empty when the Windows programs can be run here; otherwise what is missing
// (Wine, or the Windows build's programs).
std::string windowsProgramsMissing();

// Adds the Wine prefix and Wine's quiet to `options`, for running "wine
// PROGRAM.exe ARGUMENTS...".
ProcessOptions withWine(ProcessOptions options);

// Ends every Windows program of the prefix and Wine's server with them.
void endWine();

// What a Windows program wrote, its CR LF line ends as LF.
std::string withUnixLineEnds(std::string text);

} // namespace testsupport
