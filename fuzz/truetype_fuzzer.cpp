// Feeds fonts to the font file checks and, when they pass, asks of the font
// what Font asks when it lays out and draws text: glyph look-ups across the
// planes, advances, kerning and rasterised outlines. The sanitizers stop on
// any read past the bytes, which the checks must rule out, and the work runs
// on a small stack, so that an outline nested past what the checks allow
// overflows it at once.
//
// The mutator knows the format: besides byte-level changes it builds whole
// fonts (tests/support/FontBuilder) with composite chains and fans, scaled
// and moved components, loops, large metrics and directory entries moved to
// chosen offsets (0 included), and moves the tables and metrics of the
// fonts it is given. The seeds are such fonts and a real one
// (scripts/run-fuzz.sh adds DejaVu Sans).
#include "engine/FontFile.h"
#include "support/FontBuilder.h"

#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace velmora;
using testsupport::FontPlan;

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
};

void* exercise(void* argument) {
    const Input& input = *static_cast<const Input*>(argument);
    FontFile file;
    std::string why;
    if (!file.open(std::vector<unsigned char>(input.data, input.data + input.size), why)) {
        if (why.empty() || file.glyphCount() != 0) {
            std::abort(); // a refusal always says why, and leaves nothing
        }
        return nullptr;
    }
    // Text may ask for the glyphs in any order: the last ones first here.
    for (int glyph = file.glyphCount() - 1; glyph >= 0; --glyph) {
        file.usable(glyph);
    }
    const char32_t codes[] = {0, U' ', U'!', U'"', U'A', U'V', U'é', U'Ж', U'Ω', 0x4E2D, 0xFFFD,
                              0x1F600, 0x10FFFF, 0x110000};
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
    // The first and the last glyphs too, whatever maps to them, composites
    // included.
    for (int glyph = 0; glyph < file.glyphCount(); ++glyph) {
        if (glyph < 48 || glyph >= file.glyphCount() - 16) {
            FontFile::Bitmap bitmap;
            file.rasterise(glyph, scale, 256, bitmap);
        }
    }
    return nullptr;
}

// A number from 1 to `most`, small ones as likely as large ones in scale.
int spread(std::minstd_rand& random, int most) {
    const int bits = int(random() % 13);
    return 1 + int(random() % std::uint32_t(std::min(most, 1 << bits)));
}

FontPlan randomFont(std::minstd_rand& random) {
    FontPlan plan;
    const int shape = int(random() % 4);
    if (shape == 0) {
        plan = testsupport::compositeChain(spread(random, 4000), random() % 2 == 0);
    } else if (shape == 1) {
        plan = testsupport::compositeFan(spread(random, 3000), spread(random, 3000));
    } else {
        // Composites of any glyph, loops and all, placed anywhere.
        plan.glyphs.resize(std::size_t(1 + spread(random, 64)));
        for (FontPlan::Glyph& glyph : plan.glyphs) {
            glyph.size = int(random() % 32768);
            const int parts = random() % 2 ? 0 : spread(random, 8);
            for (int i = 0; i < parts; ++i) {
                const int offsets[] = {0, 1, -1, 1000, -32768, 32767};
                glyph.parts.push_back({int(random() % plan.glyphs.size()), offsets[random() % 6],
                                       offsets[random() % 6],
                                       random() % 2 ? 0 : int(random() % 65536) - 32768});
            }
        }
    }
    const int ems[] = {16, 1000, 2048, 16384, int(random() % 20000)};
    plan.unitsPerEm = ems[random() % 5];
    plan.ascent = random() % 2 ? 800 : spread(random, 32767);
    plan.descent = -int(random() % 1000);
    if (random() % 3 == 0) {
        const char* tags[] = {"glyf", "loca", "cmap", "head", "hhea", "hmtx", "maxp"};
        plan.entryOffset[tags[random() % 7]] = random() % 2 ? 0 : std::uint32_t(random() % 512);
    }
    plan.cff = random() % 3 == 0;
    return plan;
}

std::uint32_t read32(const uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
void write16(uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

// Moves a table of the font in `data` (its directory entry to offset 0, to
// another table's offset, or by a little), or sets one of its metrics to an
// extreme. False when `data` holds no table directory.
bool editFont(uint8_t* data, size_t size, std::minstd_rand& random) {
    const size_t count = size >= 12 ? size_t(data[4]) << 8 | data[5] : 0;
    if (count == 0 || 12 + 16 * count > size) {
        return false;
    }
    uint8_t* entry = data + 12 + 16 * (random() % count);
    uint8_t* other = data + 12 + 16 * (random() % count);
    const std::uint32_t at = read32(entry + 8);
    switch (random() % 4) {
    case 0:
        std::memset(entry + 8, 0, 4);
        return true;
    case 1:
        std::memcpy(entry + 8, other + 8, 4);
        return true;
    case 2:
        std::memcpy(entry + 12, other + 12, 4);
        return true;
    default:
        break;
    }
    // A 16-bit field of the table: ascent, descent, units per em, counts.
    const size_t field = at + 2 * (random() % 26);
    if (field + 2 <= size) {
        const std::uint32_t values[] = {0, 1, 16, 0x7FFF, 0x8000, 0xFFFF};
        write16(data + field, values[random() % 6]);
    }
    return true;
}

} // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    std::minstd_rand random(seed);
    const int way = int(random() % 4);
    if (way == 0) {
        const std::vector<unsigned char> font = testsupport::buildFont(randomFont(random));
        if (font.size() <= maxSize) {
            std::memcpy(data, font.data(), font.size());
            return font.size();
        }
    } else if (way == 1 && editFont(data, size, random)) {
        return size;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input{data, size};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    if (pthread_create(&thread, &attributes, exercise, &input) != 0) {
        std::abort();
    }
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    return 0;
}
