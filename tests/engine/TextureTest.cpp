#include "velmora/Texture.h"

#include "support/Capture.h"
#include "support/GlContext.h"
#include "support/Images.h"
#include "support/Offscreen.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdint>

using namespace velmora;

using testsupport::ScratchDir;
using testsupport::StreamCapture;
using testsupport::writePng;

namespace {

using Bytes = std::vector<unsigned char>;

// Distinct, position-dependent bytes so that any skew or flip shows.
Bytes patterned(int width, int height, int channels) {
    Bytes pixels(static_cast<size_t>(width) * height * channels);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<unsigned char>((i * 37 + 11) % 251);
    }
    return pixels;
}

GLint levelParameter(const Texture& texture, GLenum which) {
    GLint value = 0;
    glGetTextureLevelParameteriv(texture.textureId, 0, which, &value);
    return value;
}

GLint parameter(const Texture& texture, GLenum which) {
    GLint value = 0;
    glGetTextureParameteriv(texture.textureId, which, &value);
    return value;
}

Bytes readBack(const Texture& texture, GLenum format, int channels) {
    Bytes pixels(static_cast<size_t>(texture.width) * texture.height * channels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTextureImage(texture.textureId, 0, format, GL_UNSIGNED_BYTE,
                      static_cast<GLsizei>(pixels.size()), pixels.data());
    return pixels;
}

// A PNG signature and header chunk claiming the given size, with no image
// data after it: enough for a decoder to read the size and then fail.
std::string pngHeaderOnly(uint32_t width, uint32_t height) {
    std::string bytes = "\x89PNG\r\n\x1a\n";
    auto put32 = [&bytes](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes += static_cast<char>((v >> shift) & 0xFF);
        }
    };
    put32(13);
    bytes += "IHDR";
    put32(width);
    put32(height);
    bytes += std::string("\x08\x06\x00\x00\x00", 5); // 8-bit RGBA
    put32(0);                                        // checksum, not checked by the decoder
    return bytes;
}

TEST(TextureLoad, RegistersUnderTheNameWithoutItsLastExtension) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    for (const char* name : {"textured.glsl", "a.b.glsl", "noext", ".glsl"}) {
        ASSERT_TRUE(writePng(std::string("data/textures/") + name, 2, 2, 4, patterned(2, 2, 4)));
    }
    Texture* textured = Texture::load("textured.glsl");
    Texture* twoDots = Texture::load("a.b.glsl");
    Texture* noExtension = Texture::load("noext");
    Texture* onlyExtension = Texture::load(".glsl");
    EXPECT_EQ(textureRegistry.size(), 4u);
    EXPECT_EQ(textureRegistry.at("textured"), textured);
    EXPECT_EQ(textureRegistry.at("a.b"), twoDots);
    EXPECT_EQ(textureRegistry.at("noext"), noExtension);
    EXPECT_EQ(textureRegistry.at(""), onlyExtension);
    EXPECT_EQ(textured->width, 2u);

    // An entry under the very name asked for is handed back, never null.
    textureRegistry["noext.png"] = noExtension;
    EXPECT_EQ(Texture::load("noext.png"), noExtension);
}

TEST(TextureLoad, StoresThreeChannelsAsRgb8AndFourAsEightBitRgba) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    ASSERT_TRUE(writePng("data/textures/rgb.png", 4, 2, 3, patterned(4, 2, 3)));
    ASSERT_TRUE(writePng("data/textures/rgba.png", 3, 5, 4, patterned(3, 5, 4)));
    Texture* rgb = Texture::load("rgb.png");
    Texture* rgba = Texture::load("rgba.png");
    EXPECT_EQ(levelParameter(*rgb, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB8);
    for (const GLenum channel : {GL_TEXTURE_RED_SIZE, GL_TEXTURE_GREEN_SIZE, GL_TEXTURE_BLUE_SIZE,
                                 GL_TEXTURE_ALPHA_SIZE}) {
        EXPECT_EQ(levelParameter(*rgba, channel), 8) << channel;
    }
    EXPECT_EQ(rgb->width, 4u);
    EXPECT_EQ(rgb->height, 2u);
    EXPECT_EQ(rgba->width, 3u);
    EXPECT_EQ(rgba->height, 5u);
    EXPECT_EQ(levelParameter(*rgba, GL_TEXTURE_WIDTH), 3);
    EXPECT_EQ(levelParameter(*rgba, GL_TEXTURE_HEIGHT), 5);
    EXPECT_EQ(readBack(*rgba, GL_RGBA, 4), patterned(3, 5, 4));
}

