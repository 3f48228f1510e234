// Grid stages of CWaterBody: allocation of the cell and corner grids, the
// pipe stage that moves water between neighbouring cells, and the corner
// heights and normals derived from the cells. Objects, particles and events
// live elsewhere (WaterBody.cpp).
//
// Every value here is computed by one fixed formula, whatever the number of
// threads: a thread pool only changes who computes a row, never how. The
// results equal, to the bit, the plain loops that visit cells x outer, y
// inner and update each pipe from whichever of its two cells comes first in
// that order. The sweeps themselves run row by row (y outer) because rows
// are contiguous in memory.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>

#if defined(__SSE__)
#include <immintrin.h>
#endif

#include "app/Log.h"
#include "sim/GridWorkers.h"
#include "sim/WaterBody.h"

namespace
{

// Grids above this many cells are refused: about 15 GB of cells.
constexpr uint64_t kMaxCells = uint64_t(1) << 28;

// Below this many cells one thread is faster than waking the others.
constexpr uint64_t kMinCellsForThreads = 96 * 96;

// dx then dy for directions 0..7; direction 7 − k is the opposite of k.
constexpr int8_t kDirectionTable[16] = {-1, 0, 1, 1, -1, -1, 0, 1, -1, -1, -1, 0, 0, 1, 1, 1};

// Splits rows among the pool's threads, or runs everything on the calling
// thread when there is no pool.
struct BandRunner
{
    CGridWorkers* pool;

    int BandCount() const { return pool ? pool->ThreadCount() : 1; }

    void Rows(int band, uint32_t first, uint32_t count, uint32_t* begin, uint32_t* end) const
    {
        if (pool)
            pool->BandRows(band, first, count, begin, end);
        else
        {
            *begin = first;
            *end = first + count;
        }
    }

    void Barrier() const
    {
        if (pool)
            pool->Barrier();
    }

    template <class Job>
    void Run(Job& job) const
    {
        if (pool)
            pool->Run(job);
        else
            job(0);
    }
};

// Everything the pipe stage needs, computed once per call.
struct PipeStep
{
    Cell* cells;
    uint32_t W, H;
    int dx[8], dy[8];
    ptrdiff_t offset[8];  // index step toward direction k
    bool forward[8];      // the neighbour comes later in the x-outer, y-inner order
    double dt;
    double crossSectionDt;  // dt · fPipeCrossSection
    double densityPipeLength;
    double damping;  // 1 − dFriction·dt, not below 0
    float densityGravity;
    float inverseArea;  // 1 / fCellArea as a float
    bool clearPressure;

