// game_scene: a frame drawn the way a real 2D game draws it, to measure the
// engine's cost per batch rather than per sprite. Each frame, in a 1024×768
// window without vsync:
//
//   1. the ground: a full-window backdrop and a row of gauges (blended pictures)
//   2. the actors: turned, moving pictures
//   3. the sparks: SPARKS small fading pictures, added up (BlendMode::Additive)
//   4. batches 1-3 are drawn into a Canvas the window's size, which
//   5. a screen batch then shows in the window (the canvas pass)
//   6. the HUD: rectangles and lines (shapes)
//   7. a line of text in a Font (DejaVu Sans)
//
// seven batch draws a frame. Built against an engine without Font, Canvas or
// blend modes (an earlier commit), or run with --plain, it draws the nearest
// it can with the calls such an engine has: the text in the bitmap font
// (TextRenderer), the sparks blended, the world straight into the window and
// a full-window translucent rectangle in the canvas's place, so that the
// pixels filled are about the same; --plain is the same program on every
// engine. At exit it prints one line:
//
//   game scene: SPARKS sparks F frames/s
//
// with F the average rate after the first second. Run it from the folder
// that holds the engine's data/:
//
//   game_scene [--plain] [SPARKS] [SECONDS] [FRAMES]   (defaults 2000, 10, no limit)
//
// FRAMES ends the run after that many frames whatever the time, for a
// profiler under which a frame takes seconds:
//
//   LP_NUM_THREADS=0 valgrind --tool=callgrind --dump-before=glfwSwapBuffers
//       game_scene 2000 1000 8      (one line)
#include "velmora/Application.h"
#include "velmora/Camera.h"
#include "velmora/SpriteBatch.h"
#include "velmora/TextRenderer.h"

#if __has_include("velmora/Font.h")
#include "velmora/Font.h"
#define GAME_SCENE_FONT 1
#else
#define GAME_SCENE_FONT 0
#endif
#if __has_include("velmora/Canvas.h")
#include "velmora/Canvas.h"
#define GAME_SCENE_CANVAS 1
#else
#define GAME_SCENE_CANVAS 0
#endif

#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace velmora;

