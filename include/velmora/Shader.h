// Shader: one linked OpenGL program built from a single GLSL file that holds
// both stages. Each stage is compiled from the whole file behind a generated
// header that selects it with a define; programs are registered by short name.
#pragma once

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

    // Sets an integer uniform of this program, which must be current. A name
    // the program lacks is ignored silently.
    void setInt(const char* name, int value);

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
