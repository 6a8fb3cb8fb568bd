// Feeds arbitrary bytes to the atlas description reader. The first line of
// the input is the requested picture name, the rest the description. Besides
// the sanitizers, it checks what a found entry promises to its users.
#include "engine/AtlasDescription.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string::size_type newline = input.find('\n');
    const std::string fileName = input.substr(0, newline);
    const std::string text = newline == std::string::npos ? "" : input.substr(newline + 1);

    std::istringstream description(text);
    std::ostringstream errors;
    AtlasEntry found;
    if (findAtlasEntry(description, fileName, found, errors)) {
        const bool finite = std::isfinite(found.x) && std::isfinite(found.y) &&
                            std::isfinite(found.w) && std::isfinite(found.h);
        if (!finite || found.name.empty() || fileName.find(found.name) == std::string::npos) {
            std::abort();
        }
    }
    // Every reported line starts with the fixed text.
    std::istringstream reported(errors.str());
    std::string line;
    while (std::getline(reported, line)) {
        if (line.rfind("Error parsing line: ", 0) != 0) {
            std::abort();
        }
    }

    AtlasEntry single;
    if (parseAtlasLine(input, single) && single.name.empty()) {
        std::abort();
    }
    return 0;
}
