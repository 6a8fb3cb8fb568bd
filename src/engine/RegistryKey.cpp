#include "engine/RegistryKey.h"

namespace velmora {

std::string registryKey(const std::string& fileName) {
    const std::string::size_type dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

} // namespace velmora
