// CWaterBody state and step, as stories: a basin made from option text,
// stepped, read back. Expected values come from the formulas written out
// here with the same 32/64-bit types, so most checks are exact.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "SimFixture.h"
#include "common/GraphicsHooks.h"

namespace
{
constexpr double DT = 0.03;

double WaterVolume(const CWaterBody& b)
{
    double v = 0.0;
    for (size_t i = 0; i < size_t(b.iSimulationWidth) * b.iSimulationHeight; ++i)
        if (b.cells[i].kind == CELL_WATER)
            v += double(b.cells[i].height) * b.fCellArea;
    return v;
}

double SprayVolume(const CWaterBody& b)
{
    double v = 0.0;
    for (const SimObject& o : b.objects)
        if (o.kind == OBJECT_PARTICLE)
            v += 4.188790204786391 * double(o.radius) * o.radius * o.radius;
    return v;
}
}  // namespace

TEST(SimState, OptionsShapeTheGridAndPipesWithDefaultsForMissingKeys)
{
    CSimFixture plain("");
    ASSERT_TRUE(plain.initialised) << plain.LogText();
    EXPECT_EQ(plain.body.iSimulationWidth, 50u);
    EXPECT_EQ(plain.body.iSimulationHeight, 50u);
    EXPECT_NEAR(plain.body.fCellArea, 0.0004, 1e-10);
    EXPECT_NEAR(plain.body.fPipeLength, 0.02, 1e-9);
    EXPECT_EQ(plain.body.fDensityGravity, 1.0f);
    // Without the graphics side the textures are only checked.
    EXPECT_EQ(plain.body.waterTexture, 0xFFFFFFFFu);

    CSimFixture f("iCrossSectionDivisor = 4; iPipeDivisor = 2; dFluidDensity = 2.0;"
                  "dGravity = 9.81; iSimulationWidth = 40; dSimulationSizeX = 2.0;");
    ASSERT_TRUE(f.initialised) << f.LogText();
    const float area = (2.0f / 40u) * (1.0f / 50u);  // sizes over unsigned counts, in float
    EXPECT_EQ(f.body.fCellArea, area);
    EXPECT_EQ(f.body.fPipeCrossSection, area / 4);
    EXPECT_EQ(f.body.fPipeLength, std::sqrt(area) / 2);
    EXPECT_EQ(f.body.fDensityGravity, 9.81f * 2.0f);
    EXPECT_EQ(f.body.fDensityPipeLength, std::sqrt(area) / 2 * 2.0f);
}

TEST(SimState, BasinAtRestStaysExactlyAtRest)
{
    CSimFixture f("iSimulationWidth = 17; iSimulationHeight = 12; dDefaultHeight = 0.75;"
                  "dGravity = 9.81; dParticleThresHold = 0.0;");
    ASSERT_TRUE(f.initialised) << f.LogText();
    f.Run(300, DT);
    const CWaterBody& b = f.body;
    EXPECT_NEAR(b.dElapsedTime, 300 * DT, 1e-9);
    for (uint32_t x = 0; x < 17; ++x)
        for (uint32_t y = 0; y < 12; ++y)
        {
            const Cell& c = f.CellAt(x, y);
            ASSERT_EQ(c.height, 0.75f) << x << "," << y;
            for (float flow : c.flow)
                ASSERT_EQ(flow, 0.0f);
            ASSERT_EQ(c.pressure, 0.0f);
        }
    for (uint32_t x = 0; x < 16; ++x)
        for (uint32_t y = 0; y < 11; ++y)
        {
            ASSERT_EQ(f.CornerHeightAt(x, y), 0.75f);
            const Vec3& n = f.CornerNormalAt(x, y);
            ASSERT_EQ(n.x, 0.0f);
            ASSERT_EQ(n.y, 0.0f);
            ASSERT_EQ(n.z, 1.0f);
        }
    // A threshold of 0 throws zero-sized drops from a flat surface; they
    // fall back in the same pass and leave nothing behind.
    EXPECT_TRUE(b.objects.empty());
}

