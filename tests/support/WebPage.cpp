#include "support/WebPage.h"

#include "support/Process.h"
#include "support/TempDir.h"

#include <stb_image.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

namespace {

void readFacts(const std::string& path, WebPageRun& run) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "shot") {
            std::string name;
            double clock = -1.0;
            int frames = 0;
            int fullscreen = 0;
            words >> name >> clock >> frames >> fullscreen;
            run.shotClocks[name] = clock;
            run.framesAtShot[name] = frames;
            run.fullscreenAtShot[name] = fullscreen == 1;
        } else if (kind == "audio") {
            std::string name, state;
            words >> name;
            std::vector<std::string>& states = run.audioStates[name];
            while (words >> state) {
                states.push_back(state);
            }
        } else if (kind == "canvas") {
            words >> run.canvasWidth >> run.canvasHeight;
        } else if (kind == "frames") {
            words >> run.framesShown;
        } else if (kind == "loaded") {
            words >> run.secondsToFirstFrame;
        } else if (kind == "console") {
            run.console.push_back(line.substr(8));
        }
    }
}

} // namespace

std::string webBuildDirectory() {
    return VELMORA_WEB_BUILD_DIR;
}

std::string webPageFolder(const std::string& page) {
    return !page.empty() && page[0] == '/' ? page : webBuildDirectory() + "/" + page;
}

std::string webPageMissing(const std::string& page) {
    const std::string index = webPageFolder(page) + "/index.html";
    if (!std::filesystem::exists(index)) {
        return "no web build of " + page + " (" + index + "): run make web";
    }
    const char* tools[] = {"/usr/bin/chromium", "/usr/bin/chromedriver", "/usr/bin/tesseract"};
    for (const char* tool : tools) {
        if (!std::filesystem::exists(tool)) {
            return std::string(tool) + " is missing: run scripts/bootstrap.sh test";
        }
    }
    int status = 1;
    runShell("/usr/bin/python3 -c 'import selenium' 2>/dev/null", &status);
    return status == 0 ? "" : "python3-selenium is missing: run scripts/bootstrap.sh test";
}

WebPageRun playWebPage(const std::string& page, const std::string& folder,
                       const std::vector<std::string>& options,
                       const std::vector<std::string>& steps) {
    WebPageRun run;
    run.folder = folder;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::string command = "/usr/bin/python3 " + quoted(std::string(VELMORA_SOURCE_DIR) +
                                                       "/tests/support/web_page.py") +
                          " " + quoted(webPageFolder(page)) + " " + quoted(folder);
    for (const std::string& word : options) {
        command += " " + quoted(word);
    }
    for (const std::string& word : steps) {
        command += " " + quoted(word);
    }
    const std::string errors = folder + "/driver-errors.txt";
    int status = 1;
    runShell(command + " 2>" + quoted(errors), &status);
    run.finished = status == 0;
    run.errors = readFile(errors);
    readFacts(folder + "/facts.txt", run);
    return run;
}

Screenshot WebPageRun::shot(const std::string& name) const {
    return loadPng(folder + "/" + name + ".png");
}

bool WebPageRun::consoleHas(const std::string& text) const {
    for (const std::string& line : console) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

Screenshot loadPng(const std::string& path) {
    Screenshot shot;
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &shot.width, &shot.height, &channels, 3);
    if (pixels == nullptr) {
        return Screenshot{};
    }
    shot.rgb.assign(pixels, pixels + static_cast<std::size_t>(shot.width) * shot.height * 3);
    stbi_image_free(pixels);
    return shot;
}

std::string readText(const Screenshot& shot, int x, int y, int w, int h) {
    char pattern[] = "/tmp/velmora-ocr.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return "";
    }
    const std::string folder = pattern;
    const std::string image = folder + "/shot.png";
    const std::string crop = folder + "/crop.png";
    std::string text;
    if (savePng(shot, image)) {
        runShell("convert " + quoted(image) + " -crop " + std::to_string(w) + "x" +
                 std::to_string(h) + "+" + std::to_string(x) + "+" + std::to_string(y) +
                 " -scale 200% -colorspace gray -negate " + quoted(crop));
        text = runShell("tesseract " + quoted(crop) + " - --psm 6 2>/dev/null");
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return text;
}

} // namespace testsupport
