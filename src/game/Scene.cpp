#include "game/Scene.h"

Scene scene;

bool Scene::load() {
    lastTime = 0.0;
    return true;
}

void Scene::update() {}

void Scene::draw() {}

void Scene::onKey(int /*action*/, int /*key*/) {}

SceneHooks sceneHooks() {
    SceneHooks hooks;
    hooks.load = [] { return scene.load(); };
    hooks.update = [] { scene.update(); };
    hooks.draw = [] { scene.draw(); };
    hooks.onKey = [](int action, int key) { scene.onKey(action, key); };
    return hooks;
}
