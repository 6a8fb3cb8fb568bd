// The real game against broken assets: a copy of data/ with one thing broken
// at a time. Whatever breaks, the game says what in one line and then either
// runs its frames and ends on Escape with status 0, or refuses to start with a
// non-zero status before the first frame. It never crashes, hangs or writes.
#include "support/FontBuilder.h"
#include "support/Game.h"
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::ProcessOptions;
using testsupport::runShell;
using testsupport::waitUntil;

namespace {

enum class Damage {
    Missing,
    Empty,
    Truncated,
    RandomBytes,
    Directory,
    Unreadable,
    VeryLongLine,
    NulBytes,
    NonNumeric,
    HugeNumbers,
    AbsurdDimensions,
    // TrueType fonts made to order, which a font file's checks must refuse.
    GlyfAtOffsetZero,
    NestedNineDeep,
    Thousandfold,
    OtherVersion, // a recording: of another engine, of another game, a byte changed
    OtherGame,
    FlippedByte,
};

const char* damageName(Damage damage) {
    switch (damage) {
    case Damage::Missing:
        return "Missing";
    case Damage::Empty:
        return "Empty";
    case Damage::Truncated:
        return "Truncated";
    case Damage::RandomBytes:
        return "RandomBytes";
    case Damage::Directory:
        return "Directory";
    case Damage::Unreadable:
        return "Unreadable";
    case Damage::VeryLongLine:
        return "VeryLongLine";
    case Damage::NulBytes:
        return "NulBytes";
    case Damage::NonNumeric:
        return "NonNumeric";
    case Damage::HugeNumbers:
        return "HugeNumbers";
    case Damage::AbsurdDimensions:
        return "AbsurdDimensions";
    case Damage::GlyfAtOffsetZero:
        return "GlyfAtOffsetZero";
    case Damage::NestedNineDeep:
        return "NestedNineDeep";
    case Damage::Thousandfold:
        return "Thousandfold";
    case Damage::OtherVersion:
        return "OtherVersion";
    case Damage::OtherGame:
        return "OtherGame";
    case Damage::FlippedByte:
        return "FlippedByte";
    }
    return "?";
}

enum class Outcome { Runs, Refuses };

struct BadAsset {
    std::string file; // below data/
    Damage damage;
    Outcome outcome;
    std::vector<std::string> expectedLines; // each must appear in the output
    // The program: the game, or an example of examples/ with the data/
    // it builds beside itself.
    std::string example = "";
};

constexpr const char* kRecording = "run.vrec";

std::string binary(const std::string& text) {
    return text;
}

// What each kind of text damage puts in front of an otherwise intact
// description, so that the good lines after it still load.
std::string atlasPrefix(Damage damage) {
    switch (damage) {
    case Damage::VeryLongLine:
        return std::string(1 << 20, 'x') + " 0 0 1\n";
    case Damage::NulBytes:
        return binary(std::string("tausta\0.png 0.1 0.2 0.3\n", 24));
    case Damage::NonNumeric:
        return "Bussi5.png zero one two three\n";
    case Damage::HugeNumbers:
        return "Bussi5.png 1e39 0 0.2 0.1\n";
    default:
        return "";
    }
}

std::string fontPrefix(Damage damage) {
    switch (damage) {
    case Damage::VeryLongLine:
        return "65," + std::string(1 << 20, '7') + ",0,0,1,1,0,0,1,1\n";
    case Damage::NulBytes:
        return binary(std::string("65,0.5,0,0,1,\0,0,0,1,1\n", 23));
    case Damage::NonNumeric:
        return "A,zero,0,0,1,1,0,0,1,1\n";
    case Damage::HugeNumbers:
        return "99999999999999999999,0.5,0,0,1,1,0,0,1,1\n";
    default:
        return "";
    }
}

std::vector<BadAsset> badAssets() {
    std::vector<BadAsset> cases;
    const Damage fileDamage[] = {Damage::Missing,     Damage::Empty,     Damage::Truncated,
                                 Damage::RandomBytes, Damage::Directory, Damage::Unreadable};
    const Damage textDamage[] = {Damage::VeryLongLine, Damage::NulBytes, Damage::NonNumeric,
                                 Damage::HugeNumbers};

    // The sprite shader: the game cannot draw without it.
    for (Damage d : fileDamage) {
        const bool unopenable =
            d == Damage::Missing || d == Damage::Directory || d == Damage::Unreadable;
        if (unopenable) {
            cases.push_back({"shaders/textured.glsl",
                             d,
                             Outcome::Refuses,
                             {"Failed to open the file: \"data/shaders/textured.glsl\"",
                              "Cannot start: the sprite shader"}});
        } else {
            cases.push_back(
                {"shaders/textured.glsl", d, Outcome::Runs, {"Shader compilation failed:"}});
        }
        // The text shader is loaded but never drawn with.
        cases.push_back({"shaders/text.glsl",
                         d,
                         Outcome::Runs,
                         {unopenable ? "Failed to open the file: \"data/shaders/text.glsl\""
                                     : "Shader compilation failed:"}});
    }

    // Images: a broken one is reported and the game runs on without it.
    for (const char* image : {"atlas.png", "font.png"}) {
        std::vector<Damage> kinds(std::begin(fileDamage), std::end(fileDamage));
        kinds.push_back(Damage::AbsurdDimensions);
        for (Damage d : kinds) {
            cases.push_back({std::string("textures/") + image,
                             d,
                             Outcome::Runs,
                             {std::string("Failed to load texture ") + image}});
        }
    }

    // The atlas description: without it there is no atlas texture at all.
    for (Damage d : fileDamage) {
        if (d == Damage::Missing || d == Damage::Directory || d == Damage::Unreadable) {
            cases.push_back({"textures/atlas.txt",
                             d,
                             Outcome::Refuses,
                             {"Failed to open the file: \"data/textures/atlas.txt\"",
                              "Cannot start: no \"atlas\" texture"}});
        } else {
            cases.push_back({"textures/atlas.txt", d, Outcome::Runs, {"No picture \""}});
        }
    }
    for (Damage d : textDamage) {
        cases.push_back({"textures/atlas.txt", d, Outcome::Runs, {"Error parsing line: "}});
    }

    // The font description: nothing draws text, so the game always runs; a
    // description that cannot be opened is passed over in silence.
    for (Damage d : fileDamage) {
        std::vector<std::string> lines;
        if (d == Damage::RandomBytes) {
            lines = {"Malformed glyph in \"data/textures/font.csv\" at line "};
        }
        cases.push_back({"textures/font.csv", d, Outcome::Runs, lines});
    }
    for (Damage d : textDamage) {
        cases.push_back({"textures/font.csv",
                         d,
                         Outcome::Runs,
                         {"Malformed glyph in \"data/textures/font.csv\" at line 1,"}});
    }

    // The TrueType font, which the bus game does not draw with: Bounce,
    // whose text needs it, refuses to start.
    for (Damage d : {Damage::Missing, Damage::Empty, Damage::Truncated, Damage::RandomBytes,
                     Damage::Directory, Damage::Unreadable, Damage::GlyfAtOffsetZero,
                     Damage::NestedNineDeep, Damage::Thousandfold}) {
        const char* why = d == Damage::Empty         ? "not a TrueType or OpenType font: too short"
                          : d == Damage::GlyfAtOffsetZero ? "fonts with CFF outlines"
                          : d == Damage::NestedNineDeep
                              ? "glyph 10 nests composite glyphs more than 8 deep"
                          : d == Damage::Thousandfold ? "glyph 0 is made of more than 1024 components"
                          : d == Damage::Truncated   ? "a table runs past the end of the file"
                          : d == Damage::RandomBytes ? "not a TrueType or OpenType font"
                          : d == Damage::Missing     ? "cannot open it"
                                                     : "";
        cases.push_back({"fonts/DejaVuSans.ttf",
                         d,
                         Outcome::Refuses,
                         {"Failed to load font \"", std::string("DejaVuSans.ttf\": ") + why},
                         "bounce"});
    }

    // A recording to replay (VELMORA_REPLAY), made by the game itself: any
    // fault refuses the replay before the first frame.
    for (Damage d :
         {Damage::Missing, Damage::Empty, Damage::Truncated, Damage::RandomBytes, Damage::Directory,
          Damage::Unreadable, Damage::OtherVersion, Damage::OtherGame, Damage::FlippedByte}) {
        const char* why =
            d == Damage::OtherVersion  ? "it was recorded by engine 1.9, this is engine"
            : d == Damage::OtherGame   ? "it is a recording of breakout, not of velmora"
            : d == Damage::FlippedByte ? "it is damaged"
            : d == Damage::Empty || d == Damage::RandomBytes ? "it is not a recording of a run"
            : d == Damage::Truncated                         ? "it is"
                                                             : "cannot read it";
        cases.push_back({kRecording,
                         d,
                         Outcome::Refuses,
                         {std::string("Cannot replay data/") + kRecording + ": " + why}});
    }

    // Sounds: a broken one is silent, and said so once.
    for (const char* sound :
         {"stab.mp3", "loop.mp3", "grunt1.mp3", "grunt2.mp3", "grunt3.mp3", "grunt4.mp3",
          "bus_miss.mp3", "bus_stop.mp3", "succes1.mp3", "succes2.mp3"}) {
        for (Damage d : fileDamage) {
            std::vector<std::string> lines;
            // A cut MP3 still holds whole frames: it plays, only shorter.
            if (d != Damage::Truncated) {
                lines = {std::string("Failed to load sound: ") + sound};
            }
            cases.push_back({std::string("audio/") + sound, d, Outcome::Runs, lines});
        }
    }
    return cases;
}

void PrintTo(const BadAsset& bad, std::ostream* out) {
    *out << bad.example << (bad.example.empty() ? "" : " ") << bad.file << " "
         << damageName(bad.damage);
}

std::string caseName(const BadAsset& bad) {
    std::string name;
    for (char c : bad.file) {
        name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    }
    return (bad.example.empty() ? "" : bad.example + "_") + name + "_" + damageName(bad.damage);
}

std::string randomBytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

// A valid PNG signature and header chunk claiming a 1000000 × 1000000 image.
std::string absurdPng() {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    const unsigned char header[] = {0,    0,    0,    13,   'I',  'H',  'D',  'R', 0x00,
                                    0x0F, 0x42, 0x40, 0x00, 0x0F, 0x42, 0x40, 8,   6,
                                    0,    0,    0,    0x12, 0x34, 0x56, 0x78};
    png.append(reinterpret_cast<const char*>(header), sizeof header);
    return png + randomBytes(256, 7);
}

void breakAsset(const fs::path& target, Damage damage) {
    const std::string original = testsupport::readFile(target.string());
    auto write = [&](const std::string& contents) {
        fs::remove_all(target);
        std::ofstream(target, std::ios::binary) << contents;
    };
    switch (damage) {
    case Damage::Missing:
        fs::remove(target);
        break;
    case Damage::Empty:
        write("");
        break;
    case Damage::Truncated:
        write(original.substr(0, original.size() * 2 / 5));
        break;
    case Damage::RandomBytes:
        write(randomBytes(4096, 42));
        break;
    case Damage::Directory:
        fs::remove(target);
        fs::create_directory(target);
        break;
    case Damage::Unreadable:
        chmod(target.c_str(), 0);
        break;
    case Damage::AbsurdDimensions:
        write(absurdPng());
        break;
    case Damage::GlyfAtOffsetZero:
    case Damage::NestedNineDeep:
    case Damage::Thousandfold: {
        testsupport::FontPlan plan = testsupport::compositeChain(9, true);
        if (damage == Damage::GlyfAtOffsetZero) {
            plan = {};
            plan.cff = true;
            plan.entryOffset["glyf"] = 0;
        } else if (damage == Damage::Thousandfold) {
            // Glyph 0, which loading draws, of 2000 copies of 2000 squares.
            plan = testsupport::compositeFan(2000, 2000);
            plan.glyphs[0] = plan.glyphs[1];
        }
        const std::vector<unsigned char> font = testsupport::buildFont(plan);
        write(std::string(font.begin(), font.end()));
        break;
    }
    case Damage::OtherVersion:
    case Damage::OtherGame: {
        const std::string line = damage == Damage::OtherVersion ? "\nengine " : "\ngame ";
        const size_t from = original.find(line) + line.size();
        write(original.substr(0, from) + (damage == Damage::OtherVersion ? "1.9" : "breakout") +
              original.substr(original.find('\n', from)));
        break;
    }
    case Damage::FlippedByte: {
        // A digit of a frame's clock halfway through: still a number.
        std::string changed = original;
        const size_t digit = changed.find("\nf 0x1.", changed.size() / 2) + 8;
        changed[digit] = changed[digit] == '1' ? '2' : '1';
        write(changed);
        break;
    }
    default:
        write((target.extension() == ".csv" ? fontPrefix(damage) : atlasPrefix(damage)) + original);
        break;
    }
}

// Paths, sizes and modification times of everything below `root`.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> entries;
    for (auto it =
             fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied);
         it != fs::recursive_directory_iterator(); ++it) {
        struct stat info {};
        lstat(it->path().c_str(), &info);
        entries[it->path().string()] = std::to_string(info.st_size) + "@" +
                                       std::to_string(info.st_mtim.tv_sec) + "." +
                                       std::to_string(info.st_mtim.tv_nsec);
    }
    return entries;
}