    bool IsInterior(uint32_t x, uint32_t y) const
    {
        return x >= 1 && x + 1 < W && y >= 1 && y + 1 < H;
    }
};

// New flow of the pipe from `from` toward `to` (volume per second, positive
// leaving `from`): accelerated by the difference of hydrostatic plus
// external pressure, then damped. The float/double mix is deliberate and
// fixed: the drive is a float, the increment a double, the flow a float.
inline float AcceleratedFlow(const PipeStep& s, float flow, const Cell& from, const Cell& to)
{
    float drive = s.densityGravity * (from.height - to.height) + from.pressure - to.pressure;
    float accelerated = static_cast<float>(flow + s.crossSectionDt * drive / s.densityPipeLength);
    return static_cast<float>(accelerated * s.damping);
}

// Updates the pipe between `first` and `second` (first earlier in the visit
// order, k the direction from first to second). The pipe belongs to the
// earlier cell when that one is visited (interior) and the other is water,
// else to the later one when it is visited and the earlier is water; a pipe
// with no owner carries nothing at its visited ends.
inline void ExchangeThroughPipe(const PipeStep& s, Cell& first, Cell& second, bool firstInterior,
                                bool secondInterior, int k)
{
    if (firstInterior && second.kind == CELL_WATER)
    {
        float flow = AcceleratedFlow(s, first.flow[k], first, second);
        first.flow[k] = flow;
        second.flow[7 - k] = -flow;
    }
    else if (secondInterior && first.kind == CELL_WATER)
    {
        float flow = AcceleratedFlow(s, second.flow[7 - k], second, first);
        second.flow[7 - k] = flow;
        first.flow[k] = -flow;
    }
    else
    {
        if (firstInterior)
            first.flow[k] = 0.0f;
        if (secondInterior)
            second.flow[7 - k] = 0.0f;
    }
}

// Updates every pipe that row y (interior) is responsible for: the pipes
// toward later neighbours, and those toward earlier neighbours on the
// border, which are never visited themselves. Writes flows of rows y−1..y+1.
void UpdatePipesOfRow(const PipeStep& s, uint32_t y)
{
    Cell* row = s.cells + static_cast<size_t>(y) * s.W;
    bool nearBorderRow = y == 1 || y + 2 == s.H;
    for (uint32_t x = 1; x + 1 < s.W; ++x)
    {
        Cell& cell = row[x];
        bool nearBorder = nearBorderRow || x == 1 || x + 2 == s.W;
        for (int k = 0; k < 8; ++k)
        {
            Cell& neighbour = *(&cell + s.offset[k]);
            bool neighbourInterior = !nearBorder || s.IsInterior(x + s.dx[k], y + s.dy[k]);
            if (s.forward[k])
                ExchangeThroughPipe(s, cell, neighbour, true, neighbourInterior, k);
            else if (!neighbourInterior)
                ExchangeThroughPipe(s, neighbour, cell, false, true, 7 - k);
        }
    }
}

// Finishes row y once every pipe touching it is updated: the pipe flags, the
// volume change and height of visited cells, and the pressure clear. The
// volume change adds the flows as they stood when the plain loop reached
// the cell: a pipe toward a later visited wall was still 0 then. Returns
// the sum of the new heights of the water cells, for the divergence watch.
double SettleCells(const PipeStep& s, uint32_t y, uint32_t xBegin, uint32_t xEnd)
{
    double waterHeights = 0.0;
    Cell* row = s.cells + static_cast<size_t>(y) * s.W;
    for (uint32_t x = xBegin; x < xEnd; ++x)
    {
        Cell& cell = row[x];
        bool interior = s.IsInterior(x, y);
        bool water = cell.kind == CELL_WATER;
        float volumeChange = 0.0f;
        for (int k = 0; k < 8; ++k)
        {
            int64_t nx = int64_t(x) + s.dx[k];
            int64_t ny = int64_t(y) + s.dy[k];
            if (nx < 0 || ny < 0 || nx >= s.W || ny >= s.H)
            {
                cell.pipeDone[k] = false;
                continue;
            }
            const Cell& neighbour = *(&cell + s.offset[k]);
            bool neighbourInterior = s.IsInterior(uint32_t(nx), uint32_t(ny));
            bool neighbourWater = neighbour.kind == CELL_WATER;
            cell.pipeDone[k] = (interior && neighbourWater) || (neighbourInterior && water);
            if (interior)
            {
                bool laterWall = s.forward[k] && water && neighbourInterior && !neighbourWater;
                float flow = laterWall ? 0.0f : cell.flow[k];
                volumeChange = static_cast<float>(volumeChange - flow * s.dt);
            }
        }
        if (interior)
        {
            cell.volumeChange = volumeChange;
            if (water)
                cell.height += s.inverseArea * volumeChange;
        }
        if (water)
            waterHeights += cell.height;
        if (s.clearPressure)
            cell.pressure = 0.0f;
    }
    return waterHeights;
}

double SettleRow(const PipeStep& s, uint32_t y)
{
    return SettleCells(s, y, 0, s.W);
}

// ---------------------------------------------------------------------------
// Vector path of the pipe stage, for rows whose interior cells are all water
// (every row, unless someone made an interior wall by hand). The cells are
// 56-byte records, so the rows around the current one are first copied into
// plain float arrays; the arithmetic then runs over those arrays, the same
// operations in the same order as the per-cell code, a whole row at a time.

// Runs the loop under the widest vector unit the processor has; every clone
// computes the same IEEE results (no contraction, no reassociation).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
#define RIPPLEX_VECTOR_CLONES __attribute__((target_clones("default", "avx2", "avx512f")))
#else
#define RIPPLEX_VECTOR_CLONES
#endif

// flow[i] becomes the new flow of the pipe from cell i (height hC, pressure
// pC) toward its neighbour (hN, pN); see AcceleratedFlow.
RIPPLEX_VECTOR_CLONES
void AcceleratePipes(uint32_t n, const float* __restrict hC, const float* __restrict pC,
                     const float* __restrict hN, const float* __restrict pN,
                     float* __restrict flow, double crossSectionDt, double densityPipeLength,
                     double damping, float densityGravity)
{
    for (uint32_t i = 0; i < n; ++i)
    {
        float drive = densityGravity * (hC[i] - hN[i]) + pC[i] - pN[i];
        float accelerated = static_cast<float>(flow[i] + crossSectionDt * drive / densityPipeLength);
        flow[i] = static_cast<float>(accelerated * damping);
    }
}

// Volume change and new height of cells x in [xBegin, xEnd) of a row whose
// eight neighbours are all water, from the new flows toward 2, 3, 6, 7 of
// the row (f*), of the row before (previous6, previous7) and of the row after
// (next2). The flows toward 0, 1, 4, 5 are the opposites of those, summed in
// direction order as the per-cell code does.
RIPPLEX_VECTOR_CLONES
void SettleInteriorCells(uint32_t xBegin, uint32_t xEnd, const float* __restrict f2,
                         const float* __restrict f3, const float* __restrict f6,
                         const float* __restrict f7, const float* __restrict previous6,
                         const float* __restrict previous7, const float* __restrict next2,
                         const float* __restrict height, float* __restrict volumeChange,
                         float* __restrict newHeight, double dt, float inverseArea)
{
    for (uint32_t x = xBegin; x < xEnd; ++x)
    {
        const float flows[8] = {-previous7[x - 1], -previous6[x], f2[x], f3[x],
                                -f3[x - 1],        -next2[x - 1], f6[x], f7[x]};
        float change = 0.0f;
        for (float flow : flows)
            change = static_cast<float>(change - flow * dt);
        volumeChange[x] = change;
        newHeight[x] = height[x] + inverseArea * change;
    }
}

// Sum of values[x], x in [xBegin, xEnd): eight float lanes, each adding its
// own values in order (one vector add per eight values, no reassociation),
// then the lanes in a double. For the divergence watch, which only needs
// the total to a few digits, and to turn non-finite with any value.
RIPPLEX_VECTOR_CLONES
double SumOfRow(uint32_t xBegin, uint32_t xEnd, const float* values)
{
    typedef float Eight __attribute__((vector_size(32)));
    Eight lanes = {};
    size_t x = xBegin;
    for (; x + 8 <= xEnd; x += 8)
    {
        Eight eight;
        std::memcpy(&eight, values + x, sizeof eight);
        lanes += eight;
    }
    double sum = 0.0;
    for (; x < xEnd; ++x)
        sum += values[x];
    for (int j = 0; j < 8; ++j)
        sum += lanes[j];
    return sum;
}

// Float copies of the rows around the current one; slot y % 4 holds row y
// (four slots: row y + 1 is staged while row y − 2's new flows still wait
// for row y − 1 to settle).
struct RowStage
{
    float* height[4];
    float* pressure[4];
    float* flow[4][4];  // flows toward directions 2, 3, 6, 7: current, then new
    float* volumeChange;
    float* newHeight;
    bool allWater[4];  // every interior cell of the row is water
    bool vectorised[4];  // the row's pipes went through AcceleratePipes

