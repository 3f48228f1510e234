// CApplication's GLUT callbacks: each one turns a window event into a call
// on the current scene, if the scene's event mask asks for that kind (the
// mask is asked on every event, never cached). Escape, F5 and F6 belong to
// the application and never reach the scene.
//
// Deliberately not done: no key repeat handling, no passive mouse motion
// (only drags are delivered), no redraw after a screenshot.

#include <GL/freeglut.h>

#include "app/Application.h"
#include "app/Scene.h"
#include "assets/TgaImage.h"
#include "graphics/Graphics.h"

// F5's wireframe view; the polygon mode it sets is global GL state that
// stays in force for every later frame.
bool g_bWireframe = false;

namespace
{

constexpr unsigned char KEY_ESCAPE = 27;

bool SceneWants(int eventBit)
{
    return g_pCurrentScene != nullptr && (g_pCurrentScene->GetEventMask() & eventBit) != 0;
}

void ToggleWireframe()
{
    g_bWireframe = !g_bWireframe;
    glPolygonMode(GL_FRONT_AND_BACK, g_bWireframe ? GL_LINE : GL_FILL);
    glutPostRedisplay();
}

// "screenshot.tga" in the working directory, replaced by every F6. A
// failed save is not reported: the key simply has no visible effect.
void SaveScreenshot()
{
    CTgaImage image;
    int width = CGraphics::iScreenWidth, height = CGraphics::iScreenHeight;
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF)
        return;
    if (!image.Allocate(uint16_t(width), uint16_t(height), 24))
        return;
    ReadWindowPixels(image);
    CTgaImage::TgaImageSave("screenshot.tga", &image, true);
    image.cvUnloadImage();
}

}  // namespace

void CApplication::DisplayFunc()
{
    if (g_pCurrentScene != nullptr)
    {
        g_pCurrentScene->Display();
        return;
    }
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    EndFrame();
}

void CApplication::IdleFunc()
{
    if (SceneWants(SCENE_IDLE))
        g_pCurrentScene->IdleScene();
}

void CApplication::KeyboardFunc(unsigned char key, int x, int y)
{
    if (key == KEY_ESCAPE)
        Quit();
    if (SceneWants(SCENE_KEYBOARD))
        g_pCurrentScene->KeyStroke(key, x, y);
}

void CApplication::SpecialFunc(int key, int x, int y)
{
    if (key == GLUT_KEY_F5)
        ToggleWireframe();
    else if (key == GLUT_KEY_F6)
        SaveScreenshot();
    else if (SceneWants(SCENE_KEYBOARD))
        g_pCurrentScene->KeyboardMove(key, x, y);
}

void CApplication::MouseFunc(int button, int state, int x, int y)
{
    if (SceneWants(SCENE_MOUSE))
        g_pCurrentScene->MouseClic(button, state, x, y);
}

void CApplication::MotionFunc(int x, int y)
{
    if (SceneWants(SCENE_MOUSE))
        g_pCurrentScene->MouseMove(x, y);
}
