#include "engine/Replay.h"

#include "velmora/Application.h"
#include "velmora/GlErrors.h"
#include "velmora/Keys.h"
#include "velmora/Random.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <stb_image.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <random>
#include <sstream>
#include <vector>

#ifndef VELMORA_ENGINE_VERSION
#define VELMORA_ENGINE_VERSION "unknown"
#endif

namespace velmora {

namespace {

struct Picture {
    long frame = 0;
    std::string file;
};

struct Session {
    std::string game;
    std::uint64_t seed = 0;
    std::size_t frame = 0; // frames begun, so the current frame's number

    // Recording.
    std::string recordPath;
    std::ofstream out;
    std::uint64_t checksum = fnv1a64("");
    bool recording = false;

    // Replaying.
    std::string replayPath;
    Recording played;
    bool replaying = false;
    std::size_t answered = 0; // answers of the current frame given back
    std::string drift;        // the first sign that the game left its recording
    std::array<bool, kKeyLast + 1> keys{};
    std::array<bool, kMouseLast + 1> buttons{};

    // The replay test's checks.
    bool checking = false;
    bool writePictures = false;
    double tolerance = kDefaultPictureTolerancePercent;
    std::string outDir;
    std::vector<Picture> pictures;
    std::vector<std::string> failures;
    int compared = 0;
};

Session& session() {
    static Session state;
    return state;
}

std::uint64_t& seedOfRun() {
    static std::uint64_t seed = 0;
    return seed;
}

const char* variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

std::string programName() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error || program.filename().empty() ? std::string("game") : program.filename().string();
}

void write(Session& s, const std::string& text) {
    if (!s.recording) {
        return;
    }
    s.checksum = fnv1a64(text, s.checksum);
    s.out << text;
    if (!s.out) {
        std::cerr << "Cannot record to " << s.recordPath << ": the write failed; recording stops"
                  << std::endl;
        s.recording = false;
    }
}

void noteDrift(Session& s, const std::string& what) {
    if (s.drift.empty()) {
        s.drift =
            "the game drifted from its recording at frame " + std::to_string(s.frame) + ": " + what;
        std::cerr << "Replay: " << s.drift << std::endl;
    }
}

// "N=FILE;M=FILE"; false when an entry is not of that form.
bool readPictureList(const std::string& text, std::vector<Picture>& pictures) {
    std::stringstream list(text);
    std::string entry;
    while (std::getline(list, entry, ';')) {
        if (entry.empty()) {
            continue;
        }
        const std::size_t equals = entry.find('=');
        char* end = nullptr;
        const long frame = std::strtol(entry.c_str(), &end, 10);
        if (equals == std::string::npos || end != entry.c_str() + equals || frame < 1 ||
            equals + 1 == entry.size()) {
            return false;
        }
        pictures.push_back(Picture{frame, entry.substr(equals + 1)});
    }
    return true;
}

void comparePicture(Session& s, Application& application, const Picture& picture) {
    const std::string frame = std::to_string(picture.frame);
    if (s.writePictures) {
        if (application.saveScreenshot(picture.file)) {
            std::cout << "Replay: wrote the picture of frame " << frame << " to " << picture.file
                      << std::endl;
        } else {
            s.failures.push_back("cannot write the picture of frame " + frame);
        }
        return;
    }
    const std::string actual =
        (s.outDir.empty() ? std::string(".") : s.outDir) + "/frame-" + frame + ".png";
    if (!application.saveScreenshot(actual)) {
        s.failures.push_back("cannot save the picture of frame " + frame + " to " + actual);
        return;
    }
    int width = 0, height = 0, storedWidth = 0, storedHeight = 0, channels = 0;
    unsigned char* shown = stbi_load(actual.c_str(), &width, &height, &channels, 3);
    unsigned char* stored =
        stbi_load(picture.file.c_str(), &storedWidth, &storedHeight, &channels, 3);
    const std::string seeIt = ", this run's picture is " + actual;
    if (stored == nullptr) {
        s.failures.push_back("no stored picture " + picture.file + " for frame " + frame + " (" +
                             stbi_failure_reason() + ")" + seeIt);
    } else if (shown == nullptr || width != storedWidth || height != storedHeight) {
        s.failures.push_back("the picture at frame " + frame + " is " + std::to_string(width) +
                             "x" + std::to_string(height) + " pixels, " + picture.file + " is " +
                             std::to_string(storedWidth) + "x" + std::to_string(storedHeight) +
                             seeIt);
    } else {
        const double percent = differingPercent(shown, stored, width, height, 3);
        ++s.compared;
        if (percent > s.tolerance) {
            std::ostringstream line;
            line << std::fixed << std::setprecision(2) << "the picture at frame " << frame
                 << " differs from " << picture.file << " in " << percent
                 << "% of its pixels (tolerance " << s.tolerance << "%)" << seeIt;
            s.failures.push_back(line.str());
        }
    }
    stbi_image_free(shown);
    stbi_image_free(stored);
}

} // namespace

