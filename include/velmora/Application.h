// Application: the program's spine. It owns the window, the OpenGL context and
// the frame clock, runs start-up in a fixed order, and drives one main loop:
// clock, frame timing, update, title, clear, draw, swap, poll. It knows
// nothing of the game: the game states its window in ApplicationSettings and
// plugs in through SceneHooks.
#pragma once

#include "velmora/Keys.h"
#include "velmora/Math.h"
#include "velmora/Renderer.h"
#include "velmora/Viewport.h"

#include <functional>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>

struct GLFWwindow;

namespace velmora {

struct InputEvent;

// The onKey hook: any callable that takes (int action, int key), as a game
// that needs no modifiers writes it, or (int action, int key, int mods),
// where mods holds kModShift, kModControl, kModAlt and kModSuper. The
// actions, keys and modifiers are those of <velmora/Keys.h>, which this
// header includes. Both forms are assigned alike:
//     hooks.onKey = [&](int action, int key) { … };
//     hooks.onKey = [&](int action, int key, int mods) { … };
// A callable that takes both forms is given all three. Empty by default and
// after `= nullptr`; calling an empty one does nothing.
class KeyHook {
  public:
    KeyHook() = default;
    KeyHook(std::nullptr_t) {}
    template <typename Callable,
              typename = std::enable_if_t<
                  !std::is_same<std::decay_t<Callable>, KeyHook>::value &&
                  (std::is_invocable<std::decay_t<Callable>&, int, int, int>::value ||
                   std::is_invocable<std::decay_t<Callable>&, int, int>::value)>>
    KeyHook(Callable&& callable) : call(adapt(std::forward<Callable>(callable))) {}

    explicit operator bool() const { return static_cast<bool>(call); }
    void operator()(int action, int key, int mods = 0) const {
        if (call) {
            call(action, key, mods);
        }
    }

  private:
    using Full = std::function<void(int, int, int)>;

    template <typename Callable> static Full adapt(Callable&& callable) {
        using Stored = std::decay_t<Callable>;
        if constexpr (std::is_invocable<Stored&, int, int, int>::value) {
            return Full(std::forward<Callable>(callable));
        } else {
            Stored keys(std::forward<Callable>(callable));
            // An empty std::function or a null pointer stays empty.
            if constexpr (std::is_pointer<Stored>::value ||
                          std::is_same<Stored, std::function<void(int, int)>>::value) {
                if (!keys) {
                    return Full();
                }
            }
            return [keys = std::move(keys)](int action, int key, int /*mods*/) mutable {
                keys(action, key);
            };
        }
    }

