// Input, the settings of a game other than the bus game, and resizing, through
// real X events: xdotool presses keys and moves the mouse on the test X
// server while the application's own loop runs. Each test is a list of steps,
// one or more frames each, run from the update hook; what a step makes the X
// server send arrives in the event polling that ends its frame.
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

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace velmora;
using testsupport::xdotool;

namespace {

// A step runs once per frame until it returns true; then the next one starts.
using Step = std::function<bool()>;
constexpr double kSecondsPerStep = 10.0;

struct Events {
    std::vector<std::pair<int, int>> keys, buttons;
    float scrolled = 0.0f;
};

// Opens an 800×600 window with `settings`, runs `steps` and closes it.
// `hooks` may bring a load and a draw hook; update and the input hooks are
// set here.
void runSteps(ApplicationSettings settings, SceneHooks hooks, Events& events,
              std::vector<Step> steps) {
    settings.windowedWidth = 800;
    settings.windowedHeight = 600;
    std::size_t next = 0;
    double stepStart = 0.0;
    hooks.update = [&] {
        const double now = Application::instance().time;
        if (steps[next]()) {
            stepStart = now;
            if (++next == steps.size()) {
                Application::instance().close();
            }
        } else if (stepStart == 0.0) {
            stepStart = now;
        } else if (now - stepStart > kSecondsPerStep) {
            ADD_FAILURE_AT(__FILE__, __LINE__) << "step " << next << " did not end";
            Application::instance().close();
        }
    };
    hooks.onKey = [&](int action, int key) { events.keys.emplace_back(action, key); };
    hooks.onMouseButton = [&](int action, int button) { events.buttons.emplace_back(action, button); };
    hooks.onScroll = [&](float, float y) { events.scrolled += y; };
    Application& app = Application::instance();
    app.setSceneHooks(hooks);
    ASSERT_TRUE(app.init(false, settings));
    app.run();
    EXPECT_EQ(next, steps.size());
}

// A step that runs `command` once (xdotool, or anything) and goes on.
Step once(std::function<void()> command) {
    return [command] {
        command();
        return true;
    };
}

std::string ourWindow() {
    return xdotool("search --onlyvisible --pid " + std::to_string(getpid()));
}

Viewport currentViewport() {
    GLint v[4] = {};
    glGetIntegerv(GL_VIEWPORT, v);
    return Viewport{v[0], v[1], v[2], v[3]};
}

TEST(Input, AKeyStaysDownWhileHeldAndIsReleasedByALossOfFocus) {
    VELMORA_REQUIRE_DISPLAY();
    Events events;
    std::string window;
    GLFWwindow* other = nullptr;
    int heldFrames = 0;
    runSteps(ApplicationSettings{}, SceneHooks{}, events,
             {once([&] { window = ourWindow(); }),
              once([&] { xdotool("windowfocus --sync " + window + " keydown Right"); }),
              [&] { return isKeyDown(kKeyRight); },
              // Held over many frames and the system's key repeat.
              [&] {
                  const bool repeated = !events.keys.empty() && events.keys.back().first == kKeyRepeat;
                  return !isKeyDown(kKeyRight) || (++heldFrames >= 40 && repeated);
              },
              once([&] { xdotool("keyup Right"); }),
              [&] { return !isKeyDown(kKeyRight); },
              once([&] { xdotool("keydown a"); }),
              [&] { return isKeyDown(kKeyA) && isKeyDown('A') && !isKeyDown(kKeyB); },
              once([&] {
                  // Another window takes the focus while A is still held.
                  other = glfwCreateWindow(64, 64, "elsewhere", nullptr, nullptr);
                  xdotool("search --sync --onlyvisible --name '^elsewhere$' windowfocus --sync");
              }),
              [&] { return !isKeyDown(kKeyA); },
              once([&] {
                  xdotool("keyup a");
                  glfwDestroyWindow(other);
              })});
    EXPECT_GE(heldFrames, 40) << "Right was let go before its release";
    EXPECT_FALSE(isKeyDown(-1) || isKeyDown(kKeyLast + 1) || isKeyDown(0));
    const std::vector<std::pair<int, int>> presses = {
        {kKeyPress, kKeyRight}, {kKeyRelease, kKeyRight}, {kKeyPress, kKeyA}, {kKeyRelease, kKeyA}};
    std::vector<std::pair<int, int>> seen;
    for (const auto& event : events.keys) {
        if (event.first != kKeyRepeat) {
            seen.push_back(event);
        }
    }
    EXPECT_EQ(seen, presses);
}

// The cursor, moved onto a drawn sprite, points at the sprite's own place in
// the camera's units, inside a letterbox of another aspect than 4:3.
TEST(Input, TheMouseOverADrawnSpriteGivesItsPlaceAndItsButtonsAndWheel) {
    VELMORA_REQUIRE_DISPLAY();
    ApplicationSettings settings;
    settings.aspect = 2.0f; // 800×400 in the 800×600 window: bars above and below
    settings.dataDirectory = VELMORA_SOURCE_DIR "/data";
    Camera camera;
    camera.ortho(-100.0f, 100.0f, -50.0f, 50.0f, -1.0f, 1.0f);
    camera.scale(2.0f, 2.0f, 1.0f); // one unit is two of the box's: x -50..50, y -25..25
    const Rect sprite{30.0f, -20.0f, 34.0f, -16.0f}; // centred on (32, -18)
    int seenX = -1, seenY = -1;                      // its centre on screen, found by its colour
    SceneHooks hooks;
    hooks.load = [] {
        textRenderer.init();
        textRenderer.loadFont("font.png", "font.csv");
        return textRenderer.shader != nullptr;
    };
    hooks.draw = [&] {
        textRenderer.drawPanel(camera, sprite, Vec4{1, 0, 0, 1});
        std::vector<unsigned char> rgba(800 * 600 * 4);
        glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        long sumX = 0, sumY = 0, count = 0;
        for (int i = 0; i < 800 * 600; ++i) {
            if (rgba[i * 4] > 200 && rgba[i * 4 + 1] < 50) {
                sumX += i % 800;
                sumY += 599 - i / 800;
                ++count;
            }
        }
        if (count > 0) {
            seenX = static_cast<int>(sumX / count);
            seenY = static_cast<int>(sumY / count);
        }
    };
    Events events;
    std::string window;
    const auto underCursor = [&] { return camera.pictureToWorld(mousePosition()); };
    runSteps(settings, hooks, events,
             {[&] { return seenX >= 0; },
              once([&] {
                  window = ourWindow();
                  xdotool("windowfocus --sync " + window + " mousemove --sync --window " + window +
                          " " + std::to_string(seenX) + " " + std::to_string(seenY));
              }),
              [&] { return std::abs(underCursor().x - 32.0f) < 0.5f; },
              once([&] {
                  EXPECT_NEAR(underCursor().y, -18.0f, 0.5f);
                  xdotool("mousedown 1 click 4 click 4");
              }),
              [&] { return isMouseButtonDown(kMouseLeft) && events.scrolled >= 2.0f; },
              once([&] { xdotool("mouseup 1"); }),
              [&] { return !isMouseButtonDown(kMouseLeft); }});
    EXPECT_FALSE(isMouseButtonDown(kMouseRight) || isMouseButtonDown(-1) || isMouseButtonDown(8));
    const std::vector<std::pair<int, int>> clicks = {{kKeyPress, kMouseLeft}, {kKeyRelease, kMouseLeft}};
    std::vector<std::pair<int, int>> left;
    for (const auto& event : events.buttons) {
        if (event.second == kMouseLeft) {
            left.push_back(event);
        }
    }
    EXPECT_EQ(left, clicks);
}

TEST(Input, WithoutEscapeQuittingEscapeReachesTheGameWhichCloses) {
    VELMORA_REQUIRE_DISPLAY();
    ApplicationSettings settings;
    settings.escapeQuits = false;
    Events events;
    int openFrames = 0;
    runSteps(settings, SceneHooks{}, events,
             {once([] { testsupport::sendKey(ourWindow(), "Escape"); }),
              [&] { return !events.keys.empty(); },
              [&] { return ++openFrames == 5; }, // still running
              once([] { Application::instance().close(); })});
    ASSERT_FALSE(events.keys.empty());
    EXPECT_EQ(events.keys.front(), std::make_pair(kKeyPress, kKeyEscape));
    EXPECT_EQ(openFrames, 5);
}

// A game of 2:1 keeps its shape when the window is resized, with the bars in
// its clear colour.
TEST(Input, AResizedWindowKeepsTheGamesAspectWithBarsInItsClearColour) {
    VELMORA_REQUIRE_DISPLAY();
    ApplicationSettings settings;
    settings.aspect = 2.0f;
    settings.clearColour = Vec4{0.0f, 1.0f, 0.0f, 1.0f};
    Events events;
    unsigned char bar[4] = {};
    SceneHooks hooks;
    hooks.draw = [&] { glReadPixels(50, 150, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, bar); };
    runSteps(settings, hooks, events,
             {[] { return currentViewport() == Viewport{0, 100, 800, 400}; },
              once([] { xdotool("windowsize --sync " + ourWindow() + " 1000 300"); }),
              [] { return currentViewport() == Viewport{200, 0, 600, 300}; },
              [] { return true; }}); // one more frame drawn at the new size
    EXPECT_EQ(std::vector<int>(bar, bar + 3), (std::vector<int>{0, 255, 0}));
}

} // namespace