TEST(SimState, RaisedCellDropsByTheWrittenOutPipeFlow)
{
    CSimFixture f("");
    ASSERT_TRUE(f.initialised) << f.LogText();
    CWaterBody& b = f.body;
    f.CellAt(25, 25).height += 0.1f;
    const float raised = f.CellAt(25, 25).height;
    b.Step(DT);

    // One pipe of the raised cell toward a level neighbour, from rest:
    // flow = dt·S·(ρg·Δh + 0 − 0)/(ρL), in double, stored as a float.
    const float drop = raised - 1.0f;
    const float flow = static_cast<float>(DT * b.fPipeCrossSection *
                                          (b.fDensityGravity * drop + 0.0f - 0.0f) / b.fDensityPipeLength);
    float lost = 0.0f;
    for (int k = 0; k < 8; ++k)
        lost = static_cast<float>(lost - flow * DT);
    const float inverseArea = 1 / b.fCellArea;
    const float gained = static_cast<float>(0.0f - (-flow) * DT);
    EXPECT_EQ(f.CellAt(25, 25).height, raised + inverseArea * lost);
    EXPECT_NEAR(f.CellAt(25, 25).height, 1.1 - 0.036, 1e-6);
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (dx || dy)
            {
                EXPECT_EQ(f.CellAt(25 + dx, 25 + dy).height, 1.0f + inverseArea * gained) << dx << "," << dy;
                EXPECT_NEAR(f.CellAt(25 + dx, 25 + dy).height, 1.0045, 1e-6);
            }
    EXPECT_EQ(f.CellAt(23, 25).height, 1.0f);
    // Slower than dParticleThresHold: no spray.
    EXPECT_TRUE(b.objects.empty());
}

// Water plus spray in flight is conserved while nothing reaches the border.
// Bound: each height update rounds by at most half an ulp of ~1.2 (7e-8),
// i.e. 7e-8·A = 7e-14 of volume with A = 1e-4; the disturbance reaches at
// most one cell further per step, so 25 steps touch < 25·(2·30)² updates:
// < 7e-9. Drops add the cube-root round trip, relative 1e-7 of their
// ~1e-6 volumes. 1e-7 of the 1.0 total is a safe, still sharp bound (an
// unreturned drop is ~1e-6).
TEST(SimState, WaterPlusSprayIsConservedAwayFromTheBorder)
{
    CSimFixture f("iSimulationWidth = 100; iSimulationHeight = 100; dParticleThresHold = 0.05;");
    ASSERT_TRUE(f.initialised) << f.LogText();
    CWaterBody& b = f.body;
    for (uint32_t x = 48; x <= 52; ++x)
        for (uint32_t y = 49; y <= 51; ++y)
            f.CellAt(x, y).height = 1.3f;
    const double start = WaterVolume(b);
    size_t mostDrops = 0;
    for (int step = 0; step < 25; ++step)
    {
        b.Step(DT);
        mostDrops = std::max(mostDrops, b.objects.size());
        ASSERT_NEAR(WaterVolume(b) + SprayVolume(b), start, 1e-7) << "step " << step;
    }
    EXPECT_GT(mostDrops, 10u);  // the story did throw spray
    for (uint32_t i = 0; i < 100; ++i)
        ASSERT_EQ(f.CellAt(1, i).height, 1.0f);  // the wave never reached the border
}

