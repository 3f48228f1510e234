// Reference grid stages (see the header). Kept short and literal: every
// expression is written in the order and precision the fast stages must
// reproduce to the bit.
#include "ReferenceStages.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace
{

// One cell with the fields the pipe stage is defined on, in their order.
struct PlainCell
{
    float height;
    float flow[8];
    bool pipeDone[8];
    float pressure;
    float volumeChange;
    bool water;
};

// Calls visit(i, j, k, n) for every pipe the body stores, cell i toward
// direction k = PIPE_DIRECTIONS[j], with the neighbour n in the grid.
template <class Visit>
void ForEachStoredPipe(const CWaterBody& b, Visit visit)
{
    const uint32_t W = b.iSimulationWidth, H = b.iSimulationHeight;
    for (uint32_t y = 0; y < H; ++y)
        for (uint32_t x = 0; x < W; ++x)
            for (int j = 0; j < PIPE_COUNT; ++j)
            {
                const int k = PIPE_DIRECTIONS[j];
                const int64_t nx = int64_t(x) + b.neighbourOffsets[k];
                const int64_t ny = int64_t(y) + b.neighbourOffsets[8 + k];
                if (nx >= 0 && ny >= 0 && nx < W && ny < H)
                    visit(x + size_t(y) * W, j, k, size_t(nx) + size_t(ny) * W);
            }
}

bool IsInterior(const CWaterBody& b, size_t i)
{
    const size_t x = i % b.iSimulationWidth, y = i / b.iSimulationWidth;
    return x >= 1 && y >= 1 && x + 1 < b.iSimulationWidth && y + 1 < b.iSimulationHeight;
}

// Each pipe is stored once, at its earlier cell toward k in {2, 3, 6, 7};
// the records hold it at both ends, the later end with the opposite sign.
// Pipes out of the grid hold 0.
std::vector<PlainCell> RecordsOf(const CWaterBody& b)
{
    std::vector<PlainCell> cells(size_t(b.iSimulationWidth) * b.iSimulationHeight, PlainCell{});
    for (size_t i = 0; i < cells.size(); ++i)
    {
        cells[i].height = b.cellHeights[i];
        cells[i].pressure = b.cellPressures[i];
        cells[i].water = b.waterMask[i] != 0;
    }
    ForEachStoredPipe(b, [&](size_t i, int j, int k, size_t n)
    {
        cells[i].flow[k] = b.pipeFlows[j][i];
        cells[n].flow[7 - k] = -b.pipeFlows[j][i];
    });
    return cells;
}

// Back into the body: the heights, and each pipe as its earlier end holds
// it when that cell was visited, else as the later end holds it (negated),
// else as it was (a pipe along the border, which no loop visits).
void WriteBack(CWaterBody& b, const std::vector<PlainCell>& cells)
{
    for (size_t i = 0; i < cells.size(); ++i)
        b.cellHeights[i] = cells[i].height;
    ForEachStoredPipe(b, [&](size_t i, int j, int k, size_t n)
    {
        if (IsInterior(b, i))
            b.pipeFlows[j][i] = cells[i].flow[k];
        else if (IsInterior(b, n))
            b.pipeFlows[j][i] = -cells[n].flow[7 - k];
    });
}

}  // namespace

