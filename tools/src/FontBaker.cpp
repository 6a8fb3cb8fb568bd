// Font baking with stb_truetype's packer, one texel per font pixel (no
// oversampling), so a glyph's quad and its texel box have the same size.
#include "FontBaker.h"

#include <stb_truetype.h>

#include <cstdio>

FontBaker::FontBaker(int emPixels, int imageSize)
    : emPixels(emPixels), bitmap(imageSize, imageSize) {}

bool FontBaker::bake(const std::vector<unsigned char>& fontData, int first, int last,
                     std::string& error) {
    return bake(fontData, std::vector<CodeRange>{{first, last}}, error);
}

bool FontBaker::bake(const std::vector<unsigned char>& fontData,
                     const std::vector<CodeRange>& ranges, std::string& error) {
    if (fontData.empty() || stbtt_GetNumberOfFonts(fontData.data()) < 1) {
        error = "not a TrueType font";
        return false;
    }
    std::vector<std::vector<stbtt_packedchar>> packed;
    std::vector<stbtt_pack_range> packRanges;
    for (const CodeRange& range : ranges) {
        if (range.last < range.first) {
            error = "an empty range of codes";
            return false;
        }
        packed.emplace_back(static_cast<size_t>(range.last - range.first + 1));
    }
    for (size_t r = 0; r < ranges.size(); ++r) {
        stbtt_pack_range pack{};
        pack.font_size = STBTT_POINT_SIZE(static_cast<float>(emPixels));
        pack.first_unicode_codepoint_in_range = ranges[r].first;
        pack.num_chars = static_cast<int>(packed[r].size());
        pack.chardata_for_range = packed[r].data();
        packRanges.push_back(pack);
    }
    std::vector<unsigned char> coverage(static_cast<size_t>(bitmap.width) * bitmap.height);
    stbtt_pack_context context;
    if (!stbtt_PackBegin(&context, coverage.data(), bitmap.width, bitmap.height, 0, 1, nullptr)) {
        error = "cannot start packing";
        return false;
    }
    stbtt_PackSetOversampling(&context, 1, 1);
    int fitted = stbtt_PackFontRanges(&context, fontData.data(), 0, packRanges.data(),
                                      static_cast<int>(packRanges.size()));
    stbtt_PackEnd(&context);
    if (!fitted) {
        error = "the glyphs do not fit into " + std::to_string(bitmap.width) + "x" +
                std::to_string(bitmap.height);
        return false;
    }
    for (size_t i = 0; i < coverage.size(); ++i) {
        unsigned char* p = &bitmap.rgba[i * 4];
        p[0] = p[1] = p[2] = 255;
        p[3] = coverage[i];
    }
    table.clear();
    const float em = static_cast<float>(emPixels);
    const float height = static_cast<float>(bitmap.height);
    for (size_t r = 0; r < ranges.size(); ++r) {
        for (size_t i = 0; i < packed[r].size(); ++i) {
            const stbtt_packedchar& c = packed[r][i];
            BakedGlyph g;
            g.code = ranges[r].first + static_cast<int>(i);
            g.advance = c.xadvance / em;
            // stb_truetype measures y down from the baseline; the font description measures up.
            g.planeLeft = c.xoff / em;
            g.planeRight = c.xoff2 / em;
            g.planeTop = -c.yoff / em;
            g.planeBottom = -c.yoff2 / em;
            g.atlasLeft = c.x0;
            g.atlasRight = c.x1;
            g.atlasTop = height - c.y0;
            g.atlasBottom = height - c.y1;
            table.push_back(g);
        }
    }
    return true;
}

std::string FontBaker::formatLine(const BakedGlyph& g) {
    char line[256];
    std::snprintf(line, sizeof line, "%d,%.6f,%.6f,%.6f,%.6f,%.6f,%.1f,%.1f,%.1f,%.1f", g.code,
                  g.advance, g.planeLeft, g.planeBottom, g.planeRight, g.planeTop, g.atlasLeft,
                  g.atlasBottom, g.atlasRight, g.atlasTop);
    return line;
}
