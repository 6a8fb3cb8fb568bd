#include "engine/AtlasDescription.h"
#include "velmora/Camera.h"
#include "velmora/Shader.h"
#include "velmora/SpriteBatch.h"
#include "engine/TightMesh.h"

#include "support/GlContext.h"
#include "support/Images.h"
#include "support/Offscreen.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stb_image.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace velmora;

namespace {

const std::string kData = std::string(VELMORA_SOURCE_DIR) + "/data/";

struct NamedAlpha {
    std::string name;
    PictureAlpha alpha;
};

// Every picture of the game's atlas with its ring, decoded here on its own.
std::vector<NamedAlpha> atlasPictures() {
    std::vector<NamedAlpha> pictures;
    int w = 0, h = 0, channels = 0;
    unsigned char* rgba = stbi_load((kData + "textures/atlas.png").c_str(), &w, &h, &channels, 4);
    if (rgba == nullptr) {
        return pictures;
    }
    std::istringstream description(testsupport::readFile(kData + "textures/atlas.txt"));
    std::ostringstream errors;
    visitAtlasEntries(description, errors, [&](AtlasEntry& entry) {
        NamedAlpha picture{entry.name, {}};
        const int left = static_cast<int>(std::lround(entry.x * w));
        const int top = static_cast<int>(std::lround(entry.y * h));
        picture.alpha.width = static_cast<int>(std::lround(entry.w * w));
        picture.alpha.height = static_cast<int>(std::lround(entry.h * h));
        for (int y = top - 1; y <= top + picture.alpha.height; ++y) {
            for (int x = left - 1; x <= left + picture.alpha.width; ++x) {
                const bool inImage = x >= 0 && y >= 0 && x < w && y < h;
                picture.alpha.alpha.push_back(inImage ? rgba[(y * w + x) * 4 + 3] : 255);
            }
        }
        pictures.push_back(std::move(picture));
        return false;
    });
    stbi_image_free(rgba);
    return pictures;
}

// A picture drawn by `opaque(x, y)` (y down from the top row, the ring at -1
// and the far side), the rest transparent.
template <typename Opaque>
NamedAlpha drawnPicture(const std::string& name, int width, int height, Opaque opaque) {
    NamedAlpha picture{name, {width, height, {}}};
    for (int y = -1; y <= height; ++y) {
        for (int x = -1; x <= width; ++x) {
            picture.alpha.alpha.push_back(opaque(x, y) ? 255 : 0);
        }
    }
    return picture;
}

double cross(const Vec2& o, const Vec2& a, const Vec2& b) {
    return (a.x - o.x) * static_cast<double>(b.y - o.y) -
           (a.y - o.y) * static_cast<double>(b.x - o.x);
}

// Whether `p` lies on the inner side of the edge a-b, or within 1e-4 texel of it.
bool inside(const Vec2& a, const Vec2& b, const Vec2& p) {
    return cross(a, b, p) >= -1e-4 * std::hypot(b.x - a.x, b.y - a.y);
}

bool covered(const TightMesh& mesh, const Vec2& p) {
    for (std::size_t i = 0; i + 2 < mesh.triangles.size(); i += 3) {
        const Vec2& a = mesh.points[mesh.triangles[i]];
        const Vec2& b = mesh.points[mesh.triangles[i + 1]];
        const Vec2& c = mesh.points[mesh.triangles[i + 2]];
        if (inside(a, b, p) && inside(b, c, p) && inside(c, a, p)) {
            return true;
        }
    }
    return false;
}

TEST(TightMesh, KeepsToSixteenVerticesAndTheQuadAndCoversEveryTexelThatCanPass) {
    std::vector<NamedAlpha> pictures = atlasPictures();
    ASSERT_EQ(pictures.size(), 10u);
    std::mt19937 random(7);
    pictures.push_back(drawnPicture("opaque", 5, 5, [](int, int) { return true; }));
    pictures.push_back(drawnPicture("transparent", 6, 4, [](int, int) { return false; }));
    pictures.push_back(drawnPicture("ring only", 6, 4, [](int x, int) { return x == 6; }));
    pictures.push_back(drawnPicture("two dots", 20, 20, [](int x, int y) {
        return (x == 2 && y == 17) || (x == 16 && y == 3);
    }));
    pictures.push_back(drawnPicture("donut", 15, 15, [](int x, int y) {
        const int d = (x - 7) * (x - 7) + (y - 7) * (y - 7);
        return d <= 36 && d >= 9;
    }));
    pictures.push_back(
        drawnPicture("scatter", 30, 30, [&](int, int) { return random() % 10 == 0; }));
    // Opaque in the middle of a faint square: blended, the square shows.
    NamedAlpha halo = drawnPicture("faint halo", 16, 16, [](int x, int y) {
        return std::abs(x - 8) < 6 && std::abs(y - 8) < 6;
    });
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            std::uint8_t& texel = halo.alpha.alpha[(y + 1) * 18 + (x + 1)];
            texel = std::abs(x - 8) < 2 && std::abs(y - 8) < 2 ? 255 : texel != 0 ? 20 : 0;
        }
    }
    pictures.push_back(std::move(halo));

    // Cut out, a texel shows from half alpha; blended, from any alpha above 0.
    for (const std::uint8_t shows : {std::uint8_t{128}, std::uint8_t{1}})
    for (const NamedAlpha& picture : pictures) {
        SCOPED_TRACE(picture.name + (shows == 1 ? ", blended" : ", cut out"));
        const PictureAlpha& alpha = picture.alpha;
        const TightMesh mesh =
            shows == 1 ? computeTightMesh(alpha, 1) : computeTightMesh(alpha);
        EXPECT_LE(mesh.points.size(), static_cast<std::size_t>(TightMesh::kMaxVertices));
        EXPECT_LE(mesh.area(), static_cast<float>(alpha.width * alpha.height) + 1e-3f);
        for (const Vec2& p : mesh.points) {
            EXPECT_TRUE(p.x >= 0 && p.y >= 0 && p.x <= alpha.width && p.y <= alpha.height);
        }
        // Points that a filtered sample can take from a passing texel: those
        // nearer than a texel to its centre.
        int uncovered = 0;
        for (int ty = -1; ty <= alpha.height; ++ty) {
            for (int tx = -1; tx <= alpha.width; ++tx) {
                if (alpha.at(tx, ty) < shows) {
                    continue;
                }
                const float cx = tx + 0.5f;
                const float cy = alpha.height - ty - 0.5f; // y up
                for (const float dy : {-0.9f, -0.45f, 0.0f, 0.45f, 0.9f}) {
                    for (const float dx : {-0.9f, -0.45f, 0.0f, 0.45f, 0.9f}) {
                        const Vec2 p{cx + dx, cy + dy};
                        if (p.x >= 0 && p.y >= 0 && p.x <= alpha.width && p.y <= alpha.height &&
                            !covered(mesh, p)) {
                            ++uncovered;
                        }
                    }
                }
            }
        }
        EXPECT_EQ(uncovered, 0);
        std::printf("%-18s %4d x %-4d %2zu vertices, %5.1f %% of the quad\n", picture.name.c_str(),
                    alpha.width, alpha.height, mesh.points.size(),
                    100.0 * mesh.area() / (alpha.width * alpha.height));
    }
}

