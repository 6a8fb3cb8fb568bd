#include "velmora/Application.h"
#include "velmora/Camera.h"
#include "velmora/SpriteBatch.h"
#include "velmora/Viewport.h"

#include "support/Capture.h"
#include "support/GlContext.h"
#include "support/Images.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <stb_image.h>
#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

using namespace velmora;

namespace {

bool parse(std::vector<const char*> argv, std::string& printed) {
    std::ostringstream out;
    const bool fullscreen =
        fullscreenFromArguments(static_cast<int>(argv.size()), argv.data(), out);
    printed = out.str();
    return fullscreen;
}

// Bits of the window's depth and stencil buffers; 0 for a buffer it lacks.
std::vector<int> depthAndStencilBits() {
    std::vector<int> bits;
    for (const GLenum buffer : {GL_DEPTH, GL_STENCIL}) {
        GLint type = GL_NONE, size = 0;
        glGetNamedFramebufferAttachmentParameteriv(0, buffer, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE,
                                                   &type);
        const GLenum sizeOf = buffer == GL_DEPTH ? GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE
                                                 : GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE;
        if (type != GL_NONE) {
            glGetNamedFramebufferAttachmentParameteriv(0, buffer, sizeOf, &size);
        }
        bits.push_back(size);
    }
    return bits;
}

TEST(CommandLine, OnlyTheExactWordWindowedAsFirstArgumentOpensAWindow) {
    std::string printed;
    EXPECT_FALSE(parse({"velmora", "windowed"}, printed));
    EXPECT_EQ(printed, "Windowed mode enabled\n");

    for (const char* other : {"Windowed", "windowed ", "windowedx", "window", ""}) {
        EXPECT_TRUE(parse({"velmora", other}, printed)) << '"' << other << '"';
        EXPECT_EQ(printed, "") << '"' << other << '"';
    }
    EXPECT_TRUE(parse({"velmora"}, printed));
    EXPECT_TRUE(parse({"velmora", "fullscreen", "windowed"}, printed));
    EXPECT_EQ(printed, "");
}

TEST(Viewport, LetterboxesToFourByThree) {
    EXPECT_EQ(letterboxViewport(1920, 1080), (Viewport{240, 0, 1440, 1080}));
    EXPECT_EQ(letterboxViewport(1366, 768), (Viewport{171, 0, 1024, 768}));
    EXPECT_EQ(letterboxViewport(1280, 1024), (Viewport{0, 32, 1280, 960}));
    EXPECT_EQ(letterboxViewport(1024, 768), (Viewport{0, 0, 1024, 768}));
    // A portrait screen: bars above and below.
    EXPECT_EQ(letterboxViewport(768, 1024), (Viewport{0, 224, 768, 576}));
    // Degenerate sizes give an empty viewport rather than a division by zero.
    EXPECT_EQ(letterboxViewport(0, 0), (Viewport{0, 0, 0, 0}));
    // Other aspects; none at all fills the framebuffer.
    EXPECT_EQ(letterboxViewport(1024, 768, 2.0f), (Viewport{0, 128, 1024, 512}));
    EXPECT_EQ(letterboxViewport(800, 300, 2.0f), (Viewport{100, 0, 600, 300}));
    EXPECT_EQ(letterboxViewport(1366, 768, 0.0f), (Viewport{0, 0, 1366, 768}));
    // A point counted from the top-left, as fractions of the viewport from its
    // lower-left; an empty viewport has no fractions.
    const Vec2 p = viewportFraction({100, 0, 600, 300}, 300, 250.0f, 75.0f);
    const Vec2 none = viewportFraction({}, 300, 250.0f, 75.0f);
    EXPECT_EQ(std::vector<float>({p.x, p.y, none.x, none.y}),
              std::vector<float>({0.25f, 0.75f, 0, 0}));
}

TEST(Viewport, StaysInsideTheScreenAndCentredForManySizes) {
    for (int w = 200; w <= 4000; w += 97) {
        for (int h = 150; h <= 3000; h += 89) {
            const Viewport v = letterboxViewport(w, h);
            ASSERT_GE(v.x, 0);
            ASSERT_GE(v.y, 0);
            ASSERT_LE(v.x + v.width, w);
            ASSERT_LE(v.y + v.height, h);
            ASSERT_TRUE(v.x == 0 || v.y == 0);
            ASSERT_LE(std::abs(2 * v.x + v.width - w), 1);
            ASSERT_LE(std::abs(2 * v.y + v.height - h), 1);
        }
    }
}

TEST(Viewport, FollowsTheFramebufferAndOutlivesAMinimisedWindow) {
    VELMORA_REQUIRE_GL();
    fitViewportToFramebuffer(1920, 1080);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ((Viewport{viewport[0], viewport[1], viewport[2], viewport[3]}),
              (Viewport{240, 0, 1440, 1080}));
    // A minimised window reports 0×0: the viewport it had stays for its return.
    fitViewportToFramebuffer(0, 0);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ((Viewport{viewport[0], viewport[1], viewport[2], viewport[3]}),
              (Viewport{240, 0, 1440, 1080}));
}

TEST(WindowTitle, ShowsTheClockWithSixDecimals) {
    char title[256];
    formatClockTitle(12.5, title, sizeof title);
    EXPECT_STREQ(title, "Time: 12.500000");
    formatClockTitle(0.0, title, sizeof title);
    EXPECT_STREQ(title, "Time: 0.000000");
}

TEST(GlVersionCheck, RequiresFourPointFive) {
    EXPECT_TRUE(meetsRequiredVersion({4, 5}));
    EXPECT_TRUE(meetsRequiredVersion({4, 6}));
    EXPECT_TRUE(meetsRequiredVersion({5, 0}));
    EXPECT_FALSE(meetsRequiredVersion({4, 4}));
    EXPECT_FALSE(meetsRequiredVersion({3, 3}));
    EXPECT_FALSE(meetsRequiredVersion({0, 0}));
}

std::vector<std::pair<int, int>> recordedKeys;

TEST(KeyCallback, EscapePressClosesAndEverythingElseReachesTheScene) {
    VELMORA_REQUIRE_GL();
    GLFWwindow* window = glfwGetCurrentContext();
    ASSERT_NE(window, nullptr);
    SceneHooks hooks;
    hooks.onKey = [](int action, int key) { recordedKeys.emplace_back(action, key); };
    Application::instance().setSceneHooks(hooks);

    Application::keyCallback(window, GLFW_KEY_ESCAPE, 9, GLFW_RELEASE, 0);
    Application::keyCallback(window, GLFW_KEY_ESCAPE, 9, GLFW_REPEAT, 0);
    Application::keyCallback(window, GLFW_KEY_SPACE, 65, GLFW_PRESS, 0);
    Application::keyCallback(window, GLFW_KEY_A, 38, GLFW_RELEASE, GLFW_MOD_SHIFT);
    EXPECT_EQ(glfwWindowShouldClose(window), GLFW_FALSE);

    Application::keyCallback(window, GLFW_KEY_ESCAPE, 9, GLFW_PRESS, 0);
    EXPECT_EQ(glfwWindowShouldClose(window), GLFW_TRUE);

    const std::vector<std::pair<int, int>> expected = {{GLFW_RELEASE, GLFW_KEY_ESCAPE},
                                                       {GLFW_REPEAT, GLFW_KEY_ESCAPE},
                                                       {GLFW_PRESS, GLFW_KEY_SPACE},
                                                       {GLFW_RELEASE, GLFW_KEY_A}};
    EXPECT_EQ(recordedKeys, expected);
}

int loadCalls = 0;

TEST(ApplicationInit, FullScreenOnTheTestScreenSetsTheLetterboxedViewport) {
    VELMORA_REQUIRE_DISPLAY();
    SceneHooks hooks;
    hooks.load = [] {
        ++loadCalls;
        return true;
    };
    Application& app = Application::instance();
    app.setSceneHooks(hooks);
    ApplicationSettings fourByThree;
    fourByThree.aspect = kDefaultAspect;
    ASSERT_TRUE(app.init(true, fourByThree));
    ASSERT_NE(app.window, nullptr);
    EXPECT_EQ(loadCalls, 1);

    // The test screen is 1280×1024 (see the test command).
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 32);
    EXPECT_EQ(viewport[2], 1280);
    EXPECT_EQ(viewport[3], 960);
    // The clock restarted after the settle wait, before the scene loaded.
    EXPECT_LT(glfwGetTime(), 1.0);
}

