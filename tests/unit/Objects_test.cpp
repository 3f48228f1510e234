// Spheres and spray: the pressing disc against the whole-grid scan, the
// particle a fast-rising corner throws, buoyancy, water friction, removal during the pass, massless
// spheres and positions off the grid. Expected values
// are written out with the float/double types the model defines them with,
// with density, gravity and sizes away from 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "SimFixture.h"

namespace
{
// 4π/3 as the model writes it; the buoyancy test holds it to 4π/3.
constexpr double kSphereFactor = SPHERE_VOLUME_FACTOR;

SimObject Solid(float mass, float radius, Vec3 position, Vec3 speed = {}, Vec3 acceleration = {})
{
    SimObject o;
    o.mass = mass, o.radius = radius, o.position = position, o.speed = speed, o.acceleration = acceleration;
    o.name = "ball";
    o.kind = OBJECT_SOLID;
    return o;
}

SimObject Particle(float radius, Vec3 position, Vec3 speed = {}, Vec3 acceleration = {})
{
    SimObject o = Solid(0.001f, radius, position, speed, acceleration);
    o.name = nullptr, o.kind = OBJECT_PARTICLE;
    return o;
}

// Whole-grid disc scan, the defining form: every grid position (a, b) in
// float, counted then assigned.
std::vector<float> WholeGridPressures(const CWaterBody& b, const SimObject& o)
{
    const uint32_t W = b.iSimulationWidth, H = b.iSimulationHeight;
    const float dx = b.dSimulationSizeX / W, dy = b.dSimulationSizeY / H;
    std::vector<float> p(size_t(W) * H, 0.0f);
    const float force = b.dForceFactor * o.speed.z * o.mass / b.fCellArea;
    auto inside = [&](int a, int c) {
        const float ex = a * dx - o.position.x, ey = c * dy - o.position.y;
        return ex * ex + ey * ey <= o.radius * o.radius;
    };
    int n = 0;
    for (int a = -int(W / 2); a <= int(W / 2) - 1; ++a)
        for (int c = -int(H / 2); c <= int(H / 2) - 1; ++c)
            n += inside(a, c);
    for (int a = -int(W / 2); n > 0 && a <= int(W / 2) - 1; ++a)
        for (int c = -int(H / 2); c <= int(H / 2) - 1; ++c)
            if (inside(a, c))
                p[(W / 2 + a) + (H / 2 + c) * W] = -(force / (2 * n));
    return p;
}

void MakePreviousCornersCurrent(CWaterBody& b)
{
    const size_t n = size_t(b.iSimulationWidth - 1) * (b.iSimulationHeight - 1);
    std::memcpy(b.previousCornerHeights, b.cornerHeights, n * sizeof(float));
}
}  // namespace

TEST(Objects, DiscScanFindsExactlyTheCellsOfTheWholeGridScan)
{
    CSimFixture f("iSimulationWidth = 37; iSimulationHeight = 23; dSimulationSizeX = 1.3;"
                  "dSimulationSizeY = 0.7;");
    ASSERT_TRUE(f.initialised) << f.LogText();
    CWaterBody& b = f.body;
    const float dx = 1.3f / 37u, dy = 0.7f / 23u;
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> across(-0.6f, 0.6f);
    // Centres stay over the corner grid (off it nothing presses):
    // ceil(x/dx) in [-17, 18], ceil(y/dy) in [-10, 11].
    std::uniform_int_distribution<int> gridA(-17, 17), gridB(-10, 10);
    int pressed = 0;
    for (int trial = 0; trial < 400; ++trial)
    {
        float px = across(random), py = across(random) * 0.55f;
        float r;
        switch (trial % 5)
        {
        case 0: r = 0.001f; break;                 // between grid positions
        case 1: r = across(random) + 0.6f; break;  // anything up to the basin
        case 2: r = 50.0f; break;                  // covers everything
        case 3:                                    // exactly through a grid position
        {
            const float ex = gridA(random) * dx - px, ey = gridB(random) * dy - py;
            r = std::sqrt(ex * ex + ey * ey);
            break;
        }
        default:  // centred on a grid position
            px = gridA(random) * dx;
            py = gridB(random) * dy;
            r = dx * (trial % 7);
        }
        b.objects.assign(1, Solid(1.0f, r, {px, py, 1.0f + 0.02f}, {0.0f, 0.0f, -2.0f}));
        b.MoveObjects(0.01);
        ASSERT_EQ(b.objects.size(), 1u);
        const SimObject& moved = b.objects[0];
        if (moved.position.z + moved.radius < 1.0f || moved.position.z - moved.radius > 1.0f)
            continue;  // not pressing in this pass
        ++pressed;
        const std::vector<float> expected = WholeGridPressures(b, moved);
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(b.cellPressures[i], expected[i]) << "trial " << trial << " cell " << i
                << " centre " << moved.position.x << "," << moved.position.y << " r " << moved.radius;
    }
    EXPECT_GT(pressed, 350);
}

