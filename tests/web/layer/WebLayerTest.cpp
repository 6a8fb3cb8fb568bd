// The web layer's checks, run in the browser as a page of the web build
// (build-web/web_layer_test): each OpenGL 4.5 call the engine makes, carried
// out on WebGL2, read back with ES 3.0 calls. Prints "layer NAME ok" or
// "layer NAME FAILED: what" per check, then "layer done N"; the web tests
// (tests/web) read the page's console.
#include "velmora/Application.h"
#include "velmora/Camera.h"
#include "velmora/Canvas.h"
#include "velmora/Shader.h"
#include "velmora/SpriteBatch.h"
#include "engine/TextureUpload.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace velmora;

namespace {

int checks = 0;

void report(const char* name, bool ok, const std::string& what = "") {
    ++checks;
    std::printf("layer %s %s%s\n", name, ok ? "ok" : "FAILED: ", ok ? "" : what.c_str());
}

GLint integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// Every binding a game can see, to show that no call of the layer moves one.
std::vector<GLint> bindings() {
    return {integer(GL_TEXTURE_BINDING_2D), integer(GL_ACTIVE_TEXTURE),
            integer(GL_VERTEX_ARRAY_BINDING), integer(GL_CURRENT_PROGRAM),
            integer(GL_ARRAY_BUFFER_BINDING), integer(GL_DRAW_FRAMEBUFFER_BINDING),
            integer(GL_READ_FRAMEBUFFER_BINDING), integer(GL_UNPACK_ALIGNMENT)};
}

std::vector<unsigned char> pixelsOf(GLuint texture, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4, 7);
    glGetTextureImage(texture, 0, GL_RGBA, GL_UNSIGNED_BYTE, static_cast<GLsizei>(pixels.size()),
                      pixels.data());
    return pixels;
}

