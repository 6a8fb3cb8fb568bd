// Camera: the view and projection matrices of a frame, uploaded by name into
// the current program.
#pragma once

#include "velmora/Math.h"

namespace velmora {

class Camera {
  public:
    Camera(); // both matrices identity

    // Replaces the projection by the orthographic projection of the box
    // (left..right, bottom..top, nearPlane..farPlane). A box with an empty extent would
    // divide by zero; it leaves the projection as it was.
    void ortho(float left, float right, float bottom, float top, float nearPlane, float farPlane);

    // view = view × scaling(x, y, z).
    void scale(float x, float y, float z);

    // view = view × translation(offset).
    void translate(const Vec3& offset);

    // Brings the camera `factor` times closer (above 1) or farther (below 1)
    // while the world point `about` (camera units, on the plane z = 0) stays
    // where the picture shows it: view = view × translation(about) ×
    // scaling(factor, factor, 1) × translation(−about). A factor of 0 would
    // flatten the picture into a point; it leaves the view as it was.
    void zoom(float factor, const Vec2& about);

    // Turns the world `radians` counter-clockwise in the picture (as if the
    // camera turned the other way) about the world point `about`, which
    // stays where the picture shows it: view = view × translation(about) ×
    // rotation about z × translation(−about).
    void rotate(float radians, const Vec2& about);

    // The point of the plane z = 0 that this camera shows at `picturePoint`,
    // given in fractions of the picture ((0, 0) its lower-left corner, (1, 1)
    // its upper-right, as mousePosition() gives them): the inverse of
    // projection × view. camera.pictureToWorld(mousePosition()) is the point
    // under the cursor in the units the game draws in. A camera that
    // flattens the picture (a scale of 0) shows no single point there:
    // (0, 0).
    Vec2 pictureToWorld(const Vec2& picturePoint) const;

    // Where the picture shows the world point `worldPoint` (camera units, on
    // the plane z = 0), in fractions of the picture as pictureToWorld takes
    // them; outside 0..1 when the point is out of sight. The inverse of
    // pictureToWorld for any zoom and turn: to put a label over a world
    // object, draw it at worldToPicture(object) with a camera of its own.
    Vec2 worldToPicture(const Vec2& worldPoint) const;

    // Sets "viewMatrix" and then "projectionMatrix" in `programId`, which
    // must be the current program.
    void upload(unsigned int programId) const;

    Matrix4 view;
    Matrix4 projection;
};

} // namespace velmora
