// minimal_quads: the yardstick for the game's frame rate. It draws the game
// picture's five textured quads (background, bus, gauge face, gauge pointer,
// hint) from the game's atlas, through the game's camera, with an alpha-
// discard shader and no blending, written directly against OpenGL with no
// engine code: one program, one vertex array, one texture bound once, five
// draw calls per frame. Whatever the game spends beyond this is engine cost.
//
//   minimal_quads [windowed]      (run from the directory that holds data/)
#include <GL/glew.h>

#include "BenchWindow.h"

#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct AtlasRect {
    float x = 0, y = 0, w = 0, h = 0;
};

struct Vertex {
    float position[3];
    float colour[4];
    float uv[2];
};

struct Placed {
    const char* picture;
    float x, y;
};

// The game picture as the player sees it while aiming, bottom to top.
const Placed kQuads[] = {
    {"tausta_ukkeli.png", 0.0f, 0.0f}, // background with the man at the stop
    {"Bussi5.png", 0.33f, 0.05f},      // the bus where it waits before the first press
    {"gauge.png", 0.062f, 0.0f},       // gauge face
    {"pointer.png", 0.1485f, 0.0f},    // pointer in the middle of its travel
    {"press.png", 0.06f, 0.03f},       // the idle hint
};

const char* kVertexShader = R"(#version 450 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colour;
layout(location = 2) in vec2 texCoord;
uniform mat4 modelMatrix;
uniform mat4 viewProjection;
out vec4 vertexColour;
out vec2 uv;
void main() {
    vertexColour = colour;
    uv = texCoord;
    gl_Position = viewProjection * modelMatrix * vec4(position, 1.0);
}
)";

const char* kFragmentShader = R"(#version 450 core
in vec4 vertexColour;
in vec2 uv;
layout(binding = 0) uniform sampler2D atlas;
out vec4 fragColour;
void main() {
    vec4 texel = textureLod(atlas, uv, 0.0) * vertexColour;
    if (texel.a < 0.5) {
        discard;
    }
    fragColour = vec4(texel.rgb, 1.0);
}
)";

// "name x y w h" per line, in texture units of the atlas image.
std::map<std::string, AtlasRect> readAtlas(const char* path) {
    std::map<std::string, AtlasRect> rects;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string name;
        AtlasRect rect;
        if (fields >> name >> rect.x >> rect.y >> rect.w >> rect.h) {
            rects.emplace(name, rect);
        }
    }
    return rects;
}

GLuint compile(GLenum stage, const char* source) {
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == 0) {
        char log[512] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "minimal_quads: shader: %s\n", log);
    }
    return shader;
}

GLuint buildProgram() {
    const GLuint program = glCreateProgram();
    glAttachShader(program, compile(GL_VERTEX_SHADER, kVertexShader));
    glAttachShader(program, compile(GL_FRAGMENT_SHADER, kFragmentShader));
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    return ok != 0 ? program : 0;
}

