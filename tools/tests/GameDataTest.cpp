// The committed pictures and font under data/, checked against what the
// game does with them: the names it asks for, where it draws each picture,
// and the numbers of its rules (bus path, gauge travel, hit window).
#include "AtlasSampler.h"
#include "FontBaker.h"

#include <stb_image.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

const std::string kData = VELMORA_DATA_DIR;

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool loadImage(const std::string& path, Image& image, int& channels) {
    int w = 0, h = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &channels, 4);
    if (!pixels) {
        return false;
    }
    image = Image(w, h);
    std::memcpy(image.rgba.data(), pixels, image.rgba.size());
    stbi_image_free(pixels);
    return true;
}

class GameAtlas : public ::testing::Test {
  protected:
    void SetUp() override {
        int channels = 0;
        ASSERT_TRUE(loadImage(kData + "/textures/atlas.png", atlas, channels));
        ASSERT_EQ(channels, 4) << "the cut-out pictures need an alpha channel";
        ASSERT_TRUE(parseAtlasText(readText(kData + "/textures/atlas.txt"), entries));
    }

    // The game's frame at 1024x768 with the given pictures drawn in order.
    Image frame(const std::vector<std::pair<std::string, std::pair<double, double>>>& draws) {
        Image out(1024, 768);
        AtlasSampler sampler(atlas, entries);
        for (const auto& d : draws) {
            EXPECT_TRUE(sampler.draw(out, d.first, d.second.first, d.second.second)) << d.first;
        }
        return out;
    }

    const AtlasPlacement& entry(const std::string& name) {
        return entries[firstMatchingLine(entries, name)];
    }

    Image atlas;
    std::vector<AtlasPlacement> entries;
};

const char* kPictures[10] = {
    "Bussi5.png", "Bussi5_full.png", "pysakki.png", "pysakki_peli.png", "tausta_ukkeli.png",
    "tausta.png", "title.png",       "gauge.png",   "pointer.png",      "press.png"};

TEST_F(GameAtlas, EveryPictureTheGameAsksForFindsItsOwnLine) {
    ASSERT_EQ(entries.size(), 10u);
    for (const char* name : kPictures) {
        int line = firstMatchingLine(entries, name);
        ASSERT_GE(line, 0) << name;
        EXPECT_EQ(entries[line].name, name);
    }
    EXPECT_TRUE(validateAtlas(entries, atlas.width, atlas.height).empty());
}

TEST_F(GameAtlas, FullScreenPicturesFillTheScreenExactly) {
    std::string text = readText(kData + "/textures/atlas.txt");
    for (const char* name :
         {"pysakki.png", "pysakki_peli.png", "tausta_ukkeli.png", "tausta.png", "title.png"}) {
        std::string line = text.substr(text.find(std::string(name) + " "));
        line = line.substr(0, line.find('\n'));
        EXPECT_NE(line.find(" 0.311450 0.191200"), std::string::npos) << line;
    }
}

TEST_F(GameAtlas, BusIsNarrowEnoughToLeaveTheScreen) {
    // It leaves past x = -0.25 (the end of its path) and must be gone by then.
    EXPECT_LT(entry("Bussi5.png").w, 0.25);
    EXPECT_DOUBLE_EQ(entry("Bussi5.png").w, entry("Bussi5_full.png").w);
    // At its start point, (0.33, 0.05), it is beyond the right edge.
    EXPECT_GT(0.33, AtlasSampler::kViewModelWidth);
}

// The pointer's reading: the middle of its needle, in model units from the
// sprite's left edge, measured on the needle's stem below the marker.
double needleOffset(const Image& atlas, const AtlasPlacement& pointer) {
    int left = static_cast<int>(pointer.x * atlas.width + 0.5);
    int width = static_cast<int>(pointer.w * atlas.width + 0.5);
    int row = static_cast<int>((pointer.y + pointer.h * 0.8) * atlas.height);
    double sum = 0.0;
    int count = 0;
    for (int x = left; x < left + width; ++x) {
        if (atlas.pixel(x, row)[3] >= 128) {
            sum += x - left + 0.5;
            ++count;
        }
    }
    EXPECT_GT(count, 0);
    return count ? sum / count / atlas.width : 0.0;
}

// Centres of the two white marks that bound the hit window on the gauge's
// scale, in model units from the face's left edge.
void windowMarks(const Image& atlas, const AtlasPlacement& face, double& from, double& to) {
    int left = static_cast<int>(face.x * atlas.width + 0.5);
    int width = static_cast<int>(face.w * atlas.width + 0.5);
    // The scale is 44..74 of the face's 100 rows; read its middle row.
    int row = static_cast<int>((face.y + face.h * 0.59) * atlas.height);
    // Whiteness-weighted centre of each run of whitish texels.
    std::vector<double> centres;
    double sum = 0.0, weight = 0.0;
    for (int x = left; x <= left + width; ++x) {
        const unsigned char* p = atlas.pixel(std::min(x, left + width - 1), row);
        int white = std::min({p[0], p[1], p[2]});
        if (x < left + width && white > 160) {
            sum += (x - left + 0.5) * white;
            weight += white;
        } else if (weight > 0.0) {
            centres.push_back(sum / weight / atlas.width);
            sum = weight = 0.0;
        }
    }
    ASSERT_EQ(centres.size(), 2u) << "expected the two window marks on the scale";
    from = centres[0];
    to = centres[1];
}

