// The games as web pages (make web), in a real headless Chromium: WebGL2 on
// SwiftShader, keys and clicks from WebDriver, screenshots of the page. One
// table over the pages: each row opens a page once, plays it, and looks at
// what it showed; every row also checks what any page must do (a first
// frame, the canvas filling the page, no OpenGL error on the console).
#include "support/Game.h"
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/Screenshot.h"
#include "support/SoundServer.h"
#include "support/WebPage.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using testsupport::Screenshot;
using testsupport::WebPageRun;

namespace {

// The page's note (what its keys mean) covers the top rows until the first
// key; comparisons start below it.
constexpr int kBelowTheNote = 40;
// Mean difference per channel (0-255) allowed between the desktop's picture
// and the browser's (measured here: 0.02): SwiftShader and llvmpipe may round
// and filter differently; a wrong texture, a missing sprite or a shifted
// picture gives tens.
constexpr double kSamePictureTolerance = 1.0;

std::string scratch(const std::string& name) {
    const std::string folder = std::filesystem::temp_directory_path().string() + "/velmora-web-" +
                               name + "-" + std::to_string(::getpid());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

void keep(const Screenshot& shot, const std::string& name) {
    if (const char* folder = std::getenv("VELMORA_KEEP_SCREENSHOTS")) {
        testsupport::savePng(shot, std::string(folder) + "/" + name + ".png");
    }
}

// The first title picture of the desktop game, windowed at 1024 × 768.
Screenshot desktopTitle() {
    testsupport::ProcessOptions options;
    options.workingDirectory = VELMORA_SOURCE_DIR;
    auto game = testsupport::startGame({VELMORA_GAME_EXE, "windowed"}, options);
    const std::string window = game->started() ? testsupport::windowOf(*game) : "";
    if (window.empty() ||
        !testsupport::waitUntil(60, [&] { return testsupport::titleClock(window) >= 2.0; })) {
        return Screenshot{};
    }
    Screenshot shot = testsupport::captureWindow(window);
    return testsupport::titleClock(window) < 5.4 ? shot : Screenshot{};
}

// The middle of the bright pixels in a band of rows (the breakout paddle's
// x); -1 when the band has none.
double brightMiddle(const Screenshot& shot, int top, int bottom) {
    double sum = 0.0;
    int count = 0;
    for (int y = top; y < bottom && y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const unsigned char* p = &shot.rgb[(static_cast<std::size_t>(y) * shot.width + x) * 3];
            if (p[0] > 180 && p[1] > 180 && p[2] > 180) {
                sum += x;
                ++count;
            }
        }
    }
    return count > 0 ? sum / count : -1.0;
}

void busGame(const WebPageRun& web) {
    // The first title picture, as the desktop game shows it at that time.
    const Screenshot title = web.shot("title");
    EXPECT_LT(web.shotClocks.at("title"), 5.4) << "the page's screenshot came too late";
    const Screenshot desktop = desktopTitle();
    ASSERT_FALSE(desktop.empty()) << "no title picture from the desktop game";
    ASSERT_EQ(title.width, desktop.width);
    ASSERT_EQ(title.height, desktop.height);
    keep(desktop, "desktop-title");
    keep(title, "web-title");
    EXPECT_LT(title.difference(desktop, 0, kBelowTheNote, title.width, title.height - kBelowTheNote),
              kSamePictureTolerance);

    // Space reached the game: the overlay (F3) counts one attempt.
    const std::string overlay = testsupport::readText(web.shot("overlay"), 0, 0, 400, 130);
    EXPECT_NE(overlay.find("attempts 1"), std::string::npos) << overlay;

    // The sound runs once a key was pressed (headless Chromium may let it
    // run before; a browser with a screen holds it until then).
    const std::vector<std::string> states = web.audioStates.at("afterTheFirstKey");
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0], "running");
    EXPECT_FALSE(web.consoleHas("Failed to initialize audio engine"));
}

void wideAndSharp(const WebPageRun& web) {
    // 800 × 450 CSS pixels at a ratio of 2: 4:3 in 1600 × 900 pixels is 1200
    // wide, with black bars of 200 on either side.
    const Screenshot wide = web.shot("wide");
    ASSERT_EQ(wide.width, 1600);
    ASSERT_EQ(wide.height, 900);
    const int below = 2 * kBelowTheNote;
    EXPECT_EQ(wide.brightest(0, below, 195, 900 - below), 0);
    EXPECT_EQ(wide.brightest(1405, below, 195, 900 - below), 0);
    EXPECT_GT(wide.brightest(205, below, 20, 900 - below), 0);
    EXPECT_GT(wide.brightest(1375, below, 20, 900 - below), 0);
}

