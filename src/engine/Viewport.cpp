#include "velmora/Viewport.h"

namespace velmora {

Viewport letterboxViewport(int width, int height, float aspect) {
    Viewport v;
    if (width <= 0 || height <= 0) {
        return v; // a minimised window: nothing to draw into
    }
    if (!(aspect > 0.0f)) {
        v.width = width;
        v.height = height;
        return v;
    }
    const float ratio = static_cast<float>(width) / static_cast<float>(height);
    if (ratio > aspect) {
        v.width = static_cast<int>(static_cast<float>(height) * aspect);
        v.height = height;
        v.x = (width - v.width) / 2;
    } else {
        v.width = width;
        v.height = static_cast<int>(static_cast<float>(width) / aspect);
        v.y = (height - v.height) / 2;
    }
    return v;
}

Vec2 viewportFraction(const Viewport& viewport, int framebufferHeight, float x, float y) {
    if (viewport.width <= 0 || viewport.height <= 0) {
        return Vec2{};
    }
    const float up = static_cast<float>(framebufferHeight) - y; // from the bottom edge
    return Vec2{(x - static_cast<float>(viewport.x)) / static_cast<float>(viewport.width),
                (up - static_cast<float>(viewport.y)) / static_cast<float>(viewport.height)};
}

} // namespace velmora
