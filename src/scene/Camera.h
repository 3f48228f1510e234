// Camera arithmetic of the water scene: the vector product, the moves
// that the arrow keys, Page Up / Page Down and mouse drags make, and the
// point of the water under a pixel. Pure functions on Vec3, no OpenGL, so
// the unit tests reach them without a window.
//
// Deliberately not done: nothing is renormalised (the scene keeps its
// direction and up vectors at whatever length they have), and nothing is
// clamped. A move whose result would not be finite is refused instead, so
// the camera never holds a NaN or an infinity.
#pragma once

#include "common/Vec3.h"

namespace Camera
{

// (a.y·b.z − a.z·b.y, a.z·b.x − a.x·b.z, a.x·b.y − a.y·b.x); Cross(dir, up)
// points to the right-hand side of the view.
Vec3 Cross(const Vec3& a, const Vec3& b);

// Left: eye += step · Cross(dir, up); Right: eye −= step · Cross(dir, up).
// False (eye unchanged) when the result would not be finite.
bool MoveLeft(Vec3& eye, const Vec3& dir, const Vec3& up, float step);
bool MoveRight(Vec3& eye, const Vec3& dir, const Vec3& up, float step);

// Forward and back parallel to the x-y plane, `step` units whatever the
// pitch. False (eye unchanged) when the camera looks straight up or down:
// the view then has no horizontal direction to move along.
bool MoveForward(Vec3& eye, const Vec3& dir, float step);
bool MoveBackward(Vec3& eye, const Vec3& dir, float step);

// Along the world z axis.
bool MoveUp(Vec3& eye, float step);
bool MoveDown(Vec3& eye, float step);

// A drag from (lastX, lastY) to (x, y), window pixels, turning the view by
// `radiansPerPixel` per pixel: first a pitch in the plane of dir and up
// (dragging upwards tilts the view down), then a turn of both vectors
// about the world z axis (dragging right turns clockwise seen from above).
// False (vectors unchanged) when the result would not be finite.
bool Drag(Vec3& dir, Vec3& up, int lastX, int lastY, int x, int y, float radiansPerPixel);

// The picture as the scene draws it: the projection of CGraphics::Reshape
// (gluPerspective of fovDegrees, vertical, which may be negative and then
// turns the picture by half a turn; aspect width / height) and the view of
// CWaterScene::Display (gluLookAt from eye towards eye + dir, with up).
struct View
{
    Vec3 eye;
    Vec3 dir;
    Vec3 up;
    float fovDegrees;
    int width;   // pixels
    int height;
};

// A horizontal rectangle of water at height z, world units.
struct WaterRect
{
    float z;
    float minX, maxX;
    float minY, maxY;
};

// Casts the ray from the eye through the centre of window pixel (px, py),
// counted from the top-left corner with y down as GLUT gives it, to the
// plane of `water`. True, with the point in *x and *y, when the ray meets
// the plane in front of the eye within the rectangle. False when the eye
// is not above the plane (the surface is drawn only from above), when the
// ray does not go down to it, when the point lies outside, and for a view
// with no picture (no size, a field of view of 0 or 180 degrees, a
// direction of no length or along the up vector).
bool PickWater(const View& view, int px, int py, const WaterRect& water, float* x, float* y);

}  // namespace Camera
