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

} // namespace velmora
