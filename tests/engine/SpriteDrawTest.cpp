#include "velmora/Atlas.h"
#include "velmora/Camera.h"
#include "velmora/Shader.h"
#include "velmora/Sprite.h"
#include "velmora/SpriteBatch.h"
#include "velmora/Texture.h"

#include "support/Capture.h"
#include "support/GlContext.h"
#include "support/Images.h"
#include "support/Offscreen.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <tuple>

using namespace velmora;

using testsupport::OffscreenTarget;
using testsupport::readFile;
using testsupport::ScratchDir;

namespace {

using Bytes = std::vector<unsigned char>;

// Draws with the sprite layout and the three matrices; the sampler is named
// "texture", which hides GLSL's texture() function, hence textureLod().
const char* const kSpriteShader = R"(
#ifdef VERTEX_SHADER
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colour;
layout(location = 2) in vec2 texCoord;
uniform mat4 modelMatrix;
uniform mat4 viewMatrix;
uniform mat4 projectionMatrix;
out vec2 uv;
out vec4 tint;
void main() {
    uv = texCoord;
    tint = colour;
    gl_Position = projectionMatrix * viewMatrix * modelMatrix * vec4(position, 1.0);
}
#endif
#ifdef FRAGMENT_SHADER
in vec2 uv;
in vec4 tint;
uniform sampler2D texture;
out vec4 fragColour;
void main() { fragColour = tint * textureLod(texture, uv, 0.0); }
#endif
)";

const Bytes kRed = {255, 0, 0, 255};
const Bytes kYellow = {255, 255, 0, 255};
const Bytes kBlue = {0, 0, 255, 255};
const Bytes kCyan = {0, 255, 255, 255};
const Bytes kBlack = {0, 0, 0, 255};

// A 16×16 atlas, green everywhere except the picture at pixels x 4..11,
// y 8..11 (counted down from the top): red top-left, yellow top-right, blue
// bottom-left, cyan bottom-right, each quarter 4×2 pixels.
void writeTestAtlas() {
    Bytes pixels(16 * 16 * 4);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            Bytes colour = {0, 255, 0, 255};
            if (x >= 4 && x < 12 && y >= 8 && y < 12) {
                const bool top = y < 10;
                const bool left = x < 8;
                colour = top ? (left ? kRed : kYellow) : (left ? kBlue : kCyan);
            }
            std::copy(colour.begin(), colour.end(), pixels.begin() + (y * 16 + x) * 4);
        }
    }
    ASSERT_TRUE(testsupport::writePng("data/textures/atlas.png", 16, 16, 4, pixels));
}

bool isBlack(const Bytes& pixel) {
    return pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
}

TEST(SpriteDraw, ThePictureLandsUprightWhereItsModelPositionSaysAndAsLargeAsDescribed) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeTestAtlas();
    dir.writeFile("data/textures/atlas.txt", "other.png 0 0 0.25 0.25\n"
                                             "pic.png 0.25 0.5 0.5 0.25\n");
    dir.writeFile("data/shaders/sprite.glsl", kSpriteShader);
    Shader* shader = Shader::load("sprite.glsl");
    ASSERT_NE(shader, nullptr);
    Sprite sprite;
    ASSERT_EQ(sprite.loadFromAtlas("Pic", "atlas", "pic.png"), 0);

    OffscreenTarget target(64, 64);
    // Visible region 0..2 in both directions, scaled back so that one model
    // unit spans the whole 64-pixel target.
    Camera camera;
    camera.ortho(0.0f, 2.0f, 0.0f, 2.0f, -1.0f, 1.0f);
    camera.scale(2.0f, 2.0f, 1.0f);
    camera.translate({0.0f, 0.0f, 0.0f});
    shader->use();
    camera.upload(shader->programId);
    textureRegistry.at("atlas")->bind();
    shader->setInt("texture", 0);
    sprite.resetTransform();
    sprite.translate(0.25f, 0.5f, 0.0f);
    sprite.draw(shader);
    const Bytes pixels = target.readPixels();

    // The quad is 0.5 × 0.25 model units: 32 × 16 pixels from (16, 32).
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 16 && x < 48 && y >= 32 && y < 48;
            EXPECT_EQ(!isBlack(target.pixel(pixels, x, y)), inside) << "at " << x << ", " << y;
        }
    }
    // Upright and not mirrored; sampled away from the picture's edges, where
    // linear filtering would blend in the neighbouring atlas pixels.
    EXPECT_EQ(target.pixel(pixels, 20, 44), kRed);
    EXPECT_EQ(target.pixel(pixels, 43, 44), kYellow);
    EXPECT_EQ(target.pixel(pixels, 20, 35), kBlue);
    EXPECT_EQ(target.pixel(pixels, 43, 35), kCyan);
    EXPECT_EQ(target.pixel(pixels, 10, 10), kBlack);
}

TEST(SpriteDraw, ASpriteWithoutGeometryDrawsNothing) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeTestAtlas();
    dir.writeFile("data/textures/atlas.txt", "pic.png 0.25 0.5 0.5 0.25\n");
    dir.writeFile("data/shaders/sprite.glsl", kSpriteShader);
    Shader* shader = Shader::load("sprite.glsl");
    ASSERT_NE(shader, nullptr);
    Sprite missing;
    testsupport::StreamCapture err(testsupport::StreamCapture::Stream::Err);
    missing.loadFromAtlas("Missing", "atlas", "absent.png");
    err.finish();
    Sprite neverBuilt;

    OffscreenTarget target(32, 32);
    shader->use();
    Camera camera;
    camera.ortho(0.0f, 1.0f, 0.0f, 1.0f, -1.0f, 1.0f);
    camera.upload(shader->programId);
    textureRegistry.at("atlas")->bind();
    shader->setInt("texture", 0);
    while (glGetError() != GL_NO_ERROR) {
    }
    missing.draw(shader);
    neverBuilt.draw(shader);
    neverBuilt.draw(nullptr);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const Bytes pixels = target.readPixels();
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            ASSERT_TRUE(isBlack(target.pixel(pixels, x, y))) << "at " << x << ", " << y;
        }
    }
}

