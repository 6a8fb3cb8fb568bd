// Packing pictures: where they land, their gutters, their texels.
#include "AtlasPacker.h"
#include "AtlasSampler.h"

#include <gtest/gtest.h>

namespace {

Image filled(int w, int h, unsigned char r, unsigned char g, unsigned char b,
             unsigned char a = 255) {
    Image image(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            unsigned char* p = image.pixel(x, y);
            p[0] = r;
            p[1] = g;
            p[2] = b;
            p[3] = a;
        }
    }
    return image;
}

Picture picture(const std::string& name, int screenW, int screenH, const Image& source) {
    Picture p;
    p.name = name;
    p.screenWidth = screenW;
    p.screenHeight = screenH;
    p.source = source;
    return p;
}

// A 1:1 atlas: one texel per reference-screen pixel, so sizes are easy to read.
const int kW = 3288;
const int kH = 4017;

TEST(AtlasPacker, PlacesEveryPictureWithinTheAtlasInGivenOrder) {
    AtlasPacker packer(kW, kH, 2);
    std::vector<Picture> pictures = {picture("red.png", 100, 50, filled(100, 50, 255, 0, 0)),
                                     picture("blue.png", 1024, 768, filled(1024, 768, 0, 0, 255))};
    std::string error;
    ASSERT_TRUE(packer.pack(pictures, error)) << error;
    const std::vector<AtlasPlacement>& entries = packer.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "red.png");
    EXPECT_EQ(entries[1].name, "blue.png");
    EXPECT_DOUBLE_EQ(entries[1].w, 0.31145);
    EXPECT_DOUBLE_EQ(entries[1].h, 0.1912);
    EXPECT_TRUE(validateAtlas(entries, kW, kH).empty());
}

TEST(AtlasPacker, TexelsUnderEachRectangleAreThePicture) {
    AtlasPacker packer(kW, kH, 2);
    std::string error;
    ASSERT_TRUE(packer.pack({picture("red.png", 100, 50, filled(100, 50, 255, 0, 0)),
                             picture("green.png", 40, 40, filled(40, 40, 0, 255, 0))},
                            error));
    AtlasSampler sampler(packer.image(), packer.entries());
    unsigned char texel[4];
    for (const AtlasPlacement& e : packer.entries()) {
        // Corners (half a texel in) and the centre of each rectangle.
        const double inset = 0.5 / kW;
        double us[3] = {e.x + inset, e.x + e.w / 2, e.x + e.w - inset};
        for (double u : us) {
            sampler.sample(u, e.y + 0.5 / kH, texel);
            EXPECT_EQ(texel[0], e.name == "red.png" ? 255 : 0) << e.name;
            EXPECT_EQ(texel[1], e.name == "red.png" ? 0 : 255) << e.name;
            EXPECT_EQ(texel[3], 255) << e.name;
        }
    }
}

TEST(AtlasPacker, GutterRepeatsTheEdgeSoFilteringDoesNotBleed) {
    AtlasPacker packer(kW, kH, 2);
    std::string error;
    ASSERT_TRUE(packer.pack({picture("red.png", 10, 10, filled(10, 10, 255, 0, 0)),
                             picture("blue.png", 10, 10, filled(10, 10, 0, 0, 255))},
                            error));
    AtlasSampler sampler(packer.image(), packer.entries());
    unsigned char texel[4];
    for (const AtlasPlacement& e : packer.entries()) {
        // Exactly on the rectangle's outer edges, linear filtering reaches
        // half a texel beyond them: it must still see the picture's colour.
        sampler.sample(e.x, e.y, texel);
        EXPECT_EQ(texel[0], e.name == "red.png" ? 255 : 0);
        EXPECT_EQ(texel[2], e.name == "red.png" ? 0 : 255);
        sampler.sample(e.x + e.w, e.y + e.h, texel);
        EXPECT_EQ(texel[0], e.name == "red.png" ? 255 : 0);
        EXPECT_EQ(texel[3], 255);
    }
}

TEST(AtlasPacker, FailsWhenThePicturesDoNotFit) {
    AtlasPacker packer(1000, 1000, 2);
    std::string error;
    // 4000 screen pixels are more than a whole 1000-texel atlas.
    EXPECT_FALSE(packer.pack({picture("big.png", 4000, 300, filled(8, 8, 1, 2, 3))}, error));
    EXPECT_NE(error.find("do not fit"), std::string::npos);
}

TEST(AtlasPacker, ResamplesSourcesDrawnAtAnotherSize) {
    AtlasPacker packer(2466, 3013, 1);
    std::string error;
    // Drawn at screen size, 1024x768; the atlas gives it 768x576 texels.
    ASSERT_TRUE(
        packer.pack({picture("title.png", 1024, 768, filled(1024, 768, 10, 200, 30))}, error));
    const AtlasPlacement& e = packer.entries()[0];
    EXPECT_DOUBLE_EQ(e.w, 0.31145);
    unsigned char texel[4];
    AtlasSampler(packer.image(), packer.entries()).sample(e.x + e.w / 2, e.y + e.h / 2, texel);
    EXPECT_NEAR(texel[1], 200, 1);
    EXPECT_EQ(texel[3], 255);
}

TEST(AtlasPacker, BleedingColoursTransparentTexelsAndKeepsThemTransparent) {
    Image image = filled(5, 1, 0, 0, 0, 0);
    unsigned char* opaque = image.pixel(0, 0);
    opaque[0] = 200;
    opaque[3] = 255;
    AtlasPacker::bleedColour(image, 2);
    EXPECT_EQ(image.pixel(1, 0)[0], 200);
    EXPECT_EQ(image.pixel(2, 0)[0], 200);
    EXPECT_EQ(image.pixel(3, 0)[0], 0); // beyond two passes
    for (int x = 1; x < 5; ++x) {
        EXPECT_EQ(image.pixel(x, 0)[3], 0);
    }
}

} // namespace
