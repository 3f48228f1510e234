// Corner heights and normals: walls left out of the averages, corners with
// nothing positive to average, a tilted plane, and the degenerate grid two
// cells wide (the flat basin is a story in SimState_test).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "ReferenceStages.h"
#include "SimFixture.h"

TEST(CornerHeights, WallsAreLeftOutOfTheAverage)
{
    CSimFixture f("iSimulationWidth = 8; iSimulationHeight = 6;");
    ASSERT_TRUE(f.initialised);
    for (uint32_t x = 0; x < 8; ++x)
    {
        f.CellAt(x, 0).height = 100.0f;  // walls: must never count
        f.CellAt(x, 5).height = 100.0f;
    }
    f.CellAt(0, 1).height = 100.0f;
    f.CellAt(1, 1).height = 1.75f;
    f.CellAt(2, 1).height = 1.25f;
    f.CellAt(1, 2).height = 0.5f;
    f.CellAt(2, 2).height = 2.5f;
    const float before = f.CornerHeightAt(1, 1);
    f.body.UpdateCornerHeights();
    EXPECT_EQ(f.CornerHeightAt(0, 0), 1.75f);                  // one water cell
    EXPECT_EQ(f.CornerHeightAt(1, 0), (1.75f + 1.25f) / 2);    // two
    EXPECT_EQ(f.CornerHeightAt(0, 1), (1.75f + 0.5f) / 2);     // two, a wall at 100 beside
    EXPECT_EQ(f.CornerHeightAt(1, 1), (1.75f + 0.5f + 1.25f + 2.5f) / 4);
    EXPECT_EQ(f.body.previousCornerHeights[1 + 1 * 7], before);
    EXPECT_EQ(f.CornerHeightAt(6, 4), 1.0f);  // far corner: one level water cell
}

TEST(CornerHeights, NothingPositiveToAverageGivesZero)
{
    CSimFixture f("iSimulationWidth = 9; iSimulationHeight = 9;");
    ASSERT_TRUE(f.initialised);
    // Four interior cells made walls by hand: their shared corner has no water.
    for (uint32_t x : {3u, 4u})
        for (uint32_t y : {3u, 4u})
            f.CellAt(x, y).kind = CELL_WALL;
    // Around corner (5, 5): a negative average, and a cell that is NaN.
    f.CellAt(6, 5).height = -3.5f;
    f.CellAt(1, 6).height = std::numeric_limits<float>::quiet_NaN();
    f.body.UpdateCornerHeights();
    EXPECT_EQ(f.CornerHeightAt(3, 3), 0.0f);
    EXPECT_EQ(f.CornerHeightAt(5, 5), 0.0f);   // (1 + 1 − 3.5 + 1) / 4 < 0
    EXPECT_EQ(f.CornerHeightAt(0, 5), 0.0f);   // NaN average
    EXPECT_EQ(f.CornerHeightAt(1, 6), 0.0f);
    EXPECT_EQ(f.CornerHeightAt(2, 2), 1.0f);   // three water cells and a wall
}

TEST(CornerNormals, TiltedPlaneTiltsEveryNormalTheSameWay)
{
    // Slopes a along x and b along y per corner step; with spacings dx, dy
    // the plane's normal is (−a/dx, −b/dy, 1), normalised.
    CSimFixture f("iSimulationWidth = 11; iSimulationHeight = 9; dSimulationSizeX = 2.2; "
                  "dSimulationSizeY = 0.9;");
    ASSERT_TRUE(f.initialised);
    const double a = 0.0625, b = -0.03125;
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 10; ++x)
            f.body.cornerHeights[x + y * 10] = float(2.0 + a * x + b * y);
    f.body.UpdateCornerNormals();
    const double dx = 2.2 / 11, dy = 0.9 / 9;
    const double nx = -a / dx, ny = -b / dy, length = std::sqrt(nx * nx + ny * ny + 1.0);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 10; ++x)
        {
            const Vec3& n = f.CornerNormalAt(x, y);
            EXPECT_NEAR(n.x, nx / length, 1e-5) << x << "," << y;
            EXPECT_NEAR(n.y, ny / length, 1e-5) << x << "," << y;
            EXPECT_NEAR(n.z, 1.0 / length, 1e-5) << x << "," << y;
        }
}

TEST(CornerNormals, BumpMatchesThePlainLoopsToTheBit)
{
    CSimFixture f("iSimulationWidth = 23; iSimulationHeight = 17; dSimulationSizeX = 1.7;");
    ASSERT_TRUE(f.initialised);
    for (uint32_t i = 0; i < 22 * 16; ++i)
        f.body.cornerHeights[i] = 1.0f + 0.01f * float((i * 37) % 11) - 0.003f * float(i % 7);
    std::vector<float> heights(f.body.cornerHeights, f.body.cornerHeights + 22 * 16);
    f.body.UpdateCornerNormals();
    std::vector<Vec3> fast(f.body.cornerNormals, f.body.cornerNormals + 22 * 16);
    ReferenceUpdateCornerNormals(f.body);
    for (uint32_t i = 0; i < 22 * 16; ++i)
    {
        EXPECT_EQ(fast[i].x, f.body.cornerNormals[i].x) << "corner " << i;
        EXPECT_EQ(fast[i].y, f.body.cornerNormals[i].y) << "corner " << i;
        EXPECT_EQ(fast[i].z, f.body.cornerNormals[i].z) << "corner " << i;
    }
    EXPECT_NE(fast[5 + 5 * 22].x, 0.0f);
}

TEST(CornerNormals, GridTwoCellsWideGetsUprightNormalsInsteadOfNaN)
{
    // The options refuse such a grid, so build it by hand.
    CSimFixture f("");
    ASSERT_TRUE(f.initialised);
    const uint32_t sizes[][2] = {{2, 6}, {5, 2}, {2, 2}};
    for (const auto& size : sizes)
    {
        f.body.iSimulationWidth = size[0];
        f.body.iSimulationHeight = size[1];
        ASSERT_TRUE(f.body.AllocateGrid());
        f.body.UpdatePipes(0.03);
        f.body.UpdateCornerHeights();
        f.body.UpdateCornerNormals();
        const uint32_t corners = (size[0] - 1) * (size[1] - 1);
        for (uint32_t i = 0; i < corners; ++i)
        {
            EXPECT_EQ(f.body.cornerHeights[i], 0.0f);  // every cell is a wall
            EXPECT_EQ(f.body.cornerNormals[i].x, 0.0f);
            EXPECT_EQ(f.body.cornerNormals[i].y, 0.0f);
            EXPECT_EQ(f.body.cornerNormals[i].z, 1.0f) << size[0] << "x" << size[1];
        }
    }
}