    static size_t FloatsFor(uint32_t W) { return size_t(W) * 26; }

    void Attach(float* scratch, uint32_t W)
    {
        for (int slot = 0; slot < 4; ++slot)
        {
            height[slot] = scratch + size_t(W) * (slot * 6 + 0);
            pressure[slot] = scratch + size_t(W) * (slot * 6 + 1);
            for (int j = 0; j < 4; ++j)
                flow[slot][j] = scratch + size_t(W) * (slot * 6 + 2 + j);
        }
        volumeChange = scratch + size_t(W) * 24;
        newHeight = scratch + size_t(W) * 25;
    }
};

// Copies row y's heights and pressures into slot y % 4, and its current
// flows toward 2, 3, 6, 7 when the band updates that row's pipes itself
// (a neighbouring band's row is being written meanwhile). Those flows change
// only when row y's own pipes are updated, so they can be taken this early.
void StageRow(const PipeStep& s, RowStage& stage, uint32_t y, bool withFlows)
{
    const int slot = y % 4;
    const Cell* row = s.cells + size_t(y) * s.W;
    float* height = stage.height[slot];
    float* pressure = stage.pressure[slot];
    float** flow = stage.flow[slot];
    bool allWater = true;
    // The sweep is bound by memory: ask for the row two ahead (staged next
    // but one) while this one is read. A hint only; results do not depend on it.
    const Cell* ahead = y + 3 < s.H ? row + 2 * size_t(s.W) : nullptr;
    for (uint32_t x = 0; x < s.W; ++x)
    {
        const Cell& cell = row[x];
        if (ahead)
            __builtin_prefetch(ahead + x, 1);
        height[x] = cell.height;
        pressure[x] = cell.pressure;
        if (withFlows)
        {
            flow[0][x] = cell.flow[2];
            flow[1][x] = cell.flow[3];
            flow[2][x] = cell.flow[6];
            flow[3][x] = cell.flow[7];
        }
        if (x != 0 && x + 1 != s.W)
            allWater &= cell.kind == CELL_WATER;
    }
    stage.allWater[slot] = allWater;
}

// Pipes of row y, 2 <= y <= H−3, rows y−1..y+1 all water inside: the pipes
// toward interior neighbours in vector form, the few toward the border cell
// by cell.
void UpdatePipesOfRowVectorised(const PipeStep& s, RowStage& stage, uint32_t y)
{
    const uint32_t W = s.W;
    const int here = y % 4, before = (y + 3) % 4, after = (y + 1) % 4;
    Cell* row = s.cells + size_t(y) * W;
    float** flow = stage.flow[here];  // staged with the row: the current flows
    const float* h = stage.height[here] + 1;
    const float* p = stage.pressure[here] + 1;
    const uint32_t n = W - 3;  // x = 1..W−3; the pipe toward 6 also from W−2
    AcceleratePipes(n, h, p, stage.height[before] + 2, stage.pressure[before] + 2, flow[0] + 1,
                    s.crossSectionDt, s.densityPipeLength, s.damping, s.densityGravity);
    AcceleratePipes(n, h, p, stage.height[here] + 2, stage.pressure[here] + 2, flow[1] + 1,
                    s.crossSectionDt, s.densityPipeLength, s.damping, s.densityGravity);
    AcceleratePipes(n + 1, h, p, stage.height[after] + 1, stage.pressure[after] + 1, flow[2] + 1,
                    s.crossSectionDt, s.densityPipeLength, s.damping, s.densityGravity);
    AcceleratePipes(n, h, p, stage.height[after] + 2, stage.pressure[after] + 2, flow[3] + 1,
                    s.crossSectionDt, s.densityPipeLength, s.damping, s.densityGravity);

    Cell* previousRow = row - W;
    Cell* nextRow = row + W;
    for (uint32_t x = 1; x + 2 < W; ++x)
    {
        row[x].flow[2] = flow[0][x];
        previousRow[x + 1].flow[5] = -flow[0][x];
        row[x].flow[3] = flow[1][x];
        row[x + 1].flow[4] = -flow[1][x];
        row[x].flow[6] = flow[2][x];
        nextRow[x].flow[1] = -flow[2][x];
        row[x].flow[7] = flow[3][x];
        nextRow[x + 1].flow[0] = -flow[3][x];
    }
    row[W - 2].flow[6] = flow[2][W - 2];
    nextRow[W - 2].flow[1] = -flow[2][W - 2];

    // Toward the border: backward from x = 1, forward from x = W−2.
    for (int k : {0, 4, 5})
        ExchangeThroughPipe(s, *(&row[1] + s.offset[k]), row[1], false, true, 7 - k);
    for (int k : {2, 3, 7})
        ExchangeThroughPipe(s, row[W - 2], *(&row[W - 2] + s.offset[k]), true, false, k);
}

// Settles row y (3 <= y <= H−4) whose rows y−1..y+1 all went through the
// vector path: interior cells from the staged flows, the two cells at each
// end cell by cell. Returns the sum of the water cells' new heights.
double SettleRowVectorised(const PipeStep& s, RowStage& stage, uint32_t y)
{
    const uint32_t W = s.W;
    const int here = y % 4, before = (y + 3) % 4, after = (y + 1) % 4;
    float** flow = stage.flow[here];
    SettleInteriorCells(2, W - 2, flow[0], flow[1], flow[2], flow[3], stage.flow[before][2],
                        stage.flow[before][3], stage.flow[after][0], stage.height[here],
                        stage.volumeChange, stage.newHeight, s.dt, s.inverseArea);
    Cell* row = s.cells + size_t(y) * W;
    for (uint32_t x = 2; x + 2 < W; ++x)
    {
        Cell& cell = row[x];
        cell.height = stage.newHeight[x];
        cell.volumeChange = stage.volumeChange[x];
        std::memset(cell.pipeDone, 1, sizeof cell.pipeDone);
        if (s.clearPressure)
            cell.pressure = 0.0f;
    }
    return SettleCells(s, y, 0, 2) + SumOfRow(2, W - 2, stage.newHeight) +
           SettleCells(s, y, W - 2, W);
}

// Corner heights computed inside the pipe sweep (see CornerFusion below).
struct CornerFusion;
void FuseCornerRow(CornerFusion& fusion, uint32_t r);

// One band of interior rows [begin, end): each row's pipes, then the row
// before it settles; the band's first and last rows wait for the barrier.
// With `fusion`, each corner row whose two cell rows both settled here
// (corner rows begin + 1 .. end − 3) is computed as soon as they have.
// Returns the sum of the water cells' new heights in the rows it settled.
double UpdatePipesOfBand(const PipeStep& s, RowStage* stage, uint32_t begin, uint32_t end,
                         CornerFusion* fusion)
{
    double waterHeights = 0.0;
    if (stage && begin < end)
    {
        StageRow(s, *stage, begin - 1, false);
        StageRow(s, *stage, begin, true);
    }
    for (uint32_t y = begin; y < end; ++y)
    {
        bool vectorised = false;
        if (stage)
        {
            StageRow(s, *stage, y + 1, y + 1 < end);
            vectorised = y >= 2 && y + 3 <= s.H && stage->allWater[(y + 3) % 4] &&
                         stage->allWater[y % 4] && stage->allWater[(y + 1) % 4];
            stage->vectorised[y % 4] = vectorised;
        }
        if (vectorised)
            UpdatePipesOfRowVectorised(s, *stage, y);
        else
            UpdatePipesOfRow(s, y);
        if (y < begin + 2)
            continue;
        const uint32_t settling = y - 1;
        if (stage && stage->vectorised[(settling + 3) % 4] && stage->vectorised[settling % 4] &&
            stage->vectorised[y % 4])
            waterHeights += SettleRowVectorised(s, *stage, settling);
        else
            waterHeights += SettleRow(s, settling);
        if (fusion && settling >= begin + 2)
            FuseCornerRow(*fusion, settling - 1);
    }
    return waterHeights;
}

bool IsValidDirectionTable(const int8_t* table)
{
    for (int k = 0; k < 8; ++k)
    {
        int dx = table[k], dy = table[8 + k];
        if (dx < -1 || dx > 1 || dy < -1 || dy > 1 || (dx == 0 && dy == 0))
            return false;
        if (table[7 - k] != -dx || table[15 - k] != -dy)
            return false;
    }
    return true;
}

// Average height of the water cells around corner (x, y); 0 when none is
// water or the average is not positive (NaN included).
inline float CornerAverage(const Cell* cells, uint32_t W, uint32_t x, uint32_t y)
{
    const Cell* here = cells + x + static_cast<size_t>(y) * W;
    const Cell* around[4] = {here, here + W, here + 1, here + W + 1};
    float sum = 0.0f;
    int count = 0;
    for (const Cell* cell : around)
    {
        if (cell->kind == CELL_WATER)
        {
            sum += cell->height;
            ++count;
        }
    }
    if (count == 0)
        return 0.0f;
    float average = sum / count;
    return average > 0.0f ? average : 0.0f;
}

struct NormalStep
{
    const float* heights;
    Vec3* normals;
    uint32_t columns, rows;  // corners: W − 1 by H − 1
    float dx, dy;
};

// Adds the normal (−gx·dy, −gy·dx, dx·dy) of one quadrant.
inline void AddQuadrant(Vec3& n, float gx, float gy, float dx, float dy)
{
    n.x += -gx * dy;
    n.y += -gy * dx;
    n.z += dx * dy;
}

inline Vec3 Normalised(Vec3 n)
{
    float scale = 1.0f / std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    return Vec3{n.x * scale, n.y * scale, n.z * scale};
}

// Normal at any corner, each quadrant whose two neighbouring corners exist
// contributing. A corner with no quadrant (a grid two cells wide or deep)
// would be 0/0; it gets the upright (0, 0, 1) instead.
Vec3 CornerNormal(const NormalStep& s, uint32_t x, uint32_t y)
{
    const float* c = s.heights + x + static_cast<size_t>(y) * s.columns;
    const ptrdiff_t up = s.columns;
    bool hasRight = x + 1 < s.columns, hasLeft = x != 0;
    bool hasNext = y + 1 < s.rows, hasPrevious = y != 0;
    if (!(hasRight || hasLeft) || !(hasNext || hasPrevious))
        return Vec3{0.0f, 0.0f, 1.0f};
    Vec3 n;
    if (hasRight && hasNext)
        AddQuadrant(n, c[1] - c[0], c[up] - c[0], s.dx, s.dy);
    if (hasRight && hasPrevious)
        AddQuadrant(n, c[1] - c[0], c[0] - c[-up], s.dx, s.dy);
    if (hasLeft && hasNext)
        AddQuadrant(n, c[0] - c[-1], c[up] - c[0], s.dx, s.dy);
    if (hasLeft && hasPrevious)
        AddQuadrant(n, c[0] - c[-1], c[0] - c[-up], s.dx, s.dy);
    return Normalised(n);
}

// One corner row; the corners away from the edges take all four quadrants
// in a branch-free loop the compiler can vectorise.
// Unnormalised normals of the corners x in [xBegin, xEnd) of an inner corner
// row, where all four quadrants exist, into plain arrays, with their squared
// lengths.
RIPPLEX_VECTOR_CLONES
void InnerNormals(uint32_t xBegin, uint32_t xEnd, const float* __restrict previous,
                  const float* __restrict row, const float* __restrict next, float dx, float dy,
                  float* __restrict nx, float* __restrict ny, float* __restrict nz,
                  float* __restrict lengthSquared)
{
    for (uint32_t x = xBegin; x < xEnd; ++x)
    {
        float gxRight = row[x + 1] - row[x], gxLeft = row[x] - row[x - 1];
        float gyNext = next[x] - row[x], gyPrevious = row[x] - previous[x];
        float X = 0.0f, Y = 0.0f, Z = 0.0f;
        X += -gxRight * dy;
        Y += -gyNext * dx;
        Z += dx * dy;
        X += -gxRight * dy;
        Y += -gyPrevious * dx;
        Z += dx * dy;
        X += -gxLeft * dy;
        Y += -gyNext * dx;
        Z += dx * dy;
        X += -gxLeft * dy;
        Y += -gyPrevious * dx;
        Z += dx * dy;
        nx[x] = X;
        ny[x] = Y;
        nz[x] = Z;
        lengthSquared[x] = X * X + Y * Y + Z * Z;
    }
}

// values[i] = √values[i], correctly rounded like std::sqrt. Written with the
// SSE instruction because the compiler will not vectorise std::sqrt while it
// may have to set errno.
void SquareRoots(uint32_t xBegin, uint32_t xEnd, float* values)
{
    uint32_t x = xBegin;
#if defined(__SSE__)
    for (; x + 4 <= xEnd; x += 4)
        _mm_storeu_ps(values + x, _mm_sqrt_ps(_mm_loadu_ps(values + x)));
#endif
    for (; x < xEnd; ++x)
        values[x] = std::sqrt(values[x]);
}

static_assert(sizeof(Vec3) == 3 * sizeof(float), "normals are stored as packed float triples");

// Scales the normals to unit length and stores them as packed (x, y, z)
// triples, out[3x..3x+2] for corner x.
RIPPLEX_VECTOR_CLONES
void ScaleNormals(uint32_t xBegin, uint32_t xEnd, const float* __restrict nx,
                  const float* __restrict ny, const float* __restrict nz,
                  const float* __restrict length, float* __restrict out)
{
    for (uint32_t x = xBegin; x < xEnd; ++x)
    {
        float scale = 1.0f / length[x];
        out[3 * size_t(x)] = nx[x] * scale;
        out[3 * size_t(x) + 1] = ny[x] * scale;
        out[3 * size_t(x) + 2] = nz[x] * scale;
    }
}

// One corner row; `scratch` holds 4 × columns floats.
void UpdateNormalsOfRow(const NormalStep& s, uint32_t y, float* scratch)
{
    Vec3* out = s.normals + static_cast<size_t>(y) * s.columns;
    bool innerRow = y != 0 && y + 1 < s.rows;
    if (!innerRow || s.columns < 3 || !scratch)
    {
        for (uint32_t x = 0; x < s.columns; ++x)
            out[x] = CornerNormal(s, x, y);
        return;
    }
    const float* row = s.heights + static_cast<size_t>(y) * s.columns;
    float* nx = scratch;
    float* ny = scratch + s.columns;
    float* nz = scratch + 2 * size_t(s.columns);
    float* length = scratch + 3 * size_t(s.columns);
    InnerNormals(1, s.columns - 1, row - s.columns, row, row + s.columns, s.dx, s.dy, nx, ny, nz,
                 length);
    SquareRoots(1, s.columns - 1, length);
    ScaleNormals(1, s.columns - 1, nx, ny, nz, length, &out[0].x);
    out[0] = CornerNormal(s, 0, y);
    out[s.columns - 1] = CornerNormal(s, s.columns - 1, y);
}

// Corner heights of corner row y from two staged cell rows: heights with
// the walls' replaced by 0 (`masked*`) and 1.0 or 0.0 for water or wall
// (`water*`). Adding a wall's 0 leaves the running sum unchanged: the sum
// starts at +0 and so can never be −0.
RIPPLEX_VECTOR_CLONES
void CornerAverages(uint32_t columns, const float* __restrict maskedHere,
                    const float* __restrict waterHere, const float* __restrict maskedNext,
                    const float* __restrict waterNext, float* __restrict out)
{
    for (uint32_t x = 0; x < columns; ++x)
    {
        float sum = 0.0f;
        sum += maskedHere[x];
        sum += maskedNext[x];
        sum += maskedHere[x + 1];
        sum += maskedNext[x + 1];
        // 1 or 0 per cell: the float sum is an exact count.
        int32_t count = int32_t(waterHere[x] + waterNext[x] + waterHere[x + 1] + waterNext[x + 1]);
        float average = sum / float(count > 0 ? count : 1);
        // "average > 0" on the bits, which the compiler will vectorise:
        // positive, not zero, not NaN (infinity is above 0).
        int32_t bits = std::bit_cast<int32_t>(average);
        bool keep = count > 0 && bits > 0 && bits <= 0x7F800000;
        out[x] = std::bit_cast<float>(keep ? bits : 0);
    }
}

void StageCornerRow(const Cell* row, uint32_t W, float* masked, float* water)
{
    for (uint32_t x = 0; x < W; ++x)
    {
        bool isWater = row[x].kind == CELL_WATER;
        masked[x] = isWater ? row[x].height : 0.0f;
        water[x] = isWater ? 1.0f : 0.0f;
    }
}

// The pipe stage's corner heights: corner row r from cell rows r and r + 1,
// read back from the cells just settled (still in cache) with the same
// staging and averaging as UpdateCornerHeights, so the same bits. Cell row
// y is staged in slot y % 2; in the sweep, corner rows come one after the
// other, so each cell row is staged once.
struct CornerFusion
{
    const Cell* cells;
    uint32_t W;
    float* out;      // (W − 1) per corner row
    float* scratch;  // 4 × W floats of the band
    uint32_t staged; // the cell row last staged, or UINT32_MAX
};

void FuseCornerRow(CornerFusion& fusion, uint32_t r)
{
    const uint32_t W = fusion.W;
    float* masked[2] = {fusion.scratch, fusion.scratch + W};
    float* water[2] = {fusion.scratch + 2 * size_t(W), fusion.scratch + 3 * size_t(W)};
    if (fusion.staged != r)
        StageCornerRow(fusion.cells + size_t(r) * W, W, masked[r % 2], water[r % 2]);
    StageCornerRow(fusion.cells + size_t(r + 1) * W, W, masked[(r + 1) % 2], water[(r + 1) % 2]);
    fusion.staged = r + 1;
    CornerAverages(W - 1, masked[r % 2], water[r % 2], masked[(r + 1) % 2], water[(r + 1) % 2],
                   fusion.out + size_t(r) * (W - 1));
}

// thrown[x] = 1 when corner x of a row rose fast enough to throw spray:
// the rise as a float, the quotient and the test in double, as the
// particle stage defines them (NaN and a rise below the threshold give 0).
RIPPLEX_VECTOR_CLONES
void MarkFastRises(uint32_t columns, const float* __restrict heights,
                   const float* __restrict previous, double dt, double threshold,
                   uint8_t* __restrict thrown)
{
    for (uint32_t x = 0; x < columns; ++x)
    {
        const float rise = heights[x] - previous[x];
        thrown[x] = rise / dt >= threshold;
    }
}

// Appends to `out` the index of every marked corner of the row, in x order;
// eight marks are skipped at once while none is set.
void CollectMarked(const uint8_t* thrown, uint32_t columns, uint32_t rowStart,
                   std::vector<uint32_t>& out)
{
    uint32_t x = 0;
    for (; x + 8 <= columns; x += 8)
    {
        uint64_t eight;
        std::memcpy(&eight, thrown + x, 8);
        if (eight == 0)
            continue;
        for (uint32_t j = x; j < x + 8; ++j)
            if (thrown[j])
                out.push_back(rowStart + j);
    }
    for (; x < columns; ++x)
        if (thrown[x])
            out.push_back(rowStart + x);
}

}  // namespace