TEST(ApplicationInit, AFailingSceneLoadStopsStartUpBeforeAnyFrame) {
    VELMORA_REQUIRE_DISPLAY();
    SceneHooks hooks;
    hooks.load = [] { return false; };
    hooks.update = [] { ADD_FAILURE() << "a frame ran after a failed start-up"; };
    Application& app = Application::instance();
    app.setSceneHooks(hooks);
    EXPECT_FALSE(app.init(false));
    EXPECT_EQ(app.window, nullptr);
    app.run(); // returns at once
}

TEST(ApplicationInit, WindowedOpensA1024By768WindowNamedAfterTheEngine) {
    VELMORA_REQUIRE_DISPLAY();
    Application& app = Application::instance();
    app.setSceneHooks(SceneHooks{});
    ASSERT_TRUE(app.init(false));
    ASSERT_NE(app.window, nullptr);
    EXPECT_STREQ(glfwGetWindowTitle(app.window), "Velmora Demoengine");
    int width = 0;
    int height = 0;
    glfwGetWindowSize(app.window, &width, &height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 768);
}

int framesRun = 0;

TEST(ApplicationInit, TheGameStatesItsTitleWindowAndAspectAndTheLoopTimesFrames) {
    VELMORA_REQUIRE_DISPLAY();
    SceneHooks hooks;
    hooks.update = [] {
        if (++framesRun == 4) {
            glfwSetWindowShouldClose(Application::instance().window, GLFW_TRUE);
        }
    };
    Application& app = Application::instance();
    app.setSceneHooks(hooks);
    ASSERT_TRUE(app.init(false, {"Another game", 800, 300, 2.0f, false}));
    int size[2] = {};
    glfwGetWindowSize(app.window, &size[0], &size[1]);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<int>({size[0], size[1], viewport[0], viewport[2]}),
              std::vector<int>({800, 300, 100, 600}));
    EXPECT_EQ(depthAndStencilBits(), std::vector<int>({0, 0})) << "none unless asked for";
    app.run();
    EXPECT_EQ(framesRun, 4);
    EXPECT_STREQ(glfwGetWindowTitle(app.window), "Another game") << "no clock in the title";
    EXPECT_GT(app.frameTimer().lastFrameSeconds(), 0.0) << "the loop times its frames";
}

