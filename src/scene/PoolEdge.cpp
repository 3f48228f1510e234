// PoolEdge: the boxes around the water, sized from the basin and not from
// its cells, so that a fine grid still has walls that show.

#include "scene/PoolEdge.h"

#include <algorithm>

#include "scene/ScreenMesh.h"
#include "sim/WaterBody.h"

namespace
{

constexpr float WALL_THICKNESS = 0.04f;  // of the basin's larger side
constexpr float RIM_ABOVE_WATER = 0.03f; // of the basin's larger side
constexpr float DECK_REACH = 8.0f;       // basins beyond the walls, each way
constexpr float DECK_THICKNESS = 0.02f;  // of the basin's larger side
constexpr float WALL_TILE = 0.05f;       // of the basin's larger side
constexpr float DECK_TILE = 0.2f;
const Vec3 WALL_COLOUR{0.80f, 0.87f, 0.90f};  // pale glazed tiles
const Vec3 DECK_COLOUR{0.74f, 0.68f, 0.58f};  // sandstone

float BasinSize(const CWaterBody& body)
{
    return std::max(body.dSimulationSizeX, body.dSimulationSizeY);
}

}  // namespace

float PoolEdgeRim(const CWaterBody& body)
{
    return body.dDefaultHeight + RIM_ABOVE_WATER * BasinSize(body);
}

std::vector<EdgeBox> PoolEdgeBoxes(const CWaterBody& body, float bottomZ)
{
    const Camera::WaterRect water = ScreenMesh::SurfaceRect(body);
    const float size = BasinSize(body);
    const float t = WALL_THICKNESS * size, reach = DECK_REACH * size;
    const float rim = PoolEdgeRim(body), foot = std::min(bottomZ, body.dDefaultHeight) - t;
    const float x0 = water.minX, x1 = std::max(water.maxX, x0), y0 = water.minY,
                y1 = std::max(water.maxY, y0);
    const float deckFoot = rim - DECK_THICKNESS * size;
    const float wallTile = WALL_TILE * size, deckTile = DECK_TILE * size;
    std::vector<EdgeBox> boxes = {
        // Walls: left and right run the whole length, near and far fit between.
        {{x0 - t, y0 - t, foot}, {x0, y1 + t, rim}, WALL_COLOUR, wallTile},
        {{x1, y0 - t, foot}, {x1 + t, y1 + t, rim}, WALL_COLOUR, wallTile},
        {{x0, y0 - t, foot}, {x1, y0, rim}, WALL_COLOUR, wallTile},
        {{x0, y1, foot}, {x1, y1 + t, rim}, WALL_COLOUR, wallTile},
        // The deck, the same way around the walls' outer edges.
        {{x0 - t - reach, y0 - t - reach, deckFoot}, {x0 - t, y1 + t + reach, rim}, DECK_COLOUR, deckTile},
        {{x1 + t, y0 - t - reach, deckFoot}, {x1 + t + reach, y1 + t + reach, rim}, DECK_COLOUR, deckTile},
        {{x0 - t, y0 - t - reach, deckFoot}, {x1 + t, y0 - t, rim}, DECK_COLOUR, deckTile},
        {{x0 - t, y1 + t, deckFoot}, {x1 + t, y1 + t + reach, rim}, DECK_COLOUR, deckTile},
    };
    const std::vector<EdgeBox> runs = WallRunBoxes(body, foot);
    boxes.insert(boxes.end(), runs.begin(), runs.end());
    return boxes;
}

std::vector<EdgeBox> WallRunBoxes(const CWaterBody& body, float foot)
{
    std::vector<EdgeBox> boxes;
    if (!body.HasWallMap() || !body.HasCells())
        return boxes;
    const uint32_t W = body.iSimulationWidth, H = body.iSimulationHeight;
    const float dx = body.CellSizeX(), dy = body.CellSizeY();
    const float halfX = body.dSimulationSizeX * 0.5f, halfY = body.dSimulationSizeY * 0.5f;
    const float top = body.WallTop(), tile = WALL_TILE * BasinSize(body);
    for (uint32_t y = 1; y + 1 < H; ++y)
        for (uint32_t x = 1; x + 1 < W;)
        {
            if (body.IsWaterCell(x + size_t(y) * W))
            {
                ++x;
                continue;
            }
            const uint32_t first = x;
            while (x + 1 < W && !body.IsWaterCell(x + size_t(y) * W))
                ++x;
            boxes.push_back({{float(first) * dx - halfX, float(y) * dy - halfY, foot},
                             {float(x) * dx - halfX, float(y + 1) * dy - halfY, top},
                             WALL_COLOUR, tile});
        }
    return boxes;
}

void AppendBoxFaces(const EdgeBox& box, std::vector<float>& out)
{
    const Vec3 lo = box.min, hi = box.max;
    // Each face: its outward normal and its corners counter-clockwise seen
    // from outside.
    struct Face
    {
        Vec3 normal;
        Vec3 corner[4];
    };
    const Face faces[6] = {
        {{-1, 0, 0}, {{lo.x, lo.y, lo.z}, {lo.x, lo.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}}},
        {{1, 0, 0}, {{hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z}}},
        {{0, -1, 0}, {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z}}},
        {{0, 1, 0}, {{lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}}},
        {{0, 0, -1}, {{lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, lo.y, lo.z}}},
        {{0, 0, 1}, {{lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}}},
    };
    for (const Face& face : faces)
        for (int corner : {0, 1, 2, 0, 2, 3})
        {
            const Vec3& p = face.corner[corner];
            out.insert(out.end(), {p.x, p.y, p.z, face.normal.x, face.normal.y, face.normal.z,
                                   box.colour.x, box.colour.y, box.colour.z, box.tile});
        }
}
