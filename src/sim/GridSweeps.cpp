// The threaded sweeps over the cell grid: the worker pool of a body, the
// sweep that runs the pipe stage (and, in Step, the corner heights, the
// spray test and the normals with it, while the rows are still in cache),
// and the clearing of the pressures.
//
// The interior rows are split into one band per thread. Within a band the
// sweep goes row by row (rows are contiguous in memory), each stage a few
// rows behind the one it needs:
//   pipes of row y  (reads old heights of rows y − 1 .. y + 1)
//   heights of row y − 1  (needs the pipes of rows y − 2 .. y)
//   corner row y − 2  (cell rows y − 2 and y − 1)
//   normals of corner row y − 3  (corner rows y − 4 .. y − 2)
// A band's first and last rows depend on its neighbours' rows, so they are
// finished after barriers: 1, every pipe is updated; 2, every height is
// settled; 3, every corner height is made. Which thread computes a value
// never changes the value (GridKernels.h).
//
// Deliberately not done: no work stealing and no band sizes that follow
// the load; a band of fewer than a few rows does all its work at the
// barriers, which only costs time.
#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "sim/GridKernels.h"
#include "sim/GridSweeps.h"
#include "sim/GridWorkers.h"
#include "sim/WaterBody.h"

namespace
{

// Below this many cells one thread is faster than waking the others.
constexpr uint64_t MIN_CELLS_FOR_THREADS = 96 * 96;

// One sweep's shared state; each band runs Band(band).
struct Sweep
{
    CWaterBody& body;
    GridArrays g;
    PipeConstants c;
    SweepParts parts;
    BandRunner runner;
    float* newCorners;        // receives this step's corner heights
    const float* oldCorners;  // the corner heights before it (the spray test's previous)
    NormalStep normals;
    RiseTest rises;           // the spray test
    double water[CGridWorkers::MAX_THREADS] = {};  // each band's sum of water heights
    bool failed[CGridWorkers::MAX_THREADS] = {};   // a band's list of rises could not grow

    uint32_t Columns() const { return g.W - 1; }

    // The band's scratch: 4 × columns floats for the normals.
    size_t ScratchFloats() const { return 4 * size_t(Columns()); }

    bool Plain(const bool* plain, uint32_t y) const
    {
        return plain[(y + 3) % 4] && plain[y % 4] && plain[(y + 1) % 4];
    }

    // Rows y − 1 .. y + 1 plain, asked afresh (for the band's edges).
    bool PlainAround(uint32_t y) const
    {
        return IsPlainRow(g, y - 1) && IsPlainRow(g, y) && IsPlainRow(g, y + 1);
    }

    double SettleEdge(uint32_t y)
    {
        const double w = SettleRow(g, c, y, PlainAround(y));
        if (parts.clearPressures)
            ClearPressuresOfRow(g, y);
        return w;
    }

    double BorderRow(uint32_t y)
    {
        if (parts.clearPressures)
            ClearPressuresOfRow(g, y);
        return WaterOfRow(g, y);
    }

    // Corner row r, and its spray test into the band's list.
    void Corners(int band, uint32_t r, int list)
    {
        float* out = newCorners + size_t(r) * Columns();
        if (!parts.findRises || failed[band])
        {
            CornerHeightsOfRow(g, r, out);
            return;
        }
        try
        {
            CornerHeightsAndRisesOfRow(g, r, out, oldCorners + size_t(r) * Columns(), rises,
                                       runner.pool->Indices(band, list));
        }
        catch (const std::bad_alloc&)
        {
            failed[band] = true;
        }
    }

    void Normals(int band, uint32_t r)
    {
        UpdateNormalsOfRow(normals, r, runner.pool->Scratch(band));
    }

    void Band(int band);
};

void Sweep::Band(int band)
{
    const uint32_t H = g.H;
    uint32_t begin, end;
    runner.Rows(band, 1, H - 2, &begin, &end);
    const bool first = band == 0, last = band == runner.BandCount() - 1;
    // The corner rows of the band: those whose upper cell row is one of its
    // rows, [begin − 1, end − 1), and for the last band also H − 2.
    auto ownsCorner = [&](uint32_t r) { return (r + 1 >= begin && r + 1 < end) || (last && r == H - 2); };
    if (parts.findRises)
        for (int list = 0; list < CGridWorkers::LISTS; ++list)
            runner.pool->Indices(band, list).clear();

    // The border rows' pipes (their later ends are interior) come first:
    // they read the old heights of rows 1 and H − 2.
    if (first)
        UpdatePipesOfRow(g, c, 0, true);
    if (last)
        UpdatePipesOfRow(g, c, H - 1, true);
    double water = 0.0;
    bool plain[4] = {true, true, true, true};  // IsPlainRow of row y in slot y % 4
    if (begin < end)
    {
        plain[(begin - 1) % 4] = IsPlainRow(g, begin - 1);
        plain[begin % 4] = IsPlainRow(g, begin);
    }
    for (uint32_t y = begin; y < end; ++y)
    {
        plain[(y + 1) % 4] = IsPlainRow(g, y + 1);
        UpdatePipesOfRow(g, c, y, Plain(plain, y));
        if (y < begin + 2)
            continue;
        const uint32_t settled = y - 1;  // begin + 1 .. end − 2
        water += SettleRow(g, c, settled, Plain(plain, settled));
        if (parts.clearPressures)
            ClearPressuresOfRow(g, settled);
        if (!parts.corners || settled < begin + 2)
            continue;
        const uint32_t corner = settled - 1;  // begin + 1 .. end − 3
        Corners(band, corner, 1);
        if (parts.normals && corner >= begin + 3)
            Normals(band, corner - 1);  // begin + 2 .. end − 4
    }

    runner.Barrier();  // 1: every pipe is updated
    if (begin < end)
    {
        water += SettleEdge(begin);
        if (end - 1 != begin)
            water += SettleEdge(end - 1);
    }
    if (first)
        water += BorderRow(0);
    if (last)
        water += BorderRow(H - 1);
    this->water[band] = water;
    if (!parts.corners)
        return;
    // The band's corner rows after those of the sweep, from its own rows.
    const uint32_t tailEnd = last ? H - 1 : end - 1;
    for (uint32_t r = std::max(begin + 1, end >= 2 ? end - 2 : 0); r < tailEnd; ++r)
        if (ownsCorner(r))
            Corners(band, r, 1);

    runner.Barrier();  // 2: every height is settled
    // Its first two corner rows, which need the band before (list 0 keeps
    // the rows in order: these come before the sweep's).
    for (uint32_t r = begin - 1; r <= begin && r < H - 1; ++r)
        if (ownsCorner(r))
            Corners(band, r, 0);
    if (!parts.normals)
        return;

    runner.Barrier();  // 3: every corner height is made
    for (uint32_t r = begin - 1; r < H - 1; ++r)
    {
        if (!ownsCorner(r))
        {
            if (r >= begin)
                break;
            continue;
        }
        if (!(r >= begin + 2 && r + 4 <= end))  // not done in the sweep
            Normals(band, r);
    }
}

}  // namespace

