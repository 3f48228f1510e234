// Camera arithmetic of the water scene; see Camera.h. Everything is done in
// 32-bit floats, in the order the formulas are written, so a move gives the
// same bits on every build (the build never contracts a·b + c).

#include "scene/Camera.h"

#include <cmath>
#include <cstdint>

namespace
{

bool IsFinite(const Vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// eye + scale · v, committed only when finite.
bool AddScaled(Vec3& eye, const Vec3& v, float scale)
{
    Vec3 moved{eye.x + scale * v.x, eye.y + scale * v.y, eye.z + scale * v.z};
    if (!IsFinite(moved))
        return false;
    eye = moved;
    return true;
}

// Unit horizontal direction of the view; false when there is none.
bool HorizontalDirection(const Vec3& dir, Vec3& h)
{
    float length = std::sqrt(dir.x * dir.x + dir.y * dir.y);
    if (!(length > 0.0f) || !std::isfinite(length))
        return false;
    h = Vec3{dir.x / length, dir.y / length, 0.0f};
    return IsFinite(h);
}

// The pick works in doubles: it only chooses cells, nothing is kept.
struct D3
{
    double x, y, z;
};

D3 CrossD(const D3& a, const D3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// v / |v|; false when v has no finite, non-zero length.
bool Normalise(D3& v)
{
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(length > 0.0) || !std::isfinite(length))
        return false;
    v = {v.x / length, v.y / length, v.z / length};
    return true;
}

}  // namespace

namespace Camera
{

Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

bool MoveLeft(Vec3& eye, const Vec3& dir, const Vec3& up, float step)
{
    return AddScaled(eye, Cross(dir, up), step);
}

bool MoveRight(Vec3& eye, const Vec3& dir, const Vec3& up, float step)
{
    return AddScaled(eye, Cross(dir, up), -step);
}

bool MoveForward(Vec3& eye, const Vec3& dir, float step)
{
    Vec3 h;
    return HorizontalDirection(dir, h) && AddScaled(eye, h, step);
}

bool MoveBackward(Vec3& eye, const Vec3& dir, float step)
{
    Vec3 h;
    return HorizontalDirection(dir, h) && AddScaled(eye, h, -step);
}

bool MoveUp(Vec3& eye, float step)
{
    return AddScaled(eye, Vec3{0.0f, 0.0f, 1.0f}, step);
}

bool MoveDown(Vec3& eye, float step)
{
    return AddScaled(eye, Vec3{0.0f, 0.0f, 1.0f}, -step);
}

bool Drag(Vec3& dir, Vec3& up, int lastX, int lastY, int x, int y, float radiansPerPixel)
{
    // Pixel differences in 64 bits: window coordinates cannot overflow them.
    float pitch = float(int64_t(lastY) - y) * radiansPerPixel;
    float turn = float(int64_t(lastX) - x) * radiansPerPixel;

    float cp = std::cos(pitch), sp = std::sin(pitch);
    Vec3 pitchedDir{dir.x * cp - up.x * sp, dir.y * cp - up.y * sp, dir.z * cp - up.z * sp};
    Vec3 pitchedUp{dir.x * sp + up.x * cp, dir.y * sp + up.y * cp, dir.z * sp + up.z * cp};

    float ct = std::cos(turn), st = std::sin(turn);
    Vec3 newDir{pitchedDir.x * ct - pitchedDir.y * st, pitchedDir.x * st + pitchedDir.y * ct,
                pitchedDir.z};
    Vec3 newUp{pitchedUp.x * ct - pitchedUp.y * st, pitchedUp.x * st + pitchedUp.y * ct,
               pitchedUp.z};
    if (!IsFinite(newDir) || !IsFinite(newUp))
        return false;
    dir = newDir;
    up = newUp;
    return true;
}


bool PickWater(const View& view, int px, int py, const WaterRect& water, float* x, float* y)
{
    if (view.width <= 0 || view.height <= 0)
        return false;
    // gluPerspective scales eye-space x / −z by 1 / (aspect·t) and y / −z by
    // 1 / t; with a negative angle t < 0 and both axes flip.
    const double t = std::tan(double(view.fovDegrees) * (M_PI / 360.0));
    if (!(std::fabs(t) > 0.0) || !std::isfinite(t))
        return false;
    // gluLookAt's frame: forward f, side s = f × up, true up u = s × f.
    D3 f{view.dir.x, view.dir.y, view.dir.z};
    D3 s = CrossD(f, D3{view.up.x, view.up.y, view.up.z});
    if (!Normalise(f) || !Normalise(s))
        return false;
    const D3 u = CrossD(s, f);

    const double aspect = double(view.width) / view.height;
    const double ex = (2.0 * (px + 0.5) / view.width - 1.0) * aspect * t;
    const double ey = (1.0 - 2.0 * (py + 0.5) / view.height) * t;
    const D3 ray{ex * s.x + ey * u.x + f.x, ex * s.y + ey * u.y + f.y, ex * s.z + ey * u.z + f.z};

    const double above = double(view.eye.z) - water.z;
    if (!(above > 0.0) || !(ray.z < 0.0))
        return false;
    const double k = above / -ray.z;
    const double hx = view.eye.x + k * ray.x;
    const double hy = view.eye.y + k * ray.y;
    if (!(hx >= water.minX && hx <= water.maxX && hy >= water.minY && hy <= water.maxY))
        return false;
    *x = float(hx);
    *y = float(hy);
    return true;
}

}  // namespace Camera
