// A drop of spray: one point, drawn as a screen-facing sprite as wide as
// the drop looks from the eye. What varies little across a drop a few
// pixels wide is found here, once per drop: the water's colour through
// its middle, the sky it reflects at its rim, and where on the sprite the
// sun's glint sits.

in vec4 aSphere;  // centre (world) and radius

uniform mat4 uViewProjection;
uniform float uPixelsPerUnit;  // window pixels per world unit at distance 1 from the eye
uniform mat3 uViewToWorld;     // rotation from the view frame to the world
uniform vec2 uPointCoordSign;  // ±1: the picture's turn (a negative field of view flips both)

flat out vec3 vInside;
flat out vec3 vRim;
flat out vec2 vGlint;  // the glint's place on the sprite, [-1, 1]², y down as gl_PointCoord

void main()
{
    gl_Position = uViewProjection * vec4(aSphere.xyz, 1.0);
    gl_PointSize = max(2.0 * aSphere.w * uPixelsPerUnit / max(gl_Position.w, 1e-6), 1.0);
    vec3 view = normalize(uEyePosition - aSphere.xyz);
    // A drop gathers the light through it: pale and bright, barely tinted.
    vInside = vec3(0.74, 0.84, 0.90) * (AmbientLight(vec3(0.0, 0.0, 1.0)) + 0.8 * SUN_COLOUR);
    // At its rim a drop reflects what lies behind it, seen past it.
    vec3 beyond = -view;
    vRim = SkyColour(normalize(vec3(beyond.xy, abs(beyond.z) + 0.1)));
    // The glint is where the drop's normal is halfway between the eye and
    // the sun: that normal, seen in the view frame, is its place on the sprite.
    vec3 halfway = transpose(uViewToWorld) * normalize(view + uSunDirection);
    vGlint = vec2(halfway.x * uPointCoordSign.x, -halfway.y * uPointCoordSign.y);
}