// The game's atlas drawn through the batch: each picture as its tight mesh
// and as its full quad. Cut out, with the game's sprite program: any two
// different triangulations of the same picture interpolate through different
// plane equations, so rounding alone may flip a pixel whose alpha lies right
// at the cut, or move a colour by a step or two; the full quad split along
// its other diagonal does the same. So the two must agree on every pixel
// except where the full quad's own alpha lies within 1 % of the cut (found by
// drawing it with the cut moved to 0.495 and to 0.505), and there colours
// within 2 / 255. Blended, with the batch's own program, nothing is cut: the
// two agree on every channel of every pixel within 2 / 255, so the blended
// mesh leaves out no texel with any alpha.
TEST(TightMeshDraw, GivesThePixelsOfTheFullQuadForEveryPictureOfTheAtlas) {
    VELMORA_REQUIRE_GL();
    testsupport::ScratchDir dir;
    for (const char* file : {"shaders/textured.glsl", "textures/atlas.txt", "textures/atlas.png"}) {
        dir.writeFile(std::string("data/") + file, testsupport::readFile(kData + file));
    }
    const std::string program = testsupport::readFile(kData + "shaders/textured.glsl");
    const std::string cut = "texel.a < 0.5";
    ASSERT_NE(program.find(cut), std::string::npos);
    for (const char* moved : {"0.495", "0.505"}) {
        std::string text = program;
        text.replace(text.find(cut), cut.size(), std::string("texel.a < ") + moved);
        dir.writeFile(std::string("data/shaders/cut") + moved + ".glsl", text);
    }
    Shader* shader = Shader::load("textured.glsl");
    Shader* thicker = Shader::load("cut0.495.glsl");
    Shader* thinner = Shader::load("cut0.505.glsl");
    ASSERT_TRUE(shader != nullptr && thicker != nullptr && thinner != nullptr);
    SpriteBatch batch;
    ASSERT_TRUE(batch.loadAtlas("atlas"));
    ASSERT_NE(batch.tightMesh(batch.findPicture("gauge.png"), 1.0f, 1.0f, 0.3f), nullptr);
    constexpr int kSide = 256;
    testsupport::OffscreenTarget target(kSide, kSide);
    Camera camera;
    camera.ortho(0.0f, kSide, 0.0f, kSide, -1.0f, 1.0f);
    // Cleared to transparent black: a drawn pixel's alpha is 255 cut out, and
    // the picture's own alpha blended, so coverage shows in the alpha channel.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    auto drawn = [&](int picture, const Vec2& at, float rotation, const Vec2& scale, bool tight,
                     const Shader* through) {
        batch.setTightMeshes(tight);
        batch.setBlended(through == nullptr);
        batch.clear();
        const Vec2 size = batch.pictureSize(picture);
        batch.add(picture, at.x, at.y, rotation, scale.x, scale.y, size.x / 2, size.y / 2,
                  {1.0f, 0.8f, 0.9f, 1.0f});
        glClear(GL_COLOR_BUFFER_BIT);
        if (through != nullptr) {
            batch.draw(camera, *through);
        } else {
            batch.draw(camera);
        }
        return target.readPixels();
    };
    const Vec2 positions[] = {{128.0f, 128.0f}, {128.5f, 127.5f}, {127.37f, 128.81f}};
    const Vec2 scales[] = {{0.5f, 0.5f}, {1.0f, 1.0f}, {2.0f, 2.0f}, {3.0f, 3.0f}, {1.19f, 0.43f}};
    const float rotations[] = {0.0f, 0.3f, 1.5707964f, 2.5f};
    int pointerInk = 0;
    int faintInk = 0; // blended pixels the cut would have dropped
    for (const char* name :
         {"Bussi5.png", "Bussi5_full.png", "pysakki.png", "pysakki_peli.png", "tausta_ukkeli.png",
          "tausta.png", "title.png", "gauge.png", "pointer.png", "press.png"}) {
        const int picture = batch.findPicture(name);
        ASSERT_GE(picture, 0) << name;
        for (const Vec2& at : positions) {
            for (const Vec2& scale : scales) {
                for (const float rotation : rotations) {
                    const auto tight = drawn(picture, at, rotation, scale, true, shader);
                    const auto full = drawn(picture, at, rotation, scale, false, shader);
                    const auto thin = drawn(picture, at, rotation, scale, false, thinner);
                    const auto thick = drawn(picture, at, rotation, scale, false, thicker);
                    const auto blendedTight = drawn(picture, at, rotation, scale, true, nullptr);
                    const auto blendedFull = drawn(picture, at, rotation, scale, false, nullptr);
                    int differ = 0;
                    int differBlended = 0;
                    for (std::size_t i = 0; i < full.size(); i += 4) {
                        const bool atTheCut = thin[i + 3] != thick[i + 3];
                        bool same = full[i + 3] == tight[i + 3];
                        bool sameBlended = true;
                        for (std::size_t c = i; c < i + 4; ++c) {
                            same = same && (c == i + 3 || std::abs(full[c] - tight[c]) <= 2);
                            sameBlended =
                                sameBlended && std::abs(blendedFull[c] - blendedTight[c]) <= 2;
                        }
                        differ += !same && !atTheCut;
                        differBlended += !sameBlended;
                        pointerInk += std::string(name) == "pointer.png" && full[i + 3] != 0;
                        faintInk += blendedFull[i + 3] > 0 && blendedFull[i + 3] < 100;
                    }
                    EXPECT_EQ(differ, 0) << name << " at " << at.x << ", " << at.y << " scaled "
                                         << scale.x << " × " << scale.y << " turned " << rotation;
                    EXPECT_EQ(differBlended, 0)
                        << name << " blended at " << at.x << ", " << at.y << " scaled " << scale.x
                        << " × " << scale.y << " turned " << rotation;
                }
            }
        }
    }
    EXPECT_GT(pointerInk, 0); // the pictures were really drawn
    EXPECT_GT(faintInk, 0);   // and blended, faint edges too
}

