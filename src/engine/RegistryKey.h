// RegistryKey: the short name under which a loaded asset is registered.
#pragma once

#include <string>

namespace velmora {

// `fileName` with everything from its last "." removed ("textured.glsl" gives
// "textured", "a.b.png" gives "a.b", ".glsl" gives ""); a name without "."
// is its own key.
std::string registryKey(const std::string& fileName);

} // namespace velmora
