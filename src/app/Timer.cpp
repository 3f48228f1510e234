// CTimer on the monotonic clock. Readings are nanoseconds, so the counter
// frequency is fixed at 10^9 per second; it is still "queried" once, as
// the interface expects, so every lap divides by the same frequency.
//
// Deliberately not done: no pause/resume, no smoothing of laps.
#include "app/Timer.h"

#include <ctime>

int64_t CTimer::frequency = 0;
bool CTimer::frequencyKnown = false;

namespace
{
constexpr int64_t NANOSECONDS_PER_SECOND = 1000000000;

int64_t ReadCounter()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * NANOSECONDS_PER_SECOND + now.tv_nsec;
}
}  // namespace

void CTimer::InitFrequency()
{
    if (frequencyKnown)
        return;
    frequency = NANOSECONDS_PER_SECOND;
    frequencyKnown = true;
}

void CTimer::Start()
{
    InitFrequency();
    reference = ReadCounter();
}

double CTimer::Lap()
{
    InitFrequency();
    latest = ReadCounter();
    double seconds = static_cast<double>(latest - reference) / static_cast<double>(frequency);
    // The new reference is read after the division: the few nanoseconds in
    // between belong to no interval.
    reference = ReadCounter();
    return seconds;
}
