// The web build's <GLFW/glfw3.h>: Emscripten's GLFW (3.2 calls, run by the
// browser), with the GLFW 3.4 names the engine uses and a browser lacks.
// Compiled only into the web build.
// - glfwInitHint, glfwPlatformSupported: a page has one platform, the
//   browser; hints are ignored and no other platform is supported.
// - glfwRawMouseMotionSupported: no (a page gets no raw motion).
// - GLFW_CURSOR_CAPTURED: the browser keeps the cursor over the page anyway,
//   so it asks for the normal cursor.
#pragma once

// OpenGL comes from <GL/glew.h> (the web layer), never through GLFW.
#ifndef GLFW_INCLUDE_NONE
#define GLFW_INCLUDE_NONE
#endif
#include_next <GLFW/glfw3.h>

#define GLFW_PLATFORM 0x00050003
#define GLFW_PLATFORM_X11 0x00060004
#define GLFW_CURSOR_CAPTURED GLFW_CURSOR_NORMAL
#ifndef GLFW_RAW_MOUSE_MOTION
#define GLFW_RAW_MOUSE_MOTION 0x00033005
#endif

inline void glfwInitHint(int, int) {}
inline int glfwPlatformSupported(int) { return GLFW_FALSE; }
inline int glfwRawMouseMotionSupported() { return GLFW_FALSE; }
