// DrawMeshGL: draws a C3DSObject with OpenGL vertex arrays. Graphics side;
// the program installs it as g_graphicsHooks.drawMesh.
#pragma once

class C3DSObject;

void DrawMeshGL(const C3DSObject& mesh);
