// DrawWaterBodyGL: the five passes that put the simulation on screen, in
// a fixed order: the textured basin bottom, the solid spheres, the cell
// grid (F9), the translucent sphere-mapped water surface, then the spray
// particles with the water's state still in force.
//
// The surface and the cell grid are sent as vertex arrays filled once per
// frame and drawn with one call each; the arrays live across frames and
// are only grown when the grid grows, so a frame allocates nothing.
//
// Deliberately not done: no display lists or buffer objects, no culling of
// what is off screen, and nothing of the simulation is changed.

#include "scene/WaterBodyDraw.h"

#include <GL/freeglut.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "app/Timer.h"
#include "common/GraphicsHooks.h"
#include "sim/WaterBody.h"

namespace
{

// 12 vertices per corner quad (four triangles around a centre vertex),
// 3 floats each, for positions and for normals alike.
struct SurfaceArrays
{
    std::vector<float> positions;
    std::vector<float> normals;
    std::vector<float> gridPositions;  // 4 vertices per cell
};

SurfaceArrays g_arrays;

// With RIPPLEX_FRAME_TIMES=passes, every pass is finished (glFinish) and
// timed, and each frame prints one line of the five passes' real times,
// then one of their processor times (every thread of the process, the
// software renderer's own included), in milliseconds. The finishes keep
// the renderer from overlapping one pass with the next, so the sum slightly
// exceeds an untimed frame. Processor times depend much less on the load
// of the machine than real times.
class PassTimes
{
public:
    enum Pass { BOTTOM, SPHERES, CELLS, SURFACE, SPRAY, PASS_COUNT };

    void Start()
    {
        static const char* wanted = std::getenv("RIPPLEX_FRAME_TIMES");
        on = wanted != nullptr && std::strcmp(wanted, "passes") == 0;
        if (!on)
            return;
        glFinish();
        timer.Start();
        cpu = ProcessorSeconds();
    }

    void End(Pass pass)
    {
        if (!on)
            return;
        glFinish();
        real[pass] = timer.Lap() * 1000.0;
        double now = ProcessorSeconds();
        processor[pass] = (now - cpu) * 1000.0;
        cpu = now;
    }

    void Print() const
    {
        if (!on)
            return;
        for (const double* times : {real, processor})
            std::fprintf(stderr, "%s bottom %.3f spheres %.3f cells %.3f surface %.3f spray %.3f ms\n",
                         times == real ? "passes" : "passes-cpu", times[BOTTOM], times[SPHERES],
                         times[CELLS], times[SURFACE], times[SPRAY]);
    }

private:
    static double ProcessorSeconds()
    {
        timespec now;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
    }

    bool on = false;
    CTimer timer;
    double cpu = 0.0;
    double real[PASS_COUNT] = {};
    double processor[PASS_COUNT] = {};
};

// Makes room for `count` floats, keeping the capacity between frames.
// False when the memory cannot be had: the pass is then skipped.
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
        return false;
    }
}

struct Grid
{
    size_t width;   // W cells
    size_t height;  // H cells
    float dx;       // cell size along x
    float dy;       // cell size along y
};

Grid GridOf(const CWaterBody& body)
{
    Grid grid{body.iSimulationWidth, body.iSimulationHeight, 0.0f, 0.0f};
    grid.dx = body.dSimulationSizeX / body.iSimulationWidth;
    grid.dy = body.dSimulationSizeY / body.iSimulationHeight;
    return grid;
}

