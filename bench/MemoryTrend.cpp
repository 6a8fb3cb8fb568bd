#include "MemoryTrend.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

std::vector<MemoryTrend::Sample> MemoryTrend::after(double from) const {
    std::vector<Sample> kept;
    for (const Sample& sample : samples) {
        if (sample.seconds >= from) {
            kept.push_back(sample);
        }
    }
    return kept;
}

double MemoryTrend::slopeKibPerMinute(double from) const {
    const std::vector<Sample> kept = after(from);
    if (kept.size() < 2) {
        return 0.0;
    }
    // Centred sums keep the arithmetic well conditioned for long runs.
    double meanT = 0.0;
    double meanK = 0.0;
    for (const Sample& s : kept) {
        meanT += s.seconds;
        meanK += s.kib;
    }
    meanT /= static_cast<double>(kept.size());
    meanK /= static_cast<double>(kept.size());
    double covariance = 0.0;
    double variance = 0.0;
    for (const Sample& s : kept) {
        covariance += (s.seconds - meanT) * (s.kib - meanK);
        variance += (s.seconds - meanT) * (s.seconds - meanT);
    }
    if (variance <= 0.0) {
        return 0.0;
    }
    return covariance / variance * 60.0;
}

double MemoryTrend::medianSlopeKibPerMinute(double from) const {
    const std::vector<Sample> kept = after(from);
    if (kept.size() < 2) {
        return 0.0;
    }
    const std::size_t lag = std::max<std::size_t>(1, kept.size() / 6);
    // A level that toggles between two values (an allocator that trims a
    // block and grows it again every few seconds) is no climb. The slopes
    // are taken on the floor: the least level of each stretch of a third of
    // the samples, which a leak raises at its own rate and a toggle leaves
    // where it is.
    const std::size_t span = std::max<std::size_t>(1, kept.size() / 3);
    std::vector<Sample> floor;
    for (std::size_t i = 0; i + span <= kept.size(); ++i) {
        double least = kept[i].kib;
        for (std::size_t j = i + 1; j < i + span; ++j) {
            least = std::min(least, kept[j].kib);
        }
        floor.push_back({kept[i].seconds, least});
    }
    std::vector<double> slopes;
    for (std::size_t i = 0; i + lag < floor.size(); ++i) {
        const double dt = floor[i + lag].seconds - floor[i].seconds;
        if (dt > 0.0) {
            slopes.push_back((floor[i + lag].kib - floor[i].kib) / dt);
        }
    }
    if (slopes.empty()) {
        return 0.0;
    }
    std::sort(slopes.begin(), slopes.end());
    const std::size_t middle = slopes.size() / 2;
    const double median =
        slopes.size() % 2 != 0 ? slopes[middle] : (slopes[middle - 1] + slopes[middle]) / 2.0;
    return median * 60.0;
}

long statusFieldKib(const std::string& statusText, const char* field) {
    const std::string key = std::string(field) + ":";
    std::istringstream lines(statusText);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, key.size(), key) == 0) {
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
        }
    }
    return -1;
}

long readStatusKib(const char* field, const char* path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return statusFieldKib(text.str(), field);
}
