// Viewport: the letter-boxed drawing area of a given aspect ratio inside a
// window of any size.
#pragma once

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

} // namespace velmora
