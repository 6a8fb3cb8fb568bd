#include "velmora/Shader.h"

#include "velmora/GlErrors.h"
#include "engine/DataDirectory.h"
#include "engine/RegistryKey.h"

#include <GL/glew.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace velmora {

std::map<std::string, Shader*> shaderRegistry;

namespace {

constexpr DataFolder kShaderDirectory{"shaders/"};

// Info logs are fetched into a fixed buffer: long logs are cut, the first
// errors are the useful ones.
constexpr GLsizei kInfoLogSize = 512;

bool readWholeFile(const std::string& path, std::string& text) {
    // A directory opens like a file here, and reading it then throws from
    // deep inside the stream buffer: treat it as a file that cannot be opened.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        return false;
    }
    std::ifstream in(path);
    if (!in.is_open()) {
        return false;
    }
    // Streaming the buffer turns read errors into stream state instead of
    // exceptions; an empty file simply yields an empty text.
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

// Where `name` lives in `program`; -1, which every glProgramUniform* takes
// as "nowhere" and ignores, for a missing or null name.
GLint uniformLocation(GLuint program, const char* name) {
    return name != nullptr ? glGetUniformLocation(program, name) : -1;
}

} // namespace

std::string stageHeader(const std::vector<std::string>& defines) {
    std::string header = "#version 450 core\n";
    for (const std::string& define : defines) {
        header += "#define ";
        header += define;
        header += '\n';
    }
    return header;
}

unsigned int compileStage(const std::string& text, unsigned int stageType,
                          const std::vector<std::string>& defines) {
    const GLuint stage = glCreateShader(stageType);
    const std::string header = stageHeader(defines);
    const GLchar* sources[2] = {header.c_str(), text.c_str()};
    glShaderSource(stage, 2, sources, nullptr);
    glCompileShader(stage);
    checkGlErrors(__FILE__, __LINE__);

    GLint compiled = 0;
    glGetShaderiv(stage, GL_COMPILE_STATUS, &compiled);
    if (compiled == 0) {
        GLchar log[kInfoLogSize] = {};
        glGetShaderInfoLog(stage, kInfoLogSize, nullptr, log);
        std::cerr << "Shader compilation failed:\n" << log << std::endl;
        // The failed object is never attached to anything: release it here
        // rather than leave it behind for the life of the context.
        glDeleteShader(stage);
        return kFailedStage;
    }
    checkGlErrors(__FILE__, __LINE__);
    return stage;
}

Shader* Shader::load(const char* name) {
    checkGlErrors(__FILE__, __LINE__);
    const std::string fileName = name != nullptr ? name : "";
    const std::string path = kShaderDirectory + fileName;

    // An entry under the name exactly as given (extension included) is handed
    // back as it is. Entries are normally stored without the extension, so
    // this rarely matches; when it does, the caller still gets a usable
    // program instead of nothing.
    const auto known = shaderRegistry.find(fileName);
    if (known != shaderRegistry.end() && known->second != nullptr) {
        return known->second;
    }

    std::string text;
    if (!readWholeFile(path, text)) {
        std::cerr << "Failed to open the file: \"" << path << "\"" << std::endl;
        return nullptr;
    }

    const GLuint vertex = compileStage(text, GL_VERTEX_SHADER, {"VERTEX_SHADER"});
    const GLuint fragment = compileStage(text, GL_FRAGMENT_SHADER, {"FRAGMENT_SHADER"});

    const GLuint program = glCreateProgram();
    if (vertex != kFailedStage) {
        glAttachShader(program, vertex);
    }
    if (fragment != kFailedStage) {
        glAttachShader(program, fragment);
    }
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked == 0) {
        GLchar log[kInfoLogSize] = {};
        glGetProgramInfoLog(program, kInfoLogSize, nullptr, log);
        std::cerr << "Shader linking failed:\n" << log << std::endl;
    }
    if (vertex != kFailedStage) {
        glDeleteShader(vertex);
    }
    if (fragment != kFailedStage) {
        glDeleteShader(fragment);
    }

    auto* shader = new Shader;
    shader->programId = program;
    shaderRegistry[registryKey(fileName)] = shader;
    checkGlErrors(__FILE__, __LINE__);
    return shader;
}

void Shader::use() {
    checkGlErrors(__FILE__, __LINE__);
    glUseProgram(programId);
    checkGlErrors(__FILE__, __LINE__);
}

void Shader::setInt(const char* name, int value) {
    glProgramUniform1i(programId, uniformLocation(programId, name), value);
}

void Shader::setFloat(const char* name, float value) {
    glProgramUniform1f(programId, uniformLocation(programId, name), value);
}

void Shader::setVec2(const char* name, const Vec2& value) {
    setVec2(name, value.x, value.y);
}

void Shader::setVec2(const char* name, float x, float y) {
    glProgramUniform2f(programId, uniformLocation(programId, name), x, y);
}

void Shader::setVec3(const char* name, const Vec3& value) {
    setVec3(name, value.x, value.y, value.z);
}

void Shader::setVec3(const char* name, float x, float y, float z) {
    glProgramUniform3f(programId, uniformLocation(programId, name), x, y, z);
}

void Shader::setVec4(const char* name, const Vec4& value) {
    setVec4(name, value.x, value.y, value.z, value.w);
}

void Shader::setVec4(const char* name, float x, float y, float z, float w) {
    glProgramUniform4f(programId, uniformLocation(programId, name), x, y, z, w);
}

void Shader::setMatrix4(const char* name, const Matrix4& value) {
    glProgramUniformMatrix4fv(programId, uniformLocation(programId, name), 1, GL_FALSE,
                              value.data());
}

} // namespace velmora
