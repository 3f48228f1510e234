// Basins shaped by a wall map: how the picture becomes walls (orientation,
// luma, border), each refusal with its line, and a story with a wall across
// the basin: the far side stays still to the bit, walls keep their heights,
// spheres rest on walls or bounce off them, a drop on a wall keeps its water.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "SimFixture.h"
#include "WallMapBytes.h"
#include "sim/WaterSummary.h"

namespace
{
struct MappedFixture
{
    std::unique_ptr<CSimFixture> f;
    explicit MappedFixture(const std::string& options, const std::string* map,
                           const std::string& events = "")
    {
        SimFixtureFiles files;
        files.simulationOpt = "strWallMapFileName = \"walls.tga\";" + options;
        files.eventsOpt = events;
        files.init = false;
        f = std::make_unique<CSimFixture>(files);
        if (map)
            f->WriteFile("walls.tga", *map);
        f->initialised = f->body.Init();
    }
};

// Water in the cells plus spray in flight, as the runner sums them.
double WaterAndSpray(const CWaterBody& b)
{
    const WaterSummary s = SummariseWater(b);
    return s.water + s.spray;
}

TEST(WallMap, DarkPixelsByLumaBecomeWallsBottomRowFirstBorderAlwaysWalls)
{
    // Red-orange is water and its channel swap a wall; grey splits at 127.5.
    auto colour = [](uint32_t x, uint32_t y) -> uint32_t {
        const uint32_t row1[] = {WATER_WHITE, 0xFF6400, 0x0064FF, 0x7F7F7F, 0x808080, WATER_WHITE};
        return y == 1 ? row1[x] : (y == 2 && x == 1 ? WALL_BLACK : WATER_WHITE);
    };
    const char* const expected[] = {"000000", "010010", "001110", "011110", "000000"};  // y = 0 up
    for (bool topLeft : {false, true})
    {
        SCOPED_TRACE(topLeft ? "top-left origin" : "bottom-left origin");
        const std::string map = WallMapBytes(6, 5, colour, topLeft);
        MappedFixture m("iSimulationWidth = 6; iSimulationHeight = 5; dDefaultHeight = 0.7;", &map);
        ASSERT_TRUE(m.f->initialised) << m.f->LogText();
        for (uint32_t y = 0; y < 5; ++y)
            for (uint32_t x = 0; x < 6; ++x)
            {
                EXPECT_EQ(m.f->WaterAt(x, y), expected[y][x] - '0') << x << ", " << y;
                EXPECT_EQ(m.f->HeightAt(x, y), 0.7f);
            }
    }
}

TEST(WallMap, RefusedMapsStopTheStartAndTheReloadWithOneLine)
{
    const auto white = [](uint32_t, uint32_t) { return WATER_WHITE; };
    const std::string good = WallMapBytes(8, 6, white);
    std::string grey = good;
    grey[2] = 3;
    const std::string allDark = WallMapBytes(8, 6, [](uint32_t x, uint32_t y) {
        return x == 0 || y == 0 || x == 7 || y == 5 ? WATER_WHITE : WALL_BLACK;
    });
    const struct { const char* name; std::string map; bool written; const char* reason; } rows[] = {
        {"missing", "", false, "fichier introuvable"},
        {"wrong size", WallMapBytes(8, 4, white), true, "8 x 4 pixels pour une grille de 8 x 6 cellules"},
        {"grey kind", grey, true, "image illisible"},
        {"short header", "TGA", true, "image illisible"},
        {"truncated", good.substr(0, good.size() - 1), true, "fichier tronqu\xE9"},
        {"no water cell", allDark, true, "aucune cellule d'eau"},
    };
    const std::string options = "iSimulationWidth = 8; iSimulationHeight = 6;";
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        MappedFixture m(options, row.written ? &row.map : nullptr);
        EXPECT_FALSE(m.f->initialised);
        const std::string line = std::string(" - CWaterBody::LoadWallMap -- Carte des murs walls.tga "
                                             "refus\xE9" "e : ") + row.reason + "\n";
        const std::string log = m.f->LogText();
        EXPECT_NE(log.find(line), std::string::npos) << log;
        EXPECT_EQ(log.find("TgaImageLoad"), std::string::npos) << log;
        // The same file at a reload, after a start with a good map.
        m.f->WriteFile("walls.tga", good);
        ASSERT_TRUE(m.f->body.Init());
        if (row.written)
            m.f->WriteFile("walls.tga", row.map);
        else
            std::remove((m.f->Directory() + "/walls.tga").c_str());
        EXPECT_EQ(CWaterBody::LoadAfresh(), nullptr);
        EXPECT_NE(m.f->LogText().find(line, log.size()), std::string::npos);
    }
}