    Full call;
};

// The entry points through which the application drives a game. Each is any
// callable: a plain function, or a lambda that captures the game's own object
// (hooks.update = [&game] { game.update(); }). Every hook is optional; an
// empty one is skipped. All run on the main thread.
struct SceneHooks {
    // Once, at the end of start-up, with the context current. Returning false
    // means the scene cannot run: start-up fails and no frame is run.
    std::function<bool()> load;
    // Once per frame, after the clock is read and before anything is drawn.
    // The time to move things by, dt, is
    // Application::instance().frameTimer().lastFrameSeconds().
    std::function<void()> update;
    // Once per frame, after the clear and before the buffer swap.
    std::function<void()> draw;
    // Every key event, with its action (kKeyPress, kKeyRelease, kKeyRepeat),
    // its key (<velmora/Keys.h>) and, to a hook that takes a third
    // parameter, the modifiers held (see KeyHook), except a press of Escape
    // while the settings' escapeQuits holds. Runs during the event polling
    // at the end of a frame. When the window loses focus, every held key is
    // released here. A key is a place on the keyboard; for what it types,
    // see onText.
    KeyHook onKey;
    // Every character typed, as one Unicode code point, the way the
    // player's keyboard layout and input method make it: Shift+A gives 'A',
    // and a letter composed of several keys (a dead accent, then the
    // letter) arrives once, whole. Keys that type nothing (arrows,
    // Backspace, Enter, function keys) and keys typed with Control or Super
    // held never come here. Runs during the event polling, after the key's
    // onKey.
    std::function<void(char32_t codePoint)> onText;
    // Every press and release of a mouse button: action kKeyPress or
    // kKeyRelease, button kMouseLeft, kMouseRight, kMouseMiddle, … Where it
    // happened is mousePosition() (<velmora/Input.h>).
    std::function<void(int action, int button)> onMouseButton;
    // Every move of the cursor over the window (or anywhere, while it is
    // captured and hidden), with where it now points in the fractions that
    // mousePosition() gives.
    std::function<void(Vec2 at)> onMouseMove;
    // Every turn of a mouse wheel or swipe on a touchpad, in notches of a
    // wheel (a touchpad gives fractions): y > 0 when the wheel turns away
    // from the player, x > 0 to the right.
    std::function<void(float x, float y)> onScroll;
    // The framebuffer's new size in pixels, after the player or the window
    // system resized the window, and after setFullscreen. The viewport is
    // already fitted to it. Not called while the window is minimised (its
    // framebuffer is then 0 × 0); its return calls it again.
    std::function<void(int w, int h)> onResize;
    // The window gained (true) or lost (false) the keyboard's focus. After
    // a loss, onKey and onMouseButton see the release of whatever was held.
    std::function<void(bool focused)> onFocus;
};

// A width and a height, of the window in screen coordinates or of its
// framebuffer in pixels.
struct Size {
    int width = 0;
    int height = 0;
};

// The window size of a windowed run, unless the settings say otherwise.
constexpr int kWindowedWidth = 1024;
constexpr int kWindowedHeight = 768;

// The window's title, unless the settings say otherwise.
constexpr const char* kWindowTitle = "Velmora Demoengine";
// The depth and stencil bits GLFW gives a window that asks for none in
// particular.
constexpr int kGlfwDefaultDepthBits = 24;
constexpr int kGlfwDefaultStencilBits = 8;

// How buffer swaps wait for the display.
enum class Vsync {
    On,           // one frame per refresh of the display: no tearing, no spinning
    Off,          // as fast as the machine draws
    DriverDefault // whatever the driver or the user's settings choose
};

// What a game states about its window, its loop and its files. Read once, by
// init. The defaults suit a new game; the bus game states its own values.
struct ApplicationSettings {
    // The title at creation; kept until setTitle or, with clockInTitle,
    // the first frame.
    std::string title = kWindowTitle;
    // The window's size in screen coordinates when not full screen; a size
    // the window system refuses fails start-up.
    int windowedWidth = kWindowedWidth;
    int windowedHeight = kWindowedHeight;
    // Width / height of the letterboxed picture: the viewport keeps this
    // shape, centred, with bars of clearColour around it. 0 or less: no
    // letterbox, the picture fills the window whatever its shape.
    float aspect = 0.0f;
    // From the first frame on, the title is "Time: " and the frame clock.
    bool clockInTitle = false;
    // A press of Escape closes the window and no hook sees it. When false,
    // Escape reaches onKey like any key, and the game ends the run with
    // Application::close().
    bool escapeQuits = true;
    // The colour of the whole window before each frame's draw hook, bars
    // included; red, green, blue, alpha in 0..1.
    Vec4 clearColour{0.0f, 0.0f, 0.0f, 1.0f};
    Vsync vsync = Vsync::On;
    // The folder that every loader reads from: Shader::load reads
    // dataDirectory + "/shaders/" + name, the textures and atlases come from
    // "/textures/", the sounds from "/audio/". A relative folder is taken
    // from the working directory, which is where the program was started;
    // Application::executableDirectory() + "/data" is the folder beside the
    // program, wherever it is started from.
    std::string dataDirectory = "data";
    // In full screen, hide the cursor and hold it in the window (mousePosition
    // then follows the mouse's motion without bounds): from a full-screen
    // start and from every setFullscreen(true); setFullscreen(false) shows
    // and frees it. When false, the cursor shows and stays free, as in a
    // window, until setCursorVisible or setCursorCaptured.
    bool captureCursor = false;
    // Bits per pixel of the window's depth and stencil buffers; 0, none.
    // The engine draws without either, and a software rasteriser such as
    // Mesa's fills upright sprites on a faster path when the window has
    // neither. Each frame clears the buffers asked for, with the colour.
    int depthBits = 0;
    int stencilBits = 0;
    // Updates per second for a game that moves in fixed steps; 0 (or less)
    // runs update once a frame, whatever the frame's length. With a rate,
    // each frame runs update once for every whole step of 1 / rate seconds
    // that has passed, and at least once on the first frame; a frame
    // shorter than a step may run none, a long one several, at most
    // maxFixedStepsPerFrame: the time owed beyond them is dropped, so a
    // machine too slow for the rate sees the game slow down rather than
    // freeze catching up. update then moves things by app.stepSeconds(), and
    // draw may show them app.stepFraction() of the way to the next step.
    // For movement and physics whose outcome must not depend on the frame
    // rate (collisions at speed, replays, the same jump height at 30 and
    // 144 frames/s); a game that moves things by dt needs none.
    double fixedUpdateRate = 0.0;
    // The most updates one frame runs with a fixedUpdateRate; less than 1
    // counts as 1.
    int maxFixedStepsPerFrame = 5;
};

// The default of ApplicationSettings::maxFixedStepsPerFrame.
constexpr int kMaxFixedStepsPerFrame = 5;

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

// The clock behind fixedUpdateRate, for a part of a game that keeps a
// fixed rate of its own (a simulation at 120 steps/s under a loop at 60).
class FixedStep {
  public:
    // `rate` updates per second; 0, a negative or non-finite rate is off.
    explicit FixedStep(double rate = 0.0);

