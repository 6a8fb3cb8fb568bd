#include "engine/RecordingFile.h"

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>

namespace velmora {

namespace {

// No line the engine writes comes near this; a longer one is damage.
constexpr std::size_t kLongestLine = 256;

std::string hexFloat(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

// The fields of a line split at single spaces; an empty field (two spaces,
// a space at either end) makes the line unreadable.
bool splitFields(const std::string& line, std::vector<std::string>& fields) {
    fields.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = line.find(' ', start);
        const std::string field = line.substr(start, space - start);
        if (field.empty()) {
            return false;
        }
        fields.push_back(field);
        if (space == std::string::npos) {
            return true;
        }
        start = space + 1;
    }
}

bool readInt(const std::string& text, long low, long high, int& out) {
    if (text.empty() || text.find_first_not_of("-0123456789") != std::string::npos) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool readDouble(const std::string& text, double& out) {
    if (text.empty() ||
        text.find_first_not_of("-+0123456789abcdefABCDEFxXpP.") != std::string::npos) {
        return false; // no "inf", "nan" or spaces
    }
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(out);
}

bool readHex64(const std::string& text, std::uint64_t& out) {
    if (text.size() != 16 || text.find_first_not_of("0123456789abcdef") != std::string::npos) {
        return false;
    }
    out = std::strtoull(text.c_str(), nullptr, 16);
    return true;
}

// Reads one event line into `event`; false when its fields do not fit.
bool readEvent(const std::vector<std::string>& f, InputEvent& event) {
    constexpr long kBig = 1L << 24; // keys, buttons, sizes, code points
    const char tag = f[0][0];
    event = InputEvent{};
    event.kind = static_cast<InputEvent::Kind>(tag);
    switch (tag) {
    case 'k':
        return f.size() == 4 && readInt(f[1], 0, 2, event.a) && readInt(f[2], -1, kBig, event.b) &&
               readInt(f[3], 0, 0xFF, event.c);
    case 't':
        return f.size() == 2 && readInt(f[1], 0, 0x10FFFF, event.a);
    case 'b':
        return f.size() == 3 && readInt(f[1], 0, 2, event.a) && readInt(f[2], 0, 31, event.b);
    case 'm':
    case 's':
        return f.size() == 3 && readDouble(f[1], event.x) && readDouble(f[2], event.y);
    case 'w':
    case 'r':
        return f.size() == 3 && readInt(f[1], 0, kBig, event.a) && readInt(f[2], 0, kBig, event.b);
    case 'c':
        return f.size() == 2 && readInt(f[1], 0, 1, event.a);
    default:
        return false;
    }
}

} // namespace

std::uint64_t fnv1a64(const std::string& bytes, std::uint64_t hash) {
    for (unsigned char byte : bytes) {
        hash = (hash ^ byte) * 0x100000001b3ull;
    }
    return hash;
}

std::string recordingHeader(const Recording& r) {
    char seed[17];
    std::snprintf(seed, sizeof seed, "%016" PRIx64, r.seed);
    std::ostringstream out;
    out << kRecordingMagic << ' ' << r.format << '\n'
        << "engine " << r.engine << '\n'
        << "game " << r.game << '\n'
        << "seed " << seed << '\n'
        << "start " << r.windowWidth << ' ' << r.windowHeight << ' ' << r.framebufferWidth << ' '
        << r.framebufferHeight << ' ' << hexFloat(r.cursorX) << ' ' << hexFloat(r.cursorY) << '\n';
    return out.str();
}

std::string frameLine(double clock) {
    return "f " + hexFloat(clock) + "\n";
}

std::string answerLine(double value) {
    return "a " + hexFloat(value) + "\n";
}

std::string eventLine(const InputEvent& e) {
    const std::string tag(1, static_cast<char>(e.kind));
    switch (e.kind) {
    case InputEvent::Kind::Key:
        return tag + ' ' + std::to_string(e.a) + ' ' + std::to_string(e.b) + ' ' +
               std::to_string(e.c) + '\n';
    case InputEvent::Kind::Button:
    case InputEvent::Kind::WindowSize:
    case InputEvent::Kind::Framebuffer:
        return tag + ' ' + std::to_string(e.a) + ' ' + std::to_string(e.b) + '\n';
    case InputEvent::Kind::Text:
    case InputEvent::Kind::Focus:
        return tag + ' ' + std::to_string(e.a) + '\n';
    case InputEvent::Kind::Cursor:
    case InputEvent::Kind::Scroll:
        return tag + ' ' + hexFloat(e.x) + ' ' + hexFloat(e.y) + '\n';
    }
    return "";
}

std::string endLine(std::size_t frames, std::uint64_t checksum) {
    char sum[17];
    std::snprintf(sum, sizeof sum, "%016" PRIx64, checksum);
    return "end " + std::to_string(frames) + ' ' + sum + '\n';
}

bool readRecording(const std::string& bytes, const std::string& engine, const std::string& game,
                   Recording& out, std::string& why) {
    out = Recording{};
    std::vector<std::string> lines;
    std::vector<std::size_t> offsets;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t newline = bytes.find('\n', at);
        if (newline == std::string::npos || newline - at > kLongestLine) {
            // The last line always ends in a newline; a cut file does not.
            lines.push_back(std::string(1, '\0'));
        } else {
            lines.push_back(bytes.substr(at, newline - at));
        }
        offsets.push_back(at);
        if (newline == std::string::npos) {
            break;
        }
        at = newline + 1;
    }
    const std::string magic = std::string(kRecordingMagic) + " ";
    if (lines.empty() || lines[0].rfind(magic, 0) != 0) {
        why = "it is not a recording of a run";
        return false;
    }
    if (!readInt(lines[0].substr(magic.size()), 1, 1000000, out.format)) {
        why = "it is damaged (line 1)";
        return false;
    }
    if (out.format != kRecordingFormat) {
        why = "it is in recording format " + std::to_string(out.format) + ", this engine reads " +
              std::to_string(kRecordingFormat);
        return false;
    }
    if (lines.size() < 5 || lines[1].rfind("engine ", 0) != 0 || lines[2].rfind("game ", 0) != 0) {
        why = "it is damaged (its header is cut short)";
        return false;
    }
    out.engine = lines[1].substr(7);
    out.game = lines[2].substr(5);
    if (out.engine != engine) {
        why = "it was recorded by engine " + out.engine + ", this is engine " + engine;
        return false;
    }
    if (out.game != game) {
        why = "it is a recording of " + out.game + ", not of " + game;
        return false;
    }