// With a fixed update rate the loop runs update by the clock, not once a
// frame, and draw sees how far the clock is into the next step.
TEST(ApplicationInit, AFixedUpdateRateRunsUpdateByTheClock) {
    VELMORA_REQUIRE_DISPLAY();
    Application& app = Application::instance();
    ApplicationSettings settings;
    settings.vsync = Vsync::Off;
    settings.fixedUpdateRate = 4.0; // a step each quarter second
    int updates = 0, draws = 0;
    double first = -1.0, last = 0.0, seconds = 0.0;
    std::vector<double> fractions;
    SceneHooks hooks;
    hooks.update = [&] { ++updates; seconds = app.stepSeconds(); };
    hooks.draw = [&] {
        ++draws;
        first = first < 0.0 ? app.time : first;
        last = app.time;
        fractions.push_back(app.stepFraction());
        if (last - first >= 0.6) {
            app.close();
        }
    };
    app.setSceneHooks(hooks);
    ASSERT_TRUE(app.init(false, settings));
    app.run();
    EXPECT_GT(draws, updates) << "a fast loop draws between steps";
    EXPECT_EQ(updates, 1 + static_cast<int>(std::floor((last - first) * 4.0 + 1e-9)));
    EXPECT_DOUBLE_EQ(seconds, 0.25);
    for (const double f : fractions) {
        ASSERT_TRUE(f >= 0.0 && f < 1.0) << f;
    }
    EXPECT_GT(fractions.back(), fractions.front()) << "the fraction grows between steps";
}

