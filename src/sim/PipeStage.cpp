// The pipe stage (stage 2 of the step): the row kernels that update the
// pipes and then the heights, and CWaterBody::UpdatePipes, which runs them
// over the grid through the banded sweep (GridSweeps.cpp).
//
// What the kernels reproduce, to the bit, is the plain loop over the
// interior cells C, x outer, y inner, which updates each pipe of C not yet
// updated in this step, then sums C's eight flows into its volume change.
// Unrolled, that loop gives each pipe an owner: the earlier of its two
// cells when that one is interior and both are water, else the later one
// when it is interior and both are water; a pipe with a wall at either end
// has no owner and carries 0 at each interior end. The two ends of an
// updated pipe hold opposite flows, so one value per pipe holds both.
//
// Layout: each pipe is stored once, at its earlier cell, as the flow from
// there toward PIPE_DIRECTIONS[j]; its flow as seen from the later cell is
// the negative. Where only the later cell is interior and the pipe has no
// owner, the stored value is −0, so that the later cell sees the +0 its
// loop would have written: a signed zero can reach the heights through a
// volume change that rounded to −0.
//
// Deliberately not done: no reordering of any sum, no reciprocal in place
// of a division, no fused multiply-add (the build forbids contraction).
#include <bit>
#include <cstring>

#include "sim/GridKernels.h"
#include "sim/GridSweeps.h"
#include "sim/WaterBody.h"

