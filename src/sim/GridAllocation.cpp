// The grid's memory: AllocateGrid makes and fills the cell arrays and the
// corner arrays, Release frees them with the worker pool.
//
// Every array is aligned to a cache line (64 bytes) so that the rows of the
// stages start on one when W is a multiple of 16.
//
// Deliberately not done: no sharing between the arrays and no memory kept
// once the grid is released.
#include <algorithm>
#include <cstdlib>

#include "app/Log.h"
#include "sim/GridWorkers.h"
#include "sim/WaterBody.h"

namespace
{

constexpr size_t LINE = 64;

// Room for `count` values of T on a cache line, or null.
template <class T>
T* AllocateArray(size_t count)
{
    const size_t bytes = (count * sizeof(T) + LINE - 1) / LINE * LINE;
    return static_cast<T*>(std::aligned_alloc(LINE, bytes == 0 ? LINE : bytes));
}

template <class T>
void FreeArray(T*& array)
{
    std::free(array);
    array = nullptr;
}

}  // namespace

bool CWaterBody::AllocateGrid()
{
    Release();
    const uint32_t W = iSimulationWidth, H = iSimulationHeight;
    const uint64_t cellCount = uint64_t(W) * H;
    if (W < 2 || H < 2 || cellCount > MAX_CELLS)
    {
        CLog::Write("CWaterBody::AllocateGrid -- Grille de %ux%u cellules impossible \xE0 allouer",
                    W, H);
        return false;
    }
    const size_t cornerCount = size_t(W - 1) * (H - 1);
    cellHeights = AllocateArray<float>(cellCount);
    cellPressures = AllocateArray<float>(cellCount);
    bool allocated = cellHeights && cellPressures;
    for (float*& flows : pipeFlows)
    {
        flows = AllocateArray<float>(cellCount);
        allocated = allocated && flows;
    }
    waterMask = AllocateArray<uint8_t>(cellCount);
    cornerHeights = AllocateArray<float>(cornerCount);
    previousCornerHeights = AllocateArray<float>(cornerCount);
    cornerNormals = AllocateArray<Vec3>(cornerCount);
    if (!allocated || !waterMask || !cornerHeights || !previousCornerHeights || !cornerNormals)
    {
        Release();
        CLog::Write("CWaterBody::AllocateGrid -- M\xE9moire insuffisante pour %ux%u cellules", W, H);
        return false;
    }
    std::copy(DIRECTION_TABLE, DIRECTION_TABLE + 16, neighbourOffsets);
    std::fill(cellHeights, cellHeights + cellCount, dDefaultHeight);
    std::fill(cellPressures, cellPressures + cellCount, 0.0f);
    for (float* flows : pipeFlows)
        std::fill(flows, flows + cellCount, 0.0f);
    // Water inside, walls on the border.
    for (uint32_t y = 0; y < H; ++y)
    {
        uint8_t* row = waterMask + size_t(y) * W;
        const bool borderRow = y == 0 || y == H - 1;
        std::fill(row, row + W, borderRow ? 0 : 1);
        row[0] = row[W - 1] = 0;
    }
    nearestWaterCell.clear();
    if (wallMap.size() == cellCount)
    {
        for (size_t i = 0; i < cellCount; ++i)
            if (wallMap[i])
                waterMask[i] = 0;
        FindNearestWaterCells();
    }
    // The corner heights are filled by the first UpdateCornerHeights; they
    // start at 0 so that nothing ever reads indeterminate memory.
    std::fill(cornerHeights, cornerHeights + cornerCount, 0.0f);
    std::fill(previousCornerHeights, previousCornerHeights + cornerCount, 0.0f);
    std::fill(cornerNormals, cornerNormals + cornerCount, Vec3{0.0f, 0.0f, 0.0f});
    return true;
}

void CWaterBody::Release()
{
    FreeArray(cellHeights);
    FreeArray(cellPressures);
    for (float*& flows : pipeFlows)
        FreeArray(flows);
    FreeArray(waterMask);
    FreeArray(cornerHeights);
    FreeArray(previousCornerHeights);
    FreeArray(cornerNormals);
    nearestWaterCell.clear();
    delete pGridWorkers;
    pGridWorkers = nullptr;
}
