// The tests' PNG writer, on the stb_image_write that the engine compiles in.
#include <stb_image_write.h>

#include "support/Images.h"

#include <filesystem>

namespace testsupport {

bool writePng(const std::string& path, int width, int height, int channels,
              const std::vector<unsigned char>& pixels) {
    const std::filesystem::path target(path);
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path());
    }
    if (pixels.size() < static_cast<size_t>(width) * height * channels) {
        return false;
    }
    return stbi_write_png(path.c_str(), width, height, channels, pixels.data(), width * channels) !=
           0;
}

} // namespace testsupport
