// The water surface and the basin bottom as Wavefront OBJ text meshes.
//
// Orientation and units: world coordinates, z up, the basin centred on the
// origin, lengths in world units, exactly where the viewer draws them.
// Faces are triangles, counter-clockwise seen from their front (for the
// water, from +z); indices start at 1; every vertex has its own normal and
// texture coordinate, and a face names the same number for all three
// (f a/a/a ...).
//
// Surface: the vertices, normals and triangles of the viewer's surface
// (SurfaceGeometry): the (W−1)·(H−1) corners row by row, then one centre
// per corner quad, 4·(W−2)·(H−2) triangles. The centres' normals are the
// mean of their corners' and slightly shorter than 1, as drawn. Texture
// coordinates run over the whole basin, u = (x + SX/2) / SX and
// v = (y + SY/2) / SY, v up: corner (i, j) is at u = (i+1)/W, the edge
// between cells i and i+1, which is where the height map's pixels meet.
//
// Bottom: the bottom mesh scaled as it is drawn, by SX·(W−2)/W / 2,
// SY·(H−2)/H / 2 and 2·dDefaultHeight along x, y and z; its normals carried
// through that scale and made unit length; its own texture coordinates
// when the mesh has them.
#pragma once

class CWaterBody;
class CExportFile;

// Each writes to `file` (already created); false with the reason in the
// file's Failure.
bool WriteSurfaceObj(const CWaterBody& body, CExportFile& file);
bool WriteBottomObj(const CWaterBody& body, CExportFile& file);
