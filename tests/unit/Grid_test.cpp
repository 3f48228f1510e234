// The grid as stories: a basin made from option text, stepped, read back.
// Expected values come from the formulas written out here, in the same
// 32/64-bit types as the model, so most checks are exact: the raised
// cell's drop (with every parameter away from 1 in a row), friction that
// stops the pipes, corner averages and normals, and the refusals. The fast
// stages against the plain loops are Identity_test's.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "SimFixture.h"

namespace
{
constexpr double DT = 0.03;

std::string Number(double v)
{
    return std::to_string(v);  // always with a decimal point
}
}  // namespace

// One step of a basin at rest with one cell raised by 0.1: each of its pipes
// toward a water neighbour carries, from rest,
//   flow = dt·S·(ρg·Δh)/(ρL)·(1 − f·dt)   with A = (SX/W)·(SY/H),
//   S = A/iCrossSectionDivisor, L = √A/iPipeDivisor,
// the drive a float, the increment a double, the flow a float; the cell
// loses flow·dt per pipe and each neighbour gains it, divided by A.
TEST(Pipes, RaisedCellDropsByTheWrittenOutPipeFlow)
{
    const struct
    {
        uint32_t W, H;
        float SX, SY, rho, g, friction, level;
        int cs, pd;
        uint32_t x, y;
        int neighbours;  // water cells around (x, y)
        // The drop in closed form, n·dt²·g·Δh·pd·(1 − f·dt)/(cs·√A), worked
        // out by hand: ρ cancels, so it checks the float steps above it.
        double drop;
    } rows[] = {
        {50, 50, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1, 1, 25, 25, 8, 0.036},
        {37, 23, 1.3f, 1.1f, 2.5f, 9.81f, 2.0f, 0.4f, 3, 2, 18, 11, 8, 0.1079778957},
        {37, 23, 1.3f, 1.1f, 2.5f, 9.81f, 2.0f, 0.4f, 3, 2, 18, 1, 5, 0.0674861848},  // beside a wall
    };
    for (const auto& r : rows)
    {
        SCOPED_TRACE("cell " + std::to_string(r.x) + "," + std::to_string(r.y) + " of " +
                     std::to_string(r.W) + "x" + std::to_string(r.H));
        CSimFixture f("iSimulationWidth = " + std::to_string(r.W) + "; iSimulationHeight = " +
                      std::to_string(r.H) + "; dSimulationSizeX = " + Number(r.SX) +
                      "; dSimulationSizeY = " + Number(r.SY) + "; dFluidDensity = " + Number(r.rho) +
                      "; dGravity = " + Number(r.g) + "; dFriction = " + Number(r.friction) +
                      "; dDefaultHeight = " + Number(r.level) + "; iCrossSectionDivisor = " +
                      std::to_string(r.cs) + "; iPipeDivisor = " + std::to_string(r.pd) + ";");
        ASSERT_TRUE(f.initialised) << f.LogText();
        const float raised = r.level + 0.1f;
        f.HeightAt(r.x, r.y) = raised;
        f.Run(1, DT);

        const float A = (r.SX / r.W) * (r.SY / r.H);
        const float S = A / r.cs, L = std::sqrt(A) / r.pd;
        const float drive = r.g * r.rho * (raised - r.level);
        const float flow = static_cast<float>(
            static_cast<float>(DT * S * drive / (L * r.rho)) * (1.0 - r.friction * DT));
        float lost = 0.0f;
        for (int k = 0; k < r.neighbours; ++k)
            lost = static_cast<float>(lost - flow * DT);
        const float gained = static_cast<float>(0.0f - (-flow) * DT);
        EXPECT_EQ(f.HeightAt(r.x, r.y), raised + (1.0f / A) * lost);
        EXPECT_NEAR(f.HeightAt(r.x, r.y), r.level + 0.1 - r.drop, 1e-5 * r.drop);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if ((dx || dy) && f.WaterAt(r.x + dx, r.y + dy))
                {
                    EXPECT_EQ(f.HeightAt(r.x + dx, r.y + dy), r.level + (1.0f / A) * gained)
                        << dx << "," << dy;
                }
        EXPECT_EQ(f.HeightAt(r.x + 2, r.y), r.level);
        EXPECT_TRUE(f.body.objects.empty());  // slower than dParticleThresHold: no spray
    }
}

TEST(Pipes, FrictionOfOneStepOrMoreStopsEveryPipe)
{
    for (const char* friction : {"dFriction = 40.0;", "dFriction = 100.0;"})
    {
        CSimFixture f(friction);  // 40 · 0.025 = 1 exactly: d = 0
        ASSERT_TRUE(f.initialised);
        for (uint32_t i = 0; i < 2500; ++i)
            f.body.cellHeights[i] += 0.05f * std::sin(0.7f * float(i));
        f.PressureAt(20, 20) = 0.5f;
        f.body.UpdatePipes(0.025);
        for (const float* flows : f.body.pipeFlows)
            for (uint32_t i = 0; i < 2500; ++i)
                ASSERT_EQ(std::fabs(flows[i]), 0.0f) << friction << " cell " << i;
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
        EXPECT_FALSE(f.body.HasCells());
        EXPECT_EQ(f.body.cornerHeights, nullptr);
        EXPECT_EQ(f.body.cornerNormals, nullptr);
        f.body.Step(DT);  // every stage copes with the missing grid
    }
    EXPECT_NE(f.LogText().find(" - CWaterBody::AllocateGrid -- Grille de 65536x65536 cellules "
                               "impossible \xE0 allouer\n"),
              std::string::npos) << f.LogText();
    f.body.Release();
    f.body.Release();  // twice is harmless
}

