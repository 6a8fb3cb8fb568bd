#include "engine/FontFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace velmora {

namespace {

// The most work one glyph may cause when drawn. stb_truetype expands each
// component again wherever it is used and copies the parts gathered so far
// at each one, so a glyph is counted as drawn: every component as often as
// it is used. Composite glyphs nest at most this deep (fonts nest two or
// three levels, a loop nests forever), and a glyph holds at most this many
// components and points in all. Fonts use far fewer; a font with a glyph
// beyond them is refused.
constexpr int kMostNesting = 8;
constexpr std::uint64_t kMostParts = 1024;
constexpr std::uint64_t kMostPoints = 65535;

std::uint32_t u16(const unsigned char* p) {
    return std::uint32_t(p[0]) << 8 | p[1];
}
std::int32_t s16(const unsigned char* p) {
    return std::int16_t(std::uint16_t(u16(p)));
}
std::uint32_t u32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

struct Table {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    bool found = false;
};

// The first table named `tag`, as stb_truetype finds it: one at offset 0
// (where the file's own header lies) it takes for missing. The directory has
// been checked by then.
Table findTable(const std::vector<unsigned char>& data, const char* tag) {
    const std::uint32_t count = u16(&data[4]);
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* entry = &data[12 + 16 * i];
        if (std::memcmp(entry, tag, 4) == 0) {
            const std::uint32_t offset = u32(entry + 8);
            return {offset, u32(entry + 12), offset != 0};
        }
    }
    return {};
}

// Whether bytes [offset, offset + length) lie in the file, without overflow.
bool inFile(const std::vector<unsigned char>& data, std::uint64_t offset, std::uint64_t length) {
    return offset <= data.size() && length <= data.size() - offset;
}

