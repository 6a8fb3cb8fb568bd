#include "velmora/Application.h"

#include "velmora/Viewport.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

namespace velmora {

namespace {

// How long a full-screen start waits for the display to settle before the
// clock restarts at 0.
constexpr double kFullscreenSettleSeconds = 2.0;

// GLFW probes Wayland before X11; on an X11-only session that probe makes the
// Wayland client library print a spurious error line. Go straight to X11 when
// only an X display is named.
void preferTheNamedDisplay() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* x11 = std::getenv("DISPLAY");
    const bool hasWayland = wayland != nullptr && *wayland != '\0';
    const bool hasX11 = x11 != nullptr && *x11 != '\0';
    if (hasX11 && !hasWayland && glfwPlatformSupported(GLFW_PLATFORM_X11) == GLFW_TRUE) {
        glfwInitHint(GLFW_PLATFORM, GLFW_PLATFORM_X11);
    }
}

} // namespace

Application& Application::instance() {
    static Application application;
    return application;
}

Application::~Application() {
    shutDown();
}

void Application::shutDown() {
    if (window != nullptr) {
        glfwDestroyWindow(window);
        window = nullptr;
    }
    if (glfwReady) {
        glfwTerminate();
        glfwReady = false;
    }
}

void Application::setSceneHooks(const SceneHooks& sceneHooks) {
    hooks = sceneHooks;
}

bool Application::openWindow(bool fullscreen) {
    GLFWmonitor* monitor = nullptr;
    int width = current.windowedWidth;
    int height = current.windowedHeight;
    if (fullscreen) {
        monitor = glfwGetPrimaryMonitor();
        const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
        if (mode == nullptr) {
            std::cerr << "No monitor to go full screen on; start with \"windowed\" to play in a "
                         "window"
                      << std::endl;
            return false;
        }
        width = mode->width;
        height = mode->height;
    }
    window = glfwCreateWindow(width, height, current.title.c_str(), monitor, nullptr);
    if (window == nullptr) {
        std::cerr << "Failed to create GLFW window" << std::endl;
        return false;
    }
    return true;
}

bool Application::init(bool fullscreen, const ApplicationSettings& settings) {
    current = settings;
    frames = FrameTimer{};
    preferTheNamedDisplay();
    if (glfwInit() != GLFW_TRUE) {
        std::cerr << "Failed to initialize GLFW" << std::endl;
        return false;
    }
    glfwReady = true;

    if (!openWindow(fullscreen)) {
        shutDown();
        return false;
    }
    if (fullscreen) {
        glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_DISABLED);
        if (glfwRawMouseMotionSupported() == GLFW_TRUE) {
            glfwSetInputMode(window, GLFW_RAW_MOUSE_MOTION, GLFW_TRUE);
        }
    }
    glfwMakeContextCurrent(window);
    glfwSetKeyCallback(window, keyCallback);
    // The framebuffer need not keep the size asked for: a HiDPI output scales
    // it, and a tiling compositor or the player resizes the window. GLFW
    // reports each change here at no cost per frame (reading the size every
    // frame would be a round trip to the X server each time).
    glfwSetFramebufferSizeCallback(window, framebufferSizeCallback);

    renderer.init();
    // Every drawing call of the engine is OpenGL 4.5; on an older context they
    // would be null pointers, so refuse to go on.
    const GlVersion version = Renderer::contextVersion();
    if (!meetsRequiredVersion(version)) {
        std::cerr << "OpenGL " << kRequiredGlMajor << "." << kRequiredGlMinor
                  << " or later is required, but this context provides OpenGL " << version.major
                  << "." << version.minor << std::endl;
        shutDown();
        return false;
    }

    // The callback reports changes only, so start from the size it has now.
    int framebufferWidth = 0;
    int framebufferHeight = 0;
    glfwGetFramebufferSize(window, &framebufferWidth, &framebufferHeight);
    fitViewportToFramebuffer(framebufferWidth, framebufferHeight, current.aspect);

    if (fullscreen) {
        while (glfwGetTime() < kFullscreenSettleSeconds) {
            std::this_thread::yield();
        }
        glfwSetTime(0.0);
    }

    if (hooks.load != nullptr && !hooks.load()) {
        shutDown();
        return false;
    }
    return true;
}

void Application::run() {
    if (window == nullptr) {
        return; // start-up failed: never run a frame without a window
    }
    char title[256];
    while (glfwWindowShouldClose(window) != GLFW_TRUE) {
        time = glfwGetTime();
        frames.tick(time);
        if (hooks.update != nullptr) {
            hooks.update();
        }
        if (current.clockInTitle) {
            formatClockTitle(time, title, sizeof title);
            glfwSetWindowTitle(window, title);
        }
        renderer.clear();
        if (hooks.draw != nullptr) {
            hooks.draw();
        }
        glfwSwapBuffers(window);
        glfwPollEvents();
    }
    // The player has quit: the window goes at once rather than standing
    // frozen on its last frame while the audio device stops, which can take
    // a while. It is destroyed later, in the usual order.
    glfwHideWindow(window);
}

void Application::keyCallback(GLFWwindow* window, int key, int /*scancode*/, int action,
                              int /*mods*/) {
    if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS) {
        glfwSetWindowShouldClose(window, GLFW_TRUE);
        return;
    }
    const SceneHooks& hooks = instance().hooks;
    if (hooks.onKey != nullptr) {
        hooks.onKey(action, key);
    }
}

void Application::framebufferSizeCallback(GLFWwindow* /*window*/, int width, int height) {
    // Runs inside glfwPollEvents on the main thread, where the window's
    // context is current: the next frame draws into the new viewport.
    fitViewportToFramebuffer(width, height, instance().current.aspect);
}

void FrameTimer::tick(double now) {
    if (!started) {
        started = true;
        lastTick = windowStart = now;
        return;
    }
    lastFrame = now - lastTick;
    lastTick = now;
    ++windowFrames;
    const double elapsed = now - windowStart;
    if (elapsed >= kWindowSeconds) {
        rate = windowFrames / elapsed;
        windowStart = now;
        windowFrames = 0;
    }
}

void fitViewportToFramebuffer(int width, int height, float aspect) {
    if (width <= 0 || height <= 0) {
        return; // minimised: nothing is shown until the window comes back
    }
    const Viewport viewport = letterboxViewport(width, height, aspect);
    glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
}

bool fullscreenFromArguments(int argc, const char* const* argv, std::ostream& out) {
    if (argc < 2 || argv[1] == nullptr) {
        return true;
    }
    if (std::string(argv[1]) == "windowed") {
        out << "Windowed mode enabled" << std::endl;
        return false;
    }
    return true;
}

void formatClockTitle(double time, char* buffer, unsigned long size) {
    std::snprintf(buffer, size, "Time: %f", time);
}

} // namespace velmora