TEST(CameraUpload, SetsViewAndProjectionInTheProgram) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/shaders/sprite.glsl", kSpriteShader);
    Shader* shader = Shader::load("sprite.glsl");
    ASSERT_NE(shader, nullptr);
    shader->use();
    Camera camera;
    camera.ortho(0.0f, 1.333f, 0.0f, 1.0f, -1.0f, 1.0f);
    camera.scale(4.28f, 5.23f, 1.0f);
    camera.translate({0.25f, 0.5f, 0.0f});
    camera.upload(shader->programId);

    float view[16] = {};
    float projection[16] = {};
    glGetUniformfv(shader->programId, glGetUniformLocation(shader->programId, "viewMatrix"), view);
    glGetUniformfv(shader->programId, glGetUniformLocation(shader->programId, "projectionMatrix"),
                   projection);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(view[i], camera.view[i]) << "view element " << i;
        EXPECT_FLOAT_EQ(projection[i], camera.projection[i]) << "projection element " << i;
    }
    EXPECT_FLOAT_EQ(view[12], 0.25f * 4.28f);
}

// The batch: the same test atlas and program, many quads in one call.
class SpriteBatchDraw : public ::testing::Test {
  protected:
    void SetUp() override {
        VELMORA_REQUIRE_GL();
        writeTestAtlas();
        dir.writeFile("data/textures/atlas.txt", "other.png 0 0 0.25 0.25\n"
                                                 "pic.png 0.25 0.5 0.5 0.25\n");
        dir.writeFile("data/shaders/sprite.glsl", kSpriteShader);
        shader = Shader::load("sprite.glsl");
        ASSERT_NE(shader, nullptr);
        batch = std::make_unique<SpriteBatch>();
        ASSERT_TRUE(batch->loadAtlas("atlas"));
        ASSERT_EQ(batch->texture(), textureRegistry.at("atlas"));
        target = std::make_unique<OffscreenTarget>(64, 64);
        // One camera unit per pixel of the 64-pixel target.
        camera.ortho(0.0f, 64.0f, 0.0f, 64.0f, -1.0f, 1.0f);
        glBindTextureUnit(0, 0); // the batch must bind its own texture
    }

    Bytes drawn() {
        glClear(GL_COLOR_BUFFER_BIT);
        batch->draw(camera, *shader);
        return target->readPixels();
    }

    Camera camera;

    ScratchDir dir;
    Shader* shader = nullptr;
    std::unique_ptr<SpriteBatch> batch;
    std::unique_ptr<OffscreenTarget> target;
};

TEST_F(SpriteBatchDraw, QuadsLandWhereAddedShowingTheirPicturesInOneDrawCall) {
    const int pic = batch->findPicture("pic.png");
    const int other = batch->findPicture("other.png");
    EXPECT_EQ(pic, 1);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(batch->findPicture("absent.png"), -1);
    EXPECT_FLOAT_EQ(batch->pictureSize(pic).x, 8.0f); // texels of the 16×16 atlas
    EXPECT_FLOAT_EQ(batch->pictureSize(pic).y, 4.0f);

    batch->add(pic, 32.0f, 32.0f, 0.0f, 4.0f, 4.0f); // pixels 32..63 × 32..47
    batch->add(other, 0.0f, 0.0f, 0.0f, 4.0f, 4.0f);
    batch->add(-1, 0.0f, 32.0f); // unknown: nothing
    EXPECT_EQ(batch->size(), 2u);
    const Bytes pixels = drawn();
    EXPECT_EQ(batch->drawCalls(), 1u);

    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool inside = (x >= 32 && y >= 32 && y < 48) || (x < 16 && y < 16);
            EXPECT_EQ(!isBlack(target->pixel(pixels, x, y)), inside) << "at " << x << ", " << y;
        }
    }
    EXPECT_EQ(target->pixel(pixels, 36, 44), kRed);
    EXPECT_EQ(target->pixel(pixels, 59, 44), kYellow);
    EXPECT_EQ(target->pixel(pixels, 36, 35), kBlue);
    EXPECT_EQ(target->pixel(pixels, 59, 35), kCyan);
    EXPECT_EQ(target->pixel(pixels, 8, 8), (Bytes{0, 255, 0, 255}));
}

TEST_F(SpriteBatchDraw, AnEmptyBatchDrawsNothingAndIssuesNoCall) {
    batch->draw(camera, *shader);
    batch->add(0, 0.0f, 0.0f, 0.0f, 16.0f, 16.0f);
    batch->clear();
    const Bytes pixels = drawn();
    EXPECT_EQ(batch->drawCalls(), 0u);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            ASSERT_TRUE(isBlack(target->pixel(pixels, x, y))) << "at " << x << ", " << y;
        }
    }
}

