// SavedGLState: every piece of OpenGL state the shaded look may change,
// taken when it is made and put back when it goes, so that the fixed look
// drawn after it finds the state exactly as it left it.
//
// The attribute stacks hold the fixed pipeline's state (enables, blend,
// depth, cull, polygon mode, viewport, texture bindings, client arrays);
// what they do not hold (the program, the vertex-array object, buffer and
// framebuffer bindings, the active texture unit and each unit's 2D
// texture) is read and restored by hand. Graphics side, OpenGL 3.0
// through libepoxy.
#pragma once

#include <epoxy/gl.h>

class SavedGLState
{
public:
    // Texture units the shaded look may bind textures on: 0 to UNITS − 1.
    static constexpr int UNITS = 8;

    SavedGLState();
    ~SavedGLState();
    SavedGLState(const SavedGLState&) = delete;
    SavedGLState& operator=(const SavedGLState&) = delete;

private:
    GLint program = 0;
    GLint vertexArray = 0;
    GLint arrayBuffer = 0;
    GLint drawFramebuffer = 0;
    GLint readFramebuffer = 0;
    GLint activeTexture = GL_TEXTURE0;
    GLint textures[UNITS] = {};
};
