// The pool's edge: the side walls and the deck around them, boxes made of
// plain triangles (PoolEdge).

in vec3 aPosition;  // world units
in vec3 aNormal;
in vec4 aColour;   // red, green, blue, then the side of a tile in world units

uniform mat4 uViewProjection;

out vec3 vWorld;
flat out vec3 vNormal;
flat out vec4 vColour;

void main()
{
    vWorld = aPosition;
    vNormal = aNormal;
    vColour = aColour;
    gl_Position = uViewProjection * vec4(aPosition, 1.0);
}