// Breakout's 800 × 600 units fill 1024 × 768: the paddle's row is at 706.
void breakout(const WebPageRun& web) {
    // Before any mouse event a page knows no cursor position: the game's
    // first look at the mouse puts the paddle at the left edge. Right held:
    // the paddle goes right.
    const Screenshot start = web.shot("start");
    const double middle = brightMiddle(start, 700, 712);
    ASSERT_GE(middle, 0.0) << "no paddle";
    EXPECT_GT(brightMiddle(web.shot("keys"), 700, 712), middle + 100.0);
    // The mouse at x 900: the paddle follows it.
    EXPECT_NEAR(brightMiddle(web.shot("mouse"), 700, 712), 900.0, 40.0);
    // The click launched the ball: its banner has gone.
    const std::string before = testsupport::readText(web.shot("mouse"), 200, 455, 624, 55);
    const std::string after = testsupport::readText(web.shot("launched"), 200, 455, 624, 55);
    EXPECT_NE(before.find("launch"), std::string::npos) << before;
    EXPECT_EQ(after.find("launch"), std::string::npos) << after;
    // The bricks' rows show their tints (red on top, then orange, yellow,
    // green, blue, violet): the first brick of each row, rows 46 apart.
    std::vector<std::array<double, 3>> rows;
    for (int row = 0; row < 6; ++row) {
        rows.push_back(start.mean(70, 142 + 46 * row, 50, 8));
    }
    EXPECT_GT(rows[0][0], rows[0][1] + 60) << "red";
    EXPECT_GT(rows[3][1], rows[3][0] + 30) << "green";
    EXPECT_GT(rows[4][2], rows[4][0] + 60) << "blue";
    EXPECT_GT(rows[5][2], rows[5][1] + 40) << "violet";
    EXPECT_GT(rows[2][1], rows[1][1] + 20) << "yellow is greener than orange";
}

// A page that draws something: bright sprites and text on its dark ground.
void drawsSomething(const WebPageRun& web) {
    const Screenshot shot = web.shot("shown");
    ASSERT_FALSE(shot.empty());
    const std::array<double, 3> mean = shot.mean(0, kBelowTheNote, shot.width, shot.height);
    const double ground = (mean[0] + mean[1] + mean[2]) / 3.0;
    EXPECT_GT(shot.brightest(0, kBelowTheNote, shot.width, shot.height), ground + 100.0);
}

// Glow: F12's screenshot reaches the browser's downloads as the letterboxed
// picture, not black; F11 (setFullscreen(!isFullscreen())) makes the page
// full screen and back; Escape (the game's close()) ends the page.
void glow(const WebPageRun& web) {
    drawsSomething(web);
    EXPECT_EQ(std::vector<bool>({web.fullscreenAtShot.at("shown"), web.fullscreenAtShot.at("full"),
                                 web.fullscreenAtShot.at("ended")}),
              std::vector<bool>({false, true, false}));
    const Screenshot saved = testsupport::loadPng(web.folder + "/downloads/glow-1.png");
    ASSERT_EQ(saved.width, 1024);
    ASSERT_EQ(saved.height, 576);
    const std::array<double, 3> mean = saved.mean(0, 0, saved.width, saved.height);
    EXPECT_GT(saved.brightest(0, 0, saved.width, saved.height),
              (mean[0] + mean[1] + mean[2]) / 3.0 + 100.0);
    EXPECT_LT(web.framesShown, web.framesAtShot.at("ended") + 3) << "frames went on after close()";
}

// The bunnymark's page (bench/web-bunnymark.sh): the count from its address,
// its sprites drawn, and once a second a rate on the console.
void bunnymark(const WebPageRun& web) {
    drawsSomething(web);
    int reports = 0;
    for (const std::string& line : web.console) {
        const std::size_t at = line.find("300 sprites ");
        if (at != std::string::npos) {
            ++reports;
            EXPECT_GT(std::atof(line.c_str() + at + 12), 0.0) << line;
        }
        EXPECT_EQ(line.find("1000 sprites"), std::string::npos) << "the count was not read";
    }
    EXPECT_GE(reports, 2);
}

