// The threaded sweep over the cell grid (GridSweeps.cpp), internal to
// src/sim: the pipe stage alone, or the pipe stage with the corner stages
// that follow it in the step, in one pass over memory.
#pragma once

class CWaterBody;

// What the sweep does besides the pipes and the new heights.
struct SweepParts
{
    bool clearPressures = false;  // every pressure set to 0 once the pipes have read it
    bool corners = false;         // stage 3: the corner heights of the new cells
    bool normals = false;         // stage 5 (needs corners)
    bool findRises = false;       // stage 4's test of each new corner (needs corners)
};

struct SweepOutcome
{
    bool ran = false;            // false: nothing changed (the pool's memory could not be had)
    bool cornersListed = false;  // findRises: throwingCorners is complete
};

// The pipes alone always run; the other parts need the worker pool and its
// scratch memory. Sets dWatchedWater.
SweepOutcome SweepCells(CWaterBody& body, double dt, SweepParts parts);

// Puts the lists of throwing corners the bands found (band by band, each
// band's lists in order, together in y-outer, x-inner order) into
// body.throwingCorners, x outer, y inner. False when memory for it cannot
// be had (the list is then empty).
bool GatherThrowingCorners(CWaterBody& body, int bands);
