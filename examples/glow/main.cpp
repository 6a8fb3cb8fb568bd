// Glow: a small game written on the installed Velmora engine alone, showing
// its drawing beyond plain sprites (see docs/engine.md in the engine's
// sources):
//   - pixel-art pictures drawn four times their size with nearest
//     filtering, so that every texel stays a hard-edged square;
//   - sparks that add up to light (BlendMode::Additive);
//   - the scene drawn into a Canvas, then shown in the window through a
//     post-effect program of the example's own with a time parameter;
//   - a camera that zooms with the mouse wheel and turns with Q and E about
//     the ship, and a label that follows the ship on screen;
//   - F12 saves a screenshot, glow-1.png, glow-2.png, … in the folder the
//     program was started from (a page hands it to the browser as a
//     download), and says so on screen;
//   - F11 switches full screen on and off.
// Arrow keys fly the ship; Escape quits (a page then says the game ended). It reads its files from the data/
// folder beside the program, so it runs from any working directory.
#include <velmora/Application.h>
#include <velmora/Camera.h>
#include <velmora/Canvas.h>
#include <velmora/Font.h>
#include <velmora/Input.h>
#include <velmora/Keys.h>
#include <velmora/Shader.h>
#include <velmora/SpriteBatch.h>
#include <velmora/Texture.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace velmora;

