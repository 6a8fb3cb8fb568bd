#include "velmora/Sprite.h"
#include "velmora/Texture.h"

#include "support/Buffers.h"
#include "support/Capture.h"
#include "support/GlContext.h"
#include "support/Images.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

using namespace velmora;

using testsupport::bufferFloats;
using testsupport::bufferSize;
using testsupport::countOccurrences;
using testsupport::ScratchDir;
using testsupport::StreamCapture;

namespace {

void writeAtlasImage(const std::string& atlas) {
    ASSERT_TRUE(testsupport::writePng("data/textures/" + atlas + ".png", 4, 4, 4,
                                      std::vector<unsigned char>(64, 200)));
}

// Positions (x, y) and texture coordinates (u, v) of the four uploaded
// vertices, read back from the vertex buffer.
struct Corners {
    float xy[4][2];
    float uv[4][2];
};

Corners uploadedCorners(const Sprite& sprite) {
    const std::vector<float> v = bufferFloats(sprite.vertexBuffer);
    Corners corners{};
    if (v.size() != 36) {
        ADD_FAILURE() << "expected one quad in the vertex buffer, found " << v.size() << " floats";
        return corners;
    }
    for (int i = 0; i < 4; ++i) {
        corners.xy[i][0] = v[i * 9];
        corners.xy[i][1] = v[i * 9 + 1];
        corners.uv[i][0] = v[i * 9 + 7];
        corners.uv[i][1] = v[i * 9 + 8];
    }
    return corners;
}

TEST(AtlasSprite, BuildsTheQuadOfTheMatchingLineUpright) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeAtlasImage("atlas");
    dir.writeFile("data/textures/atlas.txt", "Bussi5.png 0.1 0.2 0.3 0.4\n");
    auto sprite = std::make_unique<Sprite>();
    EXPECT_EQ(sprite->loadFromAtlas("Bus", "atlas", "Bussi5.png"), 0);

    const Corners c = uploadedCorners(*sprite);
    const float xy[4][2] = {{0, 0}, {0.3f, 0}, {0.3f, 0.4f}, {0, 0.4f}};
    const float uv[4][2] = {{0.1f, 0.6f}, {0.4f, 0.6f}, {0.4f, 0.2f}, {0.1f, 0.2f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(c.xy[i][0], xy[i][0]) << "vertex " << i;
        EXPECT_FLOAT_EQ(c.xy[i][1], xy[i][1]) << "vertex " << i;
        EXPECT_FLOAT_EQ(c.uv[i][0], uv[i][0]) << "vertex " << i;
        EXPECT_FLOAT_EQ(c.uv[i][1], uv[i][1]) << "vertex " << i;
    }
    EXPECT_EQ(sprite->indices, (std::vector<std::uint32_t>{0, 1, 2, 2, 3, 0}));
    EXPECT_EQ(spriteRegistry.at("Bus"), sprite.get());
    ASSERT_EQ(textureRegistry.count("atlas"), 1u);
    EXPECT_EQ(sprite->textures.at(0), textureRegistry.at("atlas"));
    EXPECT_EQ(textureRegistry.at("atlas")->width, 4u);
}

TEST(AtlasSprite, BadLinesAreReportedWhileTheSearchGoesOn) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeAtlasImage("atlas");
    dir.writeFile("data/textures/atlas.txt", "Bussi5.png 0.1 0.2 0.3 0.4\n"
                                             "short.png 0.1 0.2 0.3\n"
                                             "\n"
                                             "_full.png 0.5 0.25 0.25 0.125\r\n"
                                             "Bussi5_full.png 0 0 1 1\n");
    Sprite sprite;
    StreamCapture err(StreamCapture::Stream::Err);
    EXPECT_EQ(sprite.loadFromAtlas("BusFull", "atlas", "Bussi5_full.png"), 0);
    EXPECT_EQ(err.finish(), "Error parsing line: short.png 0.1 0.2 0.3\nError parsing line: \n");
    const Corners c = uploadedCorners(sprite);
    EXPECT_FLOAT_EQ(c.xy[2][0], 0.25f);
    EXPECT_FLOAT_EQ(c.xy[2][1], 0.125f);
    EXPECT_FLOAT_EQ(c.uv[0][1], 0.375f);
}

TEST(AtlasSprite, AMissingDescriptionIsReportedAndLoadsNothing) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeAtlasImage("atlas");
    Sprite sprite;
    StreamCapture out(StreamCapture::Stream::Out);
    StreamCapture err(StreamCapture::Stream::Err);
    EXPECT_EQ(sprite.loadFromAtlas("Bus", "atlas", "Bussi5.png"), 1);
    EXPECT_EQ(err.finish(), "Failed to open the file: \"data/textures/atlas.txt\"\n");
    EXPECT_EQ(out.finish(), "");
    EXPECT_TRUE(textureRegistry.empty());
    EXPECT_TRUE(spriteRegistry.empty());
    EXPECT_TRUE(sprite.indices.empty());
    EXPECT_EQ(sprite.textures.at(0), nullptr);
    EXPECT_EQ(bufferSize(sprite.vertexBuffer), 0);

    dir.makeDir("data/textures/folder.txt");
    StreamCapture folderErr(StreamCapture::Stream::Err);
    EXPECT_EQ(sprite.loadFromAtlas("Bus", "folder", "Bussi5.png"), 1);
    EXPECT_EQ(folderErr.finish(), "Failed to open the file: \"data/textures/folder.txt\"\n");
}

