// Packs the game's pictures into one atlas image and describes where each
// one went. Each picture has a size on the 1024x768 reference screen, which
// fixes its model size and so the texels it covers in the atlas; its source
// image is resampled to those texels unless it was drawn at exactly that
// size (the sharpest way, see texelSize). Every picture is framed
// by a gutter of repeated edge texels so linear filtering never reaches a
// neighbour (or, since the texture repeats, the far side of the atlas).
#pragma once

#include "AtlasGeometry.h"
#include "Image.h"

#include <string>
#include <vector>

struct Picture {
    std::string name;
    int screenWidth = 0; // size on the reference screen, pixels
    int screenHeight = 0;
    Image source;
};

class AtlasPacker {
  public:
    AtlasPacker(int atlasWidthPx, int atlasHeightPx, int gutterPx);

    // Places every picture; on failure returns false and says why in error.
    bool pack(const std::vector<Picture>& pictures, std::string& error);

    const Image& image() const { return atlas; }
    // One entry per picture, in the order the pictures were given.
    const std::vector<AtlasPlacement>& entries() const { return placed; }

    // Texels a picture of the given reference-screen size gets in the atlas.
    void texelSize(int screenW, int screenH, int& widthPx, int& heightPx) const {
        geometry.atlasSizeFor(screenW, screenH, widthPx, heightPx);
    }

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
    std::vector<AtlasPlacement> placed;
};
