#include "velmora/Camera.h"
#include "velmora/Sprite.h"
#include "velmora/Texture.h"

#include "support/Buffers.h"
#include "support/GlContext.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>

using namespace velmora;

using testsupport::bufferFloats;
using testsupport::bufferSize;
using testsupport::bufferUints;

namespace {

Texture sized(unsigned int width, unsigned int height) {
    Texture texture;
    texture.width = width;
    texture.height = height;
    return texture;
}

void expectMatrix(const Matrix4& actual, const Matrix4& expected) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-6f) << "element " << i;
    }
}

GLint attribute(GLuint vertexArray, GLuint index, GLenum which) {
    GLint value = -1;
    glGetVertexArrayIndexediv(vertexArray, index, which, &value);
    return value;
}

TEST(SpriteTransform, TranslationsAddUpInColumnThreeAndResetUndoesThem) {
    VELMORA_REQUIRE_GL();
    Sprite sprite;
    expectMatrix(sprite.model, identityMatrix());

    sprite.translate(0.06f, 0.03f, 0.0f);
    Matrix4 expected = identityMatrix();
    expected[12] = 0.06f;
    expected[13] = 0.03f;
    expectMatrix(sprite.model, expected);

    sprite.translate(0.5f, -1.0f, 2.0f);
    expected[12] = 0.56f;
    expected[13] = -0.97f;
    expected[14] = 2.0f;
    expectMatrix(sprite.model, expected);

    sprite.resetTransform();
    expectMatrix(sprite.model, identityMatrix());
}

TEST(SpriteConstruction, CreatesItsThreeObjectsAndOneEmptyTextureSlot) {
    VELMORA_REQUIRE_GL();
    Sprite sprite;
    EXPECT_EQ(glIsVertexArray(sprite.vertexArray), GL_TRUE);
    EXPECT_EQ(glIsBuffer(sprite.vertexBuffer), GL_TRUE);
    EXPECT_EQ(glIsBuffer(sprite.indexBuffer), GL_TRUE);
    EXPECT_NE(sprite.vertexBuffer, sprite.indexBuffer);
    ASSERT_EQ(sprite.textures.size(), 1u);
    EXPECT_EQ(sprite.textures[0], nullptr);
    EXPECT_TRUE(sprite.positions.empty());
    EXPECT_TRUE(sprite.indices.empty());
}

TEST(SpriteQuad, PixelRectanglesBecomeTextureCoordinatesCountedFromTheTop) {
    VELMORA_REQUIRE_GL();
    const Texture texture = sized(256, 256);
    Sprite sprite;
    sprite.setQuadFromPixels(&texture, {-1.0f, -2.0f, 3.0f, 4.0f}, {0.0f, 0.0f, 128.0f, 64.0f});

    const float expectedUv[4][2] = {{0.0f, 0.75f}, {0.5f, 0.75f}, {0.5f, 1.0f}, {0.0f, 1.0f}};
    const float expectedXy[4][2] = {{-1.0f, 4.0f}, {3.0f, 4.0f}, {3.0f, -2.0f}, {-1.0f, -2.0f}};
    ASSERT_EQ(sprite.texCoords.size(), 4u);
    // What reached the vertex buffer: 9 floats per vertex, interleaved.
    const std::vector<float> vertices = bufferFloats(sprite.vertexBuffer);
    ASSERT_EQ(vertices.size(), 36u);
    for (int i = 0; i < 4; ++i) {
        const float* v = &vertices[static_cast<size_t>(i) * 9];
        EXPECT_FLOAT_EQ(v[0], expectedXy[i][0]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v[1], expectedXy[i][1]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v[2], 0.0f);
        for (int c = 3; c < 7; ++c) {
            EXPECT_FLOAT_EQ(v[c], 1.0f) << "colour of vertex " << i;
        }
        EXPECT_FLOAT_EQ(v[7], expectedUv[i][0]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v[8], expectedUv[i][1]) << "vertex " << i;
    }
    EXPECT_EQ(bufferUints(sprite.indexBuffer), (std::vector<std::uint32_t>{0, 1, 2, 2, 3, 0}));
}

