// CShadedLook: the viewer's second look (graphics.opt iLook = 1, F7): the
// water drawn by shaders, at a cost set by the window rather than the
// grid. The heights go to a floating-point texture once per frame; the
// surface is a mesh as fine as the window needs, raised to them in the
// vertex shader, its normals found per pixel; the water refracts what lies
// under it, reflects a sky with a sun, deepens in colour with depth; the
// waves' caustics and the balls' shadows light the bottom; the balls are
// spheres traced per pixel, the drops screen-facing sprites; walls and a
// deck make the pool's edge. Graphics side: this header names no OpenGL
// type, so that the fixed look's files may include it.
//
// Needs OpenGL 3.0 with GLSL 1.30 (in the compatibility context GLUT gives,
// which the fixed look needs too). Without them, or when a shader does not
// compile or link, one line goes to the log and the look is refused: the
// caller stays on the fixed look.
//
// Deliberately not done: no reflections of the balls or the walls in the
// water (only the sky), no view from under the water (the surface, like
// the fixed look's, is seen from above only), no change to the
// simulation.
#pragma once

#include <memory>

class CWaterBody;

class CShadedLook
{
public:
    CShadedLook();
    ~CShadedLook();
    CShadedLook(const CShadedLook&) = delete;
    CShadedLook& operator=(const CShadedLook&) = delete;

    // Checks the context and builds every shader, the first time; later
    // calls give the same answer. False (one line logged) when the look
    // cannot be had. Needs the window's context to be current.
    bool Prepare();

    // Draws `body` under the current camera and projection in place of
    // CWaterBody::Draw, leaving every piece of OpenGL state as it found
    // it. False, drawing nothing, when the look cannot be had, or cannot
    // draw this body (a grid larger than a texture may be: logged once per
    // body): the caller then draws the fixed look.
    bool Draw(const CWaterBody& body);

    // The body drawn so far is being replaced (a reload): what was made
    // for it is made again for the next body drawn.
    void ForgetBody();

private:
    struct Parts;
    std::unique_ptr<Parts> parts;
    enum class State { UNTRIED, READY, REFUSED } state = State::UNTRIED;
};
