#include "engine/FontDescription.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace velmora {

namespace {

constexpr int kFieldsPerGlyph = 10;

// Non-throwing equivalents of std::stoi and std::stof: the same leading
// white space, the same tolerance of trailing text, and failure (instead of
// an exception) for no number or a number out of range.
bool toInt(const std::string& field, int& value) {
    const char* start = field.c_str();
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(start, &end, 10);
    if (end == start || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool toFloat(const std::string& field, float& value) {
    const char* start = field.c_str();
    char* end = nullptr;
    errno = 0;
    const float parsed = std::strtof(start, &end);
    if (end == start || errno == ERANGE) {
        return false;
    }
    value = parsed;
    return true;
}

// The first `count` comma-separated fields of `line`; fewer if it has fewer.
std::vector<std::string> splitFields(const std::string& line, int count) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    while (static_cast<int>(fields.size()) < count) {
        const std::string::size_type comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return fields;
}

} // namespace

bool parseGlyphLine(const std::string& line, GlyphRecord& glyph) {
    const std::vector<std::string> fields = splitFields(line, kFieldsPerGlyph);
    if (static_cast<int>(fields.size()) < kFieldsPerGlyph) {
        return false;
    }
    GlyphRecord parsed;
    float* const floats[] = {&parsed.advance,     &parsed.planeLeft,  &parsed.planeBottom,
                             &parsed.planeRight,  &parsed.planeTop,   &parsed.atlasLeft,
                             &parsed.atlasBottom, &parsed.atlasRight, &parsed.atlasTop};
    if (!toInt(fields[0], parsed.code)) {
        return false;
    }
    for (int i = 1; i < kFieldsPerGlyph; ++i) {
        if (!toFloat(fields[i], *floats[i - 1])) {
            return false;
        }
    }
    glyph = parsed;
    return true;
}

FontDescription parseFontDescription(std::istream& text) {
    FontDescription description;
    std::string line;
    std::size_t lineNumber = 0;
    while (std::getline(text, line)) {
        ++lineNumber;
        GlyphRecord glyph;
        if (!parseGlyphLine(line, glyph)) {
            description.malformed = true;
            description.malformedLineNumber = lineNumber;
            description.malformedLine = line;
            break;
        }
        description.glyphs.push_back(glyph);
    }
    return description;
}

} // namespace velmora