void DrawSphere(const SimObject& object)
{
    glPushMatrix();
    glTranslatef(object.position.x, object.position.y, object.position.z);
    glutSolidSphere(object.radius, 10, 10);
    glPopMatrix();
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

void DrawSolidObjects(const CWaterBody& body)
{
    for (const SimObject& object : body.objects)
    {
        if (object.kind != OBJECT_SOLID)
            continue;
        glColor3f(object.color.x, object.color.y, object.color.z);
        DrawSphere(object);
    }
}

void PutVertex(float* out, float x, float y, float z)
{
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

// Every cell, walls included, as a flat square at its own water height.
void DrawCellGrid(const CWaterBody& body, const Grid& grid)
{
    size_t cellCount = grid.width * grid.height;
    if (body.cells == nullptr || !Reserve(g_arrays.gridPositions, cellCount * 12))
        return;
    float* out = g_arrays.gridPositions.data();
    for (size_t i = 0; i < grid.width; ++i)
    {
        for (size_t j = 0; j < grid.height; ++j)
        {
            float h = body.cells[i + j * grid.width].height;
            float x0 = float(i) * grid.dx, x1 = float(i + 1) * grid.dx;
            float y0 = float(j) * grid.dy, y1 = float(j + 1) * grid.dy;
            PutVertex(out + 0, x0, y0, h);
            PutVertex(out + 3, x1, y0, h);
            PutVertex(out + 6, x1, y1, h);
            PutVertex(out + 9, x0, y1, h);
            out += 12;
        }
    }
    glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, g_arrays.gridPositions.data());
    glDrawArrays(GL_QUADS, 0, GLsizei(cellCount * 4));
    glDisableClientState(GL_VERTEX_ARRAY);
}

struct SurfaceVertex
{
    float x, y, z;
    Vec3 n;
};

// Appends one vertex (position and normal) to the surface arrays.
void Emit(float*& position, float*& normal, const SurfaceVertex& v)
{
    PutVertex(position, v.x, v.y, v.z);
    PutVertex(normal, v.n.x, v.n.y, v.n.z);
    position += 3;
    normal += 3;
}

// The four triangles of the quad between corner columns i, i+1 and corner
// rows j−1, j, fanned around a centre vertex at the mean height with the
// mean normal (not renormalised). All wind counter-clockwise seen from +z.
void EmitCornerQuad(const CWaterBody& body, const Grid& grid, size_t i, size_t j,
                    float*& position, float*& normal)
{
    size_t row = grid.width - 1;  // corners per row
    auto corner = [&](size_t ci, size_t cj) {
        size_t k = ci + cj * row;
        return SurfaceVertex{float(ci + 1) * grid.dx, float(cj + 1) * grid.dy,
                             body.cornerHeights[k], body.cornerNormals[k]};
    };
    SurfaceVertex c00 = corner(i, j - 1), c10 = corner(i + 1, j - 1);
    SurfaceVertex c01 = corner(i, j), c11 = corner(i + 1, j);
    SurfaceVertex centre{c00.x + grid.dx / 2.0f, c00.y + grid.dy / 2.0f,
                         (c00.z + c10.z + c01.z + c11.z) / 4.0f,
                         Vec3{(c00.n.x + c10.n.x + c01.n.x + c11.n.x) / 4.0f,
                              (c00.n.y + c10.n.y + c01.n.y + c11.n.y) / 4.0f,
                              (c00.n.z + c10.n.z + c01.n.z + c11.n.z) / 4.0f}};
    const SurfaceVertex* triangles[4][3] = {
        {&c00, &centre, &c01}, {&c10, &centre, &c00}, {&c11, &centre, &c10}, {&c01, &centre, &c11}};
    for (const auto& triangle : triangles)
        for (const SurfaceVertex* v : triangle)
            Emit(position, normal, *v);
}

// (W−2)·(H−2) corner quads, i outer and j inner; none when W or H is
// below 3.
void DrawSurfaceTriangles(const CWaterBody& body, const Grid& grid)
{
    if (grid.width < 3 || grid.height < 3 || body.cornerHeights == nullptr ||
        body.cornerNormals == nullptr)
        return;
    size_t vertexCount = (grid.width - 2) * (grid.height - 2) * 12;
    if (!Reserve(g_arrays.positions, vertexCount * 3) || !Reserve(g_arrays.normals, vertexCount * 3))
        return;
    float* position = g_arrays.positions.data();
    float* normal = g_arrays.normals.data();
    for (size_t i = 0; i + 3 <= grid.width; ++i)
        for (size_t j = 1; j + 2 <= grid.height; ++j)
            EmitCornerQuad(body, grid, i, j, position, normal);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, g_arrays.positions.data());
    glNormalPointer(GL_FLOAT, 0, g_arrays.normals.data());
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(vertexCount));
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void SetWaterState(const CWaterBody& body)
{
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
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
    for (const SimObject& object : body.objects)
        if (object.kind == OBJECT_PARTICLE)
            DrawSphere(object);
}

}  // namespace

void DrawWaterBodyGL(const CWaterBody& body)
{
    if (body.iSimulationWidth == 0 || body.iSimulationHeight == 0)
        return;
    Grid grid = GridOf(body);
    PassTimes times;
    times.Start();

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    DrawBottom(body);
    times.End(PassTimes::BOTTOM);
    DrawSolidObjects(body);
    times.End(PassTimes::SPHERES);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Cells and corners are placed from the basin's corner; this centres
    // them on the origin until the particles, which use world positions.
    glPushMatrix();
    glTranslatef(-body.dSimulationSizeX * 0.5f, -body.dSimulationSizeY * 0.5f, 0.0f);
    if (body.showCellGrid)
        DrawCellGrid(body, grid);
    times.End(PassTimes::CELLS);
    glPopAttrib();
    glPushAttrib(GL_ALL_ATTRIB_BITS);

    SetWaterState(body);
    DrawSurfaceTriangles(body, grid);
    times.End(PassTimes::SURFACE);
    glPopMatrix();

    DrawParticles(body);
    times.End(PassTimes::SPRAY);
    glPopClientAttrib();
    glPopAttrib();
    times.Print();
}