    const auto damaged = [&why](std::size_t line) {
        why = "it is damaged (line " + std::to_string(line + 1) + ")";
        return false;
    };
    std::vector<std::string> f;
    if (!splitFields(lines[3], f) || f.size() != 2 || f[0] != "seed" ||
        !readHex64(f[1], out.seed)) {
        return damaged(3);
    }
    constexpr long kBig = 1L << 24;
    if (!splitFields(lines[4], f) || f.size() != 7 || f[0] != "start" ||
        !readInt(f[1], 0, kBig, out.windowWidth) || !readInt(f[2], 0, kBig, out.windowHeight) ||
        !readInt(f[3], 0, kBig, out.framebufferWidth) ||
        !readInt(f[4], 0, kBig, out.framebufferHeight) || !readDouble(f[5], out.cursorX) ||
        !readDouble(f[6], out.cursorY)) {
        return damaged(4);
    }
    for (std::size_t i = 5; i < lines.size(); ++i) {
        if (!splitFields(lines[i], f)) {
            return damaged(i);
        }
        if (f[0] == "end") {
            int frames = 0;
            std::uint64_t sum = 0;
            if (f.size() != 3 || !readInt(f[1], 0, std::numeric_limits<int>::max(), frames) ||
                !readHex64(f[2], sum)) {
                return damaged(i);
            }
            if (i + 1 != lines.size() || bytes.size() != offsets[i] + lines[i].size() + 1 ||
                static_cast<std::size_t>(frames) != out.frames.size() ||
                sum != fnv1a64(bytes.substr(0, offsets[i]))) {
                why = "it is damaged (its checksum or length does not match)";
                return false;
            }
            return true;
        }
        if (f[0].size() != 1) {
            return damaged(i);
        }
        if (f[0] == "f") {
            RecordedFrame frame;
            if (f.size() != 2 || !readDouble(f[1], frame.clock)) {
                return damaged(i);
            }
            out.frames.push_back(std::move(frame));
            continue;
        }
        if (out.frames.empty()) {
            return damaged(i); // events come within a frame
        }
        if (f[0] == "a") {
            double value = 0.0;
            if (f.size() != 2 || !readDouble(f[1], value)) {
                return damaged(i);
            }
            out.frames.back().answers.push_back(value);
            continue;
        }
        InputEvent event;
        if (!readEvent(f, event)) {
            return damaged(i);
        }
        out.frames.back().events.push_back(event);
    }
    why = "it is cut short (no end line: the run that wrote it did not end cleanly)";
    return false;
}

} // namespace velmora
