#include "velmora/TextRenderer.h"

#include "velmora/Camera.h"
#include "engine/DataDirectory.h"
#include "engine/FontDescription.h"
#include "engine/Glyph.h"
#include "engine/GlState.h"
#include "engine/Utf8.h"
#include "velmora/Shader.h"
#include "velmora/SpriteBatch.h"
#include "velmora/Texture.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <string>

namespace velmora {

TextRenderer textRenderer;

namespace {

constexpr DataFolder kTextureDirectory{"textures/"};

// Stands in for a character the font has no glyph for, and for each byte
// that is not part of well-formed UTF-8.
constexpr char32_t kReplacement = U'?';
// The advance of a skipped character when the font has no space either, in ems.
constexpr float kFallbackAdvance = 0.5f;
// A tab advances the pen to the next multiple of this many spaces.
constexpr int kTabSpaces = 4;
constexpr float kTabRounding = 1e-4f;

std::unique_ptr<Glyph> makeGlyph(const GlyphRecord& record, const Texture* texture) {
    auto glyph = std::make_unique<Glyph>();
    glyph->code = record.code;
    glyph->advance = record.advance;
    glyph->plane = {record.planeLeft, record.planeBottom, record.planeRight, record.planeTop};
    const Rect pixels{record.atlasLeft, record.atlasBottom, record.atlasRight, record.atlasTop};
    glyph->texCoords = pixelTexCoords(texture, pixels);
    glyph->quad = std::make_unique<Sprite>();
    glyph->quad->setQuadFromPixels(texture, glyph->plane, pixels);
    return glyph;
}

bool hasArea(const Rect& rect) {
    return rect.right > rect.left && rect.top > rect.bottom;
}

// A 1×1 opaque white texture: sampled anywhere it gives the vertex colour.
std::unique_ptr<Texture> makeWhiteTexture() {
    auto texture = std::make_unique<Texture>();
    const unsigned char white[4] = {255, 255, 255, 255};
    glCreateTextures(GL_TEXTURE_2D, 1, &texture->textureId);
    glTextureStorage2D(texture->textureId, 1, GL_RGBA8, 1, 1);
    const UnpackStateKeeper unpackState;
    glTextureSubImage2D(texture->textureId, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, white);
    texture->width = 1;
    texture->height = 1;
    return texture;
}

// Text switches to its own program; whatever drew before it (the game's
// sprites) finds the program as it left it. The batch puts back the rest.
class ProgramKeeper {
  public:
    ProgramKeeper() { glGetIntegerv(GL_CURRENT_PROGRAM, &program); }
    ~ProgramKeeper() { glUseProgram(static_cast<GLuint>(program)); }
    ProgramKeeper(const ProgramKeeper&) = delete;
    ProgramKeeper& operator=(const ProgramKeeper&) = delete;

  private:
    GLint program = 0;
};

} // namespace

TextRenderer::TextRenderer() = default;
TextRenderer::~TextRenderer() = default;

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
    if (!glyphs.empty()) {
        ascent = descent = 0.0f;
        for (const auto& entry : glyphs) {
            ascent = std::max(ascent, entry.second->plane.top);
            descent = std::min(descent, entry.second->plane.bottom);
        }
    }
    if (description.malformed) {
        std::cerr << "Malformed glyph in \"" << path << "\" at line "
                  << description.malformedLineNumber
                  << ", the rest of the font is skipped: " << description.malformedLine
                  << std::endl;
    }
}

const Glyph* TextRenderer::glyphFor(char32_t code) const {
    auto found = glyphs.find(static_cast<std::uint32_t>(code));
    if (found == glyphs.end()) {
        found = glyphs.find(kReplacement);
    }
    return found != glyphs.end() ? found->second.get() : nullptr;
}

float TextRenderer::spaceAdvance() const {
    const auto space = glyphs.find(static_cast<std::uint32_t>(' '));
    return space != glyphs.end() ? space->second->advance : kFallbackAdvance;
}

Vec2 TextRenderer::layOut(std::string_view text, float x, float y, float size, const Vec4& colour,
                          SpriteBatch* into) const {
    if (text.empty()) {
        return {};
    }
    const float lineHeight = ascent - descent;
    float penX = 0.0f; // in ems from the line's start
    float widest = 0.0f;
    int line = 0;
    const float tabWidth = kTabSpaces * spaceAdvance();
    for (std::size_t at = 0; at < text.size();) {
        const char32_t character = nextCodePoint(text, at, kReplacement);
        if (character == U'\n') {
            widest = std::max(widest, penX);
            penX = 0.0f;
            ++line;
            continue;
        }
        if (character == U'\t') {
            if (tabWidth > 0.0f) {
                // A pen on a stop, give or take the rounding of the advances
                // that led there, moves on to the next one.
                const float stops = std::floor(penX / tabWidth + kTabRounding);
                penX = (stops + 1.0f) * tabWidth;
            }
            continue;
        }
        const Glyph* glyph = glyphFor(character);
        if (glyph == nullptr) {
            penX += spaceAdvance();
            continue;
        }
        // A space's quad is empty: it only advances.
        if (into != nullptr && hasArea(glyph->plane)) {
            const float baseline = y - size * (ascent + static_cast<float>(line) * lineHeight);
            const Rect& p = glyph->plane;
            into->addQuad({x + (penX + p.left) * size, baseline + p.bottom * size,
                           x + (penX + p.right) * size, baseline + p.top * size},
                          glyph->texCoords, colour);
        }
        penX += glyph->advance;
    }
    widest = std::max(widest, penX);
    return {widest * size, static_cast<float>(line + 1) * lineHeight * size};
}

Vec2 TextRenderer::measureText(std::string_view text, float size) const {
    return layOut(text, 0.0f, 0.0f, size, {}, nullptr);
}

bool TextRenderer::readyToDraw() {
    if (shader == nullptr || fontTexture == nullptr) {
        return false;
    }
    if (!batch) {
        batch = std::make_unique<SpriteBatch>();
        // The text program cuts glyphs out at half coverage.
        batch->setBlended(false);
        panelTexture = makeWhiteTexture();
    }
    batch->clear();
    return true;
}

void TextRenderer::drawBatch(const Camera& camera) {
    if (batch->size() == 0) {
        return;
    }
    const ProgramKeeper keeper;
    batch->draw(camera, *shader);
}

void TextRenderer::drawText(const Camera& camera, std::string_view text, float x, float y,
                            float size, const Vec4& colour) {
    if (!readyToDraw()) {
        return;
    }
    batch->setTexture(fontTexture);
    layOut(text, x, y, size, colour, batch.get());
    drawBatch(camera);
}

void TextRenderer::drawPanel(const Camera& camera, const Rect& rect, const Vec4& colour) {
    if (!readyToDraw()) {
        return;
    }
    batch->setTexture(panelTexture.get());
    batch->addQuad(rect, {0.5f, 0.5f, 0.5f, 0.5f}, {colour.x, colour.y, colour.z, 1.0f});
    drawBatch(camera);
}

std::size_t TextRenderer::drawCalls() const {
    return batch ? batch->drawCalls() : 0;
}

} // namespace velmora