// ---------------------------------------------------------------------------
// Allocation

bool CWaterBody::AllocateGrid()
{
    Release();
    const uint32_t W = iSimulationWidth, H = iSimulationHeight;
    const uint64_t cellCount = uint64_t(W) * H;
    if (W < 2 || H < 2 || cellCount > kMaxCells)
    {
        CLog::Write("CWaterBody::AllocateGrid -- Grille de %ux%u cellules impossible \xE0 allouer",
                    W, H);
        return false;
    }
    const size_t cornerCount = size_t(W - 1) * (H - 1);
    cells = new (std::nothrow) Cell[cellCount];
    cornerHeights = new (std::nothrow) float[cornerCount];
    previousCornerHeights = new (std::nothrow) float[cornerCount];
    cornerNormals = new (std::nothrow) Vec3[cornerCount];
    if (!cells || !cornerHeights || !previousCornerHeights || !cornerNormals)
    {
        Release();
        CLog::Write("CWaterBody::AllocateGrid -- M\xE9moire insuffisante pour %ux%u cellules", W, H);
        return false;
    }
    std::copy(kDirectionTable, kDirectionTable + 16, neighbourOffsets);
    // The corner heights are filled by the first UpdateCornerHeights; they
    // start at 0 so that nothing ever reads indeterminate memory.
    std::fill(cornerHeights, cornerHeights + cornerCount, 0.0f);
    std::fill(previousCornerHeights, previousCornerHeights + cornerCount, 0.0f);
    // Optional: without it the pipe stage leaves the corners to their stage.
    pendingCornerHeights = new (std::nothrow) float[cornerCount];
    if (pendingCornerHeights)
        std::fill(pendingCornerHeights, pendingCornerHeights + cornerCount, 0.0f);
    for (uint32_t y = 0; y < H; ++y)
    {
        for (uint32_t x = 0; x < W; ++x)
        {
            Cell& cell = cells[x + size_t(y) * W];
            cell = Cell{};
            cell.height = dDefaultHeight;
            bool border = x == 0 || y == 0 || x == W - 1 || y == H - 1;
            cell.kind = border ? CELL_WALL : CELL_WATER;
        }
    }
    bPressureCleared = false;
    bCornerHeightsPending = false;
    return true;
}

