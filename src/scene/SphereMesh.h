// SphereMesh: the tessellated sphere that stands for every solid object
// and spray particle, built once and drawn with one call per sphere.
// Graphics side.
#pragma once

#include <GL/gl.h>

#include <vector>

class SphereMesh
{
public:
    // Unit sphere of `slices` steps around z and `stacks` from +z to −z;
    // false when memory is short (Draw then falls back to GLUT's sphere).
    bool Build(int slices, int stacks);

    // Sets up the vertex arrays for a run of Draw calls; End takes them
    // down again. Draw outside Begin/End draws nothing of the mesh.
    void Begin();
    void End();

    // A sphere of `radius` centred on the origin of the current matrix: the
    // picture of glutSolidSphere(radius, slices, stacks), triangle for
    // triangle, because the same vertices, normals and triangles reach
    // OpenGL. Uses GLUT's sphere when the mesh could not be built.
    void Draw(float radius);

private:
    int slices = 0;
    int stacks = 0;
    bool built = false;
    std::vector<float> normals;     // 3 per vertex, unit length
    std::vector<float> positions;   // normals × scaledRadius
    std::vector<GLushort> indices;  // 3 per triangle
    float scaledRadius = 0.0f;
};
