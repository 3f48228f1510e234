// CWaterScene: camera, lighting, animation modes and frame capture around
// the water simulation.
//
// Deliberately not done: Release frees nothing (the process ends right
// after it), the camera vectors are never renormalised, and a frame that
// cannot be written is not reported (recording goes on, the number still
// advances).

#include "scene/WaterScene.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/Application.h"
#include "app/Log.h"
#include "config/OptionsParser.h"
#include "graphics/Graphics.h"
#include "scene/Camera.h"
#include "scene/FrameName.h"

namespace
{

// F9's view of the raw cell heights; shared by every scene instance.
bool g_bShowCellGrid = false;

// Simulated seconds per F1 press (per recorded frame: RECORD_STEP).
constexpr float SINGLE_STEP = 0.003f;

// Longest interval one idle call of the real-time run advances: after a
// very long frame (a paused process, a suspended laptop, a slow renderer)
// the water slows down instead of the window stalling on many sub-steps.
constexpr double MAX_RUNNING_INTERVAL = 0.1;

void EndFrame()
{
    if (CGraphics::bDoubleBuffer)
        glutSwapBuffers();
    else
        glFlush();
}

// Per-frame draw time on standard error when RIPPLEX_FRAME_TIMES is set;
// glFinish makes the time include the rendering, not just its queuing.
bool FrameTimesWanted()
{
    static const bool wanted = std::getenv("RIPPLEX_FRAME_TIMES") != nullptr;
    return wanted;
}

}  // namespace

bool CWaterScene::Init()
{
    const COptionList* options = COptionsParser::ParseFile("scene.opt", false);
    if (options == nullptr)
        return false;
    fRotationDivisor = options->GetFloat("fRotationDivisor", 0.003f);
    fStep = options->GetFloat("fStep", 0.3f);
    InitCamera();

    if (!simulation.Init())
    {
        CLog::Write("CWaterScene::Init -- Impossible d'initialiser la sc\xE8"
                    "ne");
        return false;
    }
    bRunning = false;
    bRecording = false;
    InitLighting();
    return true;
}

void CWaterScene::InitCamera()
{
    const COptionList* options = COptionsParser::ParseFile("scene.opt", false);
    if (options == nullptr)
    {
        v3fCamEye = Vec3{0.0f, 0.0f, 1.0f};
        v3fCamDir = Vec3{0.0f, 0.0f, -1.0f};
        v3fCamUpw = Vec3{0.0f, 1.0f, 0.0f};
        return;
    }
    v3fCamEye = Vec3{options->GetFloat("v3fCamEyeX", 0.0f), options->GetFloat("v3fCamEyeY", 0.0f),
                     options->GetFloat("v3fCamEyeZ", 1.0f)};
    v3fCamDir = Vec3{options->GetFloat("v3fCamDirX", 0.0f), options->GetFloat("v3fCamDirY", 0.0f),
                     options->GetFloat("v3fCamDirZ", -1.0f)};
    v3fCamUpw = Vec3{options->GetFloat("v3fCamUpwX", 0.0f), options->GetFloat("v3fCamUpwY", 1.0f),
                     options->GetFloat("v3fCamUpwZ", 0.0f)};
}

// Light 0 is white and slightly attenuated; its position is set every frame
// after the view transform, so it stays fixed in the world.
void CWaterScene::InitLighting()
{
    const GLfloat diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 0.5f);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.015f);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
}

void CWaterScene::Release()
{
}