void CWaterBody::Release()
{
    delete[] cells;
    delete[] cornerHeights;
    delete[] previousCornerHeights;
    delete[] cornerNormals;
    delete[] pendingCornerHeights;
    pendingCornerHeights = nullptr;
    bCornerHeightsPending = false;
    cells = nullptr;
    cornerHeights = nullptr;
    previousCornerHeights = nullptr;
    cornerNormals = nullptr;
    delete pGridWorkers;
    pGridWorkers = nullptr;
}

// The pool for this grid (one band, no thread, below kMinCellsForThreads),
// made on first use and again only when iThreads changes. Null only when
// not even a one-band pool could be made: the stages then run unbanded.
static CGridWorkers* WorkersFor(CWaterBody& body)
{
    int wanted = CGridWorkers::ThreadsFor(body.iThreads);
    if (uint64_t(body.iSimulationWidth) * body.iSimulationHeight < kMinCellsForThreads)
        wanted = 1;
    if (body.pGridWorkers && body.pGridWorkers->ThreadCount() == wanted)
        return body.pGridWorkers;
    delete body.pGridWorkers;
    body.pGridWorkers = nullptr;
    for (int threads : {wanted, 1})
    {
        try
        {
            body.pGridWorkers = new CGridWorkers(threads);
            break;
        }
        catch (...)
        {
            body.pGridWorkers = nullptr;
        }
    }
    return body.pGridWorkers;
}

