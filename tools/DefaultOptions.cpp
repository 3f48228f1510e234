// Texts of the option files shipped in default/. The generator writes them
// byte for byte; a change here needs the generator run again into default/
// (the end-to-end test compares the two).
//
// Every file follows the same rules: one statement "name = value ;" per
// setting, comments between statements. Integer keys (i...) take digits
// only; floating-point keys (d..., f..., v3f...) MUST carry a decimal point,
// or the program silently falls back to its default; texts are quoted;
// booleans are true or false.

#include "DefaultOptions.h"

#include <string>

const char* const g_graphicsOptText = R"opt(// graphics.opt -- the window of Ripplex and the fixed OpenGL state.

// Initial size of the window's drawing area, in pixels (integers).
iScreenWidth = 800;
iScreenHeight = 600;

// Vertical field of view of the perspective projection, in degrees. Keep it
// positive: a negative angle turns the picture upside down (the program's
// own default, used when this key is missing, is -45.0).
dScreenFOV = 45.0;

// Initial position of the window's top-left corner on the screen, in
// pixels; -1 leaves the placement to the window system.
iWindowPosX = -1;
iWindowPosY = -1;

// true: draw into a back buffer and swap it in when the frame is complete
// (no flicker); false: draw straight into the visible buffer.
bDoubleBuffer = true;

// Title of the window.
sWindowName = "Ripplex";

// true: switch the window to full screen as soon as it is created.
bFullScreen = false;

// true: polygons seen from behind are not drawn, so the water surface and
// the basin bottom show only from above.
bCullFaces = true;

// true: smooth shading, best-quality rendering hints, smoothed lines and
// points.
bSmoothAndNice = true;

// The look: 0 the fixed one, 1 the water drawn by shaders (refraction,
// reflection, caustics), whose cost follows the window, not the grid. The
// shaded look needs OpenGL 3.0 and GLSL 1.30; without them the fixed look
// is drawn and error.log says why. F7 switches between them while running.
iLook = 0;
)opt";

const char* const g_sceneOptText = R"opt(// scene.opt -- the viewer's camera and how fast it moves.
//
// World frame: z points up; the basin is 1 x 1 and centred on the origin,
// its water surface at rest lies at z = dDefaultHeight (simulation.opt).
// Every value here is floating point and needs its decimal point.

// Radians the view turns per pixel of mouse motion while a button is held.
fRotationDivisor = 0.003;

// Distance one press of an arrow key or Page Up / Page Down moves the
// camera.
fStep = 0.05;

// Camera position: in front of the basin (negative y) and above it.
v3fCamEyeX = 0.0;
v3fCamEyeY = -1.15;
v3fCamEyeZ = 0.75;

// Viewing direction: the camera looks at eye + dir. This one points down
// at about 30 degrees and meets the water a little in front of the centre
// of the basin, which then fills the width of the window.
// Its horizontal part must not be zero, or Up and Down cannot move.
v3fCamDirX = 0.0;
v3fCamDirY = 0.86;
v3fCamDirZ = -0.5;

// Up vector of the view, at right angles to the direction, so that mouse
// drags turn the view without distorting it.
v3fCamUpwX = 0.0;
v3fCamUpwY = 0.5;
v3fCamUpwZ = 0.86;
)opt";

const char* const g_simulationOptText = R"opt(// simulation.opt -- the water simulation and the files it loads.
//
// The basin is a grid of cells joined by virtual pipes; the cells on its
// border are fixed walls. Lengths in metres, times in seconds.

// Number of cells along x and along y (integers; at least 3 each).
iSimulationWidth = 50;
iSimulationHeight = 50;

// Size of the basin along x and along y.
dSimulationSizeX = 1.0;
dSimulationSizeY = 1.0;

// Height of the water at rest; the bottom mesh is scaled so that its
// height 0.5 stands at this level.
dDefaultHeight = 0.15;

// Density of the water. The masses of the balls in events.opt are chosen
// below density x volume so that they float.
dFluidDensity = 1.0;

// Acceleration of gravity, pulling down along -z.
dGravity = 9.81;

