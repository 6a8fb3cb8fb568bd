// Reads OpenGL buffer objects back, so that tests check what was really
// uploaded rather than the lists it was built from.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport {

// The size of a buffer's data store in bytes.
int bufferSize(unsigned int buffer);

// The whole data store as floats or as unsigned 32-bit integers.
std::vector<float> bufferFloats(unsigned int buffer);
std::vector<std::uint32_t> bufferUints(unsigned int buffer);

} // namespace testsupport
