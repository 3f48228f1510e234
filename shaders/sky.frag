// The sky along each pixel's direction of view.

in vec3 vDirection;

out vec4 fragColour;

void main()
{
    fragColour = vec4(SkyColour(normalize(vDirection)), 1.0);
}