TEST_F(SpriteBatchDraw, GrownPastItsFirstCapacityItStillDrawsEveryQuadAndOnlyThose) {
    const int pic = batch->findPicture("pic.png");
    // A frame that fits, then one that makes the buffers grow, then a small
    // one again: each must show exactly its own 4×4-pixel tiles.
    for (const std::size_t count :
         {std::size_t{10}, SpriteBatch::kInitialCapacity * 3 + 5, std::size_t{1}}) {
        batch->clear();
        for (std::size_t i = 0; i < count; ++i) {
            batch->add(pic, (i % 16) * 4.0f, (i / 16) * 4.0f, 0.0f, 0.5f, 1.0f);
        }
        const std::size_t callsBefore = batch->drawCalls();
        const Bytes pixels = drawn();
        EXPECT_EQ(batch->drawCalls(), callsBefore + 1);
        EXPECT_GE(batch->capacity(), count);
        for (std::size_t tile = 0; tile < 256; ++tile) {
            const int x = static_cast<int>(tile % 16) * 4 + 2;
            const int y = static_cast<int>(tile / 16) * 4 + 2;
            EXPECT_EQ(!isBlack(target->pixel(pixels, x, y)), tile < count)
                << count << " quads, tile " << tile;
        }
    }
    EXPECT_GT(batch->capacity(), SpriteBatch::kInitialCapacity);
}

TEST_F(SpriteBatchDraw, RotatedScaledTintedQuadDrawnByAMovedBatchWhateverProgramIsCurrent) {
    const int pic = batch->findPicture("pic.png");
    // 8 × 4 texels scaled to 24 × 16, turned a quarter counter-clockwise about
    // its middle, which lands on (32, 32): pixels 24..39 × 20..43, the
    // picture's top now facing left. Green is scaled by 0.6.
    batch->add(pic, 32.0f, 32.0f, 1.5707963f, 3.0f, 4.0f, 4.0f, 2.0f, {1.0f, 0.6f, 1.0f, 1.0f});
    SpriteBatch moved(std::move(*batch));
    batch.reset(); // must leave the moved objects alone
    SpriteBatch drawing;
    drawing = std::move(moved);

    // Another program is current, with a camera of its own.
    dir.writeFile("data/shaders/other.glsl", kSpriteShader);
    Shader* other = Shader::load("other.glsl");
    ASSERT_NE(other, nullptr);
    other->use();
    Camera().upload(other->programId);
    glClear(GL_COLOR_BUFFER_BIT);
    drawing.draw(camera, *shader);
    const Bytes pixels = target->readPixels();
    EXPECT_EQ(drawing.drawCalls(), 1u);
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), shader->programId);

    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 24 && x < 40 && y >= 20 && y < 44;
            EXPECT_EQ(!isBlack(target->pixel(pixels, x, y)), inside) << "at " << x << ", " << y;
        }
    }
    EXPECT_EQ(target->pixel(pixels, 27, 24), kRed);
    EXPECT_EQ(target->pixel(pixels, 27, 40), (Bytes{255, 153, 0, 255}));
    EXPECT_EQ(target->pixel(pixels, 37, 24), kBlue);
    EXPECT_EQ(target->pixel(pixels, 37, 40), (Bytes{0, 153, 255, 255}));
}

// Three pictures of odd sizes from separate files, each painted in one
// channel only, at levels 100..199: a neighbour bleeding in would bring
// another channel, and the transparent space between pictures a level
// below 100.
struct PictureFile {
    const char* path; // inside data/
    const char* name;
    int width;
    int height;
    int channel;
};
const PictureFile kPictureFiles[] = {
    {"star.png", "star.png", 5, 3, 0},
    {"pictures/bigstar.png", "bigstar.png", 7, 9, 1},
    {"pictures/odd.png", "odd.png", 3, 11, 2},
};

int level(int x, int y) { // rows counted down from the file's top row
    return 100 + (x * 37 + y * 59) % 100;
}

void writePictureFiles() {
    for (const PictureFile& file : kPictureFiles) {
        Bytes pixels(static_cast<std::size_t>(file.width) * file.height * 4, 0);
        for (int y = 0; y < file.height; ++y) {
            for (int x = 0; x < file.width; ++x) {
                pixels[(y * file.width + x) * 4 + file.channel] =
                    static_cast<unsigned char>(level(x, y));
                pixels[(y * file.width + x) * 4 + 3] = 255;
            }
        }
        ASSERT_TRUE(testsupport::writePng(std::string("data/") + file.path, file.width, file.height,
                                          4, pixels));
    }
}

