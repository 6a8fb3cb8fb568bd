// The scene's picture on rendered pixels: a test atlas whose pictures are flat,
// distinct colours makes every sprite recognisable by colour, so the tests can
// tell which picture shows, where the bus and the pointer stand, and whether
// the hint blinks.
#include "velmora/Application.h"
#include "game/Bus.h"
#include "game/Game.h"
#include "game/Gauge.h"
#include "game/Scene.h"

#include "support/Capture.h"
#include "support/GlContext.h"
#include "support/Images.h"
#include "support/Offscreen.h"
#include "support/TempDir.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace velmora;

namespace {

using Colour = std::array<unsigned char, 3>;

struct Picture {
    const char* file;
    float x, y, w, h; // texture units of the test atlas
    Colour colour;
};

// Full-screen pictures are 0.31145 × 0.19120, the region the camera shows.
constexpr float kScreenW = 0.31145f;
constexpr float kScreenH = 0.19120f;

const Picture kPictures[] = {
    {"title.png", 0.0f, 0.0f, kScreenW, kScreenH, {200, 30, 30}},
    {"pysakki.png", 0.33f, 0.0f, kScreenW, kScreenH, {30, 200, 30}},
    {"pysakki_peli.png", 0.66f, 0.0f, kScreenW, kScreenH, {30, 30, 200}},
    {"tausta_ukkeli.png", 0.0f, 0.25f, kScreenW, kScreenH, {200, 200, 30}},
    {"tausta.png", 0.33f, 0.25f, kScreenW, kScreenH, {30, 200, 200}},
    {"Bussi5.png", 0.0f, 0.5f, 0.2f, 0.067f, {250, 120, 0}},
    {"Bussi5_full.png", 0.25f, 0.5f, 0.2f, 0.067f, {120, 0, 250}},
    {"gauge.png", 0.5f, 0.5f, 0.186f, 0.025f, {90, 90, 90}},
    {"pointer.png", 0.75f, 0.5f, 0.011f, 0.025f, {255, 255, 255}},
    {"press.png", 0.8f, 0.6f, 0.091f, 0.016f, {255, 0, 255}},
};

const Colour& colourOf(const std::string& file) {
    for (const Picture& p : kPictures) {
        if (file == p.file) {
            return p.colour;
        }
    }
    static const Colour none{0, 0, 0};
    return none;
}

constexpr int kAtlasSize = 512;
constexpr int kWidth = 640; // a 4:3 target: the whole target is the viewport
constexpr int kHeight = 480;

// Model units to target pixels through the scene's camera.
double toPixelX(double modelX) {
    return modelX * 4.28 / 1.333 * kWidth;
}
double toPixelY(double modelY) {
    return modelY * 5.23 * kHeight;
}

void writeTestAtlas(const testsupport::ScratchDir& dir) {
    std::vector<unsigned char> pixels(kAtlasSize * kAtlasSize * 4, 0);
    std::string description;
    for (const Picture& p : kPictures) {
        // Two texels of the colour beyond every edge, so that linear filtering
        // at a picture's border still samples its own colour.
        const int left = static_cast<int>(std::floor(p.x * kAtlasSize)) - 2;
        const int top = static_cast<int>(std::floor(p.y * kAtlasSize)) - 2;
        const int right = static_cast<int>(std::ceil((p.x + p.w) * kAtlasSize)) + 2;
        const int bottom = static_cast<int>(std::ceil((p.y + p.h) * kAtlasSize)) + 2;
        for (int row = std::max(top, 0); row < bottom && row < kAtlasSize; ++row) {
            for (int col = std::max(left, 0); col < right && col < kAtlasSize; ++col) {
                unsigned char* px = &pixels[(row * kAtlasSize + col) * 4];
                px[0] = p.colour[0];
                px[1] = p.colour[1];
                px[2] = p.colour[2];
                px[3] = 255;
            }
        }
        char line[160];
        std::snprintf(line, sizeof line, "%s %.6f %.6f %.6f %.6f\n", p.file, p.x, p.y, p.w, p.h);
        description += line;
    }
    ASSERT_TRUE(testsupport::writePng(dir.path() + "/data/textures/atlas.png", kAtlasSize,
                                      kAtlasSize, 4, pixels));
    dir.writeFile("data/textures/atlas.txt", description);
}

class SceneDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VELMORA_REQUIRE_GL();
        for (const char* shader : {"textured.glsl", "text.glsl"}) {
            scratch.writeFile(
                std::string("data/shaders/") + shader,
                testsupport::readFile(std::string(VELMORA_SOURCE_DIR) + "/data/shaders/" + shader));
        }
        // The real font, so that the overlay shows real glyphs.
        for (const char* font : {"font.png", "font.csv"}) {
            scratch.writeFile(
                std::string("data/textures/") + font,
                testsupport::readFile(std::string(VELMORA_SOURCE_DIR) + "/data/textures/" + font));
        }
        writeTestAtlas(scratch);
        testsupport::StreamCapture quietOut(testsupport::StreamCapture::Stream::Out);
        ASSERT_TRUE(scene.load());
        target = std::make_unique<testsupport::OffscreenTarget>(kWidth, kHeight);
        ready = true;
    }

    // Renders the scene at clock `t` and returns the frame.
    std::vector<unsigned char> frameAt(double t) {
        Application::instance().time = t;
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        scene.draw();
        return target->readPixels();
    }

    Colour colourAt(const std::vector<unsigned char>& frame, double modelX, double modelY) {
        const auto px = target->pixel(frame, static_cast<int>(toPixelX(modelX)),
                                      static_cast<int>(toPixelY(modelY)));
        return {px[0], px[1], px[2]};
    }

    // The colour in the middle of the screen: whichever full-screen picture shows.
    Colour pictureAt(double t) { return colourAt(frameAt(t), kScreenW / 2, kScreenH * 0.75); }

    bool hintShownAt(double t) {
        return colourAt(frameAt(t), 0.06 + 0.045, 0.03 + 0.008) == colourOf("press.png");
    }

    // The leftmost column of the pointer's colour in the gauge's row band.
    int pointerColumn(const std::vector<unsigned char>& frame) {
        const int row = static_cast<int>(toPixelY(0.012));
        for (int x = 0; x < kWidth; ++x) {
            const auto px = target->pixel(frame, x, row);
            if (Colour{px[0], px[1], px[2]} == colourOf("pointer.png")) {
                return x;
            }
        }
        return -1;
    }

    testsupport::ScratchDir scratch;
    std::unique_ptr<testsupport::OffscreenTarget> target;
    bool ready = false;
};