namespace {

constexpr float kWidth = 960.0f; // the picture, in camera units and canvas pixels
constexpr float kHeight = 540.0f;
constexpr float kTexel = 4.0f;    // camera units per texel of the pixel art
constexpr float kArena = 1400.0f; // the floor's side; the ship stays on it
constexpr int kRocks = 14;
constexpr float kSparkLife = 0.9f; // seconds

struct Thing {
    float x = 0, y = 0, vx = 0, vy = 0, angle = 0, spin = 0;
};

struct Spark {
    float x = 0, y = 0, vx = 0, vy = 0, age = 0;
    Vec4 colour;
};

struct Game {
    // Made once the context exists, gone before it does.
    std::unique_ptr<SpriteBatch> world;  // floor, rocks and ship, cut out
    std::unique_ptr<SpriteBatch> sparks; // the same pictures, added up
    std::unique_ptr<SpriteBatch> screen; // the canvas, through the post-effect
    std::unique_ptr<Canvas> scene;
    Shader* crt = nullptr; // belongs to the engine's shader registry
    Font label, status, notice; // DejaVu Sans at three sizes
    int ship = -1, rock = -1, spark = -1, floor = -1;
    Thing player;
    std::vector<Thing> rocks;
    std::vector<Spark> flying;
    float zoom = 1.0f, turn = 0.0f;
    bool screenshotWanted = false;
    int screenshots = 0;
    std::string saved; // the last screenshot's name, shown for a while
    double savedAt = 0.0;
};

Game game;

float random01() {
    return static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
}

bool load() {
    game.world = std::make_unique<SpriteBatch>();
    game.sparks = std::make_unique<SpriteBatch>();
    game.screen = std::make_unique<SpriteBatch>();
    game.scene = std::make_unique<Canvas>(static_cast<int>(kWidth), static_cast<int>(kHeight));
    game.crt = Shader::load("crt.glsl");

    auto pictures = std::make_shared<Atlas>();
    if (!game.crt || !game.scene->valid() || !pictures->loadPictures({"pictures"})) {
        return false;
    }
    pictures->setFilter(Filter::Nearest); // hard texel edges at 4×
    game.world->setAtlas(pictures);
    game.world->setBlendMode(BlendMode::CutOut);
    game.sparks->setAtlas(pictures);
    game.sparks->setBlendMode(BlendMode::Additive);
    game.ship = pictures->find("ship.png");
    game.rock = pictures->find("rock.png");
    game.spark = pictures->find("spark.png");
    game.floor = pictures->find("floor.png");

    if (!game.label.load("DejaVuSans.ttf", 20.0f) || !game.status.load("DejaVuSans.ttf", 18.0f) ||
        !game.notice.load("DejaVuSans.ttf", 22.0f)) {
        return false;
    }

    std::srand(11);
    game.player = {kArena / 2, kArena / 2};
    for (int i = 0; i < kRocks; ++i) {
        Thing rock;
        rock.x = random01() * kArena;
        rock.y = random01() * kArena;
        rock.vx = (random01() - 0.5f) * 60.0f;
        rock.vy = (random01() - 0.5f) * 60.0f;
        rock.spin = (random01() - 0.5f) * 2.0f;
        game.rocks.push_back(rock);
    }
    return true;
}

void update() {
    const float dt = static_cast<float>(Application::instance().frameTimer().lastFrameSeconds());
    Thing& ship = game.player;
    // Left and right turn the ship, up thrusts along its nose.
    ship.angle += (isKeyDown(kKeyLeft) - isKeyDown(kKeyRight)) * 3.0f * dt;
    const float noseX = -std::sin(ship.angle), noseY = std::cos(ship.angle);
    if (isKeyDown(kKeyUp)) {
        ship.vx += noseX * 400.0f * dt;
        ship.vy += noseY * 400.0f * dt;
    }
    ship.vx *= 1.0f - std::min(1.0f, 0.8f * dt);
    ship.vy *= 1.0f - std::min(1.0f, 0.8f * dt);
    ship.x = std::clamp(ship.x + ship.vx * dt, 0.0f, kArena);
    ship.y = std::clamp(ship.y + ship.vy * dt, 0.0f, kArena);
    game.turn += (isKeyDown(kKeyQ) - isKeyDown(kKeyE)) * 1.5f * dt;

    for (Thing& rock : game.rocks) {
        rock.x = std::fmod(rock.x + rock.vx * dt + kArena, kArena);
        rock.y = std::fmod(rock.y + rock.vy * dt + kArena, kArena);
        rock.angle += rock.spin * dt;
    }
    // The engine sheds sparks from the ship's tail, more when thrusting.
    const int shed = isKeyDown(kKeyUp) ? 6 : 2;
    for (int i = 0; i < shed; ++i) {
        const float spread = (random01() - 0.5f) * 1.2f;
        const float speed = 80.0f + random01() * 120.0f;
        Spark spark;
        spark.x = ship.x - noseX * 7.0f * kTexel;
        spark.y = ship.y - noseY * 7.0f * kTexel;
        spark.vx = ship.vx - (noseX * std::cos(spread) - noseY * std::sin(spread)) * speed;
        spark.vy = ship.vy - (noseX * std::sin(spread) + noseY * std::cos(spread)) * speed;
        spark.colour = {1.0f, 0.45f + 0.4f * random01(), 0.15f, 1.0f};
        game.flying.push_back(spark);
    }
    for (Spark& spark : game.flying) {
        spark.age += dt;
        spark.x += spark.vx * dt;
        spark.y += spark.vy * dt;
    }
    game.flying.erase(std::remove_if(game.flying.begin(), game.flying.end(),
                                     [](const Spark& s) { return s.age > kSparkLife; }),
                      game.flying.end());
}

// The world's camera: the ship in the middle of the picture, the world
// turned and zoomed about it.
Camera worldCamera() {
    const Vec2 middle{kWidth / 2, kHeight / 2};
    Camera camera;
    camera.ortho(0.0f, kWidth, 0.0f, kHeight, -1.0f, 1.0f);
    camera.zoom(game.zoom, middle);
    camera.rotate(game.turn, middle);
    camera.translate({middle.x - game.player.x, middle.y - game.player.y, 0.0f});
    return camera;
}

void drawScene(const Camera& camera) {
    SpriteBatch& world = *game.world;
    world.clear();
    const float tile = 8.0f * kTexel;
    for (float y = 0.0f; y < kArena; y += tile) {
        for (float x = 0.0f; x < kArena; x += tile) {
            world.add(game.floor, x, y, 0.0f, kTexel, kTexel);
        }
    }
    for (const Thing& rock : game.rocks) {
        world.add(game.rock, rock.x, rock.y, rock.angle, kTexel, kTexel, 8.0f, 8.0f);
    }
    const Thing& ship = game.player;
    world.add(game.ship, ship.x, ship.y, ship.angle, kTexel, kTexel, 8.0f, 8.0f);
    world.addRectangleOutline(0.0f, 0.0f, kArena, kArena, 6.0f, {0.3f, 0.6f, 1.0f, 1.0f});
    world.draw(camera);

    SpriteBatch& sparks = *game.sparks;
    sparks.clear();
    for (const Spark& spark : game.flying) {
        const float left = 1.0f - spark.age / kSparkLife;
        Vec4 colour = spark.colour;
        colour.w = left;
        const float size = 2.5f * (0.4f + left);
        sparks.add(game.spark, spark.x, spark.y, 0.0f, size, size, 4.0f, 4.0f, colour);
    }
    sparks.draw(camera);
}

void draw() {
    const Camera camera = worldCamera();
    {
        Canvas::Scope into(*game.scene);
        game.scene->clear({0.02f, 0.02f, 0.05f, 1.0f});
        drawScene(camera);
    }

    // The canvas fills the picture, through the post-effect.
    Camera screenCamera;
    screenCamera.ortho(0.0f, kWidth, 0.0f, kHeight, -1.0f, 1.0f);
    SpriteBatch& screen = *game.screen;
    screen.clear();
    screen.setTexture(game.scene->texture());
    screen.addQuad({0.0f, 0.0f, kWidth, kHeight}, game.scene->texCoords(), {1, 1, 1, 1});
    game.crt->setFloat("time", static_cast<float>(Application::instance().time));
    game.crt->setVec2("resolution", kWidth, kHeight);
    screen.draw(screenCamera, *game.crt);

    // A label above the ship, wherever the camera puts it: text is placed by
    // its top-left corner, so it goes up by the ship's reach and its height.
    const Vec2 at = camera.worldToPicture({game.player.x, game.player.y});
    const float above = 8.0f * kTexel * game.zoom + 26.0f;
    game.label.draw(screenCamera, "you", at.x * kWidth - 14.0f, at.y * kHeight + above,
                    {0.6f, 0.9f, 1.0f, 1.0f});
    char status[160];
    std::snprintf(status, sizeof status,
                  "Arrows: fly   Wheel: zoom %.1f×   Q/E: turn   F12: screenshot   %.0f frames/s",
                  game.zoom, Application::instance().frameTimer().framesPerSecond());
    game.status.draw(screenCamera, status, 16.0f, 30.0f, {0.85f, 0.9f, 1.0f, 1.0f});

    const double now = Application::instance().time;
    if (!game.saved.empty() && now - game.savedAt < 2.0) {
        game.notice.draw(screenCamera, "Saved " + game.saved, 16.0f, kHeight - 16.0f,
                         {1.0f, 0.9f, 0.5f, 1.0f});
    }
    // Last, so that the file holds the whole frame. A failure is reported
    // on standard error by the engine.
    if (game.screenshotWanted) {
        game.screenshotWanted = false;
        const std::string name = "glow-" + std::to_string(game.screenshots + 1) + ".png";
        if (Application::instance().saveScreenshot(name)) {
            ++game.screenshots;
            game.saved = name;
            game.savedAt = now;
        }
    }
}

void onKey(int action, int key) {
    Application& app = Application::instance();
    if (action == kKeyPress && key == kKeyF12) {
        game.screenshotWanted = true; // answered at the end of the next draw
    } else if (action == kKeyPress && key == kKeyF11) {
        app.setFullscreen(!app.isFullscreen());
    } else if (action == kKeyPress && key == kKeyEscape) {
        app.close();
    }
}

void onScroll(float, float y) {
    game.zoom = std::clamp(game.zoom * std::pow(1.15f, y), 0.4f, 4.0f);
}

} // namespace

int main(int argc, char** argv) {
    ApplicationSettings settings;
    settings.title = "Glow — a Velmora example";
    settings.windowedWidth = static_cast<int>(kWidth);
    settings.windowedHeight = static_cast<int>(kHeight);
    settings.aspect = kWidth / kHeight;
    settings.dataDirectory = Application::executableDirectory() + "/data";
    settings.escapeQuits = false; // onKey closes, which a page can do too

    SceneHooks hooks;
    hooks.load = load;
    hooks.update = update;
    hooks.draw = draw;
    hooks.onKey = onKey;
    hooks.onScroll = onScroll;

    Application& app = Application::instance();
    app.setSceneHooks(hooks);
    const bool fullscreen = argc > 1 && std::string(argv[1]) == "fullscreen";
    if (!app.init(fullscreen, settings)) {
        return EXIT_FAILURE;
    }
    app.run();
    // The GL objects go while the context still exists.
    game.world.reset();
    game.sparks.reset();
    game.screen.reset();
    game.scene.reset();
    game.label = Font();
    game.status = Font();
    game.notice = Font();
    return EXIT_SUCCESS;
}
