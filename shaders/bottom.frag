// The bottom lit by the sunlight that reaches it through the water: the
// light map holds that light, 1 under calm water, more where the waves
// focus it (caustics), less in the shadows of the balls and walls.

in vec3 vWorld;
in vec3 vNormal;
in vec2 vTexCoord;

uniform sampler2D uBottomTexture;
uniform bool uTextured;        // false: no usable texture, plain sand
uniform sampler2D uLightMap;   // over uLightRect, light / 4 (caustics.frag)
uniform vec4 uLightRect;       // x, y of its first corner, then of its last
uniform vec3 uUnderwaterSun;   // unit vector toward the sun seen through calm water

out vec4 fragColour;

void main()
{
    vec3 albedo = uTextured ? textureLod(uBottomTexture, vTexCoord, 0.0).rgb : vec3(0.85, 0.74, 0.56);
    vec3 normal = normalize(vNormal);
    vec2 lightCoord = (vWorld.xy - uLightRect.xy) / (uLightRect.zw - uLightRect.xy);
    float light = 4.0 * textureLod(uLightMap, lightCoord, 0.0).r;
    vec3 lit = SUN_COLOUR * (max(dot(normal, uUnderwaterSun), 0.0) * light) + 0.7 * AmbientLight(normal);
    fragColour = vec4(albedo * lit, 1.0);
}