// A corner rising faster than dParticleThresHold throws one particle with
// the excess water e, taken a quarter from each cell around it; a slower
// one, or a step of no length, throws nothing.
TEST(Objects, CornerRisingFastThrowsOneParticleWithTheExcessWater)
{
    const struct
    {
        const char* options;
        uint32_t W, H;
        float SX, SY, rho, g, threshold, level, top, slowTop;
    } rows[] = {
        {"", 50, 50, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.05f, 1.02f},
        {"iSimulationWidth = 40; iSimulationHeight = 30; dSimulationSizeX = 1.3;"
         "dSimulationSizeY = 0.9; dFluidDensity = 1.7; dGravity = 9.81; dParticleThresHold = 0.45;"
         "dDefaultHeight = 0.4;",
         40, 30, 1.3f, 0.9f, 1.7f, 9.81f, 0.45f, 0.4f, 0.46f, 0.41f},
    };
    const double dt = 0.03;
    for (const auto& r : rows)
    {
        SCOPED_TRACE(r.options);
        CSimFixture f(r.options);
        ASSERT_TRUE(f.initialised);
        CWaterBody& b = f.body;
        MakePreviousCornersCurrent(b);
        const uint32_t x = 10, y = 12;
        b.cornerHeights[x + y * (r.W - 1)] = r.top;
        b.cornerHeights[30 + 7 * (r.W - 1)] = r.slowTop;
        b.ThrowParticles(0.0);  // a rise over no time has no speed to give
        b.ThrowParticles(-dt);
        ASSERT_TRUE(b.objects.empty());
        b.ThrowParticles(dt);
        ASSERT_EQ(b.objects.size(), 1u);
        const SimObject& o = b.objects[0];

        // The drop is the water its four cells gave up equally, the rise over
        // what the threshold allows in dt; it leaves the risen surface at the
        // speed that lifts that excess over two steps, somewhere over its
        // cells, drifting sideways by at most 5 % of the basin a second.
        const double A = double(r.SX / r.W) * double(r.SY / r.H);
        const float dx = r.SX / r.W, dy = r.SY / r.H;
        const float lowered = f.HeightAt(x, y);
        double removed = 0.0;
        for (uint32_t cx = 0; cx < r.W; ++cx)
            for (uint32_t cy = 0; cy < r.H; ++cy)
            {
                const bool around = (cx == x || cx == x + 1) && (cy == y || cy == y + 1);
                ASSERT_EQ(f.HeightAt(cx, cy), around ? lowered : r.level) << cx << "," << cy;
                removed += (double(r.level) - f.HeightAt(cx, cy)) * A;
            }
        const double excess = (double(r.top) - r.level) - r.threshold * dt;
        const double relative = 1e-5;
        EXPECT_NEAR(removed / A, excess, excess * relative);
        EXPECT_NEAR(o.mass, r.rho * removed, r.rho * removed * relative);
        EXPECT_NEAR(4.0 * std::acos(-1.0) / 3.0 * std::pow(o.radius, 3.0), removed, removed * relative);
        EXPECT_NEAR(o.speed.z * 2.0 * dt, excess, excess * relative);
        EXPECT_NEAR(o.position.z - o.radius, r.top, 1e-6);
        EXPECT_EQ(o.acceleration.z, -r.g);
        const float cornerX = dx * (x + 1) - r.SX * 0.5f, cornerY = dy * (y + 1) - r.SY * 0.5f;
        EXPECT_LE(std::fabs(o.position.x - cornerX), dx);
        EXPECT_LE(std::fabs(o.position.y - cornerY), dy);
        EXPECT_LE(std::fabs(o.speed.x), 0.05f * r.SX);
        EXPECT_LE(std::fabs(o.speed.y), 0.05f * r.SY);
        EXPECT_TRUE(o.name == nullptr && o.kind == OBJECT_PARTICLE);
    }
}

