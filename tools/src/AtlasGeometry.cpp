// Screen, model and atlas coordinates of the game's pictures, and checks of
// an atlas description against what the engine's reader will make of it.
#include "AtlasGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <locale>
#include <sstream>

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

AtlasEntry AtlasGeometry::entryFor(const std::string& name, int screenW, int screenH, int leftPx,
                                   int topPx) const {
    AtlasEntry entry;
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

std::string formatAtlasLine(const AtlasEntry& entry) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, " %.6f %.6f %.6f %.6f", entry.x, entry.y, entry.w,
                  entry.h);
    return entry.name + numbers;
}

bool parseAtlasText(const std::string& text, std::vector<AtlasEntry>& entries) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        fields.imbue(std::locale::classic());
        AtlasEntry entry;
        // The engine reads 32-bit floats; read them the same way.
        float x = 0, y = 0, w = 0, h = 0;
        if (!(fields >> entry.name >> x >> y >> w >> h)) {
            return false;
        }
        entry.x = x;
        entry.y = y;
        entry.w = w;
        entry.h = h;
        entries.push_back(entry);
    }
    return true;
}

int firstMatchingLine(const std::vector<AtlasEntry>& entries, const std::string& request) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (request.find(entries[i].name) != std::string::npos) {
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

PixelRect pixelRect(const AtlasEntry& e, int atlasWidthPx, int atlasHeightPx) {
    return {e.x * atlasWidthPx, e.y * atlasHeightPx, (e.x + e.w) * atlasWidthPx,
            (e.y + e.h) * atlasHeightPx};
}

} // namespace

std::vector<std::string> validateAtlas(const std::vector<AtlasEntry>& entries, int atlasWidthPx,
                                       int atlasHeightPx) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < entries.size(); ++i) {
        const AtlasEntry& e = entries[i];
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