GLuint uploadAtlasImage(const char* path) {
    int w = 0, h = 0, channels = 0;
    unsigned char* pixels = stbi_load(path, &w, &h, &channels, 4);
    if (pixels == nullptr) {
        std::fprintf(stderr, "minimal_quads: cannot decode %s\n", path);
        return 0;
    }
    GLuint texture = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    glTextureParameteri(texture, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTextureParameteri(texture, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTextureStorage2D(texture, 1, GL_RGBA8, w, h);
    glTextureSubImage2D(texture, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    stbi_image_free(pixels);
    return texture;
}

// Four vertices per picture, lower-left corner at the model origin, the
// atlas image's top row at v = 0.
bool buildQuads(const std::map<std::string, AtlasRect>& atlas, std::vector<Vertex>& vertices,
                std::vector<GLuint>& indices) {
    for (const Placed& placed : kQuads) {
        const auto found = atlas.find(placed.picture);
        if (found == atlas.end()) {
            std::fprintf(stderr, "minimal_quads: %s is not in the atlas\n", placed.picture);
            return false;
        }
        const AtlasRect& r = found->second;
        const GLuint base = static_cast<GLuint>(vertices.size());
        vertices.push_back({{0, 0, 0}, {1, 1, 1, 1}, {r.x, r.y + r.h}});
        vertices.push_back({{r.w, 0, 0}, {1, 1, 1, 1}, {r.x + r.w, r.y + r.h}});
        vertices.push_back({{r.w, r.h, 0}, {1, 1, 1, 1}, {r.x + r.w, r.y}});
        vertices.push_back({{0, r.h, 0}, {1, 1, 1, 1}, {r.x, r.y}});
        for (GLuint i : {0u, 1u, 2u, 2u, 3u, 0u}) {
            indices.push_back(base + i);
        }
    }
    return true;
}

GLuint uploadGeometry(const std::vector<Vertex>& vertices, const std::vector<GLuint>& indices) {
    GLuint buffers[2] = {};
    glCreateBuffers(2, buffers);
    glNamedBufferData(buffers[0], vertices.size() * sizeof(Vertex), vertices.data(),
                      GL_STATIC_DRAW);
    glNamedBufferData(buffers[1], indices.size() * sizeof(GLuint), indices.data(), GL_STATIC_DRAW);
    GLuint vao = 0;
    glCreateVertexArrays(1, &vao);
    glVertexArrayElementBuffer(vao, buffers[1]);
    const GLint sizes[3] = {3, 4, 2};
    const GLuint offsets[3] = {0, 12, 28};
    for (GLuint attribute = 0; attribute < 3; ++attribute) {
        glEnableVertexArrayAttrib(vao, attribute);
        glVertexArrayAttribFormat(vao, attribute, sizes[attribute], GL_FLOAT, GL_FALSE,
                                  offsets[attribute]);
        glVertexArrayAttribBinding(vao, attribute, 0);
    }
    glVertexArrayVertexBuffer(vao, 0, buffers[0], 0, sizeof(Vertex));
    return vao;
}

// ortho(0, 1.333, 0, 1, -1, 1) × scale(4.28, 5.23, 1), column by column.
void cameraMatrix(float m[16]) {
    for (int i = 0; i < 16; ++i) {
        m[i] = 0.0f;
    }
    m[0] = 2.0f / 1.333f * 4.28f;
    m[5] = 2.0f * 5.23f;
    m[10] = -1.0f;
    m[12] = -1.0f;
    m[13] = -1.0f;
    m[15] = 1.0f;
}

void translation(float x, float y, float m[16]) {
    for (int i = 0; i < 16; ++i) {
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    }
    m[12] = x;
    m[13] = y;
}

} // namespace

int main(int argc, char** argv) {
    int width = 0;
    int height = 0;
    GLFWwindow* window = bench::openBenchWindow(argc, argv, "minimal quads", width, height);
    if (window == nullptr) {
        return EXIT_FAILURE;
    }
    if (glewInit() != GLEW_OK) {
        std::fprintf(stderr, "minimal_quads: GLEW failed\n");
        return EXIT_FAILURE;
    }
    bench::setLetterboxViewport(width, height);

    std::vector<Vertex> vertices;
    std::vector<GLuint> indices;
    if (!buildQuads(readAtlas("data/textures/atlas.txt"), vertices, indices)) {
        return EXIT_FAILURE;
    }
    const GLuint vao = uploadGeometry(vertices, indices);
    const GLuint texture = uploadAtlasImage("data/textures/atlas.png");
    const GLuint program = buildProgram();
    if (texture == 0 || program == 0) {
        return EXIT_FAILURE;
    }
    glUseProgram(program);
    float camera[16];
    cameraMatrix(camera);
    glUniformMatrix4fv(glGetUniformLocation(program, "viewProjection"), 1, GL_FALSE, camera);
    const GLint modelLocation = glGetUniformLocation(program, "modelMatrix");
    glBindTextureUnit(0, texture);
    glBindVertexArray(vao);

    float models[5][16];
    for (int i = 0; i < 5; ++i) {
        translation(kQuads[i].x, kQuads[i].y, models[i]);
    }
    while (glfwWindowShouldClose(window) != GLFW_TRUE) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < 5; ++i) {
            glUniformMatrix4fv(modelLocation, 1, GL_FALSE, models[i]);
            glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT,
                           reinterpret_cast<const void*>(sizeof(GLuint) * 6 * i));
        }
        glfwSwapBuffers(window);
        glfwPollEvents();
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    return EXIT_SUCCESS;
}
