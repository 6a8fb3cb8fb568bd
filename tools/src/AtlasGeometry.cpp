// Screen, model and atlas coordinates of the game's pictures, and checks of
// an atlas description against what the engine's reader will make of it.
#include "AtlasGeometry.h"

#include "engine/AtlasDescription.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

using namespace velmora;

AtlasGeometry::AtlasGeometry(int atlasWidthPx, int atlasHeightPx)
    : atlasWidth(atlasWidthPx), atlasHeight(atlasHeightPx) {}

int AtlasGeometry::atlasPixelsX(double modelWidth) const {
    return static_cast<int>(std::lround(modelWidth * atlasWidth));
}

int AtlasGeometry::atlasPixelsY(double modelHeight) const {
    return static_cast<int>(std::lround(modelHeight * atlasHeight));
}

void AtlasGeometry::atlasSizeFor(int screenW, int screenH, int& widthPx, int& heightPx) const {
    widthPx = std::max(1, atlasPixelsX(modelFromScreenX(screenW)));
    heightPx = std::max(1, atlasPixelsY(modelFromScreenY(screenH)));
}

AtlasPlacement AtlasGeometry::entryFor(const std::string& name, int screenW, int screenH,
                                       int leftPx, int topPx) const {
    AtlasPlacement entry;
    entry.name = name;
    entry.x = static_cast<double>(leftPx) / atlasWidth;
    entry.y = static_cast<double>(topPx) / atlasHeight;
    if (isFullScreen(screenW, screenH)) {
        entry.w = kScreenModelWidth;
        entry.h = kScreenModelHeight;
    } else {
        int widthPx = 0;
        int heightPx = 0;
        atlasSizeFor(screenW, screenH, widthPx, heightPx);
        entry.w = static_cast<double>(widthPx) / atlasWidth;
        entry.h = static_cast<double>(heightPx) / atlasHeight;
    }
    return entry;
}

std::string formatAtlasLine(const AtlasPlacement& entry) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, " %.6f %.6f %.6f %.6f", entry.x, entry.y, entry.w,
                  entry.h);
    return entry.name + numbers;
}

bool parseAtlasText(const std::string& text, std::vector<AtlasPlacement>& entries) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        AtlasEntry read;
        if (!parseAtlasLine(line, read)) {
            return false;
        }
        entries.push_back({read.name, read.x, read.y, read.w, read.h});
    }
    return true;
}

int firstMatchingLine(const std::vector<AtlasPlacement>& entries, const std::string& request) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (atlasNameMatches(entries[i].name, request)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

namespace {

// Rectangle in whole atlas pixels (the texels a picture's quad samples from).
struct PixelRect {
    double left, top, right, bottom;
};

PixelRect pixelRect(const AtlasPlacement& e, int atlasWidthPx, int atlasHeightPx) {
    return {e.x * atlasWidthPx, e.y * atlasHeightPx, (e.x + e.w) * atlasWidthPx,
            (e.y + e.h) * atlasHeightPx};
}

} // namespace

std::vector<std::string> validateAtlas(const std::vector<AtlasPlacement>& entries, int atlasWidthPx,
                                       int atlasHeightPx) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < entries.size(); ++i) {
        const AtlasPlacement& e = entries[i];
        int match = firstMatchingLine(entries, e.name);
        if (match != static_cast<int>(i)) {
            problems.push_back("\"" + e.name + "\" is answered by the earlier line \"" +
                               entries[match].name + "\"");
        }
        if (e.w <= 0.0 || e.h <= 0.0 || e.x < 0.0 || e.y < 0.0 || e.x + e.w > 1.0 ||
            e.y + e.h > 1.0) {
            problems.push_back("\"" + e.name + "\" lies outside the atlas");
        }
    }
    // Half a texel of slack: printed coordinates are rounded to six decimals.
    const double slack = 0.5;
    for (size_t i = 0; i < entries.size(); ++i) {
        PixelRect a = pixelRect(entries[i], atlasWidthPx, atlasHeightPx);
        for (size_t j = i + 1; j < entries.size(); ++j) {
            PixelRect b = pixelRect(entries[j], atlasWidthPx, atlasHeightPx);
            bool apart = a.right <= b.left + slack || b.right <= a.left + slack ||
                         a.bottom <= b.top + slack || b.bottom <= a.top + slack;
            if (!apart) {
                problems.push_back("\"" + entries[i].name + "\" overlaps \"" + entries[j].name +
                                   "\"");
            }
        }
    }
    return problems;
}
