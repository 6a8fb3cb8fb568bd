// Font on a real OpenGL context: what is drawn lands where measure() says,
// in every script and size; missing code points draw the box; wrapping and
// alignment; OCR reads it back; broken files are refused without reading
// past them (the sanitizer pass runs these too).
#include "velmora/Camera.h"
#include "velmora/Font.h"
#include "velmora/Texture.h"
#include "engine/FontFile.h"

#include "support/Capture.h"
#include "support/FontBuilder.h"
#include "support/GlContext.h"
#include "support/Images.h"
#include "support/Offscreen.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace velmora;
using testsupport::StreamCapture;

namespace {

const std::string kFont = VELMORA_BINARY_DIR "/velmora-engine/data/fonts/DejaVuSans.ttf";
// A font with CJK glyphs, from the test tools (fonts-droid-fallback).
const char* const kCjkFont = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
constexpr int kWidth = 640, kHeight = 200;

struct Ink {
    int left = kWidth, right = -1, bottom = kHeight, top = -1; // pixels, y up; right/top inclusive
    bool any() const { return right >= 0; }
};

// Draws into a fresh target under a camera of one unit per pixel; the
// pixels come back bottom row first.
// `zoom` camera units to a pixel.
std::vector<unsigned char> render(Font& font, const std::string& text, float x, float y,
                                  const TextOptions& options = {}, bool dark = false,
                                  float zoom = 1) {
    testsupport::OffscreenTarget target(kWidth, kHeight);
    if (dark) {
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    Camera camera;
    camera.ortho(0, kWidth * zoom, 0, kHeight * zoom, -1, 1);
    font.draw(camera, text, x, y, dark ? Vec4{0, 0, 0, 1} : Vec4{1, 1, 1, 1}, options);
    return target.readPixels();
}

Ink inkOf(const std::vector<unsigned char>& pixels, int fromX = 0, int toX = kWidth, int fromY = 0,
          int toY = kHeight) {
    Ink ink;
    for (int y = std::max(0, fromY); y < std::min(kHeight, toY); ++y) {
        for (int x = fromX; x < toX; ++x) {
            if (pixels[std::size_t(y * kWidth + x) * 4] > 64) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.bottom = std::min(ink.bottom, y);
                ink.top = std::max(ink.top, y);
            }
        }
    }
    return ink;
}

std::vector<unsigned char> fontBytes() {
    const std::string text = testsupport::readFile(kFont);
    return {text.begin(), text.end()};
}

std::uint32_t be32(const std::vector<unsigned char>& b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}
void put32(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + std::size_t(i)] = static_cast<unsigned char>(v >> (24 - 8 * i));
    }
}
// The directory entry of `tag` (its offset field is at entry + 8).
std::size_t entryOf(const std::vector<unsigned char>& b, const char* tag) {
    for (std::size_t i = 0; i < (std::size_t(b[4]) << 8 | b[5]); ++i) {
        if (std::memcmp(&b[12 + 16 * i], tag, 4) == 0) {
            return 12 + 16 * i;
        }
    }
    ADD_FAILURE() << "no table " << tag;
    return 0;
}

struct ScriptCase {
    const char* script;
    const char* text;
    float size;
    const char* font = nullptr; // DejaVu Sans
};
void PrintTo(const ScriptCase& c, std::ostream* out) {
    *out << c.script << " at " << c.size;
}

