// The corner stages: the corner heights (stage 3 of the step) and the
// corner normals (stage 5). Each corner is the point shared by four cells;
// its height is the average of the water cells among them, its normal the
// sum of the normals of the four quadrants around it. The row kernels serve
// these two stages run on their own and the sweep of Step (GridSweeps.cpp),
// which runs them on each row right after the pipes; both give the same
// bits.
//
// Deliberately not done: no smoothing beyond the definitions, and nothing
// read but the cells' heights and kinds and the corner heights.
#include <bit>
#include <cmath>
#include <utility>

#if defined(__SSE__)
#include <immintrin.h>
#endif

#include "sim/GridKernels.h"
#include "sim/GridWorkers.h"
#include "sim/WaterBody.h"

namespace
{

// The water cells around corner x of a corner row, from its two cell rows:
// the heights of rows r (h0) and r + 1 (h1) summed in the order (x, r),
// (x, r + 1), (x + 1, r), (x + 1, r + 1), and their count. A wall adds +0
// instead, which leaves the sum as it was (the sum starts at +0, so it is
// never −0); the masking is done on the bits, which the compiler keeps in
// vector registers.
inline float WaterSum(uint32_t x, const float* h0, const float* h1, const uint8_t* w0,
                      const uint8_t* w1, int32_t* count)
{
    const int32_t m0 = -int32_t(w0[x] != 0), m1 = -int32_t(w1[x] != 0);
    const int32_t m2 = -int32_t(w0[x + 1] != 0), m3 = -int32_t(w1[x + 1] != 0);
    float sum = 0.0f;
    sum += std::bit_cast<float>(std::bit_cast<int32_t>(h0[x]) & m0);
    sum += std::bit_cast<float>(std::bit_cast<int32_t>(h1[x]) & m1);
    sum += std::bit_cast<float>(std::bit_cast<int32_t>(h0[x + 1]) & m2);
    sum += std::bit_cast<float>(std::bit_cast<int32_t>(h1[x + 1]) & m3);
    *count = -(m0 + m1 + m2 + m3);
    return sum;
}

// The corner height from its average: kept when above 0 ("average > 0" on
// the bits: positive, not zero, not NaN; infinity is above 0), else 0.
inline float KeptAverage(float average, int32_t count)
{
    const int32_t bits = std::bit_cast<int32_t>(average);
    const bool keep = count > 0 && bits > 0 && bits <= 0x7F800000;
    return std::bit_cast<float>(keep ? bits : 0);
}

// Corner heights of a corner row: the sum divided by the count as a float.
// Dividing by 1, 2 or 4 gives the same float as multiplying by 1, 0.5 or
// 0.25 (the same real quotient, rounded once), which spares the divider;
// a corner with three water cells (beside an interior wall or a water
// cell of the border) gets a stand-in here and sets bit 0 of the result.
// With `previous`, bit 1 says the row passes the spray screen (RiseTest),
// stand-ins aside.
template <bool rises>
inline int32_t CornerAveragesBody(uint32_t columns, const float* __restrict h0,
                                  const float* __restrict h1, const uint8_t* __restrict w0,
                                  const uint8_t* __restrict w1, float* __restrict out,
                                  const float* __restrict previous, double inverseDt, double low)
{
    int32_t flags = 0;
    for (uint32_t x = 0; x < columns; ++x)
    {
        int32_t count;
        const float sum = WaterSum(x, h0, h1, w0, w1, &count);
        // 2^−l for a count of 2^l, made from its exponent bits.
        const int32_t l = int32_t(count >= 2) + int32_t(count >= 4);
        const float scale = std::bit_cast<float>((127 - l) << 23);
        const float height = KeptAverage(sum * scale, count);
        flags |= int32_t(count == 3);
        if constexpr (rises)
        {
            const float rise = height - previous[x];
            flags |= int32_t(rise * inverseDt >= low) << 1;
        }
        out[x] = height;
    }
    return flags;
}

RIPPLEX_VECTOR_CLONES
int32_t CornerAveragesByScale(uint32_t columns, const float* h0, const float* h1, const uint8_t* w0,
                              const uint8_t* w1, float* out)
{
    return CornerAveragesBody<false>(columns, h0, h1, w0, w1, out, nullptr, 0.0, 0.0);
}

RIPPLEX_VECTOR_CLONES
int32_t CornerAveragesAndRises(uint32_t columns, const float* h0, const float* h1,
                               const uint8_t* w0, const uint8_t* w1, float* out,
                               const float* previous, double inverseDt, double low)
{
    return CornerAveragesBody<true>(columns, h0, h1, w0, w1, out, previous, inverseDt, low);
}

// The corners with three water cells, by the division.
void DivideThirds(uint32_t columns, const float* h0, const float* h1, const uint8_t* w0,
                  const uint8_t* w1, float* out)
{
    for (uint32_t x = 0; x < columns; ++x)
    {
        int32_t count;
        const float sum = WaterSum(x, h0, h1, w0, w1, &count);
        if (count == 3)
            out[x] = KeptAverage(sum / 3.0f, count);
    }
}

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

// Unnormalised normals of the corners x in [xBegin, xEnd) of an inner
// corner row, where all four quadrants exist, in the quadrant order of
// CornerNormal, into plain arrays with their squared lengths.
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

}  // namespace

