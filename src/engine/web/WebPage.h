// The page around a web build's game: the canvas's size, and what the page
// can read of the frames. Compiled only into the web build.
#pragma once

namespace velmora::web {

// The canvas's sizes as the engine and Emscripten's GLFW use them.
struct CanvasSize {
    // In the units GLFW gives the cursor in: the page's CSS pixels where
    // GLFW keeps a framebuffer size of its own (Emscripten 3.1.51 and
    // later), the canvas's pixels where it does not.
    int windowWidth = 0;
    int windowHeight = 0;
    // The canvas's drawing buffer, in pixels: its size on the page times the
    // page's device pixel ratio.
    int pixelWidth = 0;
    int pixelHeight = 0;
};

// Sizes the canvas's drawing buffer to its size on the page times the
// page's device pixel ratio, so that the picture is sharp, and puts both
// sizes into GLFW's own record of the window, where glfwGetWindowSize and
// glfwGetFramebufferSize read them. Returns true, with `size` filled in,
// when either changed since the last call (GLFW's own resize handling may
// have changed them in between); false, leaving `size` alone, when nothing
// did or the canvas is not on the page.
bool fitCanvasToPage(CanvasSize& size);

// Counts a frame shown in Module.velmoraFrames, and notes in
// Module.velmoraFirstFrameAt the page's time (milliseconds from navigation)
// of the first one: what the page's tests and figures wait for.
void frameShown();

} // namespace velmora::web
