#include "velmora/Sprite.h"

#include "engine/AtlasDescription.h"
#include "engine/AtlasStorage.h"
#include "engine/DataDirectory.h"
#include "velmora/Shader.h"
#include "velmora/Texture.h"

#include <GL/glew.h>

#include <cstddef>
#include <fstream>
#include <iostream>

namespace velmora {

std::map<std::string, Sprite*> spriteRegistry;

namespace {

constexpr DataFolder kTextureDirectory{"textures/"};

constexpr Vec4 kWhite{1.0f, 1.0f, 1.0f, 1.0f};

void setAttribute(GLuint vertexArray, GLuint location, GLint components, GLuint offset) {
    glEnableVertexArrayAttrib(vertexArray, location);
    glVertexArrayAttribFormat(vertexArray, location, components, GL_FLOAT, GL_FALSE, offset);
    glVertexArrayAttribBinding(vertexArray, location, 0);
}

// A texture that failed to load is 0×0; its quads get texture coordinates of
// 0 rather than the infinities of a division by zero.
float fraction(float value, float size) {
    return size > 0.0f ? value / size : 0.0f;
}

} // namespace

void setSpriteVertexLayout(unsigned int vertexArray, unsigned int vertexBuffer,
                           unsigned int indexBuffer) {
    glVertexArrayElementBuffer(vertexArray, indexBuffer);
    setAttribute(vertexArray, 0, 3, offsetof(SpriteVertex, position));
    setAttribute(vertexArray, 1, 4, offsetof(SpriteVertex, colour));
    setAttribute(vertexArray, 2, 2, offsetof(SpriteVertex, texCoord));
    glVertexArrayVertexBuffer(vertexArray, 0, vertexBuffer, 0, sizeof(SpriteVertex));
}

Sprite::Sprite() : textures(1, nullptr), model(identityMatrix()) {
    glCreateVertexArrays(1, &vertexArray);
    glCreateBuffers(1, &vertexBuffer);
    glCreateBuffers(1, &indexBuffer);
}

Rect pixelTexCoords(const Texture* texture, const Rect& pixelRect) {
    const float width = texture != nullptr ? static_cast<float>(texture->width) : 0.0f;
    const float height = texture != nullptr ? static_cast<float>(texture->height) : 0.0f;
    // Pixel rows count up from the image's bottom edge; the texture holds the
    // top row at v = 0.
    return {fraction(pixelRect.left, width), fraction(height - pixelRect.bottom, height),
            fraction(pixelRect.right, width), fraction(height - pixelRect.top, height)};
}

int Sprite::loadFromAtlas(std::string spriteName, std::string atlasName, std::string fileName) {
    std::ifstream description;
    if (!openAtlasDescription(atlasName, description)) {
        return kNoDescription;
    }
    Texture* atlas = atlasTexture(atlasName);

    AtlasEntry entry;
    const bool found = findAtlasEntry(description, fileName, entry, std::cerr);
    if (found) {
        const Rect uv = pictureTexCoords(entry);
        const Vec3 corners[4] = {{0.0f, 0.0f, 0.0f},
                                 {entry.w, 0.0f, 0.0f},
                                 {entry.w, entry.h, 0.0f},
                                 {0.0f, entry.h, 0.0f}};
        const Vec2 uvs[4] = {
            {uv.left, uv.bottom}, {uv.right, uv.bottom}, {uv.right, uv.top}, {uv.left, uv.top}};
        setQuad(corners, uvs);
        textures[0] = atlas;
        uploadGeometry();
    } else {
        std::cerr << "No picture \"" << fileName << "\" in the atlas description \""
                  << kTextureDirectory << atlasName << ".txt\"" << std::endl;
    }

    if (!spriteName.empty()) {
        spriteRegistry[spriteName] = this;
    }
    return found ? kLoaded : kNoPicture;
}

void Sprite::setQuadFromPixels(const Texture* texture, const Rect& positionRect,
                               const Rect& pixelRect) {
    const Rect uv = pixelTexCoords(texture, pixelRect);
    const Rect& p = positionRect;
    const Vec3 corners[4] = {{p.left, p.top, 0.0f},
                             {p.right, p.top, 0.0f},
                             {p.right, p.bottom, 0.0f},
                             {p.left, p.bottom, 0.0f}};
    const Vec2 uvs[4] = {
        {uv.left, uv.top}, {uv.right, uv.top}, {uv.right, uv.bottom}, {uv.left, uv.bottom}};
    setQuad(corners, uvs);
    uploadGeometry();
}

void Sprite::setQuad(const Vec3 (&corners)[4], const Vec2 (&uvs)[4]) {
    // A sprite holds one quad: building again replaces it rather than adding
    // a second quad whose indices would point at the first one's vertices.
    positions.assign(corners, corners + 4);
    texCoords.assign(uvs, uvs + 4);
    colors.assign(4, kWhite);
    indices = {0, 1, 2, 2, 3, 0};
}

void Sprite::uploadGeometry() {
    const std::size_t count = positions.size();
    bool valid = colors.size() >= count && texCoords.size() >= count;
    for (std::uint32_t index : indices) {
        valid = valid && index < count;
    }
    if (!valid) {
        drawCount = 0;
        return;
    }

    std::vector<SpriteVertex> staging(count);
    for (std::size_t i = 0; i < count; ++i) {
        staging[i] = {{positions[i].x, positions[i].y, positions[i].z},
                      {colors[i].x, colors[i].y, colors[i].z, colors[i].w},
                      {texCoords[i].x, texCoords[i].y}};
    }
    glNamedBufferData(vertexBuffer, static_cast<GLsizeiptr>(count * sizeof(SpriteVertex)),
                      staging.data(), GL_STATIC_DRAW);
    glNamedBufferData(indexBuffer, static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
                      indices.data(), GL_STATIC_DRAW);
    setSpriteVertexLayout(vertexArray, vertexBuffer, indexBuffer);
    drawCount = static_cast<int>(indices.size());
}

void Sprite::resetTransform() {
    model = identityMatrix();
}

void Sprite::translate(float x, float y, float z) {
    translateMatrix(model, x, y, z);
}

void Sprite::draw(const Shader* shader) const {
    if (shader == nullptr) {
        return;
    }
    glUniformMatrix4fv(glGetUniformLocation(shader->programId, "modelMatrix"), 1, GL_FALSE,
                       model.data());
    if (drawCount == 0) {
        return;
    }
    glBindVertexArray(vertexArray);
    glDrawElements(GL_TRIANGLES, drawCount, GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
}

} // namespace velmora