NormalStep NormalStepOf(const CWaterBody& b, const float* heights)
{
    return NormalStep{heights, b.cornerNormals, b.iSimulationWidth - 1, b.iSimulationHeight - 1,
                      b.CellSizeX(), b.CellSizeY()};
}

namespace
{
// Cell rows r and r + 1, whose four cells around each corner of corner row
// r give its height: heights and kinds, W each.
struct CellRowPair
{
    const float *h0, *h1;
    const uint8_t *w0, *w1;
};

CellRowPair CellRowsAround(const GridArrays& g, uint32_t r)
{
    const size_t at = size_t(r) * g.W;
    return {g.height + at, g.height + at + g.W, g.water + at, g.water + at + g.W};
}
}  // namespace

void CornerHeightsOfRow(const GridArrays& g, uint32_t r, float* out)
{
    const CellRowPair c = CellRowsAround(g, r);
    if (CornerAveragesByScale(g.W - 1, c.h0, c.h1, c.w0, c.w1, out) & 1)
        DivideThirds(g.W - 1, c.h0, c.h1, c.w0, c.w1, out);
}

void CornerHeightsAndRisesOfRow(const GridArrays& g, uint32_t r, float* out, const float* previous,
                                const RiseTest& rises, std::vector<uint32_t>& found)
{
    const CellRowPair c = CellRowsAround(g, r);
    const uint32_t columns = g.W - 1;
    const int32_t flags =
        CornerAveragesAndRises(columns, c.h0, c.h1, c.w0, c.w1, out, previous, rises.inverseDt, rises.low);
    if (flags & 1)
        DivideThirds(columns, c.h0, c.h1, c.w0, c.w1, out);
    if (flags != 0)  // a stand-in's screen says nothing: test the row
        ListFastRises(columns, out, previous, rises, uint32_t(size_t(r) * columns), found);
}

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

// The new heights go to the previous heights' array, whose values are no
// longer needed, and the two arrays then swap: the current heights become
// the previous ones without a copy.
void CWaterBody::UpdateCornerHeights()
{
    if (!HasCells() || !cornerHeights || iSimulationWidth < 2 || iSimulationHeight < 2)
        return;
    const GridArrays g = ArraysOf(*this);
    const uint32_t columns = iSimulationWidth - 1, rows = iSimulationHeight - 1;
    float* out = previousCornerHeights;
    BandRunner runner{GridWorkers()};
    auto job = [&](int band)
    {
        uint32_t begin, end;
        runner.Rows(band, 0, rows, &begin, &end);
        for (uint32_t r = begin; r < end; ++r)
            CornerHeightsOfRow(g, r, out + size_t(r) * columns);
    };
    runner.Run(job);
    std::swap(cornerHeights, previousCornerHeights);
}

void CWaterBody::UpdateCornerNormals()
{
    if (!cornerHeights || !cornerNormals || iSimulationWidth < 2 || iSimulationHeight < 2)
        return;
    const NormalStep s = NormalStepOf(*this, cornerHeights);
    BandRunner runner{GridWorkers()};
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