// Damping rate of the flows in the pipes, per second: higher values calm
// the waves sooner.
dFriction = 1.0;

// Damping rate of the speed of a ball in the water, per second.
dWaterFriction = 2.0;

// A ball presses on the water under it only while its vertical speed is at
// least this.
dSpeedThresHold = 0.05;

// Factor from a ball's vertical momentum to the pressure it puts on the
// cells under it: the size of the waves it makes.
dForceFactor = 10.0;

// The surface throws spray where it rises faster than this, per second.
// On 50 x 50 cells, much below 0.4 the drops falling back raise new spray
// faster than the friction calms it, and the spray runs away; finer grids
// need it raised in proportion to their cells along a side (README.md,
// "Changing the grid").
dParticleThresHold = 0.5;

// Kept for compatibility; nothing depends on it.
fRepresentationStep = 0.05;

// The pipe cross-section is the cell area divided by this, the pipe length
// the cell side divided by this (integers, at least 1). The pipes are an
// explicit scheme, stable only for steps below a bound proportional to
// sqrt(cell side x iCrossSectionDivisor / (iPipeDivisor x dGravity)):
// 0.046 s on 50 x 50 cells with these values, 0.026 s with divisor 1. The
// programs split longer steps into equal sub-steps below it.
iCrossSectionDivisor = 3;
iPipeDivisor = 1;

// Files in this directory: the basin-bottom mesh, the sphere-map texture
// of the water and the texture of the bottom.
strBottomObjFileName = "bottom.obj";
strWaterTextureFileName = "water.tga";
strBottomTextureFileName = "bottom.tga";
)opt";

const char* const g_eventsOptText = R"opt(// events.opt -- what happens in the basin, and when.
//
// Events are numbered from 1 to iEventNumber; in the keys below, N is the
// event number (iEvent1Type, dEvent12Time...). Keys of one event:
//   iEventNType         1 for a ball event (any other number does nothing)
//   dEventNTime         simulated time, in seconds, of the first firing
//   bEventNOnce         true: fires once; false: fires again and again
//   dEventNAddTime      for a repeating event, seconds between firings
//   bEventNAddObject    true: drop a new ball; false: take away the oldest
//                       ball of that name still in the basin
//   strEventNObjectName name of the ball (quoted)
// and, for a ball that is dropped:
//   dEventNObjectMass   mass; below density x 4/3 pi r^3 the ball floats
//   dEventNObjectSize   radius
//   dEventNObjectPosX, dEventNObjectPosY, dEventNObjectPosZ
//                       starting position of its centre (the basin spans
//                       -0.5 to 0.5 in x and y; the water is at z = 0.15)
//   dEventNObjectSpeedX, dEventNObjectSpeedY, dEventNObjectSpeedZ
//                       starting velocity, per second
//   dEventNObjectColorR, dEventNObjectColorG, dEventNObjectColorB
//                       colour, 0.0 to 1.0 per component
// Mass, size, position, speed and colour need their decimal point.
// "Left", "right", "near" and "far" below are as seen from the camera of
// scene.opt. The masses are about half of what would sink each ball.

iEventNumber = 15;

// Event 1. The big red ball falls into the middle of the basin.
iEvent1Type = 1;
dEvent1Time = 0.5;
bEvent1Once = true;
bEvent1AddObject = true;
strEvent1ObjectName = "rouge";
dEvent1ObjectMass = 0.00107;
dEvent1ObjectSize = 0.08;
dEvent1ObjectPosX = 0.0;
dEvent1ObjectPosY = 0.0;
dEvent1ObjectPosZ = 0.45;
dEvent1ObjectSpeedX = 0.0;
dEvent1ObjectSpeedY = 0.0;
dEvent1ObjectSpeedZ = 0.0;
dEvent1ObjectColorR = 0.9;
dEvent1ObjectColorG = 0.15;
dEvent1ObjectColorB = 0.1;

