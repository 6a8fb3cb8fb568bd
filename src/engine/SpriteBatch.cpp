#include "velmora/SpriteBatch.h"

#include "engine/AtlasStorage.h"

#include "velmora/Camera.h"
#include "velmora/Shader.h"
#include "velmora/Texture.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <utility>

namespace velmora {

namespace {

constexpr std::size_t kVerticesPerQuad = 4;
constexpr std::size_t kIndicesPerQuad = 6;

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
    meshesOff = std::exchange(other.meshesOff, {});
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
    auto loaded = std::make_shared<Atlas>();
    if (!loaded->load(atlasName)) {
        return false;
    }
    setAtlas(std::move(loaded));
    return true;
}

bool SpriteBatch::loadPictures(const std::vector<std::string>& paths) {
    auto loaded = std::make_shared<Atlas>();
    if (!loaded->loadPictures(paths)) {
        return false;
    }
    setAtlas(std::move(loaded));
    return true;
}

void SpriteBatch::setAtlas(std::shared_ptr<const Atlas> atlas) {
    pictures = std::move(atlas);
    meshesOff.assign(pictures != nullptr ? pictures->size() : 0, false);
    sourceTexture = pictures != nullptr ? pictures->texture() : nullptr;
}

int SpriteBatch::findPicture(const std::string& name) const {
    return pictures != nullptr ? pictures->find(name) : -1;
}

Vec2 SpriteBatch::pictureSize(int index) const {
    const AtlasPicture* found = picture(index);
    return found != nullptr ? found->size : Vec2{};
}

void SpriteBatch::clear() {
    vertices.clear();
    indices.clear();
    shapeCount = 0;
    uploaded = false;
}

void SpriteBatch::add(int picture, float x, float y, float rotation, float scaleX, float scaleY,
                      float originX, float originY, const Vec4& tint) {
    const AtlasPicture* p = this->picture(picture);
    if (p == nullptr) {
        return;
    }
    const TightMesh* mesh = tightMesh(picture);
    // Above 1, the tint's alpha lets texels pass that the mesh leaves out.
    if (mesh != nullptr && tint.w <= 1.0f && (rotation == 0.0f || !mesh->alongEdges)) {
        addMesh(*p, *mesh, x, y, rotation, scaleX, scaleY, originX, originY, tint);
    } else {
        addMesh(*p, p->quad, x, y, rotation, scaleX, scaleY, originX, originY, tint);
    }
}

void SpriteBatch::addMesh(const AtlasPicture& picture, const TightMesh& mesh, float x, float y,
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
    if (this->picture(picture) != nullptr && static_cast<std::size_t>(picture) < meshesOff.size()) {
        meshesOff[static_cast<std::size_t>(picture)] = !on;
    }
}

const TightMesh* SpriteBatch::tightMesh(int picture) const {
    const AtlasPicture* p = this->picture(picture);
    if (!tightMeshes || p == nullptr || !p->hasMesh ||
        (static_cast<std::size_t>(picture) < meshesOff.size() && meshesOff[picture])) {
        return nullptr;
    }
    return &p->mesh;
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
