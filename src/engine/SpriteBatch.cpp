#include "velmora/SpriteBatch.h"

#include "velmora/Camera.h"
#include "velmora/Shader.h"
#include "velmora/Texture.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <utility>

namespace velmora {

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

bool whole(float texels) {
    return texels == std::round(texels);
}

// The full quad as a mesh: corners lower-left, lower-right, upper-right,
// upper-left.
TightMesh fullQuad(const Vec2& size) {
    TightMesh quad;
    quad.points = {{0.0f, 0.0f}, {size.x, 0.0f}, {size.x, size.y}, {0.0f, size.y}};
    quad.triangles = {0, 1, 2, 2, 3, 0};
    return quad;
}

// The alpha the sampler can reach around the picture whose top-left texel
// is (left, top) in `texture`: the picture and a ring of one texel. Texels
// beyond the image count as opaque, which only makes the mesh larger.
PictureAlpha readPictureAlpha(const Texture& texture, int left, int top, int width, int height) {
    PictureAlpha picture;
    picture.width = width;
    picture.height = height;
    picture.alpha.assign(static_cast<std::size_t>(width + 2) * (height + 2), 255);
    GLint swizzle = GL_ALPHA;
    glGetTextureParameteriv(texture.textureId, GL_TEXTURE_SWIZZLE_A, &swizzle);
    int channel = 3;
    switch (swizzle) {
    case GL_RED:
        channel = 0;
        break;
    case GL_GREEN:
        channel = 1;
        break;
    case GL_BLUE:
        channel = 2;
        break;
    case GL_ALPHA:
        channel = 3;
        break;
    default:
        return picture; // a constant alpha: everything may pass
    }
    const int x0 = std::max(left - 1, 0);
    const int y0 = std::max(top - 1, 0);
    const int x1 = std::min(left + width + 1, static_cast<int>(texture.width));
    const int y1 = std::min(top + height + 1, static_cast<int>(texture.height));
    if (x1 <= x0 || y1 <= y0) {
        return picture;
    }
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(x1 - x0) * (y1 - y0) * 4);
    glGetTextureSubImage(texture.textureId, 0, x0, y0, 0, x1 - x0, y1 - y0, 1, GL_RGBA,
                         GL_UNSIGNED_BYTE, static_cast<GLsizei>(rgba.size()), rgba.data());
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            picture.alpha[static_cast<std::size_t>(y - top + 1) * (width + 2) + (x - left + 1)] =
                rgba[(static_cast<std::size_t>(y - y0) * (x1 - x0) + (x - x0)) * 4 + channel];
        }
    }
    return picture;
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
    tightMeshes = std::exchange(other.tightMeshes, true);
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
        picture.quad = fullQuad(picture.size);
        const float left = texels(entry.x, width);
        const float top = texels(entry.y, height);
        if (width > 0 && height > 0 && whole(left) && whole(top) && whole(picture.size.x) &&
            whole(picture.size.y) && picture.size.x > 0.0f && picture.size.y > 0.0f) {
            picture.mesh = computeTightMesh(readPictureAlpha(
                *sourceTexture, static_cast<int>(left), static_cast<int>(top),
                static_cast<int>(picture.size.x), static_cast<int>(picture.size.y)));
            picture.hasMesh = true;
        }
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
    const TightMesh* mesh = tightMesh(picture);
    // Above 1, the tint's alpha lets texels pass that the mesh leaves out.
    if (mesh != nullptr && tint.w <= 1.0f && (rotation == 0.0f || !mesh->alongEdges)) {
        addMesh(p, *mesh, x, y, rotation, scaleX, scaleY, originX, originY, tint);
    } else {
        addMesh(p, p.quad, x, y, rotation, scaleX, scaleY, originX, originY, tint);
    }
}

void SpriteBatch::addMesh(const Picture& picture, const TightMesh& mesh, float x, float y,
                          float rotation, float scaleX, float scaleY, float originX, float originY,
                          const Vec4& tint) {
    const bool upright = rotation == 0.0f;
    const float c = upright ? 1.0f : std::cos(rotation);
    const float s = upright ? 0.0f : std::sin(rotation);
    const Rect& uv = picture.uv;
    const Vec2& size = picture.size;
    const auto first = static_cast<std::uint32_t>(vertices.size());
    // Each point of the picture, texels from its lower-left corner, placed
    // and sampled where the full quad would sample it.
    for (const Vec2& point : mesh.points) {
        const float lx = (point.x - originX) * scaleX;
        const float ly = (point.y - originY) * scaleY;
        const float u = uv.left + (uv.right - uv.left) * (point.x / size.x);
        const float v = uv.bottom + (uv.top - uv.bottom) * (point.y / size.y);
        vertices.push_back({{x + c * lx - s * ly, y + s * lx + c * ly, 0.0f},
                            {tint.x, tint.y, tint.z, tint.w},
                            {u, v}});
    }
    for (const std::uint16_t index : mesh.triangles) {
        indices.push_back(first + index);
    }
    ++shapeCount;
    uploaded = false;
}

void SpriteBatch::setTightMesh(int picture, bool on) {
    if (picture >= 0 && static_cast<std::size_t>(picture) < pictures.size()) {
        pictures[picture].meshOn = on;
    }
}

const TightMesh* SpriteBatch::tightMesh(int picture) const {
    if (!tightMeshes || picture < 0 || static_cast<std::size_t>(picture) >= pictures.size()) {
        return nullptr;
    }
    const Picture& p = pictures[picture];
    return p.hasMesh && p.meshOn ? &p.mesh : nullptr;
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
        glNamedBufferData(vertexBuffer, static_cast<GLsizeiptr>(newCapacity * sizeof(SpriteVertex)),
                          nullptr, GL_DYNAMIC_DRAW);
        vertexCapacity = newCapacity;
    }
    if (indexCount > indexCapacity) {
        std::size_t newCapacity = indexCapacity > 0 ? indexCapacity : kInitialCapacity * 6;
        while (newCapacity < indexCount) {
            newCapacity *= 2;
        }
        glNamedBufferData(indexBuffer, static_cast<GLsizeiptr>(newCapacity * sizeof(std::uint32_t)),
                          nullptr, GL_DYNAMIC_DRAW);
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

} // namespace velmora
