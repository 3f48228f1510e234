// Camera arithmetic of the water scene: the vector product and the moves
// that the arrow keys, Page Up / Page Down and mouse drags make. Pure
// functions on Vec3, no OpenGL, so the unit tests reach them without a
// window.
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

}  // namespace Camera
