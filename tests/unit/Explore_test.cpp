// Exploring the water: the pick ray from a window pixel to the water,
// the finger's disc of pressure, and the reload of the simulation's files
// in place. Pick points are worked out by hand from the camera's frame.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "TestFiles.h"
#include "config/OptionsParser.h"
#include "scene/Camera.h"
#include "sim/WaterBody.h"

namespace
{
TEST(Explore, PickRayMeetsTheWaterUnderThePixel)
{
    const Vec3 down{0, 0, -1}, north{0, 1, 0}, oblique{0, 1, -1}, obliqueUp{0, 1, 1};
    const Camera::WaterRect wide{0.0f, -5, 5, -5, 5}, basin{0.0f, -0.7f, 0.7f, -0.7f, 0.7f};
    const float r2 = std::sqrt(2.0f);
    struct Case
    {
        const char* name;
        Camera::View view;
        int px, py;
        Camera::WaterRect water;
        bool hit;
        float x, y;
    } cases[] = {
        // 1 unit above the plane, 90°: pixel centres of a 3 x 3 window are
        // at ±2/3 of the half-width; +y is up on the screen.
        {"centre", {{0, 0, 1}, down, north, 90, 3, 3}, 1, 1, wide, true, 0, 0},
        {"top-left corner", {{0, 0, 1}, down, north, 90, 3, 3}, 0, 0, basin, true, -2 / 3.f, 2 / 3.f},
        {"beyond the basin in x", {{0, 0, 1}, down, north, 90, 3, 3}, 0, 0, {0, -.6f, .6f, -.7f, .7f}, false, 0, 0},
        {"beyond the basin in y", {{0, 0, 1}, down, north, 90, 3, 3}, 0, 0, {0, -.7f, .7f, -.6f, .6f}, false, 0, 0},
        {"negative angle turns the picture", {{0, 0, 1}, down, north, -90, 3, 3}, 0, 0, wide, true, 2 / 3.f, -2 / 3.f},
        // 4 x 2: pixel 0's centre at −3/4 of the half-width, times the aspect 2.
        {"wide window", {{0, 0, 1}, down, north, 90, 4, 2}, 0, 0, wide, true, -1.5f, 0.5f},
        // Eye (0, −1, 1) looking down at 45°: side (1, 0, 0), true up (0, 1, 1)/√2.
        {"oblique top-left", {{0, -1, 1}, oblique, obliqueUp, 90, 3, 3}, 0, 0, wide, true, -2 * r2, 4},
        {"oblique bottom-left", {{0, -1, 1}, oblique, obliqueUp, 90, 3, 3}, 0, 2, wide, true, -2 * r2 / 5, -0.8f},
        // Looking level along +y: the top row rises, the bottom row falls.
        {"above the horizon", {{0, 0, 1}, north, {0, 0, 1}, 90, 3, 3}, 1, 0, wide, false, 0, 0},
        {"below the horizon", {{0, 0, 1}, north, {0, 0, 1}, 90, 3, 3}, 1, 2, wide, true, 0, 1.5f},
        {"camera under the water", {{0, 0, -1}, down, north, 90, 3, 3}, 1, 1, wide, false, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        float x = 99, y = 99;
        ASSERT_EQ(Camera::PickWater(c.view, c.px, c.py, c.water, &x, &y), c.hit);
        if (!c.hit)
            continue;
        EXPECT_NEAR(x, c.x, 1e-5f);
        EXPECT_NEAR(y, c.y, 1e-5f);
    }
}

// A working directory of the simulation's two files, with the shipped
// mesh and textures; the process is in it while the object lives.
class SceneDir : public testfiles::TempDir
{
public:
    SceneDir()
    {
        previous = getcwd(nullptr, 0);
        EXPECT_EQ(chdir(dir.c_str()), 0);
        COptionsParser::ClearCache();
    }
    ~SceneDir()
    {
        COptionsParser::ClearCache();
        EXPECT_EQ(chdir(previous), 0);
        free(previous);
    }
    void Write(const std::string& name, const std::string& text) const
    {
        std::ofstream(Path(name), std::ios::binary) << text;
    }
    bool Logged(const std::string& text) const
    {
        for (const std::string& message : Messages())
            if (message.find(text) != std::string::npos)
                return true;
        return false;
    }
    void WriteSimulation(const std::string& keys) const
    {
        const std::string assets = RIPPLEX_SOURCE_DIR "/default/";
        Write("simulation.opt", keys + "strBottomObjFileName = \"" + assets + "bottom.obj\";\n" +
                                    "strWaterTextureFileName = \"" + assets + "water.tga\";\n" +
                                    "strBottomTextureFileName = \"" + assets + "bottom.tga\";\n");
    }
    char* previous = nullptr;
};

const char* const ONE_BALL = "iEventNumber = 1; strEvent1ObjectName = \"ball\";\n"
                             "dEvent1ObjectMass = 0.01; dEvent1ObjectSize = 0.05;\n";

TEST(Explore, FingerPressesItsDisc)
{
    SceneDir scene;
    scene.WriteSimulation("");
    scene.Write("events.opt", "iEventNumber = 0;");
    std::unique_ptr<CWaterBody> body = CWaterBody::LoadAfresh();
    ASSERT_TRUE(body);
    // 2.5 cells of 0.02 around (5, −2) cells off the centre of the 50 x 50 grid.
    body->finger = {true, 0.1f, -0.04f, 0.05f, 0.3f};
    ASSERT_TRUE(body->Advance(0.01));
    for (int x = 0; x < 50; ++x)
        for (int y = 0; y < 50; ++y)
        {
            const int a = x - 25 - 5, b = y - 25 + 2;
            SCOPED_TRACE(testing::Message() << "cell " << x << ", " << y);
            EXPECT_EQ(body->cellPressures[x + 50 * y], a * a + b * b <= 6 ? 0.3f : 0.0f);
        }
}

TEST(Explore, ReloadRebuildsFromTheFilesOrKeepsTheOldWater)
{
    SceneDir scene;
    scene.WriteSimulation("iSimulationWidth = 20; iSimulationHeight = 16;\n");
    scene.Write("events.opt", ONE_BALL);
    std::unique_ptr<CWaterBody> old = CWaterBody::LoadAfresh();
    ASSERT_TRUE(old);
    ASSERT_TRUE(old->Advance(0.01));
    ASSERT_EQ(old->objects.size(), 1u);

    // Edited files are read again: a new grid, the script from time 0,
    // and the new file's unread key reported.
    scene.WriteSimulation("iSimulationWidth = 24; iSimulationHeight = 16; iTypo = 1;\n");
    std::unique_ptr<CWaterBody> fresh = CWaterBody::LoadAfresh();
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->iSimulationWidth, 24u);
    EXPECT_EQ(fresh->dElapsedTime, 0.0);
    EXPECT_EQ(fresh->events.size(), 1u);
    EXPECT_TRUE(fresh->objects.empty());
    EXPECT_TRUE(scene.Logged("cl\xE9 iTypo du fichier simulation.opt jamais lue"));

    // A refused file gives no body; the old one goes on, its ball's name
    // still held by the list the first reload replaced.
    scene.Write("events.opt", "iEventNumber 1;");
    EXPECT_FALSE(CWaterBody::LoadAfresh());
    EXPECT_TRUE(scene.Logged("Fichier events.opt mal form\xE9"));
    EXPECT_TRUE(old->Advance(0.01));
    EXPECT_STREQ(old->objects.at(0).name, "ball");
}
}  // namespace
