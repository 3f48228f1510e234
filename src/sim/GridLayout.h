// The geometry of the cell grid that every stage shares, each rule written
// once: the eight neighbour directions, the four pipes a cell stores, and
// the largest grid.
//
// Deliberately not here: the arrays themselves (CWaterBody owns them) and
// any arithmetic of the stages.
#pragma once

#include <cstdint>

// dx for directions 0..7, then dy. Direction 7 − k is the opposite of k.
inline constexpr int8_t DIRECTION_TABLE[16] = {
    -1, 0, 1, 1, -1, -1, 0, 1,   // dx
    -1, -1, -1, 0, 0, 1, 1, 1,   // dy
};

// Each pipe is stored once, at the cell it leaves in one of these four
// directions: toward the neighbours that come after the cell when the grid
// is visited x outer, y inner. The neighbour at the other end holds the
// opposite flow, toward direction 7 − PIPE_DIRECTIONS[j].
inline constexpr int PIPE_COUNT = 4;
inline constexpr int PIPE_DIRECTIONS[PIPE_COUNT] = {2, 3, 6, 7};

// Largest grid: 2^24 cells (4096 × 4096), about 750 MB with the corner
// arrays. A larger basin cannot be stepped at an interactive rate on any
// machine this runs on; refusing it keeps a mistyped size from taking the
// machine's memory. Init refuses such options and AllocateGrid such sizes,
// each with its own message.
inline constexpr uint64_t MAX_CELLS = uint64_t(1) << 24;
