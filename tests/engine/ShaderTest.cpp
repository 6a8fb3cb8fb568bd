#include "velmora/Shader.h"

#include "support/Capture.h"
#include "support/GlContext.h"
#include "support/Offscreen.h"
#include "support/TempDir.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <functional>
#include <regex>

using namespace velmora;

using testsupport::countOccurrences;
using testsupport::ScratchDir;
using testsupport::StreamCapture;

namespace {

// Both stages in one text, chosen by the define of the generated header.
const char* const kValidShader = R"(
#ifdef VERTEX_SHADER
layout(location = 0) in vec3 position;
void main() { gl_Position = vec4(position, 1.0); }
#endif
#ifdef FRAGMENT_SHADER
uniform int chosen;
out vec4 colour;
void main() { colour = vec4(float(chosen) / 255.0); }
#endif
)";

const char* const kVertexDoesNotCompile = R"(
#ifdef VERTEX_SHADER
void main() { gl_Position = undeclaredThing; }
#endif
#ifdef FRAGMENT_SHADER
out vec4 colour;
void main() { colour = vec4(1.0); }
#endif
)";

// Both stages compile; the vertex stage calls a function nobody defines.
const char* const kDoesNotLink = R"(
#ifdef VERTEX_SHADER
vec4 placeSomewhere();
void main() { gl_Position = placeSomewhere(); }
#endif
#ifdef FRAGMENT_SHADER
out vec4 colour;
void main() { colour = vec4(1.0); }
#endif
)";

void discardPendingErrors() {
    while (glGetError() != GL_NO_ERROR) {
    }
}

GLint linkStatus(const Shader& shader) {
    GLint linked = 0;
    glGetProgramiv(shader.programId, GL_LINK_STATUS, &linked);
    return linked;
}

TEST(ShaderHeader, IsTheVersionLineAndOneDefineLinePerDefine) {
    EXPECT_EQ(stageHeader({"VERTEX_SHADER"}), "#version 450 core\n#define VERTEX_SHADER\n");
    EXPECT_EQ(stageHeader({"VERTEX_SHADER"}).size(), 40u);
    EXPECT_EQ(stageHeader({"FRAGMENT_SHADER"}), "#version 450 core\n#define FRAGMENT_SHADER\n");
    EXPECT_EQ(stageHeader({"FRAGMENT_SHADER"}).size(), 42u);
    EXPECT_EQ(stageHeader({}), "#version 450 core\n");
    EXPECT_EQ(stageHeader({"A", "B 2"}), "#version 450 core\n#define A\n#define B 2\n");
}

TEST(ShaderLoad, RegistersUnderTheNameWithoutItsLastExtension) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    for (const char* name : {"textured.glsl", "a.b.glsl", "noext", ".glsl"}) {
        dir.writeFile(std::string("data/shaders/") + name, kValidShader);
    }
    Shader* textured = Shader::load("textured.glsl");
    Shader* twoDots = Shader::load("a.b.glsl");
    Shader* noExtension = Shader::load("noext");
    Shader* onlyExtension = Shader::load(".glsl");
    ASSERT_NE(textured, nullptr);
    EXPECT_EQ(shaderRegistry.size(), 4u);
    EXPECT_EQ(shaderRegistry.at("textured"), textured);
    EXPECT_EQ(shaderRegistry.at("a.b"), twoDots);
    EXPECT_EQ(shaderRegistry.at("noext"), noExtension);
    EXPECT_EQ(shaderRegistry.at(""), onlyExtension);
    EXPECT_EQ(linkStatus(*textured), GL_TRUE);
}

TEST(ShaderLoad, EachLoadCompilesAnewAndTheLaterReplacesTheEntry) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/shaders/textured.glsl", kValidShader);
    Shader* first = Shader::load("textured.glsl");
    Shader* second = Shader::load("textured.glsl");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->programId, second->programId);
    EXPECT_EQ(shaderRegistry.at("textured"), second);

    // An entry under the very name asked for is handed back rather than
    // leaving the caller without a program.
    shaderRegistry["textured.glsl"] = first;
    EXPECT_EQ(Shader::load("textured.glsl"), first);
}