TEST_F(SceneDrawTest, TheClockChoosesTheTitlePicturesThenTheGame) {
    ASSERT_TRUE(ready);
    EXPECT_EQ(pictureAt(0.0), colourOf("title.png"));
    EXPECT_EQ(pictureAt(5.41), colourOf("title.png"));
    EXPECT_EQ(pictureAt(5.42), colourOf("pysakki.png"));
    EXPECT_EQ(pictureAt(8.09), colourOf("pysakki.png"));
    EXPECT_EQ(pictureAt(8.1), colourOf("pysakki_peli.png"));
    EXPECT_EQ(pictureAt(10.79), colourOf("pysakki_peli.png"));
    // The game starts with the man at the stop.
    EXPECT_EQ(pictureAt(10.8), colourOf("tausta_ukkeli.png"));
    EXPECT_EQ(pictureAt(500.0), colourOf("tausta_ukkeli.png"));
}

TEST_F(SceneDrawTest, TheHintBlinksOnlyAfterEightAndAHalfIdleSeconds) {
    ASSERT_TRUE(ready);
    // No press yet: the hint's clock starts at 10 s.
    EXPECT_FALSE(hintShownAt(12.0));
    // 7.75 idle seconds fall in a half second where the blink would show the
    // hint: only the delay keeps it away.
    EXPECT_FALSE(hintShownAt(17.75));
    EXPECT_FALSE(hintShownAt(18.4));
    EXPECT_TRUE(hintShownAt(18.55));
    EXPECT_TRUE(hintShownAt(18.95));
    EXPECT_FALSE(hintShownAt(19.05));
    EXPECT_FALSE(hintShownAt(19.45));
    EXPECT_TRUE(hintShownAt(19.55));
    EXPECT_TRUE(hintShownAt(19.95));

    // A press restarts the delay.
    Application::instance().time = 30.0;
    scene.onKey(GLFW_PRESS, GLFW_KEY_SPACE);
    EXPECT_FLOAT_EQ(scene.lastSpacePressTime, 30.0f);
    EXPECT_FALSE(hintShownAt(31.0));
    EXPECT_FALSE(hintShownAt(38.45));
    EXPECT_TRUE(hintShownAt(38.55));
}

