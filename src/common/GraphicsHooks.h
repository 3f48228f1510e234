// The seam between the core library, which never calls OpenGL, and the
// graphics side. The program installs the graphics side's functions at
// start-up; without them (tests, the headless runner) textures are only
// read and checked, and drawing does nothing.
#pragma once

#include <cstdint>

class C3DSObject;
class CWaterBody;

struct CGraphicsHooks
{
    // Makes a texture from a TGA file; true on success, *texture unchanged
    // on failure.
    bool (*loadTexture)(uint32_t* texture, const char* fileName) = nullptr;
    void (*drawMesh)(const C3DSObject& mesh) = nullptr;
    void (*drawWaterBody)(const CWaterBody& body) = nullptr;
    // Frees a texture made by loadTexture.
    void (*deleteTexture)(uint32_t texture) = nullptr;
};

extern CGraphicsHooks g_graphicsHooks;
