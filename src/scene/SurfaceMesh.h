// SurfaceMesh: the water surface as indexed triangles over one array of
// vertices, kept between frames; its geometry is SurfaceGeometry's.
// Graphics side.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/SurfaceGeometry.h"

class CWaterBody;

// True once per run for each kind of array: the caller logs the first
// failure to get memory for it and stays silent afterwards.
bool FirstShortage(int kind);

class SurfaceMesh
{
public:
    // The (W−2)·(H−2) corner quads of the body, four triangles each, under
    // the current matrix and state. Draws vertex by vertex (and logs it
    // once) when the arrays cannot be had; draws nothing below 3 × 3 cells.
    void Draw(const CWaterBody& body, const SurfaceGrid& grid);

private:
    bool Fit(const SurfaceGrid& grid);
    void Fill(const CWaterBody& body, const SurfaceGrid& grid);

    // Vertices: the (W−1)·(H−1) corners, entry x + y·(W−1) as in the
    // simulation, then one centre per quad in drawing order.
    std::vector<float> positions;  // 3 per vertex
    std::vector<float> normals;    // 3 per vertex
    std::vector<uint32_t> indices; // 12 per quad, built for builtWidth × builtHeight
    size_t builtWidth = 0;
    size_t builtHeight = 0;
};
