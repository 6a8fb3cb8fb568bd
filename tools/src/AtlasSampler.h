// Draws atlas pictures the way the game's sprite program does, in software:
// quads placed in model units, seen through the game's camera at a chosen
// screen size, sampled with linear filtering and repeat wrapping, texels
// with alpha below one half dropped, nothing blended. Used for preview
// frames and to check the art's geometry against the game's numbers.
#pragma once

#include "AtlasGeometry.h"
#include "Image.h"

#include <string>
#include <vector>

class AtlasSampler {
  public:
    AtlasSampler(const Image& atlas, const std::vector<AtlasPlacement>& entries);

    // Model extent the game's camera shows: 1.333 / 4.28 by 1 / 5.23.
    static constexpr double kViewModelWidth = 1.333 / 4.28;
    static constexpr double kViewModelHeight = 1.0 / 5.23;

    // Paints picture `name` with its lower-left corner at model (x, y) onto
    // frame, whose pixels span the camera's view. False if the atlas has no
    // such picture.
    bool draw(Image& frame, const std::string& name, double x, double y) const;

    // Linearly filtered texel at texture coordinates (u, v), v = 0 at the top.
    void sample(double u, double v, unsigned char out[4]) const;

    const AtlasPlacement* find(const std::string& name) const;

  private:
    const Image& atlas;
    std::vector<AtlasPlacement> entries;
};
