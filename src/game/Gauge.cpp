// Gauge: phase bookkeeping and the pointer's value.
#include "game/Gauge.h"

#include "velmora/Sprite.h"

#include <cmath>

using namespace velmora;

namespace {
constexpr double kPi = 3.141592653589793;

// Where the face sits, and how far the pointer travels over it from value 0
// to value 1 (model units of the scene's camera).
constexpr float kFaceX = 0.062f;
constexpr float kPointerTravel = 0.173f;
} // namespace

Gauge& Gauge::instance() {
    static Gauge gauge;
    return gauge;
}

void Gauge::update(double now) {
    const double d = now - lastTime;
    lastTime = now;
    if (frozen) {
        return;
    }
    phase = phase + static_cast<float>(d);
    // A completed swing starts over from the middle; whatever went beyond the
    // end of the cycle is dropped rather than carried into the next one.
    if (phase >= 1.0) {
        phase = 0.0;
    }
}

float Gauge::value() const {
    return static_cast<float>(std::sin(phase * kPi * 2) * 0.5 + 0.5);
}

void Gauge::setSprites(Sprite* backgroundSprite, Sprite* pointerSprite, Shader* spriteShader) {
    background = backgroundSprite;
    pointer = pointerSprite;
    shader = spriteShader;
}

void Gauge::draw() {
    if (background == nullptr || pointer == nullptr) {
        return; // nothing to draw before the scene hands over its sprites
    }
    background->resetTransform();
    pointer->resetTransform();
    background->translate(kFaceX, 0.0f, 0.0f);
    const float pointerX = value() * kPointerTravel + kFaceX;
    pointer->translate(pointerX, 0.0f, 0.0f);
    background->draw(shader);
    pointer->draw(shader);
}
