// SurfaceGeometry: corners, quad centres and the triangles of the surface.
// Every value is computed exactly as the drawing always has (the same
// float operations in the same order), so the picture does not change by
// a bit for having its geometry made here.

#include "scene/SurfaceGeometry.h"

#include "sim/WaterBody.h"

namespace
{

SurfaceVertex Corner(const CWaterBody& body, const SurfaceGrid& grid, size_t ci, size_t cj)
{
    size_t k = ci + cj * (grid.width - 1);
    return SurfaceVertex{float(ci + 1) * grid.dx, float(cj + 1) * grid.dy, body.cornerHeights[k],
                         body.cornerNormals[k]};
}

// The centre of the quad whose first corner is c00: mean height and mean
// normal of the four corners (not renormalised).
SurfaceVertex Centre(const SurfaceGrid& grid, const SurfaceVertex& c00, const SurfaceVertex& c10,
                     const SurfaceVertex& c01, const SurfaceVertex& c11)
{
    return SurfaceVertex{c00.x + grid.dx / 2.0f, c00.y + grid.dy / 2.0f,
                         (c00.z + c10.z + c01.z + c11.z) / 4.0f,
                         Vec3{(c00.n.x + c10.n.x + c01.n.x + c11.n.x) / 4.0f,
                              (c00.n.y + c10.n.y + c01.n.y + c11.n.y) / 4.0f,
                              (c00.n.z + c10.n.z + c01.n.z + c11.n.z) / 4.0f}};
}

void Store(float* position, float* normal, const SurfaceVertex& v)
{
    position[0] = v.x;
    position[1] = v.y;
    position[2] = v.z;
    normal[0] = v.n.x;
    normal[1] = v.n.y;
    normal[2] = v.n.z;
}

}  // namespace

SurfaceGrid SurfaceGridOf(const CWaterBody& body)
{
    SurfaceGrid grid{body.iSimulationWidth, body.iSimulationHeight, 0.0f, 0.0f};
    grid.dx = body.CellSizeX();
    grid.dy = body.CellSizeY();
    return grid;
}

namespace SurfaceGeometry
{

bool HasSurface(const CWaterBody& body, const SurfaceGrid& grid)
{
    return grid.width >= 3 && grid.height >= 3 && body.cornerHeights != nullptr &&
           body.cornerNormals != nullptr;
}

size_t CornerCount(const SurfaceGrid& grid)
{
    return (grid.width - 1) * (grid.height - 1);
}

size_t QuadCount(const SurfaceGrid& grid)
{
    return (grid.width - 2) * (grid.height - 2);
}

void QuadVertices(const CWaterBody& body, const SurfaceGrid& grid, size_t i, size_t j,
                  SurfaceVertex (&out)[SLOT_COUNT])
{
    out[C00] = Corner(body, grid, i, j - 1);
    out[C10] = Corner(body, grid, i + 1, j - 1);
    out[C01] = Corner(body, grid, i, j);
    out[C11] = Corner(body, grid, i + 1, j);
    out[CENTRE] = Centre(grid, out[C00], out[C10], out[C01], out[C11]);
}

void FillIndices(const SurfaceGrid& grid, uint32_t* indices)
{
    const size_t row = grid.width - 1;  // corners per row
    const size_t corners = CornerCount(grid);
    ForEachQuad(grid, [&](size_t quad, size_t i, size_t j) {
        uint32_t c00 = uint32_t(i + (j - 1) * row);
        uint32_t slots[SLOT_COUNT] = {c00, c00 + 1, uint32_t(c00 + row), uint32_t(c00 + row + 1),
                                      uint32_t(corners + quad)};
        for (int slot : QUAD_TRIANGLES)
            *indices++ = slots[slot];
    });
}

void FillVertices(const CWaterBody& body, const SurfaceGrid& grid, float* positions,
                  float* normals)
{
    const size_t row = grid.width - 1;
    for (size_t cj = 0; cj + 1 < grid.height; ++cj)
        for (size_t ci = 0; ci < row; ++ci)
        {
            size_t k = ci + cj * row;
            Store(&positions[3 * k], &normals[3 * k], Corner(body, grid, ci, cj));
        }
    const size_t corners = CornerCount(grid);
    ForEachQuad(grid, [&](size_t quad, size_t i, size_t j) {
        SurfaceVertex v[SLOT_COUNT];
        QuadVertices(body, grid, i, j, v);
        size_t k = corners + quad;
        Store(&positions[3 * k], &normals[3 * k], v[CENTRE]);
    });
}

std::vector<uint32_t> DryCorners(const CWaterBody& body)
{
    std::vector<uint32_t> dry;
    if (!body.HasWallMap() || !body.HasCells() || body.iSimulationWidth < 2 || body.iSimulationHeight < 2)
        return dry;
    const size_t W = body.iSimulationWidth;
    for (uint32_t y = 0; y + 1 < body.iSimulationHeight; ++y)
        for (uint32_t x = 0; x + 1 < W; ++x)
        {
            const size_t cell = x + y * W;
            if (!body.IsWaterCell(cell) && !body.IsWaterCell(cell + 1) && !body.IsWaterCell(cell + W) &&
                !body.IsWaterCell(cell + W + 1))
                dry.push_back(uint32_t(x + y * (W - 1)));
        }
    return dry;
}

void FillDryCorners(const CWaterBody& body, const std::vector<uint32_t>& dry, const float* corners,
                    std::vector<float>& out)
{
    out.assign(corners, corners + size_t(body.iSimulationWidth - 1) * (body.iSimulationHeight - 1));
    for (uint32_t i : dry)
        out[i] = body.dDefaultHeight;
}

}  // namespace SurfaceGeometry
