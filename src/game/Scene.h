// Scene: the bus-stop game as the application sees it. It loads the game's
// assets, steps the rules on the frame clock, draws the picture and takes the
// keyboard.
#pragma once

#include "engine/Application.h"

class Scene {
  public:
    // Loads every asset and starts the game. Returns false when the game
    // cannot be drawn at all.
    bool load();
    // One time step of the rules on the application's frame clock.
    void update();
    // Composes the frame's picture.
    void draw();
    // A key event from the window (GLFW action and key codes).
    void onKey(int action, int key);

    double lastTime = 0.0;
    float lastSpacePressTime = 10.0f;
};

extern Scene scene;

// The hooks that let the application drive the global scene.
SceneHooks sceneHooks();