void textures() {
    // A grey image with alpha, swizzled as the engine's loader does.
    GLuint grey = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &grey);
    glTextureStorage2D(grey, 1, GL_RG8, 2, 1);
    const GLint swizzle[4] = {GL_RED, GL_RED, GL_RED, GL_GREEN};
    glTextureParameteriv(grey, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
    const unsigned char greyPixels[4] = {10, 20, 30, 40};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTextureSubImage2D(grey, 0, 0, 0, 2, 1, GL_RG, GL_UNSIGNED_BYTE, greyPixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    const std::vector<unsigned char> g = pixelsOf(grey, 2, 1);
    report("swizzledGrey", g == std::vector<unsigned char>{10, 10, 10, 20, 30, 30, 30, 40});
    GLint alpha = 0;
    glGetTextureParameteriv(grey, GL_TEXTURE_SWIZZLE_A, &alpha);
    report("swizzleReadBack", alpha == GL_GREEN);

    // RGBA through the BGRA upload.
    GLuint colour = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &colour);
    const unsigned char rgba[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uploadRgba8(colour, 2, 1, rgba);
    report("bgraUpload", pixelsOf(colour, 2, 1) == std::vector<unsigned char>(rgba, rgba + 8));

    // A clear, then one texel of it.
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    glClearTexImage(colour, 0, GL_RGBA, GL_FLOAT, red);
    unsigned char texel[4] = {};
    glGetTextureSubImage(colour, 0, 1, 0, 0, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, 4, texel);
    report("clearAndReadOne", texel[0] == 255 && texel[1] == 0 && texel[2] == 0 && texel[3] == 255,
           std::to_string(texel[0]) + " " + std::to_string(texel[1]) + " " +
               std::to_string(texel[2]) + " " + std::to_string(texel[3]));
    glDeleteTextures(1, &grey);
    glDeleteTextures(1, &colour);
}

void uniforms() {
    Shader* probe = Shader::load("probe.glsl");
    if (probe == nullptr) {
        report("probeShader", false, "did not build");
        return;
    }
    const GLuint program = probe->programId;
    probe->setInt("mode", 3);
    probe->setFloat("level", 0.5f);
    probe->setVec2("offset", 1.0f, 2.0f);
    probe->setVec3("tint", 3.0f, 4.0f, 5.0f);
    probe->setVec4("extra", 6.0f, 7.0f, 8.0f, 9.0f);
    const float placed[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
    glProgramUniformMatrix4fv(program, 3, 1, GL_FALSE, placed); // the explicit location
    for (const char* name : {"mode", "picture", "level", "offset", "tint", "extra", "placed"}) {
        if (glGetUniformLocation(program, name) < 0) {
            report("uniformFound", false, name);
            return;
        }
    }
    GLint mode = 0, unit = 0;
    float level = 0, offset[2] = {}, tint[3] = {}, extra[4] = {}, matrix[16] = {};
    glGetUniformiv(program, glGetUniformLocation(program, "mode"), &mode);
    glGetUniformiv(program, glGetUniformLocation(program, "picture"), &unit);
    glGetUniformfv(program, glGetUniformLocation(program, "level"), &level);
    glGetUniformfv(program, glGetUniformLocation(program, "offset"), offset);
    glGetUniformfv(program, glGetUniformLocation(program, "tint"), tint);
    glGetUniformfv(program, glGetUniformLocation(program, "extra"), extra);
    glGetUniformfv(program, glGetUniformLocation(program, "placed"), matrix);
    report("uniformInt", mode == 3);
    report("uniformFloat", level == 0.5f);
    report("uniformVec2", offset[0] == 1.0f && offset[1] == 2.0f);
    report("uniformVec3", tint[0] == 3.0f && tint[2] == 5.0f);
    report("uniformVec4", extra[0] == 6.0f && extra[3] == 9.0f);
    report("samplerBinding", unit == 1);
    report("explicitLocation", matrix[0] == 2.0f && matrix[15] == 1.0f);
    // The plain call too, on the program in use, as a game's own code makes it.
    const GLint previous = integer(GL_CURRENT_PROGRAM);
    glUseProgram(program);
    glUniform3f(glGetUniformLocation(program, "tint"), 6.0f, 7.0f, 8.0f);
    glUseProgram(static_cast<GLuint>(previous));
    glGetUniformfv(program, glGetUniformLocation(program, "tint"), tint);
    report("uniformPlainVec3", tint[0] == 6.0f && tint[2] == 8.0f);
}

// Indices given before the buffer is known to hold indices, then two runs
// drawn with glMultiDrawElements into a texture: both triangles show.
void drawing() {
    GLuint target = 0, framebuffer = 0, vertexArray = 0, vertices = 0, indices = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &target);
    glTextureStorage2D(target, 1, GL_RGBA8, 4, 2);
    glCreateFramebuffers(1, &framebuffer);
    glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, target, 0);
    report("framebufferComplete",
           glCheckNamedFramebufferStatus(framebuffer, GL_DRAW_FRAMEBUFFER) ==
               GL_FRAMEBUFFER_COMPLETE);
    glCreateBuffers(1, &vertices);
    glCreateBuffers(1, &indices);
    // Two triangles: the left half and the right half of the target.
    const float corners[] = {-1, -1, 0, -1, -1, 1, 0, 1, 0, -1, 1, -1, 0, 1, 1, 1};
    const unsigned int order[] = {0, 1, 2, 1, 3, 2, 4, 5, 6, 5, 7, 6};
    glNamedBufferData(indices, sizeof order, order, GL_STATIC_DRAW);
    glNamedBufferData(vertices, sizeof corners, corners, GL_STATIC_DRAW);
    glCreateVertexArrays(1, &vertexArray);
    glEnableVertexArrayAttrib(vertexArray, 0);
    glVertexArrayAttribFormat(vertexArray, 0, 2, GL_FLOAT, GL_FALSE, 0);
    glVertexArrayAttribBinding(vertexArray, 0, 0);
    glVertexArrayVertexBuffer(vertexArray, 0, vertices, 0, 2 * sizeof(float));
    glVertexArrayElementBuffer(vertexArray, indices);

    const char* vertexText = "#version 450 core\nlayout(location = 0) in vec2 p;\n"
                             "void main() { gl_Position = vec4(p, 0.0, 1.0); }\n";
    const char* fragmentText = "#version 450 core\nout vec4 c;\n"
                               "void main() { c = vec4(0.0, 1.0, 0.0, 1.0); }\n";
    const GLuint program = glCreateProgram();
    for (auto [type, text] : {std::pair{GL_VERTEX_SHADER, vertexText},
                              std::pair{GL_FRAGMENT_SHADER, fragmentText}}) {
        const GLuint stage = glCreateShader(type);
        glShaderSource(stage, 1, &text, nullptr);
        glCompileShader(stage);
        glAttachShader(program, stage);
        glDeleteShader(stage);
    }
    glLinkProgram(program);
    const std::vector<GLint> before = bindings();
    const GLint outer = integer(GL_DRAW_FRAMEBUFFER_BINDING);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glViewport(0, 0, 4, 2);
    glUseProgram(program);
    glBindVertexArray(vertexArray);
    const GLsizei counts[2] = {6, 6};
    const void* starts[2] = {nullptr, reinterpret_cast<const void*>(6 * sizeof(unsigned int))};
    const unsigned long drawsBefore = velmoraWebDrawCalls();
    glMultiDrawElements(GL_TRIANGLES, counts, GL_UNSIGNED_INT, starts, 2);
    report("followingRunsOneDraw", velmoraWebDrawCalls() - drawsBefore == 1);
    glBindVertexArray(static_cast<GLuint>(before[2]));
    glUseProgram(static_cast<GLuint>(before[3]));
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(outer));
    const std::vector<unsigned char> drawn = pixelsOf(target, 4, 2);
    report("multiDrawBothRuns", drawn[1] == 255 && drawn[3 * 4 + 1] == 255 && drawn[0] == 0);
    glDeleteProgram(program);
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteBuffers(1, &vertices);
    glDeleteBuffers(1, &indices);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &target);
}