namespace {

constexpr float kWidth = 1024.0f;
constexpr float kHeight = 768.0f;
constexpr int kActors = 300;
constexpr double kWarmUpSeconds = 1.0;

struct Mover {
    float x = 0, y = 0, vx = 0, vy = 0, angle = 0, spin = 0, life = 0;
};

struct Scene {
    int sparkCount = 2000;
    double seconds = 10.0;
    long frameLimit = 0; // none
    std::unique_ptr<SpriteBatch> ground, actors, sparks, screen, hud;
    bool plain = false;
#if GAME_SCENE_FONT
    Font font;
#endif
    std::unique_ptr<TextRenderer> text;
#if GAME_SCENE_CANVAS
    std::unique_ptr<Canvas> canvas;
#endif
    int backdrop = -1, gauge = -1, bus = -1, spark = -1;
    std::vector<Mover> movers, flying;
    unsigned int seed = 7;
    long frames = 0, framesRun = 0;
    double first = 0.0, last = 0.0;
};

Scene scene;

float random01() {
    scene.seed = scene.seed * 1664525u + 1013904223u;
    return static_cast<float>(scene.seed >> 8) / 16777216.0f;
}

Mover newSpark() {
    Mover m;
    m.x = kWidth / 2 + (random01() - 0.5f) * 200.0f;
    m.y = kHeight / 2 + (random01() - 0.5f) * 200.0f;
    const float angle = random01() * 6.2831853f;
    const float speed = 40.0f + random01() * 260.0f;
    m.vx = std::cos(angle) * speed;
    m.vy = std::sin(angle) * speed;
    m.life = random01();
    return m;
}

// Whether a feature the engine has (1) is used: not with --plain.
bool newCalls(int has) {
    return has != 0 && !scene.plain;
}

bool load() {
    glfwSwapInterval(0);
    scene.ground = std::make_unique<SpriteBatch>();
    if (!scene.ground->loadAtlas("atlas")) {
        return false;
    }
    scene.actors = std::make_unique<SpriteBatch>();
    scene.sparks = std::make_unique<SpriteBatch>();
    scene.screen = std::make_unique<SpriteBatch>();
    scene.hud = std::make_unique<SpriteBatch>();
    for (SpriteBatch* batch : {scene.actors.get(), scene.sparks.get()}) {
        if (!batch->loadAtlas("atlas")) {
            return false;
        }
    }
    scene.backdrop = scene.ground->findPicture("tausta.png");
    scene.gauge = scene.ground->findPicture("gauge.png");
    scene.bus = scene.actors->findPicture("Bussi5.png");
    scene.spark = scene.sparks->findPicture("pointer.png");
#if GAME_SCENE_FONT
    if (!scene.plain) {
        if (!scene.font.load("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 24.0f)) {
            return false;
        }
        scene.sparks->setBlendMode(BlendMode::Additive);
    }
#endif
    if (!newCalls(GAME_SCENE_FONT)) {
        scene.text = std::make_unique<TextRenderer>();
        scene.text->init();
        scene.text->loadFont("font.png", "font.csv");
    }
#if GAME_SCENE_CANVAS
    if (!scene.plain) {
        scene.canvas =
            std::make_unique<Canvas>(static_cast<int>(kWidth), static_cast<int>(kHeight));
        scene.screen->setTexture(scene.canvas->texture());
        scene.screen->setBlendMode(BlendMode::Premultiplied);
    }
#endif
    for (int i = 0; i < kActors; ++i) {
        Mover m;
        m.x = random01() * kWidth;
        m.y = random01() * kHeight;
        m.vx = (random01() - 0.5f) * 120.0f;
        m.vy = (random01() - 0.5f) * 120.0f;
        m.spin = (random01() - 0.5f) * 2.0f;
        scene.movers.push_back(m);
    }
    for (int i = 0; i < scene.sparkCount; ++i) {
        scene.flying.push_back(newSpark());
    }
    return true;
}

void update() {
    Application& app = Application::instance();
    const double now = app.time;
    if (now >= kWarmUpSeconds) {
        if (scene.frames == 0) {
            scene.first = now;
        }
        ++scene.frames;
        scene.last = now;
    }
    ++scene.framesRun;
    if (now >= scene.seconds || (scene.frameLimit > 0 && scene.framesRun >= scene.frameLimit)) {
        glfwSetWindowShouldClose(app.window, GLFW_TRUE);
    }
    const float dt = 1.0f / 120.0f; // the same motion whatever the rate
    for (Mover& m : scene.movers) {
        m.x = std::fmod(m.x + m.vx * dt + kWidth, kWidth);
        m.y = std::fmod(m.y + m.vy * dt + kHeight, kHeight);
        m.angle += m.spin * dt;
    }
    for (Mover& m : scene.flying) {
        m.x += m.vx * dt;
        m.y += m.vy * dt;
        m.life -= dt;
        if (m.life <= 0.0f) {
            m = newSpark();
        }
    }
}

void fillBatches() {
    SpriteBatch& ground = *scene.ground;
    ground.clear();
    const Vec2 backdrop = ground.pictureSize(scene.backdrop);
    ground.add(scene.backdrop, 0, 0, 0, kWidth / backdrop.x, kHeight / backdrop.y);
    for (int i = 0; i < 8; ++i) {
        ground.add(scene.gauge, 20.0f + 120.0f * i, 20.0f, 0, 0.5f, 0.5f);
    }
    scene.actors->clear();
    for (const Mover& m : scene.movers) {
        scene.actors->add(scene.bus, m.x, m.y, m.angle, 0.25f, 0.25f, 40, 16);
    }
    scene.sparks->clear();
    for (const Mover& m : scene.flying) {
        scene.sparks->add(scene.spark, m.x, m.y, 0, 1, 0.5f, 0, 0, {1, 0.6f, 0.2f, m.life});
    }
    SpriteBatch& hud = *scene.hud;
    hud.clear();
    for (int i = 0; i < 40; ++i) {
        const float x = 10.0f + 25.0f * i;
        hud.addRectangle(x, kHeight - 40, 20, 12, {0.2f, 0.8f, 0.3f, 0.8f});
        hud.addLine(x, kHeight - 50, x + 20, kHeight - 60, 2, {1, 1, 1, 0.5f});
    }
    hud.addRectangle(0, kHeight - 70, kWidth, 70, {0, 0, 0, 0.4f});
}

void draw() {
    Camera camera;
    camera.ortho(0.0f, kWidth, 0.0f, kHeight, -1.0f, 1.0f);
    fillBatches();
    scene.screen->clear();
#if GAME_SCENE_CANVAS
    if (!scene.plain) {
        {
            Canvas::Scope into(*scene.canvas);
            scene.canvas->clear({0, 0, 0, 1});
            scene.ground->draw(camera);
            scene.actors->draw(camera);
            scene.sparks->draw(camera);
        }
        scene.screen->addQuad({0, 0, kWidth, kHeight}, scene.canvas->texCoords(),
                              {1, 1, 1, 1});
    }
#endif
    if (!newCalls(GAME_SCENE_CANVAS)) {
        scene.ground->draw(camera);
        scene.actors->draw(camera);
        scene.sparks->draw(camera);
        scene.screen->addRectangle(0, 0, kWidth, kHeight, {1, 1, 1, 0.1f});
    }
    scene.screen->draw(camera);
    scene.hud->draw(camera);
    const std::string line = "Score " + std::to_string(scene.frames * 10) + "   Wave 3";
#if GAME_SCENE_FONT
    if (!scene.plain) {
        scene.font.draw(camera, line, 20, kHeight - 30, {1, 1, 1, 1});
    }
#endif
    if (!newCalls(GAME_SCENE_FONT)) {
        scene.text->drawText(camera, line, 20, kHeight - 10, 24, {1, 1, 1, 1});
    }
}

} // namespace

int main(int argc, char** argv) {
    int positional = 0;
    bool wrong = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--plain") == 0) {
            scene.plain = true;
        } else if (positional == 0) {
            scene.sparkCount = std::atoi(argv[i]);
            ++positional;
        } else if (positional == 1) {
            scene.seconds = std::atof(argv[i]);
            ++positional;
        } else if (positional == 2) {
            scene.frameLimit = std::atol(argv[i]);
            ++positional;
        } else {
            wrong = true;
        }
    }
    if (wrong || scene.sparkCount < 0 || !(scene.seconds > kWarmUpSeconds)) {
        std::fprintf(stderr,
                     "usage: game_scene [--plain] [SPARKS] [SECONDS more than 1] [FRAMES]\n");
        return EXIT_FAILURE;
    }
    Application& app = Application::instance();
    SceneHooks hooks;
    hooks.load = load;
    hooks.update = update;
    hooks.draw = draw;
    app.setSceneHooks(hooks);
    ApplicationSettings settings;
    settings.vsync = Vsync::Off;
    settings.windowedWidth = static_cast<int>(kWidth);
    settings.windowedHeight = static_cast<int>(kHeight);
    if (!app.init(false, settings)) {
        return EXIT_FAILURE;
    }
    app.run();
    const double rate = scene.frames > 1 && scene.last > scene.first
                            ? static_cast<double>(scene.frames - 1) / (scene.last - scene.first)
                            : 0.0;
    std::printf("game scene: %d sparks %.1f frames/s\n", scene.sparkCount, rate);
    return EXIT_SUCCESS;
}
