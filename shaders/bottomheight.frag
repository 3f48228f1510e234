// World z of the bottom, as it is.

in float vHeight;

out vec4 fragColour;

void main()
{
    fragColour = vec4(vHeight, 0.0, 0.0, 1.0);
}
