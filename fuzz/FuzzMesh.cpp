// Mesh reader: the bytes are a whole bottom-mesh file. Every index of a
// mesh that loads must address a vertex.
#include <cstdio>
#include <cstdlib>

#include "FuzzTarget.h"
#include "assets/3DSObject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (file == nullptr)
        return 0;
    C3DSObject mesh;
    const bool loaded = mesh.ReadOBJ(file);
    std::fclose(file);
    if (loaded)
    {
        if (mesh.indices.size() != size_t(3) * size_t(mesh.triangleCount) ||
            mesh.vertices.size() != size_t(3) * size_t(mesh.vertexCount) ||
            mesh.normals.size() != size_t(3) * size_t(mesh.vertexCount))
            std::abort();
        for (uint32_t index : mesh.indices)
            if (index >= uint32_t(mesh.vertexCount))
                std::abort();
    }
    return 0;
}
