// Bus: straight-line motion from the start point towards and past the end point.
#include "game/Bus.h"

Bus& Bus::instance() {
    static Bus bus;
    return bus;
}

void Bus::reset() {
    x = startX;
    y = startY;
    progress = 0.0f;
}

void Bus::update(float dt) {
    progress = dt * speed + progress;
    y = (endY - startY) * progress + startY;
    x = (endX - startX) * progress + startX;
}