TEST_F(GameAtlas, GaugeWindowIsWhereTheNeedleStandsForHitValues) {
    // The pointer is drawn at 0.062 + 0.173 * value, the face at 0.062, and a
    // press hits for values 0.35 to 0.65.
    double needle = needleOffset(atlas, entry("pointer.png"));
    double from = 0.0, to = 0.0;
    windowMarks(atlas, entry("gauge.png"), from, to);
    // Within a screen pixel.
    const double tolerance = 1.0 / 3288.0;
    EXPECT_NEAR(0.173 * 0.35 + needle, from, tolerance);
    EXPECT_NEAR(0.173 * 0.65 + needle, to, tolerance);
    // The whole swing stays on the face.
    EXPECT_GE(needle, 0.0);
    EXPECT_LE(0.173 + entry("pointer.png").w, entry("gauge.png").w + 1e-6);
}

// Pixels that differ by more than rounding: the two backgrounds sit at
// different places in the atlas, so filtering may round them apart by one.
int visiblyDifferent(const Image& a, const Image& b) {
    int count = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4) {
        for (size_t c = 0; c < 3; ++c) {
            if (std::abs(a.rgba[i + c] - b.rgba[i + c]) > 8) {
                ++count;
                break;
            }
        }
    }
    return count;
}

TEST_F(GameAtlas, ManIsHiddenBehindTheBusWhileItStandsAtTheStop) {
    // The bus stops at the first whole-frame progress above 0.42 (up to one
    // 60 Hz step later); there its door stands where the man waits, so
    // swapping the background for the empty street when he boards must not
    // visibly change a single pixel.
    for (double progress : {0.4201, 0.4283}) {
        double x = 0.33 - 0.58 * progress;
        double y = 0.05 - 0.05 * progress;
        Image withMan = frame({{"tausta_ukkeli.png", {0, 0}}, {"Bussi5.png", {x, y}}});
        Image without = frame({{"tausta.png", {0, 0}}, {"Bussi5.png", {x, y}}});
        EXPECT_EQ(visiblyDifferent(withMan, without), 0) << "the man shows at " << progress;
    }
    // ... whereas without the bus he is plainly there.
    Image withMan = frame({{"tausta_ukkeli.png", {0, 0}}});
    Image without = frame({{"tausta.png", {0, 0}}});
    EXPECT_GT(visiblyDifferent(withMan, without), 1000);
}

TEST_F(GameAtlas, CutOutPicturesHaveTransparentCornersAndOpaqueBodies) {
    // Without blending the shader drops texels below half alpha: the bus's
    // upper corners (rounded roof) and the hint's rounded corners must be
    // see-through, their middles solid.
    AtlasSampler sampler(atlas, entries);
    unsigned char texel[4];
    for (const char* name : {"Bussi5.png", "pointer.png", "press.png"}) {
        const AtlasPlacement& e = entry(name);
        sampler.sample(e.x + 0.5 / atlas.width, e.y + 0.5 / atlas.height, texel);
        EXPECT_LT(texel[3], 128) << name;
    }
    for (const char* name : {"Bussi5.png", "press.png", "gauge.png"}) {
        const AtlasPlacement& e = entry(name);
        sampler.sample(e.x + e.w / 2, e.y + e.h / 2, texel);
        EXPECT_EQ(texel[3], 255) << name;
    }
}

TEST(GameFont, DescribesPrintableAsciiAndLatin1WithBoxesInsideTheImage) {
    int channels = 0;
    Image font;
    ASSERT_TRUE(loadImage(kData + "/textures/font.png", font, channels));
    EXPECT_EQ(channels, 4) << "the engine uploads only RGB and RGBA images";
    std::istringstream lines(readText(kData + "/textures/font.csv"));
    std::string line;
    int expected = 32;
    while (std::getline(lines, line)) {
        if (expected == 127) {
            expected = 0xA0; // after ASCII, Latin-1's printable half
        }
        float f[9];
        int code = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%f,%f,%f,%f,%f,%f,%f,%f,%f", &code, &f[0], &f[1],
                              &f[2], &f[3], &f[4], &f[5], &f[6], &f[7], &f[8]),
                  10)
            << line;
        EXPECT_EQ(code, expected++);
        EXPECT_GT(f[0], 0.0f) << "advance of " << code;
        EXPECT_LE(f[1], f[3]); // planeLeft <= planeRight
        EXPECT_LE(f[2], f[4]); // planeBottom <= planeTop
        EXPECT_GE(f[5], 0.0f);
        EXPECT_LE(f[7], static_cast<float>(font.width));
        EXPECT_GE(f[6], 0.0f);
        EXPECT_LE(f[8], static_cast<float>(font.height));
        if (code == 'A' || code == 0xE4) {
            // The box (y counted up from the bottom row) holds the glyph's coverage.
            int x = static_cast<int>((f[5] + f[7]) / 2);
            int top = font.height - static_cast<int>(f[8]);
            int bottom = font.height - static_cast<int>(f[6]);
            int covered = 0;
            for (int y = top; y < bottom; ++y) {
                covered += font.pixel(x, y)[3] > 128;
            }
            EXPECT_GT(covered, 3);
        }
    }
    EXPECT_EQ(expected, 0x100);
}

} // namespace
