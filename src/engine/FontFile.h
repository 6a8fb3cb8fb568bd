// FontFile: the bytes of one TrueType font, checked before stb_truetype
// reads them, and the few questions Font asks of it. No OpenGL here, so the
// fuzzer (fuzz/truetype_fuzzer.cpp) runs it as the engine does.
//
// stb_truetype trusts a font's offsets: a table directory, a cmap or a loca
// entry that points past the file makes it read past the buffer. open()
// therefore checks, against the file's size, the table directory and every
// table stb_truetype reads (cmap and the subtable it maps with, head, hhea,
// hmtx, maxp, loca, glyf's extent, kern), finding each as stb_truetype
// does, and every glyph's outline: one that stb_truetype would read past its
// bytes, or whose components it would place past 16 bits, is unusable
// (usable()). A font with a glyph that would cost too much to draw
// (components nested in a loop or more than 8 deep, more than 1024
// components or 65535 points in all, each component counted as often as it
// is drawn) is refused. GPOS is not read: kerning comes from the kern table.
// Fonts with CFF outlines and font collections are refused. Nothing changes
// after open(): the const calls may serve several Fonts at once.
#pragma once

#include <stb_truetype.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

class FontFile {
  public:
    // The font's glyphs rasterised, one at a time.
    struct Bitmap {
        int width = 0, height = 0; // pixels; 0 × 0 for a glyph without outline
        int left = 0, top = 0;     // from the pen: right, and up from the baseline
        std::vector<unsigned char> coverage; // rows top first, 0 (none) to 255
    };

    // Takes `bytes` and checks them. False, with `error` saying why in a few
    // words, when they are no font stb_truetype may read; the file is then
    // empty (glyphCount() 0).
    bool open(std::vector<unsigned char> bytes, std::string& error);

    int glyphCount() const { return glyphs; }
    // The glyph of `code`, or 0 (the missing-glyph box) when the font has
    // none or maps it outside its glyphs.
    int glyphIndex(char32_t code) const;
    // Font units per em (16 to 16384), and the vertical metrics in font
    // units, y up: ascent above the baseline, descent below (negative), the
    // gap between lines.
    int unitsPerEm() const { return emUnits; }
    void verticalMetrics(int& ascent, int& descent, int& lineGap) const;
    // The pen's advance after `glyph`, and the kerning between two glyphs,
    // in font units. A glyph outside the font advances 0.
    int advance(int glyph) const;
    int kerning(int left, int right) const;

    // Whether `glyph`'s outline lies within the font's glyph table, as do
    // those of the glyphs it is made of, and its points stay within 16 bits
    // where they are placed; decided by open().
    bool usable(int glyph) const;

    // Rasterises `glyph` at `scale` pixels per font unit into `out`. False
    // for an unusable glyph, or one whose bitmap would be wider or higher
    // than `maxSide` pixels; `out` is then empty.
    bool rasterise(int glyph, float scale, int maxSide, Bitmap& out) const;

  private:
    // A glyph's outline as drawn, its components included as often as they
    // are used: the same whichever glyph it is reached from.
    struct Outline {
        enum class State : std::uint8_t { Unknown, Measuring, Measured };
        State state = State::Unknown;
        bool good = false;
        int depth = 0; // composite levels below it
        std::uint64_t parts = 0, points = 0;
        // Where its points lie, the origin included; font units.
        std::int32_t left = 0, bottom = 0, right = -1, top = -1;
        void include(std::int32_t x, std::int32_t y) {
            if (left > right) {
                left = right = x;
                bottom = top = y;
            }
            left = std::min(left, x), right = std::max(right, x);
            bottom = std::min(bottom, y), top = std::max(top, y);
        }
    };
    // Measures `glyph`, reached `level` components down, and what it is made
    // of. The fault that refuses the font, or null.
    const char* measure(int glyph, int level);
    bool simpleOutline(const unsigned char* g, std::uint32_t length, Outline& outline);
    const char* compositeOutline(const unsigned char* g, std::uint32_t length, int level,
                                 Outline& outline);
    static bool place(const Outline& component, const float t[6], Outline& outline);
    bool glyphBytes(int glyph, std::uint32_t& start, std::uint32_t& length) const;

    std::vector<unsigned char> data;
    stbtt_fontinfo info{};
    std::uint32_t indexMap = 0; // the cmap subtable glyphIndex reads
    int glyphs = 0;
    int emUnits = 0;
    std::uint32_t glyfStart = 0, glyfLength = 0;
    std::vector<Outline> outlines; // one per glyph
    std::vector<unsigned char> pointFlags; // of the outline being measured
};

} // namespace velmora