TEST(PackedPictures, DrawTheirFilesTexelForTexelWithoutBleedingFromAMovedIntoOrSharingBatch) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writePictureFiles();
    dir.writeFile("data/shaders/sprite.glsl", kSpriteShader);
    Shader* shader = Shader::load("sprite.glsl");
    ASSERT_NE(shader, nullptr);

    SpriteBatch loading;
    ASSERT_TRUE(loading.loadPictures({"star.png", "pictures"})); // a file and a folder
    SpriteBatch moved(std::move(loading));
    SpriteBatch drawing;
    drawing = std::move(moved);
    SpriteBatch sharing;
    sharing.setAtlas(drawing.atlas());
    EXPECT_EQ(drawing.findPicture("tar.png"), -1); // whole names only
    EXPECT_EQ(drawing.findPicture("pictures/odd.png"), -1);

    OffscreenTarget target(64, 64);
    Camera camera;
    camera.ortho(0.0f, 64.0f, 0.0f, 64.0f, -1.0f, 1.0f);
    // Upright at scale 1 on whole pixels: every pixel is one texel. Then at
    // fractional places, enlarged 2.5 times: linear filtering mixes texels.
    // Through the batch's own program and through the sprite program.
    struct Pass {
        float scale;
        float offset;
        bool ownProgram;
    };
    for (const Pass& pass : {Pass{1.0f, 0.0f, true}, Pass{2.5f, 0.37f, true},
                             Pass{1.0f, 0.0f, false}, Pass{2.5f, 0.37f, false}}) {
        const float scale = pass.scale;
        const float offset = pass.offset;
        drawing.clear();
        sharing.clear();
        for (int i = 0; i < 3; ++i) {
            const PictureFile& file = kPictureFiles[i];
            const int picture = drawing.findPicture(file.name);
            ASSERT_EQ(picture, i) << file.name;
            ASSERT_EQ(drawing.pictureSize(picture).x, file.width);
            ASSERT_EQ(drawing.pictureSize(picture).y, file.height);
            (i == 2 ? sharing : drawing)
                .add(picture, 2.0f + 21.0f * i + offset, 2.0f + offset, 0.0f, scale, scale);
        }
        glClear(GL_COLOR_BUFFER_BIT);
        for (SpriteBatch* batch : {&drawing, &sharing}) {
            pass.ownProgram ? batch->draw(camera) : batch->draw(camera, *shader);
        }
        const Bytes pixels = target.readPixels();
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                const Bytes colour = target.pixel(pixels, x, y);
                const PictureFile* file = nullptr;
                float u = 0.0f;
                float v = 0.0f; // texels from the picture's lower-left corner
                for (int i = 0; i < 3; ++i) {
                    u = (x + 0.5f - 2.0f - 21.0f * i - offset) / scale;
                    v = (y + 0.5f - 2.0f - offset) / scale;
                    if (u > 0 && v > 0 && u < kPictureFiles[i].width &&
                        v < kPictureFiles[i].height) {
                        file = &kPictureFiles[i];
                        break;
                    }
                }
                if (file == nullptr) {
                    ASSERT_TRUE(isBlack(colour)) << "outside at " << x << ", " << y;
                    continue;
                }
                for (int c = 0; c < 3; ++c) {
                    const int got = colour[c];
                    if (c != file->channel) {
                        ASSERT_EQ(got, 0) << file->name << " bled at " << x << ", " << y;
                    } else if (scale == 1.0f) {
                        ASSERT_NEAR(
                            got, level(static_cast<int>(u), file->height - 1 - static_cast<int>(v)),
                            1)
                            << file->name << " at " << x << ", " << y;
                    } else {
                        ASSERT_GE(got, 99) << file->name << " bled at " << x << ", " << y;
                        ASSERT_LE(got, 200) << file->name << " at " << x << ", " << y;
                    }
                }
            }
        }
    }

    // A picture as wide as the driver's largest texture with its gutters
    // fits; one texel more is refused with one line, and the batch keeps
    // what it had.
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    const auto writeWide = [](int width) {
        return testsupport::writePng("data/wide.png", width, 1, 4,
                                     Bytes(static_cast<std::size_t>(width) * 4, 255));
    };
    ASSERT_TRUE(writeWide(maxSide - 2));
    SpriteBatch wide;
    ASSERT_TRUE(wide.loadPictures({"wide.png"}));
    EXPECT_EQ(wide.texture()->width, static_cast<unsigned>(maxSide));
    ASSERT_TRUE(writeWide(maxSide - 1));
    testsupport::StreamCapture err(testsupport::StreamCapture::Stream::Err);
    EXPECT_FALSE(drawing.loadPictures({"wide.png", "star.png"}));
    const std::string message = err.finish();
    const std::string sizes[] = {std::to_string(maxSide - 1) + " x 1 ",
                                 std::to_string(maxSide) + " x " + std::to_string(maxSide) + "\n"};
    EXPECT_EQ(testsupport::countOccurrences(message, "\n"), 1) << message;
    EXPECT_EQ(message.rfind("Cannot pack 2 pictures into one texture: ", 0), 0u) << message;
    for (const std::string& size : sizes) {
        EXPECT_NE(message.find(size), std::string::npos) << size << " in " << message;
    }
    EXPECT_EQ(drawing.findPicture("odd.png"), 2);
}