TEST(ShaderLoad, AMissingFileIsReportedWithItsPathAndYieldsNothing) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.makeDir("data/shaders");
    StreamCapture err(StreamCapture::Stream::Err);
    Shader* shader = Shader::load("textured.glsl");
    EXPECT_EQ(err.finish(), "Failed to open the file: \"data/shaders/textured.glsl\"\n");
    EXPECT_EQ(shader, nullptr);
    EXPECT_TRUE(shaderRegistry.empty());
}

TEST(ShaderLoad, ADirectoryOrAnEmptyNameIsAFileThatCannotBeOpened) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.makeDir("data/shaders/folder.glsl");
    for (const std::string name : {"folder.glsl", ""}) {
        StreamCapture err(StreamCapture::Stream::Err);
        EXPECT_EQ(Shader::load(name.c_str()), nullptr);
        EXPECT_EQ(err.finish(), "Failed to open the file: \"data/shaders/" + name + "\"\n");
    }
    EXPECT_TRUE(shaderRegistry.empty());
}

TEST(ShaderLoad, AnEmptyFileIsNoLoaderError) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/shaders/empty.glsl", "");
    StreamCapture err(StreamCapture::Stream::Err);
    Shader* shader = Shader::load("empty.glsl");
    const std::string printed = err.finish();
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(printed.find("Failed to open the file"), std::string::npos) << printed;
    EXPECT_EQ(shaderRegistry.at("empty"), shader);
    // Two stages without main(): whatever the driver thinks of that, a
    // program that did not link is reported.
    if (linkStatus(*shader) == GL_FALSE) {
        EXPECT_NE(printed.find("Shader linking failed:\n"), std::string::npos) << printed;
    }
}

TEST(ShaderLoad, AFailedVertexStageIsReportedAndTheShaderStillRegistered) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/shaders/broken.glsl", kVertexDoesNotCompile);
    StreamCapture err(StreamCapture::Stream::Err);
    Shader* shader = Shader::load("broken.glsl");
    const std::string printed = err.finish();
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(shaderRegistry.at("broken"), shader);
    EXPECT_EQ(printed.rfind("Shader compilation failed:\n", 0), 0u) << printed;
    EXPECT_EQ(countOccurrences(printed, "Shader compilation failed:\n"), 1) << printed;
    EXPECT_NE(printed.find("undeclaredThing"), std::string::npos) << printed;
    // Only the fragment stage is in the program.
    GLint attached = 0;
    glGetProgramiv(shader->programId, GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 1);
    const bool linkReported = printed.find("Shader linking failed:\n") != std::string::npos;
    EXPECT_EQ(linkReported, linkStatus(*shader) == GL_FALSE) << printed;
}

TEST(ShaderLoad, AProgramThatFailsToLinkIsReportedRegisteredAndComplainsOnUse) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/shaders/unlinked.glsl", kDoesNotLink);
    StreamCapture err(StreamCapture::Stream::Err);
    Shader* shader = Shader::load("unlinked.glsl");
    const std::string printed = err.finish();
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(shaderRegistry.at("unlinked"), shader);
    EXPECT_EQ(printed.find("Shader compilation failed"), std::string::npos) << printed;
    EXPECT_EQ(printed.rfind("Shader linking failed:\n", 0), 0u) << printed;
    EXPECT_EQ(printed.back(), '\n');
    EXPECT_EQ(linkStatus(*shader), GL_FALSE);

    discardPendingErrors();
    StreamCapture out(StreamCapture::Stream::Out);
    shader->use();
    shader->use();
    const std::string reported = out.finish();
    const std::regex line("GL_INVALID_OPERATION - [^\n]*Shader\\.cpp:[0-9]+\n");
    const std::string once = reported.substr(0, reported.size() / 2);
    EXPECT_TRUE(std::regex_match(once, line)) << reported;
    EXPECT_EQ(reported, once + once);
}