TEST_F(SceneDrawTest, AnEarlyPressShowsTheHintOverTheThirdTitlePicture) {
    ASSERT_TRUE(ready);
    Application::instance().time = 1.0;
    scene.onKey(GLFW_PRESS, GLFW_KEY_SPACE);
    const auto frame = frameAt(9.6);
    EXPECT_EQ(colourAt(frame, kScreenW / 2, kScreenH * 0.75), colourOf("pysakki_peli.png"));
    EXPECT_EQ(colourAt(frame, 0.06 + 0.045, 0.03 + 0.008), colourOf("press.png"));
    EXPECT_FALSE(hintShownAt(9.2));
}

TEST_F(SceneDrawTest, ThePointerSlidesFromItsLowToItsHighEnd) {
    ASSERT_TRUE(ready);
    Gauge& gauge = Gauge::instance();
    const struct {
        double phase;
        double modelX;
    } cases[] = {{0.75, 0.062}, {0.0, 0.1485}, {0.25, 0.235}};
    for (const auto& c : cases) {
        gauge.phase = c.phase;
        const int column = pointerColumn(frameAt(12.0));
        // The first pixel whose centre lies inside the pointer's quad.
        const double expected = std::ceil(toPixelX(c.modelX) - 0.5);
        EXPECT_NEAR(column, expected, 1.0) << "phase " << c.phase;
    }
    // The face lies under it from 0.062.
    const auto frame = frameAt(12.0);
    EXPECT_EQ(colourAt(frame, 0.062 + 0.002, 0.012), colourOf("gauge.png"));
}

TEST_F(SceneDrawTest, AHitShowsTheFullBusAndTheEmptyStopFromBoardingToTheNextAttempt) {
    ASSERT_TRUE(ready);
    double t = 11.0;
    Application::instance().time = t;
    scene.update();
    Gauge::instance().phase = 0.0; // the pointer in the middle: a sure hit
    scene.onKey(GLFW_PRESS, GLFW_KEY_SPACE);
    ASSERT_EQ(game.state, GameState::Hit);

    int boardedFrames = 0;
    int arrivingFrames = 0;
    for (int frame = 0; frame < 60 * 8 && game.state == GameState::Hit; ++frame) {
        t += 1.0 / 60.0;
        Application::instance().time = t;
        scene.update();
        const auto pixels = frameAt(t);
        const Bus& bus = Bus::instance();
        const double busMiddleX = bus.x + 0.1;
        const double busMiddleY = bus.y + 0.033;
        const bool busVisible = toPixelX(busMiddleX) >= 0 && toPixelX(busMiddleX) < kWidth;
        const Colour background = colourAt(pixels, 0.01, 0.18);
        if (game.busArriving) {
            ++arrivingFrames;
            EXPECT_EQ(background, colourOf("tausta_ukkeli.png"));
            if (busVisible) {
                EXPECT_EQ(colourAt(pixels, busMiddleX, busMiddleY), colourOf("Bussi5.png"));
            }
        } else {
            ++boardedFrames;
            EXPECT_EQ(background, colourOf("tausta.png"));
            if (busVisible) {
                EXPECT_EQ(colourAt(pixels, busMiddleX, busMiddleY), colourOf("Bussi5_full.png"));
            }
        }
    }
    EXPECT_EQ(game.state, GameState::Aiming);
    EXPECT_GT(arrivingFrames, 30);
    EXPECT_GT(boardedFrames, 30);
    // Back to aiming: the man waits at the stop again.
    EXPECT_EQ(pictureAt(t), colourOf("tausta_ukkeli.png"));
}

