#include "velmora/Atlas.h"
#include "velmora/Camera.h"
#include "velmora/Canvas.h"
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
using Target = std::array<int, 5>; // draw framebuffer, viewport x, y, width, height
const Bytes kRed = {255, 0, 0, 255}, kCyan = {0, 255, 255, 255}, kBlack = {0, 0, 0, 255};

Target drawTarget() {
    Target t{};
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &t[0]);
    glGetIntegerv(GL_VIEWPORT, &t[1]);
    return t;
}

Bytes pixelAt(const Bytes& topFirst, int width, int x, int y) {
    return Bytes(&topFirst[(y * width + x) * 4], &topFirst[(y * width + x) * 4 + 4]);
}

// Draws with one camera unit per pixel of a w × h picture, origin lower left.
void drawInto(float w, float h, const std::function<void(SpriteBatch&)>& add) {
    Camera camera;
    camera.ortho(0, w, 0, h, -1, 1);
    SpriteBatch batch;
    add(batch);
    batch.draw(camera);
}

// Quarters red (top left), yellow, blue and cyan (bottom right) drawn into a
// canvas, then the canvas drawn into the window, upright or turned.
TEST(Canvas, DrawnIntoNestedThenShownUprightOrTurnedAndReadTopRowFirst) {
    VELMORA_REQUIRE_GL();
    OffscreenTarget window(64, 64);
    glViewport(8, 4, 48, 56); // a letterbox of the window's
    const Target windowTarget = drawTarget();
    Canvas canvas(16, 8);
    canvas.begin();
    const Target canvasTarget = drawTarget();
    EXPECT_EQ(canvasTarget[3], 16);
    {
        Canvas inner(8, 4); // nested: ends back in the outer canvas
        Canvas::Scope into(inner);
        EXPECT_EQ(drawTarget()[3], 8);
        StreamCapture err(StreamCapture::Stream::Err);
        canvas.end();                     // not the innermost
        inner.begin();                    // begun already
        EXPECT_FALSE(inner.resize(2, 2)); // begun
        { Canvas::Scope again(inner); }   // silent, and ends nothing
        EXPECT_EQ(testsupport::countOccurrences(err.finish(), "\n"), 3);
        EXPECT_TRUE(inner.begun());
    }
    EXPECT_EQ(drawTarget(), canvasTarget);
    drawInto(16, 8, [](SpriteBatch& b) {
        b.addRectangle(0, 4, 8, 4, {1, 0, 0, 1});
        b.addRectangle(8, 4, 8, 4, {1, 1, 0, 1});
        b.addRectangle(0, 0, 8, 4, {0, 0, 1, 1});
        b.addRectangle(8, 0, 8, 4, {0, 1, 1, 1});
    });
    Canvas moved(std::move(canvas)); // begun: the window's target goes with it
    moved.end();
    EXPECT_EQ(drawTarget(), windowTarget);
    const Bytes read = moved.readPixels();
    ASSERT_EQ(read.size(), 16u * 8 * 4);
    EXPECT_EQ(pixelAt(read, 16, 0, 0), kRed);
    EXPECT_EQ(pixelAt(read, 16, 15, 7), kCyan);

    glViewport(0, 0, 64, 64);
    for (const float angle : {0.0f, 3.14159265f}) {
        glClear(GL_COLOR_BUFFER_BIT);
        drawInto(64, 64, [&](SpriteBatch& b) {
            if (angle == 0) { // a quad of its texture
                b.setTexture(moved.texture());
                b.addQuad({0, 16, 64, 48}, moved.texCoords(), {1, 1, 1, 1});
            } else { // its atlas's picture, 4× and turned about its middle
                b.setAtlas(moved.atlas());
                b.add(0, 32, 32, angle, 4, 4, 8, 4);
            }
        });
        const Bytes shown = window.readPixels(); // bottom row first
        EXPECT_EQ(window.pixel(shown, 4, 44), angle == 0 ? kRed : kCyan) << angle;
        EXPECT_EQ(window.pixel(shown, 60, 20), angle == 0 ? kCyan : kRed) << angle;
        EXPECT_EQ(window.pixel(shown, 32, 60), kBlack) << angle;
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
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glPixelStorei(GL_PACK_SKIP_ROWS, 1);
    canvas.clear({1, 0, 0, 1});
    EXPECT_TRUE(canvas.resize(3, 2)); // the same size keeps the pixels
    EXPECT_EQ(pixelAt(canvas.readPixels(), 3, 2, 1), kRed);
    GLint skipRows = 0, bound = 0;
    glGetIntegerv(GL_PACK_SKIP_ROWS, &skipRows);
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &bound);
    EXPECT_EQ(skipRows + bound, 1 + GLint(buffer));
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glDeleteBuffers(1, &buffer);
    Canvas moved(std::move(canvas));
    EXPECT_EQ(moved.texture(), texture);
    EXPECT_FALSE(canvas.valid());
    EXPECT_EQ(pixelAt(moved.readPixels(), 3, 0, 0), kRed);
    const GLuint id = moved.texture()->textureId;
    { const Canvas gone(std::move(moved)); } // deletes what it owns
    EXPECT_FALSE(glIsTexture(id));
}

