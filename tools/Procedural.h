// Small deterministic helpers for the shipped pictures and mesh: an
// integer hash, tileable value noise and a cosine, all built from +, −, ×,
// ÷ and floor only, so the generated files come out identical on every
// IEEE 754 machine whatever its maths library.
//
// Deliberately not done: no std::sin, std::exp or std::pow (their last
// bits differ between library versions), no global random state.
#pragma once

#include <cmath>
#include <cstdint>

namespace procedural
{

constexpr double PI = 3.14159265358979323846;

// A well-mixing 32-bit hash (multiply-xorshift), so neighbouring lattice
// points get unrelated values.
inline uint32_t Hash(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

inline uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed)
{
    return Hash(x ^ Hash(y ^ Hash(seed)));
}

// In [0, 1).
inline double HashUnit(uint32_t x, uint32_t y, uint32_t seed)
{
    return double(Hash(x, y, seed) >> 8) / double(1u << 24);
}

inline double Clamp01(double v)
{
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

inline double Lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

// 0 below edge0, 1 above edge1, a smooth cubic between.
inline double SmoothStep(double edge0, double edge1, double v)
{
    double t = Clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

// cos(2π · turns). The argument is reduced to a quarter turn and the
// Taylor series summed to the 16th power: error below 1e-12.
inline double CosTurns(double turns)
{
    double f = turns - std::floor(turns);            // [0, 1)
    double x = 2.0 * PI * (f < 0.5 ? f : 1.0 - f);   // [0, π], cos is even
    double sign = 1.0;
    if (x > 0.5 * PI)
    {
        x = PI - x;
        sign = -1.0;
    }
    double x2 = x * x;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k <= 8; ++k)
    {
        term = -term * x2 / double((2 * k - 1) * (2 * k));
        sum += term;
    }
    return sign * sum;
}

inline double SinTurns(double turns)
{
    return CosTurns(turns - 0.25);
}

// Value noise in [0, 1) on a lattice of `period` × `period` cells that
// repeats, so a picture made from it tiles without seams. (u, v) in
// lattice cells.
inline double TileableNoise(double u, double v, int period, uint32_t seed)
{
    double fu = std::floor(u);
    double fv = std::floor(v);
    double tu = u - fu;
    double tv = v - fv;
    auto wrap = [period](double cell) {
        int c = int(cell) % period;
        return uint32_t(c < 0 ? c + period : c);
    };
    uint32_t x0 = wrap(fu), x1 = wrap(fu + 1.0);
    uint32_t y0 = wrap(fv), y1 = wrap(fv + 1.0);
    // Quintic fade: smooth slopes across lattice lines.
    double su = tu * tu * tu * (tu * (tu * 6.0 - 15.0) + 10.0);
    double sv = tv * tv * tv * (tv * (tv * 6.0 - 15.0) + 10.0);
    double bottom = Lerp(HashUnit(x0, y0, seed), HashUnit(x1, y0, seed), su);
    double top = Lerp(HashUnit(x0, y1, seed), HashUnit(x1, y1, seed), su);
    return Lerp(bottom, top, sv);
}

// Sum of `octaves` noise layers, each twice as fine and half as strong;
// (s, t) in [0, 1) tiles with period 1. Result in [0, 1).
inline double TileableFractalNoise(double s, double t, int basePeriod, int octaves, uint32_t seed)
{
    double sum = 0.0;
    double weight = 0.5;
    double total = 0.0;
    int period = basePeriod;
    for (int octave = 0; octave < octaves; ++octave)
    {
        sum += weight * TileableNoise(s * period, t * period, period, seed + uint32_t(octave));
        total += weight;
        weight *= 0.5;
        period *= 2;
    }
    return sum / total;
}

}  // namespace procedural
