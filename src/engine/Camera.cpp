#include "velmora/Camera.h"

#include <GL/glew.h>

#include <cmath>

namespace velmora {

namespace {

// Element [column][row] of projection × view.
float combined(const Camera& camera, int column, int row) {
    float sum = 0.0f;
    for (int k = 0; k < 4; ++k) {
        sum += camera.projection[k * 4 + row] * camera.view[column * 4 + k];
    }
    return sum;
}

// m = m × linear, where `linear` acts on x and y alone as the 2×2 matrix
// [a b; c d]: columns 0 and 1 of m mix, the others stay.
void multiplyXY(Matrix4& m, float a, float b, float c, float d) {
    for (int row = 0; row < 4; ++row) {
        const float x = m[row];
        const float y = m[4 + row];
        m[row] = x * a + y * c;
        m[4 + row] = x * b + y * d;
    }
}

} // namespace

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

void Camera::zoom(float factor, const Vec2& about) {
    if (factor == 0.0f) {
        return;
    }
    translateMatrix(view, about.x, about.y, 0.0f);
    scaleMatrix(view, factor, factor, 1.0f);
    translateMatrix(view, -about.x, -about.y, 0.0f);
}

void Camera::rotate(float radians, const Vec2& about) {
    const float cosine = std::cos(radians);
    const float sine = std::sin(radians);
    translateMatrix(view, about.x, about.y, 0.0f);
    multiplyXY(view, cosine, -sine, sine, cosine);
    translateMatrix(view, -about.x, -about.y, 0.0f);
}

Vec2 Camera::pictureToWorld(const Vec2& picturePoint) const {
    // Of m = projection × view only the part that acts on x and y of the
    // plane z = 0 matters: (ndcX, ndcY) = [a b; c d] (x, y) + (tx, ty).
    const auto m = [this](int column, int row) { return combined(*this, column, row); };
    const float a = m(0, 0), b = m(1, 0), c = m(0, 1), d = m(1, 1);
    const float determinant = a * d - b * c;
    if (determinant == 0.0f) {
        return Vec2{};
    }
    const float ndcX = picturePoint.x * 2.0f - 1.0f - m(3, 0);
    const float ndcY = picturePoint.y * 2.0f - 1.0f - m(3, 1);
    return Vec2{(d * ndcX - b * ndcY) / determinant, (a * ndcY - c * ndcX) / determinant};
}

Vec2 Camera::worldToPicture(const Vec2& worldPoint) const {
    const auto ndc = [&](int row) {
        return combined(*this, 0, row) * worldPoint.x + combined(*this, 1, row) * worldPoint.y +
               combined(*this, 3, row);
    };
    return Vec2{(ndc(0) + 1.0f) * 0.5f, (ndc(1) + 1.0f) * 0.5f};
}

void Camera::upload(unsigned int programId) const {
    glUniformMatrix4fv(glGetUniformLocation(programId, "viewMatrix"), 1, GL_FALSE, view.data());
    glUniformMatrix4fv(glGetUniformLocation(programId, "projectionMatrix"), 1, GL_FALSE,
                       projection.data());
}

} // namespace velmora