TEST(TextureLoad, TheImagesTopRowIsTextureRowZero) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    const Bytes redOverBlue = {255, 0, 0,   255, 255, 0, 0,   255,  // top row: red
                               0,   0, 255, 255, 0,   0, 255, 255}; // bottom row: blue
    ASSERT_TRUE(writePng("data/textures/upright.png", 2, 2, 4, redOverBlue));
    Texture* texture = Texture::load("upright.png");
    EXPECT_EQ(readBack(*texture, GL_RGBA, 4), redOverBlue);
    // And that is what a sampler returns at row 0, under any filter: the
    // texture has its one level and no others.
    glTextureParameteri(texture->textureId, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
    EXPECT_EQ(testsupport::sampleTexels(texture->textureId, 2, 2), redOverBlue);
}

TEST(TextureLoad, RgbRowsThatAreNotAMultipleOfFourBytesArriveUnskewed) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    const Bytes pixels = patterned(5, 3, 3);
    ASSERT_TRUE(writePng("data/textures/odd.png", 5, 3, 3, pixels));
    ASSERT_TRUE(writePng("data/textures/oddAlpha.png", 5, 3, 4, patterned(5, 3, 4)));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    GLuint bound = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &bound);
    glBindTexture(GL_TEXTURE_2D, bound);
    Texture* texture = Texture::load("odd.png");
    ASSERT_EQ(texture->width, 5u);
    EXPECT_EQ(readBack(*texture, GL_RGB, 3), pixels);
    EXPECT_EQ(readBack(*Texture::load("oddAlpha.png"), GL_RGBA, 4), patterned(5, 3, 4));
    // The uploads leave the unpack alignment and the bound texture as they
    // found them.
    GLint alignment = 0;
    GLint binding = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glDeleteTextures(1, &bound);
    EXPECT_EQ(alignment, 8);
    EXPECT_EQ(static_cast<GLuint>(binding), bound);
}

TEST(TextureLoad, GreyImagesSampleAsGreyAndGreyWithAlpha) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    const Bytes grey = {0, 40, 80, 120, 160, 255};
    const Bytes greyAlpha = {10, 255, 90, 128, 200, 0, 250, 64, 30, 1, 77, 177};
    ASSERT_TRUE(writePng("data/textures/grey.png", 3, 2, 1, grey));
    ASSERT_TRUE(writePng("data/textures/greyalpha.png", 3, 2, 2, greyAlpha));
    Texture* g = Texture::load("grey.png");
    Texture* ga = Texture::load("greyalpha.png");
    ASSERT_EQ(g->width, 3u);
    ASSERT_EQ(g->height, 2u);
    ASSERT_EQ(ga->width, 3u);

    const Bytes sampledGrey = testsupport::sampleTexels(g->textureId, 3, 2);
    const Bytes sampledGreyAlpha = testsupport::sampleTexels(ga->textureId, 3, 2);
    for (size_t i = 0; i < 6; ++i) {
        const Bytes expectGrey = {grey[i], grey[i], grey[i], 255};
        const Bytes gotGrey(sampledGrey.begin() + i * 4, sampledGrey.begin() + i * 4 + 4);
        EXPECT_EQ(gotGrey, expectGrey) << "grey texel " << i;
        const unsigned char v = greyAlpha[i * 2];
        const unsigned char a = greyAlpha[i * 2 + 1];
        const Bytes expectGreyAlpha = {v, v, v, a};
        const Bytes gotGreyAlpha(sampledGreyAlpha.begin() + i * 4,
                                 sampledGreyAlpha.begin() + i * 4 + 4);
        EXPECT_EQ(gotGreyAlpha, expectGreyAlpha) << "grey+alpha texel " << i;
    }
}

