// Reading the atlas's picture list.
#include "Manifest.h"

#include <fstream>
#include <sstream>

bool readManifest(const std::string& path, std::vector<ManifestItem>& items, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string dir;
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) {
        dir = path.substr(0, slash + 1);
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream fields(line);
        ManifestItem item;
        if (!(fields >> item.name) || item.name[0] == '#') {
            continue;
        }
        if (!(fields >> item.sourcePath >> item.screenWidth >> item.screenHeight) ||
            item.screenWidth <= 0 || item.screenHeight <= 0) {
            error =
                path + ":" + std::to_string(number) + ": expected \"name source.png width height\"";
            return false;
        }
        item.sourcePath = dir + item.sourcePath;
        items.push_back(item);
    }
    return true;
}
