// Application: the program's spine. It owns the window, the OpenGL context and
// the frame clock, runs start-up in a fixed order, and drives one main loop:
// clock, update, title, clear, draw, swap, poll. It knows nothing of the game:
// the game plugs in through SceneHooks.
#pragma once

#include "engine/Renderer.h"

#include <ostream>

struct GLFWwindow;

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

class Application {
  public:
    // The one application of the process, created on first call.
    static Application& instance();

    // Chooses the scene that start-up loads and the loop drives.
    void setSceneHooks(const SceneHooks& hooks);

    // Start-up: GLFW, the window (full screen on the primary monitor, or
    // 1024×768 windowed), the context, the key and framebuffer-size
    // callbacks, GLEW, the viewport,
    // in full screen a two-second settle after which the clock restarts at 0,
    // and last the scene's load. Failures are reported on standard error;
    // returns false when the program cannot run a frame.
    bool init(bool fullscreen);

    // The main loop; returns once the window is to close, with the window
    // already hidden.
    void run();

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
    bool glfwReady = false;
};

// The window size of a windowed run.
constexpr int kWindowedWidth = 1024;
constexpr int kWindowedHeight = 768;

// Sets the letter-boxed 4:3 viewport for a framebuffer of width × height
// pixels. A 0×0 framebuffer (a minimised window) keeps the viewport it has.
void fitViewportToFramebuffer(int width, int height);

// The window's title until the first frame replaces it with the clock.
constexpr const char* kWindowTitle = "Velmora Demoengine";

// Reads the one command-line option: a first argument of exactly "windowed"
// asks for a window (and says so on `out`); anything else means full screen.
bool fullscreenFromArguments(int argc, const char* const* argv, std::ostream& out);

// The title shown during a frame: "Time: " and the clock with six decimals.
void formatClockTitle(double time, char* buffer, unsigned long size);