class FontScripts : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(FontScripts, EachGlyphLandsWhereMeasureSays) {
    VELMORA_REQUIRE_GL();
    const ScriptCase& c = GetParam();
    Font font;
    ASSERT_TRUE(font.load(c.font ? c.font : kFont, c.size));
    const std::string text = c.text;
    const Vec2 box = font.measure(text);
    EXPECT_FLOAT_EQ(box.y, font.lineHeight());
    const float x = 20, y = 180;
    const auto pixels = render(font, text, x, y);
    const Ink ink = inkOf(pixels);
    ASSERT_TRUE(ink.any());
    // Within the box, and filling it from end to end.
    EXPECT_GE(ink.left, x - 1);
    EXPECT_LE(ink.right, x + box.x + 1);
    EXPECT_LE(ink.top, y);
    EXPECT_GE(ink.bottom, y - box.y);
    EXPECT_LE(ink.left, x + c.size * 0.2f);
    EXPECT_GE(ink.right, x + box.x - c.size * 0.25f);
    // Each character's ink starts within the advance measure gives it.
    for (std::size_t at = 0, next = 0; at < text.size(); at = next) {
        next = at + 1;
        while (next < text.size() && (text[next] & 0xC0) == 0x80) {
            ++next;
        }
        if (text[at] == ' ') {
            continue;
        }
        const int from = int(x + font.measure(text.substr(0, at)).x);
        const int to = int(x + font.measure(text.substr(0, next)).x);
        const Ink glyph = inkOf(pixels, std::max(0, from - 1), std::min(kWidth, to + 2));
        EXPECT_TRUE(glyph.any()) << "no ink for byte " << at << " in " << from << ".." << to;
    }
}

INSTANTIATE_TEST_SUITE_P(
    LatinGreekCyrillicCjk, FontScripts,
    ::testing::Values(ScriptCase{"Latin", "Hamburgefonts AVA", 14},
                      ScriptCase{"Latin", "Hamburgefonts AVA", 40},
                      ScriptCase{"Greek", "Καλημέρα κόσμε", 14},
                      ScriptCase{"Greek", "Καλημέρα κόσμε", 40},
                      ScriptCase{"Cyrillic", "Съешь же ещё", 14},
                      ScriptCase{"Cyrillic", "Съешь же ещё", 40},
                      ScriptCase{"CJK", "中文字体，日本語", 24, kCjkFont}),
    [](const auto& info) {
        return std::string(info.param.script) + std::to_string(int(info.param.size));
    });

TEST(Font, AMissingCodePointDrawsTheMissingGlyphBox) {
    VELMORA_REQUIRE_GL();
    Font font;
    ASSERT_TRUE(font.load(kFont, 40));
    // Two code points DejaVu Sans lacks: both draw glyph 0, the same box.
    const auto first = render(font, "\U0002F800", 100, 150);
    const auto second = render(font, "\U000E0F00", 100, 150);
    const Ink box = inkOf(first);
    ASSERT_TRUE(box.any());
    EXPECT_GT(box.right - box.left, 10);
    EXPECT_GT(box.top - box.bottom, 20);
    EXPECT_EQ(first, second);
    EXPECT_GT(font.measure("A\U0002F800B").x, font.measure("AB").x + 10);
}

