// Feeds arbitrary bytes to the font file checks and, when they pass, asks of
// the font what Font asks when it lays out and draws text: glyph look-ups
// across the planes, advances, kerning and rasterised outlines. The
// sanitizers stop on any read past the bytes, which the checks must rule
// out; the seeds are a real font (scripts/run-fuzz.sh adds DejaVu Sans).
#include "engine/FontFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FontFile file;
    std::string why;
    if (!file.open(std::vector<unsigned char>(data, data + size), why)) {
        if (why.empty() || file.glyphCount() != 0) {
            std::abort(); // a refusal always says why, and leaves nothing
        }
        return 0;
    }
    const char32_t codes[] = {0, U' ', U'A', U'V', U'é', U'Ж', U'Ω', 0x4E2D, 0xFFFD, 0x1F600,
                              0x10FFFF, 0x110000};
    int previous = 0;
    int ascent = 0, descent = 0, gap = 0;
    file.verticalMetrics(ascent, descent, gap);
    const float scale = 24.0f / float(file.unitsPerEm());
    for (const char32_t code : codes) {
        const int glyph = file.glyphIndex(code);
        if (glyph < 0 || glyph >= file.glyphCount()) {
            std::abort();
        }
        file.advance(glyph);
        file.kerning(previous, glyph);
        FontFile::Bitmap bitmap;
        if (file.rasterise(glyph, scale, 256, bitmap) &&
            bitmap.coverage.size() != std::size_t(bitmap.width) * std::size_t(bitmap.height)) {
            std::abort();
        }
        previous = glyph;
    }
    // The first glyphs too, whatever maps to them, composites included.
    for (int glyph = 0; glyph < file.glyphCount() && glyph < 48; ++glyph) {
        FontFile::Bitmap bitmap;
        file.rasterise(glyph, scale, 256, bitmap);
    }
    return 0;
}
