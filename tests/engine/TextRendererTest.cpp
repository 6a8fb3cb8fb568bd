#include "velmora/Camera.h"
#include "engine/Glyph.h"
#include "velmora/Shader.h"
#include "velmora/TextRenderer.h"
#include "velmora/Texture.h"

#include "support/Buffers.h"
#include "support/Capture.h"
#include "support/GlContext.h"
#include "support/Images.h"
#include "support/Offscreen.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

using namespace velmora;

using testsupport::bufferFloats;
using testsupport::countOccurrences;
using testsupport::ScratchDir;
using testsupport::StreamCapture;

namespace {

// A grey font image 8 pixels wide and 512 high.
void writeFontImage() {
    ASSERT_TRUE(testsupport::writePng("data/textures/font.png", 8, 512, 1,
                                      std::vector<unsigned char>(8 * 512, 255)));
}

std::vector<std::uint32_t> codes(const TextRenderer& text) {
    std::vector<std::uint32_t> keys;
    for (const auto& entry : text.glyphs) {
        keys.push_back(entry.first);
    }
    return keys;
}

TEST(TextRendererGlobal, StartsEmptyWithoutAContext) {
    // Constructed before main, with no context anywhere in this process.
    EXPECT_EQ(textRenderer.fontTexture, nullptr);
    EXPECT_EQ(textRenderer.shader, nullptr);
    EXPECT_TRUE(textRenderer.glyphs.empty());
}

TEST(TextRendererInit, LoadsTheTextShader) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/shaders/text.glsl", "#ifdef VERTEX_SHADER\nvoid main() { gl_Position = "
                                            "vec4(0.0); }\n#endif\n#ifdef FRAGMENT_SHADER\nout "
                                            "vec4 c;\nvoid main() { c = vec4(1.0); }\n#endif\n");
    TextRenderer text;
    text.init();
    ASSERT_NE(text.shader, nullptr);
    EXPECT_EQ(shaderRegistry.at("text"), text.shader);

    ScratchDir empty;
    TextRenderer without;
    StreamCapture err(StreamCapture::Stream::Err);
    without.init();
    EXPECT_EQ(err.finish(), "Failed to open the file: \"data/shaders/text.glsl\"\n");
    EXPECT_EQ(without.shader, nullptr);
}

TEST(TextRendererFont, AnEmptyDescriptionGivesNoGlyphsButTheTextureLoads) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeFontImage();
    dir.writeFile("data/textures/font.csv", "");
    TextRenderer text;
    text.loadFont("font.png", "font.csv");
    ASSERT_NE(text.fontTexture, nullptr);
    EXPECT_EQ(text.fontTexture, textureRegistry.at("font"));
    EXPECT_EQ(text.fontTexture->height, 512u);
    EXPECT_TRUE(text.glyphs.empty());

    // A missing description leaves the table as it was, silently.
    StreamCapture err(StreamCapture::Stream::Err);
    text.loadFont("font.png", "absent.csv");
    EXPECT_EQ(err.finish(), "");
    EXPECT_TRUE(text.glyphs.empty());
}

TEST(TextRendererFont, BuildsOneQuadPerGlyphCutFromTheFontImage) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeFontImage();
    dir.writeFile("data/textures/font.csv", "65, 0.625, 0.1, -0.2, 0.6, 0.7, 2, 10, 6, 40\r\n");
    TextRenderer text;
    text.loadFont("font.png", "font.csv");
    ASSERT_EQ(text.glyphs.count(65u), 1u);
    const Glyph& glyph = *text.glyphs.at(65u);
    EXPECT_EQ(glyph.code, 65);
    EXPECT_FLOAT_EQ(glyph.advance, 0.625f);
    ASSERT_NE(glyph.quad, nullptr);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(glyph.quad->model[i], (i % 5 == 0) ? 1.0f : 0.0f);
    }

    const std::vector<float> v = bufferFloats(glyph.quad->vertexBuffer);
    ASSERT_EQ(v.size(), 36u);
    const float top = (512.0f - 40.0f) / 512.0f;
    const float bottom = (512.0f - 10.0f) / 512.0f;
    const float expected[4][4] = {{0.1f, 0.7f, 2.0f / 8, top},
                                  {0.6f, 0.7f, 6.0f / 8, top},
                                  {0.6f, -0.2f, 6.0f / 8, bottom},
                                  {0.1f, -0.2f, 2.0f / 8, bottom}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(v[i * 9], expected[i][0]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v[i * 9 + 1], expected[i][1]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v[i * 9 + 7], expected[i][2]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v[i * 9 + 8], expected[i][3]) << "vertex " << i;
    }
}

