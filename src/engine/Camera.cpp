#include "velmora/Camera.h"

#include <GL/glew.h>

namespace velmora {

Camera::Camera() : view(identityMatrix()), projection(identityMatrix()) {}

void Camera::ortho(float left, float right, float bottom, float top, float nearPlane,
                   float farPlane) {
    const float width = right - left;
    const float height = top - bottom;
    const float depth = farPlane - nearPlane;
    if (width == 0.0f || height == 0.0f || depth == 0.0f) {
        return;
    }
    projection = Matrix4{};
    projection[0] = 2.0f / width;
    projection[5] = 2.0f / height;
    projection[10] = -2.0f / depth;
    projection[12] = -(right + left) / width;
    projection[13] = -(top + bottom) / height;
    projection[14] = -(farPlane + nearPlane) / depth;
    projection[15] = 1.0f;
}

void Camera::scale(float x, float y, float z) {
    scaleMatrix(view, x, y, z);
}

void Camera::translate(const Vec3& offset) {
    translateMatrix(view, offset.x, offset.y, offset.z);
}

void Camera::upload(unsigned int programId) const {
    glUniformMatrix4fv(glGetUniformLocation(programId, "viewMatrix"), 1, GL_FALSE, view.data());
    glUniformMatrix4fv(glGetUniformLocation(programId, "projectionMatrix"), 1, GL_FALSE,
                       projection.data());
}

} // namespace velmora
