// Application: the program's spine. It owns the window, the OpenGL context and
// the frame clock, runs start-up in a fixed order, and drives one main loop:
// clock, frame timing, update, title, clear, draw, swap, poll. It knows
// nothing of the game: the game states its window in ApplicationSettings and
// plugs in through SceneHooks.
#pragma once

#include "velmora/Renderer.h"
#include "velmora/Viewport.h"

#include <ostream>
#include <string>

struct GLFWwindow;

namespace velmora {

// The four entry points through which the application drives a scene. Every
// hook is optional; a null hook is skipped.
struct SceneHooks {
    // Once, at the end of start-up, with the context current. Returning false
    // means the scene cannot run: start-up fails and no frame is run.
    bool (*load)() = nullptr;
    // Once per frame, after the clock is read and before anything is drawn.
    void (*update)() = nullptr;
    // Once per frame, after the clear and before the buffer swap.
    void (*draw)() = nullptr;
    // Every key event except a press of Escape, with GLFW's action and key codes.
    void (*onKey)(int action, int key) = nullptr;
};

// The window size of a windowed run, unless the settings say otherwise.
constexpr int kWindowedWidth = 1024;
constexpr int kWindowedHeight = 768;

// The window's title, unless the settings say otherwise.
constexpr const char* kWindowTitle = "Velmora Demoengine";

// What a game states about its window. Read once, by init.
struct ApplicationSettings {
    // The title at creation; kept for the whole run unless clockInTitle.
    std::string title = kWindowTitle;
    // The window's size in screen coordinates when not full screen; a size
    // the window system refuses fails start-up.
    int windowedWidth = kWindowedWidth;
    int windowedHeight = kWindowedHeight;
    // Width / height of the letterboxed picture. 0 or less: no letterbox,
    // the picture fills the framebuffer.
    float aspect = kDefaultAspect;
    // From the first frame on, the title is "Time: " and the frame clock.
    bool clockInTitle = true;
};

// Frame rate and frame time, from the clock read once per frame. The rate
// is the number of frames in a window of at least kWindowSeconds divided by
// that window's real length, so a slow frame that closes a window late does
// not inflate it; it reads 0 until the first window closes.
class FrameTimer {
  public:
    static constexpr double kWindowSeconds = 0.5;

    // Once per frame with the frame clock in seconds. The first call only
    // starts the clock.
    void tick(double now);

    double framesPerSecond() const { return rate; }
    // The time between the last two ticks; 0 before the second.
    double lastFrameSeconds() const { return lastFrame; }

  private:
    bool started = false;
    double lastTick = 0.0;
    double windowStart = 0.0;
    int windowFrames = 0;
    double rate = 0.0;
    double lastFrame = 0.0;
};

class Application {
  public:
    // The one application of the process, created on first call.
    static Application& instance();

    // Chooses the scene that start-up loads and the loop drives.
    void setSceneHooks(const SceneHooks& hooks);

    // Start-up: GLFW, the window (full screen on the primary monitor, or
    // windowed at the settings' size) titled as the settings say, the
    // context, the key and framebuffer-size callbacks, GLEW, the viewport
    // letterboxed to the settings' aspect, in full screen a two-second settle
    // after which the clock restarts at 0, and last the scene's load.
    // Failures are reported on standard error; returns false when the
    // program cannot run a frame.
    bool init(bool fullscreen, const ApplicationSettings& settings = ApplicationSettings{});

    // The main loop; returns once the window is to close, with the window
    // already hidden.
    void run();

    // Frame rate and the last frame's time, measured by the loop on the
    // frame clock (see FrameTimer).
    const FrameTimer& frameTimer() const { return frames; }
    const ApplicationSettings& settings() const { return current; }

    // Destroys the window and ends GLFW; the destructor does this too. For an
    // exit that cannot wait for the ordinary destruction at process end.
    void shutDown();

    // GLFW key callback: a press of Escape closes the window; every other key
    // event goes to the scene's onKey hook.
    static void keyCallback(GLFWwindow* window, int key, int scancode, int action, int mods);

    // GLFW framebuffer-size callback: the window system resized the
    // framebuffer (the player, a tiling compositor, a change of output
    // scale), so the letterbox is fitted to its new size in pixels.
    static void framebufferSizeCallback(GLFWwindow* window, int width, int height);

    GLFWwindow* window = nullptr;
    Renderer renderer;
    double time = 0.0; // the frame clock in seconds, read at the top of every frame

    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

  private:
    Application() = default;
    ~Application();

    bool openWindow(bool fullscreen);

    SceneHooks hooks;
    ApplicationSettings current;
    FrameTimer frames;
    bool glfwReady = false;
};

// Sets the viewport letterboxed to `aspect` (see letterboxViewport) for a
// framebuffer of width × height pixels. A 0×0 framebuffer (a minimised
// window) keeps the viewport it has.
void fitViewportToFramebuffer(int width, int height, float aspect = kDefaultAspect);

// Reads the one command-line option: a first argument of exactly "windowed"
// asks for a window (and says so on `out`); anything else means full screen.
bool fullscreenFromArguments(int argc, const char* const* argv, std::ostream& out);

// The title shown during a frame: "Time: " and the clock with six decimals.
void formatClockTitle(double time, char* buffer, unsigned long size);

} // namespace velmora
