// The basin-bottom mesh format written out independently of its reader,
// for the reader's tests, the simulation fixture and the fuzzers' start
// directories: counts high byte first, arrays little-endian whatever the
// machine. By default one triangle, version 21, without texture
// coordinates. Header-only, with no dependency on the program.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

struct MeshFileBytes
{
    uint8_t headerLength = 7;
    uint8_t version = 21;
    uint16_t vertexCount = 3;
    uint16_t triangleCount = 1;
    uint8_t texFlag = 0;
    std::vector<float> vertices = {1.5f, -2.0f, 0.25f, 3, 4, 5, 6, 7, 8};
    std::vector<float> normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    std::vector<float> texCoords;
    std::vector<uint32_t> indices = {0, 1, 2};

    std::vector<unsigned char> Encode() const
    {
        std::vector<unsigned char> out = {headerLength, version, static_cast<unsigned char>(vertexCount >> 8),
                                          static_cast<unsigned char>(vertexCount & 0xFF),
                                          static_cast<unsigned char>(triangleCount >> 8),
                                          static_cast<unsigned char>(triangleCount & 0xFF), texFlag};
        while (out.size() < headerLength)
            out.push_back(0xAB);
        auto put = [&out](uint32_t value) {
            for (int shift = 0; shift < 32; shift += 8)
                out.push_back(static_cast<unsigned char>(value >> shift));
        };
        for (const std::vector<float>* array : {&vertices, &normals, &texCoords})
            for (float v : *array)
            {
                uint32_t bits;
                std::memcpy(&bits, &v, 4);
                put(bits);
            }
        for (uint32_t i : indices)
            put(i);
        return out;
    }
};
