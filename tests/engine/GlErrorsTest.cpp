#include "velmora/GlErrors.h"

#include "support/Capture.h"
#include "support/GlContext.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <deque>
#include <sstream>

using namespace velmora;

using testsupport::StreamCapture;

namespace {

void discardPendingErrors() {
    while (glGetError() != GL_NO_ERROR) {
    }
}

// Feeds drainGlErrors a fixed queue of codes, ending in GL_NO_ERROR.
std::string drained(std::deque<unsigned int> codes, const char* file, int line) {
    std::ostringstream out;
    drainGlErrors(
        [&codes]() -> unsigned int {
            if (codes.empty()) {
                return GL_NO_ERROR;
            }
            const unsigned int code = codes.front();
            codes.pop_front();
            return code;
        },
        file, line, out);
    return out.str();
}

TEST(GlErrorNames, NamesTheFiveErrorsAndNothingElse) {
    EXPECT_STREQ(glErrorName(0x0500), "INVALID_ENUM");
    EXPECT_STREQ(glErrorName(0x0501), "INVALID_VALUE");
    EXPECT_STREQ(glErrorName(0x0502), "INVALID_OPERATION");
    EXPECT_STREQ(glErrorName(0x0505), "OUT_OF_MEMORY");
    EXPECT_STREQ(glErrorName(0x0506), "INVALID_FRAMEBUFFER_OPERATION");
    for (unsigned int other : {0x0503u, 0x0504u, 0x0507u, 0x0001u, 0xFFFFFFFFu}) {
        EXPECT_STREQ(glErrorName(other), "") << std::hex << other;
    }
}

TEST(GlErrorReport, OneLinePerPendingCodeInOrderUnderOneLocation) {
    EXPECT_EQ(drained({}, "Shader.cpp", 7), "");
    EXPECT_EQ(drained({0x0502, 0x0500}, "src/engine/Shader.cpp", 42),
              "GL_INVALID_OPERATION - src/engine/Shader.cpp:42\n"
              "GL_INVALID_ENUM - src/engine/Shader.cpp:42\n");
    // A code outside the table keeps the prefix and the separator.
    EXPECT_EQ(drained({0x0507}, "a.cpp", 1), "GL_ - a.cpp:1\n");
    EXPECT_EQ(drained({0x0505, 0x0506, 0x0501}, "b.cpp", -3),
              "GL_OUT_OF_MEMORY - b.cpp:-3\nGL_INVALID_FRAMEBUFFER_OPERATION - b.cpp:-3\n"
              "GL_INVALID_VALUE - b.cpp:-3\n");
}

TEST(GlErrorReport, ASourceThatNeverRunsDryDoesNotHang) {
    std::ostringstream out;
    drainGlErrors([] { return 0x0502u; }, "loop.cpp", 5, out);
    const std::string text = out.str();
    EXPECT_GT(testsupport::countOccurrences(text, "GL_INVALID_OPERATION - loop.cpp:5\n"), 0);
    EXPECT_LT(text.size(), 10000u);
}

TEST(GlErrorCheck, PrintsNothingWithoutAPendingError) {
    VELMORA_REQUIRE_GL();
    discardPendingErrors();
    StreamCapture out(StreamCapture::Stream::Out);
    checkGlErrors(__FILE__, __LINE__);
    EXPECT_EQ(out.finish(), "");
}

TEST(GlErrorCheck, ReportsARealErrorOnceAtTheCheckersLocation) {
    VELMORA_REQUIRE_GL();
    discardPendingErrors();
    glEnable(0xDEAD); // not a capability: GL_INVALID_ENUM
    StreamCapture out(StreamCapture::Stream::Out);
    checkGlErrors("render/frame.cpp", 123);
    checkGlErrors("render/frame.cpp", 124); // already drained: silent
    EXPECT_EQ(out.finish(), "GL_INVALID_ENUM - render/frame.cpp:123\n");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(GlErrorCheck, ReportsEveryKindTheContextRaises) {
    VELMORA_REQUIRE_GL();
    discardPendingErrors();
    StreamCapture out(StreamCapture::Stream::Out);
    glUseProgram(0x7FFFFFF0); // no such program: GL_INVALID_VALUE
    checkGlErrors("x.cpp", 1);
    GLuint buffer = 0;
    glCreateBuffers(1, &buffer);
    glNamedBufferData(buffer, -1, nullptr, GL_STATIC_DRAW); // negative size: GL_INVALID_VALUE
    checkGlErrors("y.cpp", 2);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLuint incomplete = 0;
    glCreateFramebuffers(1, &incomplete);
    glBindFramebuffer(GL_FRAMEBUFFER, incomplete);
    glClear(GL_COLOR_BUFFER_BIT); // no attachment: GL_INVALID_FRAMEBUFFER_OPERATION
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    checkGlErrors("z.cpp", 3);
    glDeleteFramebuffers(1, &incomplete);
    glDeleteBuffers(1, &buffer);
    EXPECT_EQ(out.finish(), "GL_INVALID_VALUE - x.cpp:1\nGL_INVALID_VALUE - y.cpp:2\n"
                            "GL_INVALID_FRAMEBUFFER_OPERATION - z.cpp:3\n");
}

} // namespace
