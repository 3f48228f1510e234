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
#include <cmath>
#include <cstddef>
#include <new>

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
// the cell: a pipe toward a later visited wall was still 0 then.
void SettleRow(const PipeStep& s, uint32_t y)
{
    Cell* row = s.cells + static_cast<size_t>(y) * s.W;
    for (uint32_t x = 0; x < s.W; ++x)
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
        if (s.clearPressure)
            cell.pressure = 0.0f;
    }
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
void UpdateNormalsOfRow(const NormalStep& s, uint32_t y)
{
    Vec3* out = s.normals + static_cast<size_t>(y) * s.columns;
    bool innerRow = y != 0 && y + 1 < s.rows;
    if (!innerRow || s.columns < 3)
    {
        for (uint32_t x = 0; x < s.columns; ++x)
            out[x] = CornerNormal(s, x, y);
        return;
    }
    out[0] = CornerNormal(s, 0, y);
    const float* row = s.heights + static_cast<size_t>(y) * s.columns;
    const float* next = row + s.columns;
    const float* previous = row - s.columns;
    const float dx = s.dx, dy = s.dy;
    for (uint32_t x = 1; x + 1 < s.columns; ++x)
    {
        float gxRight = row[x + 1] - row[x], gxLeft = row[x] - row[x - 1];
        float gyNext = next[x] - row[x], gyPrevious = row[x] - previous[x];
        Vec3 n;
        n.x += -gxRight * dy;
        n.y += -gyNext * dx;
        n.z += dx * dy;
        n.x += -gxRight * dy;
        n.y += -gyPrevious * dx;
        n.z += dx * dy;
        n.x += -gxLeft * dy;
        n.y += -gyNext * dx;
        n.z += dx * dy;
        n.x += -gxLeft * dy;
        n.y += -gyPrevious * dx;
        n.z += dx * dy;
        out[x] = Normalised(n);
    }
    out[s.columns - 1] = CornerNormal(s, s.columns - 1, y);
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
    return true;
}

void CWaterBody::Release()
{
    delete[] cells;
    delete[] cornerHeights;
    delete[] previousCornerHeights;
    delete[] cornerNormals;
    cells = nullptr;
    cornerHeights = nullptr;
    previousCornerHeights = nullptr;
    cornerNormals = nullptr;
    delete pGridWorkers;
    pGridWorkers = nullptr;
}

// The pool for this grid, or null when one thread will do. Made again only
// when iThreads changes; a failure to start threads falls back to one.
static CGridWorkers* WorkersFor(CWaterBody& body)
{
    int wanted = CGridWorkers::ThreadsFor(body.iThreads);
    if (uint64_t(body.iSimulationWidth) * body.iSimulationHeight < kMinCellsForThreads)
        wanted = 1;
    if (wanted == 1)
        return nullptr;
    if (body.pGridWorkers && body.pGridWorkers->ThreadCount() == wanted)
        return body.pGridWorkers;
    delete body.pGridWorkers;
    body.pGridWorkers = nullptr;
    try
    {
        body.pGridWorkers = new CGridWorkers(wanted);
    }
    catch (...)
    {
        body.pGridWorkers = nullptr;
    }
    return body.pGridWorkers;
}

// ---------------------------------------------------------------------------
// Stage 2: pipes and cell heights

void CWaterBody::UpdatePipes(double dt)
{
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
    s.clearPressure = false;

    const uint32_t interiorRows = s.H >= 3 && s.W >= 3 ? s.H - 2 : 0;
    BandRunner runner{WorkersFor(*this)};
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 1, interiorRows, &begin, &end);
        // A row settles once the rows on both sides have updated their
        // pipes; the first and last rows of a band wait for the neighbours.
        for (uint32_t y = begin; y < end; ++y)
        {
            UpdatePipesOfRow(s, y);
            if (y >= begin + 2)
                SettleRow(s, y - 1);
        }
        runner.Barrier();
        if (begin < end)
        {
            SettleRow(s, begin);
            if (end - 1 != begin)
                SettleRow(s, end - 1);
        }
        if (band == 0)
            SettleRow(s, 0);
        if (band == runner.BandCount() - 1 && s.H > 1)
            SettleRow(s, s.H - 1);
        if (interiorRows == 0 && band == 0)
            for (uint32_t y = 1; y + 1 < s.H; ++y)
                SettleRow(s, y);
    };
    runner.Run(job);
    bPressureCleared = s.clearPressure;
}

void CWaterBody::ClearPressure()
{
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
    const uint32_t W = iSimulationWidth, columns = W - 1, rows = iSimulationHeight - 1;
    BandRunner runner{WorkersFor(*this)};
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 0, rows, &begin, &end);
        for (uint32_t y = begin; y < end; ++y)
        {
            float* heights = cornerHeights + size_t(y) * columns;
            float* previous = previousCornerHeights + size_t(y) * columns;
            std::copy(heights, heights + columns, previous);
            for (uint32_t x = 0; x < columns; ++x)
                heights[x] = CornerAverage(cells, W, x, y);
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
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 0, s.rows, &begin, &end);
        for (uint32_t y = begin; y < end; ++y)
            UpdateNormalsOfRow(s, y);
    };
    runner.Run(job);
}