double differingPercent(const unsigned char* actual, const unsigned char* stored, int width,
                        int height, int channels) {
    const long pixels = static_cast<long>(width) * height;
    if (pixels <= 0) {
        return 0.0;
    }
    long differing = 0;
    for (long p = 0; p < pixels; ++p) {
        for (int c = 0; c < channels; ++c) {
            const int d = actual[p * channels + c] - stored[p * channels + c];
            if (d > kPictureChannelSlack || d < -kPictureChannelSlack) {
                ++differing;
                break;
            }
        }
    }
    return 100.0 * static_cast<double>(differing) / static_cast<double>(pixels);
}

std::uint64_t runSeed() {
    return seedOfRun();
}

Random& gameRandom() {
    static Random generator;
    return generator;
}

bool Replay::prepare() {
    Session& s = session();
    s = Session{};
    s.game = programName();
    if (const char* path = variable("VELMORA_REPLAY")) {
        s.replayPath = path;
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        std::string why;
        if (!in || std::filesystem::is_directory(path)) {
            why = "cannot read it";
        } else if (readRecording(bytes.str(), VELMORA_ENGINE_VERSION, s.game, s.played, why)) {
            s.replaying = true;
        }
        if (!s.replaying) {
            std::cerr << "Cannot replay " << path << ": " << why << std::endl;
            return false;
        }
    }
    if (const char* path = variable("VELMORA_RECORD")) {
        s.recordPath = path;
    }
    if (const char* list = std::getenv("VELMORA_PICTURES")) {
        s.checking = true;
        if (!readPictureList(list, s.pictures)) {
            std::cerr << "Cannot check pictures: VELMORA_PICTURES is not FRAME=FILE;FRAME=FILE…"
                      << std::endl;
            return false;
        }
        s.writePictures = variable("VELMORA_PICTURES_WRITE") != nullptr &&
                          std::strcmp(variable("VELMORA_PICTURES_WRITE"), "0") != 0;
        if (const char* dir = variable("VELMORA_PICTURES_OUT")) {
            s.outDir = dir;
        }
        if (const char* tolerance = variable("VELMORA_PICTURES_TOLERANCE")) {
            char* end = nullptr;
            s.tolerance = std::strtod(tolerance, &end);
            if (*end != '\0' || !(s.tolerance >= 0.0 && s.tolerance <= 100.0)) {
                std::cerr << "Cannot check pictures: VELMORA_PICTURES_TOLERANCE is not a percent"
                          << std::endl;
                return false;
            }
        }
    }
    return true;
}