// ---------------------------------------------------------------------------
// Stage 2: pipes and cell heights

void CWaterBody::UpdatePipes(double dt)
{
    bPressureCleared = false;
    bCornerHeightsPending = false;
    // A direction table that is not the eight neighbours in opposite pairs
    // (only AllocateGrid and Init write it) would reach outside the grid.
    if (!cells || !IsValidDirectionTable(neighbourOffsets))
        return;
    PipeStep s;
    s.cells = cells;
    s.W = iSimulationWidth;
    s.H = iSimulationHeight;
    for (int k = 0; k < 8; ++k)
    {
        s.dx[k] = neighbourOffsets[k];
        s.dy[k] = neighbourOffsets[8 + k];
        s.offset[k] = s.dx[k] + ptrdiff_t(s.dy[k]) * ptrdiff_t(s.W);
        s.forward[k] = s.dx[k] > 0 || (s.dx[k] == 0 && s.dy[k] > 0);
    }
    s.dt = dt;
    s.crossSectionDt = dt * fPipeCrossSection;
    s.densityPipeLength = fDensityPipeLength;
    double damping = 1 - dFriction * dt;
    s.damping = damping < 0 ? 0 : damping;
    s.densityGravity = fDensityGravity;
    s.inverseArea = 1.0f / fCellArea;
    // This stage is the last reader of the pressures in a step (the object
    // pass sets them anew), so it clears them as it goes; the object pass's
    // ClearPressure then has nothing left to do.
    s.clearPressure = true;

    const uint32_t interiorRows = s.H >= 3 && s.W >= 3 ? s.H - 2 : 0;
    BandRunner runner{WorkersFor(*this)};
    const bool vectorPath = runner.pool && s.W >= 5 &&
                            std::equal(kDirectionTable, kDirectionTable + 16, neighbourOffsets) &&
                            runner.pool->ReserveScratch(RowStage::FloatsFor(s.W));
    // The corner heights of the new cell heights are computed in the same
    // sweep, into pendingCornerHeights, for UpdateCornerHeights to take.
    const size_t cornerScratchAt = RowStage::FloatsFor(s.W);
    const bool fuseCorners = runner.pool && pendingCornerHeights && cornerHeights &&
                             previousCornerHeights && interiorRows > 0 &&
                             runner.pool->ReserveScratch(cornerScratchAt + 4 * size_t(s.W));
    // Each band's sum of the water heights it settled; added in band order.
    double bandWater[CGridWorkers::MAX_THREADS] = {};
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 1, interiorRows, &begin, &end);
        // A row settles once the rows on both sides have updated their
        // pipes; the first and last rows of a band wait for the neighbours.
        RowStage stage;
        if (vectorPath)
            stage.Attach(runner.pool->Scratch(band), s.W);
        CornerFusion fusion{};
        if (fuseCorners)
            fusion = {s.cells, s.W, pendingCornerHeights,
                      runner.pool->Scratch(band) + cornerScratchAt, UINT32_MAX};
        double water = UpdatePipesOfBand(s, vectorPath ? &stage : nullptr, begin, end,
                                         fuseCorners ? &fusion : nullptr);
        runner.Barrier();
        if (begin < end)
        {
            water += SettleRow(s, begin);
            if (end - 1 != begin)
                water += SettleRow(s, end - 1);
        }
        if (band == 0)
            water += SettleRow(s, 0);
        if (band == runner.BandCount() - 1 && s.H > 1)
            water += SettleRow(s, s.H - 1);
        if (interiorRows == 0 && band == 0)
            for (uint32_t y = 1; y + 1 < s.H; ++y)
                water += SettleRow(s, y);
        bandWater[band] = water;
        if (!fuseCorners)
            return;
        // The band's corner rows are those whose upper cell row is one of
        // its rows, [begin − 1, end − 1), and the last band's also the top
        // corner row H − 2. Those not done in the sweep need the rows the
        // other bands settled after the barrier.
        runner.Barrier();
        const uint32_t last = band == runner.BandCount() - 1 ? s.H - 1 : end - 1;
        for (uint32_t r = begin - 1; r < last; ++r)
            if (!(r >= begin + 1 && int64_t(r) + 1 <= int64_t(end) - 2))
                FuseCornerRow(fusion, r);
    };
    runner.Run(job);
    bPressureCleared = s.clearPressure;
    bCornerHeightsPending = fuseCorners;
    double waterHeights = 0.0;
    for (int band = 0; band < runner.BandCount(); ++band)
        waterHeights += bandWater[band];
    dWatchedWater = waterHeights * fCellArea;
}

