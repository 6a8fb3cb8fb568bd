#include "engine/SpriteBatch.h"

#include "engine/Camera.h"
#include "engine/Shader.h"
#include "engine/Texture.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <utility>

namespace {

constexpr std::size_t kVerticesPerQuad = 4;
constexpr std::size_t kIndicesPerQuad = 6;

// The description gives rectangles as fractions of the image, rounded to a
// few digits; a side within this many texels of a whole number is that number.
constexpr float kWholeTexelSlack = 0.01f;

float texels(float fraction, unsigned int imageSide) {
    const float exact = fraction * static_cast<float>(imageSide);
    const float whole = std::round(exact);
    return std::fabs(exact - whole) <= kWholeTexelSlack ? whole : exact;
}

} // namespace

SpriteBatch::SpriteBatch() {
    glCreateVertexArrays(1, &vertexArray);
    glCreateBuffers(1, &vertexBuffer);
    glCreateBuffers(1, &indexBuffer);
    setSpriteVertexLayout(vertexArray, vertexBuffer, indexBuffer);
    vertices.reserve(kInitialCapacity * kVerticesPerQuad);
    indices.reserve(kInitialCapacity * kIndicesPerQuad);
    grow(kInitialCapacity * kVerticesPerQuad, kInitialCapacity * kIndicesPerQuad);
}

SpriteBatch::~SpriteBatch() {
    release();
}

SpriteBatch::SpriteBatch(SpriteBatch&& other) noexcept {
    takeFrom(other);
}

SpriteBatch& SpriteBatch::operator=(SpriteBatch&& other) noexcept {
    if (this != &other) {
        release();
        takeFrom(other);
    }
    return *this;
}

void SpriteBatch::takeFrom(SpriteBatch& other) noexcept {
    vertexArray = std::exchange(other.vertexArray, 0u);
    vertexBuffer = std::exchange(other.vertexBuffer, 0u);
    indexBuffer = std::exchange(other.indexBuffer, 0u);
    vertices = std::exchange(other.vertices, {});
    indices = std::exchange(other.indices, {});
    pictures = std::exchange(other.pictures, {});
    sourceTexture = std::exchange(other.sourceTexture, nullptr);
    shapeCount = std::exchange(other.shapeCount, 0);
    vertexCapacity = std::exchange(other.vertexCapacity, 0);
    indexCapacity = std::exchange(other.indexCapacity, 0);
    uploaded = std::exchange(other.uploaded, false);
    drawCallCount = std::exchange(other.drawCallCount, 0);
}

void SpriteBatch::release() {
    // A batch that outlives its window (the text renderer's, destroyed at
    // exit after the application) has nothing left to delete: the context
    // took its objects with it.
    if (vertexArray == 0 || glfwGetCurrentContext() == nullptr) {
        vertexArray = vertexBuffer = indexBuffer = 0;
        return;
    }
    glDeleteVertexArrays(1, &vertexArray);
    const GLuint buffers[2] = {vertexBuffer, indexBuffer};
    glDeleteBuffers(2, buffers);
    vertexArray = vertexBuffer = indexBuffer = 0;
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
    sourceTexture = atlasTexture(atlasName);
    const unsigned int width = sourceTexture != nullptr ? sourceTexture->width : 0;
    const unsigned int height = sourceTexture != nullptr ? sourceTexture->height : 0;
    pictures.clear();
    for (AtlasEntry& entry : read) {
        Picture picture;
        picture.size = {texels(entry.w, width), texels(entry.h, height)};
        picture.uv = pictureTexCoords(entry);
        picture.entry = std::move(entry);
        pictures.push_back(std::move(picture));
    }
    return true;
}

