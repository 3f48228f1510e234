// Caustics: the surface cut into a grid whose every vertex sends the sun's
// ray through the water, bent by the surface's normal, down to the
// bottom. The grid is drawn where its rays land, into the light map over
// the water's rectangle, so that each of its triangles spreads the light
// that fell on it over the area where it lands (caustics.frag). The balls
// and the walls stop the light they stand in the way of, per vertex: the
// grid is finer than a ball's shadow.

in vec2 aGrid;  // [0, 1]², the first corner to the last

uniform vec2 uNormalStride;  // corners between this grid's vertices: the normals' scale
uniform vec2 uLightMapSize;  // texels of the light map, which this grid is drawn into
uniform float uRimHeight;    // world z of the walls' tops

const int MAX_BALLS = 32;
uniform vec4 uBalls[MAX_BALLS];  // centre and radius, world units
uniform int uBallCount;

out vec2 vLandedFlat;  // where the ray would land through calm water, light-map texels
out float vPassed;     // share of the light that no ball and no wall stops

// Distance along `ray` from `start` down to the bottom: first to the
// bottom's height under the start, then again under where that lands, so
// that a sloping bottom catches the ray about where it really meets it.
float DistanceToBottom(vec3 start, vec3 ray)
{
    float down = max(-ray.z, 0.05);
    float t = max(start.z - BottomAt(start.xy), 0.0) / down;
    return max(start.z - BottomAt(start.xy + ray.xy * t), 0.0) / down;
}

// Share of a ray from `start` along unit `ray`, over `length`, that passes
// a ball: 0 through its middle, 1 clear of it, a soft rim between.
float PastBall(vec3 start, vec3 ray, float length, vec4 ball)
{
    vec3 toCentre = ball.xyz - start;
    float along = clamp(dot(toCentre, ray), 0.0, length);
    float miss = distance(toCentre, ray * along);
    return smoothstep(0.8 * ball.w, 1.05 * ball.w, miss);
}

// 0 when the sun's ray to `point` comes over a wall: it crosses the
// water's edge while still below the rim.
float PastWalls(vec3 point)
{
    float rise = uRimHeight - point.z;
    if (rise <= 0.0)
        return 1.0;
    vec2 end = point.xy + uSunDirection.xy * (rise / max(uSunDirection.z, 0.05));
    return all(greaterThanEqual(end, uSurfaceRect.xy)) && all(lessThanEqual(end, uSurfaceRect.zw)) ? 1.0 : 0.0;
}

void main()
{
    vec2 coord = HeightCoord(aGrid);
    vec3 point = vec3(SurfacePlace(aGrid), HeightAt(coord));
    vec3 normal = SurfaceNormal(coord, uNormalStride);
    vec3 ray = refract(-uSunDirection, normal, 1.0 / WATER_INDEX);
    vec3 flatRay = refract(-uSunDirection, vec3(0.0, 0.0, 1.0), 1.0 / WATER_INDEX);
    float length = DistanceToBottom(point, ray);
    vLandedFlat = LightCoord(point.xy + flatRay.xy * DistanceToBottom(point, flatRay)) * uLightMapSize;
    vPassed = OverWall(point.xy) ? 0.0 : PastWalls(point);
    for (int i = 0; i < uBallCount; ++i)
        vPassed *= PastBall(point, uSunDirection, 1e6, uBalls[i]) * PastBall(point, ray, length, uBalls[i]);
    gl_Position = vec4(LightCoord(point.xy + ray.xy * length) * 2.0 - 1.0, 0.0, 1.0);
}