TEST(AtlasSprite, TheAtlasImageIsDecodedOnceForAllItsSprites) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeAtlasImage("atlas");
    std::string text;
    for (int i = 0; i < 10; ++i) {
        text += "pic" + std::to_string(i) + ".png 0 0 0.5 0.5\n";
    }
    dir.writeFile("data/textures/atlas.txt", text);

    auto first = std::make_unique<Sprite>();
    first->loadFromAtlas("Sprite0", "atlas", "pic0.png");
    Texture* atlas = textureRegistry.at("atlas");
    // Without the image on disk, any further decode would be reported.
    ASSERT_EQ(std::remove("data/textures/atlas.png"), 0);
    StreamCapture out(StreamCapture::Stream::Out);
    for (int i = 1; i < 10; ++i) {
        auto sprite = std::make_unique<Sprite>();
        EXPECT_EQ(sprite->loadFromAtlas("Sprite" + std::to_string(i), "atlas",
                                        "pic" + std::to_string(i) + ".png"),
                  0);
        EXPECT_EQ(sprite->textures.at(0), atlas);
    }
    EXPECT_EQ(out.finish(), "");
    EXPECT_EQ(textureRegistry.size(), 1u);
    EXPECT_EQ(textureRegistry.at("atlas"), atlas);
    EXPECT_EQ(spriteRegistry.size(), 10u);
}

TEST(AtlasSprite, TheSameSpriteNameTwiceKeepsTheSecondAndAnEmptyNameNone) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeAtlasImage("atlas");
    dir.writeFile("data/textures/atlas.txt", "a.png 0 0 1 1\nb.png 0 0 0.5 0.5\n");
    auto first = std::make_unique<Sprite>();
    auto second = std::make_unique<Sprite>();
    auto unnamed = std::make_unique<Sprite>();
    first->loadFromAtlas("Bus", "atlas", "a.png");
    second->loadFromAtlas("Bus", "atlas", "b.png");
    unnamed->loadFromAtlas("", "atlas", "a.png");
    EXPECT_EQ(spriteRegistry.size(), 1u);
    EXPECT_EQ(spriteRegistry.at("Bus"), second.get());
    EXPECT_EQ(unnamed->indices.size(), 6u);
}

TEST(AtlasSprite, APictureTheDescriptionLacksIsReportedAndLeavesNoGeometry) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeAtlasImage("atlas");
    dir.writeFile("data/textures/atlas.txt", "Bussi5.png 0.1 0.2 0.3 0.4\n");
    Sprite sprite;
    StreamCapture err(StreamCapture::Stream::Err);
    EXPECT_EQ(sprite.loadFromAtlas("BusFull", "atlas", "Bussi5_full.png"), Sprite::kNoPicture);
    const std::string printed = err.finish();
    EXPECT_EQ(countOccurrences(printed, "\n"), 1) << printed;
    EXPECT_NE(printed.find("Bussi5_full.png"), std::string::npos) << printed;
    EXPECT_NE(printed.find("data/textures/atlas.txt"), std::string::npos) << printed;
    EXPECT_TRUE(sprite.positions.empty());
    EXPECT_TRUE(sprite.texCoords.empty());
    EXPECT_TRUE(sprite.indices.empty());
    EXPECT_EQ(bufferSize(sprite.vertexBuffer), 0);
    EXPECT_EQ(bufferSize(sprite.indexBuffer), 0);
    // The atlas is still loaded for the sprites that follow.
    EXPECT_EQ(textureRegistry.count("atlas"), 1u);
}

TEST(AtlasSprite, BuildingAgainReplacesTheQuadUnlessThePictureIsMissing) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeAtlasImage("atlas");
    dir.writeFile("data/textures/atlas.txt", "a.png 0 0 1 1\nb.png 0 0 0.5 0.25\n");
    Sprite sprite;
    sprite.loadFromAtlas("S", "atlas", "a.png");
    sprite.loadFromAtlas("S", "atlas", "b.png");
    EXPECT_EQ(sprite.positions.size(), 4u);
    EXPECT_EQ(bufferSize(sprite.vertexBuffer), 144);
    EXPECT_EQ(bufferSize(sprite.indexBuffer), 24);
    EXPECT_FLOAT_EQ(uploadedCorners(sprite).xy[2][1], 0.25f);

    StreamCapture err(StreamCapture::Stream::Err);
    EXPECT_EQ(sprite.loadFromAtlas("S", "atlas", "c.png"), Sprite::kNoPicture);
    err.finish();
    EXPECT_FLOAT_EQ(uploadedCorners(sprite).xy[2][1], 0.25f);
    EXPECT_EQ(sprite.indices.size(), 6u);
}

TEST(AtlasSprite, HostileNumbersAreParseErrorsNotCrashes) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeAtlasImage("atlas");
    dir.writeFile("data/textures/atlas.txt", std::string("p.png nan 0 1 1\n"
                                                         "p.png inf 0 1 1\n"
                                                         "p.png 1e999 0 1 1\n"
                                                         "p\0.png 0 0 1 1\n",
                                                         65) +
                                                 std::string(100000, 'z') + "\n");
    Sprite sprite;
    StreamCapture err(StreamCapture::Stream::Err);
    EXPECT_EQ(sprite.loadFromAtlas("P", "atlas", "p.png"), Sprite::kNoPicture);
    const std::string printed = err.finish();
    EXPECT_EQ(countOccurrences(printed, "Error parsing line: "), 4) << printed.substr(0, 300);
    EXPECT_TRUE(sprite.indices.empty());
}

} // namespace
