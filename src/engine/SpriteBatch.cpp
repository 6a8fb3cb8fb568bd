#include "velmora/SpriteBatch.h"

#include "engine/AtlasStorage.h"
#include "engine/GlState.h"
#include "engine/TightMesh.h"
#include "velmora/Camera.h"
#include "velmora/Shader.h"
#include "velmora/Texture.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <iterator>
#include <utility>

namespace velmora {

namespace {

constexpr std::size_t kVerticesPerQuad = 4;
constexpr std::size_t kIndicesPerQuad = 6;
constexpr std::uint16_t kQuadTriangles[kIndicesPerQuad] = {0, 1, 2, 2, 3, 0};

// Pixels a turned picture's tight mesh must save per vertex it adds to the
// quad's four, else the quad is drawn: with a software rasteriser a vertex
// (shading, setup and binning of its share of triangles) costs about as much
// as filling this many pixels, and fragments are shaded in blocks of 4 × 4
// anyway, so small sprites save nothing. bench/run.sh checks the choice
// against full quads at sides of 1 to 64 pixels.
constexpr float kPixelsPerExtraVertex = 48.0f;

// The indices of one draw are sent as runs of at most this many, each a
// whole number of shapes and of pairs of triangles. Mesa's software
// rasteriser fills an upright quad as one rectangle, without edge tests,
// only when the two triangles arrive side by side in a piece of a draw whose
// length is a multiple of six, and it cuts longer draws into pieces of 1023
// indices; runs of 1020 keep every quad whole. A glMultiDrawElements of the
// runs is still one call, and costs a hardware driver nothing more.
constexpr std::size_t kIndicesPerRun = 1020;

// The batch's own program: positions arrive in camera units, one matrix
// takes them to clip space. Built three ways. Blended pictures alone: the
// texel times the colour and nothing else, a shader simple enough for a
// software rasteriser's fast path. WITH_SHAPES: shapes, which come with
// texture coordinates (-1, -1), sample no texel. CUT_OUT also drops texels
// below half alpha and draws the rest opaque. The blending ones drop
// nothing: a discard makes a software rasteriser shade more slowly, and a
// fully transparent texel changes nothing when blended. MULTIPLY (with
// shapes) gives what the destination is multiplied by: the colour where
// opaque, white where transparent, and in between by alpha.
const char* const kProgramText = R"(
#ifdef VERTEX_SHADER
layout(location = 0) in vec2 position;
layout(location = 1) in vec4 colour;
layout(location = 2) in vec2 texCoord;
layout(location = 0) uniform mat4 transform;
out vec4 vertexColour;
out vec2 uv;
void main() {
    vertexColour = colour;
    uv = texCoord;
    gl_Position = transform * vec4(position, 0.0, 1.0);
}
#endif
#ifdef FRAGMENT_SHADER
in vec4 vertexColour;
in vec2 uv;
layout(binding = 0) uniform sampler2D picture;
out vec4 fragColour;
void main() {
#ifdef WITH_SHAPES
    vec4 texel = (uv.x < -0.5 ? vec4(1.0) : texture(picture, uv)) * vertexColour;
#else
    vec4 texel = texture(picture, uv) * vertexColour;
#endif
#ifdef CUT_OUT
    if (texel.a < 0.5) {
        discard;
    }
    texel.a = 1.0;
#endif
#ifdef MULTIPLY
    texel.rgb = mix(vec3(1.0), texel.rgb, texel.a);
#endif
    fragColour = texel;
}
#endif
)";
constexpr int kTransformLocation = 0;

// The programs, by the index programFor() gives.
constexpr int kPicturesBlended = 0;
constexpr int kShapesBlended = 1;
constexpr int kCutOut = 2;
constexpr int kMultiply = 3;

// The blending of each mode. The alpha of what is drawn into always
// becomes source alpha + destination alpha × (1 − source alpha), as when
// painting over it, so that a canvas keeps the coverage of what it holds.
Blending blendingFor(BlendMode mode) {
    switch (mode) {
    case BlendMode::Alpha:
        return {true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
    case BlendMode::Additive:
        return {true, GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
    case BlendMode::Multiply:
        return {true, GL_DST_COLOR, GL_ZERO, GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
    case BlendMode::Premultiplied:
        return {true, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
    case BlendMode::CutOut:
        break;
    }
    return {};
}

// Sides of a circle whose edge strays at most this many pixels from the
// true circle, within these bounds.
constexpr float kCircleStrayPixels = 0.25f;
constexpr int kFewestCircleSides = 8;
constexpr int kMostCircleSides = 1024;
// A shape's vertices are numbered within 16 bits.
constexpr std::size_t kMostShapePoints = 65536;

unsigned int makeProgram(int kind) {
    const unsigned int vertex = compileStage(kProgramText, GL_VERTEX_SHADER, {"VERTEX_SHADER"});
    std::vector<std::string> fragmentDefines = {"FRAGMENT_SHADER"};
    if (kind != kPicturesBlended) {
        fragmentDefines.emplace_back("WITH_SHAPES");
    }
    if (kind == kCutOut) {
        fragmentDefines.emplace_back("CUT_OUT");
    }
    if (kind == kMultiply) {
        fragmentDefines.emplace_back("MULTIPLY");
    }
    const unsigned int fragment = compileStage(kProgramText, GL_FRAGMENT_SHADER, fragmentDefines);
    if (vertex == kFailedStage || fragment == kFailedStage) {
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        std::cerr << "The sprite batch's program failed to link" << std::endl;
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

// The nearest step of 1/255 within 0 to 1; NaN counts as 0.
std::uint8_t unitByte(float value) {
    if (!(value > 0.0f)) {
        return 0;
    }
    return value >= 1.0f ? 255 : static_cast<std::uint8_t>(value * 255.0f + 0.5f);
}

// column-major a × b
Matrix4 multiplied(const Matrix4& a, const Matrix4& b) {
    Matrix4 m{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + row] * b[column * 4 + k];
            }
            m[column * 4 + row] = sum;
        }
    }
    return m;
}

void setAttribute(GLuint vertexArray, GLuint index, GLint components, GLenum type,
                  GLboolean normalized, GLuint offset) {
    glEnableVertexArrayAttrib(vertexArray, index);
    glVertexArrayAttribFormat(vertexArray, index, components, type, normalized, offset);
    glVertexArrayAttribBinding(vertexArray, index, 0);
}

} // namespace

SpriteBatch::SpriteBatch() {
    glCreateVertexArrays(1, &vertexArray);
    glCreateBuffers(1, &vertexBuffer);
    glCreateBuffers(1, &indexBuffer);
    glVertexArrayElementBuffer(vertexArray, indexBuffer);
    setAttribute(vertexArray, 0, 2, GL_FLOAT, GL_FALSE, offsetof(Vertex, x));
    setAttribute(vertexArray, 1, 4, GL_UNSIGNED_BYTE, GL_TRUE, offsetof(Vertex, rgba));
    setAttribute(vertexArray, 2, 2, GL_FLOAT, GL_FALSE, offsetof(Vertex, u));
    glVertexArrayVertexBuffer(vertexArray, 0, vertexBuffer, 0, sizeof(Vertex));
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
    for (std::size_t i = 0; i < std::size(ownPrograms); ++i) {
        ownPrograms[i] = std::exchange(other.ownPrograms[i], 0u);
    }
    hasShapes = std::exchange(other.hasShapes, false);
    vertices = std::exchange(other.vertices, {});
    indices = std::exchange(other.indices, {});
    sentIndices = std::exchange(other.sentIndices, {});
    runs = std::exchange(other.runs, {});
    pictures = std::exchange(other.pictures, {});
    meshesOff = std::exchange(other.meshesOff, {});
    savings = std::exchange(other.savings, {});
    sourceTexture = std::exchange(other.sourceTexture, nullptr);
    textureFromAtlas = std::exchange(other.textureFromAtlas, false);
    seenLoad = std::exchange(other.seenLoad, 0);
    shapeCount = std::exchange(other.shapeCount, 0);
    vertexCapacity = std::exchange(other.vertexCapacity, 0);
    indexCapacity = std::exchange(other.indexCapacity, 0);
    pixelsPerSquareUnit = std::exchange(other.pixelsPerSquareUnit, 1.0f);
    uploaded = std::exchange(other.uploaded, false);
    drawCallCount = std::exchange(other.drawCallCount, 0);
    meshesOn = std::exchange(other.meshesOn, true);
    mode = std::exchange(other.mode, BlendMode::Alpha);
}

void SpriteBatch::release() {
    // A batch that outlives its window (the text renderer's, destroyed at
    // exit after the application) has nothing left to delete: the context
    // took its objects with it.
    if (vertexArray != 0 && glfwGetCurrentContext() != nullptr) {
        glDeleteVertexArrays(1, &vertexArray);
        const GLuint buffers[2] = {vertexBuffer, indexBuffer};
        glDeleteBuffers(2, buffers);
        for (const unsigned int program : ownPrograms) {
            if (program != 0) {
                glDeleteProgram(program);
            }
        }
    }
    vertexArray = vertexBuffer = indexBuffer = 0;
    std::fill(std::begin(ownPrograms), std::end(ownPrograms), 0u);
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
    textureFromAtlas = true;
    sourceTexture = nullptr;
    takePictures();
}

void SpriteBatch::takePictures() const {
    const std::size_t count = pictures != nullptr ? pictures->size() : 0;
    meshesOff.assign(count, false);
    savings.assign(count, {});
    for (std::size_t i = 0; i < count; ++i) {
        const AtlasPicture* p = pictures->picture(static_cast<int>(i));
        if (p != nullptr && p->hasMesh) {
            const float quad = p->size.x * p->size.y;
            savings[i] = {quad - p->mesh.area(), quad - p->blendedMesh.area()};
        }
    }
    seenLoad = atlasLoad();
}

std::uint64_t SpriteBatch::atlasLoad() const {
    return pictures != nullptr && pictures->storage != nullptr ? pictures->storage->load : 0;
}

void SpriteBatch::followAtlas() const {
    // The atlas was loaded again since the batch last looked: its pictures
    // are new, and so are what their meshes save; per-picture switches
    // start over.
    if (atlasLoad() != seenLoad) {
        takePictures();
    }
}

void SpriteBatch::setTexture(Texture* texture) {
    sourceTexture = texture;
    textureFromAtlas = false;
}

Texture* SpriteBatch::texture() const {
    // Asked anew at each use: an atlas loaded again frees its old texture.
    if (textureFromAtlas) {
        return pictures != nullptr ? pictures->texture() : nullptr;
    }
    return sourceTexture;
}

int SpriteBatch::findPicture(const std::string& name) const {
    return pictures != nullptr ? pictures->find(name) : -1;
}

Vec2 SpriteBatch::pictureSize(int index) const {
    const AtlasPicture* found = pictures != nullptr ? pictures->picture(index) : nullptr;
    return found != nullptr ? found->size : Vec2{};
}

void SpriteBatch::clear() {
    hasShapes = false;
    vertices.clear();
    indices.clear();
    runs.clear();
    shapeCount = 0;
    uploaded = false;
}

bool SpriteBatch::isTightMeshOn(int picture) const {
    followAtlas();
    return picture >= 0 && static_cast<std::size_t>(picture) < meshesOff.size() &&
           !meshesOff[static_cast<std::size_t>(picture)];
}

void SpriteBatch::setTightMesh(int picture, bool on) {
    followAtlas();
    if (picture >= 0 && static_cast<std::size_t>(picture) < meshesOff.size()) {
        meshesOff[static_cast<std::size_t>(picture)] = !on;
    }
}

const TightMesh* SpriteBatch::tightMesh(int picture, float scaleX, float scaleY,
                                        float rotation) const {
    followAtlas();
    const AtlasPicture* p = pictures != nullptr ? pictures->picture(picture) : nullptr;
    // Premultiplied texels of no alpha may still add colour: the whole quad.
    if (!meshesOn || rotation == 0.0f || mode == BlendMode::Premultiplied || p == nullptr ||
        !p->hasMesh || static_cast<std::size_t>(picture) >= meshesOff.size() ||
        meshesOff[picture]) {
        return nullptr;
    }
    // An upright quad is drawn as one rectangle by software rasterisers
    // (see kIndicesPerRun), faster than any mesh at every size. A mesh point
    // on the picture's edge lands exactly on the quad's edge only while the
    // picture is upright, so such a mesh is never used.
    const bool cutOut = mode == BlendMode::CutOut;
    const TightMesh& mesh = cutOut ? p->mesh : p->blendedMesh;
    if (mesh.alongEdges || mesh.points.size() > TightMesh::kMaxVertices) {
        return nullptr;
    }
    const Savings& saves = savings[static_cast<std::size_t>(picture)];
    const float savedPixels =
        (cutOut ? saves.cutOut : saves.blended) * std::fabs(scaleX * scaleY) * pixelsPerSquareUnit;
    const float extraVertices = static_cast<float>(mesh.points.size()) - 4.0f;
    return savedPixels >= kPixelsPerExtraVertex * extraVertices ? &mesh : nullptr;
}

void SpriteBatch::add(int picture, float x, float y, float rotation, float scaleX, float scaleY,
                      float originX, float originY, const Vec4& tint) {
    const AtlasPicture* p = pictures != nullptr ? pictures->picture(picture) : nullptr;
    if (p == nullptr) {
        return;
    }
    if (rotation == 0.0f) {
        // The quad, as the general way below would place and sample its
        // corners, without the turn.
        const float left = x + (0.0f - originX) * scaleX;
        const float right = x + (p->size.x - originX) * scaleX;
        const float bottom = y + (0.0f - originY) * scaleY;
        const float top = y + (p->size.y - originY) * scaleY;
        const float uRight = p->uv.left + (p->uv.right - p->uv.left);
        const float vTop = p->uv.bottom + (p->uv.top - p->uv.bottom);
        const std::uint8_t rgba[4] = {unitByte(tint.x), unitByte(tint.y), unitByte(tint.z),
                                      unitByte(tint.w)};
        const std::size_t first = vertices.size();
        vertices.resize(first + kVerticesPerQuad);
        Vertex* out = vertices.data() + first;
        out[0] = {left, bottom, p->uv.left, p->uv.bottom, {rgba[0], rgba[1], rgba[2], rgba[3]}};
        out[1] = {right, bottom, uRight, p->uv.bottom, {rgba[0], rgba[1], rgba[2], rgba[3]}};
        out[2] = {right, top, uRight, vTop, {rgba[0], rgba[1], rgba[2], rgba[3]}};
        out[3] = {left, top, p->uv.left, vTop, {rgba[0], rgba[1], rgba[2], rgba[3]}};
        addIndices(first, kQuadTriangles, kIndicesPerQuad);
        return;
    }
    const TightMesh* mesh = tightMesh(picture, scaleX, scaleY, rotation);
    if (mesh == nullptr) {
        mesh = &p->quad;
    }
    // Each point sampled where the full quad would sample it.
    const std::size_t count = mesh->points.size();
    float uv[2 * TightMesh::kMaxVertices];
    for (std::size_t i = 0; i < count; ++i) {
        const Vec2& point = mesh->points[i];
        uv[i * 2] = p->uv.left + (p->uv.right - p->uv.left) * (point.x / p->size.x);
        uv[i * 2 + 1] = p->uv.bottom + (p->uv.top - p->uv.bottom) * (point.y / p->size.y);
    }
    addPoints(mesh->points.data(), uv, count, mesh->triangles.data(), mesh->triangles.size(),
              {x, y}, {originX, originY}, {scaleX, scaleY}, rotation, tint);
}

void SpriteBatch::addQuad(const Rect& positionRect, const Rect& uvRect, const Vec4& colour) {
    const Rect& p = positionRect;
    // Lower-left, lower-right, upper-right, upper-left, as an atlas sprite.
    const Vec2 points[4] = {
        {p.left, p.bottom}, {p.right, p.bottom}, {p.right, p.top}, {p.left, p.top}};
    const float uv[8] = {uvRect.left,  uvRect.bottom, uvRect.right, uvRect.bottom,
                         uvRect.right, uvRect.top,    uvRect.left,  uvRect.top};
    addPoints(points, uv, 4, kQuadTriangles, kIndicesPerQuad, {}, {}, {1.0f, 1.0f}, 0.0f, colour);
}

void SpriteBatch::addRectangle(float x, float y, float width, float height, const Vec4& colour,
                               float rotation, float originX, float originY) {
    const Vec2 points[4] = {{0.0f, 0.0f}, {width, 0.0f}, {width, height}, {0.0f, height}};
    addPoints(points, nullptr, 4, kQuadTriangles, kIndicesPerQuad, {x, y}, {originX, originY},
              {1.0f, 1.0f}, rotation, colour);
    hasShapes = true;
}

void SpriteBatch::addRectangleOutline(float x, float y, float width, float height, float lineWidth,
                                      const Vec4& colour) {
    if (!(width > 0.0f && height > 0.0f && lineWidth > 0.0f)) {
        return;
    }
    // Wider than half the rectangle, the frame is the filled rectangle.
    const float w = std::min(lineWidth, std::min(width, height) / 2.0f);
    const Vec2 points[8] = {{x, y},
                            {x + width, y},
                            {x + width, y + height},
                            {x, y + height},
                            {x + w, y + w},
                            {x + width - w, y + w},
                            {x + width - w, y + height - w},
                            {x + w, y + height - w}};
    // Four sides, each a quad between an outer and an inner edge.
    static constexpr std::uint16_t kFrame[24] = {0, 1, 5, 5, 4, 0, 1, 2, 6, 6, 5, 1,
                                                 2, 3, 7, 7, 6, 2, 3, 0, 4, 4, 7, 3};
    addPoints(points, nullptr, 8, kFrame, 24, {}, {}, {1.0f, 1.0f}, 0.0f, colour);
    hasShapes = true;
}

namespace {

// How much further out than the circle a polygon of `sides` corners must
// put them to cover the circle's area: its edges then stray about as far
// out as in, and a circle's pixels are as many as its area. A stated number
// of sides keeps its corners on the circle (a hexagon of radius r).
float cornerRadius(float radius, int sides, int segments) {
    if (segments > 0) {
        return radius;
    }
    const float turn = 6.2831853f / static_cast<float>(sides);
    return radius * std::sqrt(turn / std::sin(turn));
}

} // namespace

int SpriteBatch::circleSides(float radius, int segments) const {
    if (segments > 0) {
        return std::clamp(segments, 3, kMostCircleSides);
    }
    // The fewest sides whose chords stray no further than kCircleStrayPixels
    // from the circle, drawn as large as the last draw's camera and viewport
    // make it.
    const float pixels = radius * std::sqrt(pixelsPerSquareUnit);
    if (!(pixels > kCircleStrayPixels)) {
        return kFewestCircleSides;
    }
    const float halfAngle = std::acos(1.0f - kCircleStrayPixels / pixels);
    const float sides = std::ceil(3.14159265f / halfAngle);
    return static_cast<int>(std::clamp(sides, static_cast<float>(kFewestCircleSides),
                                       static_cast<float>(kMostCircleSides)));
}

void SpriteBatch::addCircle(float x, float y, float radius, const Vec4& colour, int segments) {
    if (!(radius > 0.0f)) {
        return;
    }
    const int sides = circleSides(radius, segments);
    const float r = cornerRadius(radius, sides, segments);
    shapePoints.resize(static_cast<std::size_t>(sides));
    shapeTriangles.clear();
    for (int i = 0; i < sides; ++i) {
        const float angle = 6.2831853f * static_cast<float>(i) / static_cast<float>(sides);
        shapePoints[i] = {x + r * std::cos(angle), y + r * std::sin(angle)};
        if (i >= 2) {
            shapeTriangles.insert(shapeTriangles.end(), {0, static_cast<std::uint16_t>(i - 1),
                                                         static_cast<std::uint16_t>(i)});
        }
    }
    addPoints(shapePoints.data(), nullptr, shapePoints.size(), shapeTriangles.data(),
              shapeTriangles.size(), {}, {}, {1.0f, 1.0f}, 0.0f, colour);
    hasShapes = true;
}

void SpriteBatch::addCircleOutline(float x, float y, float radius, float lineWidth,
                                   const Vec4& colour, int segments) {
    if (!(radius > 0.0f && lineWidth > 0.0f)) {
        return;
    }
    if (lineWidth >= radius) {
        addCircle(x, y, radius, colour, segments);
        return;
    }
    const int sides = circleSides(radius, segments);
    const float outer = cornerRadius(radius, sides, segments);
    const float inner = outer * (radius - lineWidth) / radius;
    shapePoints.resize(static_cast<std::size_t>(sides) * 2);
    shapeTriangles.clear();
    for (int i = 0; i < sides; ++i) {
        const float angle = 6.2831853f * static_cast<float>(i) / static_cast<float>(sides);
        const float c = std::cos(angle), s = std::sin(angle);
        shapePoints[2 * i] = {x + outer * c, y + outer * s};
        shapePoints[2 * i + 1] = {x + inner * c, y + inner * s};
        const auto here = static_cast<std::uint16_t>(2 * i);
        const auto next = static_cast<std::uint16_t>(2 * ((i + 1) % sides));
        shapeTriangles.insert(shapeTriangles.end(),
                              {here, next, static_cast<std::uint16_t>(next + 1),
                               static_cast<std::uint16_t>(next + 1),
                               static_cast<std::uint16_t>(here + 1), here});
    }
    addPoints(shapePoints.data(), nullptr, shapePoints.size(), shapeTriangles.data(),
              shapeTriangles.size(), {}, {}, {1.0f, 1.0f}, 0.0f, colour);
    hasShapes = true;
}

void SpriteBatch::addPolygon(const std::vector<Vec2>& points, const Vec4& colour) {
    if (points.size() < 3 || points.size() > kMostShapePoints) {
        return;
    }
    shapeTriangles.clear();
    for (std::size_t i = 2; i < points.size(); ++i) {
        shapeTriangles.insert(shapeTriangles.end(), {0, static_cast<std::uint16_t>(i - 1),
                                                     static_cast<std::uint16_t>(i)});
    }
    addPoints(points.data(), nullptr, points.size(), shapeTriangles.data(), shapeTriangles.size(),
              {}, {}, {1.0f, 1.0f}, 0.0f, colour);
    hasShapes = true;
}

void SpriteBatch::addLine(float x0, float y0, float x1, float y1, float width, const Vec4& colour) {
    const float length = std::hypot(x1 - x0, y1 - y0);
    if (length <= 0.0f) {
        return;
    }
    addRectangle(x0, y0, length, width, colour, std::atan2(y1 - y0, x1 - x0), 0.0f, width / 2.0f);
}

void SpriteBatch::addPoints(const Vec2* points, const float* uv, std::size_t count,
                            const std::uint16_t* triangles, std::size_t indexCount, const Vec2& at,
                            const Vec2& origin, const Vec2& scale, float rotation,
                            const Vec4& colour) {
    const bool upright = rotation == 0.0f;
    const float c = upright ? 1.0f : std::cos(rotation);
    const float s = upright ? 0.0f : std::sin(rotation);
    const std::uint8_t rgba[4] = {unitByte(colour.x), unitByte(colour.y), unitByte(colour.z),
                                  unitByte(colour.w)};
    const std::size_t first = vertices.size();
    vertices.resize(first + count);
    Vertex* out = vertices.data() + first;
    for (std::size_t i = 0; i < count; ++i) {
        const float lx = (points[i].x - origin.x) * scale.x;
        const float ly = (points[i].y - origin.y) * scale.y;
        out[i] = {at.x + c * lx - s * ly,
                  at.y + s * lx + c * ly,
                  uv != nullptr ? uv[i * 2] : -1.0f,
                  uv != nullptr ? uv[i * 2 + 1] : -1.0f,
                  {rgba[0], rgba[1], rgba[2], rgba[3]}};
    }
    addIndices(first, triangles, indexCount);
}

void SpriteBatch::addIndices(std::size_t first, const std::uint16_t* triangles,
                             std::size_t indexCount) {
    // An odd number of triangles gets an empty one, (base, base, base), so
    // that the quads after it still arrive in pairs.
    const std::size_t padded = (indexCount + 5) / 6 * 6;
    const std::size_t firstIndex = indices.size();
    indices.resize(firstIndex + padded);
    std::uint32_t* index = indices.data() + firstIndex;
    const auto base = static_cast<std::uint32_t>(first);
    for (std::size_t i = 0; i < indexCount; ++i) {
        index[i] = base + triangles[i];
    }
    std::fill(index + indexCount, index + padded, base);
    if (runs.empty() || static_cast<std::size_t>(runs.back()) + padded > kIndicesPerRun) {
        runs.push_back(0);
    }
    runs.back() += static_cast<int>(padded);
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
        glNamedBufferData(vertexBuffer, static_cast<GLsizeiptr>(newCapacity * sizeof(Vertex)),
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
        sentIndices.clear();
    }
}

void SpriteBatch::upload() {
    if (uploaded) {
        return;
    }
    grow(vertices.size(), indices.size());
    glNamedBufferSubData(vertexBuffer, 0, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)),
                         vertices.data());
    // Indices go up from the first one that differs from what the buffer
    // holds: a frame of the same shapes as the last sends none, one with
    // more sprites only the new ones.
    const std::size_t same = std::min(indices.size(), sentIndices.size());
    std::size_t first = same;
    if (same > 0 &&
        std::memcmp(indices.data(), sentIndices.data(), same * sizeof(std::uint32_t)) != 0) {
        first = static_cast<std::size_t>(
            std::mismatch(indices.begin(), indices.begin() + static_cast<std::ptrdiff_t>(same),
                          sentIndices.begin())
                .first -
            indices.begin());
    }
    if (first < indices.size()) {
        glNamedBufferSubData(indexBuffer, static_cast<GLintptr>(first * sizeof(std::uint32_t)),
                             static_cast<GLsizeiptr>((indices.size() - first) *
                                                     sizeof(std::uint32_t)),
                             indices.data() + first);
        if (sentIndices.size() < indices.size()) {
            sentIndices.resize(indices.size());
        }
        std::copy(indices.begin() + static_cast<std::ptrdiff_t>(first), indices.end(),
                  sentIndices.begin() + static_cast<std::ptrdiff_t>(first));
    }
    uploaded = true;
}

void SpriteBatch::drawWith(unsigned int program) {
    upload();
    const Texture* drawn = texture();
    BatchDrawStateKeeper keeper(vertexArray, drawn != nullptr ? drawn->textureId : 0,
                                blendingFor(mode));
    glUseProgram(program);
    runStarts.clear();
    std::uintptr_t start = 0;
    for (const int run : runs) {
        runStarts.push_back(reinterpret_cast<const void*>(start));
        start += static_cast<std::uintptr_t>(run) * sizeof(std::uint32_t);
    }
    glMultiDrawElements(GL_TRIANGLES, runs.data(), GL_UNSIGNED_INT, runStarts.data(),
                        static_cast<GLsizei>(runs.size()));
    ++drawCallCount;
}

void SpriteBatch::measurePixels(const Matrix4& transform) {
    // How many pixels one square camera unit covers, for the next frame's
    // choice between mesh and quad.
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    pixelsPerSquareUnit = std::fabs(transform[0] * transform[5] - transform[1] * transform[4]) *
                          static_cast<float>(viewport[2]) * static_cast<float>(viewport[3]) / 4.0f;
}

void SpriteBatch::draw(const Camera& camera) {
    if (indices.empty() || vertexArray == 0) {
        return;
    }
    const int kind = mode == BlendMode::CutOut     ? kCutOut
                     : mode == BlendMode::Multiply ? kMultiply
                     : hasShapes                   ? kShapesBlended
                                                   : kPicturesBlended;
    unsigned int& program = ownPrograms[kind];
    if (program == 0) {
        program = makeProgram(kind);
        if (program == 0) {
            return;
        }
    }
    const Matrix4 transform = multiplied(camera.projection, camera.view);
    measurePixels(transform);
    glProgramUniformMatrix4fv(program, kTransformLocation, 1, GL_FALSE, transform.data());
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    drawWith(program);
    glUseProgram(static_cast<GLuint>(previous));
}

void SpriteBatch::draw(const Camera& camera, const Shader& shader) {
    if (indices.empty() || vertexArray == 0) {
        return;
    }
    static const Matrix4 identity = identityMatrix();
    measurePixels(multiplied(camera.projection, camera.view));
    const GLuint program = shader.programId;
    glProgramUniformMatrix4fv(program, glGetUniformLocation(program, "modelMatrix"), 1, GL_FALSE,
                              identity.data());
    glProgramUniformMatrix4fv(program, glGetUniformLocation(program, "viewMatrix"), 1, GL_FALSE,
                              camera.view.data());
    glProgramUniformMatrix4fv(program, glGetUniformLocation(program, "projectionMatrix"), 1,
                              GL_FALSE, camera.projection.data());
    glProgramUniform1i(program, glGetUniformLocation(program, "texture"), 0);
    drawWith(program);
}

} // namespace velmora