// Event 2. A blue ball, off to the far right.
iEvent2Type = 1;
dEvent2Time = 2.0;
bEvent2Once = true;
bEvent2AddObject = true;
strEvent2ObjectName = "bleue";
dEvent2ObjectMass = 0.00026;
dEvent2ObjectSize = 0.05;
dEvent2ObjectPosX = 0.22;
dEvent2ObjectPosY = 0.18;
dEvent2ObjectPosZ = 0.4;
dEvent2ObjectSpeedX = 0.0;
dEvent2ObjectSpeedY = 0.0;
dEvent2ObjectSpeedZ = 0.0;
dEvent2ObjectColorR = 0.15;
dEvent2ObjectColorG = 0.3;
dEvent2ObjectColorB = 0.95;

// Event 3. A small green ball thrown downwards, near left.
iEvent3Type = 1;
dEvent3Time = 3.5;
bEvent3Once = true;
bEvent3AddObject = true;
strEvent3ObjectName = "verte";
dEvent3ObjectMass = 0.000107;
dEvent3ObjectSize = 0.04;
dEvent3ObjectPosX = -0.2;
dEvent3ObjectPosY = -0.15;
dEvent3ObjectPosZ = 0.35;
dEvent3ObjectSpeedX = 0.0;
dEvent3ObjectSpeedY = 0.0;
dEvent3ObjectSpeedZ = -0.5;
dEvent3ObjectColorR = 0.1;
dEvent3ObjectColorG = 0.8;
dEvent3ObjectColorB = 0.2;

// Event 4. A yellow ball dropped from higher up, far left.
iEvent4Type = 1;
dEvent4Time = 5.0;
bEvent4Once = true;
bEvent4AddObject = true;
strEvent4ObjectName = "jaune";
dEvent4ObjectMass = 0.00054;
dEvent4ObjectSize = 0.06;
dEvent4ObjectPosX = -0.18;
dEvent4ObjectPosY = 0.22;
dEvent4ObjectPosZ = 0.5;
dEvent4ObjectSpeedX = 0.0;
dEvent4ObjectSpeedY = 0.0;
dEvent4ObjectSpeedZ = 0.0;
dEvent4ObjectColorR = 0.95;
dEvent4ObjectColorG = 0.85;
dEvent4ObjectColorB = 0.1;

// Event 5. From 6 s on, a small white drop every 3 s at the same place...
iEvent5Type = 1;
dEvent5Time = 6.0;
bEvent5Once = false;
dEvent5AddTime = 3.0;
bEvent5AddObject = true;
strEvent5ObjectName = "goutte";
dEvent5ObjectMass = 0.0000565;
dEvent5ObjectSize = 0.03;
dEvent5ObjectPosX = 0.15;
dEvent5ObjectPosY = -0.2;
dEvent5ObjectPosZ = 0.4;
dEvent5ObjectSpeedX = 0.0;
dEvent5ObjectSpeedY = 0.0;
dEvent5ObjectSpeedZ = 0.0;
dEvent5ObjectColorR = 0.85;
dEvent5ObjectColorG = 0.9;
dEvent5ObjectColorB = 1.0;

// Event 6. ...and from 14.9 s on the oldest drop is taken away every 3 s,
// so no more than three drops are ever in the basin.
iEvent6Type = 1;
dEvent6Time = 14.9;
bEvent6Once = false;
dEvent6AddTime = 3.0;
bEvent6AddObject = false;
strEvent6ObjectName = "goutte";

// Event 7. From 8 s on, an orange ball every 5 s near the front edge...
iEvent7Type = 1;
dEvent7Time = 8.0;
bEvent7Once = false;
dEvent7AddTime = 5.0;
bEvent7AddObject = true;
strEvent7ObjectName = "orange";
dEvent7ObjectMass = 0.00019;
dEvent7ObjectSize = 0.045;
dEvent7ObjectPosX = 0.0;
dEvent7ObjectPosY = -0.28;
dEvent7ObjectPosZ = 0.45;
dEvent7ObjectSpeedX = 0.0;
dEvent7ObjectSpeedY = 0.0;
dEvent7ObjectSpeedZ = 0.0;
dEvent7ObjectColorR = 1.0;
dEvent7ObjectColorG = 0.5;
dEvent7ObjectColorB = 0.05;

