// TextRenderer: draws text with a bitmap font: the text shader, the font
// texture and a table of glyphs, each with its quad cut out of that texture.
// One process-wide object, constructed before main without touching OpenGL
// and filled during set-up. A UTF-8 string is laid out by the glyphs'
// advances and drawn as one batch of quads with one draw call.
#pragma once

#include "velmora/Math.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

namespace velmora {

class Camera;
struct Glyph; // one character's quad and advance: the engine's workings
class Shader;
class SpriteBatch;
class Texture;

class TextRenderer {
  public:
    TextRenderer();
    ~TextRenderer();

    // Loads the text shader "text.glsl" (null when it cannot be opened).
    void init();

    // Loads the font image "data/textures/" + textureName, then one glyph per
    // line of "data/textures/" + csvName ("data" being the settings'
    // dataDirectory, see Application.h). A malformed line is reported on
    // standard error with its file and line number; reading stops there and
    // the glyphs before it stay. A missing description leaves the table as it
    // was. Needs a current context.
    void loadFont(const char* textureName, const char* csvName);

    // The box that drawText fills, in the units of its camera, laid out
    // exactly as drawText lays it out: the widest line's advances by the
    // number of lines, each line `size` × the font's line height (its
    // tallest glyph top to its lowest glyph bottom, in ems). Empty text
    // measures 0 × 0.
    Vec2 measureText(std::string_view text, float size) const;

    // Draws the UTF-8 `text` in `camera`'s units with the top-left corner of
    // its box at (x, y), one em of the font `size` high, tinted by `colour`.
    // '\n' starts a new line; '\t' moves on to the next multiple of four
    // spaces. A character the font has no glyph for, and each byte that is
    // not well-formed UTF-8, is drawn as '?', or skipped with the advance of
    // a space when the font lacks '?' too.
    // One draw call per string, through the text shader, which is current
    // only meanwhile: the previous program and the texture on unit 0 are
    // restored. Does nothing without a text shader or a font texture.
    void drawText(const Camera& camera, std::string_view text, float x, float y, float size,
                  const Vec4& colour);

    // Fills `rect` (camera units) with the opaque `colour` through the text
    // shader, as a backing panel for text: nothing is blended, so a panel is
    // the way to keep text readable over a busy picture. Same restoring and
    // conditions as drawText.
    void drawPanel(const Camera& camera, const Rect& rect, const Vec4& colour);

    // How many draw calls drawText and drawPanel have issued so far.
    std::size_t drawCalls() const;

    Texture* fontTexture = nullptr; // belongs to the texture registry
    Shader* shader = nullptr;       // belongs to the shader registry
    // Character code (a Unicode code point; a negative code taken as
    // unsigned) -> glyph, owned. Looked up by code point for any code, so a
    // font may hold characters beyond Latin-1.
    std::map<std::uint32_t, std::unique_ptr<Glyph>> glyphs;
    // Font metrics in ems, from the glyph table: the highest glyph top and
    // the lowest glyph bottom relative to the baseline.
    float ascent = 1.0f;
    float descent = 0.0f;

  private:
    const Glyph* glyphFor(char32_t code) const;
    float spaceAdvance() const;
    // Lays `text` out from (x, y); adds its quads to `into` unless it is null.
    // Returns the size of the text's box.
    Vec2 layOut(std::string_view text, float x, float y, float size, const Vec4& colour,
                SpriteBatch* into) const;
    void drawBatch(const Camera& camera);
    bool readyToDraw();

    std::unique_ptr<SpriteBatch> batch;    // made on the first draw, with a context
    std::unique_ptr<Texture> panelTexture; // one opaque white texel, made with the batch
};

extern TextRenderer textRenderer;

} // namespace velmora
