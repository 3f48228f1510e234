#include "common/GraphicsHooks.h"

CGraphicsHooks g_graphicsHooks;
