// WriteHeightsNpy, WriteHeightsRaw: the .npy header is a few lines of text
// by definition (magic, version, length, a Python dict literal padded to a
// multiple of 64 bytes); the data is the raw dump's bytes.

#include "assets/HeightDump.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "assets/ExportFile.h"
#include "sim/WaterBody.h"

namespace
{

// Little-endian whatever the host: the file says '<f4'.
std::vector<unsigned char> HeightBytes(const CWaterBody& body)
{
    const size_t cellCount = size_t(body.iSimulationWidth) * body.iSimulationHeight;
    std::vector<unsigned char> bytes(body.HasCells() ? cellCount * 4 : 0);
    for (size_t i = 0; i < bytes.size() / 4; ++i)
    {
        const float height = body.CellHeight(i);
        uint32_t bits;
        std::memcpy(&bits, &height, sizeof bits);
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<unsigned char>(bits >> (8 * b));
    }
    return bytes;
}

// Version 1.0 header: "\x93NUMPY", 1, 0, the dict's length (2 bytes,
// little-endian), the dict; all of it a multiple of 64 bytes, the dict
// padded with spaces and ended by a line feed.
std::string NpyHeader(uint32_t width, uint32_t height)
{
    std::string dict = "{'descr': '<f4', 'fortran_order': False, 'shape': (" +
                       std::to_string(height) + ", " + std::to_string(width) + "), }";
    const size_t fixed = 10;  // magic, version, length
    const size_t total = (fixed + dict.size() + 1 + 63) / 64 * 64;
    dict.append(total - fixed - dict.size() - 1, ' ');
    dict += '\n';
    std::string header("\x93NUMPY\x01\x00", 8);
    header += char(dict.size() & 0xFF);
    header += char(dict.size() >> 8);
    return header + dict;
}

}  // namespace

bool WriteHeightsNpy(const CWaterBody& body, CExportFile& file)
{
    file.Text(NpyHeader(body.iSimulationWidth, body.iSimulationHeight));
    return WriteHeightsRaw(body, file);
}

bool WriteHeightsRaw(const CWaterBody& body, CExportFile& file)
{
    const std::vector<unsigned char> bytes = HeightBytes(body);
    file.Bytes(bytes.data(), bytes.size());
    return !file.Failed();
}