// Paused, the fixed steps stop and the fraction holds: nothing drawn between
// steps moves; resumed, the steps go on.
TEST(ApplicationInit, APauseFreezesTheStepsAndTheFraction) {
    VELMORA_REQUIRE_DISPLAY();
    Application& app = Application::instance();
    ApplicationSettings settings;
    settings.vsync = Vsync::Off;
    settings.fixedUpdateRate = 20.0;
    int updates = 0, draws = 0, atPause = -1, atResume = -1;
    double pausedAt = 0.0;
    std::vector<double> fractions;
    SceneHooks hooks;
    hooks.update = [&] { ++updates; };
    hooks.draw = [&] {
        if (++draws == 2) {
            app.setPaused(true);
            atPause = updates;
            pausedAt = app.time;
        }
        if (app.isPaused()) {
            fractions.push_back(app.stepFraction());
            if (app.time - pausedAt > 0.3) {
                app.setPaused(false);
                atResume = updates;
            }
        } else if (atResume >= 0 && app.time - pausedAt > 0.6) {
            app.close();
        }
    };
    app.setSceneHooks(hooks);
    ASSERT_TRUE(app.init(false, settings));
    app.run();
    EXPECT_EQ(atResume, atPause) << "no step while paused";
    EXPECT_GT(updates, atResume) << "resumed, the steps go on";
    ASSERT_GT(fractions.size(), 2u);
    for (const double f : fractions) {
        ASSERT_EQ(f, fractions.front()) << "the fraction moved while paused";
    }
}

TEST(ApplicationInit, AGameThatAsksForDepthAndStencilBuffersGetsThem) {
    VELMORA_REQUIRE_DISPLAY();
    ApplicationSettings settings;
    settings.depthBits = 24;
    settings.stencilBits = 8;
    // Each frame draws a square of its own colour where the last one was,
    // depth- and stencil-tested against what that one left, and ends with
    // depth writes off, stencil writes masked and the rasteriser off: only
    // buffers cleared anew, whatever the masks, let the second show, and the
    // masks are the game's again after the clear.
    std::unique_ptr<SpriteBatch> batch;
    std::vector<unsigned char> seen(4);
    GLint stencilMask = 0;
    GLboolean depthMask = GL_TRUE, discarding = GL_FALSE;
    SceneHooks hooks;
    hooks.draw = [&] {
        if (!batch) {
            batch = std::make_unique<SpriteBatch>();
        }
        glGetIntegerv(GL_STENCIL_WRITEMASK, &stencilMask);
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
        discarding = glIsEnabled(GL_RASTERIZER_DISCARD);
        glStencilMask(0xff);
        glDisable(GL_RASTERIZER_DISCARD);
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_EQUAL, 0, 0xff);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
        batch->clear();
        batch->addRectangle(-1.0f, -1.0f, 2.0f, 2.0f,
                            {0.0f, framesRun == 0 ? 1.0f : 0.5f, 0.0f, 1.0f});
        batch->draw(Camera{});
        glReadPixels(400, 300, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, seen.data());
        glDepthMask(GL_FALSE);
        glStencilMask(0x0f);
        glEnable(GL_RASTERIZER_DISCARD);
        if (++framesRun == 2) {
            Application::instance().close();
        }
    };
    Application::instance().setSceneHooks(hooks);
    ASSERT_TRUE(Application::instance().init(false, settings));
    const std::vector<int> bits = depthAndStencilBits();
    EXPECT_TRUE(bits[0] >= 24 && bits[1] >= 8) << bits[0] << " and " << bits[1] << " bits";
    Application::instance().run();
    EXPECT_EQ(framesRun, 2);
    EXPECT_EQ(seen, (std::vector<unsigned char>{0, 128, 0, 255}));
    EXPECT_EQ(std::vector<int>({stencilMask, depthMask, discarding}),
              std::vector<int>({0x0f, GL_FALSE, GL_TRUE}));
    batch.reset();
}

// A PNG file's pixels as RGB, rows bottom first as OpenGL reads them.
std::vector<unsigned char> pngBottomUp(const std::string& path) {
    int w = 0, h = 0, channels = 0;
    stbi_set_flip_vertically_on_load(1);
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &channels, 3);
    std::vector<unsigned char> rows(data, data + (data != nullptr ? w * h * 3 : 0));
    stbi_image_free(data);
    return rows;
}

