// Feeds arbitrary bytes to the font description reader and checks that what
// it returns is consistent with the text: no more glyphs than lines, and a
// malformed line that really does not parse.
#include "engine/FontDescription.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    const FontDescription font = parseFontDescription(in);

    std::size_t lines = 0;
    std::istringstream count(text);
    std::string line;
    while (std::getline(count, line)) {
        ++lines;
    }
    if (font.glyphs.size() > lines) {
        std::abort();
    }
    if (font.malformed) {
        GlyphRecord again;
        if (font.malformedLineNumber != font.glyphs.size() + 1 ||
            parseGlyphLine(font.malformedLine, again)) {
            std::abort();
        }
    } else if (font.glyphs.size() != lines) {
        std::abort();
    }
    return 0;
}
