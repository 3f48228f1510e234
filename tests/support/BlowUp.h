// Measured stability of the pipe stage, for the bound's test and the
// bench's table (bench/StabilityTable.cpp). A basin of the given options,
// at rest height 1 with spray off, gets every water height disturbed at
// random by up to 1e-4; it "blows up" at dt when, within `steps` plain
// Steps of dt, some height departs from 1 by more than 0.1 (a thousand
// times the disturbance) or stops being finite.
#pragma once

#include <string>

bool BlowsUp(const std::string& options, double dt, int steps);

// The dt at which the basin starts to blow up, by bisection of [stable,
// unstable] to a relative 1e-4; the caller checks the ends.
double MeasuredBlowUpStep(const std::string& options, double stable, double unstable, int steps);
