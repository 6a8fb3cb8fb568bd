#include "support/Buffers.h"

#include <GL/glew.h>

namespace testsupport {

int bufferSize(unsigned int buffer) {
    GLint size = 0;
    glGetNamedBufferParameteriv(buffer, GL_BUFFER_SIZE, &size);
    return size;
}

namespace {

template <typename T> std::vector<T> readBuffer(unsigned int buffer) {
    std::vector<T> values(static_cast<size_t>(bufferSize(buffer)) / sizeof(T));
    if (!values.empty()) {
        glGetNamedBufferSubData(buffer, 0, static_cast<GLsizeiptr>(values.size() * sizeof(T)),
                                values.data());
    }
    return values;
}

} // namespace

std::vector<float> bufferFloats(unsigned int buffer) {
    return readBuffer<float>(buffer);
}

std::vector<std::uint32_t> bufferUints(unsigned int buffer) {
    return readBuffer<std::uint32_t>(buffer);
}

} // namespace testsupport