std::string refusal(const std::string& path) {
    testsupport::StreamCapture err(testsupport::StreamCapture::Stream::Err);
    EXPECT_FALSE(Application::instance().saveScreenshot(path)) << path;
    return err.finish();
}

TEST(Screenshot, WithoutAWindowIsRefused) {
    EXPECT_EQ(refusal("shot.png"), "Cannot save the screenshot \"shot.png\": there is no window\n");
}

// The letterboxed picture, bars left out, as the draw hook's own read-back
// gives it; the game's read framebuffer and pack state are honoured and
// kept. Outside the draw hook there is no frame to take.
TEST(Screenshot, IsTheFrameAsReadBackAndAPathThatCannotBeWrittenIsRefused) {
    VELMORA_REQUIRE_DISPLAY();
    testsupport::ScratchDir dir;
    dir.makeDir("taken.png");
    std::vector<unsigned char> drawn(500 * 300 * 3); // the picture of 800 × 300 at 5:3
    GLint state[2] = {};
    GLuint gameFramebuffer = 0;
    SceneHooks hooks;
    hooks.update = [&] {
        if (gameFramebuffer != 0) {
            EXPECT_EQ(refusal("shown.png"), // the frame shown is the window system's
                      "Cannot save the screenshot \"shown.png\": take it from the draw hook, "
                      "after the frame's last draw\n");
            Application::instance().close();
        }
    };
    hooks.draw = [&] {
        glEnable(GL_SCISSOR_TEST); // a red top-left quarter tells up from down
        glScissor(150, 150, 250, 150);
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(150, 0, 500, 300, GL_RGB, GL_UNSIGNED_BYTE, drawn.data());
        glCreateFramebuffers(1, &gameFramebuffer);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, gameFramebuffer);
        glPixelStorei(GL_PACK_ALIGNMENT, 8); // 1500-byte rows: padded, were it used
        EXPECT_TRUE(Application::instance().saveScreenshot("frame.png"));
        signal(SIGXFSZ, SIG_IGN); // a file beyond the limit is refused, as on a full disk
        const struct {
            const char* path;
            rlim_t fileSize;
            const char* why;
        } unwritable[] = {{"missing/shot.png", RLIM_INFINITY, "No such file or directory"},
                          {"taken.png", RLIM_INFINITY, "Is a directory"},
                          {"full.png", 200, "File too large"}};
        for (const auto& row : unwritable) {
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            const rlimit limit{row.fileSize, saved.rlim_max};
            setrlimit(RLIMIT_FSIZE, &limit);
            const std::string line = refusal(row.path);
            setrlimit(RLIMIT_FSIZE, &saved);
            EXPECT_EQ(line, "Cannot save the screenshot \"" + std::string(row.path) +
                                "\": " + row.why + "\n");
        }
        glGetIntegerv(GL_PACK_ALIGNMENT, &state[0]);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &state[1]);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
    };
    ApplicationSettings settings{"Screenshot", 800, 300, 5.0f / 3.0f};
    settings.clearColour = Vec4{0.0f, 0.0f, 1.0f, 1.0f};
    Application::instance().setSceneHooks(hooks);
    ASSERT_TRUE(Application::instance().init(false, settings));
    Application::instance().run();

    EXPECT_EQ(std::vector<int>(state, state + 2), (std::vector<int>{8, int(gameFramebuffer)}));
    EXPECT_EQ(drawn[299 * 500 * 3], 255) << "red at the top left";
    EXPECT_TRUE(pngBottomUp("frame.png") == drawn);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2) << "nothing left";
    EXPECT_TRUE(std::filesystem::is_empty("taken.png"));
    // Byte for byte the RGB PNG that the encoder makes of the picture read.
    std::vector<unsigned char> topDown;
    for (int row = 299; row >= 0; --row) {
        topDown.insert(topDown.end(), drawn.begin() + row * 1500, drawn.begin() + row * 1500 + 1500);
    }
    ASSERT_TRUE(testsupport::writePng("expected.png", 500, 300, 3, topDown));
    EXPECT_TRUE(testsupport::readFile("frame.png") == testsupport::readFile("expected.png"));
}

} // namespace
