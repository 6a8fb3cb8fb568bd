// Scene: the bus-stop game as the application sees it. It loads the game's
// pictures, shader, sounds and font, steps the rules on the frame clock,
// composes each frame's picture and takes the keyboard.
#pragma once

#include "velmora/Application.h"
#include "game/Overlay.h"

namespace velmora {
class Sprite;
} // namespace velmora
using namespace velmora;


// The game's picture: letterboxed to 4:3 on screen, where the camera shows a
// region 1.333 wide (the rounding of 4/3 that the artwork is laid out for)
// and 1 high. The two numbers live here only.
constexpr float kPictureAspect = 4.0f / 3.0f;
constexpr float kPictureWidth = 1.333f;

class Scene {
  public:
    // Loads every asset, starts the music and puts the game into aiming.
    // Returns false, after saying why on standard error, when the game cannot
    // be drawn at all (no sprite shader, or no atlas texture).
    bool load();
    // One time step of the rules on the application's frame clock.
    void update();
    // Composes the frame's picture: a title picture during the first seconds
    // of the clock, then the street, the bus and the gauge; over either, the
    // blinking hint while the player is idle, and last the overlay if shown.
    void draw();
    // A key event from the window (GLFW action and key codes): F3 toggles the
    // overlay, a press of the space bar is judged, nothing else counts.
    void onKey(int action, int key);

    double lastTime = 0.0;
    float lastSpacePressTime = 10.0f;

    Sprite* busSprite = nullptr;
    Sprite* busFullSprite = nullptr;
    Sprite* stopTitleSprite = nullptr;
    Sprite* stopTitleGameSprite = nullptr;
    Sprite* backgroundSprite = nullptr;
    Sprite* backgroundEmptySprite = nullptr;
    Sprite* titleSprite = nullptr;
    Sprite* pressSpaceSprite = nullptr;

    Overlay overlay; // frame rate and score, drawn over everything when shown

  private:
    void loadSprites();
    void loadSounds();
    void drawPicture(double clock);
    void drawGamePicture();
    void drawIdleHint(float clock);
};

extern Scene scene;

// The hooks that let the application drive the global scene.
SceneHooks sceneHooks();