void CWaterBody::ClearPressure()
{
    bCornerHeightsPending = false;  // the object pass changes heights too
    if (bPressureCleared)
    {
        bPressureCleared = false;
        return;
    }
    if (!cells)
        return;
    const uint32_t W = iSimulationWidth, H = iSimulationHeight;
    BandRunner runner{WorkersFor(*this)};
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 0, H, &begin, &end);
        for (Cell* cell = cells + size_t(begin) * W; cell != cells + size_t(end) * W; ++cell)
            cell->pressure = 0.0f;
    };
    runner.Run(job);
}

// ---------------------------------------------------------------------------
// Stages 3 and 5: corner heights and normals

void CWaterBody::UpdateCornerHeights()
{
    if (!cells || !cornerHeights || iSimulationWidth < 2 || iSimulationHeight < 2)
        return;
    if (bCornerHeightsPending)
    {
        // The pipe stage already averaged the current cells: the current
        // heights become the previous ones, the pipe stage's the current.
        bCornerHeightsPending = false;
        float* oldPrevious = previousCornerHeights;
        previousCornerHeights = cornerHeights;
        cornerHeights = pendingCornerHeights;
        pendingCornerHeights = oldPrevious;
        return;
    }
    const uint32_t W = iSimulationWidth, columns = W - 1, rows = iSimulationHeight - 1;
    BandRunner runner{WorkersFor(*this)};
    const bool staged = runner.pool && runner.pool->ReserveScratch(4 * size_t(W));
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 0, rows, &begin, &end);
        float* scratch = staged ? runner.pool->Scratch(band) : nullptr;
        for (uint32_t y = begin; y < end; ++y)
        {
            float* heights = cornerHeights + size_t(y) * columns;
            float* previous = previousCornerHeights + size_t(y) * columns;
            std::copy(heights, heights + columns, previous);
            if (!scratch)
            {
                for (uint32_t x = 0; x < columns; ++x)
                    heights[x] = CornerAverage(cells, W, x, y);
                continue;
            }
            // Cell rows y and y + 1 staged in slots y % 2 and (y + 1) % 2.
            float* masked[2] = {scratch, scratch + W};
            float* water[2] = {scratch + 2 * size_t(W), scratch + 3 * size_t(W)};
            if (y == begin)
                StageCornerRow(cells + size_t(y) * W, W, masked[y % 2], water[y % 2]);
            StageCornerRow(cells + size_t(y + 1) * W, W, masked[(y + 1) % 2], water[(y + 1) % 2]);
            CornerAverages(columns, masked[y % 2], water[y % 2], masked[(y + 1) % 2],
                           water[(y + 1) % 2], heights);
        }
    };
    runner.Run(job);
}

