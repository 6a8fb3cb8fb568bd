// The guide's index lists every call a game may make. It is compiled against
// the headers that an install of the engine gives a game, so that it cannot
// promise a call the engine lacks, hides, or shapes otherwise.
#include "support/GuideIndex.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;
using testsupport::compileSyntaxOnly;
using testsupport::translateGuideIndex;

namespace {

// The index holds well over this many calls, members and names; fewer means
// that it was not found or not read, and the check would prove little.
constexpr int kFewestChecks = 100;

class GuideIndex : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string log;
        ASSERT_TRUE(testsupport::installEngine(prefix, &log)) << log;
    }

    testsupport::ScratchDir scratch;
    const std::string prefix = scratch.path() + "/prefix";
    const std::string include = prefix + "/include";
};

TEST_F(GuideIndex, EveryEntryCompilesAgainstTheInstalledHeaders) {
    const auto index = translateGuideIndex(
        testsupport::readFile(VELMORA_SOURCE_DIR "/docs/engine.md"), "docs/engine.md");
    EXPECT_GE(index.checks, kFewestChecks) << index.source;
    // Its groups name every installed header, and no other.
    std::set<std::string> installed;
    for (const auto& entry : fs::directory_iterator(include + "/velmora")) {
        if (entry.path().extension() == ".h") {
            installed.insert(entry.path().filename().string());
        }
    }
    EXPECT_EQ(std::set<std::string>(index.headers.begin(), index.headers.end()), installed);
    int rc = -1;
    const std::string errors = compileSyntaxOnly(index.source, include, &rc);
    EXPECT_EQ(rc, 0) << errors;
}

// Each entry stands alone in an index of its own, at line 7; a drifted one
// fails there, one that holds compiles. A second section after the index,
// with an entry that cannot hold, is never read.
TEST_F(GuideIndex, AnEntryThatDriftedFailsAtItsLine) {
    const struct {
        const char* entry;
        int checks;
        bool holds;
    } cases[] = {
        {"const AtlasPicture* atlas.picture(i);", 1, false},                 // private
        {"Texture& Texture::load(const char* name);", 1, false},             // a pointer
        {"void sound.play(const char* name);", 1, false},                    // loop has no default
        {"void sound.setPitch(name, pitch);  setPan(name, pan);", 2, false}, // a member
        {"std::size_t batch.size(), batch.count();", 2, false},
        {"float app.time;", 1, false},
        {"kKeyA … kKeyZZ, kMouseLeft", 3, false},
        {"batch.size() + 1;", 0, false}, // no entry: refused, never skipped
        {"bool app.init(bool fullscreen, const ApplicationSettings& s = {});", 1, true},
        {"VoiceHandle sound.playVoice(name, volume = 1, pitch = 1, pan = 0);", 1, true},
        {"static SoundManager::StuckShutdownHandler SoundManager::setStuckShutdownHandler("
         "SoundManager::StuckShutdownHandler handler);",
         1, true},
        {"void batch.addRectangle(x, y, w, h, colour, …);  double app.time;", 2, true},
        {"std::size_t batch.size(), batch.drawCalls();  void texture->bind();", 3, true},
        {"Vec2, Rect, kKeyA … kKeyZ, kMouseLeft, …", 5, true},
    };
    for (const auto& c : cases) {
        const auto index = translateGuideIndex(
            "# Guide\n\n## Index\n\n    // Application.h, Camera.h, SpriteBatch.h, SoundManager.h,"
            " Shader.h, Texture.h, Sprite.h, Keys.h, Canvas.h, Font.h, Random.h\n\n    " +
                std::string(c.entry) +
                "  // what it does\n\n## After\n\n    const AtlasPicture* atlas.picture(i);\n",
            "guide.md");
        EXPECT_EQ(index.checks, c.checks) << c.entry;
        int rc = -1;
        const std::string errors = compileSyntaxOnly(index.source, include, &rc);
        EXPECT_EQ(rc == 0, c.holds) << c.entry << "\n" << errors;
        if (!c.holds) {
            EXPECT_NE(errors.find("guide.md:7:"), std::string::npos) << c.entry << "\n" << errors;
        }
    }
}

// Entries are read from the index's code, indented or fenced, and only
// there: prose and other sections give nothing to check.
TEST(GuideIndexText, OnlyTheIndexCodeIsRead) {
    const struct {
        const char* markdown;
        int checks;
    } cases[] = {
        {"# Guide\n\n    void app.run();\n\n## Indexes\n\n    void app.run();\n", 0},
        {"## Index\n\nCall void app.run(); first.\n\n## Next\n\n    void app.run();\n", 0},
        {"## Index\n\n    void app.run();  // and\n    void app.close();\n", 2},
        {"## Index\n\n```cpp\nvoid app.run();\n```\n\n    void app.close();\n", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(translateGuideIndex(c.markdown, "guide.md").checks, c.checks) << c.markdown;
    }
}

} // namespace
