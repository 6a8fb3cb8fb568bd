#include "engine/TextRenderer.h"

#include "engine/FontDescription.h"
#include "engine/Shader.h"
#include "engine/Texture.h"

#include <fstream>
#include <iostream>
#include <string>

TextRenderer textRenderer;

namespace {

const char* const kTextureDirectory = "data/textures/";

std::unique_ptr<Glyph> makeGlyph(const GlyphRecord& record, const Texture* texture) {
    auto glyph = std::make_unique<Glyph>();
    glyph->code = record.code;
    glyph->advance = record.advance;
    glyph->quad = std::make_unique<Sprite>();
    glyph->quad->setQuadFromPixels(
        texture, {record.planeLeft, record.planeBottom, record.planeRight, record.planeTop},
        {record.atlasLeft, record.atlasBottom, record.atlasRight, record.atlasTop});
    return glyph;
}

} // namespace

void TextRenderer::init() {
    shader = Shader::load("text.glsl");
}

void TextRenderer::loadFont(const char* textureName, const char* csvName) {
    // The texture comes first: every glyph quad needs its size.
    fontTexture = Texture::load(textureName);

    const std::string path = kTextureDirectory + std::string(csvName != nullptr ? csvName : "");
    std::ifstream file(path);
    if (!file.is_open()) {
        return;
    }
    const FontDescription description = parseFontDescription(file);
    for (const GlyphRecord& record : description.glyphs) {
        // A repeated code: the later line wins.
        glyphs[static_cast<std::uint32_t>(record.code)] = makeGlyph(record, fontTexture);
    }
    if (description.malformed) {
        std::cerr << "Malformed glyph in \"" << path << "\" at line "
                  << description.malformedLineNumber
                  << ", the rest of the font is skipped: " << description.malformedLine
                  << std::endl;
    }
}
