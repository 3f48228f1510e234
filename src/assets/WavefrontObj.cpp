// WriteSurfaceObj, WriteBottomObj: OBJ is a few lines of plain text by
// definition, written by hand: "v", "vt", "vn" lines, then "f" lines.

#include "assets/WavefrontObj.h"

#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "assets/ExportFile.h"
#include "scene/SurfaceGeometry.h"
#include "sim/WaterBody.h"

namespace
{

void Triple(CExportFile& file, const char* tag, float a, float b, float c)
{
    file.Text(tag);
    file.Float(a);
    file.Text(" ");
    file.Float(b);
    file.Text(" ");
    file.Float(c);
    file.Text("\n");
}

void Pair(CExportFile& file, const char* tag, float a, float b)
{
    file.Text(tag);
    file.Float(a);
    file.Text(" ");
    file.Float(b);
    file.Text("\n");
}

// One triangle of zero-based vertex numbers, each also its texture
// coordinate's and normal's number (or normal only: a//a).
void Face(CExportFile& file, const uint32_t* v, bool withTexture)
{
    file.Text("f");
    for (int k = 0; k < 3; ++k)
    {
        const uint64_t n = uint64_t(v[k]) + 1;
        file.Text(" ");
        file.Unsigned(n);
        file.Text(withTexture ? "/" : "//");
        if (withTexture)
        {
            file.Unsigned(n);
            file.Text("/");
        }
        file.Unsigned(n);
    }
    file.Text("\n");
}

void Banner(CExportFile& file, const char* what, const CWaterBody& body)
{
    file.Text("# Ripplex ");
    file.Text(what);
    file.Text(" at t = ");
    file.Double(body.dElapsedTime, 12);
    file.Text(" s: world coordinates, z up, basin centred on the origin\n");
}

// A normal under the scale (sx, sy, sz): the inverse transpose, taken as
// the cofactors (sy·sz, sx·sz, sx·sy) times the determinant's sign, which
// stays defined when one scale is 0 (a flat bottom keeps its up normals);
// then unit length, or as it came when it has none.
Vec3 ScaledNormal(float nx, float ny, float nz, float sx, float sy, float sz)
{
    const float sign = sx * sy * sz < 0.0f ? -1.0f : 1.0f;
    Vec3 n{sign * sy * sz * nx, sign * sx * sz * ny, sign * sx * sy * nz};
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(length > 0.0f) || !std::isfinite(length))
        return Vec3{nx, ny, nz};
    return Vec3{n.x / length, n.y / length, n.z / length};
}

}  // namespace

bool WriteSurfaceObj(const CWaterBody& body, CExportFile& file)
{
    const SurfaceGrid grid = SurfaceGridOf(body);
    Banner(file, "water surface", body);
    file.Text("o water\n");
    if (!SurfaceGeometry::HasSurface(body, grid))
        return file.Flush();
    std::vector<float> positions, normals;
    std::vector<uint32_t> indices;
    try
    {
        positions.resize(SurfaceGeometry::VertexCount(grid) * 3);
        normals.resize(positions.size());
        indices.resize(SurfaceGeometry::QuadCount(grid) * 12);
    }
    catch (const std::bad_alloc&)
    {
        file.Fail("not enough memory for the surface");
        return false;
    }
    SurfaceGeometry::FillVertices(body, grid, positions.data(), normals.data());
    SurfaceGeometry::FillIndices(grid, indices.data());

    // The drawing's own translation to the world, in the same float steps.
    const float offsetX = -body.dSimulationSizeX * 0.5f, offsetY = -body.dSimulationSizeY * 0.5f;
    for (size_t k = 0; k < positions.size(); k += 3)
        Triple(file, "v ", positions[k] + offsetX, positions[k + 1] + offsetY, positions[k + 2]);
    for (size_t k = 0; k < positions.size(); k += 3)
        Pair(file, "vt ", positions[k] / body.dSimulationSizeX,
             positions[k + 1] / body.dSimulationSizeY);
    for (size_t k = 0; k < normals.size(); k += 3)
        Triple(file, "vn ", normals[k], normals[k + 1], normals[k + 2]);
    for (size_t k = 0; k < indices.size(); k += 3)
        Face(file, &indices[k], true);
    return file.Flush();
}

bool WriteBottomObj(const CWaterBody& body, CExportFile& file)
{
    const C3DSObject& mesh = body.bottomMesh;
    const float w = float(body.iSimulationWidth), h = float(body.iSimulationHeight);
    const float sx = body.dSimulationSizeX * ((w - 2.0f) / w) * 0.5f;
    const float sy = body.dSimulationSizeY * ((h - 2.0f) / h) * 0.5f;
    const float sz = 2.0f * body.dDefaultHeight;
    Banner(file, "basin bottom", body);
    file.Text("o bottom\n");
    const size_t n = size_t(mesh.vertexCount);
    for (size_t k = 0; k < n; ++k)
        Triple(file, "v ", mesh.vertices[3 * k] * sx, mesh.vertices[3 * k + 1] * sy,
               mesh.vertices[3 * k + 2] * sz);
    const bool textured = mesh.hasTexCoords;
    for (size_t k = 0; textured && k < n; ++k)
        Pair(file, "vt ", mesh.texCoords[2 * k], mesh.texCoords[2 * k + 1]);
    for (size_t k = 0; k < n; ++k)
    {
        const Vec3 normal = ScaledNormal(mesh.normals[3 * k], mesh.normals[3 * k + 1],
                                         mesh.normals[3 * k + 2], sx, sy, sz);
        Triple(file, "vn ", normal.x, normal.y, normal.z);
    }
    for (size_t t = 0; t < size_t(mesh.triangleCount); ++t)
        Face(file, &mesh.indices[3 * t], textured);
    return file.Flush();
}
