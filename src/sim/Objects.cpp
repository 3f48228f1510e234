// The spheres and the spray: ThrowParticles (stage 4 of the step) turns a
// fast rise of the surface into particles that take their water with them;
// MoveObjects (stage 6) moves every sphere, floats and slows the solid ones
// in the water, lets them press on the cells under them, and gives each
// particle's water back where it falls in.
//
// Arithmetic is fixed to the bit: 32-bit floats except where a double dt or
// a double constant enters an expression, which C++ then computes in double
// and rounds once when stored. The constants are kept exactly as tuned.
//
// Deliberately not done: no allocation beyond the list growing, no grid
// access outside the arrays whatever the positions hold (NaN and infinities
// included), no message here: numeric trouble reaches the divergence watch
// through bWatchedObjectsFinite and dWatchedSpray, and Advance reports it.
#include <cmath>
#include <cstddef>

#include "sim/Random.h"
#include "sim/WaterBody.h"

namespace
{
constexpr double CUBE_ROOT_FACTOR = 0.238732414637843;      // 3/(4π)
constexpr double CYLINDER_PI = 3.141592653;                  // kept as tuned, not M_PI
constexpr float SUNK_DEPTH = -5.0f;     // a solid centre this low is put back...
constexpr float RESTART_HEIGHT = 5.0f;  // ...at this height, at rest vertically

// Spray never grows without bound: with a low dParticleThresHold every
// rising corner throws in every step, so throwing stops while this many
// particles fly (and takes no water for the ones it skips).
constexpr size_t MAX_LIVE_PARTICLES = 100000;

// Cell sizes and half counts of the grid, the same for the whole pass.
struct GridFrame
{
    uint32_t width;
    uint32_t height;
    int32_t halfWidth;   // W/2 rounded down
    int32_t halfHeight;
    float dx;            // cell size along x, SX / W as a float
    float dy;
    const uint8_t* water;  // with a wall map the body's water mask, else null
};

GridFrame MakeFrame(const CWaterBody& b)
{
    GridFrame f;
    f.width = b.iSimulationWidth;
    f.height = b.iSimulationHeight;
    f.halfWidth = int32_t(f.width / 2);
    f.halfHeight = int32_t(f.height / 2);
    f.dx = b.CellSizeX();
    f.dy = b.CellSizeY();
    f.water = b.HasWallMap() ? b.waterMask : nullptr;
    return f;
}

// Corner (cx, cy) under a horizontal position: cx = ceil(x/dx) + W/2 - 1.
// False when it falls outside the corner grid; the ceiling is range-checked
// as a float first, so NaN, infinities and far positions are never
// converted to an integer.
bool FindCornerUnder(const GridFrame& f, const Vec3& p, uint32_t* cx, uint32_t* cy)
{
    const float gx = std::ceil(p.x / f.dx);
    const float gy = std::ceil(p.y / f.dy);
    // cx in [0, W-2]  <=>  gx in [1 - W/2, W - 1 - W/2]; exact in float for W <= 2^24.
    const bool insideX = gx >= float(1 - f.halfWidth) && gx <= float(int32_t(f.width) - 1 - f.halfWidth);
    const bool insideY = gy >= float(1 - f.halfHeight) && gy <= float(int32_t(f.height) - 1 - f.halfHeight);
    if (!insideX || !insideY)
        return false;
    *cx = uint32_t(int32_t(gx) + f.halfWidth - 1);
    *cy = uint32_t(int32_t(gy) + f.halfHeight - 1);
    return true;
}

size_t CountParticles(const std::vector<SimObject>& objects)
{
    size_t n = 0;
    for (const SimObject& o : objects)
        n += o.kind == OBJECT_PARTICLE;
    return n;
}

// A random value of the particle sequence scaled to [0, 1], in double.
double NextUnitRandom()
{
    return NextRandom() / 32767.0;
}

// The four cells around corner (x, y), in the fixed order, each give a
// quarter of the particle's volume, walls included. With a wall map only
// the water cells among them give, in equal shares, so walls keep their
// heights and the spray takes no more than it carries; false (nothing
// taken) when none of them is water.
bool TakeWaterAround(CWaterBody& b, const GridFrame& f, uint32_t x, uint32_t y, float e)
{
    const uint32_t w = b.iSimulationWidth;
    const size_t around[4] = {x + y * w, x + (y + 1) * w, (x + 1) + (y + 1) * w, (x + 1) + y * w};
    if (f.water == nullptr)
    {
        for (size_t i : around)
            b.cellHeights[i] = static_cast<float>(b.cellHeights[i] - e * 0.25);
        return true;
    }
    int count = 0;
    for (size_t i : around)
        count += f.water[i] != 0;
    if (count == 0)
        return false;
    const double share = 1.0 / count;
    for (size_t i : around)
        if (f.water[i])
            b.cellHeights[i] = static_cast<float>(b.cellHeights[i] - e * share);
    return true;
}

// e is the excess rise of the corner (height per cell area), base the
// height the corner would have reached at the threshold speed.
SimObject MakeParticle(const CWaterBody& b, const GridFrame& f, uint32_t x, uint32_t y,
                       float e, float base, double dt)
{
    SimObject o;
    o.mass = e * b.dFluidDensity * b.fCellArea;
    // Radius of a sphere of volume e·A; the product e·A is a float, the
    // constant makes the rest (and the cube root) double.
    o.radius = e == 0.0f ? 0.0f : static_cast<float>(std::cbrt(e * b.fCellArea * CUBE_ROOT_FACTOR));
    o.acceleration = {0.0f, 0.0f, -b.dGravity};
    const double r1 = NextUnitRandom();
    const double r2 = NextUnitRandom();
    const double r3 = NextUnitRandom();
    const double r4 = NextUnitRandom();
    o.speed.y = static_cast<float>(0.05 * b.dSimulationSizeY - r1 * b.dSimulationSizeY * 0.1);
    o.speed.x = static_cast<float>(0.05 * b.dSimulationSizeX - r2 * b.dSimulationSizeX * 0.1);
    o.position.y = static_cast<float>(f.dy * r3 + (f.dy * (y + 1) - b.dSimulationSizeY * 0.5));
    o.position.x = static_cast<float>(f.dx * r4 + (f.dx * (x + 1) - b.dSimulationSizeX * 0.5));
    o.speed.z = static_cast<float>(e / (2 * dt));
    o.position.z = o.radius + e + base;  // resting on the risen surface
    o.color = {1.0f, 1.0f, 1.0f};
    o.name = nullptr;
    o.kind = OBJECT_PARTICLE;
    return o;
}

// Grid positions a (or b) whose cells a disc can cover, clipped to
// [-half, half - 1] (for an odd count the last row is never pressed). Widened by one cell plus a relative margin far
// above float rounding, so it holds every position the float test of
// PressDisc accepts: the box scan finds exactly the cells of a whole-grid
// scan. Non-finite inputs give the whole range (the test decides alone).
struct Span
{
    int32_t first;
    int32_t last;  // inclusive; first > last when empty
};

Span DiscSpan(float centre, float radius, float step, float extent, int32_t half)
{
    const int32_t lo = -half;
    const int32_t hi = half - 1;
    if (!std::isfinite(centre) || !std::isfinite(radius))
        return {lo, hi};
    const double c = centre;
    const double reach = std::fabs(double(radius)) + step +
                         1e-5 * (std::fabs(c) + std::fabs(double(radius)) + std::fabs(double(extent)));
    const double first = std::floor((c - reach) / step);
    const double last = std::ceil((c + reach) / step);
    if (first > hi || last < lo)
        return {1, 0};
    return {first < lo ? lo : int32_t(first), last > hi ? hi : int32_t(last)};
}

// The grid positions a disc can cover and the test for each: (a, b) is in
// the disc when (a·dx − x)² + (b·dy − y)² ≤ radius², in floats.
struct Disc
{
    Span a;
    Span b;
    float x;
    float y;
    float radiusSquared;

