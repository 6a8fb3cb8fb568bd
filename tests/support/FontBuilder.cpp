#include "support/FontBuilder.h"

#include <algorithm>
#include <utility>

namespace testsupport {

namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes& b, int v) {
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    b.push_back(static_cast<unsigned char>(v & 0xFF));
}
void put32(Bytes& b, std::uint32_t v) {
    put16(b, int(v >> 16));
    put16(b, int(v & 0xFFFF));
}

Bytes glyphBytes(const FontPlan::Glyph& glyph) {
    Bytes b;
    put16(b, glyph.parts.empty() ? 1 : -1);
    for (int v : {0, 0, glyph.size, glyph.size}) { // the box
        put16(b, v);
    }
    if (glyph.parts.empty()) {
        put16(b, glyph.points - 1); // one contour, no instructions
        put16(b, 0);
        for (int i = 0; i < 4; ++i) {
            b.push_back(1); // on the curve, coordinates in two bytes
        }
        b.insert(b.end(), std::size_t(glyph.points - 4), 0x31); // on the curve, not moved
        for (int v : {0, glyph.size, 0, -glyph.size, 0, 0, glyph.size, 0}) { // x, then y
            put16(b, v);
        }
        return b;
    }
    for (std::size_t i = 0; i < glyph.parts.size(); ++i) {
        const FontPlan::Part& part = glyph.parts[i];
        const bool more = i + 1 < glyph.parts.size();
        // Offsets in bytes where they fit, as fonts store them.
        const bool words = part.dx != std::int8_t(part.dx) || part.dy != std::int8_t(part.dy);
        put16(b, 0x0002 | (words ? 1 : 0) | (more ? 0x0020 : 0) | (part.scale != 0 ? 0x0008 : 0));
        put16(b, part.glyph);
        if (words) {
            put16(b, part.dx);
            put16(b, part.dy);
        } else {
            b.push_back(static_cast<unsigned char>(part.dx));
            b.push_back(static_cast<unsigned char>(part.dy));
        }
        if (part.scale != 0) {
            put16(b, part.scale);
        }
    }
    return b;
}

} // namespace

std::vector<unsigned char> buildFont(const FontPlan& plan) {
    const int count = int(plan.glyphs.size());
    std::vector<std::pair<std::string, Bytes>> tables;

    Bytes glyf, loca;
    for (const FontPlan::Glyph& glyph : plan.glyphs) {
        put32(loca, std::uint32_t(glyf.size()));
        const Bytes bytes = glyphBytes(glyph);
        glyf.insert(glyf.end(), bytes.begin(), bytes.end());
    }
    put32(loca, std::uint32_t(glyf.size()));

    // cmap: one Unicode subtable of format 4, codes 0x21... to glyphs 1...
    Bytes cmap;
    put16(cmap, 0);
    put16(cmap, 1);
    put16(cmap, 3), put16(cmap, 1), put32(cmap, 12);
    const int last = std::min(0x21 + count - 2, 0xFFFE);
    put16(cmap, 4), put16(cmap, 32), put16(cmap, 0);
    put16(cmap, 4), put16(cmap, 4), put16(cmap, 1), put16(cmap, 0); // two segments
    put16(cmap, last), put16(cmap, 0xFFFF), put16(cmap, 0);         // ends, pad
    put16(cmap, 0x21), put16(cmap, 0xFFFF);                         // starts
    put16(cmap, 0x10000 - 0x20), put16(cmap, 1);                    // deltas
    put16(cmap, 0), put16(cmap, 0);                                 // range offsets

    Bytes head(54, 0);
    head[1] = 1;                                   // version 1.0
    head[12] = 0x5F, head[13] = 0x0F, head[14] = 0x3C, head[15] = 0xF5;
    head[18] = static_cast<unsigned char>(plan.unitsPerEm >> 8);
    head[19] = static_cast<unsigned char>(plan.unitsPerEm & 0xFF);
    head[51] = 1;                                  // long loca entries

    Bytes hhea;
    put32(hhea, 0x00010000u);
    put16(hhea, plan.ascent), put16(hhea, plan.descent), put16(hhea, 0);
    hhea.resize(34, 0);
    put16(hhea, count);

    Bytes hmtx, maxp;
    for (int i = 0; i < count; ++i) {
        put16(hmtx, 600), put16(hmtx, 0);
    }
    put32(maxp, 0x00005000u);
    put16(maxp, count);

    tables = {{"cmap", cmap}, {"glyf", glyf}, {"head", head}, {"hhea", hhea},
              {"hmtx", hmtx}, {"loca", loca}, {"maxp", maxp}};
    if (plan.cff) {
        tables.push_back({"CFF ", {}});
    }

    Bytes font;
    put32(font, 0x00010000u);
    put16(font, int(tables.size()));
    put16(font, 0), put16(font, 0), put16(font, 0);
    std::uint32_t at = 12 + 16 * std::uint32_t(tables.size());
    for (const auto& [tag, bytes] : tables) {
        font.insert(font.end(), tag.begin(), tag.end());
        put32(font, 0); // no checksums
        const auto moved = plan.entryOffset.find(tag);
        put32(font, moved != plan.entryOffset.end() ? moved->second : at);
        put32(font, std::uint32_t(bytes.size()));
        at += (std::uint32_t(bytes.size()) + 3) & ~3u;
    }
    for (const auto& table : tables) {
        font.insert(font.end(), table.second.begin(), table.second.end());
        font.resize((font.size() + 3) & ~std::size_t(3), 0);
    }
    return font;
}

FontPlan compositeChain(int links, bool bottomFirst) {
    FontPlan plan;
    if (bottomFirst) {
        plan.glyphs.push_back({});
    }
    for (int i = 1; i <= links; ++i) {
        plan.glyphs.push_back({{{bottomFirst ? i : i + 1, 1, 0, 0}}, 500});
    }
    if (!bottomFirst) {
        plan.glyphs.push_back({});
    }
    return plan;
}

FontPlan compositeFan(int outer, int inner) {
    FontPlan plan;
    plan.glyphs.push_back({std::vector<FontPlan::Part>(std::size_t(outer), {2, 0, 0, 0}), 500});
    plan.glyphs.push_back({std::vector<FontPlan::Part>(std::size_t(inner), {3, 0, 0, 0}), 500});
    plan.glyphs.push_back({});
    return plan;
}

} // namespace testsupport
