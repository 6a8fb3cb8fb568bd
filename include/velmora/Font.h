// Font: text in a TrueType or OpenType font (TrueType outlines), at one
// pixel size at a time, drawn through a SpriteBatch of its own.
//
//     Font title, body;                           // each its own font and size
//     title.load("DejaVuSans.ttf", 48);           // DIR/fonts/DejaVuSans.ttf
//     body.load("/usr/share/fonts/x.ttf", 18);    // an absolute path as it is
//     title.draw(camera, "Καλημέρα, мир", 40, 560, white);
//     const Vec2 box = body.measure(text, {300});  // wrapped at 300 units
//     body.draw(camera, text, 400, 300, white, {300, TextAlign::Centre});
//     title.setPixelSize(72);                     // after a resize: the file stays
//
// Glyphs are rasterised by stb_truetype the first time they are drawn, into
// pages of a glyph atlas: a page starts at 256 × 256 texels and doubles,
// width first, up to 2048 × 2048 (or the driver's limit); when the largest
// page is full a new one is started. So any code point the font has can be
// drawn, Latin, Greek, Cyrillic, CJK with a CJK font, and a font holds only
// the glyphs it has drawn. A code point the font lacks is drawn as the
// font's missing-glyph box (its glyph 0); a glyph 0 without an outline is
// drawn as a hollow box of most of the font's ascent, cut, like any glyph,
// to what one page holds.
//
// Units: one pixel of the font is one camera unit, so a camera whose units
// are the window's pixels shows the glyphs texel for texel. Each glyph is
// placed a whole number of units from its line's start, and baselines a
// whole number below y, so text drawn at whole coordinates stays sharp.
// Kerning comes from the font's kern table.
//
// Ownership: a font owns its pages' textures and its batch, and shares its
// file. A font file is kept in memory once, however many fonts use it: fonts
// loaded from one file (the same file on disk, not changed since) share its
// bytes and their checks, which go with the last of them. So several fonts
// of one file at different sizes cost one copy of it, and setPixelSize()
// changes a font's size without reading anything. A font is move-only, and
// several fonts, of any sizes, live side by side. Destroying one deletes its
// textures and batch if a context is current. load(), setPixelSize(),
// measure() and the layout need no context; draw() does. Fonts belong to
// the main thread, as every drawing object does.
#pragma once

#include "velmora/Math.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

class Camera;
class Texture;

// Where a line of text lies relative to draw()'s x: its left end, its
// middle, or its right end there.
enum class TextAlign { Left, Centre, Right };

// How draw() and measure() lay text out. The defaults: one line per '\n',
// left-aligned, the font's own line height.
struct TextOptions {
    // Lines break at the last space that keeps them within this many camera
    // units; a word longer than that breaks between its characters, so no
    // line is wider (but for a single glyph wider than it). Blanks that end a
    // line past this width do not count in its width. 0: no wrapping.
    float wrapWidth = 0.0f;
    TextAlign align = TextAlign::Left;
    // From one baseline to the next, in camera units; 0 takes the font's own
    // (ascent − descent + line gap, at its size).
    float lineHeight = 0.0f;
};

class Font {
  public:
    // The most pixels per em a font is loaded at.
    static constexpr float kLargestPixelSize = 1024.0f;

    Font();
    // Deletes the pages' textures and the batch if a context is current.
    ~Font();
    // The moved-from font is empty, as a new one: it draws nothing.
    Font(Font&& other) noexcept;
    Font& operator=(Font&& other) noexcept;
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Reads the font file `path`, relative to "DIR/fonts/" (DIR being the
    // settings' dataDirectory, see Application.h) or absolute, to be drawn
    // `pixelSize` camera units per em (more than 0, at most
    // kLargestPixelSize). Every table the font's glyphs are read from is
    // checked against the file's size first: a file that cannot be opened,
    // is no font, is cut short or points past its end, a CFF font or a
    // font collection, and a font one of whose glyphs would cost too much to
    // draw (composites nested more than 8 deep or in a loop, more than 1024
    // components or 65535 points in one drawn glyph) is refused with one line
    // on standard error naming the file and why, and false; the font then stays as it was. A loaded font
    // forgets the glyphs of the one before. A file some font holds already,
    // unchanged on disk since (the same size and time of writing), is not
    // read again: the two share it. Needs no context.
    bool load(const std::string& path, float pixelSize);

    // Draws from now on at `pixelSize` camera units per em (more than 0, at
    // most kLargestPixelSize), keeping the file: the metrics and measure()
    // follow at once, and the glyphs are rasterised anew as they are drawn.
    // The pages go, their textures deleted if a context is current (see
    // pageTexture); the same size keeps them. False, with one line on
    // standard error and the font unchanged, when no font is loaded or the
    // size is out of range. Needs no context.
    bool setPixelSize(float pixelSize);

    // The bytes of font files in memory, over every font of the process,
    // each file counted once however many fonts share it.
    static std::size_t fileMemory();

    // Whether a font is loaded.
    bool loaded() const;
    // The size it draws at, and its metrics in camera units: ascent
    // above the baseline, descent below it (negative), and the line height
    // (ascent − descent + line gap). All 0 before a load.
    float pixelSize() const;
    float ascent() const;
    float descent() const;
    float lineHeight() const;

    // The box draw() fills with `text` laid out by `options`: the widest
    // line's advances (kerning included), by the number of lines times the
    // line height. Empty text measures 0 × 0. Needs no context.
    Vec2 measure(std::string_view text, const TextOptions& options = {}) const;

    // Draws the UTF-8 `text` in `camera`'s units (y up) with its box's top
    // edge at y: the first baseline lies ascent() below it. Each line lies
    // left of, about, or right of x as options.align says. '\n' starts a
    // new line, '\t' advances to the next multiple of four spaces, '\r' is
    // passed over; a byte that is not well-formed UTF-8 is drawn as U+FFFD,
    // or the missing-glyph box where the font lacks that. Each glyph is
    // tinted by `colour` (straight alpha). Glyphs not drawn before are
    // rasterised now and their pages updated.
    //
    // One draw call per atlas page the text uses (one for most text),
    // through the font's SpriteBatch (BlendMode::Alpha): the OpenGL state a
    // batch draw sets and restores (docs/engine.md, "OpenGL state") is set
    // and restored alike, and the texture uploads keep the unpack state as
    // a load does. Needs a current context; does nothing when no font is
    // loaded.
    void draw(const Camera& camera, std::string_view text, float x, float y, const Vec4& colour,
              const TextOptions& options = {});

    // Atlas pages made so far, and one page's size in texels (0 × 0 for a
    // page it does not have).
    std::size_t pageCount() const;
    Vec2 pageSize(std::size_t page) const;
    // A page's texture as last drawn, one 8-bit channel of coverage read as
    // white with that alpha (for a batch's setTexture, to look at the
    // atlas), or null for a page it does not have. It belongs to the font,
    // which deletes it when destroyed, loaded anew or given a new size; a
    // page that has grown gets a new texture object at its next draw.
    const Texture* pageTexture(std::size_t page) const;
    // Glyphs rasterised so far, and draw calls issued so far.
    std::size_t glyphCount() const;
    std::size_t drawCalls() const;

    struct State; // the engine's workings

  private:
    const State& current() const;
    std::unique_ptr<State> state; // null when nothing is loaded

};

} // namespace velmora
