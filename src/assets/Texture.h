// LoadTexture: a TGA file made into an OpenGL texture object. Graphics side.
#pragma once

#include <GL/gl.h>

#include <cstdint>

bool LoadTexture(GLuint* texture, const char* fileName);

// LoadTexture with the signature of CGraphicsHooks::loadTexture, for the
// program to install at start-up.
bool LoadTextureHook(uint32_t* texture, const char* fileName);

// Frees a texture made by LoadTexture, with the signature of
// CGraphicsHooks::deleteTexture.
void DeleteTextureHook(uint32_t texture);
