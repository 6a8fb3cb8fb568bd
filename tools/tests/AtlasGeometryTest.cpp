// The atlas geometry: sizes, the description's text, and the checks that
// stand in for the engine's reading of it.
#include "AtlasGeometry.h"

#include <gtest/gtest.h>

namespace {

const char* kGameNames[10] = {
    "Bussi5.png", "Bussi5_full.png", "pysakki.png", "pysakki_peli.png", "tausta_ukkeli.png",
    "tausta.png", "title.png",       "gauge.png",   "pointer.png",      "press.png"};

std::vector<AtlasPlacement> tiled(const std::vector<std::string>& names) {
    // Side by side, 0.05 wide each, so only the names can clash.
    std::vector<AtlasPlacement> entries;
    for (size_t i = 0; i < names.size(); ++i) {
        entries.push_back({names[i], 0.05 * i, 0.0, 0.05, 0.05});
    }
    return entries;
}

TEST(AtlasGeometry, FullScreenPicturesPrintExactlyTheScreenSize) {
    AtlasGeometry geometry(2466, 3013);
    AtlasPlacement e = geometry.entryFor("title.png", 1024, 768, 2, 2);
    EXPECT_EQ(formatAtlasLine(e), "title.png 0.000811 0.000664 0.311450 0.191200");
}

TEST(AtlasGeometry, TexelsFollowTheAtlasSize) {
    int w = 0, h = 0;
    AtlasGeometry(3288, 4017).atlasSizeFor(1024, 768, w, h);
    EXPECT_EQ(w, 1024); // one texel per screen pixel
    EXPECT_EQ(h, 768);
    AtlasGeometry(2466, 3013).atlasSizeFor(1024, 768, w, h);
    EXPECT_EQ(w, 768);
    EXPECT_EQ(h, 576);
    AtlasGeometry(2466, 3013).atlasSizeFor(36, 100, w, h);
    EXPECT_EQ(w, 27);
    EXPECT_EQ(h, 75);
}

TEST(AtlasGeometry, SmallPicturesAreSnappedToWholeTexels) {
    AtlasGeometry geometry(2466, 3013);
    AtlasPlacement e = geometry.entryFor("pointer.png", 36, 100, 10, 20);
    EXPECT_DOUBLE_EQ(e.w * 2466, 27.0);
    EXPECT_DOUBLE_EQ(e.h * 3013, 75.0);
    // ... and keep their size on screen within a texel.
    EXPECT_NEAR(AtlasGeometry::screenFromModelX(e.w), 36.0, 1.34);
    EXPECT_NEAR(AtlasGeometry::screenFromModelY(e.h), 100.0, 1.34);
}

TEST(AtlasGeometry, ScreenAndModelUnitsConvertBothWays) {
    EXPECT_DOUBLE_EQ(AtlasGeometry::modelFromScreenX(1024), 0.31145);
    EXPECT_DOUBLE_EQ(AtlasGeometry::modelFromScreenY(768), 0.1912);
    EXPECT_NEAR(AtlasGeometry::screenFromModelX(0.062), 203.85, 0.01);
    EXPECT_NEAR(AtlasGeometry::screenFromModelY(0.03), 120.50, 0.01);
}

TEST(AtlasGeometry, FirstMatchingLineUsesTheEnginesSubstringRule) {
    std::vector<AtlasPlacement> entries = tiled({"_full.png", "Bussi5_full.png", "Bussi5.png"});
    EXPECT_EQ(firstMatchingLine(entries, "Bussi5_full.png"), 0); // the earlier part wins
    EXPECT_EQ(firstMatchingLine(entries, "Bussi5.png"), 2);
    EXPECT_EQ(firstMatchingLine(entries, "gauge.png"), -1);
}

TEST(AtlasGeometry, TheGamesTenNamesNeverAnswerEachOther) {
    std::vector<std::string> names(kGameNames, kGameNames + 10);
    std::vector<AtlasPlacement> entries = tiled(names);
    EXPECT_TRUE(validateAtlas(entries, 1000, 1000).empty());
    // In any order: reversed, each name still finds its own line.
    std::vector<std::string> reversed(names.rbegin(), names.rend());
    EXPECT_TRUE(validateAtlas(tiled(reversed), 1000, 1000).empty());
}

TEST(AtlasGeometry, ValidationReportsShadowedNamesOverlapsAndStrays) {
    std::vector<AtlasPlacement> shadowed = tiled({"sakki.png", "pysakki.png"});
    std::vector<std::string> problems = validateAtlas(shadowed, 1000, 1000);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("pysakki.png"), std::string::npos);

    std::vector<AtlasPlacement> overlapping = {{"a.png", 0.0, 0.0, 0.5, 0.5},
                                               {"b.png", 0.4, 0.4, 0.5, 0.5}};
    EXPECT_EQ(validateAtlas(overlapping, 1000, 1000).size(), 1u);

    // Touching rectangles are fine; one texel of overlap is not.
    std::vector<AtlasPlacement> touching = {{"a.png", 0.0, 0.0, 0.5, 0.5},
                                            {"b.png", 0.5, 0.0, 0.5, 0.5}};
    EXPECT_TRUE(validateAtlas(touching, 1000, 1000).empty());
    touching[1].x = 0.499;
    EXPECT_EQ(validateAtlas(touching, 1000, 1000).size(), 1u);

    std::vector<AtlasPlacement> outside = {{"a.png", 0.8, 0.0, 0.3, 0.1}};
    EXPECT_EQ(validateAtlas(outside, 1000, 1000).size(), 1u);
}

TEST(AtlasGeometry, ParsingReadsWhatFormattingWrote) {
    AtlasPlacement e{"gauge.png", 0.626926, 0.330568, 0.186131, 0.024892};
    std::vector<AtlasPlacement> read;
    ASSERT_TRUE(parseAtlasText(formatAtlasLine(e) + "\n", read));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].name, "gauge.png");
    EXPECT_NEAR(read[0].x, e.x, 1e-7);
    EXPECT_NEAR(read[0].h, e.h, 1e-7);

    std::vector<AtlasPlacement> bad;
    EXPECT_FALSE(parseAtlasText("gauge.png 0.1 0.2 0.3\n", bad));
    EXPECT_FALSE(parseAtlasText("gauge.png 0.1 zero 0.3 0.4\n", bad));
}

} // namespace
