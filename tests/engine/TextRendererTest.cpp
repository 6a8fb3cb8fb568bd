#include "engine/Shader.h"
#include "engine/TextRenderer.h"
#include "engine/Texture.h"

#include "support/Buffers.h"
#include "support/Capture.h"
#include "support/GlContext.h"
#include "support/Images.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

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

} // namespace
