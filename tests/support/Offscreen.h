// An offscreen RGBA8 framebuffer of known size for rendering tests, and a
// probe that copies a texture's sampled texels into one, so that tests see
// what shaders see (swizzles included) rather than what was uploaded.
#pragma once

#include <vector>

namespace testsupport {

class OffscreenTarget {
  public:
    // Creates the framebuffer, binds it for drawing and reading, sets the
    // viewport to cover it and clears it to opaque black. Needs a current
    // context.
    OffscreenTarget(int width, int height);
    ~OffscreenTarget(); // deletes its objects and rebinds the default framebuffer

    // The framebuffer's pixels as RGBA bytes, bottom row first.
    std::vector<unsigned char> readPixels() const;
    // One pixel (x right, y up from the bottom row) as RGBA.
    std::vector<unsigned char> pixel(const std::vector<unsigned char>& pixels, int x, int y) const;

    int width() const { return w; }
    int height() const { return h; }

    OffscreenTarget(const OffscreenTarget&) = delete;
    OffscreenTarget& operator=(const OffscreenTarget&) = delete;

  private:
    int w;
    int h;
    unsigned int framebuffer = 0;
    unsigned int colour = 0;
};

// Samples every texel of level 0 of `texture` (width × height) with
// texelFetch and returns them as RGBA bytes, texture row 0 first.
std::vector<unsigned char> sampleTexels(unsigned int texture, int width, int height);

} // namespace testsupport
