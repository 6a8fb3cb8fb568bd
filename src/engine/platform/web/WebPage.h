// The page around a web build's game: the canvas's size, and what the page
// can read of the frames. Compiled only into the web build.
#pragma once

#include <string>

struct GLFWwindow;

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

// Hands the file `path` of the page's file system to the browser as a
// download of the same name (without its folders).
void offerDownload(const std::string& path);

// Asks the browser to show the page full screen (on) or to leave full
// screen. A browser grants full screen only during a key press or a click
// of the player's: asked at another time, the page asks again at the next
// one. Leaving, or asking for what already is, forgets a pending request.
void setFullscreen(bool on);
// Whether the browser shows the page full screen.
bool isFullscreen();

// Ends the game's page: no further frame runs, the page's sound stops, full
// screen ends and the page tells the player that the game has ended.
void endPage();

} // namespace velmora::web
