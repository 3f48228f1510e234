// DrawReadout: the readout panel in window coordinates. Nothing of the
// picture under it changes outside the panel.
//
// Deliberately not done: no font of our own, no wrapping or clipping of
// long lines (the panel grows with the longest line).

#include "scene/Readout.h"

#include <GL/freeglut.h>

#include "graphics/Graphics.h"

namespace
{
void* const FONT = GLUT_BITMAP_8_BY_13;
constexpr int LINE_HEIGHT = 15;  // pixels: 13 of glyph, 2 between lines
constexpr int MARGIN = 6;        // pixels around the text, inside the panel
constexpr int CORNER = 4;        // pixels between the panel and the window's edges

// Window pixels, origin at the lower-left corner.
void EnterWindowCoordinates()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, CGraphics::iScreenWidth, 0.0, CGraphics::iScreenHeight, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void LeaveWindowCoordinates()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// Plain colour, no lighting, texture, depth or culling; filled polygons
// whatever F5 chose.
void SetFlatState()
{
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}
}  // namespace

void DrawReadout(const std::vector<std::string>& lines)
{
    int width = 0;
    for (const std::string& line : lines)
    {
        int length = glutBitmapLength(FONT, reinterpret_cast<const unsigned char*>(line.c_str()));
        width = length > width ? length : width;
    }
    const int top = CGraphics::iScreenHeight - CORNER;
    const int bottom = top - 2 * MARGIN - LINE_HEIGHT * int(lines.size());

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    EnterWindowCoordinates();
    SetFlatState();
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    glRecti(CORNER, bottom, CORNER + width + 2 * MARGIN, top);
    glColor3f(1.0f, 1.0f, 1.0f);
    int baseline = top - MARGIN - 11;  // the font's ascent is 11 of its 13 pixels
    for (const std::string& line : lines)
    {
        glRasterPos2i(CORNER + MARGIN, baseline);
        for (unsigned char c : line)
            glutBitmapCharacter(FONT, c);
        baseline -= LINE_HEIGHT;
    }
    LeaveWindowCoordinates();
    glPopAttrib();
}
