// SavedGLState: the save on the way in, the restore on the way out, in the
// reverse order (bindings first, then the attribute stacks, so that the
// popped texture state lands on the unit that was active).

#include "graphics/SavedGLState.h"

SavedGLState::SavedGLState()
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
    for (int unit = 0; unit < UNITS; ++unit)
    {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &textures[unit]);
    }
    glActiveTexture(GLenum(activeTexture));
}

SavedGLState::~SavedGLState()
{
    glUseProgram(GLuint(program));
    glBindVertexArray(GLuint(vertexArray));
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(arrayBuffer));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFramebuffer));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readFramebuffer));
    for (int unit = 0; unit < UNITS; ++unit)
    {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        glBindTexture(GL_TEXTURE_2D, GLuint(textures[unit]));
    }
    glActiveTexture(GLenum(activeTexture));
    glPopClientAttrib();
    glPopAttrib();
}