TEST(PackedPictures, FilesThatAreNoPicturesOrTakeANameTwiceAreReportedAndLeftOut) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writePictureFiles();
    dir.writeFile("data/pictures/broken.png", "no image");
    // A PNG cut short after its header: its size reads, its pixels do not.
    dir.writeFile("data/pictures/cut.png", readFile("data/star.png").substr(0, 40));
    dir.writeFile("data/pictures/notes.txt", "not a picture");
    dir.writeFile("data/pictures/deeper.png/x.png", "subfolders are not opened");
    dir.writeFile("data/again/star.png", readFile("data/star.png"));
    Atlas atlas;
    testsupport::StreamCapture out(testsupport::StreamCapture::Stream::Out);
    testsupport::StreamCapture err(testsupport::StreamCapture::Stream::Err);
    ASSERT_TRUE(atlas.loadPictures({"pictures", "star.png", "again/star.png", "absent.png"}));
    EXPECT_EQ(out.finish(), "Failed to load texture data/pictures/broken.png\n"
                            "Failed to load texture data/pictures/cut.png\n"
                            "Failed to load texture data/absent.png\n");
    EXPECT_EQ(err.finish(), "Picture name taken twice: data/again/star.png\n");

    Atlas moved(std::move(atlas));
    EXPECT_EQ(atlas.size(), 0u);
    EXPECT_EQ(atlas.texture(), nullptr);
    ASSERT_EQ(moved.size(), 3u);
    const char* const names[] = {"bigstar.png", "odd.png", "star.png"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(moved.name(i), names[i]);
        EXPECT_EQ(moved.find(names[i]), i);
    }
    EXPECT_EQ(moved.name(3), "");
    const Rect uv = moved.texCoords(1);
    EXPECT_FLOAT_EQ((uv.right - uv.left) * moved.texture()->width, 3.0f);
    EXPECT_FLOAT_EQ((uv.bottom - uv.top) * moved.texture()->height, 11.0f);

    testsupport::StreamCapture missing(testsupport::StreamCapture::Stream::Err);
    EXPECT_FALSE(moved.load("absent"));
    missing.finish();
    dir.makeDir("data/empty");
    testsupport::StreamCapture nothing(testsupport::StreamCapture::Stream::Out);
    EXPECT_FALSE(moved.loadPictures({"empty", "misspelt"}));
    EXPECT_FALSE(moved.loadPictures({}));
    EXPECT_EQ(nothing.finish(), "No pictures in the folder data/empty\n"
                                "Failed to load texture data/misspelt\n"
                                "No pictures to load: the list of files and folders is empty\n");
    EXPECT_EQ(moved.size(), 3u);
    const GLuint texture = moved.texture()->textureId;
    EXPECT_TRUE(glIsTexture(texture));
    { Atlas gone = std::move(moved); }
    EXPECT_FALSE(glIsTexture(texture));
}

} // namespace

namespace {

// Whether two read-backs agree on every pixel within `tolerance` per channel.
int pixelsApart(const Bytes& a, const Bytes& b, int tolerance) {
    int apart = 0;
    for (std::size_t i = 0; i < a.size(); i += 4) {
        bool same = true;
        for (std::size_t c = i; c < i + 4; ++c) {
            same = same && std::abs(a[c] - b[c]) <= tolerance;
        }
        apart += !same;
    }
    return apart;
}

} // namespace

// The batch's own program, cut out and blended, shows what a program of the
// sprites' vertex inputs shows: turned, scaled, tinted, at fractional places.
TEST_F(SpriteBatchDraw, ItsOwnProgramShowsThePixelsOfTheSpriteProgramCutOutAndBlended) {
    const int pic = batch->findPicture("pic.png");
    struct Row {
        float x, y, rotation, scaleX, scaleY;
        Vec4 tint;
    };
    const Row rows[] = {
        {32.0f, 32.0f, 0.0f, 4.0f, 4.0f, {1.0f, 1.0f, 1.0f, 1.0f}},
        {31.3f, 30.6f, 1.5707963f, 3.0f, 4.0f, {1.0f, 0.6f, 1.0f, 1.0f}},
        {20.5f, 40.25f, 0.7f, 2.5f, 1.5f, {0.3f, 1.0f, 0.8f, 1.0f}},
        {40.0f, 20.0f, 3.0f, 0.5f, 7.0f, {1.0f, 1.0f, 1.0f, 1.0f}},
    };
    for (const Row& row : rows) {
        batch->clear();
        batch->add(pic, row.x, row.y, row.rotation, row.scaleX, row.scaleY, 4.0f, 2.0f, row.tint);
        const Bytes reference = drawn();
        int inked = 0;
        for (std::size_t i = 0; i < reference.size(); i += 4) {
            inked += reference[i] + reference[i + 1] + reference[i + 2] > 0;
        }
        EXPECT_GT(inked, 40) << "row at " << row.x;
        for (const bool blended : {false, true}) {
            batch->setBlended(blended);
            glClear(GL_COLOR_BUFFER_BIT);
            batch->draw(camera);
            EXPECT_EQ(pixelsApart(reference, target->readPixels(), 2), 0)
                << "row at " << row.x << (blended ? ", blended" : ", cut out");
        }
    }
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), shader->programId); // put back after the own program
    EXPECT_FALSE(glIsEnabled(GL_BLEND));                        // and the blending too
}

// A picture at tint alpha 1, 0.5 and 0.3 over a rectangle, and the shapes
// beside it, in one draw call: each pixel is source × alpha + destination ×
// (1 − alpha), within 2 / 255.
TEST_F(SpriteBatchDraw, BlendedPicturesAndShapesFollowTheBlendEquationInOneCall) {
    const int pic = batch->findPicture("pic.png");
    const float backdrop[3] = {0.2f, 0.4f, 0.8f};
    for (const float alpha : {1.0f, 0.5f, 0.3f}) {
        batch->clear();
        batch->addRectangle(0.0f, 0.0f, 64.0f, 64.0f,
                            {backdrop[0], backdrop[1], backdrop[2], 1.0f});
        batch->add(pic, 16.0f, 16.0f, 0.0f, 4.0f, 4.0f, 0.0f, 0.0f, {1.0f, 1.0f, 1.0f, alpha});
        // A half-transparent white square turned a quarter about its
        // lower-left corner at (60, 4): pixels 52..59 × 4..11.
        batch->addRectangle(60.0f, 4.0f, 8.0f, 8.0f, {1.0f, 1.0f, 1.0f, alpha}, 1.5707963f);
        // A line 4 wide from (4, 56) to (44, 56): pixels 4..43 × 54..57.
        batch->addLine(4.0f, 56.0f, 44.0f, 56.0f, 4.0f, {0.0f, 0.0f, 0.0f, alpha});
        const std::size_t calls = batch->drawCalls();
        glClear(GL_COLOR_BUFFER_BIT);
        batch->draw(camera);
        const Bytes pixels = target->readPixels();
        EXPECT_EQ(batch->drawCalls(), calls + 1);

        auto expect = [&](int x, int y, const float source[3]) {
            const Bytes got = target->pixel(pixels, x, y);
            for (int c = 0; c < 3; ++c) {
                const float want = 255.0f * (source[c] * alpha + backdrop[c] * (1.0f - alpha));
                EXPECT_NEAR(got[c], want, 2.0f)
                    << "alpha " << alpha << " at " << x << ", " << y << " channel " << c;
            }
        };
        const float red[3] = {1, 0, 0}, cyan[3] = {0, 1, 1}, white[3] = {1, 1, 1},
                    black[3] = {0, 0, 0};
        expect(20, 28, red);  // the picture's top-left quarter, clear of its edges
        expect(40, 20, cyan); // its bottom-right quarter
        expect(2, 2, backdrop);
        for (const int x : {52, 59}) {
            expect(x, 4, white);
            expect(x, 11, white);
        }
        expect(51, 8, backdrop);
        expect(56, 12, backdrop);
        for (const int y : {54, 57}) {
            expect(4, y, black);
            expect(43, y, black);
        }
        expect(4, 53, backdrop);
        expect(44, 56, backdrop);
        expect(20, 58, backdrop);
    }
}

