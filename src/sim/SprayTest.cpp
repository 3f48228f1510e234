// The first half of the spray stage (stage 4 of the step): which corners
// rose fast enough to throw a particle. The test runs row by row over the
// corner arrays, split among the worker threads, either on its own
// (FindThrowingCorners) or on each corner row as Step's sweep makes it
// (GridSweeps.cpp); the particles themselves are thrown in Objects.cpp, in
// the corner order x outer, y inner, which fixes the random draws.
//
// Deliberately not done: no particle here, and no cell is touched.
#include <cmath>
#include <cstring>
#include <new>

#include "sim/GridKernels.h"
#include "sim/GridSweeps.h"
#include "sim/GridWorkers.h"
#include "sim/WaterBody.h"

namespace
{

// The defined test: the rise as a float, the quotient and the test in
// double (NaN and a rise below the threshold throw nothing).
inline bool RisesFast(float height, float previous, const RiseTest& t)
{
    const float rise = height - previous;
    return rise / t.dt >= t.threshold;
}

// Whether some corner of the row passes the screen. q = rise · (1/dt) is
// within a relative 2^−49 of rise / dt (two roundings; 1/dt keeps at least
// 49 bits even when it is subnormal), and within 2^−1074 more where q
// underflows; the rounded quotient is within half an ulp of rise / dt. So
// q < low = threshold − |threshold| · 2^−20 − 2^−1000 means the rounded
// quotient is below the threshold (infinities included), and a NaN rise
// throws nothing either way.
RIPPLEX_VECTOR_CLONES
bool RowMayRise(uint32_t columns, const float* __restrict heights,
                const float* __restrict previous, double inverseDt, double low)
{
    int32_t may = 0;
    for (uint32_t x = 0; x < columns; ++x)
    {
        const float rise = heights[x] - previous[x];
        may |= int32_t(rise * inverseDt >= low);
    }
    return may != 0;
}

}  // namespace

RiseTest RiseTestFor(double dt, double threshold)
{
    return RiseTest{dt, threshold, 1.0 / dt,
                    threshold - std::fabs(threshold) * 0x1p-20 - 0x1p-1000};
}

void ListFastRises(uint32_t columns, const float* heights, const float* previous,
                   const RiseTest& test, uint32_t rowStart, std::vector<uint32_t>& out)
{
    for (uint32_t x = 0; x < columns; ++x)
        if (RisesFast(heights[x], previous[x], test))
            out.push_back(rowStart + x);
}

void FindFastRises(uint32_t columns, const float* heights, const float* previous,
                   const RiseTest& test, uint32_t rowStart, std::vector<uint32_t>& out)
{
    if (RowMayRise(columns, heights, previous, test.inverseDt, test.low))
        ListFastRises(columns, heights, previous, test, rowStart, out);
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
    if (!runner.pool)
        return false;
    const RiseTest test = RiseTestFor(dt, dParticleThresHold);
    bool failed[CGridWorkers::MAX_THREADS] = {};
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 0, rows, &begin, &end);
        for (int list = 0; list < CGridWorkers::LISTS; ++list)
            runner.pool->Indices(band, list).clear();
        try
        {
            for (uint32_t y = begin; y < end; ++y)
            {
                const size_t rowStart = size_t(y) * columns;
                FindFastRises(columns, cornerHeights + rowStart, previousCornerHeights + rowStart,
                              test, uint32_t(rowStart), runner.pool->Indices(band));
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
