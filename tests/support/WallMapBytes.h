// The bytes of a wall map as a paint program would save it: an
// uncompressed 24-bit TGA, pixel (x, y) coloured colour(x, y) as 0xRRGGBB,
// rows from the bottom, or from the top with the origin bit set.
#pragma once

#include <cstdint>
#include <string>

template <class Colour>
std::string WallMapBytes(uint32_t w, uint32_t h, Colour colour, bool topLeft = false)
{
    std::string bytes(18, '\0');
    bytes[2] = 2;
    bytes[12] = char(w & 0xFF), bytes[13] = char(w >> 8);
    bytes[14] = char(h & 0xFF), bytes[15] = char(h >> 8);
    bytes[16] = 24;
    bytes[17] = topLeft ? 0x20 : 0;
    for (uint32_t row = 0; row < h; ++row)
        for (uint32_t x = 0; x < w; ++x)
        {
            const uint32_t rgb = colour(x, topLeft ? h - 1 - row : row);
            bytes += {char(rgb & 0xFF), char((rgb >> 8) & 0xFF), char(rgb >> 16)};  // B, G, R
        }
    return bytes;
}

constexpr uint32_t WALL_BLACK = 0x000000, WATER_WHITE = 0xFFFFFF;
