#include "velmora/Atlas.h"
#include "velmora/Canvas.h"
#include "velmora/Camera.h"
#include "velmora/SpriteBatch.h"

#include "support/Capture.h"
#include "support/GlContext.h"
#include "support/Images.h"
#include "support/Offscreen.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>

using namespace velmora;
using testsupport::OffscreenTarget;
using testsupport::StreamCapture;

namespace {

using Bytes = std::vector<unsigned char>;
const Bytes kRed = {255, 0, 0, 255}, kYellow = {255, 255, 0, 255}, kBlue = {0, 0, 255, 255},
            kCyan = {0, 255, 255, 255}, kBlack = {0, 0, 0, 255};

std::array<int, 4> viewport() {
    std::array<int, 4> v{};
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

int drawFramebuffer() {
    int bound = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
    return bound;
}

Bytes repeated(const Bytes& pixel, std::size_t count) {
    Bytes all;
    while (count-- > 0) {
        all.insert(all.end(), pixel.begin(), pixel.end());
    }
    return all;
}

Bytes pixelAt(const Bytes& topFirst, int width, int x, int y) {
    const auto at = topFirst.begin() + (y * width + x) * 4;
    return Bytes(at, at + 4);
}

// Draws with one camera unit per pixel of a w × h picture, origin lower left.
void drawInto(float w, float h, const std::function<void(SpriteBatch&)>& add) {
    Camera camera;
    camera.ortho(0, w, 0, h, -1, 1);
    SpriteBatch batch;
    add(batch);
    batch.draw(camera);
}

// Quarters of a w × h picture: red top left, yellow top right, blue bottom
// left, cyan bottom right.
void addQuarters(SpriteBatch& batch, float w, float h) {
    batch.addRectangle(0, h / 2, w / 2, h / 2, {1, 0, 0, 1});
    batch.addRectangle(w / 2, h / 2, w / 2, h / 2, {1, 1, 0, 1});
    batch.addRectangle(0, 0, w / 2, h / 2, {0, 0, 1, 1});
    batch.addRectangle(w / 2, 0, w / 2, h / 2, {0, 1, 1, 1});
}

TEST(Canvas, DrawnIntoThenDrawnUprightAsQuadOrTurnedPictureAndReadTopRowFirst) {
    VELMORA_REQUIRE_GL();
    OffscreenTarget window(64, 64);
    const int windowFramebuffer = drawFramebuffer();
    glViewport(8, 4, 48, 56); // a letterbox of the window's
    Canvas canvas(16, 8);
    canvas.begin();
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 0, 16, 8}));
    drawInto(16, 8, [](SpriteBatch& b) { addQuarters(b, 16, 8); });
    canvas.end();
    EXPECT_EQ(viewport(), (std::array<int, 4>{8, 4, 48, 56}));
    EXPECT_EQ(drawFramebuffer(), windowFramebuffer);
    const Bytes read = canvas.readPixels();
    ASSERT_EQ(read.size(), 16u * 8 * 4);
    EXPECT_EQ(pixelAt(read, 16, 0, 0), kRed);
    EXPECT_EQ(pixelAt(read, 16, 15, 7), kCyan);

    glViewport(0, 0, 64, 64);
    const struct {
        float angle;
        Bytes topLeft, bottomRight;
    } cases[] = {{0, kRed, kCyan}, {3.14159265f, kCyan, kRed}};
    for (const auto& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT);
        drawInto(64, 64, [&](SpriteBatch& b) {
            if (c.angle == 0) { // as a quad of the canvas's texture
                b.setTexture(canvas.texture());
                b.addQuad({0, 16, 64, 48}, canvas.texCoords(), {1, 1, 1, 1});
            } else { // as the picture of its atlas, 4× and turned about its middle
                b.setAtlas(canvas.atlas());
                b.add(0, 32, 32, c.angle, 4, 4, 8, 4);
            }
        });
        const Bytes shown = window.readPixels(); // bottom row first
        EXPECT_EQ(window.pixel(shown, 4, 44), c.topLeft) << c.angle;
        EXPECT_EQ(window.pixel(shown, 60, 20), c.bottomRight) << c.angle;
        EXPECT_EQ(window.pixel(shown, 32, 60), kBlack) << c.angle;
    }
}

TEST(Canvas, ClearsResizesAndMovesKeepingItsTextureAndTheGamesPackState) {
    VELMORA_REQUIRE_GL();
    Canvas canvas(4, 4);
    Texture* texture = canvas.texture();
    canvas.clear({0, 1, 0, 1});
    EXPECT_EQ(pixelAt(canvas.readPixels(), 4, 3, 3), (Bytes{0, 255, 0, 255}));
    ASSERT_TRUE(canvas.resize(3, 2));
    EXPECT_EQ(canvas.readPixels(), Bytes(3 * 2 * 4, 0)); // transparent anew
    EXPECT_EQ(texture->width, 3u);
    EXPECT_EQ(canvas.atlas()->pictureSize(0).y, 2.0f);

    GLuint buffer = 0;
    glCreateBuffers(1, &buffer);
    glNamedBufferData(buffer, 1024, nullptr, GL_STREAM_READ);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glPixelStorei(GL_PACK_SKIP_ROWS, 1);
    canvas.clear({1, 0, 0, 1});
    EXPECT_EQ(pixelAt(canvas.readPixels(), 3, 2, 1), kRed);
    GLint alignment = 0, skipRows = 0, bound = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_PACK_SKIP_ROWS, &skipRows);
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &bound);
    EXPECT_EQ((std::array<GLint, 3>{alignment, skipRows, bound}),
              (std::array<GLint, 3>{8, 1, GLint(buffer)}));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glDeleteBuffers(1, &buffer);

    Canvas moved(std::move(canvas));
    EXPECT_EQ(moved.texture(), texture);
    EXPECT_FALSE(canvas.valid());
    EXPECT_EQ(pixelAt(moved.readPixels(), 3, 0, 0), kRed);
}

