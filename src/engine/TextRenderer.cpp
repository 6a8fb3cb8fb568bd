#include "engine/TextRenderer.h"

#include "engine/Camera.h"
#include "engine/FontDescription.h"
#include "engine/Shader.h"
#include "engine/SpriteBatch.h"
#include "engine/Texture.h"

#include <GL/glew.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>

TextRenderer textRenderer;

namespace {

const char* const kTextureDirectory = "data/textures/";

// Stands in for a byte the font has no glyph for.
constexpr unsigned char kReplacement = '?';
// The advance of a skipped byte when the font has no space either, in ems.
constexpr float kFallbackAdvance = 0.5f;

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
    glTextureSubImage2D(texture->textureId, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, white);
    texture->width = 1;
    texture->height = 1;
    return texture;
}

// Text switches to its own program and texture; whatever drew before it
// (the game's sprites) finds both as it left them.
class DrawingStateKeeper {
  public:
    DrawingStateKeeper() {
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    }
    ~DrawingStateKeeper() {
        glUseProgram(static_cast<GLuint>(program));
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
        glActiveTexture(static_cast<GLenum>(activeUnit));
    }
    DrawingStateKeeper(const DrawingStateKeeper&) = delete;
    DrawingStateKeeper& operator=(const DrawingStateKeeper&) = delete;

  private:
    GLint program = 0;
    GLint activeUnit = GL_TEXTURE0;
    GLint texture = 0;
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

const Glyph* TextRenderer::glyphFor(unsigned char byte) const {
    auto found = glyphs.find(byte);
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
    for (const char character : text) {
        if (character == '\n') {
            widest = std::max(widest, penX);
            penX = 0.0f;
            ++line;
            continue;
        }
        const Glyph* glyph = glyphFor(static_cast<unsigned char>(character));
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
        panelTexture = makeWhiteTexture();
    }
    batch->clear();
    return true;
}

void TextRenderer::drawBatch(const Camera& camera) {
    if (batch->size() == 0) {
        return;
    }
    DrawingStateKeeper keeper;
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
