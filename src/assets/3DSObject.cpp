// C3DSObject: reading the basin-bottom mesh from its binary file. Drawing
// goes through the graphics side's hook.
//
// File: header of L bytes (L, version 12 or 21, vertex and triangle counts
// high byte first, texture-coordinate flag, L − 7 ignored bytes), then
// positions, normals, texture coordinates (if flagged) as little-endian
// 32-bit floats and the indices as little-endian unsigned 32-bit integers.
//
// Deliberately not done: no repair of a bad file. A file that is cut short,
// has a short header or an index out of range is refused whole, and the
// object keeps what it held before. Every refusal is logged with its
// reason, then with the file's name.

#include "assets/3DSObject.h"

#include <bit>
#include <limits>
#include <cstring>

#include "app/Log.h"
#include "common/GraphicsHooks.h"

namespace
{

constexpr int MIN_HEADER_LENGTH = 7;
constexpr uint8_t FILE_VERSION_A = 12;
constexpr uint8_t FILE_VERSION_B = 21;

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
              "the mesh file stores IEEE 754 single-precision floats");

uint32_t LittleEndian32(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16) |
           (uint32_t(bytes[3]) << 24);
}

void DecodeFloats(const unsigned char* bytes, size_t count, std::vector<float>& out)
{
    out.resize(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = std::bit_cast<float>(LittleEndian32(bytes + 4 * i));
}

// Bytes left between the current position and the end of the stream, or -1
// when the stream cannot tell (a pipe, say).
long RemainingBytes(std::FILE* file)
{
    long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    long end = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0 || end < here)
        return -1;
    return end - here;
}

// The arrays of one file, filled before anything is given to the object.
struct MeshArrays
{
    std::vector<float> vertices;
    std::vector<float> normals;
    std::vector<float> texCoords;
    std::vector<uint32_t> indices;
};

bool IndicesBelow(const std::vector<uint32_t>& indices, uint32_t vertexCount)
{
    for (uint32_t index : indices)
        if (index >= vertexCount)
            return false;
    return true;
}

}  // namespace

void C3DSObject::Draw()
{
    if (g_graphicsHooks.drawMesh != nullptr)
        g_graphicsHooks.drawMesh(*this);
}

// The reason's line comes first, then one that names the file.
bool C3DSObject::LoadOBJ(const char* fileName)
{
    std::FILE* file = std::fopen(fileName, "rb");
    bool loaded = ReadOBJ(file);
    if (file != nullptr)
        std::fclose(file);
    if (!loaded)
        CLog::Write("C3DSObject::LoadOBJ -- Impossible de charger le maillage %s", fileName);
    return loaded;
}

bool C3DSObject::ReadOBJ(std::FILE* file)
{
    if (file == nullptr)
    {
        CLog::Write("C3DSObject::LoadOBJ -- Erreur \xE0 l'ouverture du fichier");
        return false;
    }
    int headerLength = std::fgetc(file);
    if (headerLength == EOF || headerLength < MIN_HEADER_LENGTH)
    {
        CLog::Write("C3DSObject::LoadOBJ -- En-t\xEAte trop court");
        return false;
    }
    unsigned char header[255];
    size_t headerRest = size_t(headerLength) - 1;
    if (std::fread(header, 1, headerRest, file) != headerRest)
    {
        CLog::Write("C3DSObject::LoadOBJ -- En-t\xEAte trop court");
        return false;
    }
    if (header[0] != FILE_VERSION_A && header[0] != FILE_VERSION_B)
    {
        CLog::Write("C3DSObject::LoadOBJ -- Mauvaise version de fichier !\n");
        return false;
    }
    uint32_t newVertexCount = uint32_t(header[1]) * 256 + header[2];
    uint32_t newTriangleCount = uint32_t(header[3]) * 256 + header[4];
    bool newHasTexCoords = header[5] != 0;

    // At most 65535 · 32 + 65535 · 12 bytes (under 3 MB), so the sizes below
    // never overflow; the file is still asked first whether it holds them.
    size_t floatsPerVertex = newHasTexCoords ? 8 : 6;
    size_t arrayBytes = 4 * (floatsPerVertex * newVertexCount + 3 * size_t(newTriangleCount));
    long remaining = RemainingBytes(file);
    if (remaining >= 0 && size_t(remaining) < arrayBytes)
    {
        CLog::Write("C3DSObject::LoadOBJ -- Fichier tronqu\xE9 (%zu octets attendus, %ld pr\xE9"
                    "sents)",
                    arrayBytes, remaining);
        return false;
    }
    std::vector<unsigned char> bytes(arrayBytes);
    if (std::fread(bytes.data(), 1, arrayBytes, file) != arrayBytes)
    {
        CLog::Write("C3DSObject::LoadOBJ -- Fichier tronqu\xE9");
        return false;
    }

    MeshArrays arrays;
    const unsigned char* cursor = bytes.data();
    DecodeFloats(cursor, 3 * size_t(newVertexCount), arrays.vertices);
    cursor += 12 * size_t(newVertexCount);
    DecodeFloats(cursor, 3 * size_t(newVertexCount), arrays.normals);
    cursor += 12 * size_t(newVertexCount);
    if (newHasTexCoords)
    {
        DecodeFloats(cursor, 2 * size_t(newVertexCount), arrays.texCoords);
        cursor += 8 * size_t(newVertexCount);
    }
    arrays.indices.resize(3 * size_t(newTriangleCount));
    for (size_t i = 0; i < arrays.indices.size(); ++i)
        arrays.indices[i] = LittleEndian32(cursor + 4 * i);
    if (!IndicesBelow(arrays.indices, newVertexCount))
    {
        CLog::Write("C3DSObject::LoadOBJ -- Indice de sommet hors limites");
        return false;
    }

    vertices = std::move(arrays.vertices);
    normals = std::move(arrays.normals);
    texCoords = std::move(arrays.texCoords);
    indices = std::move(arrays.indices);
    vertexCount = int32_t(newVertexCount);
    triangleCount = int32_t(newTriangleCount);
    hasTexCoords = newHasTexCoords;
    return true;
}