void CWaterScene::Display()
{
    bool timed = FrameTimesWanted();
    CTimer frameTimer;
    if (timed)
        frameTimer.Start();

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(v3fCamEye.x, v3fCamEye.y, v3fCamEye.z, v3fCamEye.x + v3fCamDir.x,
              v3fCamEye.y + v3fCamDir.y, v3fCamEye.z + v3fCamDir.z, v3fCamUpw.x, v3fCamUpw.y,
              v3fCamUpw.z);
    // w = 0: a directional light shining from the (+x, +y, +z) side.
    const GLfloat lightPosition[4] = {1.0f, 1.0f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    simulation.Draw();

    if (timed)
    {
        glFinish();
        std::fprintf(stderr, "frame %.3f ms\n", frameTimer.Lap() * 1000.0);
    }
    EndFrame();

    // Unattended recording begins once the window holds a drawn picture.
    if (framesToRecord > 0 && !unattendedStarted)
    {
        unattendedStarted = true;
        if (!bRecording)
            ToggleRecording();
    }
}

// While recording, every idle call advances exactly one frame's 0.03 s,
// whether or not the real-time run is on too; the real-time run's timer
// restarts when recording stops.
void CWaterScene::IdleScene()
{
    if (bRecording)
    {
        if (!simulation.Advance(double(RECORD_STEP)))
        {
            StopAfterDivergence();
            return;
        }
        RecordFrame();
        glutPostRedisplay();
        if (framesToRecord > 0 && iFrameNumber >= framesToRecord)
            CApplication::Quit();
    }
    else if (bRunning)
    {
        if (!simulation.Advance(std::min(timer.Lap(), MAX_RUNNING_INTERVAL)))
        {
            StopAfterDivergence();
            return;
        }
        glutPostRedisplay();
    }
}

// The simulation blew up (Advance has logged it, once): nothing moves any
// more, and the window stays so that the user can look around and quit.
// An unattended recording has no user: it ends with EXIT_DIVERGED.
void CWaterScene::StopAfterDivergence()
{
    bRunning = false;
    bRecording = false;
    UpdateIdleCallback();
    glutPostRedisplay();
    if (framesToRecord > 0)
        CApplication::Quit(EXIT_DIVERGED);
}

// The idle callback runs while either mode is on.
void CWaterScene::UpdateIdleCallback()
{
    glutIdleFunc(bRunning || bRecording ? CApplication::IdleFunc : nullptr);
}

// Reads what was last drawn (before this idle call's steps, so a sequence
// lags the simulation by one recorded step) and writes the next numbered
// file. The frame keeps the size recording started with: see
// ReadWindowPixels for a window resized meanwhile.
void CWaterScene::RecordFrame()
{
    ReadWindowPixels(captureImage);
    char name[FRAME_NAME_SIZE];
    FormatFrameName(iFrameNumber, name);
    if (iFrameNumber < INT32_MAX)
        ++iFrameNumber;
    if (captureImage.data == nullptr)
        return;
    // A full disk or an unwritable directory must not stop the recording
    // (the frame number still advances), but the user has to learn of it:
    // one line for the first frame of each recording that cannot be saved.
    if (!CTgaImage::TgaImageSave(name, &captureImage, true) && !recordingFailureLogged)
    {
        CLog::Write("CWaterScene::IdleScene -- Impossible d'\xE9" "crire l'image %s,"
                    " l'enregistrement continue", name);
        recordingFailureLogged = true;
    }
}

int CWaterScene::GetEventMask()
{
    return SCENE_KEYBOARD | SCENE_MOUSE | SCENE_IDLE;
}

void CWaterScene::ToggleRunning()
{
    bRunning = !bRunning;
    UpdateIdleCallback();
    if (bRunning)
        timer.Start();
}

// A new capture buffer sized to the window at each start; it stays
// allocated when recording stops. A window too large for a TGA (over 65535
// pixels a side) is recorded at 65535 and cropped.
void CWaterScene::ToggleRecording()
{
    bRecording = !bRecording;
    if (!bRecording)
    {
        if (bRunning)
            timer.Start();  // real time resumes from now, not from before the recording
        UpdateIdleCallback();
        return;
    }
    iFrameNumber = 0;
    recordingFailureLogged = false;
    int width = std::clamp(CGraphics::iScreenWidth, 0, 0xFFFF);
    int height = std::clamp(CGraphics::iScreenHeight, 0, 0xFFFF);
    captureImage.Allocate(uint16_t(width), uint16_t(height), 24);
    UpdateIdleCallback();
}

void CWaterScene::KeyboardMove(int key, int, int)
{
    switch (key)
    {
    case GLUT_KEY_F1:
        if (!simulation.Advance(double(SINGLE_STEP), false))
            StopAfterDivergence();
        glutPostRedisplay();
        break;
    case GLUT_KEY_F2:
        ToggleRunning();
        break;
    case GLUT_KEY_F4:
        ToggleRecording();
        break;
    case GLUT_KEY_F9:
        g_bShowCellGrid = !g_bShowCellGrid;
        simulation.showCellGrid = g_bShowCellGrid;
        glutPostRedisplay();
        break;
    default:
        if (MoveCamera(key))
            glutPostRedisplay();
        break;
    }
}

// True when the camera moved. Up and Down refuse to move a camera looking
// straight up or down (no horizontal direction), and no move ever leaves a
// non-finite coordinate.
bool CWaterScene::MoveCamera(int key)
{
    switch (key)
    {
    case GLUT_KEY_LEFT:
        return Camera::MoveLeft(v3fCamEye, v3fCamDir, v3fCamUpw, fStep);
    case GLUT_KEY_RIGHT:
        return Camera::MoveRight(v3fCamEye, v3fCamDir, v3fCamUpw, fStep);
    case GLUT_KEY_UP:
        return Camera::MoveForward(v3fCamEye, v3fCamDir, fStep);
    case GLUT_KEY_DOWN:
        return Camera::MoveBackward(v3fCamEye, v3fCamDir, fStep);
    case GLUT_KEY_PAGE_UP:
        return Camera::MoveUp(v3fCamEye, fStep);
    case GLUT_KEY_PAGE_DOWN:
        return Camera::MoveDown(v3fCamEye, fStep);
    default:
        return false;
    }
}

void CWaterScene::KeyStroke(unsigned char, int, int)
{
}

void CWaterScene::MouseMove(int x, int y)
{
    Camera::Drag(v3fCamDir, v3fCamUpw, iMouseX, iMouseY, x, y, fRotationDivisor);
    iMouseX = x;
    iMouseY = y;
    glutPostRedisplay();
}

void CWaterScene::MouseClic(int, int, int x, int y)
{
    iMouseX = x;
    iMouseY = y;
}

void CWaterScene::RecordThenQuit(int frames)
{
    framesToRecord = frames > 0 ? frames : 0;
}
