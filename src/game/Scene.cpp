#include "game/Scene.h"

#include "velmora/Camera.h"
#include "velmora/Shader.h"
#include "velmora/SoundManager.h"
#include "velmora/Sprite.h"
#include "velmora/TextRenderer.h"
#include "velmora/Texture.h"
#include "game/Bus.h"
#include "game/Game.h"
#include "game/Gauge.h"

#include <GLFW/glfw3.h>

#include <iostream>

using namespace velmora;

Scene scene;

namespace {

constexpr const char* kAtlas = "atlas";
constexpr const char* kSpriteShaderFile = "textured.glsl";
constexpr const char* kSpriteShader = "textured";

// When the title pictures give way to the next one, on the frame clock.
constexpr double kStopTitleAt = 5.42;
constexpr double kStopTitleGameAt = 8.1;
constexpr double kGameAt = 10.8;

// The idle hint stays away this long after a press, then blinks, shown in
// the second half of every second.
constexpr float kHintDelay = 8.0f;
constexpr float kHintX = 0.06f;
constexpr float kHintY = 0.03f;

// The gauge's sprites live in the gauge, not the scene.
Sprite* gaugeBackground = nullptr;
Sprite* gaugePointer = nullptr;

// The one camera of the game: the picture, with the origin at its lower-left
// corner, in which one model unit of the atlas spans 4.28 across and 5.23 up.
Camera sceneCamera() {
    Camera camera;
    camera.ortho(0.0f, kPictureWidth, 0.0f, 1.0f, -1.0f, 1.0f);
    camera.scale(4.28f, 5.23f, 1.0f);
    camera.translate(Vec3{0.0f, 0.0f, 0.0f});
    return camera;
}

bool hasAtlasTexture() {
    const auto found = textureRegistry.find(kAtlas);
    return found != textureRegistry.end() && found->second != nullptr;
}

} // namespace

void Scene::loadSprites() {
    struct Cut {
        Sprite** slot;
        const char* name;
        const char* picture;
    };
    const Cut cuts[] = {
        {&busSprite, "Bus", "Bussi5.png"},
        {&busFullSprite, "BusFull", "Bussi5_full.png"},
        {&stopTitleSprite, "BusStopTitle", "pysakki.png"},
        {&stopTitleGameSprite, "BusStopTitleGame", "pysakki_peli.png"},
        {&backgroundSprite, "Background", "tausta_ukkeli.png"},
        {&backgroundEmptySprite, "BackgroundEmpty", "tausta.png"},
        {&titleSprite, "Title", "title.png"},
        {&gaugeBackground, "GaugeBg", "gauge.png"},
        {&gaugePointer, "GaugePointer", "pointer.png"},
        {&pressSpaceSprite, "PressSpace", "press.png"},
    };
    for (const Cut& cut : cuts) {
        *cut.slot = new Sprite();
        (*cut.slot)->loadFromAtlas(cut.name, kAtlas, cut.picture);
    }
}

void Scene::loadSounds() {
    SoundManager& sound = SoundManager::instance();
    sound.loadSound("stab.mp3");
    sound.loadSound("loop.mp3");
    // The music starts before the rest load, so it may already play meanwhile.
    sound.play("loop.mp3", true);
    for (const char* name : {"grunt1.mp3", "grunt2.mp3", "grunt3.mp3", "grunt4.mp3", "bus_miss.mp3",
                             "bus_stop.mp3", "succes1.mp3", "succes2.mp3"}) {
        sound.loadSound(name);
    }
}

bool Scene::load() {
    loadSprites();
    if (!hasAtlasTexture()) {
        std::cerr << "Cannot start: no \"" << kAtlas << "\" texture was loaded (is data/textures/"
                  << kAtlas << ".txt missing?)" << std::endl;
        return false;
    }
    Shader* shader = Shader::load(kSpriteShaderFile);
    if (shader == nullptr) {
        std::cerr << "Cannot start: the sprite shader data/shaders/" << kSpriteShaderFile
                  << " could not be loaded" << std::endl;
        return false;
    }
    // The one program of the game: it stays current for the whole run.
    shader->use();
    Gauge::instance().setSprites(gaugeBackground, gaugePointer, shader);
    loadSounds();
    textRenderer.init();
    textRenderer.loadFont("font.png", "font.csv");
    game.reset();
    lastTime = 0.0;
    return true;
}

void Scene::update() {
    // The rules run on a single-precision copy of the frame clock.
    const double now = static_cast<double>(static_cast<float>(Application::instance().time));
    const double dt = now - lastTime;
    lastTime = now;
    game.update(dt);
    Gauge::instance().update(now);
}

void Scene::draw() {
    Shader* shader = shaderRegistry[kSpriteShader];
    Texture* atlas = textureRegistry[kAtlas];
    if (shader == nullptr || atlas == nullptr) {
        return; // start-up refuses to run without either, and so does drawing
    }
    // Made current first: the camera's upload writes into the current program.
    shader->use();
    const float clock = static_cast<float>(Application::instance().time);
    sceneCamera().upload(shader->programId);
    atlas->bind();
    shader->setInt("texture", 0);
    drawPicture(clock);
    drawIdleHint(clock);
    overlay.draw(game.score);
}

void Scene::drawPicture(double clock) {
    Shader* shader = shaderRegistry[kSpriteShader];
    if (clock < kStopTitleAt) {
        titleSprite->draw(shader);
    } else if (clock < kStopTitleGameAt) {
        stopTitleSprite->draw(shader);
    } else if (clock < kGameAt) {
        stopTitleGameSprite->draw(shader);
    } else {
        drawGamePicture();
    }
}

void Scene::drawGamePicture() {
    Shader* shader = shaderRegistry[kSpriteShader];
    // Until the man boards: him at the stop and the empty bus; after: the
    // empty stop and the bus with him aboard.
    Sprite* background = game.busArriving ? backgroundSprite : backgroundEmptySprite;
    background->draw(shader);
    Sprite* bus = game.busArriving ? busSprite : busFullSprite;
    const Bus& position = Bus::instance();
    bus->resetTransform();
    bus->translate(position.x, position.y, 0.0f);
    bus->draw(shader);
    Gauge::instance().draw();
}

void Scene::drawIdleHint(float clock) {
    const float idle = clock - lastSpacePressTime;
    if (!(idle > kHintDelay)) {
        return;
    }
    // Shown while the count of half seconds since the press is odd.
    const long long halfSeconds = static_cast<long long>(idle * 2.0f);
    if (halfSeconds % 2 != 1) {
        return;
    }
    pressSpaceSprite->resetTransform();
    pressSpaceSprite->translate(kHintX, kHintY, 0.0f);
    pressSpaceSprite->draw(shaderRegistry[kSpriteShader]);
}

void Scene::onKey(int action, int key) {
    overlay.onKey(action, key);
    // Only the press counts: holding the bar (repeats) or letting go does nothing.
    if (action != GLFW_PRESS || key != GLFW_KEY_SPACE) {
        return;
    }
    lastSpacePressTime = static_cast<float>(Application::instance().time);
    game.judge();
}

SceneHooks sceneHooks() {
    SceneHooks hooks;
    hooks.load = [] { return scene.load(); };
    hooks.update = [] { scene.update(); };
    hooks.draw = [] { scene.draw(); };
    hooks.onKey = [](int action, int key) { scene.onKey(action, key); };
    return hooks;
}
