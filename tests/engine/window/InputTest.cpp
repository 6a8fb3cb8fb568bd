// Input, the settings of a game other than the bus game, and resizing, through
// real X events: xdotool presses keys and moves the mouse on the test X
// server while the application's own loop runs. Each test is a list of steps
// run from the update hook; what a step makes the X server send arrives in
// the event polling that ends its frame.
#include "velmora/Application.h"
#include "velmora/Camera.h"
#include "velmora/Input.h"
#include "velmora/TextRenderer.h"

#include "support/Game.h"
#include "support/GlContext.h"

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
    hooks.onKey = [&](int action, int key) {
        action == kKeyRepeat ? ++seen.repeats : (seen.keys.emplace_back(action, key), 0);
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
// "%1" and the default window of its commands.
Step xdo(const std::string& commands) {
    return [commands] {
        const std::string search =
            "search --onlyvisible --pid " + std::to_string(getpid()) + " --name .";
        testsupport::xdotool(search + " " + commands);
        return true;
    };
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

} // namespace