// Whether add() takes the mesh or the quad for a turned picture depends on
// the size in pixels it is drawn at: scale times the pixels per camera unit
// of the last draw. Tiny sprites take the quad, large ones the mesh. Upright
// pictures take the quad at any size.
TEST(TightMeshDraw, IsChosenByTheDrawnSize) {
    VELMORA_REQUIRE_GL();
    testsupport::ScratchDir dir;
    // A cross inside a 64 × 64 picture: its mesh keeps off the picture's edges.
    std::vector<unsigned char> cross(64 * 64 * 4, 255);
    for (int i = 0; i < 64 * 64; ++i) {
        const int x = i % 64;
        const int y = i / 64;
        const bool inside = x > 2 && x < 61 && y > 2 && y < 61;
        cross[i * 4 + 3] = inside && (std::abs(x - 32) < 8 || std::abs(y - 32) < 8) ? 255 : 0;
    }
    ASSERT_TRUE(testsupport::writePng("data/cross.png", 64, 64, 4, cross));
    SpriteBatch batch;
    ASSERT_TRUE(batch.loadPictures({"cross.png"}));
    const int picture = 0;
    const Vec2 size = batch.pictureSize(picture);
    testsupport::OffscreenTarget target(64, 64);
    struct Row {
        float pixelsPerUnit; // of the camera drawn with before
        float height;        // the sprite's height in camera units
        bool mesh;
    };
    // It pays from about 24 pixels high.
    const Row rows[] = {{1.0f, 1.0f, false},  {1.0f, 8.0f, false},  {1.0f, 16.0f, false},
                        {1.0f, 32.0f, true},  {1.0f, 150.0f, true}, {4.0f, 2.0f, false},
                        {4.0f, 4.0f, false},  {4.0f, 8.0f, true},   {0.25f, 64.0f, false},
                        {0.25f, 300.0f, true}};
    for (const Row& row : rows) {
        Camera camera;
        camera.ortho(0.0f, 64.0f / row.pixelsPerUnit, 0.0f, 64.0f / row.pixelsPerUnit, -1.0f,
                     1.0f);
        batch.clear();
        batch.add(picture, 0.0f, 0.0f);
        batch.draw(camera);
        const float scale = row.height / size.y;
        for (const bool blended : {true, false}) {
            batch.setBlended(blended);
            EXPECT_EQ(batch.tightMesh(picture, scale, scale, -0.3f) != nullptr, row.mesh)
                << row.height << " units at " << row.pixelsPerUnit << " pixels each";
            EXPECT_EQ(batch.tightMesh(picture, scale, scale), nullptr) << "upright";
        }
    }
    // Switched off, for the picture or for the batch, it is the quad at any
    // size; an unknown picture's switch changes nothing.
    batch.setTightMesh(picture, false);
    EXPECT_EQ(batch.tightMesh(picture, 100.0f, 100.0f, 1.0f), nullptr);
    EXPECT_FALSE(batch.isTightMeshOn(picture));
    batch.setTightMesh(picture, true);
    for (const int unknown : {-1, static_cast<int>(batch.atlas()->size())}) {
        batch.setTightMesh(unknown, false);
        EXPECT_EQ(batch.tightMesh(unknown, 100.0f, 100.0f, 1.0f), nullptr);
        EXPECT_FALSE(batch.isTightMeshOn(unknown));
    }
    EXPECT_NE(batch.tightMesh(picture, 100.0f, 100.0f, 1.0f), nullptr);
    EXPECT_TRUE(batch.isTightMeshOn(picture));
    batch.setTightMeshes(false);
    EXPECT_EQ(batch.tightMesh(picture, 100.0f, 100.0f, 1.0f), nullptr);
    EXPECT_FALSE(batch.tightMeshes());
    EXPECT_TRUE(batch.isTightMeshOn(picture)) << "the batch's switch holds over it";
}

} // namespace