bool Replay::begin(StartState& start) {
    Session& s = session();
    std::uint64_t seed = 0;
    if (s.replaying) {
        seed = s.played.seed;
        start =
            StartState{s.played.windowWidth,       s.played.windowHeight, s.played.framebufferWidth,
                       s.played.framebufferHeight, s.played.cursorX,      s.played.cursorY};
    } else if (const char* chosen = variable("VELMORA_SEED")) {
        seed = std::strtoull(chosen, nullptr, 0);
    } else {
        std::random_device device;
        seed =
            (static_cast<std::uint64_t>(device()) << 32) ^ device() ^
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    seedOfRun() = seed;
    gameRandom().reseed(seed);
    if (s.recordPath.empty()) {
        return true;
    }
    s.out.open(s.recordPath, std::ios::binary | std::ios::trunc);
    if (!s.out) {
        std::cerr << "Cannot record to " << s.recordPath << ": " << std::strerror(errno)
                  << std::endl;
        return false;
    }
    s.recording = true;
    Recording header;
    header.engine = VELMORA_ENGINE_VERSION;
    header.game = s.game;
    header.seed = seed;
    header.windowWidth = start.windowWidth;
    header.windowHeight = start.windowHeight;
    header.framebufferWidth = start.framebufferWidth;
    header.framebufferHeight = start.framebufferHeight;
    header.cursorX = start.cursorX;
    header.cursorY = start.cursorY;
    write(s, recordingHeader(header));
    return s.recording;
}

bool Replay::replaying() {
    return session().replaying;
}

bool Replay::frameBegins(double& clock) {
    Session& s = session();
    if (s.replaying) {
        if (s.frame >= s.played.frames.size()) {
            return false;
        }
        clock = s.played.frames[s.frame].clock;
        s.answered = 0;
    }
    ++s.frame;
    write(s, frameLine(clock));
    return true;
}

void Replay::frameDrawn(Application& application) {
    Session& s = session();
    if (!s.checking) {
        return;
    }
    for (GLenum error = glGetError(), count = 0; error != GL_NO_ERROR && count < 16;
         error = glGetError(), ++count) {
        s.failures.push_back(std::string("OpenGL error GL_") + glErrorName(error) + " in frame " +
                             std::to_string(s.frame));
    }
    for (const Picture& picture : s.pictures) {
        if (static_cast<std::size_t>(picture.frame) == s.frame) {
            comparePicture(s, application, picture);
        }
    }
}

void Replay::frameEnds(Application& application) {
    Session& s = session();
    if (!s.replaying || s.frame == 0 || s.frame > s.played.frames.size()) {
        return;
    }
    const RecordedFrame& frame = s.played.frames[s.frame - 1];
    if (s.answered < frame.answers.size()) {
        noteDrift(s, "it asked the sound fewer times than when it was recorded");
    }
    for (const InputEvent& event : frame.events) {
        if (event.kind == InputEvent::Kind::WindowSize && application.window != nullptr) {
            // The window takes the recorded size too, so that the pictures
            // are drawn at the size the game was told.
            glfwSetWindowSize(application.window, event.a, event.b);
        }
        application.deliver(event);
    }
}

void Replay::note(const InputEvent& event) {
    Session& s = session();
    if (s.replaying) {
        const bool down = event.a != kKeyRelease;
        if (event.kind == InputEvent::Kind::Key && event.b >= 0 && event.b <= kKeyLast) {
            s.keys[static_cast<std::size_t>(event.b)] = down;
        } else if (event.kind == InputEvent::Kind::Button && event.b >= 0 &&
                   event.b <= kMouseLast) {
            s.buttons[static_cast<std::size_t>(event.b)] = down;
        }
    }
    // Before the first frame there is no frame to file it under.
    if (s.frame > 0) {
        write(s, eventLine(event));
    }
}

double Replay::answer(double live) {
    Session& s = session();
    if (s.frame == 0) {
        return live; // before the first frame nothing is recorded
    }
    double given = live;
    if (s.replaying && s.frame <= s.played.frames.size()) {
        const std::vector<double>& answers = s.played.frames[s.frame - 1].answers;
        if (s.answered < answers.size()) {
            given = answers[s.answered++];
        } else {
            noteDrift(s, "it asked the sound more times than when it was recorded");
        }
    }
    write(s, answerLine(given));
    return given;
}

bool Replay::keyHeld(int key) {
    return key >= 0 && key <= kKeyLast && session().keys[static_cast<std::size_t>(key)];
}

bool Replay::buttonHeld(int button) {
    return button >= 0 && button <= kMouseLast &&
           session().buttons[static_cast<std::size_t>(button)];
}

void Replay::finish() {
    Session& s = session();
    if (s.recording) {
        const std::uint64_t sum = s.checksum;
        write(s, endLine(s.frame, sum));
        s.out.close();
        s.recording = false;
    }
    if (s.replaying && s.frame < s.played.frames.size()) {
        noteDrift(s, "the run ended before the recording's " +
                         std::to_string(s.played.frames.size()) + " frames");
    }
    if (!s.checking) {
        return;
    }
    for (const Picture& picture : s.pictures) {
        if (static_cast<std::size_t>(picture.frame) > s.frame) {
            s.failures.push_back("the run ended at frame " + std::to_string(s.frame) +
                                 ", before frame " + std::to_string(picture.frame));
        }
    }
    if (!s.drift.empty()) {
        s.failures.push_back(s.drift);
    }
    for (const std::string& failure : s.failures) {
        std::cerr << "Replay check failed: " << failure << std::endl;
    }
    if (s.failures.empty()) {
        std::cout << "Replay check passed: " << s.frame << " frames, "
                  << (s.writePictures ? "pictures written"
                                      : std::to_string(s.compared) + " pictures as stored")
                  << ", no OpenGL error" << std::endl;
    }
    s.checking = false;
}

} // namespace velmora
