// The first half of the spray stage (stage 4 of the step): which corners
// rose fast enough to throw a particle. The test runs row by row over the
// corner arrays, split among the worker threads, either on its own
// (FindThrowingCorners) or on each corner row as Step's sweep makes it
// (GridSweeps.cpp); the particles themselves are thrown in Objects.cpp, in
// the corner order x outer, y inner, which fixes the random draws.
//
// Deliberately not done: no particle here, and no cell is touched.
#include <cstring>
#include <new>

#include "sim/GridKernels.h"
#include "sim/GridSweeps.h"
#include "sim/GridWorkers.h"
#include "sim/WaterBody.h"

namespace
{

// marks[x] = 1 when corner x of a row rose fast enough to throw spray: the
// rise as a float, the quotient and the test in double, as the particle
// stage defines them (NaN and a rise below the threshold give 0).
RIPPLEX_VECTOR_CLONES
void MarkFastRises(uint32_t columns, const float* __restrict heights,
                   const float* __restrict previous, double dt, double threshold,
                   uint8_t* __restrict marks)
{
    for (uint32_t x = 0; x < columns; ++x)
    {
        const float rise = heights[x] - previous[x];
        marks[x] = rise / dt >= threshold;
    }
}

// Appends to `out` the index of every marked corner of the row, in x order;
// eight marks are skipped at once while none is set.
void CollectMarked(const uint8_t* marks, uint32_t columns, uint32_t rowStart,
                   std::vector<uint32_t>& out)
{
    uint32_t x = 0;
    for (; x + 8 <= columns; x += 8)
    {
        uint64_t eight;
        std::memcpy(&eight, marks + x, 8);
        if (eight == 0)
            continue;
        for (uint32_t j = x; j < x + 8; ++j)
            if (marks[j])
                out.push_back(rowStart + j);
    }
    for (; x < columns; ++x)
        if (marks[x])
            out.push_back(rowStart + x);
}

}  // namespace

void FindFastRises(uint32_t columns, const float* heights, const float* previous, double dt,
                   double threshold, uint32_t rowStart, uint8_t* marks, std::vector<uint32_t>& out)
{
    MarkFastRises(columns, heights, previous, dt, threshold, marks);
    CollectMarked(marks, columns, rowStart, out);
}

bool GatherThrowingCorners(CWaterBody& body, int bands)
{
    body.throwingCorners.clear();
    CGridWorkers& pool = *body.pGridWorkers;
    const uint32_t columns = body.iSimulationWidth - 1;
    size_t total = 0;
    for (int band = 0; band < bands; ++band)
        for (int list = 0; list < CGridWorkers::LISTS; ++list)
            total += pool.Indices(band, list).size();
    if (total == 0)
        return true;
    try
    {
        body.throwingCorners.resize(total);
        body.throwingColumnStarts.assign(size_t(columns) + 1, 0);
    }
    catch (const std::bad_alloc&)
    {
        body.throwingCorners.clear();
        return false;
    }
    // A stable counting sort on the column turns y outer, x inner into x
    // outer, y inner.
    uint32_t* starts = body.throwingColumnStarts.data();
    for (int band = 0; band < bands; ++band)
        for (int list = 0; list < CGridWorkers::LISTS; ++list)
            for (uint32_t i : pool.Indices(band, list))
                ++starts[i % columns + 1];
    for (uint32_t x = 1; x < columns; ++x)
        starts[x] += starts[x - 1];
    for (int band = 0; band < bands; ++band)
        for (int list = 0; list < CGridWorkers::LISTS; ++list)
            for (uint32_t i : pool.Indices(band, list))
                body.throwingCorners[starts[i % columns]++] = i;
    return true;
}

bool CWaterBody::FindThrowingCorners(double dt)
{
    throwingCorners.clear();
    if (!cornerHeights || !previousCornerHeights || iSimulationWidth < 2 || iSimulationHeight < 2)
        return true;
    const uint32_t columns = iSimulationWidth - 1, rows = iSimulationHeight - 1;
    BandRunner runner{GridWorkers()};
    // The marks of one row, as bytes in the band's float scratch.
    if (!runner.pool || !runner.pool->ReserveScratch(columns / 4 + 1))
        return false;
    const double threshold = dParticleThresHold;
    bool failed[CGridWorkers::MAX_THREADS] = {};
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 0, rows, &begin, &end);
        uint8_t* marks = reinterpret_cast<uint8_t*>(runner.pool->Scratch(band));
        for (int list = 0; list < CGridWorkers::LISTS; ++list)
            runner.pool->Indices(band, list).clear();
        try
        {
            for (uint32_t y = begin; y < end; ++y)
            {
                const size_t rowStart = size_t(y) * columns;
                FindFastRises(columns, cornerHeights + rowStart, previousCornerHeights + rowStart,
                              dt, threshold, uint32_t(rowStart), marks, runner.pool->Indices(band));
            }
        }
        catch (const std::bad_alloc&)
        {
            failed[band] = true;
        }
    };
    runner.Run(job);
    for (int band = 0; band < runner.BandCount(); ++band)
        if (failed[band])
            return false;
    return GatherThrowingCorners(*this, runner.BandCount());
}