namespace {

// 16 × 16 texels: a transparent ring 4 texels wide around an opaque square,
// red in its upper half, green in its lower, so that a turned picture is
// drawn through its tight mesh and a skewed upload or read shows.
void writeRingedPicture(const std::string& path, const Bytes& upper, const Bytes& lower) {
    Bytes pixels(16 * 16 * 4, 0);
    for (int y = 4; y < 12; ++y) {
        for (int x = 4; x < 12; ++x) {
            std::copy_n((y < 8 ? upper : lower).begin(), 4, &pixels[(y * 16 + x) * 4]);
        }
    }
    ASSERT_TRUE(testsupport::writePng(path, 16, 16, 4, pixels));
}

const Bytes kGreen = {0, 255, 0, 255};

// Draws `picture` of `batch` turned upside down about its middle, twice its
// size, in the middle of a 64 × 64 target.
void drawUpsideDown(SpriteBatch& batch, int picture) {
    Camera camera;
    camera.ortho(0.0f, 64.0f, 0.0f, 64.0f, -1.0f, 1.0f);
    batch.clear();
    batch.add(picture, 32.0f, 32.0f, 3.1415927f, 2.0f, 2.0f, 8.0f, 8.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    batch.draw(camera);
}

// Red and green just below the middle of `target`, then just above: what
// was the picture's upper half, then its lower.
Bytes upsideDownColours(const OffscreenTarget& target) {
    const Bytes pixels = target.readPixels();
    return {target.pixel(pixels, 32, 28)[0], target.pixel(pixels, 32, 28)[1],
            target.pixel(pixels, 32, 36)[0], target.pixel(pixels, 32, 36)[1]};
}

} // namespace

TEST(AtlasLines, RectanglesOutsideTheImageAreReportedAndSkippedAtOnce) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    ASSERT_TRUE(
        testsupport::writePng("data/textures/sheet.png", 64, 64, 4, Bytes(64 * 64 * 4, 255)));
    const std::vector<std::string> bad = {
        "texels.png 0 0 64 64",    "huge.png 0 0 200 200",     "long.png 0 0 1e9 1",
        "left.png -0.5 0 0.5 1",   "narrow.png 0.5 0 -0.25 1", "past.png 0.75 0 0.5 0.5",
        "below.png 0 0.6 0.5 0.5", "nan.png 0 0 nan 1",        "int.png 0 0 3e38 3e38"};
    std::string description = "good.png 0.5 0.5 0.5 0.5\n", expected;
    for (const std::string& line : bad) {
        description += line + "\n";
        expected += "Error parsing line: " + line + "\n";
    }
    dir.writeFile("data/textures/sheet.txt", description);
    Atlas atlas;
    testsupport::StreamCapture err(testsupport::StreamCapture::Stream::Err);
    ASSERT_TRUE(atlas.load("sheet"));
    EXPECT_EQ(err.finish(), expected);
    ASSERT_EQ(atlas.size(), 1u);
    EXPECT_EQ(atlas.pictureSize(0).x, 32.0f);
}

TEST(PackedPictures, ASharedAtlasLoadedAgainIsWhatItsBatchesDrawNext) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeRingedPicture("data/one/p.png", kRed, kGreen);
    writeRingedPicture("data/two/a.png", kGreen, kGreen);
    writeRingedPicture("data/two/p.png", kGreen, kRed);
    OffscreenTarget target(64, 64);
    auto atlas = std::make_shared<Atlas>();
    ASSERT_TRUE(atlas->loadPictures({"one"}));
    SpriteBatch batch;
    batch.setAtlas(atlas);
    drawUpsideDown(batch, 0);
    EXPECT_EQ(upsideDownColours(target), (Bytes{255, 0, 0, 255}));
    batch.setTightMesh(0, false);
    ASSERT_TRUE(atlas->loadPictures({"two"})); // frees the texture the batch drew
    EXPECT_TRUE(batch.isTightMeshOn(0)) << "the switches start over";
    EXPECT_EQ(batch.texture(), atlas->texture());
    drawUpsideDown(batch, batch.findPicture("p.png"));
    EXPECT_EQ(upsideDownColours(target), (Bytes{0, 255, 255, 0}));
}