    bool on() const { return length > 0.0; }
    // One step in seconds; 0 when off.
    double step() const { return length; }

    // A frame of `seconds` has passed: the number of updates to run now.
    // Off, always 1. On, one for each whole step owed, and at least one on
    // the first frame, so that update runs before the first draw; at most
    // `maxSteps`, the time owed beyond them being dropped (the game falls
    // behind the clock rather than spending every frame catching up; with a
    // maxSteps of 0 or less, none). A negative or non-finite time counts as
    // none.
    int advance(double seconds, int maxSteps = kMaxFixedStepsPerFrame);

    // The part of a step owed after the last advance, 0 ≤ f < 1; 0 when off.
    double fraction() const { return on() ? owed / length : 0.0; }

  private:
    double length = 0.0;
    double owed = 0.0;
    bool first = true;
};

class Application {
  public:
    // The one application of the process, created on first call.
    static Application& instance();

    // Chooses the scene that start-up loads and the loop drives. A hook may
    // replace the hooks, its own included; the new ones take over from the
    // next event or frame step.
    void setSceneHooks(SceneHooks hooks);
    // The hooks in use: a scene that steps in for a while (a pause menu)
    // keeps a copy to hand back.
    const SceneHooks& sceneHooks() const { return hooks; }

    // Start-up: GLFW, the window (full screen on the primary monitor, or
    // windowed at the settings' size) titled as the settings say, the
    // context and its swap interval, the input and framebuffer-size
    // callbacks, GLEW, the viewport letterboxed to the settings' aspect, in
    // full screen a two-second settle after which the clock restarts at 0,
    // and last the scene's load. The loaders read from the settings'
    // dataDirectory from here on.
    // Failures are reported on standard error; returns false when the
    // program cannot run a frame.
    bool init(bool fullscreen, const ApplicationSettings& settings = ApplicationSettings{});

    // The main loop; returns once the window is to close, with the window
    // already hidden. Each frame, in this order: the clock into `time`, the
    // frame timer, update, the title (if clockInTitle), the clear to
    // clearColour(), draw, the buffer swap, and the event polling,
    // during which the input hooks run. In a web page (Emscripten) the
    // browser drives the frames: run() hands this loop to it and never
    // returns, the frames run between the browser's own work, and the window
    // never closes (Escape is the browser's: it leaves full screen).
    void run();

    // Ends the run: the frame under way is finished, then run() returns. The
    // window system's close button and, while escapeQuits, Escape do the
    // same. Does nothing without a window. In a web page no frame follows,
    // the page's sound and full screen end, and the page tells the player
    // that the game has ended (run() had already handed the loop over).
    void close();

