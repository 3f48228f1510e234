// DrawWaterBodyGL: the simulated world on screen, installed as the
// graphics hook that CWaterBody::Draw calls. Graphics side.
#pragma once

class CWaterBody;

// Bottom, solid spheres, optional cell grid, translucent water surface,
// spray. Leaves the attribute, client-array and model-view state as found.
void DrawWaterBodyGL(const CWaterBody& body);

// The raw cell heights (F9) exactly as the fixed look draws them, for the
// shaded look, which draws everything else its own way: translucent white
// squares lit with the normal +z under the current camera, placed like
// the water. Leaves the attribute, client-array and model-view state as
// found; expects no program in use.
void DrawCellGridGL(const CWaterBody& body);