// Whatever pixel-store, buffer, blending, unit or vertex-array state a game
// leaves, pictures load and draw right, and the game finds its state again,
// the blending of each draw buffer included.
TEST(GameGlState, LoadsAndDrawsAreRightWhateverTheGameLeftAndPutItBack) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    writeRingedPicture("data/p.png", kRed, kGreen);
    const Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9, 90, 90, 90, 200, 200, 200};
    ASSERT_TRUE(testsupport::writePng("data/textures/rgb.png", 3, 2, 3, rgb));
    GLuint buffer = 0, vertexArray = 0, sampler = 0, texture = 0;
    glCreateBuffers(1, &buffer);
    glNamedBufferData(buffer, 1 << 16, nullptr, GL_STREAM_COPY);
    glCreateVertexArrays(1, &vertexArray);
    glCreateSamplers(1, &sampler);
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    const auto store = [](GLenum name) { return [name](GLint v) { glPixelStorei(name, v); }; };
    const auto bound = [](GLenum target) {
        return [target](GLint v) { glBindBuffer(target, static_cast<GLuint>(v)); };
    };
    struct Row {
        GLenum query;
        GLint value;
        std::function<void(GLint)> set;
        GLint buffer = -1; // a draw buffer's own state, read with the indexed call
    };
    const auto blendOfBuffer1 = [](GLint on) {
        on != 0 ? glEnablei(GL_BLEND, 1) : glDisablei(GL_BLEND, 1);
    };
    const Row rows[] = {
        {GL_UNPACK_ROW_LENGTH, 23, store(GL_UNPACK_ROW_LENGTH)},
        {GL_UNPACK_SKIP_PIXELS, 3, store(GL_UNPACK_SKIP_PIXELS)},
        {GL_UNPACK_SKIP_ROWS, 2, store(GL_UNPACK_SKIP_ROWS)},
        {GL_UNPACK_ALIGNMENT, 8, store(GL_UNPACK_ALIGNMENT)},
        {GL_PIXEL_UNPACK_BUFFER_BINDING, GLint(buffer), bound(GL_PIXEL_UNPACK_BUFFER)},
        {GL_PACK_ROW_LENGTH, 23, store(GL_PACK_ROW_LENGTH)},
        {GL_PACK_SKIP_PIXELS, 3, store(GL_PACK_SKIP_PIXELS)},
        {GL_PACK_SKIP_ROWS, 2, store(GL_PACK_SKIP_ROWS)},
        {GL_PIXEL_PACK_BUFFER_BINDING, GLint(buffer), bound(GL_PIXEL_PACK_BUFFER)},
        {GL_BLEND_EQUATION_RGB, GL_FUNC_REVERSE_SUBTRACT, [](GLint v) { glBlendEquation(v); }},
        {GL_BLEND_SRC_ALPHA, GL_DST_ALPHA,
         [](GLint v) { glBlendFuncSeparate(GL_ONE, GL_ZERO, v, GL_ZERO); }},
        {GL_UNPACK_SWAP_BYTES, 1, store(GL_UNPACK_SWAP_BYTES)},
        {GL_UNPACK_SKIP_IMAGES, 2, store(GL_UNPACK_SKIP_IMAGES)},
        {GL_ACTIVE_TEXTURE, GL_TEXTURE3, [](GLint v) { glActiveTexture(v); }},
        {GL_VERTEX_ARRAY_BINDING, GLint(vertexArray), [](GLint v) { glBindVertexArray(v); }},
        {GL_SAMPLER_BINDING, GLint(sampler), [](GLint v) { glBindSampler(0, v); }},
        {GL_TEXTURE_BINDING_2D, GLint(texture), [](GLint v) { glBindTexture(GL_TEXTURE_2D, v); }},
        {GL_BLEND, GL_TRUE, blendOfBuffer1, 1},
        {GL_BLEND_DST_RGB, GL_ONE,
         [](GLint v) { glBlendFuncSeparatei(1, GL_ONE, v, GL_ONE, GL_ONE); }, 1},
        {GL_BLEND_EQUATION_RGB, GL_MAX, [](GLint v) { glBlendEquationi(1, v); }, 1},
    };
    const auto read = [](const Row& row) {
        GLint value = 0;
        if (row.buffer < 0) {
            glGetIntegerv(row.query, &value);
        } else if (row.query == GL_BLEND) {
            value = glIsEnabledi(GL_BLEND, row.buffer);
        } else {
            glGetIntegeri_v(row.query, row.buffer, &value);
        }
        return value;
    };
    Bytes expected; // the RGB image as the shaders see it
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        expected.insert(expected.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
    }
    for (const Row& row : rows) {
        const OffscreenTarget target(64, 64); // the texel probe binds a framebuffer of its own
        const GLint before = read(row);
        row.set(row.value);
        SpriteBatch batch;
        ASSERT_TRUE(batch.loadPictures({"p.png"}));
        drawUpsideDown(batch, 0);
        textureRegistry.erase("rgb");
        const Texture* loaded = Texture::load("rgb.png");
        EXPECT_EQ(read(row), row.value) << row.query;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << row.query;
        row.set(before); // the read-backs read with the default state
        EXPECT_EQ(upsideDownColours(target), (Bytes{255, 0, 0, 255})) << row.query;
        EXPECT_EQ(testsupport::sampleTexels(loaded->textureId, 3, 2), expected) << row.query;
    }
}