    bool Covers(int32_t i, int32_t j, const GridFrame& f) const
    {
        const float ex = i * f.dx - x;
        const float ey = j * f.dy - y;
        return ex * ex + ey * ey <= radiusSquared;
    }
    // With a wall map, only water cells are pressed.
    bool Presses(int32_t i, int32_t j, const GridFrame& f) const
    {
        if (!Covers(i, j, f))
            return false;
        return f.water == nullptr ||
               f.water[uint32_t(f.halfWidth + i) + uint32_t(f.halfHeight + j) * f.width] != 0;
    }
};

Disc DiscAround(const CWaterBody& body, const GridFrame& f, float x, float y, float radius)
{
    return {DiscSpan(x, radius, f.dx, body.dSimulationSizeX, f.halfWidth),
            DiscSpan(y, radius, f.dy, body.dSimulationSizeY, f.halfHeight), x, y, radius * radius};
}

int32_t CountCells(const Disc& d, const GridFrame& f)
{
    int32_t n = 0;
    for (int32_t a = d.a.first; a <= d.a.last; ++a)
        for (int32_t b = d.b.first; b <= d.b.last; ++b)
            n += d.Presses(a, b, f);
    return n;
}

// Position (a, b) is the cell (W/2 + a, H/2 + b).
void SetPressure(CWaterBody& body, const Disc& d, const GridFrame& f, float pressure)
{
    for (int32_t a = d.a.first; a <= d.a.last; ++a)
        for (int32_t b = d.b.first; b <= d.b.last; ++b)
            if (d.Presses(a, b, f))
                body.cellPressures[uint32_t(f.halfWidth + a) + uint32_t(f.halfHeight + b) * f.width] = pressure;
}

// A sphere moving through the surface puts -F/(2n) on each of the n cells
// its disc covers. Assigned, not added: where discs overlap, the later
// object in the list wins.
void PressDisc(CWaterBody& body, const GridFrame& f, const SimObject& o)
{
    const float force = body.dForceFactor * o.speed.z * o.mass / body.fCellArea;
    const Disc disc = DiscAround(body, f, o.position.x, o.position.y, o.radius);
    const int32_t n = CountCells(disc, f);
    if (n == 0)
        return;
    const float pressure = force / (2 * n);
    SetPressure(body, disc, f, -pressure);
}

// A particle that touches the water gives its whole volume to the cell
// whose corner it fell on, (cx + 1, cy + 1), which is always in the grid;
// with a wall map, when that cell is a wall, to the water cell nearest it.
void AbsorbParticleAt(CWaterBody& b, size_t cell, const SimObject& o)
{
    if (b.HasWallMap())
        cell = b.nearestWaterCell[cell];
    float& height = b.cellHeights[cell];
    height = static_cast<float>(height + o.radius * o.radius * o.radius * SPHERE_VOLUME_FACTOR / b.fCellArea);
}

void AbsorbParticle(CWaterBody& b, uint32_t cx, uint32_t cy, const SimObject& o)
{
    AbsorbParticleAt(b, (cx + 1) + (cy + 1) * size_t(b.iSimulationWidth), o);
}

void PutBackAbove(SimObject& o)
{
    o.acceleration.z = 0.0f;
    o.speed.z = 0.0f;
    o.position.z = RESTART_HEIGHT;
}

// Speed damped at the rate dWaterFriction, the position corrected as if the
// step had been taken with the damped speed. f is not limited: a rate above
// 1/dt reverses the speed.
void SlowInWater(SimObject& o, float t, double dt, float waterFriction)
{
    o.position.x += o.speed.x * t;
    o.position.y += o.speed.y * t;
    o.position.z += o.speed.z * t;
    const double f = 1.0 - waterFriction * dt;
    o.speed.x = static_cast<float>(o.speed.x * f);
    o.speed.y = static_cast<float>(o.speed.y * f);
    o.speed.z = static_cast<float>(o.speed.z * f);
    o.position.x -= o.speed.x * t;
    o.position.y -= o.speed.y * t;
    o.position.z -= o.speed.z * t;
}

// A solid sphere touching the water at corner height hs. One without a
// positive finite mass (the event script's default mass is 0) is a marker:
// buoyancy would divide by zero, so it rides the surface instead, its
// bottom on the water, no vertical motion, pressing nothing.
void FloatInWater(CWaterBody& body, const GridFrame& f, SimObject& o, float hs, float t, double dt)
{
    if (!(std::isfinite(o.mass) && o.mass > 0.0f))
    {
        o.acceleration.z = 0.0f;
        o.speed.z = 0.0f;
        SlowInWater(o, t, dt, body.dWaterFriction);
        o.position.z = hs + o.radius;
        return;
    }
    // Submerged volume as a cylinder as wide as the sphere, at most the sphere.
    const float submerged = (hs - o.position.z + o.radius) * (o.radius * o.radius) * CYLINDER_PI;
    const float sphere = o.radius * o.radius * o.radius * SPHERE_VOLUME_FACTOR;
    const float volume = submerged > sphere ? sphere : submerged;
    o.acceleration.z = body.dFluidDensity * body.dGravity * volume / o.mass - body.dGravity;
    SlowInWater(o, t, dt, body.dWaterFriction);
    if (std::fabs(o.speed.z) >= body.dSpeedThresHold && o.position.z + o.radius >= hs)
        PressDisc(body, f, o);
}

// Over no corner (beyond the basin, or a position that is not finite): a
// particle is gone, its water lost as if it fell on a wall; a solid object
// falls, and is put back above once it sinks to SUNK_DEPTH, as in the water.
bool MoveOutsideBasin(const CWaterBody& b, SimObject& o)
{
    if (o.kind != OBJECT_SOLID)
        return false;
    if (o.position.z <= SUNK_DEPTH)
        PutBackAbove(o);
    else
        o.acceleration.z = -b.dGravity;
    return true;
}

// The cell under a horizontal position, as the drawing places the cells;
// false off the grid (or for a position that is not finite).
bool FindCellUnder(const CWaterBody& b, const GridFrame& f, float x, float y, size_t* cell)
{
    const float gx = std::floor((x + b.dSimulationSizeX * 0.5f) / f.dx);
    const float gy = std::floor((y + b.dSimulationSizeY * 0.5f) / f.dy);
    if (!(gx >= 0.0f && gy >= 0.0f && gx < float(f.width) && gy < float(f.height)))
        return false;
    *cell = uint32_t(gx) + uint32_t(gy) * size_t(f.width);
    return true;
}

// With a wall map: whether that cell is a wall. Off the grid counts as no
// wall (the corner test decides there).
bool IsOverWall(const CWaterBody& b, const GridFrame& f, float x, float y)
{
    size_t cell = 0;
    return FindCellUnder(b, f, x, y, &cell) && f.water[cell] == 0;
}

// A wall under an object whose bottom is below the wall top. A particle
// gives its water to the nearest water cell and leaves (false). A sphere
// that came down from above the top rests on it, sliding with the water's
// friction; one that came from the side bounces off it: it goes back to
// where it was and its speed turns around along each axis whose move
// alone would have entered the wall.
bool MeetWall(CWaterBody& body, const GridFrame& f, SimObject& o, const Vec3& before, double dt)
{
    const float top = body.WallTop();
    if (o.kind != OBJECT_SOLID)
    {
        size_t cell = 0;
        FindCellUnder(body, f, o.position.x, o.position.y, &cell);  // over a wall: in the grid
        AbsorbParticleAt(body, cell, o);
        return false;
    }
    if (before.z - o.radius >= top || IsOverWall(body, f, before.x, before.y))
    {
        const double slide = 1.0 - body.dWaterFriction * dt;
        const float keep = static_cast<float>(slide > 0.0 ? slide : 0.0);
        o.position.z = top + o.radius;
        o.speed = {o.speed.x * keep, o.speed.y * keep, 0.0f};
        o.acceleration.z = 0.0f;
        return true;
    }
    const bool alongX = IsOverWall(body, f, o.position.x, before.y);
    const bool alongY = IsOverWall(body, f, before.x, o.position.y);
    if (alongX || !alongY)
        o.speed.x = -o.speed.x;
    if (alongY || !alongX)
        o.speed.y = -o.speed.y;
    o.position.x = before.x;
    o.position.y = before.y;
    return true;
}

// One object's pass; false when it leaves the list.
bool MoveObject(CWaterBody& body, const GridFrame& f, SimObject& o, float t, double dt)
{
    const Vec3 before = o.position;
    o.speed.x += o.acceleration.x * t;
    o.speed.y += o.acceleration.y * t;
    o.speed.z += o.acceleration.z * t;
    o.position.x += o.speed.x * t;
    o.position.y += o.speed.y * t;
    o.position.z += o.speed.z * t;

    uint32_t cx = 0;
    uint32_t cy = 0;
    if (!FindCornerUnder(f, o.position, &cx, &cy))
        return MoveOutsideBasin(body, o);
    if (f.water != nullptr && IsOverWall(body, f, o.position.x, o.position.y))
    {
        if (o.position.z - o.radius > body.WallTop())
        {
            o.acceleration.z = -body.dGravity;
            return true;
        }
        if (!MeetWall(body, f, o, before, dt))
            return false;
        // Bounced back over the water it came from.
        if (!FindCornerUnder(f, o.position, &cx, &cy) || IsOverWall(body, f, o.position.x, o.position.y))
            return true;
    }
    const float hs = body.cornerHeights[cx + cy * (f.width - 1)];
    if (o.position.z - o.radius > hs)
    {
        o.acceleration.z = -body.dGravity;
        return true;
    }
    if (o.kind != OBJECT_SOLID)
    {
        AbsorbParticle(body, cx, cy, o);
        return false;
    }
    if (o.position.z <= SUNK_DEPTH)
    {
        PutBackAbove(o);
        return true;
    }
    FloatInWater(body, f, o, hs, t, dt);
    return true;
}
// Throws the particle of corner i = (x, y), which passed the rise test:
// takes its water out of the four cells and appends it. False when there
// was no water to throw (a corner among walls only).
bool ThrowFromCorner(CWaterBody& b, const GridFrame& f, uint32_t x, uint32_t y, size_t i, double dt)
{
    const float p = b.previousCornerHeights[i];
    const float rise = b.cornerHeights[i] - p;
    const float e = static_cast<float>(rise - b.dParticleThresHold * dt);
    const float base = static_cast<float>(p + b.dParticleThresHold * dt);
    if (!TakeWaterAround(b, f, x, y, e))
        return false;
    b.objects.push_back(MakeParticle(b, f, x, y, e, base, dt));
    return true;
}
}  // namespace

