// CTimer: real time between laps on the monotonic clock, in nanosecond
// counts (frequency 1 000 000 000 per second).
#pragma once

#include <cstdint>

class CTimer
{
public:
    static void InitFrequency();
    void Start();
    // Seconds since the reference reading; then a new reference.
    double Lap();

private:
    int64_t reference = 0;
    int64_t latest = 0;
    static int64_t frequency;
    static bool frequencyKnown;
};
