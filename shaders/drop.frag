// A drop shaded as a small ball of water: its sprite read as a
// hemisphere facing the eye, the water's colour through its middle, the
// sky toward its rim (Fresnel), the sun's glint. Opaque: at a few pixels
// wide, a drop shows no more through itself.

flat in vec3 vInside;
flat in vec3 vRim;
flat in vec2 vGlint;

out vec4 fragColour;

void main()
{
    vec2 p = gl_PointCoord * 2.0 - 1.0;
    float r2 = dot(p, p);
    if (r2 > 1.0)
        discard;
    vec2 fromGlint = p - vGlint;
    float glint = max(1.0 - 12.0 * dot(fromGlint, fromGlint), 0.0);
    fragColour = vec4(mix(vInside, vRim, r2 * r2) + SUN_COLOUR * (glint * glint), 1.0);
}
