// DrawWaterBodyGL: the five passes that put the simulation on screen, in
// a fixed order: the textured basin bottom, the solid spheres (and, with a
// wall map, its walls as blocks), the cell grid (F9), the translucent
// sphere-mapped water surface, then the spray particles with the water's
// state still in force.
//
// The surface is indexed triangles over one vertex array (SurfaceMesh),
// the spheres one mesh built once (SphereMesh), the cell grid a vertex
// array; all live across frames and are rebuilt only when the grid
// changes, so a frame allocates nothing. Without the memory for them each
// pass draws the same picture without them (vertex by vertex, or GLUT's
// spheres) and says so once in the log.
//
// Deliberately not done: no display lists or buffer objects, no culling of
// what is off screen, and nothing of the simulation is changed.

#include "scene/WaterBodyDraw.h"

#include <GL/gl.h>
#include <malloc.h>

#include <cstddef>
#include <new>
#include <vector>

#include "app/Log.h"
#include "common/GraphicsHooks.h"
#include "scene/PassTimes.h"
#include "scene/PoolEdge.h"
#include "scene/SphereMesh.h"
#include "scene/SurfaceMesh.h"
#include "sim/WaterBody.h"

namespace
{

// Four vertices per cell, 3 floats each.
std::vector<float> g_cellPositions;
// The faces of the wall blocks, rebuilt each frame in the same storage.
std::vector<float> g_wallFaces;
SurfaceMesh g_surface;
SphereMesh g_sphere;

// The passes as RIPPLEX_FRAME_TIMES=passes times them.
enum Pass { BOTTOM, SPHERES, CELLS, SURFACE, SPRAY };

// The 10 × 10 sphere mesh, built on first use. Without it spheres are
// drawn by GLUT, which gives the same picture.
SphereMesh& Sphere()
{
    static bool tried = false;
    if (!tried)
    {
        tried = true;
        if (!g_sphere.Build(10, 10) && FirstShortage(2))
            CLog::Write("CWaterBody::Draw -- M\xE9moire insuffisante pour le maillage des sph\xE8res,"
                        " trac\xE9 par la GLUT");
    }
    return g_sphere;
}

// Spheres of one kind, in list order, each at its position in the world.
void DrawSpheres(const CWaterBody& body, ObjectKind kind)
{
    SphereMesh& sphere = Sphere();
    sphere.Begin();
    for (const SimObject& object : body.objects)
    {
        if (object.kind != kind)
            continue;
        if (kind == OBJECT_SOLID)
            glColor3f(object.color.x, object.color.y, object.color.z);
        glPushMatrix();
        glTranslatef(object.position.x, object.position.y, object.position.z);
        sphere.Draw(object.radius);
        glPopMatrix();
    }
    sphere.End();
}

// With a wall map, a lit block per run of wall cells, from the basin's
// floor up to the wall top; nothing at all without one.
void DrawWallBlocks(const CWaterBody& body)
{
    if (!body.HasWallMap())
        return;
    g_wallFaces.clear();
    for (const EdgeBox& box : WallRunBoxes(body, 0.0f))
        AppendBoxFaces(box, g_wallFaces);
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_TRIANGLES);
    for (size_t i = 0; i + EDGE_VERTEX_FLOATS <= g_wallFaces.size(); i += EDGE_VERTEX_FLOATS)
    {
        const float* v = &g_wallFaces[i];
        glNormal3f(v[3], v[4], v[5]);
        glColor3f(v[6] * 0.8f, v[7] * 0.75f, v[8] * 0.7f);  // a warmer stone than the tiles
        glVertex3f(v[0], v[1], v[2]);
    }
    glEnd();
}

// The bottom mesh is modelled over [−1, 1]² and scaled onto the area that
// the corners cover, from the first corner to the last in each direction.
void DrawBottom(const CWaterBody& body)
{
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 0.0f);
    glPushMatrix();
    float w = float(body.iSimulationWidth), h = float(body.iSimulationHeight);
    glScalef(body.dSimulationSizeX * ((w - 2.0f) / w) * 0.5f,
             body.dSimulationSizeY * ((h - 2.0f) / h) * 0.5f, 2.0f * body.dDefaultHeight);
    glBindTexture(GL_TEXTURE_2D, body.bottomTexture);
    if (g_graphicsHooks.drawMesh != nullptr)
        g_graphicsHooks.drawMesh(body.bottomMesh);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
}

// Calls put(x, y, z) for the four corners of every cell, walls included,
// i over columns (outer), j over rows (inner): a flat square at the cell's
// own water height.
template <typename Put>
void ForEachCellCorner(const CWaterBody& body, const SurfaceGrid& grid, Put put)
{
    for (size_t i = 0; i < grid.width; ++i)
    {
        for (size_t j = 0; j < grid.height; ++j)
        {
            float h = body.CellHeight(i + j * grid.width);
            float x0 = float(i) * grid.dx, x1 = float(i + 1) * grid.dx;
            float y0 = float(j) * grid.dy, y1 = float(j + 1) * grid.dy;
            put(x0, y0, h);
            put(x1, y0, h);
            put(x1, y1, h);
            put(x0, y1, h);
        }
    }
}

