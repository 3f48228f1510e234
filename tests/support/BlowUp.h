// Measured stability of the pipe stage, for the bound's test and
// bench/StabilityTable.cpp. A basin of `options` at rest height 1, spray
// off, every height disturbed at random by up to 1e-4, "blows up" at dt
// when within `steps` plain Steps some height departs from 1 by more than
// 0.1 or stops being finite.
#pragma once

#include <string>

bool BlowsUp(const std::string& options, double dt, int steps);

// The blow-up dt between a stable and an unstable one, by bisection to 1e-4.
double MeasuredBlowUpStep(const std::string& options, double stable, double unstable, int steps);