int SpriteBatch::findPicture(const std::string& fileName) const {
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (atlasNameMatches(pictures[i].entry.name, fileName)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

Vec2 SpriteBatch::pictureSize(int picture) const {
    if (picture < 0 || static_cast<std::size_t>(picture) >= pictures.size()) {
        return {};
    }
    return pictures[picture].size;
}

void SpriteBatch::clear() {
    vertices.clear();
    indices.clear();
    shapeCount = 0;
    uploaded = false;
}

void SpriteBatch::add(int picture, float x, float y, float rotation, float scaleX, float scaleY,
                      float originX, float originY, const Vec4& tint) {
    if (picture < 0 || static_cast<std::size_t>(picture) >= pictures.size()) {
        return;
    }
    const Picture& p = pictures[picture];
    const float c = std::cos(rotation);
    const float s = std::sin(rotation);
    // A point of the picture, texels from its lower-left corner, placed.
    auto place = [&](float px, float py, float u, float v) {
        const float lx = (px - originX) * scaleX;
        const float ly = (py - originY) * scaleY;
        vertices.push_back(
            {{x + c * lx - s * ly, y + s * lx + c * ly, 0.0f}, {tint.x, tint.y, tint.z, tint.w}, {u, v}});
    };
    const auto first = static_cast<std::uint32_t>(vertices.size());
    place(0.0f, 0.0f, p.uv.left, p.uv.bottom);
    place(p.size.x, 0.0f, p.uv.right, p.uv.bottom);
    place(p.size.x, p.size.y, p.uv.right, p.uv.top);
    place(0.0f, p.size.y, p.uv.left, p.uv.top);
    for (const std::uint32_t corner : {0u, 1u, 2u, 2u, 3u, 0u}) {
        indices.push_back(first + corner);
    }
    ++shapeCount;
    uploaded = false;
}

void SpriteBatch::addQuad(const Rect& positionRect, const Rect& uvRect, const Vec4& colour) {
    const Rect& p = positionRect;
    const Rect& uv = uvRect;
    const Vec4& c = colour;
    const auto first = static_cast<std::uint32_t>(vertices.size());
    // Lower-left, lower-right, upper-right, upper-left, as an atlas sprite.
    vertices.push_back({{p.left, p.bottom, 0.0f}, {c.x, c.y, c.z, c.w}, {uv.left, uv.bottom}});
    vertices.push_back({{p.right, p.bottom, 0.0f}, {c.x, c.y, c.z, c.w}, {uv.right, uv.bottom}});
    vertices.push_back({{p.right, p.top, 0.0f}, {c.x, c.y, c.z, c.w}, {uv.right, uv.top}});
    vertices.push_back({{p.left, p.top, 0.0f}, {c.x, c.y, c.z, c.w}, {uv.left, uv.top}});
    for (const std::uint32_t corner : {0u, 1u, 2u, 2u, 3u, 0u}) {
        indices.push_back(first + corner);
    }
    ++shapeCount;
    uploaded = false;
}

void SpriteBatch::grow(std::size_t vertexCount, std::size_t indexCount) {
    // Written once per growth, never per frame.
    if (vertexCount > vertexCapacity) {
        std::size_t newCapacity = vertexCapacity > 0 ? vertexCapacity : kInitialCapacity * 4;
        while (newCapacity < vertexCount) {
            newCapacity *= 2;
        }
        glNamedBufferData(vertexBuffer,
                          static_cast<GLsizeiptr>(newCapacity * sizeof(SpriteVertex)), nullptr,
                          GL_DYNAMIC_DRAW);
        vertexCapacity = newCapacity;
    }
    if (indexCount > indexCapacity) {
        std::size_t newCapacity = indexCapacity > 0 ? indexCapacity : kInitialCapacity * 6;
        while (newCapacity < indexCount) {
            newCapacity *= 2;
        }
        glNamedBufferData(indexBuffer,
                          static_cast<GLsizeiptr>(newCapacity * sizeof(std::uint32_t)), nullptr,
                          GL_DYNAMIC_DRAW);
        indexCapacity = newCapacity;
    }
}

void SpriteBatch::upload() {
    if (uploaded) {
        return;
    }
    grow(vertices.size(), indices.size());
    glNamedBufferSubData(vertexBuffer, 0,
                         static_cast<GLsizeiptr>(vertices.size() * sizeof(SpriteVertex)),
                         vertices.data());
    glNamedBufferSubData(indexBuffer, 0,
                         static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
                         indices.data());
    uploaded = true;
}

void SpriteBatch::draw(const Camera& camera, const Shader& shader) {
    if (indices.empty() || vertexArray == 0) {
        return;
    }
    upload();
    static const Matrix4 identity = identityMatrix();
    const GLuint program = shader.programId;
    glProgramUniformMatrix4fv(program, glGetUniformLocation(program, "modelMatrix"), 1, GL_FALSE,
                              identity.data());
    glProgramUniformMatrix4fv(program, glGetUniformLocation(program, "viewMatrix"), 1, GL_FALSE,
                              camera.view.data());
    glProgramUniformMatrix4fv(program, glGetUniformLocation(program, "projectionMatrix"), 1,
                              GL_FALSE, camera.projection.data());
    glProgramUniform1i(program, glGetUniformLocation(program, "texture"), 0);
    glUseProgram(program);
    if (sourceTexture != nullptr) {
        sourceTexture->bind();
    }
    glBindVertexArray(vertexArray);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, nullptr);
    ++drawCallCount;
    glBindVertexArray(0);
}
