#include "engine/FontDescription.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace velmora;

namespace {

FontDescription parse(const std::string& text) {
    std::istringstream in(text);
    return parseFontDescription(in);
}

TEST(FontLine, ReadsTenFieldsInColumnOrder) {
    GlyphRecord glyph;
    ASSERT_TRUE(parseGlyphLine("65,0.5,0.1,-0.2,0.6,0.7,10,20,30,40", glyph));
    EXPECT_EQ(glyph.code, 65);
    EXPECT_FLOAT_EQ(glyph.advance, 0.5f);
    EXPECT_FLOAT_EQ(glyph.planeLeft, 0.1f);
    EXPECT_FLOAT_EQ(glyph.planeBottom, -0.2f);
    EXPECT_FLOAT_EQ(glyph.planeRight, 0.6f);
    EXPECT_FLOAT_EQ(glyph.planeTop, 0.7f);
    EXPECT_FLOAT_EQ(glyph.atlasLeft, 10.0f);
    EXPECT_FLOAT_EQ(glyph.atlasBottom, 20.0f);
    EXPECT_FLOAT_EQ(glyph.atlasRight, 30.0f);
    EXPECT_FLOAT_EQ(glyph.atlasTop, 40.0f);
}

TEST(FontLine, SpacesAfterCommasACarriageReturnAndAnEleventhFieldChangeNothing) {
    GlyphRecord plain;
    ASSERT_TRUE(parseGlyphLine("66,0.5,0,0,1,1,2,3,4,5", plain));
    for (const char* variant : {"66, 0.5, 0, 0, 1, 1, 2, 3, 4, 5", "66,0.5,0,0,1,1,2,3,4,5\r",
                                "66,0.5,0,0,1,1,2,3,4,5,eleventh", "66,0.5,0,0,1,1,2,3,4,5,,,",
                                "\t66 ,0.5px,0,0,1,1,2,3,4,5 "}) {
        GlyphRecord glyph;
        ASSERT_TRUE(parseGlyphLine(variant, glyph)) << variant;
        EXPECT_EQ(glyph.code, plain.code) << variant;
        EXPECT_FLOAT_EQ(glyph.advance, plain.advance) << variant;
        EXPECT_FLOAT_EQ(glyph.atlasTop, plain.atlasTop) << variant;
    }
}

TEST(FontLine, RejectsShortLinesWordsEmptyFieldsAndOutOfRangeNumbers) {
    GlyphRecord glyph;
    for (const char* bad :
         {"", "65", "65,1,2,3,4,5,6,7,8", "A,1,2,3,4,5,6,7,8,9", "65,1,2,3,4,,6,7,8,9",
          "65,1,2,3,4,5,6,7,8,word", "3000000000,1,2,3,4,5,6,7,8,9", "65,1e39,2,3,4,5,6,7,8,9",
          "65,1,2,3,4,5,6,7,8,-1e400", "99999999999999999999,0,0,0,0,0,0,0,0,0"}) {
        EXPECT_FALSE(parseGlyphLine(bad, glyph)) << '"' << bad << '"';
    }
    GlyphRecord limits;
    ASSERT_TRUE(parseGlyphLine("-2147483648,0,0,0,0,0,0,0,0,0", limits));
    EXPECT_EQ(limits.code, -2147483647 - 1);
}

TEST(FontDescriptionFile, EveryLineIncludingTheFirstIsAGlyph) {
    const FontDescription font = parse("32,0.25,0,0,0,0,0,0,0,0\n65,0.5,0,0,1,1,1,1,2,2\n");
    ASSERT_EQ(font.glyphs.size(), 2u);
    EXPECT_EQ(font.glyphs[0].code, 32);
    EXPECT_EQ(font.glyphs[1].code, 65);
    EXPECT_FALSE(font.malformed);
    EXPECT_TRUE(parse("").glyphs.empty());
    EXPECT_FALSE(parse("").malformed);
}

TEST(FontDescriptionFile, StopsAtTheFirstMalformedLineAndSaysWhichItWas) {
    const FontDescription font = parse("32,0.25,0,0,0,0,0,0,0,0\r\n"
                                       "65,0.5,0,0,1,1,1,1,2,2\r\n"
                                       "66,0.5,0,0,1,oops,1,1,2,2\r\n"
                                       "67,0.5,0,0,1,1,1,1,2,2\r\n");
    ASSERT_EQ(font.glyphs.size(), 2u);
    EXPECT_TRUE(font.malformed);
    EXPECT_EQ(font.malformedLineNumber, 3u);
    EXPECT_EQ(font.malformedLine, "66,0.5,0,0,1,oops,1,1,2,2\r");
}

} // namespace
