// Shader: one linked OpenGL program built from a single GLSL file that holds
// both stages. Each stage is compiled from the whole file behind a generated
// header that selects it with a define; programs are registered by short name.
#pragma once

#include "velmora/Math.h"

#include <map>
#include <string>
#include <vector>

namespace velmora {

class Shader {
  public:
    // Reads "data/shaders/" + `name` ("data" being the settings'
    // dataDirectory, see Application.h), compiles the vertex and the fragment
    // stage, links them and registers the result under `name` without its
    // extension. Returns null only when the file cannot be opened; a program
    // that failed to compile or link is still returned (and reported on
    // standard error). Needs a current context.
    static Shader* load(const char* name);

    // Makes the program current; OpenGL errors around the switch are reported.
    void use();

    // The setters write one uniform of this program, looked up by `name` at
    // every call, straight into the program (glProgramUniform*): it need not
    // be current, and no binding or current program changes. The value
    // stays until set again or the program is linked anew. A name the
    // program lacks (misspelt, or dropped by the compiler because nothing
    // reads it) and a null name are ignored silently. A value of another
    // type than the uniform's (setFloat on an int), and any setter on a
    // program that failed to link, set nothing: OpenGL records
    // GL_INVALID_OPERATION, which the next checkGlErrors reports.

    // An int, or a sampler's texture unit.
    void setInt(const char* name, int value);
    void setFloat(const char* name, float value);
    // A vec2, vec3 or vec4, from the engine's vector or from plain floats.
    void setVec2(const char* name, const Vec2& value);
    void setVec2(const char* name, float x, float y);
    void setVec3(const char* name, const Vec3& value);
    void setVec3(const char* name, float x, float y, float z);
    void setVec4(const char* name, const Vec4& value);
    void setVec4(const char* name, float x, float y, float z, float w);
    // A mat4, column by column as Matrix4 keeps it, untransposed.
    void setMatrix4(const char* name, const Matrix4& value);

    unsigned int programId = 0;
};

// Name -> program, by file name without extension ("textured").
extern std::map<std::string, Shader*> shaderRegistry;

// Stands in for a shader object name when a stage failed to compile.
constexpr unsigned int kFailedStage = 0xFFFFFFFFu;

// "#version 450 core\n" followed by "#define <define>\n" for each define.
std::string stageHeader(const std::vector<std::string>& defines);

// Compiles `text` as the stage `stageType` (GL_VERTEX_SHADER or
// GL_FRAGMENT_SHADER) behind the header for `defines`. Returns the shader
// object, or kFailedStage after printing the compiler's log.
unsigned int compileStage(const std::string& text, unsigned int stageType,
                          const std::vector<std::string>& defines);

} // namespace velmora