// Checks one cmap subtable of a format glyphIndex reads, in full: every byte
// a look-up of any code point may read.
bool subtableFits(const std::vector<unsigned char>& data, std::uint32_t at) {
    if (!inFile(data, at, 4)) {
        return false;
    }
    const std::uint32_t format = u16(&data[at]);
    if (format == 0) {
        return u16(&data[at + 2]) >= 6 && inFile(data, at, u16(&data[at + 2]));
    }
    if (format == 6) {
        return inFile(data, at, 10) && inFile(data, at, 10 + 2ull * u16(&data[at + 8]));
    }
    if (format == 12 || format == 13) {
        return inFile(data, at, 16) && inFile(data, at, 16 + 12ull * u32(&data[at + 12]));
    }
    if (format != 4 || !inFile(data, at, 14)) {
        return false;
    }
    // The binary search follows the header's own search fields: only the
    // values that keep it within the segments are taken.
    const std::uint32_t segments = u16(&data[at + 6]) / 2;
    if (segments == 0 || !inFile(data, at, 16 + 8ull * segments)) {
        return false;
    }
    std::uint32_t power = 1, log = 0;
    while (power * 2 <= segments) {
        power *= 2;
        ++log;
    }
    if (u16(&data[at + 8]) != 2 * power || u16(&data[at + 10]) != log ||
        u16(&data[at + 12]) != 2 * (segments - power)) {
        return false;
    }
    const std::uint32_t ends = at + 14, starts = ends + 2 * segments + 2;
    const std::uint32_t rangeOffsets = starts + 4 * segments;
    for (std::uint32_t i = 0; i < segments; ++i) {
        const std::uint32_t end = u16(&data[ends + 2 * i]), start = u16(&data[starts + 2 * i]);
        const std::uint32_t offset = u16(&data[rangeOffsets + 2 * i]);
        if (offset != 0 && start <= end &&
            !inFile(data, std::uint64_t(rangeOffsets) + 2 * i + offset, 2ull * (end - start) + 2)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool FontFile::open(std::vector<unsigned char> bytes, std::string& error) {
    *this = FontFile();
    auto refuse = [&](const char* why) {
        error = why;
        *this = FontFile();
        return false;
    };
    if (bytes.size() < 12) {
        return refuse("not a TrueType or OpenType font: too short");
    }
    const std::uint32_t version = u32(&bytes[0]);
    if (std::memcmp(&bytes[0], "OTTO", 4) == 0) {
        return refuse("fonts with CFF outlines are not supported");
    }
    if (std::memcmp(&bytes[0], "ttcf", 4) == 0) {
        return refuse("font collections are not supported");
    }
    if (version != 0x00010000u && std::memcmp(&bytes[0], "true", 4) != 0) {
        return refuse("not a TrueType or OpenType font");
    }
    const std::uint32_t tableCount = u16(&bytes[4]);
    if (!inFile(bytes, 12, 16ull * tableCount)) {
        return refuse("the table directory runs past the end of the file");
    }
    for (std::uint32_t i = 0; i < tableCount; ++i) {
        const unsigned char* entry = &bytes[12 + 16 * i];
        if (!inFile(bytes, u32(entry + 8), u32(entry + 12))) {
            return refuse("a table runs past the end of the file");
        }
    }
    data = std::move(bytes);

    // The tables and their least sizes: what stb_truetype reads of them.
    const Table cmap = findTable(data, "cmap"), head = findTable(data, "head");
    const Table hhea = findTable(data, "hhea"), hmtx = findTable(data, "hmtx");
    const Table maxp = findTable(data, "maxp"), loca = findTable(data, "loca");
    const Table glyf = findTable(data, "glyf"), kern = findTable(data, "kern");
    if (!glyf.found && findTable(data, "CFF ").found) {
        return refuse("fonts with CFF outlines are not supported");
    }
    if (!cmap.found || !head.found || !hhea.found || !hmtx.found || !maxp.found || !loca.found ||
        !glyf.found) {
        return refuse("a table it needs is missing (cmap, head, hhea, hmtx, maxp, loca, glyf)");
    }
    if (head.length < 54 || hhea.length < 36 || maxp.length < 6 || cmap.length < 4) {
        return refuse("a table is too short (head, hhea, maxp or cmap)");
    }
    glyphs = int(u16(&data[maxp.offset + 4]));
    emUnits = int(u16(&data[head.offset + 18]));
    const std::uint32_t locaFormat = u16(&data[head.offset + 50]);
    if (glyphs == 0 || emUnits < 16 || emUnits > 16384 || locaFormat > 1) {
        return refuse("head or maxp holds impossible values");
    }
    const std::int32_t ascent = s16(&data[hhea.offset + 4]), descent = s16(&data[hhea.offset + 6]);
    if (ascent - descent <= 0) {
        return refuse("hhea gives the font no height");
    }
    const std::uint32_t longMetrics = u16(&data[hhea.offset + 34]);
    const std::uint64_t shortMetrics = std::uint32_t(glyphs) > longMetrics ? glyphs - longMetrics : 0;
    if (longMetrics == 0 || hmtx.length < 4ull * longMetrics + 2 * shortMetrics) {
        return refuse("hmtx is shorter than its glyphs need");
    }
    const std::uint32_t entrySize = locaFormat == 0 ? 2 : 4;
    if (loca.length < std::uint64_t(entrySize) * (std::uint32_t(glyphs) + 1)) {
        return refuse("loca is shorter than its glyphs need");
    }
    for (int i = 0; i <= glyphs; ++i) {
        const unsigned char* at = &data[loca.offset + entrySize * std::uint32_t(i)];
        const std::uint64_t offset = entrySize == 2 ? 2ull * u16(at) : u32(at);
        if (offset > glyf.length) {
            return refuse("loca points past the end of glyf");
        }
    }
    glyfStart = glyf.offset;
    glyfLength = glyf.length;
    if (kern.found) {
        // Only a first subtable of format 0 with horizontal coverage is read.
        if (kern.length < 4 || (u16(&data[kern.offset + 2]) >= 1 && kern.length < 18)) {
            return refuse("kern is too short");
        }
        if (u16(&data[kern.offset + 2]) >= 1 && u16(&data[kern.offset + 8]) == 1 &&
            kern.length < 18 + 6ull * u16(&data[kern.offset + 10])) {
            return refuse("kern is shorter than its pairs");
        }
    }

    // The cmap subtable: a Unicode one stb_truetype can read, the full
    // repertoire (format 12) before the basic plane.
    const std::uint32_t records = u16(&data[cmap.offset + 2]);
    if (cmap.length < 4 + 8ull * records) {
        return refuse("cmap is shorter than its encodings");
    }
    int best = 0;
    for (std::uint32_t i = 0; i < records; ++i) {
        const unsigned char* record = &data[cmap.offset + 4 + 8 * i];
        const std::uint32_t platform = u16(record), encoding = u16(record + 2);
        if (!(platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10)))) {
            continue;
        }
        const std::uint64_t at = std::uint64_t(cmap.offset) + u32(record + 4);
        if (at > 0xFFFFFFFFull || !subtableFits(data, std::uint32_t(at))) {
            continue;
        }
        const std::uint32_t format = u16(&data[at]);
        const int rank = format == 12 ? 3 : format == 4 ? 2 : 1;
        if (rank > best) {
            best = rank;
            indexMap = std::uint32_t(at);
        }
    }
    if (best == 0) {
        return refuse("cmap has no Unicode mapping that fits in the file");
    }
    if (!stbtt_InitFont(&info, data.data(), 0)) {
        return refuse("not a TrueType or OpenType font");
    }
    info.index_map = int(indexMap);
    info.gpos = 0; // kerning from kern: GPOS is never checked

    // Every outline, measured once: the components of one already measured
    // are not read again.
    outlines.assign(std::size_t(glyphs), Outline());
    for (int glyph = 0; glyph < glyphs; ++glyph) {
        if (const char* fault = measure(glyph, 0)) {
            error = "glyph " + std::to_string(glyph) + " " + fault;
            *this = FontFile();
            return false;
        }
    }
    pointFlags = {};
    return true;
}

int FontFile::glyphIndex(char32_t code) const {
    if (glyphs == 0 || code > 0x10FFFF) {
        return 0;
    }
    const int glyph = stbtt_FindGlyphIndex(&info, int(code));
    return glyph > 0 && glyph < glyphs ? glyph : 0;
}

void FontFile::verticalMetrics(int& ascent, int& descent, int& lineGap) const {
    ascent = descent = lineGap = 0;
    if (glyphs > 0) {
        stbtt_GetFontVMetrics(&info, &ascent, &descent, &lineGap);
    }
}

int FontFile::advance(int glyph) const {
    if (glyph < 0 || glyph >= glyphs) {
        return 0;
    }
    int width = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&info, glyph, &width, &bearing);
    return width;
}

