// The edge of the pool as the shaded look draws it around the water, made
// of solid axis-aligned boxes: the four side walls of the basin, standing
// on the outer cells from below the bottom to a rim above the water, and
// a deck level with the rim reaching out toward the horizon. Walls inside
// the basin (a wall map's) are more boxes of the same kind, drawn the same
// way, one per run of wall cells along a row. Pure geometry, no OpenGL, so
// the unit tests reach it.
//
// Deliberately not done: no merging of runs across rows, no boxes for the
// border cells (the side walls stand there).
#pragma once

#include <vector>

#include "common/Vec3.h"

class CWaterBody;

struct EdgeBox
{
    Vec3 min;     // world units
    Vec3 max;
    Vec3 colour;  // red, green, blue in 0..1, before lighting
    float tile;   // side of its tiles, world units
};

// The walls are PoolEdgeWallThickness thick, outward from the water's
// edges, their tops (and the deck's) PoolEdgeRimHeight above the water at
// rest; `bottomZ` is the lowest point of the bottom, in world units.
std::vector<EdgeBox> PoolEdgeBoxes(const CWaterBody& body, float bottomZ);

// The top of the walls and of the deck, world z.
float PoolEdgeRim(const CWaterBody& body);

// With a wall map, one box per run of interior wall cells along x, each
// cell where the drawing places it, from `foot` up to the wall top; none
// without a map. Both looks draw these.
std::vector<EdgeBox> WallRunBoxes(const CWaterBody& body, float foot);

// The faces of `box` as triangles, 36 vertices of EDGE_VERTEX_FLOATS
// floats each (position, outward unit normal, colour, tile size),
// counter-clockwise seen from outside; appended to `out`.
constexpr int EDGE_VERTEX_FLOATS = 10;
void AppendBoxFaces(const EdgeBox& box, std::vector<float>& out);
