// The sky behind everything above the horizon: the part of the window
// where the view looks up, at the far plane (below the horizon the
// window is cleared to the horizon's colour). Each corner carries the
// world direction of view through it; the rasteriser interpolates them.

in vec2 aCorner;  // clip-space x, y

uniform mat3 uViewToWorld;  // rotation from the view frame to the world
uniform vec2 uViewScale;    // view x, y at distance 1 per unit of clip x, y: 1/P[0][0], 1/P[1][1]

out vec3 vDirection;

void main()
{
    vDirection = uViewToWorld * vec3(aCorner * uViewScale, -1.0);
    gl_Position = vec4(aCorner, 1.0, 1.0);
}