int FontFile::kerning(int left, int right) const {
    if (left < 0 || left >= glyphs || right < 0 || right >= glyphs) {
        return 0;
    }
    return stbtt_GetGlyphKernAdvance(&info, left, right);
}

bool FontFile::glyphBytes(int glyph, std::uint32_t& start, std::uint32_t& length) const {
    const std::uint32_t loca = std::uint32_t(info.loca), g = std::uint32_t(glyph);
    std::uint32_t from, to;
    if (info.indexToLocFormat == 0) {
        from = 2 * u16(&data[loca + 2 * g]);
        to = 2 * u16(&data[loca + 2 * g + 2]);
    } else {
        from = u32(&data[loca + 4 * g]);
        to = u32(&data[loca + 4 * g + 4]);
    }
    start = glyfStart + from;
    length = to > from ? to - from : 0;
    return to >= from; // both within glyf: checked by open()
}

bool FontFile::usable(int glyph) const {
    return glyph >= 0 && glyph < glyphs && outlines[std::size_t(glyph)].good;
}

const char* FontFile::measure(int glyph, int level) {
    Outline& outline = outlines[std::size_t(glyph)];
    if (outline.state == Outline::State::Measured) {
        return nullptr;
    }
    if (outline.state == Outline::State::Measuring) {
        return "nests composite glyphs in a loop";
    }
    if (level > kMostNesting) {
        return "nests composite glyphs more than 8 deep";
    }
    outline.state = Outline::State::Measuring;
    std::uint32_t start = 0, length = 0;
    bool good = glyphBytes(glyph, start, length);
    const char* fault = nullptr;
    if (good && length > 0) {
        const unsigned char* g = &data[start];
        good = length >= 10;
        const std::int32_t contours = good ? s16(g) : 0;
        if (good && contours > 0) {
            good = simpleOutline(g, length, outline);
        } else if (good && contours < 0) {
            fault = compositeOutline(g, length, level, outline);
            good = outline.good;
        }
    }
    outline.good = good && fault == nullptr;
    outline.state = Outline::State::Measured;
    if (outline.good && outline.depth > kMostNesting) {
        return "nests composite glyphs more than 8 deep";
    }
    if (outline.good && outline.parts > kMostParts) {
        return "is made of more than 1024 components";
    }
    if (outline.good && outline.points > kMostPoints) {
        return "has more than 65535 points";
    }
    return fault;
}

