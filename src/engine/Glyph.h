// Glyph: one character of a bitmap font with its ready-made textured quad.
#pragma once

#include "velmora/Sprite.h"

#include <memory>

namespace velmora {

struct Glyph {
    int code = 0;                 // the character code, as in the font description
    float advance = 0.0f;         // horizontal advance, kept for laying out text
    std::unique_ptr<Sprite> quad; // owned; its geometry is the glyph's quad
    // The same quad for batched text: its corners in the font's units (y up,
    // the baseline at 0) and the texture coordinates at those edges.
    Rect plane;
    Rect texCoords;
};

} // namespace velmora