// Glyph 0 without an outline: a hollow box, most of the ascent high but no
// higher than a page holds, even where the font's ascent is 3 em at 1024 px.
TEST(Font, AFontWhoseMissingGlyphIsEmptyDrawsAHollowBox) {
    VELMORA_REQUIRE_GL();
    std::vector<unsigned char> bytes = fontBytes();
    const std::uint32_t loca = be32(bytes, entryOf(bytes, "loca") + 8);
    put32(bytes, loca + 4, be32(bytes, loca)); // glyph 0 holds no outline
    testsupport::ScratchDir dir;
    dir.writeFile("data/fonts/empty0.ttf", std::string(bytes.begin(), bytes.end()));
    const std::uint32_t hhea = be32(bytes, entryOf(bytes, "hhea") + 8);
    bytes[hhea + 4] = 0x18, bytes[hhea + 5] = 0x00; // ascent 6144 units: 3 em
    dir.writeFile("data/fonts/tall.ttf", std::string(bytes.begin(), bytes.end()));
    struct Case {
        const char* file;
        float size, zoom, highest; // highest: the box's height in units at most
    };
    for (const Case& c : {Case{"empty0.ttf", 40, 1, 40}, Case{"tall.ttf", 1024, 16, 2046}}) {
        Font font;
        ASSERT_TRUE(font.load(c.file, c.size));
        const auto pixels = render(font, "\U0002F800", 100 * c.zoom, 20 * c.zoom + font.ascent(),
                                   {}, false, c.zoom);
        const Ink box = inkOf(pixels);
        ASSERT_TRUE(box.any()) << c.file;
        EXPECT_GT((box.right - box.left) * c.zoom, 0.3f * c.size) << c.file;
        EXPECT_GT((box.top - box.bottom) * c.zoom, 0.5f * c.size) << c.file;
        EXPECT_LE((box.top - box.bottom) * c.zoom, c.highest) << c.file;
        EXPECT_GE(box.bottom, 19) << c.file << ": whole, from the baseline up";
        const int middle = ((box.top + box.bottom) / 2 * kWidth + (box.left + box.right) / 2) * 4;
        EXPECT_EQ(pixels[std::size_t(middle)], 0) << "hollow";
        const int midRow = (box.top + box.bottom) / 2, midColumn = (box.left + box.right) / 2;
        EXPECT_GT(pixels[std::size_t(midRow * kWidth + box.left) * 4], 64) << "its left side";
        EXPECT_GT(pixels[std::size_t(box.top * kWidth + midColumn) * 4], 64) << "its top";
        EXPECT_GT(pixels[std::size_t(box.bottom * kWidth + midColumn) * 4], 64) << "its bottom";
        EXPECT_GE(font.measure("\U0002F800").x, float(box.right - 100) * c.zoom);
    }
}

TEST(Font, EitherUnicodeMappingIsRead) {
    const std::vector<unsigned char> original = fontBytes();
    FontFile both;
    std::string why;
    ASSERT_TRUE(both.open(original, why));
    // DejaVu Sans maps by format 4 and by format 12: each alone maps alike.
    for (const std::uint32_t hidden : {4u, 12u}) {
        std::vector<unsigned char> bytes = original;
        const std::uint32_t cmap = be32(bytes, entryOf(bytes, "cmap") + 8);
        for (std::uint32_t i = 0; i < (std::uint32_t(bytes[cmap + 2]) << 8 | bytes[cmap + 3]); ++i) {
            const std::uint32_t at = cmap + be32(bytes, cmap + 8 + 8 * i);
            if ((std::uint32_t(bytes[at]) << 8 | bytes[at + 1]) == hidden) {
                bytes[cmap + 4 + 8 * i + 1] = 1; // a Macintosh record: not read
            }
        }
        FontFile one;
        ASSERT_TRUE(one.open(bytes, why)) << hidden << ": " << why;
        for (const char32_t code : {U'A', U'Ж', U'Ω', U'€'}) {
            EXPECT_EQ(one.glyphIndex(code), both.glyphIndex(code)) << hidden;
            EXPECT_NE(one.glyphIndex(code), 0);
        }
    }
}

TEST(Font, WrapsAtSpacesAndBreaksLongWords) {
    Font font;
    ASSERT_TRUE(font.load(kFont, 20));
    struct Wrap {
        std::string text, fitting;       // wrapped at the width of `fitting`
        std::vector<std::string> lines;  // what it must give
    };
    const Wrap table[] = {
        {"alpha beta gamma", "alpha beta", {"alpha beta", "gamma"}},
        {"alpha beta gamma", "gamma", {"alpha", "beta", "gamma"}},
        {"alpha  beta", "alpha", {"alpha", "beta"}},
        {"abcdefghij", "abcde", {"abcde", "fghij"}},
        {"one\ntwo three", "three", {"one", "two", "three"}},
        {"i WWW", "i WW", {"i", "WW", "W"}}, // the word moved, then broken
        {"alpha beta ", "alpha beta", {"alpha beta"}}, // a blank past the end
    };
    for (const Wrap& row : table) {
        TextOptions options;
        options.wrapWidth = font.measure(row.fitting).x + 0.5f;
        float widest = 0;
        for (const std::string& line : row.lines) {
            widest = std::max(widest, font.measure(line).x);
        }
        const Vec2 box = font.measure(row.text, options);
        EXPECT_FLOAT_EQ(box.y, float(row.lines.size()) * font.lineHeight()) << row.text;
        EXPECT_NEAR(box.x, widest, 0.01f) << row.text;
    }
    TextOptions spaced;
    spaced.lineHeight = 50;
    EXPECT_FLOAT_EQ(font.measure("a\nb\nc", spaced).y, 150);
}

