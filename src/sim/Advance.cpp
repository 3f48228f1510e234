// CWaterBody's advance over an interval: the stability bound of the pipe
// stage, the split of an interval into steps within it, and the divergence
// watch that ends the advance once the simulation has blown up or its spray
// runs away.
//
// Deliberately not done: the bound covers the pipe stage only (objects and
// spray only force it); Step itself stays a single explicit step and
// reports nothing, and the watch only reads what the sweeps of the step
// gathered on their way (GridSweeps.cpp, Objects.cpp).
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/Log.h"
#include "sim/WaterBody.h"

namespace
{
// Steps are kept to this fraction of the bound: the bound is that of the
// linearised pipes; the objects' pressure, the spray and the rounding
// come on top, and a step right at the bound would not damp at all.
constexpr double SAFETY_MARGIN = 0.8;

// No interval is split into more steps than this, so that a huge interval
// cannot stall the caller for hours; its steps are then over the bound and
// the watch reports what follows.
constexpr int MAX_SUB_STEPS = 10000;

// The water plus the spray in flight may drift this far from its start
// before the watch calls it divergence. The pipes conserve the water; a
// sane scene changes the sum only through spray that falls on the walls or
// leaves the basin, and spray thrown beside a wall that takes its water
// from the wall (under 2 % over minutes in the shipped scenes). A blown-up
// basin overshoots by orders of magnitude within a few steps. 10 % is far
// from both, and leaves room for a future event that pours water in.
constexpr double VOLUME_DRIFT = 0.10;

// Runaway spray, where drops falling back into single cells raise spikes
// that throw more drops, keeps the total but empties the cells into the
// air: the watch stops it once less than this share of the start is left
// in the cells. A splash throws its water up too, and takes it back.
// Measured with ripplex-sim in steps of 0.03 s, shares of the start:
//
//   scene                      without this floor             stopped by it
//   50², dParticleThresHold    half the water gone at 6.93 s  5.58 s, 74.8 % left
//   0.3
//   100², 128², 256², 512²     half gone at 3.72, 3.51,       3.24, 3.00, 3.03,
//   at the shipped 0.5         3.66, 4.83 s                   3.99 s, 74.6 to
//                                                             74.9 % left
//   four splashes, 40 × 30     12 to 20.5 % up at the peak,   never (30 s)
//   cells, one heavy ball      down to 79.5 % in the cells
//   two storms, the same at    32 and 36 % up for seconds,    1.32 and 0.63 s
//   dGravity 1                 back to 94 and 93 % by 30 s
//
// Neither how long the spray stays up nor how long it grows tells the two
// apart: a 12 % splash holds its spray for 1.5 s, and on 512² the runaway
// marks time at 13 to 17 % for 1.5 s (under Objects.cpp's cap on live
// particles) before it empties the basin. The floor stops every runaway
// 0.48 s or more before half of its water is gone, and 50² at 0.3 before
// its total, which the walls feed, drifts over 10 % (5.82 s); a splash
// that throws a fifth of its water stays 5 points above it.
constexpr double SPRAY_FLOOR = 0.75;

// Largest eigenvalue of the 8-neighbour grid Laplacian (see StableStep).
constexpr double LAPLACIAN_BOUND = 12.0;

// The watch after a step of `step` seconds. sprayBefore is the spray in
// flight when the step's pipe stage ran: with the water that stage left,
// one total.
DivergenceKind Watch(CWaterBody& b, double sprayBefore, double step)
{
    if (!std::isfinite(b.dWatchedWater))
        return DIVERGENCE_CELLS;
    if (!b.bWatchedObjectsFinite)
        return DIVERGENCE_OBJECTS;
    const double water = b.dWatchedWater;
    if (!b.bStartVolumeKnown)
    {
        b.dStartVolume = water + sprayBefore;
        b.bStartVolumeKnown = true;
    }
    // An empty basin (or a negative start, dDefaultHeight below 0) has no
    // scale to drift from: only the finite checks apply.
    const double start = b.dStartVolume;
    if (!(start > 0.0))
        return DIVERGENCE_NONE;
    if (std::fabs(water + sprayBefore - start) > VOLUME_DRIFT * start)
        return DIVERGENCE_VOLUME;
    // Over the stability bound the pipes themselves blow up and throw the
    // spray: the step is what to change, not the threshold.
    if (water < SPRAY_FLOOR * start)
        return step > b.StableStep() ? DIVERGENCE_VOLUME : DIVERGENCE_SPRAY;
    return DIVERGENCE_NONE;
}

// The README's rule for finer grids: dParticleThresHold in proportion to
// the cells along a side, 0.5 · N / 50, which is 0.5 on the shipped 2 cm
// cells. The rise it limits is that of waves on cells of side s, so N is
// one metre over s = √fCellArea: N for N × N cells over the shipped 1 × 1
// basin, √(W·H) for W × H cells over it; a wider basin of 2 cm cells needs
// no more (the shipped balls over 2 × 2 on 100² throw nothing at 0.5).
double ScaledParticleThreshold(const CWaterBody& b)
{
    return 0.5 / (50.0 * std::sqrt(double(b.fCellArea)));
}

// What the runaway line says: how much is in the air and what to set
// dParticleThresHold to. 0.1 % below the rule is as good as the rule:
// a float threshold written as the rule's value is read a little below it.
void DescribeRunawaySpray(char* what, size_t size, const CWaterBody& b, double sprayBefore)
{
    const int n = std::snprintf(what, size,
                                "embruns en emballement, eau \xE0 %.1f %% et embruns \xE0 %.1f %% "
                                "du volume de d\xE9part ; ",
                                100.0 * b.dWatchedWater / b.dStartVolume,
                                100.0 * sprayBefore / b.dStartVolume);
    if (n < 0 || size_t(n) >= size)
        return;
    const double scaled = ScaledParticleThreshold(b), now = b.dParticleThresHold;
    if (now < 0.999 * scaled)
        std::snprintf(what + n, size - n, "essayer dParticleThresHold = %.3g au lieu de %.3g",
                      scaled, now);
    else
        std::snprintf(what + n, size - n,
                      "dParticleThresHold = %.3g atteint d\xE9j\xE0 les %.3g conseill\xE9s pour "
                      "cette grille, l'augmenter encore", now, scaled);
}

void LogDivergence(const CWaterBody& b, double sprayBefore, double step)
{
    char what[256];
    if (b.iDivergence == DIVERGENCE_CELLS)
        std::snprintf(what, sizeof what, "hauteur ou d\xE9" "bit d'eau non fini");
    else if (b.iDivergence == DIVERGENCE_OBJECTS)
        std::snprintf(what, sizeof what, "position ou vitesse d'un objet non finie");
    else if (b.iDivergence == DIVERGENCE_SPRAY)
        DescribeRunawaySpray(what, sizeof what, b, sprayBefore);
    else
        std::snprintf(what, sizeof what,
                      "eau \xE0 %.1f %%, eau et embruns \xE0 %.1f %% du volume de d\xE9part",
                      100.0 * b.dWatchedWater / b.dStartVolume,
                      100.0 * (b.dWatchedWater + sprayBefore) / b.dStartVolume);
    char bound[32];
    const double stable = b.StableStep();
    if (std::isinf(stable))
        std::snprintf(bound, sizeof bound, "aucun");
    else
        std::snprintf(bound, sizeof bound, "%.6g s", stable);
    CLog::Write("CWaterBody::Advance -- Simulation divergente \xE0 t = %.4f s : %s"
                " (pas stable maximal %s, pas utilis\xE9 %.6g s)",
                b.dElapsedTime, what, bound, step);
}
}  // namespace

