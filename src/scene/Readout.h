// DrawReadout: lines of text in a dark panel at the top-left corner of the
// window, drawn over whatever the frame holds (the viewer's F3 readout).
// Graphics side.
#pragma once

#include <string>
#include <vector>

// Latin-1 text in GLUT's 8 × 13 bitmap font, in window pixels. Every piece
// of OpenGL state it changes is put back as it was: attributes (F5's
// polygon mode, lighting, texturing, depth, blending, colour, raster
// position) and both matrices.
void DrawReadout(const std::vector<std::string>& lines);
