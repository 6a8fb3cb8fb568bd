// Math: the small vector, rectangle and 4×4 matrix types of the renderer.
// Matrices are 16 floats stored column by column and handed to OpenGL as they
// are; every transform multiplies the stored matrix on the right (M = M × T),
// so the transform applied last in code acts first on the vertices.
#pragma once

#include <array>

namespace velmora {

struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;
};

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct Vec4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;
};

// An axis-aligned rectangle given by its edges, y growing upward.
struct Rect {
    float left = 0.0f;
    float bottom = 0.0f;
    float right = 0.0f;
    float top = 0.0f;
};

// Element [column][row] lives at index column * 4 + row.
using Matrix4 = std::array<float, 16>;

Matrix4 identityMatrix();

// m = m × translation(x, y, z): column 3 becomes
// column0 × x + column1 × y + column2 × z + column3.
void translateMatrix(Matrix4& m, float x, float y, float z);

// m = m × scaling(x, y, z): columns 0, 1 and 2 are multiplied by x, y and z.
void scaleMatrix(Matrix4& m, float x, float y, float z);

} // namespace velmora
