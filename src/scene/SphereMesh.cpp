// SphereMesh: GLUT's solid sphere as a mesh kept between frames.
//
// glutSolidSphere computes its sines and cosines and sends its vertices
// anew on every call; a frame with hundreds of spray particles spent most
// of its time there. The mesh here is the same sphere, vertex for vertex
// and triangle for triangle: the angles, their single-precision sines and
// cosines, the exact poles, the closing slice that repeats slice 0 and the
// triangle order below were matched to GLUT's output bit for bit (OpenGL
// feedback mode: window positions, lit colours and normals compared to the
// last bit at several radii and positions), so spheres shade and cover
// exactly the same pixels.
//
// Each sphere is one glDrawElements of independent triangles; the radius
// scales the positions here rather than the matrix, as GLUT does, so the
// normals stay unit vectors and lighting needs no rescaling.
//
// Deliberately not done: no display lists or buffer objects, and the
// degenerate triangles at the poles stay in (GLUT's strips have them, and in
// the wireframe view their edges are drawn).

#include "scene/SphereMesh.h"

#include <GL/freeglut.h>

#include <cmath>
#include <new>

namespace
{

// Ring vertices around z: slice i at the angle i·2π/slices, taken
// clockwise seen from +z (y = −sin).
void SliceDirection(int i, int slices, float& cosine, float& sine)
{
    float angle = float(2.0 * M_PI / slices) * float(i % slices);
    cosine = std::cos(angle);
    sine = -std::sin(angle);
}

// Ring j from the +z pole (j = 0) to the −z pole (j = stacks): the sine
// is the ring's radius, the cosine its height. The −z pole is exact.
void StackAngle(int j, int stacks, float& sine, float& cosine)
{
    if (j == stacks)
    {
        sine = 0.0f;
        cosine = -1.0f;
        return;
    }
    float angle = float(M_PI / stacks) * float(j);
    sine = std::sin(angle);
    cosine = std::cos(angle);
}

}  // namespace

bool SphereMesh::Build(int sliceCount, int stackCount)
{
    slices = sliceCount;
    stacks = stackCount;
    built = false;
    int ring = slices + 1;  // vertices per ring, the last repeating the first
    try
    {
        normals.resize(size_t(stacks + 1) * ring * 3);
        positions.resize(normals.size());
        indices.resize(size_t(stacks) * slices * 2 * 3);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }

    float* n = normals.data();
    for (int j = 0; j <= stacks; ++j)
    {
        float ringRadius, height;
        StackAngle(j, stacks, ringRadius, height);
        for (int i = 0; i <= slices; ++i)
        {
            float cosine, sine;
            SliceDirection(i, slices, cosine, sine);
            *n++ = cosine * ringRadius;
            *n++ = sine * ringRadius;
            *n++ = height;
        }
    }

    // Stack j is a strip that alternates ring j+1 and ring j, slice by
    // slice; its triangles are listed as OpenGL would split the strip,
    // every second one with its first two vertices swapped so that all
    // wind the same way.
    GLushort* out = indices.data();
    for (int j = 0; j < stacks; ++j)
    {
        auto strip = [&](int k) {
            int slice = k / 2, row = k % 2 == 0 ? j + 1 : j;
            return GLushort(row * ring + slice);
        };
        for (int k = 0; k < 2 * slices; ++k)
        {
            bool odd = k % 2 != 0;
            *out++ = strip(odd ? k + 1 : k);
            *out++ = strip(odd ? k : k + 1);
            *out++ = strip(k + 2);
        }
    }
    scaledRadius = 0.0f;
    for (float& p : positions)
        p = 0.0f;
    built = true;
    return true;
}

void SphereMesh::Begin()
{
    if (!built)
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glNormalPointer(GL_FLOAT, 0, normals.data());
}

void SphereMesh::End()
{
    if (!built)
        return;
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void SphereMesh::Draw(float radius)
{
    if (!built)
    {
        glutSolidSphere(radius, slices, stacks);
        return;
    }
    // OpenGL reads client arrays when it draws, so the positions can be
    // rescaled in place between two spheres.
    if (radius != scaledRadius)
    {
        for (size_t k = 0; k < positions.size(); ++k)
            positions[k] = normals[k] * radius;
        scaledRadius = radius;
    }
    glDrawElements(GL_TRIANGLES, GLsizei(indices.size()), GL_UNSIGNED_SHORT, indices.data());
}