// With A = fCellArea, one pipe update between water cells of heights h1, h2
// (pressures aside) is flow' = d·(flow + dt·c·A·(h1 − h2)), where
// c = fPipeCrossSection·fDensityGravity / (fDensityPipeLength·A)
//   = g·iPipeDivisor / (iCrossSectionDivisor·√A)   (ρ cancels)
// and d = max(0, 1 − dFriction·dt); every height then moves by −(dt/A)·Σ flow'.
// On a mode of the 8-neighbour grid Laplacian with eigenvalue λ, the pair
// (u = (dt/A)·Σ flow, h) maps by [d, d·s; −d, 1 − d·s] with s = c·λ·dt²:
// determinant d, trace 1 + d − d·s, so both eigenvalues stay in the unit
// disc while d·s < 2·(1 + d). λ ≤ 12 on every grid: pipes toward walls
// carry nothing, which only removes edges from the infinite grid, whose
// largest eigenvalue is 12 (stripes alternating every cell). With K = 12·c:
// - no friction, dt < 2/√K;
// - friction f > 0, K·dt²·(1 − f·dt) < 2·(2 − f·dt) holds from 0 up to the
//   first positive root, if one comes before f·dt = 1, beyond which every
//   flow is zeroed and nothing grows: the bound is that root, else none;
// - g ≤ 0 gives no restoring force and no bound from the pipes (with g < 0
//   the water piles up at every dt, as it would in reality: the watch
//   reports it); negative friction amplifies every flow at every dt and is
//   taken as 0 here, for the same reason.
// "No bound" is +infinity.
double CWaterBody::StableStep() const
{
    const double infinity = std::numeric_limits<double>::infinity();
    const double c = double(fPipeCrossSection) * fDensityGravity /
                     (double(fDensityPipeLength) * fCellArea);
    const double K = LAPLACIAN_BOUND * c;
    if (!(K > 0.0) || !std::isfinite(K))
        return infinity;
    const double f = dFriction;
    if (!(f > 0.0))
        return 2.0 / std::sqrt(K);
    // F rises from F(0) = −4 to its peak at t_m, then falls; F(1/f) = −2.
    auto F = [K, f](double t) { return K * t * t * (1.0 - f * t) - 2.0 * (2.0 - f * t); };
    const double peak = (K + std::sqrt(K * K + 6.0 * K * f * f)) / (3.0 * K * f);
    double high = std::fmin(peak, 1.0 / f);
    if (!(F(high) > 0.0))
        return infinity;
    double low = 0.0;
    for (int i = 0; i < 200 && low < high; ++i)
    {
        const double middle = 0.5 * (low + high);
        if (middle <= low || middle >= high)
            break;
        (F(middle) > 0.0 ? high : low) = middle;
    }
    return low;
}

