// Compiles and links a shader file's text the way the engine's loader does
// (a "#version 450 core" line and one stage macro in front of the text) and
// checks that the uniforms the engine sets by name are active. Needs a
// current OpenGL 4.5 context.
#pragma once

#include <GL/glew.h>

#include <string>

class ShaderCheck {
  public:
    explicit ShaderCheck(const std::string& text);

    bool ok() const { return passed; }
    // Compiler and linker messages and what was wrong; empty when all is well.
    const std::string& report() const { return messages; }
    // The linked program (0 if linking failed); the caller may draw with it.
    GLuint program() const { return linked; }

  private:
    GLuint compileStage(const std::string& text, GLenum type, const char* define);

    bool passed = true;
    std::string messages;
    GLuint linked = 0;
};