// A frame as a game draws it: a batch of shapes into a canvas, the canvas
// shown by another batch, with the game's own blending, program and vertex
// array left set. No state is asked of WebGL meanwhile, and what the layer
// answers from its shadow is what WebGL holds.
struct FrameCheck {
    std::unique_ptr<SpriteBatch> shapes, screen;
    std::unique_ptr<Canvas> canvas;
    GLuint gameArray = 0;
    int frame = 0;
    unsigned long readBacksAtDraw = 0;
};
FrameCheck frameCheck;

void drawFrame() {
    FrameCheck& f = frameCheck;
    Camera camera;
    camera.ortho(0, 64, 0, 64, -1, 1);
    glBindVertexArray(f.gameArray);
    glBlendFuncSeparate(GL_ONE, GL_ONE, GL_ZERO, GL_ONE);
    glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
    glEnable(GL_BLEND);
    const unsigned long before = velmoraWebReadBacks();
    const unsigned long drawsBefore = velmoraWebDrawCalls();
    f.shapes->clear();
    for (int i = 0; i < 400; ++i) { // three runs of the desktop's
        f.shapes->addRectangle(static_cast<float>(i % 64), 1.0f, 1.0f, 1.0f, {1, 0, 0, 1});
    }
    f.canvas->begin();
    f.canvas->clear({0, 0, 1, 1});
    f.shapes->draw(camera);
    f.canvas->end();
    f.screen->clear();
    f.screen->addQuad({0, 0, 64, 64}, f.canvas->texCoords(), {1, 1, 1, 1});
    f.screen->draw(camera);
    const unsigned long readBacks = velmoraWebReadBacks() - before;
    const unsigned long draws = velmoraWebDrawCalls() - drawsBefore;
    GLint equation = 0, source = 0, array = 0;
    velmoraWebGpuIntegerv(GL_BLEND_EQUATION_RGB, &equation);
    velmoraWebGpuIntegerv(GL_BLEND_SRC_RGB, &source);
    velmoraWebGpuIntegerv(GL_VERTEX_ARRAY_BINDING, &array);
    const bool gameStateBack = equation == GL_FUNC_REVERSE_SUBTRACT && source == GL_ONE &&
                               array == static_cast<GLint>(f.gameArray) &&
                               glIsEnabled(GL_BLEND) == GL_TRUE;
    glDisable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ZERO);
    glBindVertexArray(0);
    if (f.frame == 1) {
        report("noReadBackInBatchDraws", readBacks == 0, std::to_string(readBacks));
        report("oneDrawPerBatch", draws == 2, std::to_string(draws));
        report("gameStateBackAfterDraws", gameStateBack);
        bool same = true;
        for (GLenum name :
             {GL_VERTEX_ARRAY_BINDING, GL_CURRENT_PROGRAM, GL_ACTIVE_TEXTURE, GL_TEXTURE_BINDING_2D,
              GL_ARRAY_BUFFER_BINDING, GL_ELEMENT_ARRAY_BUFFER_BINDING, GL_DRAW_FRAMEBUFFER_BINDING,
              GL_BLEND_SRC_RGB, GL_BLEND_DST_ALPHA, GL_BLEND_EQUATION_RGB, GL_UNPACK_ALIGNMENT,
              GL_VIEWPORT}) {
            GLint shadowed[4] = {-1, 0, 0, 0}, asked[4] = {-2, 0, 0, 0};
            glGetIntegerv(name, shadowed);
            velmoraWebGpuIntegerv(name, asked);
            if (!std::equal(shadowed, shadowed + 4, asked)) {
                same = false;
                report("shadowIsWebGl", false, std::to_string(name));
            }
        }
        if (same) {
            report("shadowIsWebGl", true);
        }
    }
    f.readBacksAtDraw = velmoraWebReadBacks();
}

} // namespace

