// The water surface: a regular grid over the water, as fine as the
// window needs and not as the simulation's grid (ScreenMesh), raised to
// the heights of the height texture.

in vec2 aGrid;  // [0, 1]², the first corner to the last

uniform mat4 uViewProjection;

out vec3 vWorld;
out vec2 vHeightCoord;
out float vDepth;  // of the water here, world units: the bottom's map is smooth enough per vertex

void main()
{
    vHeightCoord = HeightCoord(aGrid);
    vWorld = vec3(SurfacePlace(aGrid), HeightAt(vHeightCoord));
    vDepth = max(vWorld.z - BottomAt(vWorld.xy), 0.0);
    gl_Position = uViewProjection * vec4(vWorld, 1.0);
}