void ReferenceUpdatePipes(CWaterBody& b, double dt)
{
    const uint32_t W = b.iSimulationWidth, H = b.iSimulationHeight;
    std::vector<PlainCell> cells = RecordsOf(b);
    auto CellAt = [&](uint32_t x, uint32_t y) -> PlainCell& { return cells[x + size_t(y) * W]; };
    for (PlainCell& cell : cells)
        for (bool& done : cell.pipeDone)
            done = false;
    for (uint32_t x = 1; x + 1 < W; ++x)
    {
        for (uint32_t y = 1; y + 1 < H; ++y)
        {
            PlainCell& C = CellAt(x, y);
            C.volumeChange = 0;
            for (int k = 0; k < 8; ++k)
            {
                PlainCell& N = CellAt(x + b.neighbourOffsets[k], y + b.neighbourOffsets[8 + k]);
                if (!C.pipeDone[k])
                {
                    if (C.water && N.water)
                    {
                        C.flow[k] += dt * b.fPipeCrossSection *
                                     (b.fDensityGravity * (C.height - N.height) + C.pressure -
                                      N.pressure) /
                                     b.fDensityPipeLength;
                        double d = 1 - b.dFriction * dt;
                        if (d < 0)
                            d = 0;
                        C.flow[k] *= d;
                        C.pipeDone[k] = true;
                        N.pipeDone[7 - k] = true;
                        N.flow[7 - k] = -C.flow[k];
                    }
                    else
                        C.flow[k] = 0;
                }
                C.volumeChange -= C.flow[k] * dt;
            }
        }
    }
    for (uint32_t x = 1; x + 1 < W; ++x)
        for (uint32_t y = 1; y + 1 < H; ++y)
        {
            PlainCell& C = CellAt(x, y);
            if (C.water)
                C.height += (1.0f / b.fCellArea) * C.volumeChange;
        }
    WriteBack(b, cells);
}

void ReferenceUpdateCornerHeights(CWaterBody& b)
{
    const uint32_t W = b.iSimulationWidth, H = b.iSimulationHeight;
    for (uint32_t x = 0; x + 1 < W; ++x)
    {
        for (uint32_t y = 0; y + 1 < H; ++y)
        {
            const uint32_t i = x + y * (W - 1);
            b.previousCornerHeights[i] = b.cornerHeights[i];
            const size_t around[4] = {x + y * W, x + (y + 1) * W, x + 1 + y * W,
                                      x + 1 + (y + 1) * W};
            float sum = 0;
            int count = 0;
            for (size_t c : around)
                if (b.waterMask[c])
                {
                    sum += b.cellHeights[c];
                    ++count;
                }
            float average = count > 0 ? sum / count : 0;
            b.cornerHeights[i] = average > 0 ? average : 0;
        }
    }
}

void ReferenceUpdateCornerNormals(CWaterBody& b)
{
    const uint32_t W = b.iSimulationWidth, H = b.iSimulationHeight;
    const float dx = b.dSimulationSizeX / W, dy = b.dSimulationSizeY / H;
    auto c = [&](uint32_t x, uint32_t y) { return b.cornerHeights[x + y * (W - 1)]; };
    for (uint32_t x = 0; x + 1 < W; ++x)
    {
        for (uint32_t y = 0; y + 1 < H; ++y)
        {
            Vec3 n;
            int terms = 0;
            auto add = [&](float gx, float gy)
            {
                n.x += -gx * dy;
                n.y += -gy * dx;
                n.z += dx * dy;
                ++terms;
            };
            if (x != W - 2 && y != H - 2)
                add(c(x + 1, y) - c(x, y), c(x, y + 1) - c(x, y));
            if (x != W - 2 && y != 0)
                add(c(x + 1, y) - c(x, y), c(x, y) - c(x, y - 1));
            if (x != 0 && y != H - 2)
                add(c(x, y) - c(x - 1, y), c(x, y + 1) - c(x, y));
            if (x != 0 && y != 0)
                add(c(x, y) - c(x - 1, y), c(x, y) - c(x, y - 1));
            Vec3& out = b.cornerNormals[x + y * (W - 1)];
            if (terms == 0)
            {
                out = Vec3{0, 0, 1};  // no quadrant: upright rather than 0/0
                continue;
            }
            const float scale = 1.0f / std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            out = Vec3{n.x * scale, n.y * scale, n.z * scale};
        }
    }
}

void ReferenceStep(CWaterBody& b, double dt)
{
    b.dElapsedTime += dt;
    b.FireEvents();
    ReferenceUpdatePipes(b, dt);
    ReferenceUpdateCornerHeights(b);
    b.ThrowParticlesCornerByCorner(dt);
    ReferenceUpdateCornerNormals(b);
    b.MoveObjects(dt);
}
