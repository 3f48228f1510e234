// Where the eye's ray through this pixel meets the ball: the ball's own
// colour lit by the sun (diffuse and a soft highlight) and by the sky,
// and the depth of that point, so that the ball meets the water and the
// other balls where the sphere really is.

in vec3 vWorld;
flat in vec4 vSphere;
flat in vec3 vColour;

uniform mat4 uViewProjection;

out vec4 fragColour;

void main()
{
    vec3 ray = normalize(vWorld - uEyePosition);
    vec3 fromCentre = uEyePosition - vSphere.xyz;
    float b = dot(fromCentre, ray);
    float c = dot(fromCentre, fromCentre) - vSphere.w * vSphere.w;
    float discriminant = b * b - c;
    if (discriminant < 0.0)
        discard;
    vec3 hit = uEyePosition + ray * (-b - sqrt(discriminant));
    vec3 normal = (hit - vSphere.xyz) / vSphere.w;
    vec3 halfway = normalize(uSunDirection - ray);
    float diffuse = max(dot(normal, uSunDirection), 0.0);
    float highlight = 0.45 * pow(max(dot(normal, halfway), 0.0), 60.0);
    vec3 colour = vColour * (SUN_COLOUR * diffuse + AmbientLight(normal)) + SUN_COLOUR * highlight;
    vec4 clip = uViewProjection * vec4(hit, 1.0);
    gl_FragDepth = 0.5 * (gl_DepthRange.diff * clip.z / clip.w + gl_DepthRange.near + gl_DepthRange.far);
    fragColour = vec4(colour, 1.0);
}
