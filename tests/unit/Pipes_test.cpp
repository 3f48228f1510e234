// The grid and its pipe stage: allocation, agreement with the plain loops
// (ReferenceStages) under a storm, friction, walls and the pressure clear.
// The raised cell and the basin at rest are stories in SimState_test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "ReferenceStages.h"
#include "SimFixture.h"

namespace
{

constexpr double kDt = 0.03;

double WaterVolume(const CWaterBody& body)
{
    double volume = 0.0;
    for (uint32_t i = 0; i < body.iSimulationWidth * body.iSimulationHeight; ++i)
        if (body.cells[i].kind == CELL_WATER)
            volume += double(body.cells[i].height) * body.fCellArea;
    return volume;
}

// The pressures an object pass might leave: both signs, changing per step.
void PressHere(CWaterBody& body, int step)
{
    const uint32_t W = body.iSimulationWidth, H = body.iSimulationHeight;
    for (uint32_t y = 1; y + 1 < H; ++y)
        for (uint32_t x = 1; x + 1 < W; ++x)
            body.cells[x + y * W].pressure =
                ((x * 7 + y * 3 + step) % 5 == 0) ? 0.3f * float(x % 3) - 0.25f : 0.0f;
}

// A wavy surface and pressures of both signs, the same every time.
void MakeStorm(CSimFixture& f)
{
    for (uint32_t y = 1; y + 1 < f.body.iSimulationHeight; ++y)
        for (uint32_t x = 1; x + 1 < f.body.iSimulationWidth; ++x)
            f.CellAt(x, y).height += 0.05f * std::sin(0.7f * x) * std::cos(0.45f * y);
    PressHere(f.body, 0);
}

}  // namespace

TEST(GridAllocation, BorderCellsAreWallsAndEveryCellStartsLevelAndStill)
{
    CSimFixture f("iSimulationWidth = 7; iSimulationHeight = 5; dDefaultHeight = 0.75;");
    ASSERT_TRUE(f.initialised);
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 7; ++x)
        {
            const Cell& c = f.CellAt(x, y);
            bool border = x == 0 || y == 0 || x == 6 || y == 4;
            EXPECT_EQ(c.kind, border ? CELL_WALL : CELL_WATER) << x << "," << y;
            EXPECT_EQ(c.height, 0.75f);
            EXPECT_EQ(c.pressure, 0.0f);
            EXPECT_EQ(c.volumeChange, 0.0f);
            for (int k = 0; k < 8; ++k)
            {
                EXPECT_EQ(c.flow[k], 0.0f);
                EXPECT_FALSE(c.pipeDone[k]);
            }
        }
}

TEST(GridAllocation, ImpossibleSizesAreRefusedAndLeaveNoGrid)
{
    CSimFixture f("");
    ASSERT_TRUE(f.initialised);
    const uint32_t sizes[][2] = {{0, 10}, {10, 0}, {1, 10}, {0xFFFFFFFFu, 0xFFFFFFFFu}, {1u << 16, 1u << 16}};
    for (const auto& size : sizes)
    {
        f.body.iSimulationWidth = size[0];
        f.body.iSimulationHeight = size[1];
        EXPECT_FALSE(f.body.AllocateGrid()) << size[0] << "x" << size[1];
        EXPECT_EQ(f.body.cells, nullptr);
        EXPECT_EQ(f.body.cornerHeights, nullptr);
        EXPECT_EQ(f.body.previousCornerHeights, nullptr);
        EXPECT_EQ(f.body.cornerNormals, nullptr);
        // Every stage copes with the missing grid.
        f.body.UpdatePipes(kDt);
        f.body.UpdateCornerHeights();
        f.body.UpdateCornerNormals();
        f.body.ClearPressure();
    }
    EXPECT_NE(f.LogText().find("CWaterBody::AllocateGrid -- "), std::string::npos);
    f.body.Release();
    f.body.Release();  // twice is harmless
    f.body.iSimulationWidth = 4;
    f.body.iSimulationHeight = 3;
    EXPECT_TRUE(f.body.AllocateGrid());
    EXPECT_NE(f.body.cells, nullptr);
}

