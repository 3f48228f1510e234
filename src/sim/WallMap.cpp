// The wall map: a TGA picture of the basin seen from above, one pixel per
// cell, +x to the right and +y up (the picture's bottom row is cell row 0
// whatever the file's origin), a pixel darker than half grey a wall.
// LoadWallMap reads and checks it at Init; AllocateGrid lays it over the
// border walls, so it holds at start-up and after every reload.
//
// Deliberately not done: no scaling of a picture of another size, no grey
// levels between wall and water, no alpha (a transparent pixel is its
// colour).
#include <cstdio>
#include <deque>

#include "app/Log.h"
#include "assets/TgaImage.h"
#include "sim/WaterBody.h"

namespace
{

// Rec. 601 luma under half of 255.
bool IsDark(const unsigned char* rgb)
{
    return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2] < 127.5;
}

bool Refuse(const char* fileName, const char* why)
{
    CLog::Write("CWaterBody::LoadWallMap -- Carte des murs %s refus\xE9" "e : %s", fileName, why);
    return false;
}

}  // namespace

bool CWaterBody::LoadWallMap(const char* fileName)
{
    wallMap.clear();
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr)
        return Refuse(fileName, "fichier introuvable");
    CTgaImage image;
    TgaReadReport report;
    const TgaReadOutcome outcome = CTgaImage::TgaImageReadQuietly(file, &image, &report);
    std::fclose(file);
    if (outcome == TGA_NO_MEMORY)
        return Refuse(fileName, "m\xE9moire insuffisante");
    if (outcome != TGA_LOADED && outcome != TGA_TRUNCATED && outcome != TGA_TOO_LARGE)
        return Refuse(fileName, "image illisible");
    const uint32_t W = iSimulationWidth, H = iSimulationHeight;
    if (report.width != W || report.height != H)
    {
        CLog::Write("CWaterBody::LoadWallMap -- Carte des murs %s refus\xE9" "e : %u x %u pixels "
                    "pour une grille de %u x %u cellules",
                    fileName, unsigned(report.width), unsigned(report.height), W, H);
        return false;
    }
    if (outcome == TGA_TRUNCATED)
        return Refuse(fileName, "fichier tronqu\xE9");

    const size_t bytesPerPixel = image.bitsPerPixel / 8;
    std::vector<uint8_t> walls(size_t(W) * H, 0);
    bool anyWater = false;
    for (uint32_t y = 0; y < H; ++y)
        for (uint32_t x = 0; x < W; ++x)
        {
            const size_t i = x + size_t(y) * W;
            walls[i] = IsDark(image.data + i * bytesPerPixel) ? 1 : 0;
            const bool interior = x >= 1 && y >= 1 && x + 1 < W && y + 1 < H;
            anyWater = anyWater || (interior && !walls[i]);
        }
    if (!anyWater)
        return Refuse(fileName, "aucune cellule d'eau");
    wallMap.swap(walls);
    return true;
}

// Breadth-first from every water cell at once over the eight neighbours:
// each wall gets a water cell fewest steps away (the first reached in
// index order among those), each water cell itself.
void CWaterBody::FindNearestWaterCells()
{
    const uint32_t W = iSimulationWidth, H = iSimulationHeight;
    const size_t count = size_t(W) * H;
    constexpr uint32_t NONE = 0xFFFFFFFFu;
    nearestWaterCell.assign(count, NONE);
    std::deque<uint32_t> frontier;
    for (size_t i = 0; i < count; ++i)
        if (waterMask[i])
        {
            nearestWaterCell[i] = uint32_t(i);
            frontier.push_back(uint32_t(i));
        }
    while (!frontier.empty())
    {
        const uint32_t i = frontier.front();
        frontier.pop_front();
        const int64_t x = i % W, y = i / W;
        for (int k = 0; k < 8; ++k)
        {
            const int64_t nx = x + DIRECTION_TABLE[k], ny = y + DIRECTION_TABLE[8 + k];
            if (nx < 0 || ny < 0 || nx >= W || ny >= H)
                continue;
            const size_t n = size_t(nx) + size_t(ny) * W;
            if (nearestWaterCell[n] != NONE)
                continue;
            nearestWaterCell[n] = nearestWaterCell[i];
            frontier.push_back(uint32_t(n));
        }
    }
}

float CWaterBody::WallTop() const
{
    const float side = dSimulationSizeX > dSimulationSizeY ? dSimulationSizeX : dSimulationSizeY;
    return dDefaultHeight + 0.03f * side;
}
