// DrawWaterBodyGL: the simulated world on screen, installed as the
// graphics hook that CWaterBody::Draw calls. Graphics side.
#pragma once

class CWaterBody;

// Bottom, solid spheres, optional cell grid, translucent water surface,
// spray. Leaves the attribute, client-array and model-view state as found.
void DrawWaterBodyGL(const CWaterBody& body);
