#include "game/Scene.h"

#include "game/Game.h"
#include "game/Gauge.h"

#include <GLFW/glfw3.h>

Scene scene;

bool Scene::load() {
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

void Scene::draw() {}

void Scene::onKey(int action, int key) {
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