bool FontFile::simpleOutline(const unsigned char* g, std::uint32_t length, Outline& outline) {
    // What stb_truetype reads, step by step, each step within `length`.
    const std::uint32_t contours = u16(g);
    std::uint64_t used = 10 + 2ull * contours + 2;
    if (used > length) {
        return false;
    }
    const std::uint32_t points = 1 + u16(g + 10 + 2 * (contours - 1));
    used += u16(g + 10 + 2 * contours); // instructions
    std::uint64_t xBytes = 0, yBytes = 0;
    std::uint32_t repeat = 0, flags = 0;
    pointFlags.assign(points, 0);
    for (std::uint32_t i = 0; i < points; ++i) {
        if (repeat == 0) {
            if (used + 1 > length) {
                return false;
            }
            flags = g[used++];
            if (flags & 8) {
                if (used + 1 > length) {
                    return false;
                }
                repeat = g[used++];
            }
        } else {
            --repeat;
        }
        xBytes += (flags & 2) ? 1 : (flags & 16) ? 0 : 2;
        yBytes += (flags & 4) ? 1 : (flags & 32) ? 0 : 2;
        pointFlags[i] = static_cast<unsigned char>(flags);
    }
    if (used + xBytes + yBytes > length) {
        return false;
    }
    // A contour that starts off the curve is started from the point after
    // it: there must be one.
    std::uint32_t nextStart = 0, contour = 0;
    for (std::uint32_t i = 0; i < points; ++i) {
        if (i != nextStart) {
            continue;
        }
        if ((pointFlags[i] & 1) == 0) {
            if (i + 1 >= points) {
                return false;
            }
            i += (pointFlags[i + 1] & 1) != 0 ? 1 : 0;
        }
        nextStart = 1 + u16(g + 10 + 2 * contour);
        ++contour;
    }
    // Where the points lie, read as stb_truetype reads them: each sum kept
    // to 16 bits. stb_truetype makes at most a vertex per point and two per
    // contour.
    const unsigned char* xs = g + used;
    const unsigned char* ys = xs + xBytes;
    std::int32_t x = 0, y = 0;
    outline.include(0, 0);
    for (std::uint32_t i = 0; i < points; ++i) {
        const std::uint32_t f = pointFlags[i];
        if (f & 2) {
            x += (f & 16) ? *xs : -std::int32_t(*xs);
            ++xs;
        } else if (!(f & 16)) {
            x += s16(xs);
            xs += 2;
        }
        if (f & 4) {
            y += (f & 32) ? *ys : -std::int32_t(*ys);
            ++ys;
        } else if (!(f & 32)) {
            y += s16(ys);
            ys += 2;
        }
        outline.include(std::int16_t(std::uint16_t(x)), std::int16_t(std::uint16_t(y)));
    }
    outline.points = points + 2 * contours;
    return true;
}

