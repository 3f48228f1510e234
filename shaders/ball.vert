// A ball drawn as a sphere traced per pixel: a square facing the eye that
// just covers the sphere's outline. Seen from the eye, the sphere fills a
// cone; the square stands across the cone's axis at the sphere's centre,
// as wide as the cone is there, so every ray that meets the sphere passes
// through it (ball.frag finds where).

in vec2 aCorner;   // (±1, ±1): which corner of the square
in vec4 aSphere;   // centre (world) and radius
in vec3 aColour;

uniform mat4 uViewProjection;

out vec3 vWorld;
flat out vec4 vSphere;
flat out vec3 vColour;

void main()
{
    vec3 axis = aSphere.xyz - uEyePosition;
    float distance = length(axis);
    axis /= distance;
    vec3 side = normalize(cross(axis, abs(axis.z) < 0.9 ? vec3(0.0, 0.0, 1.0) : vec3(1.0, 0.0, 0.0)));
    vec3 up = cross(side, axis);
    float radius = aSphere.w;
    float halfWidth = radius * distance / sqrt(max(distance * distance - radius * radius, 1e-12));
    vWorld = aSphere.xyz + (side * aCorner.x + up * aCorner.y) * halfWidth;
    vSphere = aSphere;
    vColour = aColour;
    gl_Position = uViewProjection * vec4(vWorld, 1.0);
}
