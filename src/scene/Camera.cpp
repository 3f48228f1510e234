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

}  // namespace Camera
