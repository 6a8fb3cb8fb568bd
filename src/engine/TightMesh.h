// TightMesh: a small polygon that covers only the part of a picture that can
// be seen, so that a sprite batch shades fewer fragments than its full quad.
// The sprite program drops every fragment whose sampled alpha is below one
// half; a blending program shows every fragment whose alpha is above 0. With linear filtering a fragment mixes the four texels around its
// sample point, so it can pass only within half a texel of a texel that
// passes by itself; the mesh keeps a one-texel apron around those texels and
// thus draws the pixels the full quad draws.
//
// Pure computation on alpha values, without OpenGL, done once per picture.
#pragma once

#include "velmora/Math.h"

#include <cstdint>
#include <vector>

namespace velmora {

// Alpha of a picture and a ring of one texel around it, as the sampler can
// reach it: (width + 2) × (height + 2) bytes, row by row from the top row of
// the ring down, each row from left to right.
struct PictureAlpha {
    int width = 0;  // the picture's width in texels, without the ring
    int height = 0; // the same for its height
    std::vector<std::uint8_t> alpha;

    // Alpha of texel (x, y) of the picture; -1 and width (height) address
    // the ring; y counts down from the picture's top row.
    std::uint8_t at(int x, int y) const { return alpha[(y + 1) * (width + 2) + (x + 1)]; }
};

struct TightMesh {
    static constexpr int kMaxVertices = 16;

    // Texels from the picture's lower-left corner, y up; within the picture.
    std::vector<Vec2> points;
    // Three indices into `points` per triangle, counter-clockwise.
    std::vector<std::uint16_t> triangles;
    // Whether a point lies on the picture's edge between two of its corners.
    // Such a point lands exactly on the full quad's edge only while the
    // picture is upright; turned, rounding may move it a hair off the edge
    // and a pixel there would differ from the full quad's.
    bool alongEdges = false;

    float area() const;
};

// The lowest alpha byte that can pass the half-alpha cut, with a margin for
// the filter's rounding.
constexpr std::uint8_t kPassingAlpha = 127;

// The lowest alpha byte a blending program shows.
constexpr std::uint8_t kVisibleAlpha = 1;

// The mesh for `picture`: the outline of the texels within one texel of a
// texel that can pass (alpha of `passingAlpha` or more; 1 for a program that
// blends, which shows every texel above 0), simplified outward to at most kMaxVertices vertices
// and triangulated, or the rectangle that trims the transparent border. Of
// these it takes the one cheapest to draw: each triangle beyond two must
// save a twentieth of the quad's area. A picture no texel of which can pass
// gets an empty mesh (it draws nothing either way).
TightMesh computeTightMesh(const PictureAlpha& picture,
                           std::uint8_t passingAlpha = kPassingAlpha);

} // namespace velmora
