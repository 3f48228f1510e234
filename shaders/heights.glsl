// The water's surface from the height texture, and the bottom under it,
// shared by the surface and the caustics. Texel (i, j) holds the height of corner (i, j), which
// stands at uSurfaceRect.xy + (i, j) · uCellSize; the texture is sampled
// with bilinear filtering, so between corners the surface is the bilinear
// blend of its four corners.

uniform sampler2D uHeights;  // corner heights, world units
uniform vec2 uCornerCount;   // corners along x and y: the texture's size
uniform vec4 uSurfaceRect;   // x, y of the first corner, then of the last
uniform vec2 uCellSize;      // world units between neighbouring corners

// With a wall map (uHasWalls 1), one texel per cell, 1 for a wall. The
// cells lie one cell size wider than the corners on each side.
uniform sampler2D uWalls;
uniform float uHasWalls;

bool OverWall(vec2 world)
{
    if (uHasWalls < 0.5)
        return false;
    vec2 cell = (world - uSurfaceRect.xy) / uCellSize + 1.0;
    return textureLod(uWalls, cell / (uCornerCount + 1.0), 0.0).r > 0.5;
}

float HeightAt(vec2 coord)
{
    return textureLod(uHeights, coord, 0.0).r;
}

// Grid point `grid` in [0, 1]² of the surface (0 the first corner, 1 the
// last) to its texture coordinate, and to its place in x and y.
vec2 HeightCoord(vec2 grid)
{
    return (grid * (uCornerCount - 1.0) + 0.5) / uCornerCount;
}

vec2 SurfacePlace(vec2 grid)
{
    return uSurfaceRect.xy + grid * (uCornerCount - 1.0) * uCellSize;
}

// Unit normal of the surface at `coord` from differences `stride` corners
// apart along each axis: 1 shows every ripple the grid holds, a larger
// stride smooths the surface to that scale. Three samples, half a stride
// around `coord`: each slope is centred along its own axis.
vec3 SurfaceNormal(vec2 coord, vec2 stride)
{
    vec2 step = stride / uCornerCount;
    float base = HeightAt(coord - 0.5 * step);
    float right = HeightAt(coord + vec2(0.5, -0.5) * step);
    float far = HeightAt(coord + vec2(-0.5, 0.5) * step);
    vec2 slope = vec2(right - base, far - base) / (stride * uCellSize);
    return normalize(vec3(-slope, 1.0));
}

// The bottom's height seen from above (drawn once per scene), over the
// same rectangle as the light map: uLightRect.
uniform sampler2D uBottomHeights;  // world z of the bottom
uniform vec4 uLightRect;           // x, y of its first corner, then of its last

vec2 LightCoord(vec2 world)
{
    return (world - uLightRect.xy) / (uLightRect.zw - uLightRect.xy);
}

float BottomAt(vec2 world)
{
    return textureLod(uBottomHeights, LightCoord(world), 0.0).r;
}
