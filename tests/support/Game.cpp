#include "support/Game.h"

#include "support/Screenshot.h"

#include <cstdlib>
#include <fstream>

namespace testsupport {

namespace {

constexpr int kAttempts = 5;

std::string withoutTrailingNewlines(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

bool couldNotReachTheDisplay(ChildProcess& game) {
    return !game.running() &&
           game.standardError().find("Failed to initialize GLFW") != std::string::npos;
}

} // namespace

std::unique_ptr<ChildProcess> startGame(const std::vector<std::string>& argv,
                                        const ProcessOptions& options) {
    std::unique_ptr<ChildProcess> game;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) {
            pause(0.3);
        }
        game = std::make_unique<ChildProcess>(argv, options);
        if (!game->started()) {
            return game;
        }
        waitUntil(60, [&] { return !game->running() || !windowOf(*game).empty(); });
        if (!couldNotReachTheDisplay(*game)) {
            return game;
        }
    }
    return game;
}

std::string windowOf(const ChildProcess& game) {
    // A single attempt: callers poll, and "no window yet" is a normal answer.
    const std::string found = runShell("xdotool search --onlyvisible --pid " +
                                       std::to_string(game.processId()) + " | head -n 1");
    return withoutTrailingNewlines(found);
}

std::string xdotool(const std::string& arguments, bool* succeeded) {
    int rc = -1;
    std::string output;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) {
            pause(0.1);
        }
        output = runShell("xdotool " + arguments, &rc);
        if (rc == 0) {
            break;
        }
    }
    if (succeeded != nullptr) {
        *succeeded = rc == 0;
    }
    return withoutTrailingNewlines(output);
}

double titleClock(const std::string& window) {
    const std::string title = xdotool("getwindowname " + window);
    const std::string prefix = "Time: ";
    return title.rfind(prefix, 0) == 0 ? std::atof(title.c_str() + prefix.size()) : -1.0;
}

bool sendKey(const std::string& window, const std::string& key) {
    bool succeeded = false;
    xdotool("windowfocus --sync " + window + " key " + key, &succeeded);
    return succeeded;
}

bool gaugeMoves(const std::string& window) {
    // The face's rectangle from its atlas entry; its lower-left corner is
    // drawn at model (0.062, 0).
    std::ifstream atlas(std::string(VELMORA_SOURCE_DIR) + "/data/textures/atlas.txt");
    std::string name;
    float x, y, w, h;
    while (atlas >> name >> x >> y >> w >> h && name != "gauge.png") {
    }
    const double perUnitX = 4.28 / 1.333 * 1024;
    const int height = static_cast<int>(h * 5.23 * 768);
    const Screenshot a = captureWindow(window);
    pause(0.12);
    const Screenshot b = captureWindow(window);
    return name == "gauge.png" && a.difference(b, static_cast<int>(0.062 * perUnitX),
                                               768 - height, static_cast<int>(w * perUnitX),
                                               height) > 0.2;
}

Screenshot firstTitle(const std::vector<std::string>& argv, const ProcessOptions& options,
                      std::unique_ptr<ChildProcess>& game) {
    game = startGame(argv, options);
    const std::string window = game->started() ? windowOf(*game) : "";
    if (window.empty() || !waitUntil(60, [&] { return titleClock(window) >= 2.0; })) {
        return Screenshot{};
    }
    Screenshot shot = captureWindow(window);
    return titleClock(window) < 5.4 ? shot : Screenshot{};
}

} // namespace testsupport
