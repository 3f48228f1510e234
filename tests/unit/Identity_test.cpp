// The fast, banded, multi-threaded step, and its stages called one by one,
// against the plain loops (ReferenceStep): each row a scene, run from the
// same start with all three; the state hashes after every step and the
// whole final state must agree to the bit. Rows vary the grid's shape and
// threads (grids under 96 x 96 cells run on one thread whatever iThreads
// says; more bands than rows leave one empty), the spray (up to the cap on
// particles in flight), hand-made walls, a wall map, and the parameters
// away from 1. Two rows and the shipped scenes also keep a pinned state hash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ReferenceStages.h"
#include "SimFixture.h"
#include "WallMapBytes.h"
#include "app/WaterBodyLoader.h"
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
            body.cellHeights[x + y * body.iSimulationWidth] +=
                0.04f * std::sin(0.5f * float(x)) + 0.03f * std::cos(0.35f * float(x + 2 * y));
}

// Interior walls and water cells on the border: kinds are set only by the
// allocation, but the stages must not depend on it.
void MakeWalls(CWaterBody& b)
{
    auto at = [&](uint32_t x, uint32_t y) -> uint8_t& { return b.waterMask[x + y * b.iSimulationWidth]; };
    for (uint32_t x = 58; x < 61; ++x)  // across the edge of the first ball's disc
        at(x, 42) = at(x, 43) = 0;
    at(5, 5) = at(1, 50) = 0;
    at(0, 10) = at(20, 0) = at(100, 98) = 1;
}

// An island with a wall the drops fly into, and a strip of the border
// left white (it stays walls).
std::string IslandMap(uint32_t w, uint32_t h)
{
    return WallMapBytes(w, h, [](uint32_t x, uint32_t y) {
        const int dx = int(x) - 64, dy = int(y) - 64;
        const bool wall = dx * dx + dy * dy < 400 || (x >= 50 && x <= 52 && y >= 80 && y <= 110) ||
                          (y < 3 && x > 20);
        return wall ? WALL_BLACK : WATER_WHITE;
    });
}

struct Row
{
    const char* name;
    uint32_t width, height;
    int threads, steps;
    const char* options;  // before kCommon
    bool events, walls;
    size_t throwing;  // some step has at least this many corners throwing
    uint64_t pinned;  // StateHashOf after the last step; 0: not pinned
    bool wallMap = false;
};

const Row kRows[] = {
    {"odd, one thread", 37, 53, 1, 300, "", true, false, 5, 0},
    {"even, three threads asked, one used", 64, 64, 3, 300, "", true, false, 5, 0},
    {"odd, two threads", 97, 103, 2, 200, "", true, false, 5, 0},
    {"even, three threads", 128, 128, 3, 200, "", true, false, 5, 0},
    {"two rows on three threads", 5003, 3, 3, 20, "", true, false, 0, 0},
    {"three rows on three threads", 5003, 5, 3, 20, "", true, false, 0, 0},
    {"hand-made walls", 101, 99, 2, 100, "", true, true, 5, 0xd358696ba5bb6722ull},
    {"wall map, three threads", 128, 128, 3, 150, "strWallMapFileName = \"walls.tga\";", true, false,
     5, 0, true},
    {"rho, g, divisors and sizes away from 1", 97, 89, 2, 150,
     "dFluidDensity = 1.7; dGravity = 9.81; iCrossSectionDivisor = 3; iPipeDivisor = 2;"
     "dSimulationSizeX = 1.3; dSimulationSizeY = 0.7; dDefaultHeight = 0.6;",
     true, false, 5, 0},
    {"heavy spray", 101, 97, 2, 40, "dFriction = 0.05; dParticleThresHold = 0.02;", false, false, 200,
     0xa325f8b32a985fe2ull},
    {"heavier spray", 150, 99, 3, 30, "dFriction = 0.05; dParticleThresHold = 0.005;", false, false, 200, 0},
    // Every corner throws: the cap on particles stops throwing part of the
    // way through the list.
    {"spray to the cap", 521, 487, 2, 3, "dFriction = 0.05; dParticleThresHold = 0.0;", false, false,
     100001, 0},
};

// The stages as the tests and tools call them, one by one.
void StagesOneByOne(CWaterBody& b, double dt)
{
    b.dElapsedTime += dt;
    b.FireEvents();
    b.UpdatePipes(dt);
    b.UpdateCornerHeights();
    b.ThrowParticles(dt);
    b.UpdateCornerNormals();
    b.MoveObjects(dt);
}

