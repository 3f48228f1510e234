// SurfaceMesh: the water surface sent once per vertex.
//
// The surface is made of corner quads, each fanned into four triangles
// around a centre vertex. Neighbouring quads share their corners, so the
// vertices are kept in one array (every corner once, then every centre)
// and the triangles refer to them by index: the software renderer
// transforms, lights and sphere-maps each corner once instead of six
// times, and a vertex costs one entry instead of six. The triangles, their
// order and winding, and every position and normal are exactly those of
// sending the quads one vertex at a time, which is still what happens
// when the arrays cannot be had.
//
// The index array depends only on the grid size and is built once; the
// vertices are refilled each frame (heights and normals move). Nothing is
// allocated in a frame unless the grid has changed.
//
// Deliberately not done: no buffer objects (client arrays as in OpenGL
// 1.1), no culling of what is off screen, no change to the simulation.

#include "scene/SurfaceMesh.h"

#include <new>

#include "app/Log.h"
#include "sim/WaterBody.h"

namespace
{

using namespace SurfaceGeometry;

static_assert(sizeof(GLuint) == sizeof(uint32_t), "indices go to GL as GL_UNSIGNED_INT");

// The fallback without arrays: the same triangles, one vertex at a time.
void DrawImmediate(const CWaterBody& body, const SurfaceGrid& grid)
{
    glBegin(GL_TRIANGLES);
    ForEachQuad(grid, [&](size_t, size_t i, size_t j) {
        SurfaceVertex v[SLOT_COUNT];
        QuadVertices(body, grid, i, j, v);
        for (int slot : QUAD_TRIANGLES)
        {
            glNormal3f(v[slot].n.x, v[slot].n.y, v[slot].n.z);
            glVertex3f(v[slot].x, v[slot].y, v[slot].z);
        }
    });
    glEnd();
}

}  // namespace

bool FirstShortage(int kind)
{
    static unsigned logged = 0;
    unsigned bit = 1u << kind;
    bool first = (logged & bit) == 0;
    logged |= bit;
    return first;
}

// Sizes the arrays for the grid and builds its indices; keeps them when
// the grid is the one they were built for. False (arrays released) when
// memory is short.
bool SurfaceMesh::Fit(const SurfaceGrid& grid)
{
    if (grid.width == builtWidth && grid.height == builtHeight && !indices.empty())
        return true;
    try
    {
        positions.resize(VertexCount(grid) * 3);
        normals.resize(VertexCount(grid) * 3);
        indices.resize(QuadCount(grid) * 12);
    }
    catch (const std::bad_alloc&)
    {
        positions = {};
        normals = {};
        indices = {};
        builtWidth = builtHeight = 0;
        return false;
    }

    FillIndices(grid, indices.data());
    builtWidth = grid.width;
    builtHeight = grid.height;
    return true;
}

void SurfaceMesh::Fill(const CWaterBody& body, const SurfaceGrid& grid)
{
    FillVertices(body, grid, positions.data(), normals.data());
}

void SurfaceMesh::Draw(const CWaterBody& body, const SurfaceGrid& grid)
{
    if (!HasSurface(body, grid))
        return;
    if (!Fit(grid))
    {
        if (FirstShortage(0))
            CLog::Write("CWaterBody::Draw -- M\xE9moire insuffisante pour les tableaux de la surface,"
                        " trac\xE9 sommet par sommet");
        DrawImmediate(body, grid);
        return;
    }
    Fill(body, grid);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glNormalPointer(GL_FLOAT, 0, normals.data());
    glDrawElements(GL_TRIANGLES, GLsizei(indices.size()), GL_UNSIGNED_INT, indices.data());
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}