TEST(SpriteQuad, BuffersAndVertexFormatMatchTheInterleavedLayout) {
    VELMORA_REQUIRE_GL();
    const Texture texture = sized(64, 32);
    Sprite sprite;
    sprite.setQuadFromPixels(&texture, {0, 0, 1, 1}, {0, 0, 64, 32});
    EXPECT_EQ(bufferSize(sprite.vertexBuffer), 144);
    EXPECT_EQ(bufferSize(sprite.indexBuffer), 24);

    GLint elements = 0;
    glGetVertexArrayiv(sprite.vertexArray, GL_ELEMENT_ARRAY_BUFFER_BINDING, &elements);
    EXPECT_EQ(static_cast<GLuint>(elements), sprite.indexBuffer);
    const GLint components[3] = {3, 4, 2};
    const GLint offsets[3] = {0, 12, 28};
    for (GLuint i = 0; i < 3; ++i) {
        EXPECT_EQ(attribute(sprite.vertexArray, i, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_TRUE);
        EXPECT_EQ(attribute(sprite.vertexArray, i, GL_VERTEX_ATTRIB_ARRAY_SIZE), components[i]);
        EXPECT_EQ(attribute(sprite.vertexArray, i, GL_VERTEX_ATTRIB_ARRAY_TYPE), GL_FLOAT);
        EXPECT_EQ(attribute(sprite.vertexArray, i, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED), GL_FALSE);
        EXPECT_EQ(attribute(sprite.vertexArray, i, GL_VERTEX_ATTRIB_RELATIVE_OFFSET), offsets[i]);
        EXPECT_EQ(attribute(sprite.vertexArray, i, GL_VERTEX_ATTRIB_BINDING), 0);
    }
    EXPECT_EQ(attribute(sprite.vertexArray, 0, GL_VERTEX_BINDING_STRIDE), 36);
    EXPECT_EQ(static_cast<GLuint>(attribute(sprite.vertexArray, 0, GL_VERTEX_BINDING_BUFFER)),
              sprite.vertexBuffer);
}

TEST(SpriteQuad, ASecondBuildReplacesTheFirstQuad) {
    VELMORA_REQUIRE_GL();
    const Texture texture = sized(100, 100);
    Sprite sprite;
    sprite.setQuadFromPixels(&texture, {0, 0, 1, 1}, {0, 0, 50, 50});
    sprite.setQuadFromPixels(&texture, {10, 20, 30, 40}, {50, 50, 100, 100});
    EXPECT_EQ(sprite.positions.size(), 4u);
    EXPECT_EQ(sprite.indices, (std::vector<std::uint32_t>{0, 1, 2, 2, 3, 0}));
    EXPECT_EQ(bufferSize(sprite.vertexBuffer), 144);
    EXPECT_EQ(bufferSize(sprite.indexBuffer), 24);
    const std::vector<float> vertices = bufferFloats(sprite.vertexBuffer);
    EXPECT_FLOAT_EQ(vertices[0], 10.0f);
    EXPECT_FLOAT_EQ(vertices[1], 40.0f);
    EXPECT_FLOAT_EQ(vertices[7], 0.5f);
    EXPECT_FLOAT_EQ(vertices[8], 0.0f);
}

TEST(SpriteQuad, AnEmptyTextureGivesFiniteCoordinates) {
    VELMORA_REQUIRE_GL();
    const Texture failed = sized(0, 0);
    Sprite sprite;
    sprite.setQuadFromPixels(&failed, {0, 0, 1, 1}, {1, 2, 3, 4});
    sprite.setQuadFromPixels(nullptr, {0, 0, 1, 1}, {1, 2, 3, 4});
    for (float value : bufferFloats(sprite.vertexBuffer)) {
        EXPECT_TRUE(std::isfinite(value));
    }
}

TEST(SpriteQuad, ListsThatDoNotFormAMeshUploadNothing) {
    VELMORA_REQUIRE_GL();
    Sprite sprite;
    sprite.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    sprite.colors.assign(4, {1, 1, 1, 1});
    sprite.texCoords = {{0, 0}, {1, 0}, {1, 1}}; // one short
    sprite.indices = {0, 1, 2, 2, 3, 0};
    sprite.uploadGeometry();
    EXPECT_EQ(bufferSize(sprite.vertexBuffer), 0);

    sprite.texCoords.push_back({0, 1});
    sprite.indices = {0, 1, 4}; // past the last vertex
    sprite.uploadGeometry();
    EXPECT_EQ(bufferSize(sprite.vertexBuffer), 0);

    sprite.indices = {0, 1, 2};
    sprite.uploadGeometry();
    EXPECT_EQ(bufferSize(sprite.vertexBuffer), 144);
    EXPECT_EQ(bufferSize(sprite.indexBuffer), 12);
}

TEST(CameraMatrices, StartAsIdentityAndOrthoReplacesTheProjection) {
    Camera camera;
    expectMatrix(camera.view, identityMatrix());
    expectMatrix(camera.projection, identityMatrix());

    camera.ortho(0.0f, 1.333f, 0.0f, 1.0f, -1.0f, 1.0f);
    Matrix4 expected{};
    expected[0] = 2.0f / 1.333f; // about 1.50038
    expected[5] = 2.0f;
    expected[10] = -1.0f;
    expected[12] = -1.0f;
    expected[13] = -1.0f;
    expected[14] = 0.0f;
    expected[15] = 1.0f;
    expectMatrix(camera.projection, expected);
    EXPECT_NEAR(camera.projection[0], 1.50038f, 1e-5f);

    // Called again it replaces rather than multiplies.
    camera.ortho(0.0f, 1.333f, 0.0f, 1.0f, -1.0f, 1.0f);
    expectMatrix(camera.projection, expected);
    // An empty box keeps the projection instead of dividing by zero.
    camera.ortho(1.0f, 1.0f, 0.0f, 1.0f, -1.0f, 1.0f);
    expectMatrix(camera.projection, expected);
    expectMatrix(camera.view, identityMatrix());
}

TEST(CameraMatrices, ScaleThenTranslateScalesTheTranslation) {
    Camera camera;
    camera.scale(4.28f, 5.23f, 1.0f);
    camera.translate({0.5f, 2.0f, 3.0f});
    Matrix4 expected = identityMatrix();
    expected[0] = 4.28f;
    expected[5] = 5.23f;
    expected[12] = 0.5f * 4.28f;
    expected[13] = 2.0f * 5.23f;
    expected[14] = 3.0f;
    expectMatrix(camera.view, expected);

    // The other order leaves the translation unscaled.
    Camera other;
    other.translate({0.5f, 2.0f, 3.0f});
    other.scale(4.28f, 5.23f, 1.0f);
    EXPECT_FLOAT_EQ(other.view[12], 0.5f);
    EXPECT_FLOAT_EQ(other.view[0], 4.28f);
}

// Picture → world → picture, at several zooms and turns about a point off
// the middle, which stays where it was shown; zooms come closer, turns go
// counter-clockwise.
TEST(CameraZoomAndTurn, WorldToPictureInvertsPictureToWorld) {
    const auto distance = [](Vec2 a, Vec2 b) { return std::hypot(a.x - b.x, a.y - b.y); };
    for (const float factor : {0.25f, 1.0f, 3.0f}) {
        for (const float turn : {0.0f, 0.7f, -2.5f, 3.14159265f}) {
            Camera camera;
            camera.ortho(-100.0f, 100.0f, -50.0f, 50.0f, -1.0f, 1.0f);
            camera.translate({5.0f, 7.0f, 0.0f});
            const Vec2 shown = camera.worldToPicture({30.0f, -12.0f});
            camera.zoom(factor, {30.0f, -12.0f});
            camera.rotate(turn, {30.0f, -12.0f});
            EXPECT_NEAR(distance(camera.worldToPicture({30.0f, -12.0f}), shown), 0, 1e-5f);
            for (const Vec2 point : {Vec2{0.0f, 0.0f}, Vec2{0.25f, 0.8f}, Vec2{1.3f, -0.2f}}) {
                const Vec2 back = camera.worldToPicture(camera.pictureToWorld(point));
                EXPECT_NEAR(distance(back, point), 0, 1e-5f) << factor << " " << turn;
            }
        }
    }
    Camera camera;
    camera.ortho(-10.0f, 10.0f, -10.0f, 10.0f, -1.0f, 1.0f);
    camera.zoom(2.0f, {5.0f, 0.0f}); // 1 unit right of (5, 0) shows 2 units right
    EXPECT_NEAR(distance(camera.worldToPicture({6.0f, 0.0f}), {0.85f, 0.5f}), 0, 1e-6f);
    camera.zoom(0.0f, {1.0f, 1.0f}); // ignored
    camera.rotate(1.5707963f, {5.0f, 0.0f}); // and then 2 units above
    EXPECT_NEAR(distance(camera.worldToPicture({6.0f, 0.0f}), {0.75f, 0.6f}), 0, 1e-6f);
}

} // namespace
