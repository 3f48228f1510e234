// The water seen from above, per pixel: the normal from the height
// texture at the grid's own resolution (ripples a cell wide show however
// coarse the mesh), the sky reflected, what lies under the surface seen
// through it, bent by the waves' refraction and darkened and tinted by
// the water the light crosses, the two mixed by the Fresnel term, and the
// sun's glints.

in vec3 vWorld;
in vec2 vHeightCoord;
in float vDepth;

uniform mat4 uViewProjection;
uniform sampler2D uSceneColour;  // the picture before the water: bottom, walls, balls
uniform vec4 uViewport;          // x, y, width, height, window pixels

out vec4 fragColour;

// The refracted ray is followed this far at most, world units: further
// bends would fetch pixels from too far across the picture.
const float MAX_BEND = 0.25;

void main()
{
    if (OverWall(vWorld.xy))
        discard;  // the wall's box stands there
    vec3 normal = SurfaceNormal(vHeightCoord, vec2(1.0));
    vec3 toEye = uEyePosition - vWorld;
    vec3 view = normalize(toEye);
    // A wave's back, seen over its crest, is bent just enough to face the eye.
    float facing = dot(normal, view);
    if (facing < 0.05)
    {
        normal = normalize(normal + view * (0.05 - facing));
        facing = dot(normal, view);
    }

    vec3 reflected = reflect(-view, normal);
    reflected.z = abs(reflected.z);
    vec3 sky = SkyColour(reflected);
    float fresnel = WaterFresnel(facing);

    // The light from below crosses the water's depth here along the
    // refracted ray (what it meets under the water is taken to lie on the
    // bottom).
    vec3 refracted = refract(-view, normal, 1.0 / WATER_INDEX);
    float path = vDepth / max(-refracted.z, 0.1);
    // Only the waves bend the picture: calm water would shift all of it
    // alike, and near the walls that shift would fetch what they hide.
    vec3 bend = refracted - refract(-view, vec3(0.0, 0.0, 1.0), 1.0 / WATER_INDEX);
    vec4 clip = uViewProjection * vec4(vWorld + bend * min(path, MAX_BEND), 1.0);
    vec2 there = clip.w > 0.0 ? clamp(clip.xy / clip.w * 0.5 + 0.5, 0.0, 1.0)
                              : (gl_FragCoord.xy - uViewport.xy) / uViewport.zw;
    vec3 transmitted = exp(-WATER_ABSORPTION * path);
    vec3 below = textureLod(uSceneColour, there, 0.0).rgb * transmitted +
                 WATER_DEEP_COLOUR * (1.0 - transmitted);

    // The sun's highlight, pow(n·h, 900) as in SkyColour.
    vec3 halfway = normalize(view + uSunDirection);
    float glint = exp2(-1298.0 * (1.0 - dot(normal, halfway))) * 40.0 * (fresnel + 0.05);
    fragColour = vec4(mix(below, sky, fresnel) + SUN_COLOUR * glint, 1.0);
}