TEST(CornerHeights, WaterCellsAveragedWallsLeftOutNothingPositiveGivesZero)
{
    CSimFixture f("iSimulationWidth = 9; iSimulationHeight = 9;");
    ASSERT_TRUE(f.initialised);
    for (uint32_t x = 0; x < 9; ++x)
        f.HeightAt(x, 0) = 100.0f;  // walls: never count
    f.HeightAt(1, 1) = 1.75f;
    f.HeightAt(2, 1) = 1.25f;
    f.HeightAt(1, 2) = 0.5f;
    f.HeightAt(2, 2) = 2.5f;
    for (uint32_t x : {4u, 5u})  // four interior walls made by hand
        for (uint32_t y : {4u, 5u})
            f.WaterAt(x, y) = 0;
    f.HeightAt(7, 6) = -3.5f;
    f.HeightAt(1, 7) = std::numeric_limits<float>::quiet_NaN();
    const float before = f.CornerHeightAt(1, 1);
    f.body.UpdateCornerHeights();
    const struct { uint32_t x, y; float height; } corners[] = {
        {0, 0, 1.75f},                                // one water cell
        {1, 0, (1.75f + 1.25f) / 2},                  // two
        {0, 1, (1.75f + 0.5f) / 2},                   // two
        {1, 1, (1.75f + 0.5f + 1.25f + 2.5f) / 4},    // four
        {4, 4, 0.0f},                                 // only walls
        {3, 3, 1.0f},                                 // three water cells and a wall
        {6, 6, 0.0f},                                 // (1 + 1 − 3.5 + 1) / 4 < 0
        {0, 6, 0.0f},                                 // NaN average
        {7, 7, 1.0f},                                 // far corner, one water cell
    };
    for (const auto& c : corners)
        EXPECT_EQ(f.CornerHeightAt(c.x, c.y), c.height) << c.x << "," << c.y;
    EXPECT_EQ(f.body.previousCornerHeights[1 + 1 * 8], before);
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
    const double nx = -a / (2.2 / 11), ny = -b / (0.9 / 9), length = std::sqrt(nx * nx + ny * ny + 1.0);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 10; ++x)
        {
            const Vec3& n = f.CornerNormalAt(x, y);
            EXPECT_NEAR(n.x, nx / length, 1e-5) << x << "," << y;
            EXPECT_NEAR(n.y, ny / length, 1e-5) << x << "," << y;
            EXPECT_NEAR(n.z, 1.0 / length, 1e-5) << x << "," << y;
        }
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
        f.body.UpdatePipes(DT);
        f.body.UpdateCornerHeights();
        f.body.UpdateCornerNormals();
        for (uint32_t i = 0; i < (size[0] - 1) * (size[1] - 1); ++i)
        {
            EXPECT_EQ(f.body.cornerHeights[i], 0.0f);  // every cell is a wall
            const Vec3& n = f.body.cornerNormals[i];
            EXPECT_TRUE(n.x == 0.0f && n.y == 0.0f && n.z == 1.0f) << size[0] << "x" << size[1];
        }
    }
}

// Parameters that cannot make a grid are refused before any asset is read:
// the mesh file is absent, yet only the parameter line is logged.
TEST(SimState, ParametersThatCannotMakeAGridAreRefusedWithTheirKey)
{
    const struct { const char* options; const char* line; } cases[] = {
        {"iSimulationWidth = 2;", "Param\xE8tre iSimulationWidth invalide : 2\n"},
        {"iSimulationHeight = -5;", "Param\xE8tre iSimulationHeight invalide : -5\n"},
        {"iSimulationWidth = 5000; iSimulationHeight = 4000;",
         "Param\xE8tres iSimulationWidth et iSimulationHeight invalides : 5000 x 4000\n"},
        {"dSimulationSizeX = 0.0;", "Param\xE8tre dSimulationSizeX invalide : 0\n"},
        {"dDefaultHeight = 1.0e39;", "Param\xE8tre dDefaultHeight invalide : inf\n"},
        {"dFluidDensity = -2.0;", "Param\xE8tre dFluidDensity invalide : -2\n"},
        {"dGravity = -1.0e40;", "Param\xE8tre dGravity invalide : -inf\n"},
        {"dFriction = 1.0e39;", "Param\xE8tre dFriction invalide : inf\n"},
        {"dWaterFriction = -1.0e39;", "Param\xE8tre dWaterFriction invalide : -inf\n"},
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
        EXPECT_FALSE(f.body.HasCells());
    }
}
