#include "engine/SpriteBatch.h"

#include "engine/Shader.h"
#include "engine/Texture.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>

namespace {

constexpr Vec4 kWhite{1.0f, 1.0f, 1.0f, 1.0f};
constexpr std::size_t kVerticesPerQuad = 4;
constexpr std::size_t kIndicesPerQuad = 6;

} // namespace

SpriteBatch::SpriteBatch() {
    glCreateVertexArrays(1, &vertexArray);
    glCreateBuffers(1, &vertexBuffer);
    glCreateBuffers(1, &indexBuffer);
    setSpriteVertexLayout(vertexArray, vertexBuffer, indexBuffer);
    vertices.reserve(kInitialCapacity * kVerticesPerQuad);
    grow(kInitialCapacity);
}

bool SpriteBatch::loadAtlas(const std::string& atlasName) {
    std::ifstream description;
    if (!openAtlasDescription(atlasName, description)) {
        return false;
    }
    std::vector<AtlasEntry> read;
    visitAtlasEntries(description, std::cerr, [&](AtlasEntry& entry) {
        read.push_back(std::move(entry));
        return false; // every line, not just the first match
    });
    pictures = std::move(read);
    sourceTexture = atlasTexture(atlasName);
    return true;
}

int SpriteBatch::findPicture(const std::string& fileName) const {
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (atlasNameMatches(pictures[i].name, fileName)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

Vec2 SpriteBatch::pictureSize(int picture) const {
    if (picture < 0 || static_cast<std::size_t>(picture) >= pictures.size()) {
        return {};
    }
    return {pictures[picture].w, pictures[picture].h};
}

void SpriteBatch::clear() {
    vertices.clear();
    uploaded = false;
}

void SpriteBatch::add(int picture, float x, float y, float width, float height) {
    if (picture < 0 || static_cast<std::size_t>(picture) >= pictures.size()) {
        return;
    }
    addQuad({x, y, x + width, y + height}, pictureTexCoords(pictures[picture]), kWhite);
}

void SpriteBatch::addQuad(const Rect& positionRect, const Rect& uvRect, const Vec4& colour) {
    const Rect& p = positionRect;
    const Rect& uv = uvRect;
    const Vec4& c = colour;
    // Lower-left, lower-right, upper-right, upper-left, as an atlas sprite.
    vertices.push_back({{p.left, p.bottom, 0.0f}, {c.x, c.y, c.z, c.w}, {uv.left, uv.bottom}});
    vertices.push_back({{p.right, p.bottom, 0.0f}, {c.x, c.y, c.z, c.w}, {uv.right, uv.bottom}});
    vertices.push_back({{p.right, p.top, 0.0f}, {c.x, c.y, c.z, c.w}, {uv.right, uv.top}});
    vertices.push_back({{p.left, p.top, 0.0f}, {c.x, c.y, c.z, c.w}, {uv.left, uv.top}});
    uploaded = false;
}

void SpriteBatch::grow(std::size_t quads) {
    std::size_t newCapacity = gpuCapacity > 0 ? gpuCapacity : kInitialCapacity;
    while (newCapacity < quads) {
        newCapacity *= 2;
    }
    // The same two triangles for every quad; written once per growth, never
    // per frame.
    std::vector<std::uint32_t> indices(newCapacity * kIndicesPerQuad);
    for (std::size_t quad = 0; quad < newCapacity; ++quad) {
        const auto first = static_cast<std::uint32_t>(quad * kVerticesPerQuad);
        const std::uint32_t pattern[kIndicesPerQuad] = {first,     first + 1, first + 2,
                                                        first + 2, first + 3, first};
        std::copy(pattern, pattern + kIndicesPerQuad, indices.begin() + quad * kIndicesPerQuad);
    }
    glNamedBufferData(indexBuffer, static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
                      indices.data(), GL_STATIC_DRAW);
    glNamedBufferData(
        vertexBuffer,
        static_cast<GLsizeiptr>(newCapacity * kVerticesPerQuad * sizeof(SpriteVertex)), nullptr,
        GL_DYNAMIC_DRAW);
    gpuCapacity = newCapacity;
}

void SpriteBatch::upload() {
    if (uploaded) {
        return;
    }
    if (size() > gpuCapacity) {
        grow(size());
    }
    glNamedBufferSubData(vertexBuffer, 0,
                         static_cast<GLsizeiptr>(vertices.size() * sizeof(SpriteVertex)),
                         vertices.data());
    uploaded = true;
}

void SpriteBatch::draw(const Shader* shader) {
    if (shader == nullptr || vertices.empty()) {
        return;
    }
    upload();
    static const Matrix4 identity = identityMatrix();
    glUniformMatrix4fv(glGetUniformLocation(shader->programId, "modelMatrix"), 1, GL_FALSE,
                       identity.data());
    glUniform1i(glGetUniformLocation(shader->programId, "texture"), 0);
    if (sourceTexture != nullptr) {
        sourceTexture->bind();
    }
    glBindVertexArray(vertexArray);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(size() * kIndicesPerQuad), GL_UNSIGNED_INT,
                   nullptr);
    ++drawCallCount;
    glBindVertexArray(0);
}
