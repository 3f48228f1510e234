// LoadTexture: a TGA file made into an OpenGL texture object. Graphics side.
#pragma once

#include <GL/gl.h>

bool LoadTexture(GLuint* texture, const char* fileName);