double CWaterBody::SafeStep() const
{
    return SAFETY_MARGIN * StableStep();
}

int CWaterBody::SubStepsFor(double interval) const
{
    const double safe = SafeStep();
    if (!(interval > safe))  // within the bound, or not a positive number
        return 1;
    const double n = std::ceil(interval / safe);
    return n < MAX_SUB_STEPS ? int(n) : MAX_SUB_STEPS;
}

bool CWaterBody::Advance(double interval, bool subSteps)
{
    if (iDivergence != DIVERGENCE_NONE)
        return false;
    const int n = subSteps ? SubStepsFor(interval) : 1;
    const double step = n == 1 ? interval : interval / n;
    iLastSubSteps = n;
    for (int i = 0; i < n; ++i)
    {
        const double sprayBefore = dWatchedSpray;
        Step(step);
        dWatchedSprayAtPipes = sprayBefore;
        iDivergence = Watch(*this, sprayBefore, step);
        if (iDivergence != DIVERGENCE_NONE)
        {
            LogDivergence(*this, sprayBefore, step);
            return false;
        }
    }
    return true;
}

bool CWaterBody::VolumeFractions(double* water, double* spray) const
{
    if (!bStartVolumeKnown)
    {
        *water = 1.0;
        *spray = 0.0;
        return dDefaultHeight > 0.0f;
    }
    if (!(dStartVolume > 0.0))
        return false;
    *water = dWatchedWater / dStartVolume;
    *spray = dWatchedSprayAtPipes / dStartVolume;
    return true;
}
