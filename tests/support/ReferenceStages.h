// Reference grid stages: the pipe, corner-height and corner-normal stages
// written as the plain loops they are defined by (x outer, y inner, each
// pipe updated once through the pipeDone flags), for the identity tests and
// the benchmarks to compare the fast stages against. The pipe stage runs on
// cell records of its own, one per cell with all eight flows, read from
// the body's arrays and written back. Slow on purpose; never used by the
// program.
#pragma once

#include "sim/WaterBody.h"

void ReferenceUpdatePipes(CWaterBody& body, double dt);
void ReferenceUpdateCornerHeights(CWaterBody& body);
void ReferenceUpdateCornerNormals(CWaterBody& body);

// The whole step with the three reference stages in place of the fast ones;
// the event and object stages are the body's own.
void ReferenceStep(CWaterBody& body, double dt);
