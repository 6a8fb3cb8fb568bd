#include "support/Screenshot.h"

#include "support/Process.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace testsupport {

namespace {

// Reads the next header token of a PPM, skipping "#" comments (xwd names the
// window in one).
bool nextToken(const std::string& data, size_t& at, std::string& token) {
    while (at < data.size()) {
        if (data[at] == '#') {
            while (at < data.size() && data[at] != '\n') {
                ++at;
            }
        } else if (std::isspace(static_cast<unsigned char>(data[at])) != 0) {
            ++at;
        } else {
            break;
        }
    }
    const size_t start = at;
    while (at < data.size() && std::isspace(static_cast<unsigned char>(data[at])) == 0) {
        ++at;
    }
    token = data.substr(start, at - start);
    return !token.empty();
}

// Parses a binary PPM (P6, maxval 255).
Screenshot parsePpm(const std::string& data) {
    size_t at = 0;
    std::string magic, width, height, maxval;
    if (!nextToken(data, at, magic) || !nextToken(data, at, width) ||
        !nextToken(data, at, height) || !nextToken(data, at, maxval) || magic != "P6" ||
        maxval != "255") {
        return {};
    }
    Screenshot shot;
    shot.width = std::atoi(width.c_str());
    shot.height = std::atoi(height.c_str());
    ++at; // the single whitespace byte before the pixels
    const size_t size = static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height) * 3;
    if (shot.width <= 0 || shot.height <= 0 || data.size() < at + size) {
        return {};
    }
    shot.rgb.assign(data.begin() + static_cast<long>(at),
                    data.begin() + static_cast<long>(at + size));
    return shot;
}

} // namespace

double Screenshot::difference(const Screenshot& other, int x, int y, int w, int h) const {
    const int x0 = std::max(x, 0);
    const int y0 = std::max(y, 0);
    const int x1 = std::min({x + w, width, other.width});
    const int y1 = std::min({y + h, height, other.height});
    if (x1 <= x0 || y1 <= y0) {
        return 0.0;
    }
    double sum = 0.0;
    for (int row = y0; row < y1; ++row) {
        for (int col = x0; col < x1; ++col) {
            for (int c = 0; c < 3; ++c) {
                const int a = rgb[(static_cast<size_t>(row) * width + col) * 3 + c];
                const int b = other.rgb[(static_cast<size_t>(row) * other.width + col) * 3 + c];
                sum += std::abs(a - b);
            }
        }
    }
    return sum / (3.0 * (x1 - x0) * (y1 - y0));
}

std::array<double, 3> Screenshot::mean(int x, int y, int w, int h) const {
    std::array<double, 3> sum = {0.0, 0.0, 0.0};
    long count = 0;
    for (int row = std::max(y, 0); row < std::min(y + h, height); ++row) {
        for (int col = std::max(x, 0); col < std::min(x + w, width); ++col) {
            for (int c = 0; c < 3; ++c) {
                sum[c] += rgb[(static_cast<size_t>(row) * width + col) * 3 + c];
            }
            ++count;
        }
    }
    for (double& channel : sum) {
        channel = count > 0 ? channel / count : 0.0;
    }
    return sum;
}

int Screenshot::brightest(int x, int y, int w, int h) const {
    int top = 0;
    for (int row = std::max(y, 0); row < std::min(y + h, height); ++row) {
        for (int col = std::max(x, 0); col < std::min(x + w, width); ++col) {
            for (int c = 0; c < 3; ++c) {
                top = std::max<int>(top, rgb[(static_cast<size_t>(row) * width + col) * 3 + c]);
            }
        }
    }
    return top;
}

Screenshot captureWindow(const std::string& windowId) {
    return captureCommand("xwd -silent -id " + windowId + " | convert xwd:- ppm:-");
}

Screenshot captureCommand(const std::string& command) {
    Screenshot shot;
    for (int attempt = 0; attempt < 5 && shot.empty(); ++attempt) {
        if (attempt > 0) {
            pause(0.1);
        }
        shot = parsePpm(runShell(command));
    }
    return shot;
}

bool savePng(const Screenshot& shot, const std::string& path) {
    if (shot.empty()) {
        return false;
    }
    FILE* pipe = popen(("convert ppm:- '" + path + "'").c_str(), "w");
    if (pipe == nullptr) {
        return false;
    }
    std::fprintf(pipe, "P6\n%d %d\n255\n", shot.width, shot.height);
    std::fwrite(shot.rgb.data(), 1, shot.rgb.size(), pipe);
    return pclose(pipe) == 0;
}

} // namespace testsupport
