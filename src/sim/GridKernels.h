// Row kernels of the grid stages, for the stage files and the sweeps of the
// simulation (internal to src/sim): the pipes stored in a row, the new
// heights of a row, a row of corner heights, a row of corner normals and
// the spray test of a corner row.
//
// Every value comes from one fixed formula, in the 32/64-bit types and the
// order of operations of the plain loops that define the stages (cells x
// outer, y inner; each pipe updated once, by whichever of its two cells
// comes first), so the split of the rows among threads and the vector unit
// a clone runs on never change a bit. The build has -ffp-contract=off: no
// fused multiply-adds.
//
// Deliberately not done here: no threads, no allocation, no choice of which
// rows to run (GridSweeps.cpp and the stage files decide).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Vec3.h"

class CWaterBody;

// Runs a loop under the widest vector unit the processor has; every clone
// computes the same IEEE results (no contraction, no reassociation).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
#define RIPPLEX_VECTOR_CLONES __attribute__((target_clones("default", "avx2", "avx512f")))
#else
#define RIPPLEX_VECTOR_CLONES
#endif

// The body's cell arrays (see CWaterBody), W·H each.
struct GridArrays
{
    float* height;
    float* pressure;
    float* flow[4];  // toward PIPE_DIRECTIONS
    const uint8_t* water;
    uint32_t W, H;

    bool IsInterior(uint32_t x, uint32_t y) const
    {
        return x >= 1 && x + 1 < W && y >= 1 && y + 1 < H;
    }
};
GridArrays ArraysOf(CWaterBody& body);

// What the pipe stage needs, computed once per step.
struct PipeConstants
{
    double dt;
    double crossSectionDt;     // dt · fPipeCrossSection
    double densityPipeLength;  // fDensityPipeLength
    double damping;            // 1 − dFriction·dt, not below 0
    float densityGravity;      // fDensityGravity
    float inverseArea;         // 1 / fCellArea, as a float
};
PipeConstants PipeConstantsFor(const CWaterBody& body, double dt);

// True when every interior cell of row y is water, and for the border rows
// (their cells never update a pipe). Rows next to none but such rows take
// the fast paths below.
bool IsPlainRow(const GridArrays& g, uint32_t y);

// Updates every pipe stored in row y (any row). `plain`: rows y − 1, y and
// y + 1 are plain (IsPlainRow). Reads the old heights and pressures of rows
// y − 1 .. y + 1; writes the flows of row y only.
void UpdatePipesOfRow(const GridArrays& g, const PipeConstants& c, uint32_t y, bool plain);

// New heights of the interior row y, once the pipes of rows y − 1 .. y + 1
// are updated (and before rows y − 1 .. y + 1 update theirs: they read the
// old heights of row y). `plain`: rows y − 1 .. y + 1 are plain. Returns
// the sum of the water cells' new heights of the row, border cells
// included, for the divergence watch.
double SettleRow(const GridArrays& g, const PipeConstants& c, uint32_t y, bool plain);
// The sum of the water cells' heights of any row, for the border rows.
double WaterOfRow(const GridArrays& g, uint32_t y);
// Sets the pressures of row y to +0, writing only where one is not +0
// already (a cache line the objects did not press stays clean).
void ClearPressuresOfRow(const GridArrays& g, uint32_t y);

// The spray test of a corner: its rise (new height − previous, a float)
// over dt (the quotient and the comparison in double) reaches the
// threshold. A row is first screened without the division: no corner of
// it throws unless some rise · inverseDt reaches `low` (see SprayTest.cpp
// for why that is exact); the corners of a row that passes are then
// tested one by one with the division.
struct RiseTest
{
    double dt;         // > 0 and finite
    double threshold;  // finite
    double inverseDt;  // 1 / dt
    double low;        // threshold − |threshold| · 2^−20 − 2^−1000
};
RiseTest RiseTestFor(double dt, double threshold);
// Appends to `out` the index rowStart + x of every corner x of a row that
// throws, in x order, each by the division.
void ListFastRises(uint32_t columns, const float* heights, const float* previous,
                   const RiseTest& test, uint32_t rowStart, std::vector<uint32_t>& out);
// The screen and the list for one row.
void FindFastRises(uint32_t columns, const float* heights, const float* previous,
                   const RiseTest& test, uint32_t rowStart, std::vector<uint32_t>& out);

// Corner row r (0 <= r <= H − 2) from cell rows r and r + 1: the average of
// the water cells around each corner, 0 when none is water or the average
// is not above 0. W − 1 values to `out`. With `rises`, also the spray
// test of the new heights against `previous` into `found`.
void CornerHeightsOfRow(const GridArrays& g, uint32_t r, float* out);
void CornerHeightsAndRisesOfRow(const GridArrays& g, uint32_t r, float* out, const float* previous,
                                const RiseTest& rises, std::vector<uint32_t>& found);

// The corner grid for the normals.
struct NormalStep
{
    const float* heights;
    Vec3* normals;
    uint32_t columns, rows;  // corners: W − 1 by H − 1
    float dx, dy;            // the cell size
};
// The body's corner grid with the corner heights `heights`, the cell size
// dx = SX / W, dy = SY / H as floats.
NormalStep NormalStepOf(const CWaterBody& body, const float* heights);
// Normals of corner row y, from corner rows y − 1 .. y + 1; `scratch` holds
// 4 × columns floats, or is null (then corner by corner).
void UpdateNormalsOfRow(const NormalStep& s, uint32_t y, float* scratch);