// Interior walls and water cells on the border are hand-made: kinds are set
// only by the allocation, but the stage must not depend on it (an interior
// wall is visited like any cell, border water is never visited yet
// exchanges with its neighbours). Odd sizes so that bands never line up.
TEST(Pipes, StormMatchesThePlainLoopsAndConservesTheWater)
{
    for (bool handMadeKinds : {false, true})
    {
        SCOPED_TRACE(handMadeKinds ? "hand-made walls" : "plain basin");
        const uint32_t W = handMadeKinds ? 101 : 131, H = handMadeKinds ? 99 : 97;
        CSimFixture fast("iSimulationWidth = " + std::to_string(W) + "; iSimulationHeight = " +
                         std::to_string(H) + "; iThreads = " + (handMadeKinds ? "2;" : "3;"));
        ASSERT_TRUE(fast.initialised);
        auto reference = std::make_unique<CWaterBody>();  // same directory and options
        ASSERT_TRUE(reference->Init());
        MakeStorm(fast);
        if (handMadeKinds)
        {
            for (uint32_t x = 30; x < 33; ++x)
                fast.CellAt(x, 40).kind = fast.CellAt(x, 41).kind = CELL_WALL;
            fast.CellAt(5, 5).kind = fast.CellAt(1, 50).kind = CELL_WALL;
            fast.CellAt(0, 10).kind = fast.CellAt(20, 0).kind = fast.CellAt(100, 98).kind = CELL_WATER;
        }
        const size_t cellCount = size_t(W) * H;
        std::memcpy(reference->cells, fast.body.cells, cellCount * sizeof(Cell));
        const double before = WaterVolume(fast.body);
        for (int step = 0; step < 30; ++step)
        {
            PressHere(fast.body, step);
            PressHere(*reference, step);
            fast.body.UpdatePipes(kDt);
            ReferenceUpdatePipes(*reference, kDt);
            for (size_t i = 0; i < cellCount; ++i)
            {
                const Cell& a = fast.body.cells[i];
                const Cell& b = reference->cells[i];
                const char* what = a.height != b.height                                 ? "height"
                                   : std::memcmp(a.flow, b.flow, sizeof a.flow)         ? "flow"
                                   : std::memcmp(a.pipeDone, b.pipeDone, sizeof a.pipeDone) ? "pipeDone"
                                   : a.volumeChange != b.volumeChange                   ? "volumeChange"
                                   // The pipe stage is the pressures' last reader in a
                                   // step: it clears them, so the object pass need not.
                                   : a.pressure != 0.0f                                 ? "pressure"
                                                                                        : nullptr;
                ASSERT_EQ(what, nullptr) << what << " of cell (" << i % W << ", " << i / W
                                         << ") at step " << step;
            }
            ASSERT_TRUE(fast.body.bPressureCleared);
        }
        EXPECT_NE(fast.CellAt(60, 50).height, 1.0f);  // the storm did move water
        if (handMadeKinds)
        {
            EXPECT_NE(fast.CellAt(0, 10).flow[3], 0.0f);  // the border water cell did exchange
            continue;  // hand-made kinds move water between counted and uncounted cells
        }
        // Flows are exactly opposite at both ends, so only the rounding of
        // the float heights moves the total: a few ulps per cell.
        EXPECT_NEAR(WaterVolume(fast.body), before, before * 1e-6);
    }
}