// Parameters that cannot make a working grid are refused before any asset is
// read: the mesh file is absent, yet only the parameter line is logged.
TEST(SimState, ParametersThatCannotMakeAGridAreRefusedWithTheirKey)
{
    const struct { const char* options; const char* line; } cases[] = {
        {"iSimulationWidth = 2;", "Param\xE8tre iSimulationWidth invalide : 2\n"},
        {"iSimulationWidth = -5;", "Param\xE8tre iSimulationWidth invalide : -5\n"},
        {"iSimulationHeight = 0;", "Param\xE8tre iSimulationHeight invalide : 0\n"},
        {"iSimulationWidth = 100000; iSimulationHeight = 100000;",
         "Param\xE8tres iSimulationWidth et iSimulationHeight invalides : 100000 x 100000\n"},
        {"iSimulationWidth = 5000; iSimulationHeight = 4000;",
         "Param\xE8tres iSimulationWidth et iSimulationHeight invalides : 5000 x 4000\n"},
        {"dSimulationSizeX = 0.0;", "Param\xE8tre dSimulationSizeX invalide : 0\n"},
        {"dSimulationSizeY = -1.5;", "Param\xE8tre dSimulationSizeY invalide : -1.5\n"},
        {"dDefaultHeight = 1.0e39;", "Param\xE8tre dDefaultHeight invalide : inf\n"},
        {"dFluidDensity = 0.0;", "Param\xE8tre dFluidDensity invalide : 0\n"},
        {"dFluidDensity = -2.0;", "Param\xE8tre dFluidDensity invalide : -2\n"},
        {"dGravity = -1.0e40;", "Param\xE8tre dGravity invalide : -inf\n"},
        {"dFriction = 1.0e39;", "Param\xE8tre dFriction invalide : inf\n"},
        {"dWaterFriction = 1.0e39;", "Param\xE8tre dWaterFriction invalide : inf\n"},
        {"dSpeedThresHold = 1.0e39;", "Param\xE8tre dSpeedThresHold invalide : inf\n"},
        {"dForceFactor = 1.0e39;", "Param\xE8tre dForceFactor invalide : inf\n"},
        {"dParticleThresHold = -1.0e39;", "Param\xE8tre dParticleThresHold invalide : -inf\n"},
        {"iCrossSectionDivisor = 0;", "Param\xE8tre iCrossSectionDivisor invalide : 0\n"},
        {"iPipeDivisor = -3;", "Param\xE8tre iPipeDivisor invalide : -3\n"},
        {"dSimulationSizeX = 1.0e-30; dSimulationSizeY = 1.0e-30;",
         "Param\xE8tres dSimulationSizeX et dSimulationSizeY invalides : aire de cellule 0\n"},
        {"dGravity = 1.0e30; dFluidDensity = 1.0e30;", "Param\xE8tre dGravity invalide : 1e+30\n"},
    };
    for (const auto& c : cases)
    {
        SimFixtureFiles files;
        files.simulationOpt = c.options;
        files.writeMesh = false;
        CSimFixture f(files);
        EXPECT_FALSE(f.initialised) << c.options;
        const std::string log = f.LogText();
        EXPECT_NE(log.find(std::string(" - CWaterBody::Init -- ") + c.line), std::string::npos)
            << c.options << "\nlog: " << log;
        EXPECT_EQ(log.find("LoadOBJ"), std::string::npos) << c.options;
        EXPECT_EQ(f.body.cells, nullptr);
    }
}

TEST(SimState, SmallestGridsStillWork)
{
    CSimFixture f("iSimulationWidth = 3; iSimulationHeight = 3; dParticleThresHold = 1000.0;");
    ASSERT_TRUE(f.initialised) << f.LogText();
    f.CellAt(1, 1).height = 2.0f;
    f.Run(20, DT);
    EXPECT_EQ(f.CellAt(1, 1).height, 2.0f);  // the one water cell has only walls around
    EXPECT_TRUE(std::isfinite(f.CornerNormalAt(0, 0).z));
}

TEST(SimState, MissingFilesOrAssetsFailInit)
{
    SimFixtureFiles noSimulation;
    noSimulation.writeSimulationOpt = false;
    SimFixtureFiles noEvents;
    noEvents.writeEventsOpt = false;
    SimFixtureFiles noTexture;
    noTexture.writeTexture = false;
    SimFixtureFiles badEvents;
    badEvents.eventsOpt = "iEventNumber = 1";  // no ';': invalid file
    for (const SimFixtureFiles* files : {&noSimulation, &noEvents, &noTexture, &badEvents})
    {
        CSimFixture f(*files);
        EXPECT_FALSE(f.initialised);
    }
    CSimFixture noTextureAgain(noTexture);
    EXPECT_EQ(noTextureAgain.body.bottomMesh.triangleCount, 1);  // the mesh had loaded
    EXPECT_EQ(noTextureAgain.body.waterTexture, 0xFFFFFFFFu);
}

namespace
{
std::string g_textureNames;
bool FakeLoadTexture(uint32_t* texture, const char* fileName)
{
    g_textureNames += std::string(fileName) + ";";
    *texture = uint32_t(g_textureNames.size());
    return std::string(fileName) != "refused.tga";
}
}  // namespace

TEST(SimState, TexturesGoThroughTheGraphicsHookAndItsRefusalFailsInit)
{
    const CGraphicsHooks saved = g_graphicsHooks;
    g_graphicsHooks.loadTexture = FakeLoadTexture;
    g_textureNames.clear();
    {
        SimFixtureFiles files;
        files.simulationOpt = "strWaterTextureFileName = \"w.tga\"; strBottomTextureFileName = \"b.tga\";";
        files.writeTexture = false;  // the hook reads nothing
        CSimFixture f(files);
        EXPECT_TRUE(f.initialised);
        EXPECT_EQ(g_textureNames, "w.tga;b.tga;");
        EXPECT_EQ(f.body.waterTexture, 6u);
        EXPECT_EQ(f.body.bottomTexture, 12u);
    }
    {
        CSimFixture f("strBottomTextureFileName = \"refused.tga\";");
        EXPECT_FALSE(f.initialised);
    }
    g_graphicsHooks = saved;
}
