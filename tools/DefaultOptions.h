// The four option files shipped in default/, as text. Kept apart from the
// picture and mesh code so that tuning a value is an edit of one literal.
#pragma once

#include <string>

struct DefaultOptionFile
{
    const char* fileName;
    const char* text;
};

extern const char* const g_graphicsOptText;
extern const char* const g_sceneOptText;
extern const char* const g_simulationOptText;
extern const char* const g_eventsOptText;

// The four files above with their names, in a fixed order.
extern const DefaultOptionFile g_defaultOptionFiles[4];

// A shipped working directory: its name, the cells along each side, the
// spray threshold and the look (option texts), and a note put after the
// first line of its simulation.opt. A scene with a wall map also has its
// own events (after default/'s explanation of the keys) and a camera of
// its own. Every other file is default/'s.
struct ShippedScene
{
    const char* directory;
    const char* cellsPerSide;
    const char* particleThreshold;
    const char* look;
    const char* note;
    bool wallMap = false;           // walls.tga, made by the generator
    const char* events = nullptr;   // null: default/'s events
};

// default/, fine/, large/ and island/, in that order.
extern const ShippedScene g_shippedScenes[4];

// The option files of a shipped scene.
std::string SimulationOptFor(const ShippedScene& scene);
std::string GraphicsOptFor(const ShippedScene& scene);
std::string SceneOptFor(const ShippedScene& scene);
std::string EventsOptFor(const ShippedScene& scene);

// island/'s basin seen from above, at a point of the 1 x 1 basin (world x,
// y in -0.5 .. 0.5): a round pool, an island in its middle and a dam from
// the island to the rim on either side, the near dam cut by a channel.
bool IsIslandWall(double x, double y);
