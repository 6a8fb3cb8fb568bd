// Writes small PNG test images with stb_image_write, so that every texture
// test makes the exact pixels it checks against.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Writes `pixels` (rows top to bottom, tightly packed, `channels` bytes per
// pixel) as a PNG file at `path`, creating directories as needed.
bool writePng(const std::string& path, int width, int height, int channels,
              const std::vector<unsigned char>& pixels);

} // namespace testsupport