// The state hashes after each step, which cover every array of the state
// (StateHashOf), and the previous corner heights, which they leave out.
void ExpectSameState(const CWaterBody& a, const CWaterBody& b, const std::vector<uint64_t>& hashesA,
                     const std::vector<uint64_t>& hashesB, const char* what)
{
    SCOPED_TRACE(what);
    const auto differ = std::mismatch(hashesA.begin(), hashesA.end(), hashesB.begin());
    EXPECT_EQ(differ.first, hashesA.end()) << "first differs after step " << differ.first - hashesA.begin();
    const size_t corners = size_t(a.iSimulationWidth - 1) * (a.iSimulationHeight - 1);
    EXPECT_EQ(std::memcmp(a.previousCornerHeights, b.previousCornerHeights, corners * 4), 0);
}

// A pinned hash changes only when the results do. When a change to the
// results is meant (a new rule, a mended fault), run this test, check that
// the change is the one intended, and copy the printed values in.
void ExpectPinned(const CWaterBody& body, uint64_t pinned)
{
    const uint64_t actual = StateHashOf(body);
    EXPECT_EQ(actual, pinned) << "state hash now 0x" << std::hex << actual;
}

TEST(Identity, FastStepEqualsThePlainLoopsToTheBit)
{
    for (const Row& row : kRows)
    {
        SCOPED_TRACE(row.name);
        const std::string options = std::string(row.options) + kCommon + "iSimulationWidth = " +
                                    std::to_string(row.width) + "; iSimulationHeight = " +
                                    std::to_string(row.height) + "; iThreads = " +
                                    std::to_string(row.threads) + ";";
        SimFixtureFiles files;
        files.simulationOpt = options;
        files.eventsOpt = row.events ? kEvents : "";
        files.init = false;
        CSimFixture f(files);
        if (row.wallMap)
            f.WriteFile("walls.tga", IslandMap(row.width, row.height));
        ASSERT_TRUE(f.body.Init()) << f.LogText();
        // Same directory and options: the plain loops, and the stages one by one.
        auto reference = std::make_unique<CWaterBody>();
        ASSERT_TRUE(reference->Init());
        auto staged = std::make_unique<CWaterBody>();
        ASSERT_TRUE(staged->Init());
        CWaterBody* const bodies[3] = {&f.body, reference.get(), staged.get()};
        std::vector<uint64_t> hashes[3];
        size_t throwing = 0;
        for (int run = 0; run < 3; ++run)
        {
            CWaterBody& b = *bodies[run];
            MakeWaves(b);
            if (row.walls)
                MakeWalls(b);
            ResetRandom();
            for (int step = 0; step < row.steps; ++step)
            {
                if (run == 0)
                    b.Step(0.01);
                else
                    (run == 1 ? ReferenceStep : StagesOneByOne)(b, 0.01);
                throwing = std::max(throwing, b.throwingCorners.size());
                hashes[run].push_back(StateHashOf(b));  // a one-step difference can round away later
            }
        }
        EXPECT_GE(throwing, row.throwing);
        ExpectSameState(f.body, *reference, hashes[0], hashes[1], "step");
        ExpectSameState(*staged, *reference, hashes[2], hashes[1], "stages one by one");
        if (row.pinned != 0)
            ExpectPinned(*reference, row.pinned);
    }
}

// The shipped scenes as ripplex-sim runs them, frames of 0.03 s with their
// sub-steps, pinned with the rows above: a change that alters the fast
// step and the plain loops alike still shows here.
TEST(Identity, ShippedScenesKeepTheirPinnedStateHash)
{
    const struct { const char* directory; int frames; uint64_t pinned; } scenes[] = {
        {"default", 100, 0x3b8a073e23ee65cfull},
        {"fine", 100, 0xb1f3c86d0a0efcf8ull},
        {"large", 25, 0x0c5abd8d2d54048aull},
        {"island", 100, 0xa29c1e34624b60feull},
    };
    for (const auto& scene : scenes)
    {
        SCOPED_TRACE(scene.directory);
        ResetRandom();
        const std::string directory = std::string(RIPPLEX_SOURCE_DIR "/") + scene.directory;
        std::unique_ptr<CWaterBody> body = CWaterBodyLoader::Load(directory.c_str());
        ASSERT_NE(body, nullptr);
        for (int frame = 0; frame < scene.frames; ++frame)
            ASSERT_TRUE(body->Advance(0.03)) << "diverged at frame " << frame;
        ExpectPinned(*body, scene.pinned);
        body->Release();
    }
}
}  // namespace