// Event 8. ...taken away again from 22.9 s on, every 5 s (at most three).
iEvent8Type = 1;
dEvent8Time = 22.9;
bEvent8Once = false;
dEvent8AddTime = 5.0;
bEvent8AddObject = false;
strEvent8ObjectName = "orange";

// Event 9. At 20 s the red ball leaves the basin...
iEvent9Type = 1;
dEvent9Time = 20.0;
bEvent9Once = true;
bEvent9AddObject = false;
strEvent9ObjectName = "rouge";

// Event 10. ...and comes back at 21 s, dropped on the right-hand side.
iEvent10Type = 1;
dEvent10Time = 21.0;
bEvent10Once = true;
bEvent10AddObject = true;
strEvent10ObjectName = "rouge";
dEvent10ObjectMass = 0.00107;
dEvent10ObjectSize = 0.08;
dEvent10ObjectPosX = 0.25;
dEvent10ObjectPosY = -0.05;
dEvent10ObjectPosZ = 0.5;
dEvent10ObjectSpeedX = 0.0;
dEvent10ObjectSpeedY = 0.0;
dEvent10ObjectSpeedZ = -0.3;
dEvent10ObjectColorR = 0.9;
dEvent10ObjectColorG = 0.15;
dEvent10ObjectColorB = 0.1;

// Event 11. From 30 s on, every 10 s the blue ball is taken away...
iEvent11Type = 1;
dEvent11Time = 30.0;
bEvent11Once = false;
dEvent11AddTime = 10.0;
bEvent11AddObject = false;
strEvent11ObjectName = "bleue";

// Event 12. ...and dropped again one second later, a little left of the centre.
iEvent12Type = 1;
dEvent12Time = 31.0;
bEvent12Once = false;
dEvent12AddTime = 10.0;
bEvent12AddObject = true;
strEvent12ObjectName = "bleue";
dEvent12ObjectMass = 0.00026;
dEvent12ObjectSize = 0.05;
dEvent12ObjectPosX = -0.1;
dEvent12ObjectPosY = 0.1;
dEvent12ObjectPosZ = 0.45;
dEvent12ObjectSpeedX = 0.0;
dEvent12ObjectSpeedY = 0.0;
dEvent12ObjectSpeedZ = 0.0;
dEvent12ObjectColorR = 0.15;
dEvent12ObjectColorG = 0.3;
dEvent12ObjectColorB = 0.95;

// Event 13. At 40 s a large purple ball joins, far right.
iEvent13Type = 1;
dEvent13Time = 40.0;
bEvent13Once = true;
bEvent13AddObject = true;
strEvent13ObjectName = "violette";
dEvent13ObjectMass = 0.00072;
dEvent13ObjectSize = 0.07;
dEvent13ObjectPosX = 0.2;
dEvent13ObjectPosY = 0.25;
dEvent13ObjectPosZ = 0.5;
dEvent13ObjectSpeedX = 0.0;
dEvent13ObjectSpeedY = 0.0;
dEvent13ObjectSpeedZ = 0.0;
dEvent13ObjectColorR = 0.6;
dEvent13ObjectColorG = 0.2;
dEvent13ObjectColorB = 0.8;

// Event 14. At 50 s the yellow ball leaves...
iEvent14Type = 1;
dEvent14Time = 50.0;
bEvent14Once = true;
bEvent14AddObject = false;
strEvent14ObjectName = "jaune";

// Event 15. ...and falls again at 52 s on the left-hand side.
iEvent15Type = 1;
dEvent15Time = 52.0;
bEvent15Once = true;
bEvent15AddObject = true;
strEvent15ObjectName = "jaune";
dEvent15ObjectMass = 0.00054;
dEvent15ObjectSize = 0.06;
dEvent15ObjectPosX = -0.25;
dEvent15ObjectPosY = 0.0;
dEvent15ObjectPosZ = 0.5;
dEvent15ObjectSpeedX = 0.0;
dEvent15ObjectSpeedY = 0.0;
dEvent15ObjectSpeedZ = 0.0;
dEvent15ObjectColorR = 0.95;
dEvent15ObjectColorG = 0.85;
dEvent15ObjectColorB = 0.1;
)opt";