void CWaterBody::ThrowParticles(double dt)
{
    // A rise over no time (or a step that is not a time) has no speed to
    // give: e / (2 dt) would be infinite.
    if (!(dt > 0.0) || !std::isfinite(dt))
        return;
    EmitParticles(dt, FindThrowingCorners(dt));
}

void CWaterBody::EmitParticles(double dt, bool listed)
{
    if (!(dt > 0.0) || !std::isfinite(dt))
        return;
    if (!listed)
    {
        ThrowParticlesCornerByCorner(dt);
        return;
    }
    const GridFrame f = MakeFrame(*this);
    const uint32_t columns = f.width - 1;
    size_t liveParticles = CountParticles(objects);
    for (uint32_t i : throwingCorners)
    {
        if (liveParticles >= MAX_LIVE_PARTICLES)
            return;
        liveParticles += ThrowFromCorner(*this, f, i % columns, i / columns, i, dt);
    }
}

void CWaterBody::ThrowParticlesCornerByCorner(double dt)
{
    if (!(dt > 0.0) || !std::isfinite(dt))
        return;
    const GridFrame f = MakeFrame(*this);
    size_t liveParticles = CountParticles(objects);
    for (uint32_t x = 0; x + 1 < f.width; ++x)
    {
        for (uint32_t y = 0; y + 1 < f.height; ++y)
        {
            const size_t i = x + size_t(y) * (f.width - 1);
            const float rise = cornerHeights[i] - previousCornerHeights[i];
            if (!(rise / dt >= dParticleThresHold))
                continue;
            if (liveParticles >= MAX_LIVE_PARTICLES)
                return;
            liveParticles += ThrowFromCorner(*this, f, x, y, i, dt);
        }
    }
}

