// Bakes a TrueType font into a glyph image and its glyph table: quads in em
// units (y up, origin on the baseline at the pen position) and their texel
// boxes in the image (y counted up from the image's bottom row).
#pragma once

#include "Image.h"

#include <string>
#include <vector>

struct BakedGlyph {
    int code = 0;
    float advance = 0;
    float planeLeft = 0, planeBottom = 0, planeRight = 0, planeTop = 0;
    float atlasLeft = 0, atlasBottom = 0, atlasRight = 0, atlasTop = 0;
};

// The codes first..last, both included.
struct CodeRange {
    int first = 0;
    int last = 0;
};

class FontBaker {
  public:
    // emPixels: texels per em; the image is imageSize x imageSize.
    FontBaker(int emPixels, int imageSize);

    // Bakes the codes first..last from the font file's bytes. False with a
    // message in error when the font does not load or the glyphs do not fit.
    bool bake(const std::vector<unsigned char>& fontData, int first, int last, std::string& error);
    // The same for several ranges, packed into one image; the glyphs come
    // range by range, in the order given.
    bool bake(const std::vector<unsigned char>& fontData, const std::vector<CodeRange>& ranges,
              std::string& error);

    // White texels with the glyph coverage in alpha.
    const Image& image() const { return bitmap; }
    const std::vector<BakedGlyph>& glyphs() const { return table; }

    // One line of the font description: ten comma-separated fields.
    static std::string formatLine(const BakedGlyph& glyph);

  private:
    int emPixels;
    Image bitmap;
    std::vector<BakedGlyph> table;
};