    // The folder that holds the running program, without a trailing '/'
    // (read from /proc/self/exe, so links are resolved). "." after a line
    // on standard error when the system cannot tell. In a web page, "/":
    // the page's packed files lie at the root of its file system.
    static std::string executableDirectory();

    // Frame rate and the last frame's time, measured by the loop on the
    // frame clock (see FrameTimer).
    const FrameTimer& frameTimer() const { return frames; }
    // The time that each update moves the game by, in seconds: 1 / the
    // settings' fixedUpdateRate, or without one the last frame's time
    // (frameTimer().lastFrameSeconds()).
    double stepSeconds() const;
    // How far the clock has gone past the last update, in steps (0 ≤ f <
    // 1): a draw hook shows a thing at previous + (current − previous) × f
    // to move it smoothly between fixed steps. 0 without a fixedUpdateRate.
    // It holds still while the game is paused.
    double stepFraction() const;

    // Pauses the game's time: while paused, no frame runs the update hook,
    // no fixed step falls due and stepFraction() holds its value, so a
    // picture drawn between steps stands still; draw and the input hooks
    // run as ever (a pause menu draws and reads its keys there), and
    // frameTimer() goes on. Resuming owes none of the paused time: the
    // next frame moves on by one frame's time. Off at init.
    void setPaused(bool on) { paused = on; }
    bool isPaused() const { return paused; }

    // The letterboxed picture's rectangle in framebuffer pixels (from the
    // bottom-left corner, as glViewport takes it): the whole framebuffer
    // without a settings' aspect, else the centred part of that shape; 0 ×
    // 0 before init. What letterboxViewport(framebufferSize(),
    // settings().aspect) computes, kept up to date with every resize.
    Viewport pictureViewport() const { return picture; }
    // What init was given. The calls below change the window afterwards;
    // they leave these as they were.
    const ApplicationSettings& settings() const { return current; }

    // The window's size in screen coordinates, and its framebuffer's in
    // pixels (more of them on a high-density screen), as the window system
    // last reported them; 0 × 0 without a window. A minimised window keeps
    // the sizes it had.
    Size windowSize() const { return Size{windowWidth, windowHeight}; }
    Size framebufferSize() const { return Size{framebufferWidth, framebufferHeight}; }

    // Full screen (true) on the monitor that holds most of the window, at
    // that monitor's current video mode; or back (false) to a window of the
    // size and at the place it had before, or after a full-screen start of
    // the settings' windowed size, centred on the monitor. The new
    // framebuffer reaches onResize and the letterbox; the cursor follows
    // the settings' captureCursor. Asking for what already is does nothing.
    // Without a window it does nothing and isFullscreen() is false. One
    // line on standard error when there is no monitor to fill.
    // In a web page it asks the browser to show the page full screen, or to
    // leave it; a browser grants full screen only during a key press or a
    // click, so asked at another time the page asks again at the player's
    // next one. isFullscreen() tells what the browser did: false until it
    // granted, and again once the player left with Escape. The cursor is
    // left as it is there.
    void setFullscreen(bool on);
    bool isFullscreen() const;

    // The window's title. While the settings' clockInTitle holds, the next
    // frame puts the clock back. title() is what the window shows now: the
    // settings' title before init.
    void setTitle(const std::string& text);
    const std::string& title() const { return shownTitle; }

    // The window's icon, where the window system shows one (the task bar, a
    // window's corner), from a PNG file (or any picture that stb_image
    // reads): a relative path is read from the data directory, as
    // loadPictures reads it, an absolute one as it is. Returns false after
    // one line on standard error, leaving the icon as it was, without a
    // window or when the file is missing or no picture; a window system
    // that draws no icons (Wayland) ignores it.
    bool setIcon(const std::string& path);

    // The colour of the whole window before each frame's draw hook, bars
    // included, from the next frame on; the settings' clearColour at init.
    void setClearColour(const Vec4& colour) { background = colour; }
    const Vec4& clearColour() const { return background; }

