// A web build's page played in a real headless Chromium (Debian's chromium
// and chromedriver), for tests that look at the game in a browser. The hands
// are tests/support/web_page.py (Selenium); this side starts it and reads what
// it saw.
#pragma once

#include "support/GlContext.h"
#include "support/Screenshot.h"

#include <map>
#include <string>
#include <vector>

namespace testsupport {

// The web build's folder (make web: build-web/ of the checkout).
std::string webBuildDirectory();

// A page's folder: `page` itself when it is an absolute path, otherwise that
// folder of webBuildDirectory().
std::string webPageFolder(const std::string& page);

// Empty when a page can be played here; otherwise what is missing (the
// page's index.html, Chromium, chromedriver, tesseract, Selenium).
std::string webPageMissing(const std::string& page);

struct WebPageRun {
    bool finished = false;            // every step ran
    std::string errors;               // the driver's standard error
    std::string folder;               // where the screenshots are (NAME.png), and downloads/
    std::map<std::string, double> shotClocks;                    // the game's clock at each shot
    std::map<std::string, int> framesAtShot;                     // frames shown by each shot
    std::map<std::string, bool> fullscreenAtShot;                // the page full screen then
    int framesShown = 0;                                         // frames shown in all
    std::map<std::string, std::vector<std::string>> audioStates; // per "audio NAME" step
    std::vector<std::string> console;                            // the page's console lines
    int canvasWidth = 0;
    int canvasHeight = 0;
    double secondsToFirstFrame = -1.0;

    Screenshot shot(const std::string& name) const;
    bool consoleHas(const std::string& text) const;
};

// Text in single quotes for the shell.
std::string quoted(const std::string& text);

// Opens `page` (see webPageFolder) at `options` (web_page.py's
// --query, --size, --ratio) and runs `steps` (see web_page.py), keeping the
// screenshots in `folder`.
WebPageRun playWebPage(const std::string& page, const std::string& folder,
                       const std::vector<std::string>& options,
                       const std::vector<std::string>& steps);

// Reads a PNG into a screenshot (RGB); empty on failure.
Screenshot loadPng(const std::string& path);

// The text that tesseract reads in a rectangle of the screenshot (x, y from
// the top-left corner), as a block of lines of light text on a dark ground
// (enlarged twice and turned to dark on light first); empty when it reads
// nothing.
std::string readText(const Screenshot& shot, int x, int y, int w, int h);

} // namespace testsupport

#define VELMORA_REQUIRE_WEB_PAGE(page)                                                             \
    do {                                                                                           \
        const std::string missing = ::testsupport::webPageMissing(page);                          \
        if (!missing.empty()) {                                                                    \
            if (::testsupport::runningInCi()) {                                                    \
                FAIL() << missing;                                                                 \
            }                                                                                      \
            GTEST_SKIP() << missing;                                                               \
        }                                                                                          \
    } while (false)