TEST(TextureLoad, RepeatsAndFiltersLinearlyEvenWhenTheFileFails) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    ASSERT_TRUE(writePng("data/textures/good.png", 2, 2, 3, patterned(2, 2, 3)));
    StreamCapture out(StreamCapture::Stream::Out);
    for (Texture* texture : {Texture::load("good.png"), Texture::load("absent.png")}) {
        EXPECT_EQ(parameter(*texture, GL_TEXTURE_WRAP_S), GL_REPEAT);
        EXPECT_EQ(parameter(*texture, GL_TEXTURE_WRAP_T), GL_REPEAT);
        EXPECT_EQ(parameter(*texture, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
        EXPECT_EQ(parameter(*texture, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    }
    out.finish();
}

TEST(TextureLoad, AMissingFileIsReportedOnceAndStillRegisteredEmpty) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    StreamCapture out(StreamCapture::Stream::Out);
    StreamCapture err(StreamCapture::Stream::Err);
    Texture* texture = Texture::load("font.png");
    EXPECT_EQ(out.finish(), "Failed to load texture font.png\n");
    EXPECT_EQ(err.finish(), "");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(textureRegistry.at("font"), texture);
    EXPECT_EQ(texture->width, 0u);
    EXPECT_EQ(texture->height, 0u);
    EXPECT_EQ(glIsTexture(texture->textureId), GL_TRUE);
    EXPECT_EQ(levelParameter(*texture, GL_TEXTURE_WIDTH), 0);
}

TEST(TextureLoad, UnreadableOrAbsurdImagesTakeTheFailurePath) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/textures/text.png", "this is not an image\n");
    dir.writeFile("data/textures/empty.png", "");
    dir.writeFile("data/textures/huge.png", pngHeaderOnly(1000000, 1000000));
    dir.writeFile("data/textures/truncated.png", pngHeaderOnly(4, 4));
    dir.writeFile("data/textures/zero.png", pngHeaderOnly(0, 7));
    ASSERT_TRUE(writePng("data/textures/valid.png", 8, 8, 4, patterned(8, 8, 4)));
    // Cut a valid file in half: the header is fine, the pixel data is not.
    const std::string valid = testsupport::readFile("data/textures/valid.png");
    dir.writeFile("data/textures/half.png", valid.substr(0, valid.size() / 2));

    for (const char* name :
         {"text.png", "empty.png", "huge.png", "truncated.png", "zero.png", "half.png"}) {
        StreamCapture out(StreamCapture::Stream::Out);
        Texture* texture = Texture::load(name);
        EXPECT_EQ(out.finish(), std::string("Failed to load texture ") + name + "\n");
        ASSERT_NE(texture, nullptr) << name;
        EXPECT_EQ(texture->width, 0u) << name;
        EXPECT_EQ(texture->height, 0u) << name;
    }
}

TEST(TextureLimits, RejectEmptyOversizedAndMemoryExhaustingImages) {
    EXPECT_TRUE(textureSizeAcceptable(1, 1, 16384));
    EXPECT_TRUE(textureSizeAcceptable(8192, 8192, 16384));
    EXPECT_TRUE(textureSizeAcceptable(16384, 64, 16384));
    EXPECT_FALSE(textureSizeAcceptable(16384, 16384, 16384)); // 1 GiB of RGBA
    EXPECT_FALSE(textureSizeAcceptable(16385, 1, 16384));
    EXPECT_FALSE(textureSizeAcceptable(1, 16385, 16384));
    EXPECT_FALSE(textureSizeAcceptable(0, 10, 16384));
    EXPECT_FALSE(textureSizeAcceptable(10, -1, 16384));
    EXPECT_FALSE(textureSizeAcceptable(1 << 30, 1 << 30, 1 << 30));
}

TEST(TextureBind, LeavesTheTextureBoundOnUnitZero) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    ASSERT_TRUE(writePng("data/textures/atlas.png", 2, 2, 4, patterned(2, 2, 4)));
    Texture* texture = Texture::load("atlas.png");
    glActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_2D, 0);
    texture->bind();
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), texture->textureId);
}

} // namespace