namespace
{

// New flow of a pipe from the cell (hFrom, pFrom) toward (hTo, pTo), volume
// per second positive leaving the first: accelerated by the difference of
// hydrostatic plus external pressure, then damped. The float/double mix is
// fixed: the drive a float, the increment a double, each flow a float.
inline float AcceleratedFlow(const PipeConstants& c, float flow, float hFrom, float pFrom, float hTo,
                             float pTo)
{
    float drive = c.densityGravity * (hFrom - hTo) + pFrom - pTo;
    float accelerated = static_cast<float>(flow + c.crossSectionDt * drive / c.densityPipeLength);
    return static_cast<float>(accelerated * c.damping);
}

// The pipe stored at cell (x, y) toward PIPE_DIRECTIONS[j], for cells of
// any kind, owned as the header says.
void UpdatePipeOfAnyKinds(const GridArrays& g, const PipeConstants& c, uint32_t x, uint32_t y, int j)
{
    const int k = PIPE_DIRECTIONS[j];
    const int64_t nx = int64_t(x) + DIRECTION_TABLE[k], ny = int64_t(y) + DIRECTION_TABLE[8 + k];
    if (nx < 0 || ny < 0 || nx >= g.W || ny >= g.H)
        return;
    const bool fromInterior = g.IsInterior(x, y);
    const bool toInterior = g.IsInterior(uint32_t(nx), uint32_t(ny));
    const size_t a = x + size_t(y) * g.W, b = size_t(nx) + size_t(ny) * g.W;
    float& flow = g.flow[j][a];
    // Walls never move, so their pipes carry nothing: water that flowed
    // into a wall would be lost, since the wall keeps its height.
    const bool bothWater = g.water[a] && g.water[b];
    if (fromInterior && bothWater)
        flow = AcceleratedFlow(c, flow, g.height[a], g.pressure[a], g.height[b], g.pressure[b]);
    else if (toInterior && bothWater)
        flow = -AcceleratedFlow(c, -flow, g.height[b], g.pressure[b], g.height[a], g.pressure[a]);
    else if (fromInterior)
        flow = 0.0f;
    else if (toInterior)
        flow = -0.0f;
}

// The pipes toward one direction of n interior cells whose neighbours that
// way are interior water cells: hA, pA from the first cell, hB, pB from its
// neighbour. One direction at a time: the four in one loop keep too many
// values live at once and run slower.
RIPPLEX_VECTOR_CLONES
void AcceleratePipes(size_t n, const float* __restrict hA, const float* __restrict pA,
                     const float* __restrict hB, const float* __restrict pB,
                     float* __restrict flow, PipeConstants c)
{
    for (size_t i = 0; i < n; ++i)
        flow[i] = AcceleratedFlow(c, flow[i], hA[i], pA[i], hB[i], pB[i]);
}

// The same for interior cells whose neighbours may lie on the border: a
// pipe toward a wall there carries 0, one toward water there belongs to
// this cell. The w* masks are those of the neighbours (wUp, wDown from the
// same column as the cell, wHere the cell's own row).
RIPPLEX_VECTOR_CLONES
void AcceleratePipesNearBorder(size_t n, const float* __restrict h, const float* __restrict p,
                               const float* __restrict hUp, const float* __restrict pUp,
                               const float* __restrict hDown, const float* __restrict pDown,
                               const uint8_t* __restrict wUp, const uint8_t* __restrict wHere,
                               const uint8_t* __restrict wDown, float* __restrict f2,
                               float* __restrict f3, float* __restrict f6, float* __restrict f7,
                               PipeConstants c)
{
    for (size_t i = 0; i < n; ++i)
    {
        const float hA = h[i], pA = p[i];
        const float n2 = AcceleratedFlow(c, f2[i], hA, pA, hUp[i + 1], pUp[i + 1]);
        const float n3 = AcceleratedFlow(c, f3[i], hA, pA, h[i + 1], p[i + 1]);
        const float n6 = AcceleratedFlow(c, f6[i], hA, pA, hDown[i], pDown[i]);
        const float n7 = AcceleratedFlow(c, f7[i], hA, pA, hDown[i + 1], pDown[i + 1]);
        f2[i] = wUp[i + 1] ? n2 : 0.0f;
        f3[i] = wHere[i + 1] ? n3 : 0.0f;
        f6[i] = wDown[i] ? n6 : 0.0f;
        f7[i] = wDown[i + 1] ? n7 : 0.0f;
    }
}

// Volume changes and new heights of n interior cells of any kinds: the
// eight flows in direction order, those toward 0, 1, 4, 5 the negatives of
// the pipes stored at those neighbours (f7Up, f6Up of the row before, f3 of
// the cell before, f2Down of the row after, each pointer at the cell's own
// column). The volume change is a float, each flow times dt taken away in
// double. A wall keeps its height.
RIPPLEX_VECTOR_CLONES
void SettleCellsOfAnyKinds(size_t n, const float* __restrict f2, const float* __restrict f3,
                           const float* __restrict f6, const float* __restrict f7,
                           const float* __restrict f7Up, const float* __restrict f6Up,
                           const float* __restrict f2Down, const uint8_t* __restrict wUp,
                           const uint8_t* __restrict wHere, const uint8_t* __restrict wDown,
                           float* __restrict h, double dt, float inverseArea)
{
    // The neighbours before each cell, index i − 1 of the row pointers
    // (valid: the callers' rows start one cell in).
    const float* f7UpLeft = f7Up - 1;
    const float* f3Left = f3 - 1;
    const float* f2DownLeft = f2Down - 1;
    const uint8_t* wUpLeft = wUp - 1;
    const uint8_t* wLeft = wHere - 1;
    const uint8_t* wDownLeft = wDown - 1;
    for (size_t i = 0; i < n; ++i)
    {
        // Toward a wall a water cell sees the +0 it wrote itself, whatever
        // the sign of the zero stored at the other end.
        const float forward2 = wUp[i + 1] ? f2[i] : 0.0f;
        const float forward3 = wHere[i + 1] ? f3[i] : 0.0f;
        const float forward6 = wDown[i] ? f6[i] : 0.0f;
        const float forward7 = wDown[i + 1] ? f7[i] : 0.0f;
        const float back0 = wUpLeft[i] ? -f7UpLeft[i] : 0.0f;
        const float back1 = wUp[i] ? -f6Up[i] : 0.0f;
        const float back4 = wLeft[i] ? -f3Left[i] : 0.0f;
        const float back5 = wDownLeft[i] ? -f2DownLeft[i] : 0.0f;
        const float flows[8] = {back0, back1, forward2, forward3, back4, back5, forward6, forward7};
        float change = 0.0f;
        for (float flow : flows)
            change = static_cast<float>(change - flow * dt);
        const float settled = h[i] + inverseArea * change;
        h[i] = wHere[i] ? settled : h[i];
    }
}

// The same for n interior cells whose later neighbours are all water (or
// border walls, whose pipes hold 0): no mask to read, every cell water.
RIPPLEX_VECTOR_CLONES
void SettlePlainCells(size_t n, const float* __restrict f2, const float* __restrict f3,
                      const float* __restrict f6, const float* __restrict f7,
                      const float* __restrict f7Up, const float* __restrict f6Up,
                      const float* __restrict f2Down, float* __restrict h, double dt,
                      float inverseArea)
{
    const float* f7UpLeft = f7Up - 1;  // index i − 1, as above
    const float* f3Left = f3 - 1;
    const float* f2DownLeft = f2Down - 1;
    for (size_t i = 0; i < n; ++i)
    {
        const float flows[8] = {-f7UpLeft[i], -f6Up[i], f2[i],  f3[i],
                                -f3Left[i],   -f2DownLeft[i], f6[i], f7[i]};
        float change = 0.0f;
        for (float flow : flows)
            change = static_cast<float>(change - flow * dt);
        h[i] = h[i] + inverseArea * change;
    }
}

// Sum of the water cells' values, eight float lanes each adding its own
// values in order, then the lanes in a double: the watch needs the total to
// a few digits, and a value that is not finite turns it so too.
RIPPLEX_VECTOR_CLONES
double SumOfWater(size_t n, const float* __restrict values, const uint8_t* __restrict water)
{
    float lanes[8] = {};
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (int j = 0; j < 8; ++j)
        {
            const float value = values[i + j];  // loaded either way: a blend, not a branch
            lanes[j] += water[i + j] ? value : 0.0f;
        }
    double sum = 0.0;
    for (; i < n; ++i)
        if (water[i])
            sum += values[i];
    for (float lane : lanes)
        sum += lane;
    return sum;
}

// Interior cells all water.
RIPPLEX_VECTOR_CLONES
bool AllWater(size_t n, const uint8_t* __restrict water)
{
    uint8_t lowest = 0xFF;
    for (size_t i = 0; i < n; ++i)
        lowest = water[i] < lowest ? water[i] : lowest;
    return lowest != 0;
}

}  // namespace