void CWaterBody::UpdateCornerNormals()
{
    if (!cornerHeights || !cornerNormals || iSimulationWidth < 2 || iSimulationHeight < 2)
        return;
    NormalStep s;
    s.heights = cornerHeights;
    s.normals = cornerNormals;
    s.columns = iSimulationWidth - 1;
    s.rows = iSimulationHeight - 1;
    s.dx = dSimulationSizeX / iSimulationWidth;
    s.dy = dSimulationSizeY / iSimulationHeight;
    BandRunner runner{WorkersFor(*this)};
    const bool staged = runner.pool && runner.pool->ReserveScratch(4 * size_t(s.columns));
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 0, s.rows, &begin, &end);
        float* scratch = staged ? runner.pool->Scratch(band) : nullptr;
        for (uint32_t y = begin; y < end; ++y)
            UpdateNormalsOfRow(s, y, scratch);
    };
    runner.Run(job);
}

// ---------------------------------------------------------------------------
// Stage 4, first half: which corners throw spray

bool CWaterBody::FindThrowingCorners(double dt)
{
    throwingCorners.clear();
    if (!cornerHeights || !previousCornerHeights || iSimulationWidth < 2 || iSimulationHeight < 2)
        return true;
    const uint32_t columns = iSimulationWidth - 1, rows = iSimulationHeight - 1;
    BandRunner runner{WorkersFor(*this)};
    // The marks of one row, as bytes in the band's float scratch.
    if (!runner.pool || !runner.pool->ReserveScratch(columns / 4 + 1))
        return false;
    const double threshold = dParticleThresHold;
    bool failed[CGridWorkers::MAX_THREADS] = {};
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 0, rows, &begin, &end);
        uint8_t* thrown = reinterpret_cast<uint8_t*>(runner.pool->Scratch(band));
        std::vector<uint32_t>& found = runner.pool->Indices(band);
        found.clear();
        try
        {
            for (uint32_t y = begin; y < end; ++y)
            {
                const size_t rowStart = size_t(y) * columns;
                MarkFastRises(columns, cornerHeights + rowStart, previousCornerHeights + rowStart,
                              dt, threshold, thrown);
                CollectMarked(thrown, columns, uint32_t(rowStart), found);
            }
        }
        catch (const std::bad_alloc&)
        {
            failed[band] = true;
        }
    };
    runner.Run(job);

    // The bands' lists, one after the other, hold the corners y outer, x
    // inner; a stable counting sort on x makes it x outer, y inner.
    size_t total = 0;
    for (int band = 0; band < runner.BandCount(); ++band)
    {
        if (failed[band])
            return false;
        total += runner.pool->Indices(band).size();
    }
    if (total == 0)
        return true;
    try
    {
        throwingCorners.resize(total);
        throwingColumnStarts.assign(size_t(columns) + 1, 0);
    }
    catch (const std::bad_alloc&)
    {
        throwingCorners.clear();
        return false;
    }
    uint32_t* starts = throwingColumnStarts.data();
    for (int band = 0; band < runner.BandCount(); ++band)
        for (uint32_t i : runner.pool->Indices(band))
            ++starts[i % columns + 1];
    for (uint32_t x = 1; x < columns; ++x)
        starts[x] += starts[x - 1];
    for (int band = 0; band < runner.BandCount(); ++band)
        for (uint32_t i : runner.pool->Indices(band))
            throwingCorners[starts[i % columns]++] = i;
    return true;
}