TEST(Canvas, AnUnacceptableSizeIsOneLineAndACanvasThatDrawsNothing) {
    VELMORA_REQUIRE_GL();
    OffscreenTarget window(8, 8);
    glClearColor(0, 0, 0, 0); // transparent: a texture without storage would show black
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    for (const auto size : {std::array<int, 2>{0, 4}, {4, -1}, {largest + 1, 1}}) {
        StreamCapture err(StreamCapture::Stream::Err);
        Canvas canvas(size[0], size[1]);
        EXPECT_EQ(testsupport::countOccurrences(err.finish(), "refused"), 1) << size[0];
        EXPECT_FALSE(canvas);
        glClear(GL_COLOR_BUFFER_BIT);
        {
            Canvas::Scope into(canvas);
            canvas.clear({1, 1, 1, 1});
            drawInto(8, 8, [](SpriteBatch& b) { b.addRectangle(0, 0, 8, 8, {1, 0, 0, 1}); });
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << size[0]; // drawn into nothing
        }
        drawInto(8, 8, [&](SpriteBatch& b) {
            b.setTexture(canvas.texture());
            b.addQuad({0, 0, 8, 8}, canvas.texCoords(), {1, 1, 1, 1});
        });
        const Bytes shown = window.readPixels();
        EXPECT_EQ(shown, Bytes(shown.size(), 0)) << size[0];
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
    ASSERT_TRUE(testsupport::writePng("data/textures/two.png", 2, 1, 4,
                                      {0, 0, 0, 255, 255, 255, 255, 255}));
    OffscreenTarget window(64, 8);
    Canvas canvas(2, 1);
    canvas.clear({1, 1, 1, 1});
    {
        Canvas::Scope into(canvas);
        drawInto(2, 1, [](SpriteBatch& b) { b.addRectangle(0, 0, 1, 1, {0, 0, 0, 1}); });
    }
    Texture* const loaded = Texture::load("two.png");
    Atlas atlas;
    for (int owner = 0; owner < 3; ++owner) {
        for (const Filter filter : {Filter::Nearest, Filter::Linear}) {
            Texture* texture = loaded;
            Rect uv = {0, 1, 1, 0}; // the image's top row at v = 0
            if (owner == 0) {
                texture->setFilter(filter);
            } else if (owner == 1) {
                atlas.setFilter(filter); // before loading: kept for the load
                ASSERT_TRUE(atlas.loadPictures({"textures/two.png"}));
                texture = atlas.texture(), uv = atlas.texCoords(0);
            } else {
                canvas.setFilter(filter);
                texture = canvas.texture(), uv = canvas.texCoords();
            }
            drawInto(64, 8, [&](SpriteBatch& b) {
                b.setTexture(texture);
                b.addQuad({0, 0, 64, 8}, uv, {1, 1, 1, 1});
                b.addQuad({40, 0, 41, 8}, uv, {1, 1, 1, 1}); // over the first, shrunk
            });
            const Bytes shown = window.readPixels();
            const bool nearest = filter == Filter::Nearest;
            EXPECT_EQ(owner == 0 ? loaded->filter() : owner == 1 ? atlas.filter() : canvas.filter(), filter);
            if (owner == 1) { // the texture's own filter, whoever set it
                texture->setFilter(filter == Filter::Linear ? Filter::Nearest : Filter::Linear);
                EXPECT_NE(atlas.filter(), filter);
                texture->setFilter(filter);
            }
            // Both texels in one pixel: one of them, or their blend.
            EXPECT_EQ(window.pixel(shown, 40, 4)[0] % 255 == 0, nearest) << owner;
            // Pixel 30's middle is 0.95 texels in: 0.45 of the way to white.
            EXPECT_NEAR(window.pixel(shown, 30, 4)[0], nearest ? 0 : 116, 3) << owner;
            EXPECT_NEAR(window.pixel(shown, 33, 4)[0], nearest ? 255 : 139, 3) << owner;
        }
    }
}

} // namespace