TEST(Canvas, NestsAndRefusesMisuseInOneLineEach) {
    VELMORA_REQUIRE_GL();
    OffscreenTarget window(64, 64);
    const int windowFramebuffer = drawFramebuffer();
    Canvas outer(32, 16), inner(8, 4);
    outer.begin();
    const int outerFramebuffer = drawFramebuffer();
    {
        Canvas::Scope into(inner);
        EXPECT_EQ(viewport(), (std::array<int, 4>{0, 0, 8, 4}));
        StreamCapture err(StreamCapture::Stream::Err);
        outer.end();                      // not the innermost
        inner.begin();                    // begun already
        EXPECT_FALSE(inner.resize(2, 2)); // begun
        EXPECT_EQ(testsupport::countOccurrences(err.finish(), "\n"), 3);
        EXPECT_EQ(inner.width(), 8);
    }
    EXPECT_EQ(drawFramebuffer(), outerFramebuffer);
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 0, 32, 16}));
    outer.end();
    EXPECT_EQ(drawFramebuffer(), windowFramebuffer);
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 0, 64, 64}));
}

TEST(Canvas, AnUnacceptableSizeIsOneLineAndACanvasThatDrawsNothing) {
    VELMORA_REQUIRE_GL();
    OffscreenTarget window(8, 8);
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    const std::array<int, 2> sizes[] = {{0, 4}, {4, -1}, {largest + 1, 1}};
    for (const auto& size : sizes) {
        StreamCapture err(StreamCapture::Stream::Err);
        Canvas canvas(size[0], size[1]);
        EXPECT_EQ(testsupport::countOccurrences(err.finish(), "refused"), 1) << size[0];
        EXPECT_FALSE(canvas);
        {
            Canvas::Scope into(canvas);
            canvas.clear({1, 1, 1, 1});
            drawInto(8, 8, [](SpriteBatch& b) { b.addRectangle(0, 0, 8, 8, {1, 0, 0, 1}); });
        }
        drawInto(8, 8, [&](SpriteBatch& b) {
            b.setTexture(canvas.texture());
            b.addQuad({0, 0, 8, 8}, canvas.texCoords(), {1, 1, 1, 1});
        });
        EXPECT_EQ(window.readPixels(), repeated(kBlack, 8 * 8)) << size[0];
        EXPECT_TRUE(canvas.readPixels().empty());
        EXPECT_FALSE(canvas.resize(size[0], size[1] + 1));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

// Two texels, black then white, shown 32 times as wide: the pixels either
// side of the edge are black and white under Nearest, blends under Linear.
TEST(Filter, NearestShowsHardTexelEdgesOnATextureAnAtlasAndACanvas) {
    VELMORA_REQUIRE_GL();
    testsupport::ScratchDir dir;
    const Bytes blackWhite = {0, 0, 0, 255, 255, 255, 255, 255};
    ASSERT_TRUE(testsupport::writePng("data/textures/two.png", 2, 1, 4, blackWhite));
    ASSERT_TRUE(testsupport::writePng("data/two.png", 2, 1, 4, blackWhite));
    OffscreenTarget window(64, 8);
    Texture* texture = Texture::load("two.png");
    auto atlas = std::make_shared<Atlas>();
    Canvas canvas(2, 1);
    canvas.clear({1, 1, 1, 1});
    {
        Canvas::Scope into(canvas);
        drawInto(2, 1, [](SpriteBatch& b) { b.addRectangle(0, 0, 1, 1, {0, 0, 0, 1}); });
    }
    const std::function<void(Filter, SpriteBatch&)> owners[] = {
        [&](Filter filter, SpriteBatch& b) {
            texture->setFilter(filter);
            b.setTexture(texture);
            b.addQuad({0, 0, 64, 8}, {0, 1, 1, 0}, {1, 1, 1, 1}); // image top row at v = 0
        },
        [&](Filter filter, SpriteBatch& b) {
            atlas->setFilter(filter); // before loading: kept for the load
            ASSERT_TRUE(atlas->loadPictures({"two.png"}));
            b.setAtlas(atlas);
            b.add(0, 0, 0, 0, 32, 8);
        },
        [&](Filter filter, SpriteBatch& b) {
            canvas.setFilter(filter);
            b.setTexture(canvas.texture());
            b.addQuad({0, 0, 64, 8}, canvas.texCoords(), {1, 1, 1, 1});
        },
    };
    for (std::size_t owner = 0; owner < 3; ++owner) {
        for (const Filter filter : {Filter::Nearest, Filter::Linear}) {
            drawInto(64, 8, [&](SpriteBatch& b) { owners[owner](filter, b); });
            const Bytes shown = window.readPixels();
            const bool nearest = filter == Filter::Nearest;
            // Pixel 30's middle is 0.95 texels in: 0.45 of the way to white.
            EXPECT_NEAR(window.pixel(shown, 30, 4)[0], nearest ? 0 : 116, 3) << owner;
            EXPECT_NEAR(window.pixel(shown, 33, 4)[0], nearest ? 255 : 139, 3) << owner;
        }
    }
}

} // namespace
