// The page around a web build's game: the canvas's size, and what the page
// can read of the frames. Compiled only into the web build.
#pragma once

struct GLFWwindow;

namespace velmora::web {

// Sizes the canvas's drawing buffer to its size on the page times the
// page's device pixel ratio, so that the picture is sharp, and tells GLFW.
// Returns true, with the new size in pixels, when that size changed.
bool fitCanvasToPage(GLFWwindow* window, int* width = nullptr, int* height = nullptr);

// Counts a frame shown in Module.velmoraFrames, and notes in
// Module.velmoraFirstFrameAt the page's time (milliseconds from navigation)
// of the first one: what the page's tests and figures wait for.
void frameShown();

} // namespace velmora::web