// Each blend mode over a known, half-transparent background, for a picture
// and a shape in one call: every channel follows the mode's equation within
// 2 / 255, and the background's alpha becomes a + its alpha × (1 − a).
TEST_F(SpriteBatchDraw, EachBlendModeFollowsItsEquation) {
    const int pic = batch->findPicture("pic.png");
    const float dst[4] = {0.2f, 0.4f, 0.8f, 0.5f};
    const float shape[3] = {0.6f, 0.3f, 0.1f};
    const struct {
        BlendMode mode;
        float (*channel)(float s, float a, float d);
    } modes[] = {
        {BlendMode::Alpha, [](float s, float a, float d) { return s * a + d * (1 - a); }},
        {BlendMode::Additive, [](float s, float a, float d) { return std::min(1.0f, s * a + d); }},
        {BlendMode::Multiply, [](float s, float a, float d) { return d * (s * a + 1 - a); }},
        {BlendMode::Premultiplied,
         [](float s, float a, float d) { return std::min(1.0f, s + d * (1 - a)); }},
        {BlendMode::CutOut, [](float s, float a, float d) { return a >= 0.5f ? s : d; }},
    };
    for (const auto& m : modes) {
        for (const float a : {0.3f, 0.7f}) {
            batch->setBlendMode(m.mode);
            batch->clear();
            batch->add(pic, 16.0f, 16.0f, 0.0f, 4.0f, 4.0f, 0.0f, 0.0f, {1.0f, 1.0f, 1.0f, a});
            batch->addRectangle(48.0f, 48.0f, 8.0f, 8.0f, {shape[0], shape[1], shape[2], a});
            glClearColor(dst[0], dst[1], dst[2], dst[3]);
            glClear(GL_COLOR_BUFFER_BIT);
            batch->draw(camera);
            glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
            const Bytes pixels = target->readPixels();
            const float red[3] = {1, 0, 0};
            for (const auto& [x, y, source] :
                 {std::tuple{20, 28, red}, {52, 52, shape}, {4, 4, dst}}) {
                const bool drawn = source != dst;
                const Bytes got = target->pixel(pixels, x, y);
                for (int c = 0; c < 4; ++c) {
                    const float want = !drawn  ? dst[c]
                                       : c < 3 ? m.channel(source[c], a, dst[c])
                                       : m.mode == BlendMode::CutOut ? (a >= 0.5f ? 1.0f : dst[3])
                                                                     : a + dst[3] * (1 - a);
                    EXPECT_NEAR(got[c], 255.0f * want, 2.0f)
                        << "mode " << int(m.mode) << ", alpha " << a << " at " << x << ", " << y
                        << " channel " << c;
                }
            }
        }
    }
}

// Shapes cover what their geometry covers: pixel counts against their
// areas, and whether the middle is filled.
TEST_F(SpriteBatchDraw, CirclesOutlinesAndPolygonsCoverTheirAreas) {
    constexpr float pi = 3.14159265f;
    const struct {
        const char* what;
        std::function<void(SpriteBatch&)> add;
        float area;
        bool middleFilled;
    } shapes[] = {
        {"circle",
         [](SpriteBatch& b) {
             b.addCircle(32, 32, 20, {1, 1, 1, 1});
         },
         pi * 400, true},
        {"ring",
         [](SpriteBatch& b) {
             b.addCircleOutline(32, 32, 20, 4, {1, 1, 1, 1});
         },
         pi * (400 - 256), false},
        {"diamond",
         [](SpriteBatch& b) {
             b.addCircle(32, 32, 20, {1, 1, 1, 1}, 4);
         },
         800, true},
        {"square ring",
         [](SpriteBatch& b) {
             b.addCircleOutline(32, 32, 20, 4, {1, 1, 1, 1}, 4);
         },
         800 - 2 * 16 * 16, false},
        {"frame",
         [](SpriteBatch& b) {
             b.addRectangleOutline(22, 27, 20, 10, 2, {1, 1, 1, 1});
         },
         200 - 16 * 6, false},
        {"thick frame",
         [](SpriteBatch& b) {
             b.addRectangleOutline(22, 27, 20, 10, 9, {1, 1, 1, 1});
         },
         200, true},
        {"triangle",
         [](SpriteBatch& b) {
             b.addPolygon({{10, 10}, {60, 10}, {10, 60}}, {1, 1, 1, 1});
         },
         1250, true},
        {"hexagon",
         [](SpriteBatch& b) {
             std::vector<Vec2> points;
             for (int i = 0; i < 6; ++i) {
                 points.push_back({32 + 20 * std::cos(i * pi / 3), 32 + 20 * std::sin(i * pi / 3)});
             }
             b.addPolygon(points, {1, 1, 1, 1});
             b.addPolygon({{0, 0}, {9, 9}}, {1, 1, 1, 1}); // two points: nothing
         },
         3 * std::sqrt(3.0f) / 2 * 400, true},
    };
    for (const auto& shape : shapes) {
        batch->clear();
        shape.add(*batch);
        glClear(GL_COLOR_BUFFER_BIT);
        batch->draw(camera);
        const Bytes pixels = target->readPixels();
        int covered = 0;
        for (std::size_t i = 0; i < pixels.size(); i += 4) {
            covered += pixels[i] == 255;
        }
        EXPECT_NEAR(covered, shape.area, shape.area * 0.02f + 4) << shape.what;
        EXPECT_EQ(target->pixel(pixels, 32, 32)[0] == 255, shape.middleFilled) << shape.what;
    }
}