TEST(ShaderLoad, ErrorsLeftByEarlierWorkAreReportedAtTheStartOfALoad) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/shaders/textured.glsl", kValidShader);
    discardPendingErrors();
    glEnable(0xDEAD);
    StreamCapture out(StreamCapture::Stream::Out);
    ASSERT_NE(Shader::load("textured.glsl"), nullptr);
    const std::string reported = out.finish();
    EXPECT_TRUE(
        std::regex_match(reported, std::regex("GL_INVALID_ENUM - [^\n]*Shader\\.cpp:[0-9]+\n")))
        << reported;
}

TEST(ShaderCompile, CutsTheCompilerLogTo511Characters) {
    VELMORA_REQUIRE_GL();
    // Many independent errors make a log far longer than the buffer.
    std::string text = "#ifdef VERTEX_SHADER\nvoid main() {\n";
    for (int i = 0; i < 60; ++i) {
        text += "  float v" + std::to_string(i) + " = missingName" + std::to_string(i) + ";\n";
    }
    text += "}\n#endif\n";

    const GLuint probe = glCreateShader(GL_VERTEX_SHADER);
    const std::string header = stageHeader({"VERTEX_SHADER"});
    const char* sources[2] = {header.c_str(), text.c_str()};
    glShaderSource(probe, 2, sources, nullptr);
    glCompileShader(probe);
    GLint fullLength = 0;
    glGetShaderiv(probe, GL_INFO_LOG_LENGTH, &fullLength);
    std::string fullLog(static_cast<size_t>(fullLength), '\0');
    glGetShaderInfoLog(probe, fullLength, nullptr, fullLog.data());
    glDeleteShader(probe);
    ASSERT_GT(fullLength, 600) << "the driver's log is too short to test the cut";

    StreamCapture err(StreamCapture::Stream::Err);
    EXPECT_EQ(compileStage(text, GL_VERTEX_SHADER, {"VERTEX_SHADER"}), kFailedStage);
    const std::string printed = err.finish();
    const std::string prefix = "Shader compilation failed:\n";
    ASSERT_EQ(printed.rfind(prefix, 0), 0u);
    ASSERT_EQ(printed.back(), '\n');
    const std::string log = printed.substr(prefix.size(), printed.size() - prefix.size() - 1);
    EXPECT_EQ(log.size(), 511u);
    EXPECT_EQ(log, fullLog.substr(0, 511));
}

TEST(ShaderCompile, ReturnsTheShaderObjectOfAStageThatCompiles) {
    VELMORA_REQUIRE_GL();
    StreamCapture err(StreamCapture::Stream::Err);
    const unsigned int stage = compileStage(kValidShader, GL_FRAGMENT_SHADER, {"FRAGMENT_SHADER"});
    EXPECT_EQ(err.finish(), "");
    ASSERT_NE(stage, kFailedStage);
    EXPECT_EQ(glIsShader(stage), GL_TRUE);
    GLint type = 0;
    glGetShaderiv(stage, GL_SHADER_TYPE, &type);
    EXPECT_EQ(type, GL_FRAGMENT_SHADER);
    // The header went in front of the file text, byte for byte.
    GLint length = 0;
    glGetShaderiv(stage, GL_SHADER_SOURCE_LENGTH, &length);
    std::string source(static_cast<size_t>(length), '\0');
    glGetShaderSource(stage, length, nullptr, source.data());
    source.resize(source.find('\0'));
    EXPECT_EQ(source, stageHeader({"FRAGMENT_SHADER"}) + kValidShader);
    glDeleteShader(stage);
}

TEST(ShaderUniforms, SetIntWritesARealUniformAndIgnoresAMissingOne) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/shaders/textured.glsl", kValidShader);
    Shader* shader = Shader::load("textured.glsl");
    ASSERT_NE(shader, nullptr);
    discardPendingErrors();
    shader->use();
    const GLint location = glGetUniformLocation(shader->programId, "chosen");
    ASSERT_NE(location, -1);

    shader->setInt("chosen", 7);
    GLint value = 0;
    glGetUniformiv(shader->programId, location, &value);
    EXPECT_EQ(value, 7);

    StreamCapture out(StreamCapture::Stream::Out);
    StreamCapture err(StreamCapture::Stream::Err);
    shader->setInt("notThere", 99);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(out.finish(), "");
    EXPECT_EQ(err.finish(), "");
    glGetUniformiv(shader->programId, location, &value);
    EXPECT_EQ(value, 7);
}

