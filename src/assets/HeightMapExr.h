// Height map as an OpenEXR image, written with the OpenEXR library.
//
// Orientation and units: the basin seen from above, +x to the right and +y
// up, one pixel per cell, so image row 0 (the top) is cell row H−1 and
// pixel (x, r) is cell (x, H−1−r). One channel "Y" (greyscale to most
// tools) of 32-bit floats: each cell's water height in world units, walls
// included, exactly as the simulation holds it. Attributes: "time" (double,
// simulated seconds) and "cellSize" (v2f, dx and dy in world units); the
// pixel aspect ratio is dx / dy, so that a basin of oblong cells shows in
// its true proportions. Lossless ZIP compression.
#pragma once

#include <string>

class CWaterBody;
class CExportFile;

// Writes the body's cell heights to `file` (already created); false when
// the image cannot be made or written, with the reason in the file's
// Failure.
bool WriteHeightMapExr(const CWaterBody& body, CExportFile& file);
