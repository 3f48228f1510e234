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

struct SurfaceVertex
{
    float x, y, z;
    Vec3 n;
};

// Corner (ci, cj) stands at ((ci+1)·dx, (cj+1)·dy), with its height and
// normal from the simulation.
SurfaceVertex Corner(const CWaterBody& body, const SurfaceGrid& grid, size_t ci, size_t cj)
{
    size_t k = ci + cj * (grid.width - 1);
    return SurfaceVertex{float(ci + 1) * grid.dx, float(cj + 1) * grid.dy, body.cornerHeights[k],
                         body.cornerNormals[k]};
}

// The centre of the quad whose first corner is c00: mean height and mean
// normal of the four corners (not renormalised).
SurfaceVertex Centre(const SurfaceGrid& grid, const SurfaceVertex& c00, const SurfaceVertex& c10,
                     const SurfaceVertex& c01, const SurfaceVertex& c11)
{
    return SurfaceVertex{c00.x + grid.dx / 2.0f, c00.y + grid.dy / 2.0f,
                         (c00.z + c10.z + c01.z + c11.z) / 4.0f,
                         Vec3{(c00.n.x + c10.n.x + c01.n.x + c11.n.x) / 4.0f,
                              (c00.n.y + c10.n.y + c01.n.y + c11.n.y) / 4.0f,
                              (c00.n.z + c10.n.z + c01.n.z + c11.n.z) / 4.0f}};
}

// A quad's vertices in the order c00, c10, c01, c11, centre, and its four
// triangles over them, all counter-clockwise seen from +z.
enum QuadSlot { C00, C10, C01, C11, CENTRE, SLOT_COUNT };
constexpr int QUAD_TRIANGLES[12] = {C00, CENTRE, C01, C10, CENTRE, C00,
                                    C11, CENTRE, C10, C01, CENTRE, C11};

// Calls visit(quad number, i, j) for every corner quad in drawing order:
// i over corner columns 0..W−3 (outer), j over corner rows 1..H−2 (inner),
// the quad lying between columns i, i+1 and rows j−1, j.
template <typename Visit>
void ForEachQuad(const SurfaceGrid& grid, Visit visit)
{
    size_t quad = 0;
    for (size_t i = 0; i + 3 <= grid.width; ++i)
        for (size_t j = 1; j + 2 <= grid.height; ++j)
            visit(quad++, i, j);
}

void Store(float* position, float* normal, const SurfaceVertex& v)
{
    position[0] = v.x;
    position[1] = v.y;
    position[2] = v.z;
    normal[0] = v.n.x;
    normal[1] = v.n.y;
    normal[2] = v.n.z;
}

// The fallback without arrays: the same triangles, one vertex at a time.
void DrawImmediate(const CWaterBody& body, const SurfaceGrid& grid)
{
    glBegin(GL_TRIANGLES);
    ForEachQuad(grid, [&](size_t, size_t i, size_t j) {
        SurfaceVertex v[SLOT_COUNT] = {Corner(body, grid, i, j - 1), Corner(body, grid, i + 1, j - 1),
                                       Corner(body, grid, i, j), Corner(body, grid, i + 1, j)};
        v[CENTRE] = Centre(grid, v[C00], v[C10], v[C01], v[C11]);
        for (int slot : QUAD_TRIANGLES)
        {
            glNormal3f(v[slot].n.x, v[slot].n.y, v[slot].n.z);
            glVertex3f(v[slot].x, v[slot].y, v[slot].z);
        }
    });
    glEnd();
}

}  // namespace

SurfaceGrid SurfaceGridOf(const CWaterBody& body)
{
    SurfaceGrid grid{body.iSimulationWidth, body.iSimulationHeight, 0.0f, 0.0f};
    grid.dx = body.dSimulationSizeX / body.iSimulationWidth;
    grid.dy = body.dSimulationSizeY / body.iSimulationHeight;
    return grid;
}

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
    size_t corners = (grid.width - 1) * (grid.height - 1);
    size_t quads = (grid.width - 2) * (grid.height - 2);
    try
    {
        positions.resize((corners + quads) * 3);
        normals.resize((corners + quads) * 3);
        indices.resize(quads * 12);
    }
    catch (const std::bad_alloc&)
    {
        positions = {};
        normals = {};
        indices = {};
        builtWidth = builtHeight = 0;
        return false;
    }

    size_t row = grid.width - 1;  // corners per row
    GLuint* out = indices.data();
    ForEachQuad(grid, [&](size_t quad, size_t i, size_t j) {
        GLuint c00 = GLuint(i + (j - 1) * row);
        GLuint slots[SLOT_COUNT] = {c00, c00 + 1, GLuint(c00 + row), GLuint(c00 + row + 1),
                                    GLuint(corners + quad)};
        for (int slot : QUAD_TRIANGLES)
            *out++ = slots[slot];
    });
    builtWidth = grid.width;
    builtHeight = grid.height;
    return true;
}

void SurfaceMesh::Fill(const CWaterBody& body, const SurfaceGrid& grid)
{
    size_t row = grid.width - 1;
    for (size_t cj = 0; cj + 1 < grid.height; ++cj)
        for (size_t ci = 0; ci < row; ++ci)
        {
            size_t k = ci + cj * row;
            Store(&positions[3 * k], &normals[3 * k], Corner(body, grid, ci, cj));
        }
    size_t corners = row * (grid.height - 1);
    ForEachQuad(grid, [&](size_t quad, size_t i, size_t j) {
        SurfaceVertex centre = Centre(grid, Corner(body, grid, i, j - 1), Corner(body, grid, i + 1, j - 1),
                                      Corner(body, grid, i, j), Corner(body, grid, i + 1, j));
        size_t k = corners + quad;
        Store(&positions[3 * k], &normals[3 * k], centre);
    });
}

void SurfaceMesh::Draw(const CWaterBody& body, const SurfaceGrid& grid)
{
    if (grid.width < 3 || grid.height < 3 || body.cornerHeights == nullptr ||
        body.cornerNormals == nullptr)
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
