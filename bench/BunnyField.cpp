#include "BunnyField.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Uniform in [low, high].
float randomBetween(float low, float high) {
    return low + (high - low) * static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
}

} // namespace

BunnyField::BunnyField(std::size_t count, float width, float height, float spriteSize)
    : right(std::max(0.0f, width - spriteSize)) {
    const float top = std::max(0.0f, height - spriteSize);
    sprites.resize(count);
    for (Bunny& bunny : sprites) {
        bunny.x = randomBetween(0.0f, right);
        bunny.y = randomBetween(0.0f, top);
        bunny.vx = randomBetween(-kMaxStartSpeed, kMaxStartSpeed);
        bunny.vy = randomBetween(-kMaxStartSpeed, kMaxStartSpeed);
    }
}

void BunnyField::step(double seconds) {
    const float dt = std::min(static_cast<float>(std::max(seconds, 0.0)), kMaxStep);
    for (Bunny& bunny : sprites) {
        bunny.vy -= kGravity * dt;
        bunny.x += bunny.vx * dt;
        bunny.y += bunny.vy * dt;
        if (bunny.y < 0.0f) {
            bunny.y = 0.0f;
            bunny.vy = -bunny.vy * kFloorBounce;
        }
        if (bunny.x < 0.0f) {
            bunny.x = 0.0f;
            bunny.vx = -bunny.vx;
        } else if (bunny.x > right) {
            bunny.x = right;
            bunny.vx = -bunny.vx;
        }
    }
}
