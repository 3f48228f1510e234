// The shaded look's geometry that needs no window: where the surface
// stands, how finely the screen asks for it to be cut, and the boxes of
// the pool's edge, the walls of a wall map. Expected values are worked out
// by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scene/PoolEdge.h"
#include "scene/ScreenMesh.h"
#include "scene/SurfaceGeometry.h"
#include "sim/WaterBody.h"

namespace
{

void SetBasin(CWaterBody& body, uint32_t w, uint32_t h, float sx, float sy, float rest)
{
    body.iSimulationWidth = w;
    body.iSimulationHeight = h;
    body.dSimulationSizeX = sx;
    body.dSimulationSizeY = sy;
    body.dDefaultHeight = rest;
}

TEST(ShadedGeometry, SurfaceRectRunsFromTheFirstCornerToTheLastOnOddGrids)
{
    CWaterBody body;
    SetBasin(body, 51, 4, 1.0f, 2.0f, 0.15f);
    const Camera::WaterRect r = ScreenMesh::SurfaceRect(body);
    // Corner i at (i + 1)·dx − SX/2: 51 cells of 1/51, 4 of 1/2.
    EXPECT_FLOAT_EQ(r.minX, 1.0f / 51.0f - 0.5f);
    EXPECT_FLOAT_EQ(r.maxX, 50.0f / 51.0f - 0.5f);
    EXPECT_FLOAT_EQ(r.minY, 0.5f - 1.0f);
    EXPECT_FLOAT_EQ(r.maxY, 1.5f - 1.0f);
    EXPECT_FLOAT_EQ(r.z, 0.15f);
}

TEST(ShadedGeometry, MeshFollowsTheBasinOnScreenNotTheGrid)
{
    // x and y scaled by 2 into clip space, w = 1: a 1 × 1 basin fills the
    // viewport exactly, 800 × 600 pixels; one entry, w = −1, puts it behind the eye.
    const float fills[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float behind[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1};
    float broken[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    broken[0] = std::numeric_limits<float>::quiet_NaN();
    const Camera::WaterRect basin{0.1f, -0.5f, 0.5f, -0.5f, 0.5f};
    struct Case
    {
        const char* name;
        const float* viewProjection;
        int width, height;
        uint32_t corners;
        uint32_t x, y;
    } cases[] = {
        // 800 px / 12 = 67 vertices, rounded to 81 but held to the window's
        // 68; 600 / 12 = 50, rounded to 65.
        {"512² in 800 × 600", fills, 800, 600, 511, 68, 65},
        {"never more than the corners", fills, 800, 600, 49, 49, 49},
        {"a window twice as large", fills, 1600, 1200, 2047, 135, 113},
        {"a 1 × 1 window", fills, 1, 1, 511, 2, 2},
        {"no picture of the edges", behind, 800, 600, 511, 68, 68},
        {"not a number", broken, 800, 600, 511, 68, 68},
        {"one corner a side", fills, 800, 600, 1, 1, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const ScreenMesh::Size size = ScreenMesh::Choose(c.viewProjection, c.width, c.height, basin, c.corners, c.corners);
        EXPECT_EQ(size.x, c.x);
        EXPECT_EQ(size.y, c.y);
    }
}

TEST(ShadedGeometry, WallsStandOnTheWaterEdgesAndFaceOutward)
{
    CWaterBody body;
    SetBasin(body, 50, 50, 1.0f, 1.0f, 0.15f);
    const std::vector<EdgeBox> boxes = PoolEdgeBoxes(body, 0.02f);
    ASSERT_EQ(boxes.size(), 8u);  // four walls, then four slabs of deck
    const Camera::WaterRect water = ScreenMesh::SurfaceRect(body);
    EXPECT_FLOAT_EQ(boxes[0].max.x, water.minX);  // left wall, inner face
    EXPECT_FLOAT_EQ(boxes[1].min.x, water.maxX);  // right
    EXPECT_FLOAT_EQ(boxes[2].max.y, water.minY);  // near
    EXPECT_FLOAT_EQ(boxes[3].min.y, water.maxY);  // far
    for (const EdgeBox& box : boxes)
    {
        EXPECT_FLOAT_EQ(box.max.z, PoolEdgeRim(body));
        EXPECT_GT(box.max.z, 0.15f);  // above the water at rest
    }
    EXPECT_LT(boxes[0].min.z, 0.02f);  // down past the bottom

    // Each triangle turns counter-clockwise around its outward normal.
    std::vector<float> faces;
    AppendBoxFaces(boxes[0], faces);
    ASSERT_EQ(faces.size(), size_t(36 * EDGE_VERTEX_FLOATS));
    const Vec3 centre{(boxes[0].min.x + boxes[0].max.x) / 2, (boxes[0].min.y + boxes[0].max.y) / 2,
                      (boxes[0].min.z + boxes[0].max.z) / 2};
    for (size_t t = 0; t < 12; ++t)
    {
        const float* a = &faces[(3 * t) * EDGE_VERTEX_FLOATS];
        const float* b = a + EDGE_VERTEX_FLOATS;
        const float* c = b + EDGE_VERTEX_FLOATS;
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const float turn[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        SCOPED_TRACE(t);
        EXPECT_GT(turn[0] * a[3] + turn[1] * a[4] + turn[2] * a[5], 0.0f);
        EXPECT_GT((a[0] - centre.x) * a[3] + (a[1] - centre.y) * a[4] + (a[2] - centre.z) * a[5], 0.0f);
    }
}


// A box per run of interior wall cells along a row, each cell where the
// cell grid draws it, up to the wall top; none without a map.
TEST(ShadedGeometry, WallRunsBecomeBoxesOnlyWithAMap)
{
    CWaterBody body;
    SetBasin(body, 7, 4, 1.4f, 0.8f, 0.15f);
    ASSERT_TRUE(body.AllocateGrid());
    EXPECT_TRUE(WallRunBoxes(body, 0.0f).empty());
    body.wallMap.assign(7 * 4, 0);
    for (uint32_t i : {1u + 7u, 2u + 7u, 4u + 7u, 5u + 14u})
        body.wallMap[i] = 1;
    ASSERT_TRUE(body.AllocateGrid());
    const std::vector<EdgeBox> boxes = WallRunBoxes(body, -0.1f);
    const struct { int first, end, row; } runs[] = {{1, 3, 1}, {4, 5, 1}, {5, 6, 2}};
    ASSERT_EQ(boxes.size(), 3u);
    for (size_t k = 0; k < 3; ++k)
    {
        EXPECT_FLOAT_EQ(boxes[k].min.x, runs[k].first * 0.2f - 0.7f) << k;
        EXPECT_FLOAT_EQ(boxes[k].max.x, runs[k].end * 0.2f - 0.7f) << k;
        EXPECT_FLOAT_EQ(boxes[k].min.y, runs[k].row * 0.2f - 0.4f) << k;
        EXPECT_FLOAT_EQ(boxes[k].max.y, (runs[k].row + 1) * 0.2f - 0.4f) << k;
        EXPECT_EQ(boxes[k].min.z, -0.1f);
        EXPECT_FLOAT_EQ(boxes[k].max.z, 0.15f + 0.03f * 1.4f);
    }
    EXPECT_EQ(PoolEdgeBoxes(body, 0.0f).size(), 8u + 3u);

    // Of the 6 x 3 corners, three have only walls around them: beside the
    // run at (1..2, 1) and the bottom border, and beside (5, 2) and the top
    // right. Drawn, they stand at the rest height; the others as computed.
    const std::vector<uint32_t> dry = SurfaceGeometry::DryCorners(body);
    EXPECT_EQ(dry, (std::vector<uint32_t>{0, 1, 17}));
    std::vector<float> corners(18), drawn;
    for (size_t i = 0; i < corners.size(); ++i)
        corners[i] = 0.01f * float(i);
    SurfaceGeometry::FillDryCorners(body, dry, corners.data(), drawn);
    for (size_t i = 0; i < corners.size(); ++i)
        EXPECT_EQ(drawn[i], i == 0 || i == 1 || i == 17 ? 0.15f : corners[i]) << i;
    body.wallMap.clear();
    ASSERT_TRUE(body.AllocateGrid());
    EXPECT_TRUE(SurfaceGeometry::DryCorners(body).empty());
}
}  // namespace
