// The four option files shipped in default/, as text. Kept apart from the
// picture and mesh code so that tuning a value is an edit of one literal.
#pragma once

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