// The test is rise / dt >= threshold with the division: here the quotient
// is the threshold itself while rise · (1/dt) falls an ulp below it, so a
// test that multiplied instead would throw nothing.
TEST(Objects, RiseExactlyAtTheThresholdThrowsByTheDivision)
{
    CSimFixture f("");
    ASSERT_TRUE(f.initialised);
    CWaterBody& b = f.body;
    const double dt = 0.008125;
    const float rise = 0x1.f294d8p-6f, threshold = 0x1.df67bcp+1f;
    ASSERT_TRUE(rise / dt >= threshold && rise * (1.0 / dt) < threshold);
    for (uint32_t i = 0; i < 49 * 49; ++i)
        b.cornerHeights[i] = b.previousCornerHeights[i] = 0.0f;
    b.cornerHeights[20 + 30 * 49] = rise;
    b.dParticleThresHold = threshold;
    b.ThrowParticles(dt);
    EXPECT_EQ(b.objects.size(), 1u);
}

// Buoyancy ρ·g·V/m − g, V the submerged volume as a cylinder as wide as the
// sphere, (h − z + r)·r²·π, at most the sphere's 4πr³/3.
TEST(Objects, BuoyancyFollowsTheSubmergedVolumeLimitedToTheSphere)
{
    CSimFixture f("dSpeedThresHold = 1.0; dFluidDensity = 1.7; dGravity = 9.81;");
    ASSERT_TRUE(f.initialised);
    CWaterBody& b = f.body;
    EXPECT_NEAR(kSphereFactor, 4.0 * std::acos(-1.0) / 3.0, 1e-15);
    const float rho = 1.7f, g = 9.81f, r = 0.1f;
    const float sphere = static_cast<float>(r * r * r * kSphereFactor);
    const struct { float mass, z; bool submerged; } cases[] = {
        {rho * sphere, 0.8f, true},  // bottom 0.3 deep: the sphere, and it floats
        {0.0033f, 0.8f, true},
        {0.002f, 1.05f, true},       // bottom 0.05 deep: the cylinder
        {0.0033f, 1.2f, false},      // above the water
    };
    for (const auto& c : cases)
    {
        b.objects.assign(1, Solid(c.mass, r, {0.0f, 0.0f, c.z}));
        b.MoveObjects(0.01);
        ASSERT_EQ(b.objects.size(), 1u);
        EXPECT_EQ(b.objects[0].position.z, c.z);
        const float cylinder = static_cast<float>((1.0f - c.z + r) * (r * r) * 3.141592653);
        const float volume = std::min(cylinder, sphere);
        const float expected = c.submerged ? rho * g * volume / c.mass - g : -g;
        EXPECT_EQ(b.objects[0].acceleration.z, expected) << c.mass << " at " << c.z;
        if (c.mass == rho * sphere)
        {
            EXPECT_NEAR(expected, 0.0f, 1e-5f);
        }
    }
}

