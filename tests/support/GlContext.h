// A hidden window with a current OpenGL 4.5 context for rendering tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// True when the tests run under CI, where a missing display is a failure.
bool runningInCi();

// True when the environment names a display to connect to.
bool displayAvailable();

// Makes a hidden 64×64 window's OpenGL context current (created on first
// call, kept for the process). On failure `why` says what went wrong.
bool acquireGlContext(std::string& why);

} // namespace testsupport

// Puts the test on a current OpenGL 4.5 context. Without any display the test
// is skipped, except under CI; any other failure fails the test.
#define VELMORA_REQUIRE_GL()                                                                       \
    do {                                                                                           \
        if (!::testsupport::displayAvailable() && !::testsupport::runningInCi()) {                 \
            GTEST_SKIP() << "no display to open an OpenGL context on";                             \
        }                                                                                          \
        std::string velmoraGlWhy;                                                                  \
        if (!::testsupport::acquireGlContext(velmoraGlWhy)) {                                      \
            FAIL() << velmoraGlWhy;                                                                \
        }                                                                                          \
    } while (0)

// Needs a display (an X server) but no context of its own, as tests that start
// the real game do. Without any display the test is skipped, except under CI,
// where it fails.
#define VELMORA_REQUIRE_DISPLAY()                                                                  \
    do {                                                                                           \
        if (!::testsupport::displayAvailable()) {                                                  \
            if (::testsupport::runningInCi()) {                                                    \
                FAIL() << "no display under CI";                                                   \
            }                                                                                      \
            GTEST_SKIP() << "no display";                                                          \
        }                                                                                          \
    } while (0)