TEST(TextRendererFont, LaterLinesWinAndNegativeCodesSortLast) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeFontImage();
    dir.writeFile("data/textures/font.csv", "66,1,0,0,1,1,0,0,1,1\n"
                                            "-1,2,0,0,1,1,0,0,1,1\n"
                                            "32,3,0,0,1,1,0,0,1,1,extra\n"
                                            "66,4,0,0,1,1,0,0,1,1");
    TextRenderer text;
    text.loadFont("font.png", "font.csv");
    EXPECT_EQ(codes(text), (std::vector<std::uint32_t>{32u, 66u, 0xFFFFFFFFu}));
    EXPECT_FLOAT_EQ(text.glyphs.at(66u)->advance, 4.0f);
    EXPECT_EQ(text.glyphs.at(0xFFFFFFFFu)->code, -1);
    EXPECT_FLOAT_EQ(text.glyphs.at(32u)->advance, 3.0f);
}

TEST(TextRendererFont, AMalformedLineIsReportedAndEndsTheFontKeepingWhatCameBefore) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeFontImage();
    dir.writeFile("data/textures/font.csv", "65,1,0,0,1,1,0,0,1,1\n"
                                            "66,1,0,0,1,1,0,0,1,1\n"
                                            "67,1,0,0,1,one,0,0,1,1\n"
                                            "68,1,0,0,1,1,0,0,1,1\n");
    TextRenderer text;
    StreamCapture err(StreamCapture::Stream::Err);
    text.loadFont("font.png", "font.csv");
    const std::string printed = err.finish();
    EXPECT_EQ(codes(text), (std::vector<std::uint32_t>{65u, 66u}));
    EXPECT_EQ(countOccurrences(printed, "\n"), 1) << printed;
    EXPECT_NE(printed.find("data/textures/font.csv"), std::string::npos) << printed;
    EXPECT_NE(printed.find("line 3"), std::string::npos) << printed;
    EXPECT_NE(printed.find("67,1,0,0,1,one,0,0,1,1"), std::string::npos) << printed;

    // Too few fields and an out-of-range number are malformed the same way.
    for (const char* bad : {"70,1,0,0,1,1,0,0,1\n", "71,1e99,0,0,1,1,0,0,1,1\n"}) {
        dir.writeFile("data/textures/bad.csv", bad);
        TextRenderer other;
        StreamCapture badErr(StreamCapture::Stream::Err);
        other.loadFont("font.png", "bad.csv");
        EXPECT_NE(badErr.finish().find("line 1"), std::string::npos) << bad;
        EXPECT_TRUE(other.glyphs.empty()) << bad;
    }
}

TEST(TextRendererFont, AMissingFontImageStillBuildsTheGlyphs) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/textures/font.csv", "65,1,0,0,1,1,0,0,8,8\n");
    TextRenderer text;
    StreamCapture out(StreamCapture::Stream::Out);
    text.loadFont("font.png", "font.csv");
    EXPECT_EQ(out.finish(), "Failed to load texture font.png\n");
    ASSERT_EQ(text.glyphs.size(), 1u);
    EXPECT_EQ(text.fontTexture->width, 0u);
}

// Drawn text on the real font and text program, through a camera whose
// units are the target's pixels.
class TextDraw : public ::testing::Test {
  protected:
    static constexpr int kWidth = 256;
    static constexpr int kHeight = 128;

    void SetUp() override {
        VELMORA_REQUIRE_GL();
        const std::string source = std::string(VELMORA_SOURCE_DIR) + "/data/";
        for (const char* file : {"shaders/text.glsl", "textures/font.csv", "textures/font.png"}) {
            dir.writeFile(std::string("data/") + file, testsupport::readFile(source + file));
        }
        text.init();
        text.loadFont("font.png", "font.csv");
        ASSERT_NE(text.shader, nullptr);
        target = std::make_unique<testsupport::OffscreenTarget>(kWidth, kHeight);
        camera.ortho(0.0f, kWidth, 0.0f, kHeight, -1.0f, 1.0f);
    }

