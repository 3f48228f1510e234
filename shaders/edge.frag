// Tiles on the pool's edge, laid along the two axes of each face, each
// tile a little lighter or darker than the next, with grout between them;
// lit by the sun and the sky; far away, the deck fades into the haze of
// the horizon.

in vec3 vWorld;
flat in vec3 vNormal;
flat in vec4 vColour;  // red, green, blue, the side of a tile

uniform vec2 uHazeDistance;   // from the eye, world units: where the haze starts, where it hides all
uniform float uPixelsPerUnit; // window pixels per world unit at distance 1 from the eye

out vec4 fragColour;

void main()
{
    vec3 a = abs(vNormal);
    vec2 plane = a.x > 0.5 ? vWorld.yz : (a.y > 0.5 ? vWorld.xz : vWorld.xy);
    vec2 tile = plane / vColour.a;
    vec2 inTile = fract(tile);
    float eyeDistance = distance(vWorld, uEyePosition);
    // Tiles fewer than a few pixels wide on screen lose their grout lines,
    // which would shimmer.
    float fine = 1.0 - smoothstep(4.0, 10.0, vColour.a * uPixelsPerUnit / eyeDistance);
    float grout = mix(step(0.06, inTile.x) * step(0.06, inTile.y), 0.94, fine);
    vec2 which = floor(tile);
    float shade = 0.92 + 0.08 * fract(dot(which, vec2(0.7548, 0.5698)) * 13.7);
    vec3 albedo = vColour.rgb * mix(0.7, shade, grout);
    vec3 lit = albedo * (SUN_COLOUR * max(dot(vNormal, uSunDirection), 0.0) + AmbientLight(vNormal));
    float haze = smoothstep(uHazeDistance.x, uHazeDistance.y, eyeDistance);
    fragColour = vec4(mix(lit, uHorizonColour, haze), 1.0);
}
