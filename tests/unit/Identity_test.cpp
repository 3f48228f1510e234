// The fast, banded, multi-threaded step against the plain loops
// (ReferenceStep): each row a scene, run from the same start with both, and
// the whole state must agree to the bit. Rows vary the grid's shape and
// threads (grids under 96 x 96 cells run on one thread whatever iThreads
// says; more bands than rows leave one empty), the spray (up to the cap on
// particles in flight), hand-made walls, and the parameters away from 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "ReferenceStages.h"
#include "SimFixture.h"
#include "sim/Random.h"

namespace
{
// A sphere that falls in at once, one dropped again every 0.4 s, and the
// first one taken away at 1.5 s.
const char* const kEvents =
    "iEventNumber = 3;"
    "iEvent1Type = 1; dEvent1Time = 0.05; strEvent1ObjectName = \"ball\";"
    "dEvent1ObjectMass = 0.002; dEvent1ObjectSize = 0.09; dEvent1ObjectPosX = 0.1;"
    "dEvent1ObjectPosY = -0.15; dEvent1ObjectPosZ = 1.2; dEvent1ObjectSpeedZ = -2.0;"
    "iEvent2Type = 1; dEvent2Time = 0.2; bEvent2Once = false; dEvent2AddTime = 0.4;"
    "strEvent2ObjectName = \"drop\"; dEvent2ObjectMass = 0.001; dEvent2ObjectSize = 0.05;"
    "dEvent2ObjectPosX = -0.2; dEvent2ObjectPosY = 0.25; dEvent2ObjectPosZ = 1.1;"
    "dEvent2ObjectSpeedX = 0.3; dEvent2ObjectSpeedZ = -1.0;"
    "iEvent3Type = 1; dEvent3Time = 1.5; bEvent3AddObject = false; strEvent3ObjectName = \"ball\";";

// The first entry of a key decides: a row's own options come first.
const char* const kCommon = "dFriction = 0.2; dWaterFriction = 3.0; dForceFactor = 0.05;"
                            "dParticleThresHold = 0.15; dSpeedThresHold = 0.1;";

// Two crossing ripples, the same for both runs.
void MakeWaves(CWaterBody& body)
{
    for (uint32_t y = 1; y + 1 < body.iSimulationHeight; ++y)
        for (uint32_t x = 1; x + 1 < body.iSimulationWidth; ++x)
            body.cells[x + y * body.iSimulationWidth].height +=
                0.04f * std::sin(0.5f * float(x)) + 0.03f * std::cos(0.35f * float(x + 2 * y));
}

// Interior walls and water cells on the border: kinds are set only by the
// allocation, but the stages must not depend on it.
void MakeWalls(CWaterBody& b)
{
    auto at = [&](uint32_t x, uint32_t y) -> Cell& { return b.cells[x + y * b.iSimulationWidth]; };
    for (uint32_t x = 30; x < 33; ++x)
        at(x, 40).kind = at(x, 41).kind = CELL_WALL;
    at(5, 5).kind = at(1, 50).kind = CELL_WALL;
    at(0, 10).kind = at(20, 0).kind = at(100, 98).kind = CELL_WATER;
}

struct Row
{
    const char* name;
    uint32_t width, height;
    int threads, steps;
    const char* options;  // before kCommon
    bool events, walls;
    size_t throwing;  // some step has at least this many corners throwing
};

const Row kRows[] = {
    {"odd, one thread", 37, 53, 1, 300, "", true, false, 5},
    {"even, three threads asked, one used", 64, 64, 3, 300, "", true, false, 5},
    {"odd, two threads", 97, 103, 2, 200, "", true, false, 5},
    {"even, three threads", 128, 128, 3, 200, "", true, false, 5},
    {"two rows on three threads", 5003, 3, 3, 20, "", true, false, 0},
    {"three rows on three threads", 5003, 5, 3, 20, "", true, false, 0},
    {"hand-made walls", 101, 99, 2, 100, "", true, true, 5},
    {"rho, g, divisors and sizes away from 1", 97, 89, 2, 150,
     "dFluidDensity = 1.7; dGravity = 9.81; iCrossSectionDivisor = 3; iPipeDivisor = 2;"
     "dSimulationSizeX = 1.3; dSimulationSizeY = 0.7; dDefaultHeight = 0.6;",
     true, false, 5},
    {"heavy spray", 101, 97, 2, 40, "dFriction = 0.05; dParticleThresHold = 0.02;", false, false, 200},
    {"heavier spray", 150, 99, 3, 30, "dFriction = 0.05; dParticleThresHold = 0.005;", false, false, 200},
    // Every corner throws: the cap on particles stops throwing part of the
    // way through the list.
    {"spray to the cap", 521, 487, 2, 3, "dFriction = 0.05; dParticleThresHold = 0.0;", false, false,
     100001},
};

TEST(Identity, FastStepEqualsThePlainLoopsToTheBit)
{
    for (const Row& row : kRows)
    {
        SCOPED_TRACE(row.name);
        const std::string options = std::string(row.options) + kCommon + "iSimulationWidth = " +
                                    std::to_string(row.width) + "; iSimulationHeight = " +
                                    std::to_string(row.height) + "; iThreads = " +
                                    std::to_string(row.threads) + ";";
        CSimFixture f(options, row.events ? kEvents : "");
        ASSERT_TRUE(f.initialised) << f.LogText();
        auto reference = std::make_unique<CWaterBody>();  // same directory and options
        ASSERT_TRUE(reference->Init());
        size_t throwing = 0;
        for (bool fast : {true, false})
        {
            CWaterBody& b = fast ? f.body : *reference;
            MakeWaves(b);
            if (row.walls)
                MakeWalls(b);
            ResetRandom();
            for (int step = 0; step < row.steps; ++step)
            {
                fast ? b.Step(0.01) : ReferenceStep(b, 0.01);
                throwing = std::max(throwing, b.throwingCorners.size());
            }
        }
        EXPECT_GE(throwing, row.throwing);
        const CWaterBody& a = f.body;
        const CWaterBody& b = *reference;
        const size_t cells = size_t(a.iSimulationWidth) * a.iSimulationHeight;
        const size_t corners = size_t(a.iSimulationWidth - 1) * (a.iSimulationHeight - 1);
        EXPECT_EQ(std::memcmp(a.cells, b.cells, cells * sizeof(Cell)), 0) << "cells";
        EXPECT_EQ(std::memcmp(a.cornerHeights, b.cornerHeights, corners * 4), 0) << "corner heights";
        EXPECT_EQ(std::memcmp(a.previousCornerHeights, b.previousCornerHeights, corners * 4), 0);
        EXPECT_EQ(std::memcmp(a.cornerNormals, b.cornerNormals, corners * sizeof(Vec3)), 0);
        EXPECT_EQ(StateHashOf(a), StateHashOf(b)) << "time, objects or events";
    }
}
}  // namespace
