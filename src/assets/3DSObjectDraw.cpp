// DrawMeshGL: the basin-bottom mesh through OpenGL 1.1 vertex arrays, with
// whatever matrix, texture, colour and lighting the caller has set.
//
// Deliberately not done: no display list or buffer object; the arrays are
// sent as stored (normals are not recomputed or renormalised here).

#include "assets/MeshDraw.h"

#include <GL/gl.h>

#include "assets/3DSObject.h"

void DrawMeshGL(const C3DSObject& mesh)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    // Without texture coordinates of its own the mesh must not pick up a
    // stale texture-coordinate array left by someone else.
    if (mesh.hasTexCoords)
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    else
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);

    glVertexPointer(3, GL_FLOAT, 0, mesh.vertices.data());
    glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
    if (mesh.hasTexCoords)
        glTexCoordPointer(2, GL_FLOAT, 0, mesh.texCoords.data());
    glDrawElements(GL_TRIANGLES, 3 * mesh.triangleCount, GL_UNSIGNED_INT, mesh.indices.data());

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}
