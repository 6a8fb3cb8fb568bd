// DataDirectory: the folder that every loader reads its files from, "data"
// (relative to the working directory) unless the application's settings name
// another. Main thread only, like the loaders.
//
// A loader names its own sub-folder once, as a DataFolder, and builds its
// paths with `+`:
//
//     constexpr DataFolder kShaderDirectory{"shaders/"};
//     const std::string path = kShaderDirectory + fileName; // "data/shaders/x.glsl"
#pragma once

#include <ostream>
#include <string>

namespace velmora {

// Replaces the data directory; "" means the working directory itself.
void setDataDirectory(std::string folder);
const std::string& dataDirectory();

// A sub-folder of the data directory, ending in '/'.
struct DataFolder {
    const char* name;
};

// The data directory, '/', the folder and `file`.
std::string operator+(DataFolder folder, const std::string& file);
// The data directory, '/' and the folder, as in messages about a path.
std::ostream& operator<<(std::ostream& out, DataFolder folder);

} // namespace velmora
