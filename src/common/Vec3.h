// Vec3: three 32-bit floats. Positions, speeds, accelerations, normals,
// colours and camera vectors all use it. Arithmetic stays in float on
// purpose: the simulation's results are defined in single precision.
#pragma once

struct Vec3
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};
