// The cell heights as one array in a file, in two forms: NumPy's .npy
// (format version 1.0) and the raw dump.
//
// Orientation and units, both forms: the cells in the simulation's own
// order, cell (x, y) at x + y·W, each its water height in world units as a
// little-endian float32, walls included. As .npy that is an array of shape
// (H, W), dtype '<f4', C order: element [y, x] is cell (x, y), row y = 0
// the basin's −y edge. The raw dump is those bytes alone, no header.
#pragma once

class CWaterBody;
class CExportFile;

// Each writes to `file` (already created); false with the reason in the
// file's Failure.
bool WriteHeightsNpy(const CWaterBody& body, CExportFile& file);
bool WriteHeightsRaw(const CWaterBody& body, CExportFile& file);
