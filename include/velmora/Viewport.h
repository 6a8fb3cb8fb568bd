// Viewport: the letter-boxed drawing area of a given aspect ratio inside a
// window of any size.
#pragma once

#include "velmora/Math.h"

namespace velmora {

struct Viewport {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The aspect ratio the engine letterboxes to unless told otherwise: 4:3.
constexpr float kDefaultAspect = 4.0f / 3.0f;

inline bool operator==(const Viewport& a, const Viewport& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// The largest rectangle of `aspect` (width / height) centred in a width ×
// height framebuffer: bars left and right on wider screens, above and below
// on taller ones. An aspect of 0 or less fills the framebuffer. Computed in
// 32-bit float with truncation, so that every screen gets the same pixels on
// every machine.
Viewport letterboxViewport(int width, int height, float aspect = kDefaultAspect);

// Where the point (x, y) of a framebuffer `framebufferHeight` pixels high,
// counted in pixels from its top-left corner as window systems count, lies
// in `viewport`: (0, 0) at the viewport's lower-left corner, (1, 1) at its
// upper-right, y growing upward; points outside give values below 0 or
// above 1. An empty viewport gives (0, 0).
Vec2 viewportFraction(const Viewport& viewport, int framebufferHeight, float x, float y);

} // namespace velmora