void CWaterBody::MoveObjects(double dt)
{
    ClearPressures();  // walls included
    MoveEveryObject(dt);
}

void CWaterBody::MoveEveryObject(double dt)
{
    const GridFrame f = MakeFrame(*this);
    const float t = static_cast<float>(dt);
    // One compacting pass: records that stay slide down over the removed
    // ones, in order, so each record present at the start is moved once and
    // the pressure of a later object still overrides an earlier one's.
    // The same pass feeds the divergence watch: the spray volume still in
    // flight and whether every remaining object's motion is finite.
    const size_t count = objects.size();
    size_t kept = 0;
    double spray = 0.0;
    bool finite = true;
    for (size_t i = 0; i < count; ++i)
    {
        SimObject o = objects[i];
        if (!MoveObject(*this, f, o, t, dt))
            continue;
        objects[kept++] = o;
        finite = finite && std::isfinite(o.position.x) && std::isfinite(o.position.y) &&
                 std::isfinite(o.position.z) && std::isfinite(o.speed.x) &&
                 std::isfinite(o.speed.y) && std::isfinite(o.speed.z);
        if (o.kind == OBJECT_PARTICLE)
            spray += DropVolume(o.radius);
    }
    objects.resize(kept);
    if (finger.down)
    {
        const Disc disc = DiscAround(*this, f, finger.x, finger.y, finger.radius);
        SetPressure(*this, disc, f, finger.pressure);
    }
    dWatchedSpray = spray;
    bWatchedObjectsFinite = finite && std::isfinite(spray);
}
