// The guide's index (docs/engine.md, "## Index") as a C++ translation unit, so
// that a compiler, given the installed headers, tells whether every line of
// it still holds.
//
// The index is one code block of entries, grouped under comment lines that
// name headers ("// Shader.h, Texture.h — ..."), each entry ending at ';' and
// each line's own comment after "//":
//   bool app.init(bool fullscreen, const ApplicationSettings& s = {});
//       a call: what it returns, then the callee with typed parameters,
//       names of the prelude's variables ("batch.add(picture, x, y)"), or
//       both; "= value" marks what may be left out, "…" further arguments
//   std::size_t batch.size(), batch.capacity();   calls that return alike
//   double app.time;                              a data member
//   std::function<void(bool on)> SceneHooks::onFocus;   a member of a function type
//   Vec2, Vec3, kKeyA … kKeyZ, kMouseLeft, …      names the headers declare
// Each becomes a check at the entry's own line of the guide (#line), so a
// compiler's error names the line to fix. An entry that fits none of these
// forms becomes an #error: nothing in the block is passed over.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct IndexCheck {
    std::string source;               // the translation unit
    int checks = 0;                   // calls, members and names it checks
    std::vector<std::string> headers; // velmora/X.h that the group lines name
};

// `markdown` is the guide's text, `shownAs` the file name that errors give.
IndexCheck translateGuideIndex(const std::string& markdown, const std::string& shownAs);

// Compiles `source` for syntax only against the headers in `includeDir`.
// Returns the compiler's messages; `exitCode` receives its status.
std::string compileSyntaxOnly(const std::string& source, const std::string& includeDir,
                              int* exitCode);

// Installs the engine alone (headers, library, CMake and pkg-config files)
// from the build tree into `prefix`, as a game's developer would. Returns
// false, with cmake's output in `log`, when that fails.
bool installEngine(const std::string& prefix, std::string* log);

} // namespace testsupport