int main() {
    Application& application = Application::instance();
    SceneHooks hooks;
    hooks.load = [] {
        // A texture and a program of the "game's", to see that none moves.
        GLuint own = 0;
        glGenTextures(1, &own);
        glBindTexture(GL_TEXTURE_2D, own);
        const std::vector<GLint> before = bindings();
        // A game's colour mask, which a texture clear sets aside.
        glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
        textures();
        uniforms();
        report("bindingsKept", bindings() == before, "a binding moved");
        GLboolean mask[4] = {};
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        report("colourMaskKept", mask[0] && !mask[1] && mask[2] && mask[3]);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        drawing();
        report("bindingsKeptByDrawing", bindings() == before, "a binding moved");
        report("noGlError", glGetError() == GL_NO_ERROR);
        frameCheck.shapes = std::make_unique<SpriteBatch>();
        frameCheck.screen = std::make_unique<SpriteBatch>();
        frameCheck.canvas = std::make_unique<Canvas>(64, 64);
        frameCheck.screen->setTexture(frameCheck.canvas->texture());
        glGenVertexArrays(1, &frameCheck.gameArray);
        return true;
    };
    // Frame 1 draws the first time; frame 2 is a whole page frame later.
    hooks.draw = [] {
        FrameCheck& f = frameCheck;
        ++f.frame;
        if (f.frame == 2) {
            const unsigned long inFrame = velmoraWebReadBacks() - f.readBacksAtDraw;
            report("noReadBackInAFrame", inFrame == 0, std::to_string(inFrame));
        }
        if (f.frame <= 2) {
            drawFrame();
        }
        if (f.frame == 2) {
            report("noGlErrorInFrames", glGetError() == GL_NO_ERROR);
            std::printf("layer done %d\n", checks);
        }
    };
    application.setSceneHooks(hooks);
    ApplicationSettings settings;
    settings.dataDirectory = "/data";
    if (!application.init(false, settings)) {
        return 1;
    }
    application.run();
    return 0;
}
