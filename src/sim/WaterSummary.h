// WaterSummary: the numbers ripplex-sim prints for a body (time, volume of
// the water cells, volume of the spray in flight, balls and drops), added
// up in one fixed order so that every reader of them gets the same bits.
// Reads the body only; one pass over the cells and one over the objects.
#pragma once

#include <cstddef>

class CWaterBody;

struct WaterSummary
{
    double time = 0.0;   // simulated seconds
    double water = 0.0;  // Σ height · fCellArea over the water cells, in double
    double spray = 0.0;  // Σ 4π/3 · r³ over the particles in flight
    size_t objects = 0;  // solid spheres
    size_t particles = 0;
};

WaterSummary SummariseWater(const CWaterBody& body);
// The same without the pass over the cells: water stays 0.
WaterSummary SummariseObjects(const CWaterBody& body);
