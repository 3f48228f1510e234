// Camera moves of the water scene and the names of recorded frames. The
// expected values are worked out by hand from the geometry (a right-hand
// side vector, a turn about z), not by calling the code twice.

#include <gtest/gtest.h>

#include <cmath>

#include "scene/Camera.h"
#include "scene/FrameName.h"

namespace
{

struct Pose
{
    Vec3 eye{0.0f, 0.0f, 1.0f};
    Vec3 dir{0.0f, 0.0f, -1.0f};
    Vec3 up{0.0f, 1.0f, 0.0f};
};

// The camera looking along +y with +z up, the way a person stands.
Pose Standing()
{
    return Pose{Vec3{0.0f, 0.0f, 0.0f}, Vec3{0.0f, 1.0f, 0.0f}, Vec3{0.0f, 0.0f, 1.0f}};
}

void ExpectVec(const Vec3& v, float x, float y, float z, float tolerance = 1e-6f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

TEST(Camera, CrossIsTheRightHandSideOfTheView)
{
    // Looking along +y with +z up, the right-hand side is +x.
    ExpectVec(Camera::Cross(Vec3{0, 1, 0}, Vec3{0, 0, 1}), 1, 0, 0);
    ExpectVec(Camera::Cross(Vec3{1, 2, 3}, Vec3{4, 5, 6}), -3, 6, -3);
}

TEST(Camera, PageUpAndDownFromTheDefaultCamera)
{
    Pose pose;
    ASSERT_TRUE(Camera::MoveUp(pose.eye, 0.3f));
    ExpectVec(pose.eye, 0.0f, 0.0f, 1.3f);
    ASSERT_TRUE(Camera::MoveDown(pose.eye, 0.3f));
    ASSERT_TRUE(Camera::MoveDown(pose.eye, 0.3f));
    ExpectVec(pose.eye, 0.0f, 0.0f, 0.7f);
}

TEST(Camera, LeftAndRightSlideAlongTheSideVector)
{
    Pose pose = Standing();
    ASSERT_TRUE(Camera::MoveLeft(pose.eye, pose.dir, pose.up, 0.3f));
    ExpectVec(pose.eye, 0.3f, 0.0f, 0.0f);
    ASSERT_TRUE(Camera::MoveRight(pose.eye, pose.dir, pose.up, 0.3f));
    ASSERT_TRUE(Camera::MoveRight(pose.eye, pose.dir, pose.up, 0.3f));
    ExpectVec(pose.eye, -0.3f, 0.0f, 0.0f);
    // The side vector is not normalised: a direction of length 2 moves twice as far.
    Vec3 eye{};
    ASSERT_TRUE(Camera::MoveLeft(eye, Vec3{0, 2, 0}, Vec3{0, 0, 1}, 0.3f));
    ExpectVec(eye, 0.6f, 0.0f, 0.0f);
}

TEST(Camera, UpAndDownMoveHorizontallyWhateverThePitch)
{
    // Looking down at 45° towards +x: forward is +x by exactly one step.
    Vec3 eye{1.0f, 1.0f, 2.0f};
    Vec3 dir{3.0f, 0.0f, -3.0f};
    ASSERT_TRUE(Camera::MoveForward(eye, dir, 0.5f));
    ExpectVec(eye, 1.5f, 1.0f, 2.0f);
    // Diagonal (3, 4): the move is (0.6, 0.8) times the step.
    eye = Vec3{};
    ASSERT_TRUE(Camera::MoveBackward(eye, Vec3{3.0f, 4.0f, 1.0f}, 1.0f));
    ExpectVec(eye, -0.6f, -0.8f, 0.0f);
}

TEST(Camera, UpAndDownRefuseAVerticalView)
{
    for (Vec3 dir : {Vec3{0, 0, -1}, Vec3{0, 0, 5}, Vec3{0, 0, 0}})
    {
        Vec3 eye{0.25f, 0.5f, 1.0f};
        EXPECT_FALSE(Camera::MoveForward(eye, dir, 0.3f));
        EXPECT_FALSE(Camera::MoveBackward(eye, dir, 0.3f));
        ExpectVec(eye, 0.25f, 0.5f, 1.0f, 0.0f);
    }
}

TEST(Camera, NoMoveLeavesANonFiniteCoordinate)
{
    const float huge = 3e38f;
    Vec3 eye{huge, 0.0f, 0.0f};
    EXPECT_FALSE(Camera::MoveLeft(eye, Vec3{0, 1, 0}, Vec3{0, 0, 1}, huge));
    EXPECT_EQ(eye.x, huge);
    Vec3 infiniteDir{INFINITY, 0.0f, 0.0f};
    Vec3 origin{};
    EXPECT_FALSE(Camera::MoveForward(origin, infiniteDir, 1.0f));
    ExpectVec(origin, 0, 0, 0, 0.0f);
    Vec3 up{0, 0, 1};
    EXPECT_FALSE(Camera::Drag(infiniteDir, up, 0, 0, 10, 10, 0.003f));
    EXPECT_TRUE(std::isinf(infiniteDir.x));
}

TEST(Camera, DragRightTurnsClockwiseSeenFromAbove)
{
    Pose pose = Standing();
    // 100 pixels to the right at 0.003 rad per pixel: a turn of −0.3 rad about z.
    ASSERT_TRUE(Camera::Drag(pose.dir, pose.up, 200, 150, 300, 150, 0.003f));
    ExpectVec(pose.dir, std::sin(0.3f), std::cos(0.3f), 0.0f);
    ExpectVec(pose.up, 0.0f, 0.0f, 1.0f);
}

TEST(Camera, DragUpwardsTiltsTheViewDown)
{
    Pose pose = Standing();
    // 100 pixels up (y decreasing): pitch +0.3 rad, the view dips below the horizon.
    ASSERT_TRUE(Camera::Drag(pose.dir, pose.up, 50, 200, 50, 100, 0.003f));
    ExpectVec(pose.dir, 0.0f, std::cos(0.3f), -std::sin(0.3f));
    ExpectVec(pose.up, 0.0f, std::sin(0.3f), std::cos(0.3f));
}

TEST(Camera, ADragThereAndBackRestoresTheView)
{
    Pose pose = Standing();
    ASSERT_TRUE(Camera::Drag(pose.dir, pose.up, 0, 0, 37, 0, 0.003f));
    ASSERT_TRUE(Camera::Drag(pose.dir, pose.up, 37, 0, 0, 0, 0.003f));
    ExpectVec(pose.dir, 0.0f, 1.0f, 0.0f);
}

TEST(FrameName, PadsTheNumberToFiveDigits)
{
    struct Case
    {
        int n;
        const char* name;
    } cases[] = {
        {0, "seq00000.tga"},       {7, "seq00007.tga"},          {42, "seq00042.tga"},
        {99999, "seq99999.tga"},   {123456, "seq123456.tga"},    {2147483647, "seq2147483647.tga"},
    };
    for (const Case& c : cases)
    {
        char name[FRAME_NAME_SIZE];
        FormatFrameName(c.n, name);
        EXPECT_STREQ(name, c.name) << c.n;
    }
}

}  // namespace
