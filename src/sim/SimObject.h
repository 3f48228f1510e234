// SimObject: one sphere, a solid object dropped by the event script or a
// spray particle thrown by the surface. Plain value, copied whole.
#pragma once

#include <cstdint>

#include "common/Vec3.h"

enum ObjectKind : uint32_t
{
    OBJECT_SOLID = 0,
    OBJECT_PARTICLE = 1,
};

// Volume of a sphere of radius r: SPHERE_VOLUME_FACTOR · r³ (4π/3 to the
// digits the spray and the runner's summary have always used).
constexpr double SPHERE_VOLUME_FACTOR = 4.188790204786391;

// A drop's volume as the spray ledgers add it up (the runner's summary,
// the divergence watch): the radius widened to double, then cubed.
inline double DropVolume(float radius)
{
    const double r = radius;
    return SPHERE_VOLUME_FACTOR * r * r * r;
}

struct SimObject
{
    float mass = 0.0f;
    float radius = 0.0f;
    Vec3 position;
    Vec3 speed;         // per second
    Vec3 acceleration;  // applied at the start of the next object pass
    Vec3 color;         // red, green, blue in 0..1
    const char* name = nullptr;  // owned by the "events.opt" list; null for particles
    uint32_t kind = OBJECT_SOLID;

    // Same object: both named and the names equal byte for byte.
    bool IsSameObject(const SimObject& other) const;
};
