// TextRenderer: what the engine needs to draw text with a bitmap font: the
// text shader, the font texture and a table of glyphs, each with its own quad
// cut out of that texture. One process-wide object, constructed before main
// without touching OpenGL and filled during set-up.
#pragma once

#include "engine/Glyph.h"

#include <cstdint>
#include <map>
#include <memory>

class Shader;
class Texture;

class TextRenderer {
  public:
    // Loads the text shader "text.glsl" (null when it cannot be opened).
    void init();

    // Loads the font image "data/textures/" + textureName, then one glyph per
    // line of "data/textures/" + csvName. A malformed line is reported on
    // standard error with its file and line number; reading stops there and
    // the glyphs before it stay. A missing description leaves the table as it
    // was. Needs a current context.
    void loadFont(const char* textureName, const char* csvName);

    Texture* fontTexture = nullptr; // belongs to the texture registry
    Shader* shader = nullptr;       // belongs to the shader registry
    // Character code (a negative code taken as unsigned) -> glyph, owned.
    std::map<std::uint32_t, std::unique_ptr<Glyph>> glyphs;
};

extern TextRenderer textRenderer;
