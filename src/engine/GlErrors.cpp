#include "velmora/GlErrors.h"

#include <GL/glew.h>

#include <iostream>

namespace velmora {

namespace {

// OpenGL keeps at most one flag per error kind, so a real queue holds only a
// handful of codes; anything longer means glGetError itself is misbehaving
// (for example without a current context) and must not keep us looping.
constexpr int kMaxErrorsPerCheck = 64;

} // namespace

const char* glErrorName(unsigned int code) {
    switch (code) {
    case GL_INVALID_ENUM:
        return "INVALID_ENUM";
    case GL_INVALID_VALUE:
        return "INVALID_VALUE";
    case GL_INVALID_OPERATION:
        return "INVALID_OPERATION";
    case GL_OUT_OF_MEMORY:
        return "OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION:
        return "INVALID_FRAMEBUFFER_OPERATION";
    default:
        return "";
    }
}

void drainGlErrors(const std::function<unsigned int()>& nextError, const char* file, int line,
                   std::ostream& out) {
    const char* where = file != nullptr ? file : "";
    int reported = 0;
    for (unsigned int code = nextError(); code != GL_NO_ERROR && reported < kMaxErrorsPerCheck;
         code = nextError(), ++reported) {
        out << "GL_" << glErrorName(code) << " - " << where << ":" << line << std::endl;
    }
}

void checkGlErrors(const char* file, int line) {
    drainGlErrors([] { return static_cast<unsigned int>(glGetError()); }, file, line, std::cout);
}

} // namespace velmora