GridArrays ArraysOf(CWaterBody& b)
{
    return GridArrays{b.cellHeights,
                      b.cellPressures,
                      {b.pipeFlows[0], b.pipeFlows[1], b.pipeFlows[2], b.pipeFlows[3]},
                      b.waterMask,
                      b.iSimulationWidth,
                      b.iSimulationHeight};
}

PipeConstants PipeConstantsFor(const CWaterBody& b, double dt)
{
    PipeConstants c;
    c.dt = dt;
    c.crossSectionDt = dt * b.fPipeCrossSection;
    c.densityPipeLength = b.fDensityPipeLength;
    const double damping = 1 - b.dFriction * dt;
    c.damping = damping < 0 ? 0 : damping;
    c.densityGravity = b.fDensityGravity;
    c.inverseArea = 1.0f / b.fCellArea;
    return c;
}

bool IsPlainRow(const GridArrays& g, uint32_t y)
{
    if (y == 0 || y + 1 >= g.H || g.W < 3)
        return true;
    return AllWater(g.W - 2, g.water + size_t(y) * g.W + 1);
}

void UpdatePipesOfRow(const GridArrays& g, const PipeConstants& c, uint32_t y, bool plain)
{
    const uint32_t W = g.W, H = g.H;
    if (!plain || y == 0 || y + 1 >= H || W < 3)
    {
        for (uint32_t x = 0; x < W; ++x)
            for (int j = 0; j < PIPE_COUNT; ++j)
                UpdatePipeOfAnyKinds(g, c, x, y, j);
        return;
    }
    // Column 0 is border: its pipes toward the interior belong to the cells
    // there. Column W − 1 stores none that any interior cell reaches.
    for (int j = 0; j < PIPE_COUNT; ++j)
        UpdatePipeOfAnyKinds(g, c, 0, y, j);
    const size_t at = size_t(y) * W + 1, up = at - W, down = at + W;
    // Rows y − 1 and y + 1 interior: every neighbour of x = 1 .. W − 3 is an
    // interior water cell; x = W − 2 reaches the border column.
    const size_t inner = y >= 2 && y + 3 <= H ? W - 3 : 0;
    float* const* f = g.flow;
    // Neighbours toward 2, 3, 6, 7: up and right, right, down, down and right.
    const size_t toward[PIPE_COUNT] = {up + 1, at + 1, down, down + 1};
    for (int j = 0; j < PIPE_COUNT; ++j)
        AcceleratePipes(inner, g.height + at, g.pressure + at, g.height + toward[j],
                        g.pressure + toward[j], f[j] + at, c);
    const size_t rest = at + inner, restUp = rest - W, restDown = rest + W;
    AcceleratePipesNearBorder(W - 2 - inner, g.height + rest, g.pressure + rest, g.height + restUp,
                              g.pressure + restUp, g.height + restDown, g.pressure + restDown,
                              g.water + restUp, g.water + rest, g.water + restDown, f[0] + rest,
                              f[1] + rest, f[2] + rest, f[3] + rest, c);
}

double SettleRow(const GridArrays& g, const PipeConstants& c, uint32_t y, bool plain)
{
    const uint32_t W = g.W;
    const size_t at = size_t(y) * W + 1, up = at - W, down = at + W;
    float* const* f = g.flow;
    if (plain)
        SettlePlainCells(W - 2, f[0] + at, f[1] + at, f[2] + at, f[3] + at, f[3] + up, f[2] + up,
                         f[0] + down, g.height + at, c.dt, c.inverseArea);
    else
        SettleCellsOfAnyKinds(W - 2, f[0] + at, f[1] + at, f[2] + at, f[3] + at, f[3] + up,
                              f[2] + up, f[0] + down, g.water + up, g.water + at, g.water + down,
                              g.height + at, c.dt, c.inverseArea);
    return WaterOfRow(g, y);
}

double WaterOfRow(const GridArrays& g, uint32_t y)
{
    const size_t at = size_t(y) * g.W;
    return SumOfWater(g.W, g.height + at, g.water + at);
}

void ClearPressuresOfRow(const GridArrays& g, uint32_t y)
{
    float* p = g.pressure + size_t(y) * g.W;
    const uint32_t W = g.W;
    constexpr uint32_t BLOCK = 16;  // a cache line of pressures
    uint32_t x = 0;
    for (; x + BLOCK <= W; x += BLOCK)
    {
        uint32_t bits = 0;
        for (uint32_t i = x; i < x + BLOCK; ++i)
            bits |= std::bit_cast<uint32_t>(p[i]);
        if (bits != 0)
            std::memset(p + x, 0, BLOCK * sizeof(float));
    }
    for (; x < W; ++x)
        p[x] = 0.0f;
}

void CWaterBody::UpdatePipes(double dt)
{
    SweepCells(*this, dt, SweepParts{});
}