// The web layer's checks (tests/web/layer): each printed "ok", all of them.
void webLayer(const WebPageRun& web) {
    int passed = 0;
    for (const std::string& line : web.console) {
        EXPECT_EQ(line.find("FAILED"), std::string::npos) << line;
        passed += line.find(" ok\"") != std::string::npos ? 1 : 0;
    }
    EXPECT_TRUE(web.consoleHas("layer done 25"));
    EXPECT_EQ(passed, 25);
}

struct PageRow {
    const char* name;
    const char* page;
    std::vector<std::string> options;
    std::vector<std::string> steps;
    int canvasWidth;
    int canvasHeight;
    std::function<void(const WebPageRun&)> check;
    bool needsDisplay = false;
};

std::ostream& operator<<(std::ostream& out, const PageRow& row) {
    return out << row.name;
}

const PageRow kPages[] = {
    // The bus game, windowed (no full screen request): the first title
    // picture, the overlay (F3, also the first key, which starts the sound),
    // and a Space press once the game runs.
    {"BusGame", "velmora", {"--query", "windowed"},
     {"clock", "2.0", "shot", "title", "audio", "beforeAnyKey", "key", "f3", "sleep", "0.3",
      "audio", "afterTheFirstKey", "clock", "12.5", "key", "space", "sleep", "0.6", "shot",
      "overlay"},
     1024, 768, busGame, true},
    // The bus game in a wide page at a device pixel ratio of 2.
    {"BusGameWideAtRatioTwo", "velmora",
     {"--query", "windowed", "--size", "800x450", "--ratio", "2"},
     {"clock", "1.0", "shot", "wide"}, 1600, 900, wideAndSharp},
    // The page narrowed, its height kept: the canvas follows.
    {"BusGameNarrowed", "velmora", {"--query", "windowed"},
     {"frames", "2", "size", "800", "768", "sleep", "0.5", "shot", "narrowed"}, 800, 768,
     [](const WebPageRun& web) { EXPECT_EQ(web.shot("narrowed").width, 800); }},
    // Breakout: held keys, the mouse, a click.
    {"Breakout", "breakout", {"--query", "windowed"},
     {"frames", "5", "shot", "start", "hold", "right", "0.5", "shot", "keys", "move", "900", "400",
      "sleep", "0.3", "shot", "mouse", "click", "900", "400", "sleep", "0.2", "shot", "launched"},
     1024, 768, breakout},
    // Breakout at a device pixel ratio of 1.5: 1536 × 1152 pixels, and the
    // mouse, which a page reports in CSS pixels or in the canvas's, still
    // puts the paddle (its row at 1059 now) where it points.
    {"BreakoutAtRatioOneAndAHalf", "breakout", {"--query", "windowed", "--ratio", "1.5"},
     {"frames", "5", "move", "900", "400", "sleep", "0.3", "shot", "mouse"}, 1536, 1152,
     [](const WebPageRun& web) {
         EXPECT_NEAR(brightMiddle(web.shot("mouse"), 1050, 1068), 1350.0, 60.0);
     }},
    {"Bounce", "bounce", {"--query", "windowed"}, {"frames", "20", "shot", "shown"}, 1024, 768,
     drawsSomething},
    {"Glow", "glow", {"--query", "windowed"},
     {"frames", "20", "shot", "shown", "key", "f12", "download", "glow-1.png", "key", "f11",
      "sleep", "0.5", "shot", "full", "key", "f11", "sleep", "0.5", "key", "escape", "sleep", "0.5",
      "shot", "ended", "sleep", "0.5"},
     1024, 768, glow},
    {"Bunnymark", "bunnymark", {"--query", "windowed&count=300"},
     {"frames", "2", "sleep", "3.5", "shot", "shown"}, 1024, 768, bunnymark},
    {"WebLayer", "web_layer_test", {}, {"frames", "4"}, 1024, 768, webLayer},
    {"GuideCatcher", "catcher", {"--query", "windowed"}, {"frames", "20", "shot", "shown"}, 1024,
     768, drawsSomething},
};

class WebPage : public ::testing::TestWithParam<PageRow> {};