// The game, run from `root` for half a second, records its run into `file`.
void recordABriefRun(const fs::path& root, const fs::path& file) {
    ProcessOptions options;
    options.workingDirectory = root.string();
    options.env["VELMORA_RECORD"] = file.string();
    auto game = testsupport::startGame({VELMORA_GAME_EXE, "windowed"}, options);
    const std::string window = testsupport::windowOf(*game);
    ASSERT_TRUE(waitUntil(60, [&] { return testsupport::titleClock(window) >= 0.5; }));
    EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
    ASSERT_EQ(game->waitFor(30), std::optional<int>(0));
    ASSERT_TRUE(fs::is_regular_file(file));
}

class BadAssetTest : public ::testing::TestWithParam<BadAsset> {};

TEST_P(BadAssetTest, IsReportedAndNeverCrashesHangsOrWrites) {
    VELMORA_REQUIRE_DISPLAY();
    const BadAsset& bad = GetParam();
    testsupport::ScratchDir scratch;
    const fs::path root = scratch.path();
    std::string program = VELMORA_GAME_EXE;
    if (bad.example.empty()) {
        fs::copy(fs::path(VELMORA_SOURCE_DIR) / "data", root / "data", fs::copy_options::recursive);
    } else {
        const fs::path built = fs::path(VELMORA_BINARY_DIR) / "examples" / bad.example;
        fs::copy(built / "data", root / "data", fs::copy_options::recursive);
        fs::copy_file(built / bad.example, root / bad.example);
        program = (root / bad.example).string();
    }
    fs::create_directory(root / "home");
    if (bad.file == kRecording) {
        recordABriefRun(root, root / "data" / kRecording);
    }
    breakAsset(root / "data" / bad.file, bad.damage);

    // The GPU driver keeps a shader cache of its own in HOME (Mesa 24 and
    // later do); it goes to a folder of its own here, so that anything that
    // still appears in HOME was written by the game.
    testsupport::ScratchDir driverCache;
    ProcessOptions options;
    options.workingDirectory = root.string();
    options.env["HOME"] = (root / "home").string();
    options.env["MESA_SHADER_CACHE_DIR"] = driverCache.path();
    if (bad.file == kRecording) {
        options.env["VELMORA_REPLAY"] = std::string("data/") + kRecording;
    }
    std::vector<std::string> command = {program, "windowed"};
    if (bad.damage == Damage::Unreadable && geteuid() == 0) {
        // Permissions do not stop root, which may override them. The game
        // runs as root without that power instead of as another user: it
        // still reaches its executable and libraries wherever the checkout
        // sits (a folder only root may enter included), but the file that
        // nobody may read stays unread.
        command.insert(command.begin(), {"setpriv", "--inh-caps=-dac_override,-dac_read_search",
                                         "--bounding-set=-dac_override,-dac_read_search", "--"});
    }
    const auto before = snapshot(root / "data");

    auto started = testsupport::startGame(command, options);
    ChildProcess& game = *started;
    ASSERT_TRUE(game.started());
    // Either the first frames run (the title shows the clock) or it ends.
    std::string window;
    const bool settled = waitUntil(60, [&] {
        if (!game.running()) {
            return true;
        }
        window = testsupport::windowOf(game);
        return !window.empty() && testsupport::titleClock(window) >= 0.0;
    });
    ASSERT_TRUE(settled) << "neither ran nor ended: it hangs";

    if (bad.outcome == Outcome::Runs) {
        if (!game.running()) {
            const auto status = game.waitFor(0);
            FAIL() << "ended early with status " << (status ? *status : -1) << "\n"
                   << game.standardOutput() << game.standardError();
        }
        testsupport::pause(0.5);
        EXPECT_TRUE(testsupport::sendKey(window, "Escape"));
        const auto status = game.waitFor(30);
        ASSERT_TRUE(status.has_value()) << "did not end on Escape";
        EXPECT_EQ(*status, 0) << game.standardError();
    } else {
        const auto status = game.waitFor(30);
        ASSERT_TRUE(status.has_value()) << "still running";
        EXPECT_NE(*status, 0);
        EXPECT_LT(*status, 128) << "ended by a signal";
    }

    const std::string output = game.standardOutput() + game.standardError();
    for (const std::string& line : bad.expectedLines) {
        EXPECT_NE(output.find(line), std::string::npos) << "missing: " << line << "\n" << output;
    }
    // Nothing written: the data is as it was, the working directory holds
    // nothing new, and the home directory holds nothing of the game's (the
    // system's sound-server client may leave its own runtime marker there).
    EXPECT_EQ(snapshot(root / "data"), before);
    for (const auto& entry : fs::directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "data" || name == "home" || name == bad.example) << name;
    }
    for (const auto& entry : fs::recursive_directory_iterator(root / "home")) {
        const std::string relative = entry.path().lexically_relative(root / "home").string();
        EXPECT_TRUE(relative == ".config" || relative.rfind(".config/pulse", 0) == 0)
            << "written: " << relative;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryAsset, BadAssetTest, ::testing::ValuesIn(badAssets()),
                         [](const ::testing::TestParamInfo<BadAsset>& info) {
                             return caseName(info.param);
                         });

} // namespace
