// AtlasDescription: reads the text that describes a texture atlas, one picture
// per line: its file name and its rectangle (x, y, w, h) inside the atlas
// image, in texture-coordinate units with y measured down from the top edge.
// Pure text processing, so that it can be tested and fuzzed on its own.
#pragma once

#include "velmora/Math.h"

#include <functional>
#include <istream>
#include <ostream>
#include <string>

namespace velmora {

struct AtlasEntry {
    std::string name;
    float x = 0.0f;
    float y = 0.0f;
    float w = 0.0f;
    float h = 0.0f;
};

// Reads the five whitespace-separated fields of one line, numbers as the
// classic "C" locale reads a float. Fields after the fifth are ignored.
// False when a field is missing, is no number, or is not a finite float.
bool parseAtlasLine(const std::string& line, AtlasEntry& entry);

// Whether a line named `entryName` answers a request for `fileName`: the
// name may stand anywhere within the file name, so "_full.png" answers
// "Bussi5_full.png".
bool atlasNameMatches(const std::string& entryName, const std::string& fileName);

// How far past the image's right or bottom edge a rectangle may reach: the
// fractions of a description are rounded to a few digits.
constexpr float kAtlasEdgeSlack = 1e-3f;

// Whether the entry's rectangle lies inside the image: x, y, w and h within
// 0 to 1, and x + w and y + h no further than 1 (give or take the slack).
// A line of sizes in texels, or of huge or negative numbers, does not.
bool atlasRectangleInImage(const AtlasEntry& entry);

// Reads `description` line by line and hands each line that parses, and
// that `accept` (when given) accepts, to `visit`, until `visit` returns true
// (that line is then the last one read). Each other line is reported on
// `errors` as "Error parsing line: " and the line, and skipped. Returns
// whether `visit` stopped the reading.
bool visitAtlasEntries(std::istream& description, std::ostream& errors,
                       const std::function<bool(AtlasEntry&)>& visit,
                       bool (*accept)(const AtlasEntry&) = nullptr);

// Searches `description` line by line for the first line whose name occurs
// within `fileName` ("_full.png" matches "Bussi5_full.png") and stops
// reading there. Each line that does not parse is reported on `errors` as
// "Error parsing line: " and the line, and skipped. Returns whether a line
// matched; `found` then holds it.
bool findAtlasEntry(std::istream& description, const std::string& fileName, AtlasEntry& found,
                    std::ostream& errors);

// The texture coordinates at the left, bottom, right and top edges of the
// picture's quad. The atlas texture holds the image's top row at v = 0, so
// the bottom edge samples at y + h and the picture shows upright.
Rect pictureTexCoords(const AtlasEntry& entry);

} // namespace velmora