// island/'s events: the balls fall on both sides of the island, one on
// the island itself, and drops keep coming on either side.
static const char* const g_islandEventsText = R"opt(iEventNumber = 7;

// Event 1. A red ball falls into the left half of the pool.
iEvent1Type = 1;
dEvent1Time = 0.5;
strEvent1ObjectName = "rouge";
dEvent1ObjectMass = 0.00045;
dEvent1ObjectSize = 0.06;
dEvent1ObjectPosX = -0.24;
dEvent1ObjectPosY = 0.12;
dEvent1ObjectPosZ = 0.5;
dEvent1ObjectColorR = 0.9;
dEvent1ObjectColorG = 0.1;
dEvent1ObjectColorB = 0.1;

// Event 2. A blue ball falls into the right half.
iEvent2Type = 1;
dEvent2Time = 2.0;
strEvent2ObjectName = "bleue";
dEvent2ObjectMass = 0.00026;
dEvent2ObjectSize = 0.05;
dEvent2ObjectPosX = 0.25;
dEvent2ObjectPosY = -0.05;
dEvent2ObjectPosZ = 0.5;
dEvent2ObjectColorR = 0.1;
dEvent2ObjectColorG = 0.3;
dEvent2ObjectColorB = 0.9;

// Event 3. A yellow ball lands on the island and stays there.
iEvent3Type = 1;
dEvent3Time = 4.0;
strEvent3ObjectName = "jaune";
dEvent3ObjectMass = 0.000134;
dEvent3ObjectSize = 0.04;
dEvent3ObjectPosX = 0.0;
dEvent3ObjectPosY = 0.08;
dEvent3ObjectPosZ = 0.45;
dEvent3ObjectColorR = 0.95;
dEvent3ObjectColorG = 0.85;
dEvent3ObjectColorB = 0.1;

// Event 4. From 6 s on, a drop every 4 s on the left, rolling toward the
// channel...
iEvent4Type = 1;
dEvent4Time = 6.0;
bEvent4Once = false;
dEvent4AddTime = 4.0;
strEvent4ObjectName = "goutte";
dEvent4ObjectMass = 0.0000565;
dEvent4ObjectSize = 0.03;
dEvent4ObjectPosX = -0.2;
dEvent4ObjectPosY = -0.26;
dEvent4ObjectPosZ = 0.4;
dEvent4ObjectSpeedX = 0.4;
dEvent4ObjectColorR = 0.85;
dEvent4ObjectColorG = 0.9;
dEvent4ObjectColorB = 1.0;

// Event 5. ...and from 8 s on, one every 4 s on the far right.
iEvent5Type = 1;
dEvent5Time = 8.0;
bEvent5Once = false;
dEvent5AddTime = 4.0;
strEvent5ObjectName = "orange";
dEvent5ObjectMass = 0.0000565;
dEvent5ObjectSize = 0.03;
dEvent5ObjectPosX = 0.22;
dEvent5ObjectPosY = 0.25;
dEvent5ObjectPosZ = 0.4;
dEvent5ObjectColorR = 1.0;
dEvent5ObjectColorG = 0.5;
dEvent5ObjectColorB = 0.05;

// Events 6 and 7. The oldest of each kind of drop is taken away every 4 s
// once three are in the pool.
iEvent6Type = 1;
dEvent6Time = 17.9;
bEvent6Once = false;
dEvent6AddTime = 4.0;
bEvent6AddObject = false;
strEvent6ObjectName = "goutte";

iEvent7Type = 1;
dEvent7Time = 19.9;
bEvent7Once = false;
dEvent7AddTime = 4.0;
bEvent7AddObject = false;
strEvent7ObjectName = "orange";
)opt";

