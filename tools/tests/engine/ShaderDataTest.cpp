// The shader files under data/shaders/ on a real OpenGL 4.5 driver: they
// compile behind the loader's header, and they draw a textured quad the way
// the game needs (transparent texels dropped, since nothing is blended).
#include "ShaderCheck.h"
#include "support/GlContext.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string readShader(const std::string& name) {
    std::ifstream in(std::string(VELMORA_DATA_DIR) + "/shaders/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Draws one quad over a 2x1 target through `program`: the left pixel samples
// texel `left`, the right one texel `right`, with vertex colour `colour`.
// Returns the two pixels read back (RGBA), over a blue clear.
std::vector<unsigned char> drawTwoTexels(GLuint program, const unsigned char left[4],
                                         const unsigned char right[4], const float colour[4]) {
    GLuint texture = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    glTextureParameteri(texture, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTextureParameteri(texture, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTextureParameteri(texture, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTextureParameteri(texture, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTextureStorage2D(texture, 1, GL_RGBA8, 2, 1);
    unsigned char texels[8];
    std::copy(left, left + 4, texels);
    std::copy(right, right + 4, texels + 4);
    glTextureSubImage2D(texture, 0, 0, 0, 2, 1, GL_RGBA, GL_UNSIGNED_BYTE, texels);

    GLuint target = 0, framebuffer = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &target);
    glTextureStorage2D(target, 1, GL_RGBA8, 2, 1);
    glCreateFramebuffers(1, &framebuffer);
    glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, target, 0);

    // The sprite vertex: position 3, colour 4, texture coordinate 2 floats.
    const float c[4] = {colour[0], colour[1], colour[2], colour[3]};
    float vertices[4][9] = {{-1, 1, 0, c[0], c[1], c[2], c[3], 0, 0},
                            {1, 1, 0, c[0], c[1], c[2], c[3], 1, 0},
                            {1, -1, 0, c[0], c[1], c[2], c[3], 1, 1},
                            {-1, -1, 0, c[0], c[1], c[2], c[3], 0, 1}};
    unsigned indices[6] = {0, 1, 2, 2, 3, 0};
    GLuint vao = 0, vbo = 0, ibo = 0;
    glCreateVertexArrays(1, &vao);
    glCreateBuffers(1, &vbo);
    glCreateBuffers(1, &ibo);
    glNamedBufferData(vbo, sizeof vertices, vertices, GL_STATIC_DRAW);
    glNamedBufferData(ibo, sizeof indices, indices, GL_STATIC_DRAW);
    glVertexArrayElementBuffer(vao, ibo);
    const int sizes[3] = {3, 4, 2};
    const int offsets[3] = {0, 12, 28};
    for (int a = 0; a < 3; ++a) {
        glEnableVertexArrayAttrib(vao, a);
        glVertexArrayAttribFormat(vao, a, sizes[a], GL_FLOAT, GL_FALSE, offsets[a]);
        glVertexArrayAttribBinding(vao, a, 0);
    }
    glVertexArrayVertexBuffer(vao, 0, vbo, 0, 36);

    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glUseProgram(program);
    for (const char* name : {"modelMatrix", "viewMatrix", "projectionMatrix"}) {
        glUniformMatrix4fv(glGetUniformLocation(program, name), 1, GL_FALSE, identity);
    }
    glUniform1i(glGetUniformLocation(program, "texture"), 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, 2, 1);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindVertexArray(vao);
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
    std::vector<unsigned char> pixels(8);
    glReadPixels(0, 0, 2, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    glDeleteVertexArrays(1, &vao);
    GLuint buffers[2] = {vbo, ibo};
    glDeleteBuffers(2, buffers);
    glDeleteFramebuffers(1, &framebuffer);
    GLuint textures[2] = {texture, target};
    glDeleteTextures(2, textures);
    return pixels;
}

TEST(ShaderData, BothFilesCompileAndLinkBehindTheLoadersHeader) {
    VELMORA_REQUIRE_GL();
    for (const char* name : {"textured.glsl", "text.glsl"}) {
        std::string text = readShader(name);
        ASSERT_FALSE(text.empty()) << name;
        ShaderCheck check(text);
        EXPECT_TRUE(check.ok()) << name << ":\n" << check.report();
        glDeleteProgram(check.program());
    }
}

TEST(ShaderData, TexturedProgramDrawsOpaqueTexelsAndDropsTransparentOnes) {
    VELMORA_REQUIRE_GL();
    ShaderCheck check(readShader("textured.glsl"));
    ASSERT_TRUE(check.ok()) << check.report();
    const unsigned char red[4] = {255, 0, 0, 255};
    const unsigned char clear[4] = {0, 255, 0, 0};
    const float white[4] = {1, 1, 1, 1};
    std::vector<unsigned char> pixels = drawTwoTexels(check.program(), red, clear, white);
    EXPECT_EQ(pixels[0], 255); // red drawn
    EXPECT_EQ(pixels[1], 0);
    EXPECT_EQ(pixels[2], 0);
    EXPECT_EQ(pixels[4], 0); // transparent: the blue clear colour stays
    EXPECT_EQ(pixels[5], 0);
    EXPECT_EQ(pixels[6], 255);
    glDeleteProgram(check.program());
}

TEST(ShaderData, TextProgramTintsGlyphCoverageWithTheVertexColour) {
    VELMORA_REQUIRE_GL();
    ShaderCheck check(readShader("text.glsl"));
    ASSERT_TRUE(check.ok()) << check.report();
    const unsigned char covered[4] = {255, 255, 255, 255};
    const unsigned char empty[4] = {255, 255, 255, 0};
    const float yellow[4] = {1, 1, 0, 1};
    std::vector<unsigned char> pixels = drawTwoTexels(check.program(), covered, empty, yellow);
    EXPECT_EQ(pixels[0], 255);
    EXPECT_EQ(pixels[1], 255);
    EXPECT_EQ(pixels[2], 0);
    EXPECT_EQ(pixels[6], 255); // no coverage: background stays
    EXPECT_EQ(pixels[4], 0);
    glDeleteProgram(check.program());
}

} // namespace
