// Shared by every shader of the shaded look, compiled after the version
// line and before the shader's own text: the sun, the sky and the optics
// of water. World frame: z up, lengths in the basin's units (metres).

uniform vec3 uSunDirection;  // unit vector from the ground toward the sun
uniform vec3 uEyePosition;   // the camera, world frame
uniform vec3 uHorizonColour; // the sky at the horizon, and the haze far off

const vec3 SUN_COLOUR = vec3(1.0, 0.95, 0.86);
const float WATER_INDEX = 1.333;  // refractive index of water against air

// Light lost per metre of water, red first: red goes fastest, so deep
// water turns blue-green. Far stronger than clear water's, so that a
// basin a few centimetres deep shows its depth.
const vec3 WATER_ABSORPTION = vec3(6.0, 2.0, 1.1);
// What a deep column of water looks like: the light it scatters back.
const vec3 WATER_DEEP_COLOUR = vec3(0.03, 0.20, 0.34);

// The sky seen along unit vector `direction`, which points above the
// horizon: a blue that pales toward the horizon, the sun's disc and glow.
vec3 SkyColour(vec3 direction)
{
    const vec3 zenith = vec3(0.16, 0.36, 0.72);
    vec3 sky = mix(uHorizonColour, zenith, sqrt(max(direction.z, 0.0)));
    // pow(c, n) for a cosine c near 1 is about exp(-n (1 - c)): the disc
    // (n = 2000) and its glow (n = 40) for one exponential each.
    float away = 1.0 - dot(direction, uSunDirection);
    return sky + SUN_COLOUR * (12.0 * exp2(-2885.0 * away) + 0.3 * exp2(-57.7 * away));
}

// Light from the whole sky and ground on a surface facing unit `normal`.
vec3 AmbientLight(vec3 normal)
{
    return mix(vec3(0.22, 0.21, 0.19), vec3(0.36, 0.43, 0.55), 0.5 + 0.5 * normal.z);
}

// Share of light a water surface reflects toward an eye at cosine
// `facing` from its normal (Schlick's approximation; 2 % head on).
float WaterFresnel(float facing)
{
    float grazing = 1.0 - clamp(facing, 0.0, 1.0);
    float grazing2 = grazing * grazing;
    return 0.02 + 0.98 * grazing2 * grazing2 * grazing;
}
