// Reference grid stages (see the header). Kept short and literal: every
// expression is written in the order and precision the fast stages must
// reproduce to the bit.
#include "ReferenceStages.h"

#include <cmath>

namespace
{

Cell& CellAt(CWaterBody& b, uint32_t x, uint32_t y)
{
    return b.cells[x + y * b.iSimulationWidth];
}

}  // namespace

void ReferenceUpdatePipes(CWaterBody& b, double dt)
{
    const uint32_t W = b.iSimulationWidth, H = b.iSimulationHeight;
    b.bPressureCleared = false;  // the object pass must clear them itself
    for (uint32_t i = 0; i < W * H; ++i)
        for (bool& done : b.cells[i].pipeDone)
            done = false;
    for (uint32_t x = 1; x + 1 < W; ++x)
    {
        for (uint32_t y = 1; y + 1 < H; ++y)
        {
            Cell& C = CellAt(b, x, y);
            C.volumeChange = 0;
            for (int k = 0; k < 8; ++k)
            {
                Cell& N = CellAt(b, x + b.neighbourOffsets[k], y + b.neighbourOffsets[8 + k]);
                if (!C.pipeDone[k])
                {
                    if (N.kind == CELL_WATER)
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
            Cell& C = CellAt(b, x, y);
            if (C.kind != CELL_WALL)
                C.height += (1.0f / b.fCellArea) * C.volumeChange;
        }
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
            const Cell* around[4] = {&CellAt(b, x, y), &CellAt(b, x, y + 1), &CellAt(b, x + 1, y),
                                     &CellAt(b, x + 1, y + 1)};
            float sum = 0;
            int count = 0;
            for (const Cell* c : around)
                if (c->kind == CELL_WATER)
                {
                    sum += c->height;
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
