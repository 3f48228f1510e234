// The basin's bottom: its mesh, modelled over [-1, 1]² with heights in
// units of half the water's depth, scaled onto the water's corners as the
// fixed look scales it.

in vec3 aPosition;  // mesh units
in vec3 aNormal;
in vec2 aTexCoord;

uniform mat4 uViewProjection;
uniform vec3 uBottomScale;  // mesh units to world units, per axis (never 0)
uniform bool uMeshTexCoords;  // false: the mesh has none, the texture follows x and y

out vec3 vWorld;
out vec3 vNormal;
out vec2 vTexCoord;

void main()
{
    vWorld = aPosition * uBottomScale;
    vNormal = aNormal / uBottomScale;  // a scaled surface's normals scale inversely
    vTexCoord = uMeshTexCoords ? aTexCoord : 2.0 * (aPosition.xy + 1.0);
    gl_Position = uViewProjection * vec4(vWorld, 1.0);
}