TEST(Font, AlignsEachLineAboutX) {
    VELMORA_REQUIRE_GL();
    Font font;
    ASSERT_TRUE(font.load(kFont, 30));
    const float x = 320;
    for (TextAlign align : {TextAlign::Left, TextAlign::Centre, TextAlign::Right}) {
        TextOptions options;
        options.align = align;
        const auto pixels = render(font, "HH\nHHHHHH", x, 190, options);
        // The two lines, each on its own band of rows.
        for (int line = 0; line < 2; ++line) {
            const int top = 190 - int(font.lineHeight()) * line;
            const Ink ink = inkOf(pixels, 0, kWidth, top - int(font.lineHeight()), top);
            ASSERT_TRUE(ink.any());
            const float centre = (ink.left + ink.right + 1) / 2.0f;
            if (align == TextAlign::Left) {
                EXPECT_NEAR(ink.left, x + 3, 3);
            } else if (align == TextAlign::Centre) {
                EXPECT_NEAR(centre, x, 2);
            } else {
                EXPECT_NEAR(ink.right + 1, x - 3, 3);
            }
        }
    }
}

TEST(Font, PagesGrowAndKeepTheirGlyphs) {
    VELMORA_REQUIRE_GL();
    Font font;
    ASSERT_TRUE(font.load(kFont, 64));
    const auto before = render(font, "Ж", 10, 150);
    ASSERT_EQ(font.pageCount(), 1u);
    EXPECT_EQ(font.pageSize(0).x, 256);
    std::string many;
    for (char32_t c = 0x410; c < 0x450; ++c) { // Cyrillic capitals and smalls
        many += char(0xD0 | (c >> 6)), many += char(0x80 | (c & 0x3F));
    }
    for (char c = 'A'; c <= 'z'; ++c) {
        many += c;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    render(font, many, 0, 150);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8); // the uploads put the game's unpack state back
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    EXPECT_GT(font.pageSize(0).x * font.pageSize(0).y, 256 * 256);
    EXPECT_GT(font.glyphCount(), 100u);
    EXPECT_EQ(font.pageSize(font.pageCount()).x, 0); // no such page
    EXPECT_EQ(font.pageTexture(font.pageCount()), nullptr);
    EXPECT_EQ(render(font, "Ж", 10, 150), before);
}

TEST(Font, AFullPageStartsAnotherAndOneStringDrawsFromBoth) {
    VELMORA_REQUIRE_GL();
    Font font;
    ASSERT_TRUE(font.load(kFont, 300));
    std::string many;
    for (char c = '!'; c <= '~' && font.pageCount() < 2; ++c) {
        many = c;
        render(font, many, 10, 190);
    }
    ASSERT_EQ(font.pageCount(), 2u);
    EXPECT_EQ(font.pageSize(0).x, 2048);
    EXPECT_EQ(font.pageSize(0).y, 2048);
    // '!' lies on the first page, the last glyph on the second.
    const std::size_t calls = font.drawCalls();
    const auto both = render(font, "!" + many, 10, 190);
    EXPECT_EQ(font.drawCalls(), calls + 2);
    EXPECT_TRUE(inkOf(both, 0, int(10 + font.measure("!").x)).any());
    EXPECT_TRUE(inkOf(both, int(10 + font.measure("!").x), kWidth).any());
}

