// Gauge: the swinging pointer the player has to catch in the middle. Its phase
// runs through one full swing per second of unfrozen time; the pointer's value
// is a sine of it between 0 and 1.
#pragma once

namespace velmora {
class Sprite;
class Shader;
} // namespace velmora
using namespace velmora;


class Gauge {
  public:
    // The one gauge, created on first call.
    static Gauge& instance();

    // Advances the swing to the absolute clock `now` (seconds) unless frozen.
    void update(double now);
    // The pointer position in [0, 1]: 0.5 in the middle of the swing.
    float value() const;

    // The sprites and the program the gauge draws with (the face, the pointer
    // and the sprite shader).
    void setSprites(Sprite* backgroundSprite, Sprite* pointerSprite, Shader* spriteShader);
    // Draws the face at its place and the pointer over it, slid along the face
    // by the current value.
    void draw();

    double phase = 0.0;    // position in the swing, in cycles, within [0, 1)
    double lastTime = 0.0; // clock of the previous update
    bool frozen = false;   // the pointer stands still after a press
    Sprite* background = nullptr;
    Sprite* pointer = nullptr;
    Shader* shader = nullptr;

    Gauge(const Gauge&) = delete;
    Gauge& operator=(const Gauge&) = delete;

  private:
    Gauge() = default;
};
