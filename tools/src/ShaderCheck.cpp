// Shader file check against a real GL driver.
#include "ShaderCheck.h"

ShaderCheck::ShaderCheck(const std::string& text) {
    if (text.find("#version") != std::string::npos) {
        // The loader prepends its own; a second one is a compile error.
        messages += "the file must not carry its own #version line\n";
        passed = false;
        return;
    }
    GLuint vs = compileStage(text, GL_VERTEX_SHADER, "VERTEX_SHADER");
    GLuint fs = compileStage(text, GL_FRAGMENT_SHADER, "FRAGMENT_SHADER");
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint status = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (!status) {
        char log[2048] = {0};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        messages += std::string("link failed:\n") + log;
        passed = false;
        glDeleteProgram(program);
        return;
    }
    linked = program;
    // The engine sets these by name; a missing one would silently do nothing.
    for (const char* name : {"modelMatrix", "viewMatrix", "projectionMatrix", "texture"}) {
        if (glGetUniformLocation(program, name) < 0) {
            messages += std::string("uniform \"") + name + "\" is not active\n";
            passed = false;
        }
    }
}

GLuint ShaderCheck::compileStage(const std::string& text, GLenum type, const char* define) {
    std::string header = std::string("#version 450 core\n#define ") + define + "\n";
    const char* sources[2] = {header.c_str(), text.c_str()};
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 2, sources, nullptr);
    glCompileShader(shader);
    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    char log[2048] = {0};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    if (!status) {
        messages += std::string(define) + " stage failed:\n" + log;
        passed = false;
    } else if (log[0]) {
        messages += std::string(define) + " stage warnings:\n" + log;
    }
    return shader;
}