// A wall down column 12 of 24 and a short one in the stirred half, whose
// later side moves. A ball bobs next to the long wall, one slides into it,
// one lands on it, and a drop falls on it.
TEST(WallMap, WallAcrossKeepsTheFarSideStillAndEveryDropOfWater)
{
    const std::string map = WallMapBytes(24, 12, [](uint32_t x, uint32_t y) {
        return x == 12 || (x == 8 && y >= 3 && y <= 6) ? WALL_BLACK : WATER_WHITE;
    });
    const char* const events =
        "iEventNumber = 3;"
        "iEvent1Type = 1; dEvent1Time = 0.0; dEvent1ObjectMass = 0.004; dEvent1ObjectSize = 0.15;"
        "dEvent1ObjectPosX = -0.1; dEvent1ObjectPosZ = 1.4; dEvent1ObjectSpeedZ = -2.0;"
        "iEvent2Type = 1; dEvent2Time = 0.0; dEvent2ObjectMass = 0.0002; dEvent2ObjectSize = 0.05;"
        "dEvent2ObjectPosX = -0.4; dEvent2ObjectPosY = 0.2; dEvent2ObjectPosZ = 0.98;"
        "dEvent2ObjectSpeedX = 1.0;"
        "iEvent3Type = 1; dEvent3Time = 0.0; dEvent3ObjectMass = 0.001; dEvent3ObjectSize = 0.04;"
        "dEvent3ObjectPosX = 0.04; dEvent3ObjectPosY = -0.3; dEvent3ObjectPosZ = 1.5;";
    MappedFixture m("iSimulationWidth = 24; iSimulationHeight = 12; dSimulationSizeX = 2.0;"
                    "dFluidDensity = 1.5; dGravity = 9.81; dForceFactor = 2.0; dFriction = 0.1;"
                    "dParticleThresHold = 100.0;",
                    &map, events);
    CSimFixture& f = *m.f;
    ASSERT_TRUE(f.initialised) << f.LogText();
    f.Run(1, 0.01);
    SimObject drop = f.body.objects[0];
    drop.kind = OBJECT_PARTICLE, drop.name = nullptr, drop.radius = 0.05f;
    drop.position = {0.04f, 0.25f, 1.2f}, drop.speed = {}, drop.mass = 0.0f;
    f.body.objects.push_back(drop);
    const double start = WaterAndSpray(f.body);
    const float top = f.body.WallTop();
    EXPECT_EQ(top, 1.0f + 0.03f * 2.0f);
    bool bounced = false;
    for (int step = 0; step < 150; ++step)
    {
        f.Run(1, 0.01);
        const SimObject& sliding = f.body.objects[1];
        bounced = bounced || sliding.speed.x < 0.0f;
        ASSERT_LT(sliding.position.x, 0.0f) << "entered the wall at step " << step;
    }
    EXPECT_TRUE(bounced);
    ASSERT_EQ(f.body.objects.size(), 3u) << "the drop is gone";
    const SimObject& landed = f.body.objects[2];
    EXPECT_EQ(landed.position.z, top + landed.radius);
    EXPECT_EQ(landed.speed.z, 0.0f);
    // A corner between two water cells and two wall cells rising fast
    // throws its spray from the water cells alone.
    const size_t corner = 11 + 5 * 23;
    f.body.previousCornerHeights[corner] = f.body.cornerHeights[corner] - 2.0f;
    f.body.ThrowParticles(0.01);
    ASSERT_EQ(f.body.objects.size(), 4u);

    float stirred = 0.0f;
    for (uint32_t y = 0; y < 12; ++y)
        for (uint32_t x = 0; x < 24; ++x)
        {
            if (x == 12 || !f.WaterAt(x, y))
                EXPECT_EQ(f.HeightAt(x, y), 1.0f) << "wall " << x << ", " << y;
            else if (x > 12)
                EXPECT_EQ(f.HeightAt(x, y), 1.0f) << "far side " << x << ", " << y;
            else
                stirred = std::max(stirred, std::fabs(f.HeightAt(x, y) - 1.0f));
        }
    EXPECT_GT(stirred, 1e-3f);
    EXPECT_NEAR(WaterAndSpray(f.body) / start, 1.0, 1e-6);
}
}  // namespace