// default/ and the same scene on finer grids of the same basin. The spray
// threshold rises in proportion to the cells along a side; everything else
// stays, and keeps the scene's character (README.md, "Changing the grid").
// island/ is default/'s pool on fine/'s grid, shaped by a wall map.
const ShippedScene g_shippedScenes[4] = {
    {"default", "50", "0.5", "0", ""},
    {"fine", "128", "1.28", "1",
     "//\n"
     "// fine/: the scene of default/ on 128 x 128 cells of 7.8 mm instead of\n"
     "// 50 x 50 of 2 cm, the spray threshold raised to 0.5 x 128 / 50. Steps\n"
     "// of 0.03 s are taken in 2 sub-steps: about 14 times default/'s work.\n"},
    {"large", "512", "5.12", "1",
     "//\n"
     "// large/: the scene of default/ on 512 x 512 cells of 2 mm instead of\n"
     "// 50 x 50 of 2 cm, the spray threshold raised to 0.5 x 512 / 50. Steps\n"
     "// of 0.03 s are taken in 3 sub-steps: about 340 times default/'s work.\n"},
    {"island", "128", "1.28", "1",
     "//\n"
     "// island/: a round pool with an island and a channel on 128 x 128 cells,\n"
     "// drawn by walls.tga (README.md, \"Any basin shape\"); the spray\n"
     "// threshold as fine/'s, raised to 0.5 x 128 / 50.\n",
     true, g_islandEventsText},
};

bool IsIslandWall(double x, double y)
{
    const double pool = 0.46, island = 0.12, islandY = 0.08, dam = 0.03;
    if (x * x + y * y >= pool * pool)
        return true;
    const double iy = y - islandY;
    if (x * x + iy * iy < island * island)
        return true;
    const bool inChannel = y > -0.30 && y < -0.22;
    return x > -dam && x < dam && !inChannel;
}

// Replaces the one line "key = ...;" of `text`.
static void SetValue(std::string& text, const std::string& key, const char* value)
{
    const size_t start = text.find("\n" + key + " = ") + 1;
    const size_t end = text.find('\n', start);
    text.replace(start, end - start, key + " = " + value + ";");
}

std::string SimulationOptFor(const ShippedScene& scene)
{
    std::string text = g_simulationOptText;
    text.insert(text.find('\n') + 1, scene.note);
    SetValue(text, "iSimulationWidth", scene.cellsPerSide);
    SetValue(text, "iSimulationHeight", scene.cellsPerSide);
    SetValue(text, "dParticleThresHold", scene.particleThreshold);
    if (scene.wallMap)
        text += "\n// The basin seen from above, one pixel per cell (+x to the right, +y\n"
                "// up): dark pixels are walls, the border always is.\n"
                "strWallMapFileName = \"walls.tga\";\n";
    return text;
}

// A scene with a wall map is watched from a little higher, looking down
// at about 37 degrees, so that the walls hide less of the water.
std::string SceneOptFor(const ShippedScene& scene)
{
    std::string text = g_sceneOptText;
    if (!scene.wallMap)
        return text;
    text.insert(text.find('\n') + 1, "//\n// island/: the camera a little higher than default/'s.\n");
    SetValue(text, "v3fCamEyeY", "-1.05");
    SetValue(text, "v3fCamEyeZ", "0.95");
    SetValue(text, "v3fCamDirY", "0.8");
    SetValue(text, "v3fCamDirZ", "-0.6");
    SetValue(text, "v3fCamUpwY", "0.6");
    SetValue(text, "v3fCamUpwZ", "0.8");
    return text;
}

std::string EventsOptFor(const ShippedScene& scene)
{
    if (scene.events == nullptr)
        return g_eventsOptText;
    const std::string text = g_eventsOptText;
    return text.substr(0, text.find("\niEventNumber") + 1) + scene.events;
}

std::string GraphicsOptFor(const ShippedScene& scene)
{
    std::string text = g_graphicsOptText;
    SetValue(text, "iLook", scene.look);
    return text;
}

const DefaultOptionFile g_defaultOptionFiles[4] = {
    {"graphics.opt", g_graphicsOptText},
    {"scene.opt", g_sceneOptText},
    {"simulation.opt", g_simulationOptText},
    {"events.opt", g_eventsOptText},
};
