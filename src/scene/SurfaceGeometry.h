// SurfaceGeometry: the water surface as the viewer draws it, as plain
// arrays: its vertices (every corner once, then the centre of every corner
// quad), their normals, and four triangles per quad over them. The drawing
// (SurfaceMesh) and the mesh export both take it from here, so what is
// written is what is on screen. Core library: no OpenGL.
//
// Frame: positions are measured from the basin's outer corner, as the
// drawing sends them before its translation by (−SX/2, −SY/2, 0) to the
// world; z is the water height. Corner (ci, cj) stands at ((ci+1)·dx,
// (cj+1)·dy), the point shared by cells (ci, cj) to (ci+1, cj+1).
//
// Deliberately not done: no allocation (callers own the arrays), no
// renormalised normals (a centre's normal is the plain mean of its four).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Vec3.h"

class CWaterBody;

// The cell grid of a water body, in the drawing's units.
struct SurfaceGrid
{
    size_t width;   // W cells
    size_t height;  // H cells
    float dx;       // cell size along x
    float dy;       // cell size along y
};

SurfaceGrid SurfaceGridOf(const CWaterBody& body);

struct SurfaceVertex
{
    float x, y, z;
    Vec3 n;
};

namespace SurfaceGeometry
{

// A quad's vertices in the order c00, c10, c01, c11, centre, and its four
// triangles over them, all counter-clockwise seen from +z.
enum QuadSlot { C00, C10, C01, C11, CENTRE, SLOT_COUNT };
constexpr int QUAD_TRIANGLES[12] = {C00, CENTRE, C01, C10, CENTRE, C00,
                                    C11, CENTRE, C10, C01, CENTRE, C11};

// True when the body has a surface to draw: at least 3 × 3 cells and its
// corner arrays.
bool HasSurface(const CWaterBody& body, const SurfaceGrid& grid);

// (W−1)·(H−1) corners, (W−2)·(H−2) quads; vertices are both.
size_t CornerCount(const SurfaceGrid& grid);
size_t QuadCount(const SurfaceGrid& grid);
inline size_t VertexCount(const SurfaceGrid& grid) { return CornerCount(grid) + QuadCount(grid); }

// Calls visit(quad number, i, j) for every corner quad in drawing order:
// i over corner columns 0..W−3 (outer), j over corner rows 1..H−2 (inner),
// the quad lying between columns i, i+1 and rows j−1, j.
template <typename Visit>
void ForEachQuad(const SurfaceGrid& grid, Visit visit)
{
    size_t quad = 0;
    for (size_t i = 0; i + 3 <= grid.width; ++i)
        for (size_t j = 1; j + 2 <= grid.height; ++j)
            visit(quad++, i, j);
}

// The five vertices of quad (i, j), in QuadSlot order.
void QuadVertices(const CWaterBody& body, const SurfaceGrid& grid, size_t i, size_t j,
                  SurfaceVertex (&out)[SLOT_COUNT]);

// 12 indices per quad, in drawing order, into the vertex arrays below.
void FillIndices(const SurfaceGrid& grid, uint32_t* indices);

// 3 floats per vertex each: the corners at entry x + y·(W−1), as in the
// simulation, then one centre per quad in drawing order.
void FillVertices(const CWaterBody& body, const SurfaceGrid& grid, float* positions,
                  float* normals);

// With a wall map, the corners whose four cells are all walls, at entry
// x + y·(W−1); none without one. The simulation leaves them at 0, under the
// walls: drawn as they are, the surface would slope down into the walls at
// the water's edge.
std::vector<uint32_t> DryCorners(const CWaterBody& body);

// The corner heights as drawn: `corners` with every dry corner at the water's
// rest height, so the surface meets the walls level.
void FillDryCorners(const CWaterBody& body, const std::vector<uint32_t>& dry, const float* corners,
                    std::vector<float>& out);

}  // namespace SurfaceGeometry