// Makes room for `count` floats, keeping the capacity between frames;
// false when the memory cannot be had.
bool Reserve(std::vector<float>& array, size_t count)
{
    if (array.size() >= count)
        return true;
    try
    {
        array.resize(count);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        array = {};
        return false;
    }
}

// The raw cell heights, translucent white, lit with the normal +z. Each
// cell has a height of its own, so its four vertices are its own too.
// Where a cell and the surface lie at the same height (all of a calm
// basin) the two fought for every pixel and covered the picture in
// speckles. The cells are pushed back in depth instead: their depth range
// starts at 1/4096, which moves a point at distance d back by about
// d / 4096 in the world (0.3 mm for the basin seen from the shipped
// camera, hundreds of steps of a 24-bit depth buffer), so the surface
// drawn next wins where they meet and a cell shows in front only where it
// stands above the surface. (A polygon offset does the same but sends
// every cell down the software renderer's slow path, twice the time.)
void DrawCellGrid(const CWaterBody& body, const SurfaceGrid& grid)
{
    if (!body.HasCells())
        return;
    glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glDepthRange(1.0 / 4096.0, 1.0);
    size_t cellCount = grid.width * grid.height;
    if (!Reserve(g_cellPositions, cellCount * 12))
    {
        if (FirstShortage(1))
            CLog::Write("CWaterBody::Draw -- M\xE9moire insuffisante pour les tableaux de la grille,"
                        " trac\xE9 sommet par sommet");
        glBegin(GL_QUADS);
        ForEachCellCorner(body, grid, [](float x, float y, float z) { glVertex3f(x, y, z); });
        glEnd();
        return;
    }
    float* out = g_cellPositions.data();
    ForEachCellCorner(body, grid, [&out](float x, float y, float z) {
        out[0] = x;
        out[1] = y;
        out[2] = z;
        out += 3;
    });
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, g_cellPositions.data());
    glDrawArrays(GL_QUADS, 0, GLsizei(cellCount * 4));
    glDisableClientState(GL_VERTEX_ARRAY);
}

// Back faces are culled here whatever "graphics.opt" says, so only front
// faces are ever lit, and two-sided lighting would shade them exactly as
// one-sided lighting does: it is left off, because it sends every
// triangle down the software renderer's slow path (a sixth of the surface
// pass at 256² cells) for nothing on screen.
void SetWaterState(const CWaterBody& body)
{
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // Texture coordinates come from sphere mapping, none per vertex.
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, body.waterTexture);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glColor4f(1.0f, 1.0f, 1.0f, 0.9f);
}

// Drawn after the water with its state still in force: translucent,
// bluish white, sphere-mapped, hidden where they are under the surface.
void DrawParticles(const CWaterBody& body)
{
    glColor4f(0.9f, 0.9f, 1.0f, 0.8f);
    DrawSpheres(body, OBJECT_PARTICLE);
}

// Mesa's software renderer allocates tens of MB per frame for the
// vertices and triangles of a 256² surface and frees them when the frame
// is done; glibc then hands the freed top of the heap back to the system,
// and the next frame gets it again page by page, each page zeroed by the
// kernel (a fifth of such a frame went to page faults). Freed memory is
// kept for reuse instead: the process keeps the size of its largest
// frame, which it needs again on the next one anyway.
void KeepFreedMemory()
{
#ifdef __GLIBC__
    static const bool kept = mallopt(M_TRIM_THRESHOLD, 1 << 30) != 0;
    (void)kept;
#endif
}

}  // namespace

void DrawWaterBodyGL(const CWaterBody& body)
{
    KeepFreedMemory();
    if (body.iSimulationWidth == 0 || body.iSimulationHeight == 0)
        return;
    SurfaceGrid grid = SurfaceGridOf(body);
    PassTimes times("passes", {"bottom", "spheres", "cells", "surface", "spray"});
    times.Start();

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    DrawBottom(body);
    times.End(BOTTOM);
    DrawSpheres(body, OBJECT_SOLID);
    DrawWallBlocks(body);
    times.End(SPHERES);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Cells and corners are placed from the basin's corner; this centres
    // them on the origin until the particles, which use world positions.
    glPushMatrix();
    glTranslatef(-body.dSimulationSizeX * 0.5f, -body.dSimulationSizeY * 0.5f, 0.0f);
    if (body.showCellGrid)
        DrawCellGrid(body, grid);
    times.End(CELLS);
    glPopAttrib();
    glPushAttrib(GL_ALL_ATTRIB_BITS);

    SetWaterState(body);
    g_surface.Draw(body, grid);
    times.End(SURFACE);
    glPopMatrix();

    DrawParticles(body);
    times.End(SPRAY);
    glPopClientAttrib();
    glPopAttrib();
    times.Print();
}

void DrawCellGridGL(const CWaterBody& body)
{
    if (body.iSimulationWidth == 0 || body.iSimulationHeight == 0)
        return;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPushMatrix();
    glTranslatef(-body.dSimulationSizeX * 0.5f, -body.dSimulationSizeY * 0.5f, 0.0f);
    DrawCellGrid(body, SurfaceGridOf(body));
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}