const char* FontFile::compositeOutline(const unsigned char* g, std::uint32_t length, int level,
                                       Outline& outline) {
    std::uint64_t used = 10, parts = 0, points = 0;
    int depth = 0;
    outline.good = false;
    for (bool more = true; more;) {
        if (used + 4 > length) {
            return nullptr;
        }
        const std::uint32_t flags = u16(g + used);
        // Read unsigned, as stb_truetype reads it: CJK fonts have more
        // than 32767 glyphs.
        const int part = int(u16(g + used + 2));
        used += 4;
        const std::uint64_t argsAt = used;
        used += (flags & 1) ? 4 : 2;
        const std::uint64_t scaleAt = used;
        used += (flags & 8) ? 2 : (flags & 64) ? 4 : (flags & 128) ? 8 : 0;
        // Point-matched placement is not drawn by stb_truetype.
        if ((flags & 2) == 0 || part >= glyphs || used > length) {
            return nullptr;
        }
        if (const char* fault = measure(part, level + 1)) {
            return fault;
        }
        const Outline& component = outlines[std::size_t(part)];
        if (!component.good) {
            return nullptr;
        }
        // No overflow: each component's sums are within the bounds.
        parts += 1 + component.parts;
        points += component.points;
        depth = std::max(depth, component.depth + 1);
        // stb_truetype places the component's points (and the origin its
        // straight segments carry as control point) with the transform
        // scaled again by its columns' lengths, then keeps them to 16 bits.
        float t[6] = {1, 0, 0, 1, 0, 0};
        if (flags & 1) {
            t[4] = float(s16(g + argsAt));
            t[5] = float(s16(g + argsAt + 2));
        } else {
            t[4] = float(std::int8_t(g[argsAt]));
            t[5] = float(std::int8_t(g[argsAt + 1]));
        }
        const unsigned char* s = g + scaleAt;
        if (flags & 8) {
            t[0] = t[3] = float(s16(s)) / 16384.0f;
        } else if (flags & 64) {
            t[0] = float(s16(s)) / 16384.0f;
            t[3] = float(s16(s + 2)) / 16384.0f;
        } else if (flags & 128) {
            for (int i = 0; i < 4; ++i) {
                t[i] = float(s16(s + 2 * i)) / 16384.0f;
            }
        }
        if (component.left <= component.right && !place(component, t, outline)) {
            return nullptr;
        }
        more = (flags & 32) != 0;
    }
    outline.parts = parts;
    outline.points = points;
    outline.depth = depth;
    outline.good = true;
    return nullptr;
}

bool FontFile::place(const Outline& component, const float t[6], Outline& outline) {
    const double m = std::sqrt(double(t[0]) * t[0] + double(t[1]) * t[1]);
    const double n = std::sqrt(double(t[2]) * t[2] + double(t[3]) * t[3]);
    for (const std::int32_t x : {component.left, component.right}) {
        for (const std::int32_t y : {component.bottom, component.top}) {
            // A margin for the single-precision sums stb_truetype makes.
            const double px = m * (t[0] * double(x) + t[2] * double(y) + t[4]);
            const double py = n * (t[1] * double(x) + t[3] * double(y) + t[5]);
            if (!(std::abs(px) < 32766.0 && std::abs(py) < 32766.0)) {
                return false;
            }
            outline.include(std::int32_t(std::floor(px)) - 1, std::int32_t(std::floor(py)) - 1);
            outline.include(std::int32_t(std::ceil(px)) + 1, std::int32_t(std::ceil(py)) + 1);
        }
    }
    return true;
}

bool FontFile::rasterise(int glyph, float scale, int maxSide, Bitmap& out) const {
    out = Bitmap();
    if (!usable(glyph) || !(scale > 0.0f)) {
        return false;
    }
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetGlyphBitmapBox(&info, glyph, scale, scale, &x0, &y0, &x1, &y1);
    const long long width = (long long)x1 - x0, height = (long long)y1 - y0;
    if (width > maxSide || height > maxSide) {
        return false;
    }
    if (width <= 0 || height <= 0) {
        return true; // no outline: a space
    }
    out.width = int(width);
    out.height = int(height);
    out.left = x0;
    out.top = -y0;
    out.coverage.assign(std::size_t(width * height), 0);
    stbtt_MakeGlyphBitmap(&info, out.coverage.data(), out.width, out.height, out.width, scale,
                          scale, glyph);
    return true;
}

} // namespace velmora
