// C3DSObject: the basin-bottom triangle mesh, read from the program's own
// small binary format (not Wavefront text despite the ".obj" name).
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/Drawable.h"

class C3DSObject : public CDrawable
{
public:
    void Draw() override;  // through the graphics side's hook

    bool LoadOBJ(const char* fileName);
    // Same as LoadOBJ from a stream already open (fuzzers, tests).
    bool ReadOBJ(std::FILE* file);

    std::vector<float> vertices;   // 3 per vertex
    std::vector<float> normals;    // 3 per vertex
    std::vector<float> texCoords;  // 2 per vertex, only when hasTexCoords
    std::vector<uint32_t> indices; // 3 per triangle, each below vertexCount
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    bool hasTexCoords = false;
};
