// How pictures with an alpha channel are stored on the GPU.
#pragma once

namespace velmora {

// Makes `pixels` (width × height texels of 8-bit red, green, blue and alpha,
// rows top first and tightly packed) the one and only level of the 2D
// texture `texture`, replacing whatever it held. The texture's filtering and
// wrapping are left as they are.
//
// The texels are handed over in blue-green-red-alpha order with an unsized
// format, which lets a driver keep them as they come: Mesa's software
// rasteriser then stores them as BGRA8, the one layout its fast path for
// blended, textured rectangles reads. Shaders sample the same values either
// way.
void uploadRgba8(unsigned int texture, int width, int height, const unsigned char* pixels);

} // namespace velmora
