#include "support/Offscreen.h"

#include <GL/glew.h>

namespace testsupport {

OffscreenTarget::OffscreenTarget(int width, int height) : w(width), h(height) {
    glCreateTextures(GL_TEXTURE_2D, 1, &colour);
    glTextureStorage2D(colour, 1, GL_RGBA8, w, h);
    glCreateFramebuffers(1, &framebuffer);
    glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, colour, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, w, h);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

OffscreenTarget::~OffscreenTarget() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &colour);
}

std::vector<unsigned char> OffscreenTarget::readPixels() const {
    std::vector<unsigned char> pixels(static_cast<size_t>(w) * h * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadnPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, static_cast<GLsizei>(pixels.size()),
                  pixels.data());
    return pixels;
}

std::vector<unsigned char> OffscreenTarget::pixel(const std::vector<unsigned char>& pixels, int x,
                                                  int y) const {
    const size_t at = (static_cast<size_t>(y) * w + x) * 4;
    return {pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
}

namespace {

const char* const kProbeVertex = R"(#version 450 core
void main() {
    // One triangle that covers the whole viewport.
    vec2 corner = vec2((gl_VertexID << 1) & 2, gl_VertexID & 2);
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const kProbeFragment = R"(#version 450 core
layout(binding = 0) uniform sampler2D probed;
out vec4 colour;
void main() {
    colour = texelFetch(probed, ivec2(gl_FragCoord.xy), 0);
}
)";

GLuint compile(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

} // namespace

std::vector<unsigned char> sampleTexels(unsigned int texture, int width, int height) {
    const GLuint vertex = compile(GL_VERTEX_SHADER, kProbeVertex);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, kProbeFragment);
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLuint vertexArray = 0;
    glCreateVertexArrays(1, &vertexArray);

    std::vector<unsigned char> texels;
    {
        OffscreenTarget target(width, height);
        GLint previousProgram = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &previousProgram);
        glUseProgram(program);
        glBindTextureUnit(0, texture);
        glBindVertexArray(vertexArray);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        glBindVertexArray(0);
        glUseProgram(static_cast<GLuint>(previousProgram));
        texels = target.readPixels();
    }
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return texels;
}

} // namespace testsupport