TEST(Pipes, FrictionOfOneStepOrMoreStopsEveryPipe)
{
    for (const char* friction : {"dFriction = 40.0;", "dFriction = 100.0;"})
    {
        CSimFixture f(friction);  // 40 · 0.025 = 1 exactly: d = 0
        ASSERT_TRUE(f.initialised);
        MakeStorm(f);
        for (int step = 0; step < 3; ++step)
        {
            PressHere(f.body, step);
            f.body.UpdatePipes(0.025);
            for (uint32_t i = 0; i < 2500; ++i)
                for (float flow : f.body.cells[i].flow)
                    ASSERT_EQ(std::fabs(flow), 0.0f) << friction << " cell " << i;
        }
    }
}

TEST(Pipes, WallsNeverChangeAndTheCellsBesideThemExchangeNothingWithThem)
{
    CSimFixture f("iSimulationWidth = 12; iSimulationHeight = 9;");
    ASSERT_TRUE(f.initialised);
    auto isBorder = [](uint32_t x, uint32_t y) { return x == 0 || y == 0 || x == 11 || y == 8; };
    // Raise the walls and the cells beside them, and press on the walls: a
    // wall taking part would move water at once.
    for (uint32_t y = 0; y < 9; ++y)
        for (uint32_t x = 0; x < 12; ++x)
            f.CellAt(x, y).height = isBorder(x, y) ? 5.0f : (x == 1 || y == 1 ? 1.3f : 1.0f);
    const double before = WaterVolume(f.body);
    for (int step = 0; step < 20; ++step)
    {
        for (uint32_t y = 0; y < 9; ++y)
            for (uint32_t x = 0; x < 12; ++x)
                if (isBorder(x, y))
                    f.CellAt(x, y).pressure = 2.0f;
        f.body.UpdatePipes(kDt);
        for (uint32_t y = 0; y < 9; ++y)
            for (uint32_t x = 0; x < 12; ++x)
            {
                const Cell& c = f.CellAt(x, y);
                if (isBorder(x, y))
                {
                    ASSERT_EQ(c.height, 5.0f);
                }
                for (int k = 0; k < 8; ++k)
                {
                    const uint32_t nx = x + f.body.neighbourOffsets[k], ny = y + f.body.neighbourOffsets[8 + k];
                    const bool wallPipe = isBorder(x, y) || isBorder(nx, ny);
                    ASSERT_EQ(c.pipeDone[k], !wallPipe) << x << "," << y << " toward " << k;
                    if (wallPipe)
                    {
                        ASSERT_EQ(c.flow[k], 0.0f) << x << "," << y << " toward " << k;
                    }
                }
            }
    }
    // 70 water cells, 16 of them (column 1 and row 1) raised by 0.3; what
    // flowed stayed among them.
    EXPECT_NEAR(before, (70 + 16 * 0.3) * f.body.fCellArea, 1e-7);
    EXPECT_NEAR(WaterVolume(f.body), before, before * 1e-6);
    EXPECT_NE(f.CellAt(1, 4).height, 1.3f);
}

TEST(Pipes, ClearPressureClearsOnlyWhatThePipeStageHasNotAlreadyCleared)
{
    CSimFixture f("iSimulationWidth = 6; iSimulationHeight = 6;");
    ASSERT_TRUE(f.initialised);
    f.CellAt(0, 0).pressure = 4.0f;  // a wall: cleared too
    f.CellAt(2, 3).pressure = -1.0f;
    f.body.ClearPressure();  // no pipe stage yet: a real clear
    EXPECT_EQ(f.CellAt(0, 0).pressure, 0.0f);
    EXPECT_EQ(f.CellAt(2, 3).pressure, 0.0f);

    f.CellAt(2, 3).pressure = -1.0f;
    f.body.UpdatePipes(kDt);
    EXPECT_EQ(f.CellAt(2, 3).pressure, 0.0f);
    EXPECT_GT(f.CellAt(2, 3).height, 1.0f);  // the suction was felt first
    EXPECT_TRUE(f.body.bPressureCleared);
    f.body.ClearPressure();
    EXPECT_FALSE(f.body.bPressureCleared);
}