TEST_F(SceneDrawTest, TheOverlayIsOffAtStartAndWhenShownCoversOnlyItsCornerPanelLast) {
    ASSERT_TRUE(ready);
    // 19.6 s: the game picture with the blinking hint. The panel lies over
    // the full-screen background, so drawn any earlier it would be hidden.
    const auto before = frameAt(19.6);
    ASSERT_EQ(colourAt(before, 0.06 + 0.045, 0.03 + 0.008), colourOf("press.png"));
    EXPECT_FALSE(scene.overlay.visible);

    scene.onKey(GLFW_PRESS, GLFW_KEY_F3);
    ASSERT_TRUE(scene.overlay.visible);
    const auto shown = frameAt(19.6);
    char text[160];
    scene.overlay.format(game.score, Application::instance().frameTimer(), text, sizeof text);
    const Rect panel = scene.overlay.panelRect(text);
    // Picture units (1 high) to target pixels; a pixel of slack at the edges.
    const auto inPanel = [&](int x, int y) {
        const double scale = kHeight;
        return x >= panel.left * scale - 1 && x <= panel.right * scale + 1 &&
               y >= panel.bottom * scale - 1 && y <= panel.top * scale + 1;
    };
    int changedInside = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool changed = target->pixel(shown, x, y) != target->pixel(before, x, y);
            if (!inPanel(x, y)) {
                ASSERT_FALSE(changed) << "outside the panel at " << x << ", " << y;
            }
            changedInside += changed;
        }
    }
    EXPECT_GT(changedInside,
              (panel.right - panel.left) * (panel.top - panel.bottom) * kHeight * kHeight * 0.5);
    EXPECT_LT(panel.left * kHeight, kWidth / 20) << "in the top-left corner";
    EXPECT_GT(panel.top * kHeight, kHeight * 0.95);

    scene.onKey(GLFW_RELEASE, GLFW_KEY_F3);
    EXPECT_EQ(frameAt(19.6), shown);
    scene.onKey(GLFW_PRESS, GLFW_KEY_F3);
    EXPECT_EQ(frameAt(19.6), before) << "hidden again, the picture is as without it";
}

TEST(SceneLoad, RefusesToStartWithoutTheSpriteShaderOrTheAtlas) {
    VELMORA_REQUIRE_GL();
    testsupport::ScratchDir scratch;
    writeTestAtlas(scratch);
    {
        testsupport::StreamCapture err(testsupport::StreamCapture::Stream::Err);
        EXPECT_FALSE(scene.load());
        const std::string text = err.finish();
        EXPECT_NE(text.find("Failed to open the file: \"data/shaders/textured.glsl\""),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("Cannot start: the sprite shader data/shaders/textured.glsl"),
                  std::string::npos)
            << text;
    }
}

TEST(SceneLoad, RefusesToStartWithoutAnAtlasDescription) {
    VELMORA_REQUIRE_GL();
    testsupport::ScratchDir scratch;
    scratch.writeFile(
        "data/shaders/textured.glsl",
        testsupport::readFile(std::string(VELMORA_SOURCE_DIR) + "/data/shaders/textured.glsl"));
    testsupport::StreamCapture err(testsupport::StreamCapture::Stream::Err);
    EXPECT_FALSE(scene.load());
    const std::string text = err.finish();
    EXPECT_NE(text.find("Failed to open the file: \"data/textures/atlas.txt\""), std::string::npos)
        << text;
    EXPECT_NE(text.find("Cannot start: no \"atlas\" texture"), std::string::npos) << text;
}

} // namespace
