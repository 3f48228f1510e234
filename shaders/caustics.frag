// The light one triangle of the caustics grid brings to each texel it
// covers: the area the triangle had under calm water over the area it
// covers now, both in texels (1 under calm water, more where the waves
// focus the rays, folded triangles counting once per layer), times the
// share of the light that got past the balls and walls. Added up in the
// light map, whose texels are where this fragment is: the derivatives of
// where calm water would have sent the light, per texel, give that ratio.

in vec2 vLandedFlat;
in float vPassed;

out vec4 fragColour;

// The light map holds light × this in 8 bits: calm water's light is 1/4,
// focused light up to 4 times that.
const float LIGHT_MAP_SCALE = 0.25;

void main()
{
    vec2 alongX = dFdx(vLandedFlat), alongY = dFdy(vLandedFlat);
    float light = abs(alongX.x * alongY.y - alongX.y * alongY.x) * vPassed;
    fragColour = vec4(light * LIGHT_MAP_SCALE, 0.0, 0.0, 1.0);
}
