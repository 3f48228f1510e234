// The height of the bottom seen from straight above, drawn once per scene
// into a texture over the water's rectangle: where the caustics' rays
// land. Higher points are nearer in depth, so the top of the bottom wins.

in vec3 aPosition;  // mesh units

uniform vec3 uBottomScale;  // mesh units to world units
uniform vec4 uLightRect;    // the texture's rectangle in x and y
uniform vec2 uHeightRange;  // lowest and highest world z of the bottom

out float vHeight;

void main()
{
    vec3 world = aPosition * uBottomScale;
    vHeight = world.z;
    vec2 place = (world.xy - uLightRect.xy) / (uLightRect.zw - uLightRect.xy) * 2.0 - 1.0;
    float depth = 1.0 - 2.0 * (world.z - uHeightRange.x) / max(uHeightRange.y - uHeightRange.x, 1e-6);
    gl_Position = vec4(place, clamp(depth, -1.0, 1.0), 1.0);
}
