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
// first line of its simulation.opt. Every other file is default/'s.
struct ShippedScene
{
    const char* directory;
    const char* cellsPerSide;
    const char* particleThreshold;
    const char* look;
    const char* note;
};

// default/, fine/ and large/, in that order.
extern const ShippedScene g_shippedScenes[3];

// The simulation.opt and graphics.opt of a shipped scene.
std::string SimulationOptFor(const ShippedScene& scene);
std::string GraphicsOptFor(const ShippedScene& scene);