CGridWorkers* CWaterBody::GridWorkers()
{
    int wanted = CGridWorkers::ThreadsFor(iThreads);
    if (uint64_t(iSimulationWidth) * iSimulationHeight < MIN_CELLS_FOR_THREADS)
        wanted = 1;
    if (pGridWorkers && pGridWorkers->ThreadCount() == wanted)
        return pGridWorkers;
    delete pGridWorkers;
    pGridWorkers = nullptr;
    for (int threads : {wanted, 1})
    {
        try
        {
            pGridWorkers = new CGridWorkers(threads);
            break;
        }
        catch (...)
        {
            pGridWorkers = nullptr;
        }
    }
    return pGridWorkers;
}

SweepOutcome SweepCells(CWaterBody& body, double dt, SweepParts parts)
{
    SweepOutcome outcome;
    if (!body.HasCells())
        return outcome;
    const uint32_t W = body.iSimulationWidth, H = body.iSimulationHeight;
    BandRunner runner{body.GridWorkers()};
    Sweep sweep{body, ArraysOf(body), PipeConstantsFor(body, dt), parts, runner,
                body.previousCornerHeights, body.cornerHeights, {},
                RiseTestFor(dt, body.dParticleThresHold)};
    const bool beyondPipes = parts.corners || parts.normals || parts.clearPressures;
    // The corner stages need the pool's scratch for the normals.
    if (beyondPipes && (W < 3 || H < 3 || !body.cornerHeights || !runner.pool ||
                        !runner.pool->ReserveScratch(sweep.ScratchFloats())))
        return outcome;
    sweep.normals = NormalStepOf(body, body.previousCornerHeights);
    // A rise over no time (or a step that is not a time) throws nothing.
    sweep.parts.findRises = parts.findRises && dt > 0.0 && std::isfinite(dt);

    if (W < 3 || H < 3)
    {
        // No interior cell: no pipe and no height changes; only the watch.
        double water = 0.0;
        GridArrays g = ArraysOf(body);
        for (uint32_t y = 0; y < H; ++y)
            water += WaterOfRow(g, y);
        body.dWatchedWater = water * body.fCellArea;
        outcome.ran = true;
        return outcome;
    }
    auto job = [&sweep](int band) { sweep.Band(band); };
    runner.Run(job);

    double water = 0.0;
    for (int band = 0; band < runner.BandCount(); ++band)
        water += sweep.water[band];
    body.dWatchedWater = water * body.fCellArea;
    if (parts.corners)
        std::swap(body.cornerHeights, body.previousCornerHeights);
    outcome.ran = true;
    if (!parts.findRises)
        return outcome;
    if (!sweep.parts.findRises)
    {
        body.throwingCorners.clear();
        outcome.cornersListed = true;
        return outcome;
    }
    for (int band = 0; band < runner.BandCount(); ++band)
        if (sweep.failed[band])
            return outcome;
    outcome.cornersListed = GatherThrowingCorners(body, runner.BandCount());
    return outcome;
}

CWaterBody::GridSweep CWaterBody::SweepGrid(double dt)
{
    SweepParts parts;
    parts.clearPressures = true;
    parts.corners = true;
    parts.normals = true;
    parts.findRises = true;
    const SweepOutcome outcome = SweepCells(*this, dt, parts);
    GridSweep sweep;
    sweep.done = outcome.ran;
    sweep.cornersListed = outcome.cornersListed;
    return sweep;
}

void CWaterBody::ClearPressures()
{
    if (!HasCells())
        return;
    const GridArrays g = ArraysOf(*this);
    BandRunner runner{GridWorkers()};
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 0, g.H, &begin, &end);
        for (uint32_t y = begin; y < end; ++y)
            ClearPressuresOfRow(g, y);
    };
    runner.Run(job);
}
