// Input, typed text, the settings of a game other than the bus game, and the
// window's changes while it runs, through real X events: xdotool presses
// keys, types and moves the mouse on the test X server while the
// application's own loop runs. Each test is a list of steps
// run from the update hook; what a step makes the X server send arrives in
// the event polling that ends its frame.
#include "velmora/Application.h"
#include "velmora/Camera.h"
#include "velmora/Input.h"
#include "velmora/TextRenderer.h"

#include "support/Game.h"
#include "support/GlContext.h"
#include "support/Images.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace velmora;

namespace {

// A step runs once per frame until it returns true; then the next one starts.
using Step = std::function<bool()>;
using Events = std::vector<std::pair<int, int>>; // (action, key or button)

struct Seen {
    Events keys, buttons; // key repeats are counted apart
    Events modified;      // (key, mods) of each press with a modifier held
    int repeats = 0;
    float scrolled = 0.0f;
};

// Opens an 800×600 window with `settings` and `hooks` (load, draw), runs
// `steps` and closes the window. A step that takes over 10 s fails the test.
void runSteps(ApplicationSettings settings, SceneHooks hooks, Seen& seen, std::vector<Step> steps) {
    settings.windowedWidth = 800;
    settings.windowedHeight = 600;
    std::size_t next = 0;
    double stepStart = -1.0;
    hooks.update = [&] {
        Application& app = Application::instance();
        stepStart = stepStart < 0.0 ? app.time : stepStart;
        if (steps[next]()) {
            stepStart = app.time;
            if (++next == steps.size()) {
                app.close();
            }
        } else if (app.time - stepStart > 10.0) {
            ADD_FAILURE() << "step " << next << " did not end";
            app.close();
        }
    };
    hooks.onKey = [&](int action, int key, int mods) {
        action == kKeyRepeat ? ++seen.repeats : (seen.keys.emplace_back(action, key), 0);
        if (action == kKeyPress && mods != 0) {
            seen.modified.emplace_back(key, mods);
        }
    };
    hooks.onMouseButton = [&](int action, int button) {
        seen.buttons.emplace_back(action, button);
    };
    hooks.onScroll = [&](float, float y) { seen.scrolled += y; };
    Application::instance().setSceneHooks(hooks);
    ASSERT_TRUE(Application::instance().init(false, settings));
    Application::instance().run();
    EXPECT_EQ(next, steps.size());
}

// A step that runs xdotool once, after a search that makes our window its
// "%1" and the default window of its commands. In the background, the loop
// reads the events while they come: a character that xdotool types through
// a keycode it maps for the moment is lost if read after the mapping is
// undone.
Step xdo(const std::string& commands, bool background = false) {
    return [commands, background] {
        const std::string search =
            "search --onlyvisible --pid " + std::to_string(getpid()) + " --name .";
        if (background) {
            testsupport::runShell("xdotool " + search + " " + commands + " >/dev/null 2>&1 &");
        } else {
            testsupport::xdotool(search + " " + commands);
        }
        return true;
    };
}

// Whether what xprop reads of our window's `property` holds `part`.
bool xprop(const std::string& property, const std::string& part) {
    const std::string window = testsupport::xdotool("search --onlyvisible --pid " +
                                                    std::to_string(getpid()) + " --name .");
    return testsupport::runShell("xprop -id " + window + " " + property).find(part) !=
           std::string::npos;
}

TEST(Input, AKeyHookTakesTheKeysWithOrWithoutTheModifiers) {
    Events calls;
    const KeyHook two = [&](int action, int key) { calls.emplace_back(action, key); };
    const KeyHook three = [&](int, int key, int mods) { calls.emplace_back(key, mods); };
    two(kKeyPress, kKeyA, kModShift);
    three(kKeyPress, kKeyA, kModShift);
    EXPECT_EQ(calls, (Events{{kKeyPress, kKeyA}, {kKeyA, kModShift}}));
    EXPECT_FALSE(KeyHook(std::function<void(int, int)>()) || KeyHook(nullptr));
}

TEST(Input, TypedCodePointsBecomeUtf8) {
    EXPECT_EQ(utf8(U"Zo\u00EB \u20AC\U0001F68C"), "Zo\xC3\xAB \xE2\x82\xAC\xF0\x9F\x9A\x8C");
    const std::string replacement = "\xEF\xBF\xBD"; // U+FFFD
    EXPECT_EQ(utf8(std::u32string{0xD800, U'a', 0x110000}), replacement + "a" + replacement);
}

TEST(Input, WithoutAWindowNothingIsHeldAndTheMouseIsAtTheOrigin) {
    const Vec2 mouse = mousePosition();
    EXPECT_FALSE(mouse.x != 0.0f || mouse.y != 0.0f || isKeyDown(kKeyA) || isMouseButtonDown(0));
}

TEST(Input, KeysStayDownWhileHeldEscapeReachesTheGameAndFocusLossReleases) {
    VELMORA_REQUIRE_DISPLAY();
    ApplicationSettings settings;
    settings.escapeQuits = false; // the steps after Escape run: the window stays open
    Seen seen;
    GLFWwindow* other = nullptr;
    int heldFrames = 0;
    runSteps(settings, SceneHooks{}, seen,
             {xdo("windowfocus --sync keydown Right"), [] { return isKeyDown(kKeyRight); },
              // Held over many frames and the system's key repeat.
              [&] { return !isKeyDown(kKeyRight) || (++heldFrames >= 40 && seen.repeats > 0); },
              xdo("keyup Right"), [] { return !isKeyDown(kKeyRight); }, xdo("key Escape"),
              [&] { return seen.keys.size() == 4; }, xdo("keydown space"),
              [] { return isKeyDown(kKeySpace) && isKeyDown(' ') && !isKeyDown(kKeyB); },
              [&] { // another window takes the focus while Space is held
                  other = glfwCreateWindow(64, 64, "elsewhere", nullptr, nullptr);
                  testsupport::xdotool(
                      "search --sync --onlyvisible --name ^elsewhere$ windowfocus --sync");
                  return true;
              },
              [] { return !isKeyDown(kKeySpace); },
              [] { // to the focused window, through the server: a release sent
                   // to ours alone would leave Space held for every later test
                  testsupport::xdotool("keyup space");
                  return true;
              }});
    glfwDestroyWindow(other);
    EXPECT_GE(heldFrames, 40) << "Right was let go before its release";
    EXPECT_FALSE(isKeyDown(-1) || isKeyDown(kKeyLast + 1) || isKeyDown(0));
    EXPECT_EQ(seen.keys, (Events{{kKeyPress, kKeyRight},
                                 {kKeyRelease, kKeyRight},
                                 {kKeyPress, kKeyEscape},
                                 {kKeyRelease, kKeyEscape},
                                 {kKeyPress, kKeySpace},
                                 {kKeyRelease, kKeySpace}}));
}

// The cursor, moved onto a drawn sprite, points at the sprite's own place in
// the camera's units, in a 2:1 picture with bars; the picture keeps its shape
// when the window is resized, on the game's clear colour, and the cursor finds
// the sprite again where the resized window draws it.
TEST(Input, TheMouseOnADrawnSpriteFindsItInAGameOfItsOwnAspectAlsoAfterAResize) {
    VELMORA_REQUIRE_DISPLAY();
    ApplicationSettings settings;
    settings.aspect = 2.0f; // 800×400 in the 800×600 window: bars above and below
    settings.clearColour = Vec4{0.0f, 1.0f, 0.0f, 1.0f};
    settings.dataDirectory = VELMORA_SOURCE_DIR "/data";
    Camera camera;
    camera.ortho(-100.0f, 100.0f, -50.0f, 50.0f, -1.0f, 1.0f);
    camera.scale(2.0f, 2.0f, 1.0f); // the world is x -50..50, y -25..25
    struct Found {
        int x = -1, y = -1; // the red sprite's centre in window pixels
        int width = 0;      // of the frame it was found in
    } sprite;
    unsigned char corner[4] = {};
    SceneHooks hooks;
    hooks.load = [] {
        textRenderer.init();
        textRenderer.loadFont("font.png", "font.csv");
        return textRenderer.shader != nullptr;
    };
    hooks.draw = [&] {
        textRenderer.drawPanel(camera, Rect{30.0f, -20.0f, 34.0f, -16.0f}, Vec4{1, 0, 0, 1});
        glReadPixels(50, 150, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
        int width = 0, height = 0;
        glfwGetFramebufferSize(glfwGetCurrentContext(), &width, &height);
        std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * height * 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        int first = -1, last = -1; // its lower-left and upper-right pixels
        for (int i = 0; i < width * height; ++i) {
            if (rgba[i * 4] > 200 && rgba[i * 4 + 1] < 50) {
                first = first < 0 ? i : first;
                last = i;
            }
        }
        if (first >= 0) {
            sprite = {(first % width + last % width) / 2,
                      height - 1 - (first / width + last / width) / 2, width};
        }
    };
    const auto pointAtSprite = [&] {
        return xdo("windowfocus --sync mousemove --sync --window %1 " + std::to_string(sprite.x) +
                   " " + std::to_string(sprite.y))();
    };
    const auto cursorOnSprite = [&] {
        const Vec2 at = camera.pictureToWorld(mousePosition());
        return std::fabs(at.x - 32.0f) < 0.5f && std::fabs(at.y + 18.0f) < 0.5f;
    };
    const auto viewportIs = [](Viewport expected) {
        return [expected] {
            GLint v[4] = {};
            glGetIntegerv(GL_VIEWPORT, v);
            return Viewport{v[0], v[1], v[2], v[3]} == expected;
        };
    };
    Seen seen;
    runSteps(settings, hooks, seen,
             {[&] { return sprite.x >= 0; }, viewportIs({0, 100, 800, 400}), pointAtSprite,
              cursorOnSprite, xdo("mousedown 1 click 4 click 4"),
              [&] { return isMouseButtonDown(kMouseLeft) && seen.scrolled >= 2.0f; },
              xdo("mouseup 1"), [] { return !isMouseButtonDown(kMouseLeft); },
              xdo("windowsize --sync %1 1000 300"), viewportIs({200, 0, 600, 300}),
              // drawn at the new size: the sprite has moved in the window
              [&] { return sprite.width == 1000; }, pointAtSprite, cursorOnSprite});
    EXPECT_EQ(seen.buttons, (Events{{kKeyPress, kMouseLeft}, {kKeyRelease, kMouseLeft}}));
    EXPECT_FALSE(isMouseButtonDown(kMouseRight) || isMouseButtonDown(-1) ||
                 isMouseButtonDown(kMouseLast + 1));
    EXPECT_EQ(std::vector<int>(corner, corner + 3), (std::vector<int>{0, 255, 0}))
        << "the clear colour";
}

// Typed text reaches onText a character at a time, an accented letter whole,
// following Shift; Control types nothing. The keys carry their modifiers.
TEST(Input, TypedTextArrivesWholeAndKeysCarryTheirModifiers) {
    VELMORA_REQUIRE_DISPLAY();
    // ë gets a key of its own first, so that xdotool need not map one for
    // the moment and undo it before a slow loop has read the key.
    int rc = -1;
    testsupport::runShell("xmodmap -e 'keycode any = ediaeresis' 2>&1", &rc);
    ASSERT_EQ(rc, 0) << "xmodmap (x11-xserver-utils) gives ë a key";
    std::u32string typed;
    SceneHooks hooks;
    hooks.onText = [&](char32_t letter) { typed += letter; };
    Seen seen;
    runSteps(ApplicationSettings{}, hooks, seen,
             {xdo("windowfocus --sync type --delay 20 'Zo\u00EB'", true),
              [&] { return typed.size() >= 3; }, [&] { return seen.modified.clear(), true; },
              xdo("key --delay 20 shift+a ctrl+b"), [&] { return seen.modified.size() >= 2; }});
    EXPECT_EQ(utf8(typed), utf8(U"Zo\u00EBA"));
    EXPECT_EQ(seen.modified, (Events{{kKeyA, kModShift}, {kKeyB, kModControl}}));
}

// The window's changes while the loop runs, a row each: an act, then what it
// must lead to, read back through the hooks, the getters and the X server.
TEST(Window, ChangesWhileItRunsReachTheHooksTheGettersAndTheXServer) {
    VELMORA_REQUIRE_DISPLAY();
    testsupport::ScratchDir scratch; // the settings' data directory "data" lies in it
    ASSERT_TRUE(testsupport::writePng(scratch.path() + "/data/icon.png", 24, 16, 4,
                                      std::vector<unsigned char>(24 * 16 * 4, 200)));
    scratch.writeFile("data/notes.png", "not a picture");
    ApplicationSettings settings;
    settings.clearColour = Vec4{0.0f, 1.0f, 0.0f, 1.0f};
    Application& app = Application::instance();
    Size resized;
    Vec2 moved;
    std::vector<bool> focus{false};
    unsigned char pixel[4] = {};
    SceneHooks hooks;
    hooks.onResize = [&](int w, int h) { resized = Size{w, h}; };
    hooks.onMouseMove = [&](Vec2 at) { moved = at; };
    hooks.onFocus = [&](bool focused) { focus.push_back(focused); };
    hooks.draw = [&] { glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel); };
    const auto placed = [&](int x, int y, int w, int h) { // every size, and the window's place
        int wx = -1, wy = -1;
        glfwGetWindowPos(app.window, &wx, &wy);
        const Size window = app.windowSize(), framebuffer = app.framebufferSize();
        return std::vector<int>{wx,
                                wy,
                                resized.width,
                                resized.height,
                                window.width,
                                window.height,
                                framebuffer.width,
                                framebuffer.height} == std::vector<int>{x, y, w, h, w, h, w, h};
    };
    const auto shows = [&pixel](int g, int b) { return pixel[1] == g && pixel[2] == b; };
    const Vec4 blue{0.0f, 0.0f, 1.0f, 1.0f};
    GLFWwindow* other = nullptr;
    struct Row {
        const char* what;
        Step act, until;
    };
    const std::vector<Row> rows = {
        {"resized and moved", xdo("windowsize --sync %1 640 480 windowmove --sync %1 40 30"),
         [&] { return placed(40, 30, 640, 480); }},
        {"full screen", [&] { return app.setFullscreen(true), true; },
         [&] {
             const GLFWvidmode* screen = glfwGetVideoMode(glfwGetPrimaryMonitor());
             return app.isFullscreen() && placed(0, 0, screen->width, screen->height);
         }},
        {"windowed again", [&] { return app.setFullscreen(false), true; },
         [&] { return !app.isFullscreen() && placed(40, 30, 640, 480); }},
        {"title", [&] { return app.setTitle("Second level"), true; },
         [&] {
             return app.title() == "Second level" && xprop("_NET_WM_NAME", "\"Second level\"");
         }},
        {"icon",
         [&] {
             return !app.setIcon("no.png") && !app.setIcon("notes.png") && app.setIcon("icon.png");
         },
         [&] { return xprop("_NET_WM_ICON", "24 x 16"); }},
        {"clear colour", [&] { return shows(255, 0) && (app.setClearColour(blue), true); },
         [&] { return shows(0, 255) && app.clearColour().z == 1.0f; }},
        {"mouse moved", xdo("mousemove --sync --window %1 160 360"),
         [&] { return std::fabs(moved.x - 0.25f) < 0.01f && std::fabs(moved.y - 0.25f) < 0.01f; }},
        {"focused", xdo("windowfocus --sync %1"), [&] { return focus.back(); }},
        {"focus lost",
         [&] {
             other = glfwCreateWindow(64, 64, "elsewhere", nullptr, nullptr);
             return testsupport::xdotool(
                        "search --sync --onlyvisible --name ^elsewhere$ windowfocus --sync"),
                    true;
         },
         [&] { return !focus.back(); }},
    };
    std::vector<Step> steps; // row r is steps 2r and 2r + 1
    for (const Row& row : rows) {
        steps.insert(steps.end(), {row.act, row.until});
    }
    Seen seen;
    runSteps(settings, hooks, seen, steps);
    glfwDestroyWindow(other);
}

} // namespace
