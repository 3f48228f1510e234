// The process-wide pseudo-random sequence of the spray particles: a linear
// congruential generator that is never seeded, so every run of the program
// sees the same numbers. Not thread-safe; the simulation draws from it on
// its own thread only.
#pragma once

// Largest value NextRandom returns.
constexpr int RANDOM_MAX = 32767;

// Next value of the sequence, 0 to RANDOM_MAX.
int NextRandom();

// Puts the sequence back at its start. Tests only: the program never rewinds.
void ResetRandom();
