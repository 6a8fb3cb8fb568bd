// Small TrueType fonts made to order: squares and composite glyphs, metrics,
// and table directory entries that point wherever a test wants. Used by the
// font tests and by the TrueType fuzzer's mutator (no test framework here).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct FontPlan {
    struct Part {
        int glyph = 0;
        int dx = 0, dy = 0;
        int scale = 0; // 2.14 fixed point (16384 is 1); 0 for none
    };
    // A glyph without parts is a square of `size` units from the origin,
    // with `points` - 4 more points on its last corner.
    struct Glyph {
        std::vector<Part> parts;
        int size = 500;
        int points = 4;
    };
    std::vector<Glyph> glyphs{Glyph{}}; // glyph 0, the missing-glyph box, first
    int unitsPerEm = 1000, ascent = 800, descent = -200;
    // The directory entry of a table (by tag) given this offset instead of
    // the table's own; the table's bytes stay where they were.
    std::map<std::string, std::uint32_t> entryOffset;
    bool cff = false; // an empty "CFF " table as well
};

// The font's bytes. Codes from U+0021 on map to glyphs 1, 2, ... in order.
std::vector<unsigned char> buildFont(const FontPlan& plan);

// Glyph 0 a square; glyph 1 a composite of glyph 2, glyph 2 of glyph 3, and
// so on for `links` composites, the last one made of a square. Bottom first:
// glyph 1 the square, glyph 2 made of it, and so on up to the last glyph.
FontPlan compositeChain(int links, bool bottomFirst = false);
// Glyph 1 made of `outer` copies of glyph 2, which is made of `inner` squares
// (glyph 3); glyph 0 is a square of its own.
FontPlan compositeFan(int outer, int inner);

} // namespace testsupport