TEST(Font, FontsAreSeparateAndMoveOnly) {
    VELMORA_REQUIRE_GL();
    {
        Font owner;
        ASSERT_TRUE(owner.load(kFont, 16));
        render(owner, "Hello", 10, 100);
        const unsigned int page = owner.pageTexture(0)->textureId;
        EXPECT_TRUE(glIsTexture(page));
        owner = Font(); // its textures go with it
        EXPECT_FALSE(glIsTexture(page));
    }
    Font small, large;
    ASSERT_TRUE(small.load(kFont, 16));
    ASSERT_TRUE(large.load(kFont, 32));
    EXPECT_EQ(Font::fileMemory(), fontBytes().size()); // one copy of the file for both
    EXPECT_NEAR(large.measure("Hello").x, 2 * small.measure("Hello").x, 2);
    Font moved = std::move(large);
    EXPECT_TRUE(moved.loaded());
    EXPECT_FALSE(large.loaded());
    EXPECT_EQ(large.measure("Hello").x, 0);
    EXPECT_TRUE(inkOf(render(moved, "Hello", 10, 100)).any());
    EXPECT_FALSE(inkOf(render(large, "Hello", 10, 100)).any());
    EXPECT_TRUE(inkOf(render(small, "Hello", 10, 100)).any());
    // Given a new size, it draws as a font loaded at that size does.
    ASSERT_TRUE(small.setPixelSize(32));
    EXPECT_EQ(small.pageCount(), 0u); // the old size's pages are gone
    EXPECT_EQ(small.lineHeight(), moved.lineHeight());
    EXPECT_EQ(render(small, "Hello", 10, 100), render(moved, "Hello", 10, 100));
}

TEST(Font, OcrReadsALatinLineAtTwoSizes) {
    VELMORA_REQUIRE_GL();
    testsupport::ScratchDir dir;
    for (float size : {22.0f, 44.0f}) {
        Font font;
        ASSERT_TRUE(font.load(kFont, size));
        const auto pixels = render(font, "Quick brown fox 2048", 20, 150, {}, true);
        std::vector<unsigned char> topFirst;
        for (int row = kHeight - 1; row >= 0; --row) {
            topFirst.insert(topFirst.end(), pixels.begin() + row * kWidth * 4,
                            pixels.begin() + (row + 1) * kWidth * 4);
        }
        ASSERT_TRUE(testsupport::writePng("line.png", kWidth, kHeight, 4, topFirst));
        int status = -1;
        const std::string read = testsupport::runShell("tesseract line.png stdout --psm 7 2>/dev/null", &status);
        ASSERT_EQ(status, 0) << "tesseract (scripts/bootstrap.sh test installs it)";
        EXPECT_NE(read.find("Quick brown fox 2048"), std::string::npos) << size << ": " << read;
    }
}

// Broken fonts: each refused with its one line, the font loaded before kept.
struct BadFont {
    const char* name;
    void (*damage)(std::vector<unsigned char>&);
    const char* why;
};

void PrintTo(const BadFont& bad, std::ostream* out) {
    *out << bad.name;
}

class FontRefuses : public ::testing::TestWithParam<BadFont> {};