    // The pixels of `string` drawn alone, its box's top-left corner at (8, 120).
    std::vector<unsigned char> drawn(const std::string& string, float size = 32.0f) {
        glClear(GL_COLOR_BUFFER_BIT);
        text.drawText(camera, string, 8.0f, 120.0f, size, {1.0f, 1.0f, 0.0f, 1.0f});
        return target->readPixels();
    }

    // Whether any pixel within columns [left, right) and rows [bottom, top) is lit.
    bool inkIn(const std::vector<unsigned char>& pixels, int left, int bottom, int right,
               int top) const {
        for (int y = std::max(bottom, 0); y < std::min(top, kHeight); ++y) {
            for (int x = std::max(left, 0); x < std::min(right, kWidth); ++x) {
                if (target->pixel(pixels, x, y)[0] != 0) {
                    return true;
                }
            }
        }
        return false;
    }

    ScratchDir dir;
    TextRenderer text;
    Camera camera;
    std::unique_ptr<testsupport::OffscreenTarget> target;
};

TEST_F(TextDraw, InkStaysInTheMeasuredBoxASecondLineIsLowerAndWiderTextMeasuresWider) {
    const Vec2 box = text.measureText("A", 32.0f);
    ASSERT_GT(box.x, 0.0f);
    ASSERT_GT(box.y, 0.0f);
    const auto one = drawn("A");
    const int right = static_cast<int>(std::ceil(8.0f + box.x));
    const int bottom = static_cast<int>(std::floor(120.0f - box.y));
    EXPECT_TRUE(inkIn(one, 8, bottom, right, 120));
    EXPECT_FALSE(inkIn(one, 0, 0, kWidth, bottom)) << "ink below the box";
    EXPECT_FALSE(inkIn(one, right, 0, kWidth, kHeight)) << "ink right of the box";
    EXPECT_FALSE(inkIn(one, 0, 0, 8, kHeight)) << "ink left of the box";
    EXPECT_FALSE(inkIn(one, 0, 120, kWidth, kHeight)) << "ink above the box";
    for (std::size_t at = 0; at < one.size(); at += 4) {
        if (one[at] != 0) {
            ASSERT_EQ(std::vector<unsigned char>(one.begin() + at, one.begin() + at + 3),
                      (std::vector<unsigned char>{255, 255, 0}))
                << "tinted by the colour";
        }
    }

    const auto two = drawn("\nA");
    EXPECT_FALSE(inkIn(two, 0, bottom, kWidth, kHeight)) << "the first line is empty";
    EXPECT_TRUE(inkIn(two, 8, bottom - static_cast<int>(box.y), right, bottom));
    EXPECT_FLOAT_EQ(text.measureText("A\nA", 32.0f).y, 2.0f * box.y);

    EXPECT_GT(text.measureText("AA", 32.0f).x, box.x);
    EXPECT_FLOAT_EQ(text.measureText("AAA\nA", 32.0f).x, text.measureText("AAA", 32.0f).x);
    EXPECT_FLOAT_EQ(text.measureText("A", 64.0f).x, 2.0f * box.x);
    EXPECT_EQ(text.measureText("", 32.0f).x, 0.0f);
}

