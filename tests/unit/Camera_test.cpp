// Camera moves of the water scene. The expected values are worked out by
// hand from the geometry (a right-hand side vector, a turn about z), not by
// calling the code twice.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "scene/Camera.h"

namespace
{
void ExpectVec(const Vec3& v, float x, float y, float z, float tolerance = 1e-6f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

TEST(Camera, KeyMovesFromHandWorkedPositions)
{
    using Camera::MoveBackward, Camera::MoveDown, Camera::MoveForward, Camera::MoveLeft,
        Camera::MoveRight, Camera::MoveUp;
    const Vec3 alongY{0, 1, 0}, upZ{0, 0, 1};
    struct Case
    {
        const char* name;
        Vec3 eye;
        std::function<bool(Vec3&)> move;
        Vec3 expected;
    } cases[] = {
        {"page up", {0, 0, 1}, [](Vec3& e) { return MoveUp(e, 0.3f); }, {0, 0, 1.3f}},
        {"page down", {0, 0, 1}, [](Vec3& e) { return MoveDown(e, 0.3f); }, {0, 0, 0.7f}},
        // Standing along +y with +z up, left is +x.
        {"left", {}, [&](Vec3& e) { return MoveLeft(e, alongY, upZ, 0.3f); }, {0.3f, 0, 0}},
        {"right", {}, [&](Vec3& e) { return MoveRight(e, alongY, upZ, 0.3f); }, {-0.3f, 0, 0}},
        // The side vector is not normalised: a direction of length 2 moves twice as far.
        {"left, long dir", {}, [&](Vec3& e) { return MoveLeft(e, Vec3{0, 2, 0}, upZ, 0.3f); },
         {0.6f, 0, 0}},
        // Looking down at 45° towards +x: forward is +x by exactly one step.
        {"forward pitched", {1, 1, 2}, [](Vec3& e) { return MoveForward(e, Vec3{3, 0, -3}, 0.5f); },
         {1.5f, 1, 2}},
        // Diagonal (3, 4): the move is (0.6, 0.8) times the step.
        {"backward diagonal", {}, [](Vec3& e) { return MoveBackward(e, Vec3{3, 4, 1}, 1.0f); },
         {-0.6f, -0.8f, 0}},
    };
    for (Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.move(c.eye));
        ExpectVec(c.eye, c.expected.x, c.expected.y, c.expected.z);
    }
}

TEST(Camera, RefusedMovesLeaveTheCameraUnchanged)
{
    // Forward and back need a horizontal direction.
    for (Vec3 dir : {Vec3{0, 0, -1}, Vec3{0, 0, 5}, Vec3{0, 0, 0}})
    {
        Vec3 eye{0.25f, 0.5f, 1.0f};
        EXPECT_FALSE(Camera::MoveForward(eye, dir, 0.3f));
        EXPECT_FALSE(Camera::MoveBackward(eye, dir, 0.3f));
        ExpectVec(eye, 0.25f, 0.5f, 1.0f, 0.0f);
    }
    // No move leaves a non-finite coordinate.
    const float huge = 3e38f;
    Vec3 eye{huge, 0.0f, 0.0f};
    EXPECT_FALSE(Camera::MoveLeft(eye, Vec3{0, 1, 0}, Vec3{0, 0, 1}, huge));
    EXPECT_EQ(eye.x, huge);
    Vec3 infiniteDir{INFINITY, 0.0f, 0.0f}, origin{}, up{0, 0, 1};
    EXPECT_FALSE(Camera::MoveForward(origin, infiniteDir, 1.0f));
    ExpectVec(origin, 0, 0, 0, 0.0f);
    EXPECT_FALSE(Camera::Drag(infiniteDir, up, 0, 0, 10, 10, 0.003f));
    EXPECT_TRUE(std::isinf(infiniteDir.x));
}

TEST(Camera, DragsTurnAboutZAndTilt)
{
    // 100 pixels right at 0.003 rad per pixel: a turn of −0.3 rad about z
    // (clockwise seen from above).
    Vec3 dir{0, 1, 0}, up{0, 0, 1};
    ASSERT_TRUE(Camera::Drag(dir, up, 200, 150, 300, 150, 0.003f));
    ExpectVec(dir, std::sin(0.3f), std::cos(0.3f), 0.0f);
    ExpectVec(up, 0.0f, 0.0f, 1.0f);
    // And back again restores the view.
    ASSERT_TRUE(Camera::Drag(dir, up, 300, 150, 200, 150, 0.003f));
    ExpectVec(dir, 0.0f, 1.0f, 0.0f);

    // 100 pixels up (y decreasing): pitch +0.3 rad, the view dips below the horizon.
    ASSERT_TRUE(Camera::Drag(dir, up, 50, 200, 50, 100, 0.003f));
    ExpectVec(dir, 0.0f, std::cos(0.3f), -std::sin(0.3f));
    ExpectVec(up, 0.0f, std::sin(0.3f), std::cos(0.3f));
}
}  // namespace
