// Bounce: a small game written on the installed Velmora engine alone, as a
// walk-through of its API (see docs/engine.md in the engine's sources).
//
// Pictures from an atlas drift about a 16:9 picture in one sprite batch,
// each turning, breathing in size and tinted in its own colour; a line of
// UTF-8 text and the frame rate sit on top. Space plays a sound and sends
// every picture flying upwards; Escape quits.
//
// It reads its files from the data/ folder beside the program, so it runs
// from any working directory.
#include <velmora/Application.h>
#include <velmora/Camera.h>
#include <velmora/Font.h>
#include <velmora/Keys.h>
#include <velmora/Shader.h>
#include <velmora/SoundManager.h>
#include <velmora/SpriteBatch.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace velmora;

namespace {

// The picture is 960 × 540 camera units, whatever the window's size: the
// engine letterboxes the window to 16:9.
constexpr float kWidth = 960.0f;
constexpr float kHeight = 540.0f;
constexpr int kSprites = 24;
constexpr float kGravity = -240.0f; // units per second²
constexpr const char* kHonk = "stab.mp3";

struct Mover {
    int picture = -1;
    float x = 0, y = 0, vx = 0, vy = 0;
    float angle = 0, spin = 0, scale = 1, phase = 0;
    Vec4 tint{1, 1, 1, 1};
};

struct World {
    std::unique_ptr<SpriteBatch> batch; // made once the context exists
    std::unique_ptr<SpriteBatch> backdrop;
    Font title;                         // DejaVu Sans from the engine's data, two sizes
    Font status;
    Shader* shader = nullptr;           // belongs to the engine's shader registry
    Camera camera;
    std::vector<Mover> movers;
    bool kick = false;
};

World world;

// A colour of full saturation around the hue circle (0..1).
Vec4 hue(float h) {
    const float r = std::fabs(h * 6.0f - 3.0f) - 1.0f;
    const float g = 2.0f - std::fabs(h * 6.0f - 2.0f);
    const float b = 2.0f - std::fabs(h * 6.0f - 4.0f);
    auto clamp = [](float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); };
    return Vec4{0.35f + 0.65f * clamp(r), 0.35f + 0.65f * clamp(g), 0.35f + 0.65f * clamp(b), 1.0f};
}

float random01() { return static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX); }

bool load() {
    world.shader = Shader::load("textured.glsl");
    world.batch = std::make_unique<SpriteBatch>();
    if (!world.shader || !world.batch->loadAtlas("atlas")) {
        return false;
    }
    world.backdrop = std::make_unique<SpriteBatch>();
    if (!world.title.load("DejaVuSans.ttf", 40.0f) || !world.status.load("DejaVuSans.ttf", 22.0f)) {
        return false;
    }
    SoundManager::instance().loadSound(kHonk);

    world.camera.ortho(0.0f, kWidth, 0.0f, kHeight, -1.0f, 1.0f);
    const int pictures[] = {world.batch->findPicture("bus.png"), world.batch->findPicture("man.png"),
                            world.batch->findPicture("pointer.png")};
    const float scales[] = {0.35f, 0.9f, 1.6f};
    std::srand(7);
    for (int i = 0; i < kSprites; ++i) {
        Mover m;
        m.picture = pictures[i % 3];
        m.scale = scales[i % 3] * (0.7f + 0.6f * random01());
        m.x = 80.0f + random01() * (kWidth - 160.0f);
        m.y = 120.0f + random01() * (kHeight - 240.0f);
        m.vx = (random01() - 0.5f) * 300.0f;
        m.vy = random01() * 200.0f;
        m.spin = (random01() - 0.5f) * 3.0f;
        m.phase = random01() * 6.28f;
        m.tint = hue(static_cast<float>(i) / kSprites);
        world.movers.push_back(m);
    }
    return true;
}

void update() {
    // The time since the last frame: 0 in the first.
    const float dt = static_cast<float>(Application::instance().frameTimer().lastFrameSeconds());
    for (Mover& m : world.movers) {
        if (world.kick) {
            m.vy = 250.0f + random01() * 250.0f;
        }
        m.vy += kGravity * dt;
        m.x += m.vx * dt;
        m.y += m.vy * dt;
        m.angle += m.spin * dt;
        if ((m.x < 40.0f && m.vx < 0.0f) || (m.x > kWidth - 40.0f && m.vx > 0.0f)) {
            m.vx = -m.vx;
        }
        if (m.y < 40.0f && m.vy < 0.0f) {
            m.vy = -m.vy * 0.9f; // a little lost at every bounce
        }
    }
    world.kick = false;
}

void draw() {
    // A night-blue backdrop shows the 16:9 picture inside the window's bars.
    world.backdrop->clear();
    world.backdrop->addRectangle(0.0f, 0.0f, kWidth, kHeight, Vec4{0.07f, 0.09f, 0.2f, 1.0f});
    world.backdrop->draw(world.camera);

    SpriteBatch& batch = *world.batch;
    batch.clear();
    const float t = static_cast<float>(Application::instance().time);
    for (const Mover& m : world.movers) {
        const Vec2 size = batch.pictureSize(m.picture);
        const float s = m.scale * (1.0f + 0.15f * std::sin(2.0f * t + m.phase));
        // Turned and scaled about the picture's centre.
        batch.add(m.picture, m.x, m.y, m.angle, s, s, size.x / 2, size.y / 2, m.tint);
    }
    batch.draw(world.camera, *world.shader);

    const Vec4 white{1, 1, 1, 1};
    world.title.draw(world.camera, "Pysäkki · Kioski · Shop", 24.0f, kHeight - 20.0f, white);
    char status[96];
    std::snprintf(status, sizeof status, "Space: jump\t\tEsc: quit\t\t%.0f frames/s",
                  Application::instance().frameTimer().framesPerSecond());
    world.status.draw(world.camera, status, 24.0f, 44.0f, Vec4{0.8f, 0.9f, 1.0f, 1.0f});
}

void onKey(int action, int key) {
    if (action == kKeyPress && key == kKeySpace) {
        SoundManager::instance().play(kHonk, false);
        world.kick = true;
    }
}

} // namespace

int main(int argc, char** argv) {
    ApplicationSettings settings;
    settings.title = "Bounce — a Velmora example";
    settings.windowedWidth = 960;
    settings.windowedHeight = 540;
    settings.aspect = kWidth / kHeight;
    settings.clockInTitle = false;
    settings.dataDirectory = Application::executableDirectory() + "/data";

    SceneHooks hooks;
    hooks.load = load;
    hooks.update = update;
    hooks.draw = draw;
    hooks.onKey = onKey;

    Application& app = Application::instance();
    app.setSceneHooks(hooks);
    const bool fullscreen = argc > 1 && std::string(argv[1]) == "fullscreen";
    if (!app.init(fullscreen, settings)) {
        return EXIT_FAILURE;
    }
    app.run();
    // The batches' and fonts' GL objects go while the context still exists.
    world.batch.reset();
    world.backdrop.reset();
    world.title = Font();
    world.status = Font();
    return EXIT_SUCCESS;
}