// Two particles under water are absorbed, the second after sliding into the
// first one's slot; each record is moved exactly once, and the spray still
// in flight is what the divergence watch sees.
TEST(Objects, RemovalDuringThePassStillMovesTheRecordThatTakesItsPlace)
{
    CSimFixture f("");
    ASSERT_TRUE(f.initialised);
    CWaterBody& b = f.body;
    const Vec3 down = {0.0f, 0.0f, -1.0f};
    b.objects = {
        Particle(0.01f, {0.0f, 0.0f, 0.5f}),
        Particle(0.01f, {0.1f, 0.0f, 0.5f}),
        Solid(1.0f, 0.1f, {0.2f, 0.2f, 3.0f}, {}, down),
        Particle(0.02f, {-0.1f, 0.0f, 2.0f}, {}, down),
    };
    b.MoveObjects(0.01);
    ASSERT_EQ(b.objects.size(), 2u);
    const float t = 0.01f;
    const float speed = 0.0f + -1.0f * t;
    for (const SimObject& o : b.objects)
        EXPECT_EQ(o.speed.z, speed);
    EXPECT_EQ(b.objects[0].kind, uint32_t(OBJECT_SOLID));
    EXPECT_EQ(b.objects[0].position.z, 3.0f + speed * t);
    EXPECT_EQ(b.objects[1].position.z, 2.0f + speed * t);
    const float gain = static_cast<float>(0.01f * 0.01f * 0.01f * kSphereFactor / b.fCellArea);
    EXPECT_EQ(f.HeightAt(25, 25), 1.0f + gain);  // ceil(0/dx) + 25
    EXPECT_EQ(f.HeightAt(30, 25), 1.0f + gain);  // ceil(0.1/0.02) + 25
    const double r = 0.02f;
    EXPECT_EQ(b.dWatchedSpray, kSphereFactor * r * r * r);
}

// f = 1 − dWaterFriction·dt scales the speed, unlimited (300/s reverses
// it), and the position ends as if the step had been taken at the new
// speed. A sphere without mass (the event script's default) only rides the
// surface: no buoyancy, no pressing, slowed all the same.
TEST(Objects, WaterFrictionScalesTheSpeedAndMasslessSpheresRideTheSurface)
{
    CSimFixture f("dSpeedThresHold = 0.05;");
    ASSERT_TRUE(f.initialised);
    CWaterBody& b = f.body;
    const Vec3 speed = {0.3f, -0.2f, 0.1f}, start = {0.1f, 0.05f, 0.98f};
    const float t = 0.01f;
    for (float friction : {0.0f, 10.0f, 300.0f})
        for (float mass : {1.0f, 0.0f})
        {
            b.dWaterFriction = friction;
            b.objects.assign(1, Solid(mass, 0.05f, start, speed));
            b.MoveObjects(0.01);
            const SimObject& o = b.objects[0];
            const double factor = 1.0 - friction * 0.01;
            EXPECT_EQ(o.speed.x, static_cast<float>(speed.x * factor)) << friction;
            EXPECT_EQ(o.speed.y, static_cast<float>(speed.y * factor));
            EXPECT_NEAR(o.position.x, start.x + speed.x * t + (speed.x - o.speed.x) * t, 1e-6);
            EXPECT_EQ(o.speed.z, mass > 0 ? static_cast<float>(speed.z * factor) : 0.0f);
            if (mass == 0)
            {
                EXPECT_EQ(o.position.z, 1.0f + 0.05f);
                EXPECT_EQ(o.acceleration.z, 0.0f);
                for (uint32_t i = 0; i < 50 * 50; ++i)
                    ASSERT_EQ(b.cellPressures[i], 0.0f);
            }
        }
}

// Run under the sanitizers: whatever the positions hold, nothing indexes
// outside the grids; solids stay, spray off the basin is gone.
TEST(Objects, PositionsOffTheGridNeverReachTheArrays)
{
    CSimFixture f("dParticleThresHold = 0.5;");
    ASSERT_TRUE(f.initialised);
    CWaterBody& b = f.body;
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float odd[] = {nan, inf, -inf, 1e30f, -1e30f, 0.5f, -0.5f, 0.49f, -0.52f, 0.0f};
    for (float x : odd)
        for (float y : odd)
            for (float z : {nan, inf, -inf, 0.9f, 2.0f})
                b.objects.insert(b.objects.end(), {Particle(0.01f, {x, y, z}, {x, y, z}), Solid(2.0f, 0.05f, {x, y, z})});
    f.Run(60, 0.03);
    size_t solids = 0;
    for (const SimObject& o : b.objects)
    {
        solids += o.kind == OBJECT_SOLID;
        ASSERT_TRUE(o.kind == OBJECT_SOLID || (std::fabs(o.position.x) <= 0.5f && std::fabs(o.position.y) <= 0.5f));
    }
    EXPECT_EQ(solids, 10u * 10 * 5);
    for (uint32_t i = 0; i < 50 * 50; ++i)
        ASSERT_TRUE(std::isfinite(b.cellHeights[i])) << i;
}
