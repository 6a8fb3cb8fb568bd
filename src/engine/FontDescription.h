// FontDescription: reads the comma-separated description of a bitmap font,
// one glyph per line with ten fields: code (a Unicode code point, any int
// accepted), advance, the quad's plane rectangle (left, bottom, right, top)
// and its pixel rectangle in the font image (left, bottom, right, top, y
// counted up from the bottom row).
// Pure text processing, so that it can be tested and fuzzed on its own.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

namespace velmora {

struct GlyphRecord {
    int code = 0;
    float advance = 0.0f;
    float planeLeft = 0.0f;
    float planeBottom = 0.0f;
    float planeRight = 0.0f;
    float planeTop = 0.0f;
    float atlasLeft = 0.0f;
    float atlasBottom = 0.0f;
    float atlasRight = 0.0f;
    float atlasTop = 0.0f;
};

// Converts one line. Each field runs to the next comma; the first is read as
// a base-10 int, the others as floats, each skipping leading white space and
// ignoring what follows the number. Whatever follows the tenth field is
// ignored. False when there are fewer than ten fields or a field holds no
// number or one outside its type's range.
bool parseGlyphLine(const std::string& line, GlyphRecord& glyph);

struct FontDescription {
    std::vector<GlyphRecord> glyphs; // in file order, repeated codes included
    // Reading stops at the first malformed line; these say which it was.
    bool malformed = false;
    std::size_t malformedLineNumber = 0; // counted from 1
    std::string malformedLine;
};

// Reads every line of `text` up to the first malformed one.
FontDescription parseFontDescription(std::istream& text);

} // namespace velmora
