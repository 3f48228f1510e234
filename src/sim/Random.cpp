// The particle generator: state = state * 214013 + 2531011 (mod 2^32),
// starting from 1; each value is bits 16 to 30 of the new state.
#include "sim/Random.h"

namespace
{
uint32_t g_randomState = RANDOM_START_STATE;
}

int NextRandom()
{
    // Unsigned arithmetic wraps modulo 2^32 by definition.
    g_randomState = g_randomState * 214013u + 2531011u;
    return static_cast<int>((g_randomState >> 16) & 0x7FFFu);
}

void ResetRandom()
{
    g_randomState = RANDOM_START_STATE;
}

uint32_t RandomState()
{
    return g_randomState;
}

void SetRandomState(uint32_t state)
{
    g_randomState = state;
}