TEST_F(TextDraw, AByteWithoutAGlyphDrawsTheQuestionMark) {
    const auto question = drawn("?");
    ASSERT_TRUE(inkIn(question, 0, 0, kWidth, kHeight));
    EXPECT_EQ(drawn("\x01"), question);
    EXPECT_EQ(drawn("\xC3"), question);
    EXPECT_FLOAT_EQ(text.measureText("\x7F", 32.0f).x, text.measureText("?", 32.0f).x);

    // Without a '?' in the font, such a byte only advances like a space.
    dir.writeFile("data/textures/bare.csv",
                  "32,0.3,0,0,0,0,0,0,0,0\n65,0.7,0.1,0,0.6,0.7,345,400,378,435\n");
    TextRenderer bare;
    bare.init();
    bare.loadFont("font.png", "bare.csv");
    glClear(GL_COLOR_BUFFER_BIT);
    bare.drawText(camera, " A", 8.0f, 120.0f, 32.0f, {1.0f, 1.0f, 1.0f, 1.0f});
    const auto spaced = target->readPixels();
    glClear(GL_COLOR_BUFFER_BIT);
    bare.drawText(camera,
                  "\x01"
                  "A",
                  8.0f, 120.0f, 32.0f, {1.0f, 1.0f, 1.0f, 1.0f});
    EXPECT_EQ(target->readPixels(), spaced);
    EXPECT_FLOAT_EQ(bare.measureText("\x01"
                                     "A",
                                     1.0f)
                        .x,
                    1.0f);
}

TEST_F(TextDraw, Utf8IsDecodedInvalidBytesAreQuestionMarksTabsStopEveryFourSpaces) {
    // Each string is measured as the characters it should show, and drawn
    // with a bar after it: the bar's ink moves right by exactly the measure.
    const struct {
        const char* utf8;
        std::u32string shows;
    } cases[] = {
        {"Pys\xC3\xA4kki", U"Pys\u00E4kki"},
        {"Kioski \xC2\xB7 Shop", U"Kioski \u00B7 Shop"},
        {"\xC3\xBF\xC2\xA0|", U"\u00FF\u00A0|"},
        {"\x80z\xC3", U"?z?"},    // a stray continuation byte, a sequence cut short
        {"\xE2\x82z", U"??z"},    // a three-byte sequence cut short
        {"\xC0\xAF\xF5", U"???"}, // overlong form, a byte no sequence starts with
        {"\xED\xA0\x80\xF4\x90\x80\x80", U"???????"}, // surrogate, beyond U+10FFFF
        {"\xE2\x82\xAC\xF0\x9F\x98\x80", U"??"},      // valid, but not in the font
        {"i\tA", U"    A"},
        {"\tA", U"    A"},
        {"iiiii\tA", U"        A"},
    };
    const auto barAfter = [&](const std::string& string) {
        const auto pixels = drawn(string + "|", 24.0f);
        int x = kWidth - 1;
        while (x > 0 && !inkIn(pixels, x, 0, x + 1, kHeight)) {
            --x;
        }
        return x;
    };
    for (const auto& c : cases) {
        float advances = 0.0f;
        for (const char32_t code : c.shows) {
            ASSERT_EQ(text.glyphs.count(code), 1u) << static_cast<std::uint32_t>(code);
            advances += text.glyphs.at(code)->advance;
        }
        const float measured = text.measureText(c.utf8, 24.0f).x;
        EXPECT_NEAR(measured, advances * 24.0f, 1e-3f) << c.utf8;
        EXPECT_NEAR(barAfter(c.utf8) - barAfter(""), measured, 1.0f) << c.utf8;
    }
    // A Latin-1 letter draws its own glyph, neither '?' nor its base letter.
    const auto umlaut = drawn("\xC3\xA4");
    EXPECT_NE(umlaut, drawn("?"));
    EXPECT_NE(umlaut, drawn("a"));
}

TEST_F(TextDraw, OneStringIsOneDrawCallEvenAtAHundredThousandCharacters) {
    GLint program = 0;
    glUseProgram(0);
    const std::size_t before = text.drawCalls();
    drawn("Frames 60\nHits 3 misses 2");
    EXPECT_EQ(text.drawCalls(), before + 1);
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0) << "the previous program is restored";

    std::string huge(100000, 'W');
    for (std::size_t i = 64; i < huge.size(); i += 64) {
        huge[i] = '\n';
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    const auto pixels = drawn(huge, 2.0f);
    EXPECT_EQ(text.drawCalls(), before + 2);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(inkIn(pixels, 0, 0, kWidth, kHeight));

    // Nothing to draw with: nothing drawn, no call.
    TextRenderer empty;
    empty.drawText(camera, "A", 0.0f, 100.0f, 32.0f, {1.0f, 1.0f, 1.0f, 1.0f});
    EXPECT_EQ(empty.drawCalls(), 0u);
}

} // namespace
