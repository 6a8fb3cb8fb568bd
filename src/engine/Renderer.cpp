#include "velmora/Renderer.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstring>

namespace velmora {

int Renderer::init() {
    // Entry points are looked up by name rather than trusted from the
    // extension string, which some drivers under-report.
    glewExperimental = GL_TRUE;
    const GLenum result = glewInit();
#ifdef GLEW_ERROR_NO_GLX_DISPLAY
    // GLFW picks Wayland where it can; a GLEW built for GLX then finds no GLX
    // display although every OpenGL entry point was loaded. Not a failure.
    if (result == GLEW_ERROR_NO_GLX_DISPLAY) {
        return 0;
    }
#endif
    if (result != GLEW_OK) {
        std::fputs("Failed to initialize GLEW\n", stderr);
        return -1;
    }
    return 0;
}

void Renderer::clear() {
    clear(Vec4{0.0f, 0.0f, 0.0f, 1.0f});
}

void Renderer::clear(const Vec4& colour) {
    clear(colour, false, false);
}

void Renderer::clear(const Vec4& colour, bool depth, bool stencil) {
    glClearColor(colour.x, colour.y, colour.z, colour.w);
    // A game may end its frame with writes masked or a scissor set (a
    // transparent pass leaves depth writes off); the clear still reaches
    // every pixel of every buffer, and the game's masks come back.
    GLboolean colourMask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    GLboolean depthMask = GL_TRUE;
    GLint stencilMask = ~0;
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    const GLboolean discard = glIsEnabled(GL_RASTERIZER_DISCARD);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_RASTERIZER_DISCARD);
    GLbitfield buffers = GL_COLOR_BUFFER_BIT;
    if (depth) {
        buffers |= GL_DEPTH_BUFFER_BIT;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
        glDepthMask(GL_TRUE);
    }
    if (stencil) {
        buffers |= GL_STENCIL_BUFFER_BIT;
        glGetIntegerv(GL_STENCIL_WRITEMASK, &stencilMask);
        glStencilMask(~0u);
    }
    glClear(buffers);
    glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
    if (scissor != GL_FALSE) {
        glEnable(GL_SCISSOR_TEST);
    }
    if (discard != GL_FALSE) {
        glEnable(GL_RASTERIZER_DISCARD);
    }
    if (depth) {
        glDepthMask(depthMask);
    }
    if (stencil) {
        glStencilMask(static_cast<GLuint>(stencilMask));
    }
}

GlVersion Renderer::contextVersion() {
    GlVersion version;
    // GL_MAJOR_VERSION exists only from 3.0 on: read the version string, which
    // every context has, so that an old context is named correctly too.
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (text != nullptr) {
        // Some drivers prefix the string ("OpenGL ES 3.2 ..."): skip to the
        // first digit.
        while (*text != '\0' && (*text < '0' || *text > '9')) {
            ++text;
        }
        std::sscanf(text, "%d.%d", &version.major, &version.minor);
    }
    return version;
}

bool meetsRequiredVersion(GlVersion version) {
    if (version.major != kRequiredGlMajor) {
        return version.major > kRequiredGlMajor;
    }
    return version.minor >= kRequiredGlMinor;
}

} // namespace velmora
