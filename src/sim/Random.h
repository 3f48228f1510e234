// The process-wide pseudo-random sequence of the spray particles: a linear
// congruential generator that is never seeded, so every run of the program
// sees the same numbers. Not thread-safe; the simulation draws from it on
// its own thread only.
#pragma once

#include <cstdint>

// Largest value NextRandom returns.
constexpr int RANDOM_MAX = 32767;

// The state before the first draw of a run.
constexpr uint32_t RANDOM_START_STATE = 1u;

// Next value of the sequence, 0 to RANDOM_MAX.
int NextRandom();

// Puts the sequence back at its start. The programs never rewind; tests do.
void ResetRandom();

// The whole state of the sequence, and putting it back: a host that runs
// several bodies in one process keeps one state per body, so that each
// draws the numbers of a run of its own (the Python module does).
uint32_t RandomState();
void SetRandomState(uint32_t state);
