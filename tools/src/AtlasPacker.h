// Packs the game's pictures into one atlas image and describes where each
// one went. Pictures are drawn in reference-screen pixels (1024x768 space);
// each is resampled to the texels its model size covers in the atlas, framed
// by a gutter of repeated edge texels so linear filtering never reaches a
// neighbour (or, since the texture repeats, the far side of the atlas).
#pragma once

#include "AtlasGeometry.h"
#include "Image.h"

#include <string>
#include <vector>

struct Picture {
    std::string name;
    Image source; // drawn at its size on the reference screen
};

class AtlasPacker {
  public:
    AtlasPacker(int atlasWidthPx, int atlasHeightPx, int gutterPx);

    // Places every picture; on failure returns false and says why in error.
    bool pack(const std::vector<Picture>& pictures, std::string& error);

    const Image& image() const { return atlas; }
    // One entry per picture, in the order the pictures were given.
    const std::vector<AtlasEntry>& entries() const { return placed; }

    // Resamples src to w x h with alpha-weighted filtering.
    static Image resample(const Image& src, int w, int h);
    // Gives fully transparent texels the colour of a nearby opaque one, so
    // filtering at a cut-out's edge does not pull in black.
    static void bleedColour(Image& image, int passes);

  private:
    void blit(const Image& picture, int left, int top);

    AtlasGeometry geometry;
    int gutter;
    Image atlas;
    std::vector<AtlasEntry> placed;
};