TEST_P(FontRefuses, WithOneLineAndKeepsTheFontItHad) {
    const BadFont& bad = GetParam();
    testsupport::ScratchDir dir;
    std::vector<unsigned char> bytes = fontBytes();
    bad.damage(bytes);
    dir.writeFile("data/fonts/bad.ttf", std::string(bytes.begin(), bytes.end()));
    Font font;
    ASSERT_TRUE(font.load(kFont, 20));
    const float height = font.lineHeight();
    StreamCapture err(StreamCapture::Stream::Err);
    EXPECT_FALSE(font.load("bad.ttf", 20));
    const std::string said = err.finish();
    EXPECT_EQ(testsupport::countOccurrences(said, "\n"), 1) << said;
    EXPECT_NE(said.find("Failed to load font \"data/fonts/bad.ttf\": "), std::string::npos) << said;
    EXPECT_NE(said.find(bad.why), std::string::npos) << said;
    EXPECT_TRUE(font.loaded());
    EXPECT_EQ(font.lineHeight(), height);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, FontRefuses,
    ::testing::Values(
        BadFont{"Empty", [](auto& b) { b.clear(); }, "too short"},
        BadFont{"Text", [](auto& b) { b.assign(400, 'x'); }, "not a TrueType"},
        BadFont{"CutShort", [](auto& b) { b.resize(b.size() * 2 / 5); }, "past the end"},
        BadFont{"DirectoryCut", [](auto& b) { b.resize(60); }, "table directory runs past"},
        BadFont{"TablePastEnd", [](auto& b) { put32(b, entryOf(b, "glyf") + 8, std::uint32_t(b.size()) - 8); },
                "a table runs past the end"},
        BadFont{"LocaPastGlyf",
                [](auto& b) { put32(b, be32(b, entryOf(b, "loca") + 8) + 4 * 40, 0x7FFFFFF0u); },
                "loca points past"},
        BadFont{"CmapPastEnd",
                [](auto& b) {
                    const std::uint32_t cmap = be32(b, entryOf(b, "cmap") + 8);
                    for (std::uint32_t i = 0; i < (std::uint32_t(b[cmap + 2]) << 8 | b[cmap + 3]); ++i) {
                        put32(b, cmap + 8 + 8 * i, 0x7FFFFFF0u);
                    }
                },
                "cmap has no Unicode mapping"},
        BadFont{"KernPairs",
                [](auto& b) {
                    const std::uint32_t kern = be32(b, entryOf(b, "kern") + 8);
                    b[kern + 10] = b[kern + 11] = 0xFF;
                },
                "kern is shorter"},
        BadFont{"HeadShort", [](auto& b) { put32(b, entryOf(b, "head") + 12, 40); }, "too short"},
        BadFont{"NoHeight",
                [](auto& b) {
                    const std::uint32_t hhea = be32(b, entryOf(b, "hhea") + 8);
                    std::fill(b.begin() + hhea + 4, b.begin() + hhea + 8, 0); // ascent, descent
                },
                "hhea gives the font no height"},
        BadFont{"TableBeyondDirectory",
                [](auto& b) { // maxp moved to the end, then left out of the count
                    const std::size_t maxp = entryOf(b, "maxp"), count = std::size_t(b[4]) << 8 | b[5];
                    for (std::size_t at = maxp; at + 16 < 12 + 16 * count; ++at) {
                        std::swap(b[at], b[at + 16]);
                    }
                    b[5] = static_cast<unsigned char>(b[5] - 1);
                },
                "a table it needs is missing"},
        BadFont{"Cff", [](auto& b) { std::memcpy(b.data(), "OTTO", 4); }, "CFF outlines"},
        // Made to order: stb_truetype takes a table at offset 0 for missing.
        BadFont{"GlyfAtOffsetZero",
                [](auto& b) {
                    testsupport::FontPlan plan;
                    plan.cff = true;
                    plan.entryOffset["glyf"] = 0;
                    b = testsupport::buildFont(plan);
                },
                "CFF outlines"},
        // The bounds on a glyph's work, counted from whichever glyph is drawn.
        BadFont{"NestedNineDeep",
                [](auto& b) { b = testsupport::buildFont(testsupport::compositeChain(9, true)); },
                "glyph 10 nests composite glyphs more than 8 deep"},
        BadFont{"AThousandComponentsOfAThousand",
                [](auto& b) { b = testsupport::buildFont(testsupport::compositeFan(1000, 1000)); },
                "glyph 1 is made of more than 1024 components"},
        BadFont{"TwiceFortyThousandPoints",
                [](auto& b) {
                    testsupport::FontPlan plan = testsupport::compositeFan(2, 1);
                    plan.glyphs[3].points = 40000;
                    b = testsupport::buildFont(plan);
                },
                "glyph 1 has more than 65535 points"},
        BadFont{"Collection", [](auto& b) { std::memcpy(b.data(), "ttcf", 4); }, "collections"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Font, RefusesMissingFilesAndImpossibleSizes) {
    Font font, sized;
    ASSERT_TRUE(sized.load(kFont, 20));
    StreamCapture err(StreamCapture::Stream::Err);
    EXPECT_FALSE(font.load("/nonexistent/x.ttf", 20));
    EXPECT_FALSE(font.load(kFont, 0));
    EXPECT_FALSE(font.load(kFont, 5000));
    EXPECT_FALSE(font.setPixelSize(20)); // nothing loaded
    EXPECT_FALSE(sized.setPixelSize(5000));
    const std::string said = err.finish();
    EXPECT_NE(said.find("\"/nonexistent/x.ttf\": cannot open it"), std::string::npos) << said;
    EXPECT_EQ(testsupport::countOccurrences(said, "pixel size"), 3) << said;
    EXPECT_EQ(testsupport::countOccurrences(said, "\n"), 5) << said;
    EXPECT_FALSE(font.loaded());
    EXPECT_EQ(sized.pixelSize(), 20);
}

TEST(Font, EveryCutOfTheFileIsRefused) {
    const std::vector<unsigned char> bytes = fontBytes();
    for (std::size_t length = 0; length < bytes.size(); length += bytes.size() / 97 + 1) {
        FontFile file;
        std::string why;
        EXPECT_FALSE(file.open({bytes.begin(), bytes.begin() + std::ptrdiff_t(length)}, why))
            << length;
    }
}

TEST(Font, GlyphsAtTheBoundsAreDrawnAndOnesPlacedPast16BitsAreNot) {
    using testsupport::FontPlan;
    FontPlan points = testsupport::compositeFan(1, 1);
    points.glyphs[3].points = 65533; // and two for its contour
    // Moved past 16 bits: by words, by bytes; made of a glyph past the last.
    FontPlan placed = testsupport::compositeFan(1, 1), nudged = placed, past = placed;
    placed.glyphs[2].parts = {{3, 32000, 0, 0}, {3, -1000, 32767, 0x4000}};
    nudged.glyphs[3].size = 32700;
    nudged.glyphs[2].parts = {{3, 0, 100, 0}};
    past.glyphs[2].parts = {{4, 0, 0, 0}};
    struct Case {
        FontPlan plan;
        int glyph;
        bool usable;
    } cases[] = {{testsupport::compositeChain(8), 1, true},
                 {testsupport::compositeFan(32, 31), 1, true},
                 {points, 1, true},
                 {placed, 1, false},
                 {nudged, 1, false},
                 {past, 1, false}};
    for (const Case& c : cases) {
        FontFile file;
        std::string why;
        ASSERT_TRUE(file.open(testsupport::buildFont(c.plan), why)) << why;
        EXPECT_EQ(file.usable(c.glyph), c.usable) << c.glyph;
        FontFile::Bitmap bitmap;
        EXPECT_EQ(file.rasterise(c.glyph, 0.1f, 256, bitmap), c.usable);
    }
}

TEST(Font, ABrokenOutlineDrawsTheBox) {
    VELMORA_REQUIRE_GL();
    std::vector<unsigned char> bytes = fontBytes();
    FontFile file;
    std::string why;
    ASSERT_TRUE(file.open(bytes, why)) << why;
    const int h = file.glyphIndex(U'H');
    // 'H' claims 30000 contours: far more than its bytes hold.
    const std::uint32_t loca = be32(bytes, entryOf(bytes, "loca") + 8);
    const std::uint32_t glyf = be32(bytes, entryOf(bytes, "glyf") + 8);
    const std::uint32_t at = glyf + be32(bytes, loca + 4 * std::uint32_t(h));
    bytes[at] = 0x75, bytes[at + 1] = 0x30;
    testsupport::ScratchDir dir;
    dir.writeFile("data/fonts/broken.ttf", std::string(bytes.begin(), bytes.end()));
    Font font;
    ASSERT_TRUE(font.load("broken.ttf", 40));
    StreamCapture err(StreamCapture::Stream::Err);
    const auto drawn = render(font, "H", 100, 150);
    EXPECT_NE(err.finish().find("broken outline"), std::string::npos);
    EXPECT_EQ(drawn, render(font, "\U0002F800", 100, 150));
}

} // namespace
