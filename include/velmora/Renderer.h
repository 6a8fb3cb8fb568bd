// Renderer: the engine's thin OpenGL front. It resolves the OpenGL entry
// points after a context is current and clears the frame; it holds no state.
#pragma once

#include "velmora/Math.h"

namespace velmora {

// The context version the engine needs: every drawing call uses OpenGL 4.5
// direct state access.
constexpr int kRequiredGlMajor = 4;
constexpr int kRequiredGlMinor = 5;

struct GlVersion {
    int major = 0;
    int minor = 0;
};

class Renderer {
  public:
    // Resolves the OpenGL entry points with GLEW. Returns 0 on success, -1 on
    // failure (after writing "Failed to initialize GLEW" to standard error).
    // Needs a current context.
    int init();

    // Clears the whole colour buffer, outside the viewport too, to opaque
    // black, or to `colour` (red, green, blue, alpha in 0..1), and the depth
    // and stencil buffers when asked, to the game's glClearDepth and
    // glClearStencil values (1 and 0 unless changed). Neither the scissor
    // nor any write mask the game left holds it back; all are as the game
    // left them afterwards. Sets the clear colour.
    void clear();
    void clear(const Vec4& colour);
    void clear(const Vec4& colour, bool depth, bool stencil);

    // The version of the current context, as the driver reports it.
    static GlVersion contextVersion();
};

// Whether `version` is at least the one the engine needs.
bool meetsRequiredVersion(GlVersion version);

} // namespace velmora