TEST_P(WebPage, ShowsItsFirstFrameFillsThePageAndPlays) {
    const PageRow& row = GetParam();
    if (row.needsDisplay) {
        VELMORA_REQUIRE_DISPLAY();
    }
    VELMORA_REQUIRE_WEB_PAGE(row.page);
    const WebPageRun web =
        testsupport::playWebPage(row.page, scratch(row.name), row.options, row.steps);
    ASSERT_TRUE(web.finished) << web.errors;
    EXPECT_GT(web.secondsToFirstFrame, 0.0);
    EXPECT_EQ(web.canvasWidth, row.canvasWidth);
    EXPECT_EQ(web.canvasHeight, row.canvasHeight);
    EXPECT_FALSE(web.consoleHas("GL_INVALID")) << "the web layer made an OpenGL error";
    EXPECT_FALSE(web.consoleHas("Cannot")) << "a file or a call failed";
    row.check(web);
}

INSTANTIATE_TEST_SUITE_P(Each, WebPage, ::testing::ValuesIn(kPages),
                         [](const auto& info) { return std::string(info.param.name); });

// A game of one's own: the engine installed from the web build, Bounce built
// against it with emcmake, as docs/engine.md ("On the web") tells, and its
// page played.
TEST(WebOutsideGame, BuildsWithEmcmakeAgainstTheWebInstallAndRuns) {
    VELMORA_REQUIRE_WEB_PAGE("velmora");
    using testsupport::quoted;
    const std::string folder = scratch("outside");
    const std::string prefix = folder + "/engine";
    const std::string build = folder + "/bounce";
    const std::string web = testsupport::webBuildDirectory();
    // Emscripten's libraries come from the web build's cache, already built.
    const std::string environment = "EM_CACHE=" + quoted(web + "/emcache") +
                                    " EM_FROZEN_CACHE= NODE_PATH=/usr/share/nodejs ";
    int status = 1;
    const std::string log = testsupport::runShell(
        "cmake --install " + quoted(web) + " --component engine --prefix " + quoted(prefix) +
            " 2>&1 && " + environment + "emcmake cmake -S " +
            quoted(std::string(VELMORA_SOURCE_DIR) + "/examples/bounce") + " -B " + quoted(build) +
            " -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=" + quoted(prefix) +
            " -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=BOTH 2>&1 && " + environment +
            "cmake --build " + quoted(build) + " 2>&1",
        &status);
    ASSERT_EQ(status, 0) << log;
    // What the page needs, and nothing of the desktop's.
    for (const char* file : {"index.html", "bounce.js", "bounce.wasm", "bounce.data"}) {
        EXPECT_TRUE(std::filesystem::exists(build + "/bounce/" + file)) << file;
    }
    const WebPageRun page = testsupport::playWebPage(build + "/bounce", folder + "/shots",
                                                     {"--query", "windowed"},
                                                     {"frames", "20", "shot", "shown"});
    ASSERT_TRUE(page.finished) << page.errors;
    EXPECT_FALSE(page.consoleHas("GL_INVALID"));
    drawsSomething(page);
    std::filesystem::remove_all(folder);
}

// Chromium plays the bus game's page through the sound server its
// environment names: after the first key a private PulseAudio's null sink
// records the game's sound.
TEST(WebSound, APrivateSoundServerRecordsTheBusGameAfterTheFirstKey) {
    VELMORA_REQUIRE_WEB_PAGE("velmora");
    if (!testsupport::soundServerInstalled()) {
        if (testsupport::runningInCi()) {
            FAIL() << "pulseaudio is not installed";
        }
        GTEST_SKIP() << "pulseaudio is not installed (the test command installs it)";
    }
    testsupport::PrivateSoundServer server;
    ASSERT_TRUE(server.ready()) << server.log();
    const testsupport::ClientEnvironmentScope environment(server);
    testsupport::SinkRecording sink(server);
    const auto start = std::chrono::steady_clock::now();
    const auto web = testsupport::playWebPage("velmora", scratch("WebSound"), {"--query", "windowed", "--sound"},
                                              {"frames", "10", "key", "space", "sleep", "3"});
    ASSERT_TRUE(web.finished) << web.errors;
    const std::vector<double> levels =
        sink.levels(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    const auto heard = std::count_if(levels.begin(), levels.end(), [](double l) { return l > 0.01; });
    EXPECT_GE(heard, 10) << "50 ms blocks with sound; the server said: " << server.log();
}

} // namespace
