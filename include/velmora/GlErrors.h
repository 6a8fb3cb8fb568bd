// GlErrors: drains OpenGL's error queue and prints one line per pending error,
// naming the error and the source location of the check that found it.
#pragma once

#include <functional>
#include <ostream>

namespace velmora {

// The name printed after "GL_" for an error code: "INVALID_ENUM",
// "INVALID_VALUE", "INVALID_OPERATION", "OUT_OF_MEMORY",
// "INVALID_FRAMEBUFFER_OPERATION", and "" for any other code.
const char* glErrorName(unsigned int code);

// Takes codes from `nextError` until it yields 0 and writes, for each, the
// line "GL_<name> - <file>:<line>" to `out`, flushed. Stops after a bounded
// number of codes so that a source that never runs dry cannot hang the caller.
void drainGlErrors(const std::function<unsigned int()>& nextError, const char* file, int line,
                   std::ostream& out);

// Reports every error pending on the current context on standard output,
// under the caller's source location (pass __FILE__ and __LINE__).
void checkGlErrors(const char* file, int line);

} // namespace velmora
