#include "engine/Viewport.h"

Viewport letterboxViewport(int width, int height) {
    const float aspect = 4.0f / 3.0f; // the float nearest 4/3: 1.3333334
    Viewport v;
    if (width <= 0 || height <= 0) {
        return v; // a minimised window: nothing to draw into
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