    // The cursor over the window: shown or hidden, and captured (held
    // inside the window, so that it cannot leave it) or free. Hidden and
    // captured together, the cursor stops at no edge: mousePosition()
    // follows the mouse's motion beyond the picture, the way to steer by the
    // mouse; raw motion is used where the system has it. Both hold from the
    // next event on. init sets them from the settings' captureCursor;
    // without a window the calls are only recorded.
    void setCursorVisible(bool on);
    bool isCursorVisible() const { return cursorVisible; }
    void setCursorCaptured(bool on);
    bool isCursorCaptured() const { return cursorCaptured; }

    // Writes the letterboxed picture (the game's picture, without the bars)
    // to `path` as an RGB PNG file, one pixel per framebuffer pixel. It is
    // taken from the draw hook, where it reads the back buffer: the frame
    // as drawn so far, so call it after the frame's last draw. Elsewhere
    // there is no picture to read (after a swap the back buffer holds
    // nothing defined, and the front buffer belongs to the window system),
    // so a call from update, an input hook or outside run() is refused: a
    // key that asks for a screenshot sets a flag that the next draw hook
    // answers. The file is written under a temporary name in the same
    // folder and renamed to `path` once whole, replacing a file of that
    // name: `path` never holds half a picture. In a web page the file lies
    // in the page's memory, so the browser is also handed a copy as a
    // download named as `path`'s last part (a browser may ask the player
    // before it takes a second download from the page). Returns false after
    // one line on standard error when there is no window, the call is not
    // from the draw hook, there is no picture yet (minimised from the
    // start), the picture cannot be read (the OpenGL error is first
    // reported on standard output under this call's own file and line) or
    // the file cannot be written (a missing folder, no permission, a
    // folder's name, a full disk); nothing is left behind then. OpenGL
    // errors pending before the call are reported by it, like
    // checkGlErrors. OpenGL state: for the read (RGBA, as every OpenGL and
    // WebGL2 reads the window) it sets the pack state to tightly packed rows
    // with no pixel pack buffer, binds framebuffer 0 for reading and sets its
    // read buffer to GL_BACK; all of it is put back.
    bool saveScreenshot(const std::string& path);

    // Destroys the window and ends GLFW; the destructor does this too. For an
    // exit that cannot wait for the ordinary destruction at process end.
    void shutDown();

    // GLFW key callback: a press of Escape closes the window while the
    // settings' escapeQuits holds; every other key event goes to the scene's
    // onKey hook.
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
    void installCallbacks();
    void applyCursorMode();
    bool takeFramebufferSize(int width, int height);
    // One pass of the main loop: clock, update, title, clear, draw, swap, poll.
    void runFrame();

    static void charCallback(GLFWwindow* window, unsigned int codePoint);
    static void focusCallback(GLFWwindow* window, int focused);

    static void mouseButtonCallback(GLFWwindow* window, int button, int action, int mods);
    static void scrollCallback(GLFWwindow* window, double x, double y);
    static void cursorPositionCallback(GLFWwindow* window, double x, double y);
    static void windowSizeCallback(GLFWwindow* window, int width, int height);

    friend Vec2 mousePosition();
    friend class Replay;

    // Every input event passes here on its way to the game, from the window
    // system (`source`, the window it came from) or from a replay, and goes
    // into a recording under way.
    void deliver(const InputEvent& event, GLFWwindow* source = nullptr);

    SceneHooks hooks;
    ApplicationSettings current;
    FrameTimer frames;
    FixedStep steps;
    bool glfwReady = false;
    bool drawing = false; // inside the draw hook: the back buffer holds the frame
    bool paused = false;

    // What mousePosition needs, kept up to date by the window's callbacks
    // rather than asked of the window system at every call.
    Vec2 cursor;         // screen coordinates from the window's top-left corner
    int windowWidth = 0; // screen coordinates
    int windowHeight = 0;
    int framebufferWidth = 0; // pixels
    int framebufferHeight = 0;
    Viewport picture; // the letterbox, in framebuffer pixels

    // What the game may change while the window is open.
    Vec4 background;
    std::string shownTitle = kWindowTitle;
    bool cursorVisible = true;
    bool cursorCaptured = false;
    // The windowed place and size that setFullscreen(false) returns to.
    int windowedX = 0;
    int windowedY = 0;
    int windowedWidth = 0;
    int windowedHeight = 0;
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
