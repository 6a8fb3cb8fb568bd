#include "engine/AtlasDescription.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace velmora {

bool parseAtlasLine(const std::string& line, AtlasEntry& entry) {
    std::istringstream fields(line);
    // The description is data, not user text: a decimal point is always ".",
    // whatever locale the process runs in.
    fields.imbue(std::locale::classic());
    AtlasEntry parsed;
    fields >> parsed.name >> parsed.x >> parsed.y >> parsed.w >> parsed.h;
    if (fields.fail()) {
        return false;
    }
    for (float value : {parsed.x, parsed.y, parsed.w, parsed.h}) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    entry = std::move(parsed);
    return true;
}

bool atlasNameMatches(const std::string& entryName, const std::string& fileName) {
    return fileName.find(entryName) != std::string::npos;
}

bool atlasRectangleInImage(const AtlasEntry& entry) {
    const auto within = [](float low, float value, float high) {
        return value >= low && value <= high;
    };
    return within(0.0f, entry.x, 1.0f) && within(0.0f, entry.y, 1.0f) &&
           within(0.0f, entry.w, 1.0f) && within(0.0f, entry.h, 1.0f) &&
           within(0.0f, entry.x + entry.w, 1.0f + kAtlasEdgeSlack) &&
           within(0.0f, entry.y + entry.h, 1.0f + kAtlasEdgeSlack);
}

bool visitAtlasEntries(std::istream& description, std::ostream& errors,
                       const std::function<bool(AtlasEntry&)>& visit,
                       bool (*accept)(const AtlasEntry&)) {
    std::string line;
    while (std::getline(description, line)) {
        AtlasEntry entry;
        if (!parseAtlasLine(line, entry) || (accept != nullptr && !accept(entry))) {
            errors << "Error parsing line: " << line << std::endl;
            continue;
        }
        if (visit(entry)) {
            return true;
        }
    }
    return false;
}

bool findAtlasEntry(std::istream& description, const std::string& fileName, AtlasEntry& found,
                    std::ostream& errors) {
    return visitAtlasEntries(description, errors, [&](AtlasEntry& entry) {
        if (!atlasNameMatches(entry.name, fileName)) {
            return false;
        }
        found = std::move(entry);
        return true;
    });
}

Rect pictureTexCoords(const AtlasEntry& entry) {
    return {entry.x, entry.y + entry.h, entry.x + entry.w, entry.y};
}

} // namespace velmora
