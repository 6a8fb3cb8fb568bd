// Font baking: quads and texel boxes agree, and codes come in order.
#include "FontBaker.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::vector<unsigned char> dejaVu() {
    std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
}

TEST(FontBaker, QuadsInEmUnitsMatchTheirTexelBoxes) {
    std::vector<unsigned char> font = dejaVu();
    if (font.empty()) {
        GTEST_SKIP() << "DejaVu Sans is not installed";
    }
    FontBaker baker(32, 256);
    std::string error;
    ASSERT_TRUE(baker.bake(font, 32, 126, error)) << error;
    ASSERT_EQ(baker.glyphs().size(), 95u);
    for (const BakedGlyph& g : baker.glyphs()) {
        // One texel per font pixel: the quad, scaled by the em size, is the box.
        EXPECT_NEAR((g.planeRight - g.planeLeft) * 32, g.atlasRight - g.atlasLeft, 1e-3) << g.code;
        EXPECT_NEAR((g.planeTop - g.planeBottom) * 32, g.atlasTop - g.atlasBottom, 1e-3) << g.code;
    }
    const BakedGlyph& a = baker.glyphs()['A' - 32];
    EXPECT_EQ(a.code, 'A');
    EXPECT_NEAR(a.planeBottom, 0.0f, 0.05f); // sits on the baseline
    EXPECT_GT(a.planeTop, 0.6f);             // cap height of DejaVu is about 0.73 em
    EXPECT_LT(a.planeTop, 0.8f);
    const BakedGlyph& g = baker.glyphs()['g' - 32];
    EXPECT_LT(g.planeBottom, -0.1f); // the descender goes below it
}

TEST(FontBaker, RangesShareOneWhiteImageWithCoverageInAlpha) {
    std::vector<unsigned char> font = dejaVu();
    if (font.empty()) {
        GTEST_SKIP() << "DejaVu Sans is not installed";
    }
    FontBaker baker(24, 256);
    std::string error;
    // Two ranges in one image, glyph by glyph in the order given.
    ASSERT_TRUE(baker.bake(font, {{65, 70}, {0xE4, 0xE5}}, error)) << error;
    ASSERT_EQ(baker.glyphs().size(), 8u);
    EXPECT_EQ(baker.glyphs()[5].code, 70);
    EXPECT_EQ(baker.glyphs()[6].code, 0xE4);
    int covered = 0;
    for (size_t i = 0; i < baker.image().rgba.size(); i += 4) {
        EXPECT_EQ(baker.image().rgba[i], 255);
        covered += baker.image().rgba[i + 3] > 0;
    }
    EXPECT_GT(covered, 100);
}

TEST(FontBaker, ReportsWhatDoesNotWork) {
    std::string error;
    FontBaker tooSmall(48, 32);
    std::vector<unsigned char> font = dejaVu();
    if (!font.empty()) {
        EXPECT_FALSE(tooSmall.bake(font, 32, 126, error));
        EXPECT_NE(error.find("do not fit"), std::string::npos);
    }
    std::vector<unsigned char> notAFont(100, 7);
    EXPECT_FALSE(FontBaker(48, 256).bake(notAFont, 32, 126, error));
}

TEST(FontBaker, LinesHaveTenFieldsWithBoxesInWholeTexels) {
    BakedGlyph g;
    g.code = 65;
    g.advance = 0.684f;
    g.planeLeft = 0.01f;
    g.planeTop = 0.73f;
    g.atlasLeft = 12;
    g.atlasTop = 100;
    EXPECT_EQ(FontBaker::formatLine(g),
              "65,0.684000,0.010000,0.000000,0.000000,0.730000,12.0,0.0,0.0,100.0");
}

} // namespace
