#include "velmora/Application.h"

#include "engine/DataDirectory.h"
#include "engine/Replay.h"
#include "engine/platform/Platform.h"
#include "velmora/Input.h"
#include "velmora/Viewport.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <stb_image.h>

#ifdef __EMSCRIPTEN__
#include "engine/platform/web/WebPage.h"

#include <emscripten/emscripten.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

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

// Calls a hook, if the game set one, through a copy: the hook may replace
// the application's hooks, itself included, while it runs.
template <typename Hook, typename... Arguments>
void callHook(const Hook& hook, Arguments... arguments) {
    if (hook) {
        Hook running = hook;
        running(arguments...);
    }
}

// The monitor that holds the largest part of the window; the primary one
// when none holds any of it.
GLFWmonitor* monitorUnder(GLFWwindow* window) {
    int x = 0, y = 0, width = 0, height = 0;
    glfwGetWindowPos(window, &x, &y);
    glfwGetWindowSize(window, &width, &height);
    GLFWmonitor* best = glfwGetPrimaryMonitor();
    long bestArea = 0;
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    for (int i = 0; i < count; ++i) {
        const GLFWvidmode* mode = glfwGetVideoMode(monitors[i]);
        int left = 0, top = 0;
        glfwGetMonitorPos(monitors[i], &left, &top);
        if (mode == nullptr) {
            continue;
        }
        const long across = std::min(x + width, left + mode->width) - std::max(x, left);
        const long down = std::min(y + height, top + mode->height) - std::max(y, top);
        if (across > 0 && down > 0 && across * down > bestArea) {
            bestArea = across * down;
            best = monitors[i];
        }
    }
    return best;
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

void Application::setSceneHooks(SceneHooks sceneHooks) {
    hooks = std::move(sceneHooks);
}

void Application::close() {
    if (window != nullptr) {
        glfwSetWindowShouldClose(window, GLFW_TRUE);
#ifdef __EMSCRIPTEN__
        web::endPage(); // the browser's frames stop; the page says so
#endif
    }
}

std::string Application::executableDirectory() {
#ifdef __EMSCRIPTEN__
    // A page's files are packed at the root of its file system (its data/
    // is /data).
    return "/";
#endif
    std::error_code error;
    const std::filesystem::path program = std::filesystem::u8path(platform::programFile(error));
    if (error || !program.has_parent_path()) {
        std::cerr << "Cannot tell where the program is: " << error.message() << std::endl;
        return ".";
    }
    return program.parent_path().u8string();
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
    // A setting equal to the window system's default sets no hint, so that
    // a game that states the defaults starts up exactly as one that states
    // nothing.
    if (current.depthBits != kGlfwDefaultDepthBits) {
        glfwWindowHint(GLFW_DEPTH_BITS, std::max(current.depthBits, 0));
    }
    if (current.stencilBits != kGlfwDefaultStencilBits) {
        glfwWindowHint(GLFW_STENCIL_BITS, std::max(current.stencilBits, 0));
    }
    window = glfwCreateWindow(width, height, current.title.c_str(), monitor, nullptr);
    if (window == nullptr) {
        std::cerr << "Failed to create GLFW window" << std::endl;
        return false;
    }
    // Where setFullscreen(false) puts the window: where it opened, or the
    // middle of the monitor that a full-screen start filled.
    windowedWidth = current.windowedWidth;
    windowedHeight = current.windowedHeight;
    if (monitor != nullptr) {
        glfwGetMonitorPos(monitor, &windowedX, &windowedY);
        windowedX += (width - windowedWidth) / 2;
        windowedY += (height - windowedHeight) / 2;
    } else {
        glfwGetWindowPos(window, &windowedX, &windowedY);
    }
    return true;
}

bool Application::init(bool fullscreen, const ApplicationSettings& settings) {
#ifdef __EMSCRIPTEN__
    // A page goes full screen only at a key or click of the player's (it
    // asks at the first one); until that the canvas fills the page.
    const bool fullscreenAtGesture = fullscreen;
    fullscreen = false;
#endif
    current = settings;
    steps = FixedStep(settings.fixedUpdateRate);
    background = current.clearColour;
    shownTitle = current.title;
    frames = FrameTimer{};
    setDataDirectory(current.dataDirectory);
    paused = false;
    if (!Replay::prepare()) {
        return false;
    }
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
    cursorVisible = !(fullscreen && current.captureCursor);
    cursorCaptured = !cursorVisible;
    if (cursorCaptured) {
        applyCursorMode();
    }
    glfwMakeContextCurrent(window);
#ifndef __EMSCRIPTEN__
    // (A page's frames always follow the display: the browser drives them.)
    if (current.vsync != Vsync::DriverDefault) {
        glfwSwapInterval(current.vsync == Vsync::On ? 1 : 0);
    }
    if (Replay::replaying()) {
        glfwSwapInterval(0); // a replay runs as fast as it draws: its clock is recorded
    }
#endif
    installCallbacks();

    renderer.init();
#ifndef __EMSCRIPTEN__
    // Every drawing call of the engine is OpenGL 4.5; on an older context they
    // would be null pointers, so refuse to go on. (A page's WebGL2 context
    // runs them through the web layer, src/engine/platform/web.)
    const GlVersion version = Renderer::contextVersion();
    if (!meetsRequiredVersion(version)) {
        std::cerr << "OpenGL " << kRequiredGlMajor << "." << kRequiredGlMinor
                  << " or later is required, but this context provides OpenGL " << version.major
                  << "." << version.minor << std::endl;
        shutDown();
        return false;
    }
#endif

    // The callbacks report changes only, so start from what there is now.
#ifdef __EMSCRIPTEN__
    web::CanvasSize page;
    web::fitCanvasToPage(page); // GLFW's record holds the sizes read below
    if (fullscreenAtGesture) {
        web::setFullscreen(true);
    }
#endif
    StartState start;
    glfwGetWindowSize(window, &start.windowWidth, &start.windowHeight);
    glfwGetFramebufferSize(window, &start.framebufferWidth, &start.framebufferHeight);
    glfwGetCursorPos(window, &start.cursorX, &start.cursorY);
    // A replay starts from the recorded sizes and cursor instead, in a
    // window of the recorded size.
    int width = start.windowWidth;
    int height = start.windowHeight;
    if (!Replay::begin(start)) {
        shutDown();
        return false;
    }
    if (width != start.windowWidth || height != start.windowHeight) {
        glfwSetWindowSize(window, start.windowWidth, start.windowHeight);
    }
    windowWidth = start.windowWidth;
    windowHeight = start.windowHeight;
    takeFramebufferSize(start.framebufferWidth, start.framebufferHeight);
    cursor = Vec2{static_cast<float>(start.cursorX), static_cast<float>(start.cursorY)};

    if (fullscreen) {
        while (glfwGetTime() < kFullscreenSettleSeconds) {
            std::this_thread::yield();
        }
        glfwSetTime(0.0);
    }

    const std::function<bool()> load = hooks.load; // it may replace the hooks
    if (load && !load()) {
        shutDown();
        return false;
    }
    return true;
}

void Application::runFrame() {
#ifdef __EMSCRIPTEN__
    // The page's size and pixel ratio are read each frame: the browser
    // reports no resize to GLFW.
    web::CanvasSize page;
    if (web::fitCanvasToPage(page)) {
        windowSizeCallback(window, page.windowWidth, page.windowHeight);
        framebufferSizeCallback(window, page.pixelWidth, page.pixelHeight);
    }
#endif
    time = glfwGetTime();
    if (!Replay::frameBegins(time)) {
        close(); // the replay has run its last frame
        return;
    }
    frames.tick(time);
    const int due = paused ? 0 : steps.advance(frames.lastFrameSeconds(),
                                               std::max(current.maxFixedStepsPerFrame, 1));
    for (int left = due; left > 0; --left) {
        callHook(hooks.update);
    }
    if (current.clockInTitle) {
        char title[256];
        formatClockTitle(time, title, sizeof title);
        glfwSetWindowTitle(window, title);
        shownTitle = title;
    }
    renderer.clear(background, current.depthBits > 0, current.stencilBits > 0);
    drawing = true;
    callHook(hooks.draw);
    Replay::frameDrawn(*this);
    drawing = false;
    glfwSwapBuffers(window);
#ifdef __EMSCRIPTEN__
    web::frameShown();
#endif
    if (current.vsync != Vsync::Off) {
        platform::paceFrame(window);
    }
    glfwPollEvents();
    Replay::frameEnds(*this);
}

void Application::run() {
    if (window == nullptr) {
        return; // start-up failed: never run a frame without a window
    }
#ifdef __EMSCRIPTEN__
    if (glfwWindowShouldClose(window) == GLFW_TRUE) {
        return; // closed during start-up: the page has ended already
    }
    // The browser calls the frame at its display's rate; this never returns.
    emscripten_set_main_loop([] { instance().runFrame(); }, 0, 1);
#endif
    while (glfwWindowShouldClose(window) != GLFW_TRUE) {
        runFrame();
    }
    Replay::finish();
    // The player has quit: the window goes at once rather than standing
    // frozen on its last frame while the audio device stops, which can take
    // a while. It is destroyed later, in the usual order.
    glfwHideWindow(window);
}

double Application::stepSeconds() const {
    return steps.on() ? steps.step() : frames.lastFrameSeconds();
}

double Application::stepFraction() const { return steps.fraction(); }

bool Application::isFullscreen() const {
#ifdef __EMSCRIPTEN__
    return window != nullptr && web::isFullscreen();
#endif
    return window != nullptr && glfwGetWindowMonitor(window) != nullptr;
}

void Application::setFullscreen(bool on) {
#ifdef __EMSCRIPTEN__
    // The browser's full screen, granted at once or at the player's next
    // key or click; the canvas follows the page's new size by itself.
    if (window != nullptr) {
        web::setFullscreen(on);
    }
    return;
#endif
    if (window == nullptr || on == isFullscreen()) {
        return;
    }
    if (!on) {
        glfwSetWindowMonitor(window, nullptr, windowedX, windowedY, windowedWidth, windowedHeight,
                             GLFW_DONT_CARE);
    } else {
        GLFWmonitor* monitor = monitorUnder(window);
        const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
        if (mode == nullptr) {
            std::cerr << "No monitor to go full screen on; the window stays" << std::endl;
            return;
        }
        glfwGetWindowPos(window, &windowedX, &windowedY);
        glfwGetWindowSize(window, &windowedWidth, &windowedHeight);
        glfwSetWindowMonitor(window, monitor, 0, 0, mode->width, mode->height, mode->refreshRate);
    }
    if (current.captureCursor) {
        cursorVisible = !on;
        cursorCaptured = on;
        applyCursorMode();
    }
}

void Application::setTitle(const std::string& text) {
    shownTitle = text;
    if (window != nullptr) {
        glfwSetWindowTitle(window, text.c_str());
    }
}

bool Application::setIcon(const std::string& path) {
    const std::string file = (std::filesystem::path(dataDirectory()) / path).string();
    if (window == nullptr) {
        std::cerr << "No window to show the icon " << file << std::endl;
        return false;
    }
    GLFWimage image{};
    int channels = 0;
    image.pixels = stbi_load(file.c_str(), &image.width, &image.height, &channels, 4);
    if (image.pixels == nullptr) {
        std::cerr << "Cannot show " << file << " as the window's icon: " << stbi_failure_reason()
                  << std::endl;
        return false;
    }
    glfwSetWindowIcon(window, 1, &image);
    stbi_image_free(image.pixels);
    return true;
}

void Application::setCursorVisible(bool on) {
    cursorVisible = on;
    applyCursorMode();
}

void Application::setCursorCaptured(bool on) {
    cursorCaptured = on;
    applyCursorMode();
}

void Application::applyCursorMode() {
    if (window == nullptr) {
        return;
    }
    const int mode = cursorCaptured ? (cursorVisible ? GLFW_CURSOR_CAPTURED : GLFW_CURSOR_DISABLED)
                                    : (cursorVisible ? GLFW_CURSOR_NORMAL : GLFW_CURSOR_HIDDEN);
    glfwSetInputMode(window, GLFW_CURSOR, mode);
    // Raw motion, where there is, only for the cursor that stops at no edge:
    // it steers, and pointer acceleration would distort that.
    if (glfwRawMouseMotionSupported() == GLFW_TRUE) {
        glfwSetInputMode(window, GLFW_RAW_MOUSE_MOTION, mode == GLFW_CURSOR_DISABLED);
    }
}

void Application::installCallbacks() {
    glfwSetKeyCallback(window, keyCallback);
    glfwSetCharCallback(window, charCallback);
    glfwSetWindowFocusCallback(window, focusCallback);
    glfwSetMouseButtonCallback(window, mouseButtonCallback);
    glfwSetScrollCallback(window, scrollCallback);
    glfwSetCursorPosCallback(window, cursorPositionCallback);
    // The framebuffer need not keep the size asked for: a HiDPI output scales
    // it, and a tiling compositor or the player resizes the window. GLFW
    // reports each change here at no cost per frame (reading the size every
    // frame would be a round trip to the X server each time).
    glfwSetWindowSizeCallback(window, windowSizeCallback);
    glfwSetFramebufferSizeCallback(window, framebufferSizeCallback);
}

// The window system's input: handed on as it comes, except during a replay,
// which brings its own.
void Application::keyCallback(GLFWwindow* window, int key, int /*scancode*/, int action,
                              int mods) {
    // Caps Lock and Num Lock are reported only on request; mask them anyway.
    const int held = mods & (kModShift | kModControl | kModAlt | kModSuper);
    if (!Replay::replaying()) {
        instance().deliver(InputEvent{InputEvent::Kind::Key, action, key, held}, window);
    }
}

void Application::charCallback(GLFWwindow* /*window*/, unsigned int codePoint) {
    if (!Replay::replaying()) {
        instance().deliver(InputEvent{InputEvent::Kind::Text, static_cast<int>(codePoint)});
    }
}

void Application::focusCallback(GLFWwindow* /*window*/, int focused) {
    if (!Replay::replaying()) {
        instance().deliver(InputEvent{InputEvent::Kind::Focus, focused == GLFW_TRUE ? 1 : 0});
    }
}

void Application::mouseButtonCallback(GLFWwindow* /*window*/, int button, int action,
                                      int /*mods*/) {
    if (!Replay::replaying()) {
        instance().deliver(InputEvent{InputEvent::Kind::Button, action, button});
    }
}

void Application::scrollCallback(GLFWwindow* /*window*/, double x, double y) {
    if (!Replay::replaying()) {
        instance().deliver(InputEvent{InputEvent::Kind::Scroll, 0, 0, 0, x, y});
    }
}

void Application::cursorPositionCallback(GLFWwindow* /*window*/, double x, double y) {
    if (!Replay::replaying()) {
        instance().deliver(InputEvent{InputEvent::Kind::Cursor, 0, 0, 0, x, y});
    }
}

void Application::windowSizeCallback(GLFWwindow* /*window*/, int width, int height) {
    if (!Replay::replaying()) {
        instance().deliver(InputEvent{InputEvent::Kind::WindowSize, width, height});
    }
}

void Application::framebufferSizeCallback(GLFWwindow* /*window*/, int width, int height) {
    if (!Replay::replaying()) {
        instance().deliver(InputEvent{InputEvent::Kind::Framebuffer, width, height});
    }
}

void Application::deliver(const InputEvent& event, GLFWwindow* source) {
    Replay::note(event);
    switch (event.kind) {
    case InputEvent::Kind::Key:
        if (event.b == GLFW_KEY_ESCAPE && event.a == GLFW_PRESS && current.escapeQuits) {
            // A page cannot close its tab: there the browser's Escape leaves
            // full screen, and the game goes on.
#ifndef __EMSCRIPTEN__
            GLFWwindow* closing = source != nullptr ? source : window;
            if (closing != nullptr) {
                glfwSetWindowShouldClose(closing, GLFW_TRUE);
            }
#endif
            static_cast<void>(source);
            return;
        }
        callHook(hooks.onKey, event.a, event.b, event.c);
        break;
    case InputEvent::Kind::Text:
        callHook(hooks.onText, static_cast<char32_t>(event.a));
        break;
    case InputEvent::Kind::Focus:
        callHook(hooks.onFocus, event.a != 0);
        break;
    case InputEvent::Kind::Button:
        callHook(hooks.onMouseButton, event.a, event.b);
        break;
    case InputEvent::Kind::Scroll:
        callHook(hooks.onScroll, static_cast<float>(event.x), static_cast<float>(event.y));
        break;
    case InputEvent::Kind::Cursor:
        cursor = Vec2{static_cast<float>(event.x), static_cast<float>(event.y)};
        if (hooks.onMouseMove) {
            callHook(hooks.onMouseMove, mousePosition());
        }
        break;
    case InputEvent::Kind::WindowSize:
        windowWidth = event.a;
        windowHeight = event.b;
        break;
    case InputEvent::Kind::Framebuffer:
        // Runs inside the event polling on the main thread, where the
        // window's context is current: the next frame draws into the new
        // viewport.
        if (takeFramebufferSize(event.a, event.b)) {
            callHook(hooks.onResize, event.a, event.b);
        }
        break;
    }
}

bool Application::takeFramebufferSize(int width, int height) {
    if (width <= 0 || height <= 0) {
        return false; // minimised: the picture stays as it was for the window's return
    }
    framebufferWidth = width;
    framebufferHeight = height;
    picture = letterboxViewport(width, height, current.aspect);
    fitViewportToFramebuffer(width, height, current.aspect);
    return true;
}

bool isKeyDown(int key) {
    GLFWwindow* window = Application::instance().window;
    if (window == nullptr || key < kKeySpace || key > kKeyLast) {
        return false; // GLFW would report an unknown key as an error
    }
    if (Replay::replaying()) {
        return Replay::keyHeld(key);
    }
    return glfwGetKey(window, key) == GLFW_PRESS;
}

bool isMouseButtonDown(int button) {
    GLFWwindow* window = Application::instance().window;
    if (window == nullptr || button < kMouseLeft || button > kMouseLast) {
        return false;
    }
    if (Replay::replaying()) {
        return Replay::buttonHeld(button);
    }
    return glfwGetMouseButton(window, button) == GLFW_PRESS;
}

Vec2 mousePosition() {
    const Application& application = Application::instance();
    if (application.window == nullptr || application.windowWidth <= 0 ||
        application.windowHeight <= 0) {
        return Vec2{};
    }
    // The cursor comes in screen coordinates, the picture lies in pixels: a
    // high-density screen has more of the latter per coordinate.
    const float toPixelsX = static_cast<float>(application.framebufferWidth) /
                            static_cast<float>(application.windowWidth);
    const float toPixelsY = static_cast<float>(application.framebufferHeight) /
                            static_cast<float>(application.windowHeight);
    return viewportFraction(application.picture, application.framebufferHeight,
                            application.cursor.x * toPixelsX, application.cursor.y * toPixelsY);
}

std::string utf8(const std::u32string& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (char32_t point : text) {
        if (point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            point = 0xFFFD;
        }
        if (point < 0x80) {
            bytes += static_cast<char>(point);
        } else if (point < 0x800) {
            bytes += static_cast<char>(0xC0 | (point >> 6));
            bytes += static_cast<char>(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            bytes += static_cast<char>(0xE0 | (point >> 12));
            bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (point >> 18));
            bytes += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (point & 0x3F));
        }
    }
    return bytes;
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
