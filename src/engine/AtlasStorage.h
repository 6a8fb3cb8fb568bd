// The workings behind Atlas: what a sprite batch needs of each picture to
// draw it, and the reading of a pre-packed atlas's files, which Sprite uses
// too.
#pragma once

#include "velmora/Atlas.h"
#include "velmora/Math.h"
#include "velmora/Texture.h"
#include "engine/TightMesh.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// One picture of an atlas, ready to be drawn.
struct AtlasPicture {
    std::string name;
    Vec2 size;      // texels
    Rect uv;        // texture coordinates of the left, bottom, right and top edges
    TightMesh quad; // the full quad, corners as Sprite has them
    TightMesh mesh; // computed from the texture's alpha when the picture is whole texels
    TightMesh blendedMesh; // the same around every texel above 0 alpha, for blended drawing
    bool hasMesh = false;
};

struct Atlas::Storage {
    Storage();
    ~Storage(); // deletes `owned`'s texture object if a context is current
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;

    // Which load made it: every load of any atlas gets a new number, so a
    // batch sees that an atlas it draws from was loaded again.
    std::uint64_t load = 0;
    Texture* texture = nullptr;     // `owned` or a registry entry
    std::unique_ptr<Texture> owned; // the texture of packed pictures
    std::vector<AtlasPicture> pictures;
};

// Opens the description of the atlas `atlasName` ("data/textures/" +
// atlasName + ".txt"). When it cannot be opened (a directory counts as not
// openable), reports "Failed to open the file: \"<path>\"" on standard error
// and returns false.
bool openAtlasDescription(const std::string& atlasName, std::ifstream& description);

// The texture of the atlas `atlasName`: the registered one, or, when none is
// registered yet, atlasName + ".png" loaded now. Null only when even loading
// registered nothing.
Texture* atlasTexture(const std::string& atlasName);

} // namespace velmora
