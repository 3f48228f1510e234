// How finely the shaded look cuts the water surface: a regular mesh over
// the surface whose vertex count follows the basin's size on screen, not
// the grid. About one vertex every PIXELS_PER_VERTEX pixels of the basin's
// edges as the window shows them, never more vertices than the grid has
// corners, and never more than the window's size calls for (a camera close
// to the water spreads the same vertices wider). Pure arithmetic, no
// OpenGL, so the unit tests reach it.
//
// Deliberately not done: no finer cut near the eye and coarser far away
// (the mesh is uniform; the shading finds the ripples per pixel in the
// height texture, whatever the mesh).
#pragma once

#include <cstdint>

#include "scene/Camera.h"

class CWaterBody;

namespace ScreenMesh
{

constexpr float PIXELS_PER_VERTEX = 12.0f;
// Vertex counts are rounded up to one more than a multiple of this, so
// that a camera moving a little does not rebuild the mesh every frame.
constexpr uint32_t ROUNDING = 16;

// Vertices along x and along y.
struct Size
{
    uint32_t x;
    uint32_t y;
};

// The water surface as every look draws it: from the first corner to the
// last in each direction (corner i at (i + 1)·dx − SX/2), at the height of
// rest. Empty (min above max) along an axis with fewer than 2 corners.
Camera::WaterRect SurfaceRect(const CWaterBody& body);

// The mesh for `water` seen through `viewProjection` (column by column, as
// OpenGL stores it) in a viewport of width × height pixels, over a grid of
// cornersX × cornersY corners. At least 2 along an axis that has 2
// corners, and exactly the corners when there are fewer.
Size Choose(const float viewProjection[16], int width, int height, const Camera::WaterRect& water,
            uint32_t cornersX, uint32_t cornersY);

}  // namespace ScreenMesh
