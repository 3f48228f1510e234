// The shaded look's OpenGL objects and passes, private to ShadedLook.cpp
// and ShadedPasses.cpp: the programs, the meshes and textures made once
// per scene, the ones made again each frame, and one function per pass.
// Graphics side, OpenGL 3.0 through libepoxy (include this before any
// other OpenGL header).
//
// Deliberately not done: nothing here saves or restores OpenGL state (the
// caller holds a SavedGLState around a whole frame), and nothing changes
// the simulation.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

#include "graphics/ShaderProgram.h"
#include "scene/Camera.h"

class CWaterBody;

// Texels a side of the light map and of the bottom's height map, which
// both cover the water's rectangle.
constexpr int LIGHT_MAP_SIZE = 256;

// The camera of the frame, read from OpenGL's matrices as the scene set
// them (gluPerspective, gluLookAt), so that both looks see the same view.
struct FrameView
{
    float viewProjection[16];  // world to clip, column by column
    float viewToWorld[9];      // rotation, column by column
    float eye[3];              // world
    float viewScale[2];        // 1 / P[0][0], 1 / P[1][1]
    float pointCoordSign[2];   // signs of P[0][0] and P[1][1]
    float pixelsPerUnit;       // window pixels per world unit at distance 1
    GLint viewport[4];         // x, y, width, height
};

FrameView ReadFrameView();

// Every program of the look, built together: the look is there only when
// all of them are.
struct ShadedPrograms
{
    CShaderProgram sky, bottom, bottomHeight, caustics, surface, ball, drop, edge;

    // False (the failing shader logged) at the first one that does not build.
    bool Build();
    void Release();
};

// A regular grid of nx × ny vertices over [0, 1]², two triangles per
// square, counter-clockwise seen from +z. Rebuilt only when its size
// changes.
class GridMesh
{
public:
    // False when the buffers cannot be had (out of memory): nothing drawn.
    bool Fit(uint32_t nx, uint32_t ny);
    void Draw() const;  // attribute 0: the grid point
    void Release();

private:
    GLuint vertices = 0;
    GLuint indices = 0;
    uint32_t builtX = 0;
    uint32_t builtY = 0;
    GLsizei indexCount = 0;
};

// A texture drawn into: a colour texture of one channel, with its
// framebuffer and, when asked, a depth buffer.
class RenderTexture
{
public:
    bool Make(GLenum format, int size, bool depth);  // false: incomplete
    void Bind() const;   // as the draw target, viewport over all of it
    void Release();

    GLuint texture = 0;
    int size = 0;

private:
    GLuint framebuffer = 0;
    GLuint depthBuffer = 0;
};

// The picture of the window as drawn before the water, which the water
// shows through itself.
class ScreenCopy
{
public:
    void Copy(const GLint viewport[4]);
    void Release();

    GLuint colour = 0;

private:
    GLsizei width = 0;
    GLsizei height = 0;
};

// What the look needs of one scene, made when a body is first drawn and
// kept until the next reload: the height texture, the bottom's mesh and
// height map, the pool's edge.
class SceneResources
{
public:
    // False (logged once, by the caller) when this body cannot be drawn:
    // a height texture larger than OpenGL takes, or no memory for it.
    bool Prepare(const CWaterBody& body, const ShadedPrograms& programs);
    void Release();
    bool PreparedFor(const CWaterBody& body) const { return preparedFor == &body; }
    // Heights of the body's corners into the texture, once per frame.
    void UploadHeights(const CWaterBody& body) const;

    const CWaterBody* preparedFor = nullptr;
    uint32_t cornersX = 0;
    uint32_t cornersY = 0;
    GLuint heights = 0;
    // With a wall map, one texel per cell, 1 for a wall (R8, nearest): the
    // surface is not drawn over walls and the caustics bring no light there.
    GLuint walls = 0;
    // With a wall map, the corners among walls only, uploaded at the rest
    // height (SurfaceGeometry::DryCorners) through a copy of the heights.
    std::vector<uint32_t> dryCorners;
    mutable std::vector<float> drawnHeights;
    Camera::WaterRect water{};
    float cellSize[2] = {};
    float rim = 0.0f;

    GLuint bottomVertices = 0;  // position, normal, texture coordinates: 8 floats a vertex
    GLuint bottomIndices = 0;
    GLsizei bottomIndexCount = 0;
    bool bottomTexCoords = false;
    float bottomScale[3] = {};
    RenderTexture bottomHeights;  // world z of the bottom over the water

    GLuint edgeVertices = 0;      // PoolEdge's boxes, 9 floats a vertex
    GLsizei edgeVertexCount = 0;

private:
    void PrepareBottom(const CWaterBody& body, const ShadedPrograms& programs);
    void PrepareWalls(const CWaterBody& body);
    void PrepareEdge(const CWaterBody& body, float bottomZ);
};

// Objects made each frame: the balls' squares and the drops' points.
struct FrameBuffers
{
    GLuint vertexArray = 0;
    GLuint skyPolygon = 0;
    GLuint balls = 0;
    GLuint drops = 0;
    std::vector<float> ballData;
    std::vector<float> dropData;
    std::vector<float> shadowBalls;  // centre and radius of the balls that cast shadows
    void Release();
};

// Everything the passes share in a frame.
struct ShadedFrame
{
    const CWaterBody& body;
    const FrameView& view;
    const ShadedPrograms& programs;
    SceneResources& scene;
    FrameBuffers& buffers;
    GLint polygonMode;  // F5's choice, for the passes that show meshes
};

// The passes, in drawing order.
void ClearToHorizon();
void DrawCaustics(const ShadedFrame& frame, GridMesh& mesh, RenderTexture& lightMap);
void DrawBottom(const ShadedFrame& frame, const RenderTexture& lightMap);
void DrawEdge(const ShadedFrame& frame);
void DrawBalls(const ShadedFrame& frame);
void DrawSky(const ShadedFrame& frame);
void DrawSurface(const ShadedFrame& frame, GridMesh& mesh, const ScreenCopy& below);
void DrawDrops(const ShadedFrame& frame);

// The shadows the caustics cast and the ball squares both come from the
// body's balls; gathered once per frame.
void GatherBalls(const ShadedFrame& frame);

// Binds generic attributes 0, 1, 2... to consecutive runs of floats of
// the bound array buffer, `stride` floats a vertex; disables the others.
void UseAttributes(std::initializer_list<int> sizes, int stride);