// A triangle over the whole target that paints one uniform, chosen by
// `pick`, as its colour.
const char* const kUniformsAsColour = R"(
#ifdef VERTEX_SHADER
void main() { gl_Position = vec4(vec2((gl_VertexID << 1) & 2, gl_VertexID & 2) * 2.0 - 1.0, 0, 1); }
#endif
#ifdef FRAGMENT_SHADER
uniform int pick;
uniform float f; uniform vec2 v2; uniform vec3 v3; uniform vec4 v4; uniform mat4 m;
out vec4 colour;
void main() {
    colour = pick == 0 ? vec4(f, 0, 0, 1) : pick == 1 ? vec4(v2, 0, 1) : pick == 2 ? vec4(v3, 1)
           : pick == 3 ? v4 : m[pick - 4];
}
#endif
)";

TEST(ShaderUniforms, EachSetterReachesItsUniformWithoutTheProgramCurrent) {
    VELMORA_REQUIRE_GL();
    ScratchDir dir;
    dir.writeFile("data/shaders/uniforms.glsl", kUniformsAsColour);
    Shader* shader = Shader::load("uniforms.glsl");
    ASSERT_NE(shader, nullptr);
    testsupport::OffscreenTarget target(2, 2);
    GLuint noVertices = 0; // the triangle's corners come from gl_VertexID
    glCreateVertexArrays(1, &noVertices);
    glBindVertexArray(noVertices);
    const Matrix4 matrix{0, 0, 0, 0, 5 / 17.0f, 6 / 17.0f, 7 / 17.0f, 8 / 17.0f}; // column 1
    const Vec2 two{0.2f, 0.4f};
    const Vec3 three{0.2f, 0.4f, 0.6f};
    const Vec4 four{0.2f, 0.4f, 0.6f, 0.8f};
    const struct {
        int pick;
        const char* name;
        std::function<void(Shader&, const char*)> set;
        std::vector<unsigned char> rgba;
    } rows[] = {
        {0, "f", [](auto& s, auto n) { s.setFloat(n, 0.2f); }, {51, 0, 0, 255}},
        {1, "v2", [&](auto& s, auto n) { s.setVec2(n, two); }, {51, 102, 0, 255}},
        {1, "v2", [](auto& s, auto n) { s.setVec2(n, 0.4f, 0.2f); }, {102, 51, 0, 255}},
        {2, "v3", [&](auto& s, auto n) { s.setVec3(n, three); }, {51, 102, 153, 255}},
        {2, "v3", [](auto& s, auto n) { s.setVec3(n, 0.6f, 0.4f, 0.2f); }, {153, 102, 51, 255}},
        {3, "v4", [&](auto& s, auto n) { s.setVec4(n, four); }, {51, 102, 153, 204}},
        {3, "v4", [](auto& s, auto n) { s.setVec4(n, .8f, .6f, .4f, .2f); }, {204, 153, 102, 51}},
        {5, "m", [&](auto& s, auto n) { s.setMatrix4(n, matrix); }, {75, 90, 105, 120}},
    };
    for (const auto& row : rows) {
        glUseProgram(0);
        discardPendingErrors();
        shader->setInt("pick", row.pick);
        row.set(*shader, "notThere"); // ignored, as a null name is
        row.set(*shader, nullptr);
        row.set(*shader, row.name);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << row.name;
        shader->use();
        glDrawArrays(GL_TRIANGLES, 0, 3);
        EXPECT_EQ(target.pixel(target.readPixels(), 1, 1), row.rgba) << row.name << " " << row.pick;
    }
    glBindVertexArray(0);
}

} // namespace
