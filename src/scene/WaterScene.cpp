// CWaterScene: camera, lighting, animation modes and frame capture around
// the water simulation, and the readout, the reload and the finger.
//
// Deliberately not done: Release frees nothing (the process ends right
// after it) but ends a video being recorded, so that its file is whole;
// the camera vectors are never renormalised.

#include "scene/WaterScene.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/Application.h"
#include "app/Log.h"
#include "config/OptionsParser.h"
#include "graphics/Graphics.h"
#include "scene/Camera.h"
#include "scene/FrameName.h"
#include "scene/Readout.h"
#include "scene/ScreenMesh.h"
#include "sim/WaterSummary.h"

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

// Exit status of an unattended recording (--record N) whose video encoder
// failed: nobody is there to see the window.
constexpr int EXIT_RECORDING_FAILED = 1;

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
    ReadFingerOptions(*options);
    InitCamera(*options);

    if (!simulation->Init())
    {
        CLog::Write("CWaterScene::Init -- Impossible d'initialiser la sc\xE8"
                    "ne");
        return false;
    }
    bRunning = false;
    bRecording = false;
    InitLighting();
    iLook = CGraphics::iLook;
    if (iLook == CGraphics::LOOK_SHADED && !shadedLook.Prepare())
        iLook = CGraphics::LOOK_FIXED;
    return true;
}

// A value that is not a finite number (or a negative radius) would press
// nothing sensible: it is refused, and the default stays.
void CWaterScene::ReadFingerOptions(const COptionList& options)
{
    const struct { const char* key; float* field; bool negativeAllowed; } keys[] = {
        {"fFingerRadius", &fFingerRadius, false},
        {"fFingerDepth", &fFingerDepth, true},
    };
    for (const auto& k : keys)
    {
        const float value = options.GetFloat(k.key, *k.field);
        if (std::isfinite(value) && (k.negativeAllowed || value >= 0.0f))
            *k.field = value;
        else
            CLog::Write("CWaterScene::Init -- Param\xE8tre %s invalide : %g, valeur par d\xE9"
                        "faut %g utilis\xE9" "e", k.key, double(value), double(*k.field));
    }
}

void CWaterScene::InitCamera(const COptionList& options)
{
    v3fCamEye = Vec3{options.GetFloat("v3fCamEyeX", 0.0f), options.GetFloat("v3fCamEyeY", 0.0f),
                     options.GetFloat("v3fCamEyeZ", 1.0f)};
    v3fCamDir = Vec3{options.GetFloat("v3fCamDirX", 0.0f), options.GetFloat("v3fCamDirY", 0.0f),
                     options.GetFloat("v3fCamDirZ", -1.0f)};
    v3fCamUpw = Vec3{options.GetFloat("v3fCamUpwX", 0.0f), options.GetFloat("v3fCamUpwY", 1.0f),
                     options.GetFloat("v3fCamUpwZ", 0.0f)};
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
    FinishVideo();
}

void CWaterScene::Display()
{
    const bool timed = FrameTimesWanted() || bShowReadout;
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
    DrawWorld();

    if (timed)
    {
        glFinish();
        dDrawSeconds = frameTimer.Lap();
        if (FrameTimesWanted())
            std::fprintf(stderr, "frame %.3f ms\n", dDrawSeconds * 1000.0);
    }
    CountFrame();
    if (bShowReadout)
        DrawReadout(ReadoutLines());
    EndFrame();

    // Unattended recording begins once the window holds a drawn picture.
    if (framesToRecord > 0 && !unattendedStarted)
    {
        unattendedStarted = true;
        if (!bRecording)
            ToggleRecording();
    }
}

// The shaded look, when chosen and able to draw this body; the fixed look
// otherwise.
void CWaterScene::DrawWorld()
{
    bShadedDrawn = iLook == CGraphics::LOOK_SHADED && shadedLook.Draw(*simulation);
    if (!bShadedDrawn)
        simulation->Draw();
}

// F7: the other look; a shaded look the context cannot give stays fixed.
void CWaterScene::ToggleLook()
{
    iLook = iLook == CGraphics::LOOK_SHADED ? CGraphics::LOOK_FIXED : CGraphics::LOOK_SHADED;
    if (iLook == CGraphics::LOOK_SHADED && !shadedLook.Prepare())
        iLook = CGraphics::LOOK_FIXED;
    glutPostRedisplay();
}

// While recording, every idle call advances exactly one frame's 0.03 s,
// whether or not the real-time run is on too; the real-time run's timer
// restarts when recording stops.
void CWaterScene::IdleScene()
{
    if (bRecording)
    {
        if (!simulation->Advance(double(RECORD_STEP)))
        {
            StopAfterDivergence();
            return;
        }
        RecordFrame();
        glutPostRedisplay();
        if (framesToRecord > 0 && iFrameNumber >= framesToRecord)
            CApplication::Quit(FinishVideo() ? 0 : EXIT_RECORDING_FAILED);
    }
    else if (bRunning || simulation->finger.down)
    {
        if (!simulation->Advance(std::min(timer.Lap(), MAX_RUNNING_INTERVAL)))
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
    FinishVideo();  // the video up to the divergence is kept
    UpdateIdleCallback();
    glutPostRedisplay();
    if (framesToRecord > 0)
        CApplication::Quit(EXIT_DIVERGED);
}

// The idle callback runs while either mode is on, and while the finger
// presses the water of a simulation that can still move.
void CWaterScene::UpdateIdleCallback()
{
    const bool fingerMoves = simulation->finger.down && simulation->iDivergence == DIVERGENCE_NONE;
    glutIdleFunc(bRunning || bRecording || fingerMoves ? CApplication::IdleFunc : nullptr);
}

// Reads what was last drawn (before this idle call's steps, so a sequence
// lags the simulation by one recorded step) and writes the next numbered
// file. The frame keeps the size recording started with: see
// ReadWindowPixels for a window resized meanwhile.
void CWaterScene::RecordFrame()
{
    ReadWindowPixels(captureImage);
    if (!videoFile.empty())
    {
        SendVideoFrame();
        return;
    }
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

// The encoder for frames of the capture image's size, replacing the file.
// False, with one line, when it cannot start: the recording does not.
bool CWaterScene::StartVideo()
{
    std::string reason = "m\xE9moire insuffisante pour l'image";
    if (captureImage.data != nullptr &&
        video.Start(videoProgram, videoFile, captureImage.width, captureImage.height, &reason))
        return true;
    CLog::Write("CWaterScene::ToggleRecording -- Impossible de lancer l'encodeur vid\xE9o pour %s"
                " (%s), l'enregistrement ne d\xE9marre pas", videoFile.c_str(), reason.c_str());
    return false;
}

// An encoder that has failed (it ended, or refuses the frame) stops the
// recording with one line; the window stays, and an unattended recording
// ends with EXIT_RECORDING_FAILED.
void CWaterScene::SendVideoFrame()
{
    if (iFrameNumber < INT32_MAX)
        ++iFrameNumber;
    std::string reason;
    if (video.WriteFrame(captureImage.data, &reason))
        return;
    CLog::Write("CWaterScene::IdleScene -- L'encodeur vid\xE9o a \xE9" "chou\xE9 pour %s (%s), "
                "l'enregistrement s'arr\xEAte", videoFile.c_str(), reason.c_str());
    ToggleRecording();
    if (framesToRecord > 0)
        CApplication::Quit(EXIT_RECORDING_FAILED);
}

// Ends the frames and waits for the encoder to close the file. False, with
// one line, when it did not end well; true when no video was running.
bool CWaterScene::FinishVideo()
{
    std::string reason;
    if (video.Finish(&reason))
        return true;
    CLog::Write("CWaterScene::ToggleRecording -- La vid\xE9o %s n'a pas pu \xEAtre termin\xE9" "e (%s)",
                videoFile.c_str(), reason.c_str());
    return false;
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
        FinishVideo();
        if (bRunning || simulation->finger.down)
            timer.Start();  // real time resumes from now, not from before the recording
        UpdateIdleCallback();
        return;
    }
    iFrameNumber = 0;
    recordingFailureLogged = false;
    int width = std::clamp(CGraphics::iScreenWidth, 0, 0xFFFF);
    int height = std::clamp(CGraphics::iScreenHeight, 0, 0xFFFF);
    captureImage.Allocate(uint16_t(width), uint16_t(height), 24);
    if (!videoFile.empty() && !StartVideo())
    {
        bRecording = false;
        if (framesToRecord > 0)
            CApplication::Quit(EXIT_RECORDING_FAILED);
        return;
    }
    UpdateIdleCallback();
}

void CWaterScene::KeyboardMove(int key, int, int)
{
    switch (key)
    {
    case GLUT_KEY_F1:
        if (!simulation->Advance(double(SINGLE_STEP), false))
            StopAfterDivergence();
        glutPostRedisplay();
        break;
    case GLUT_KEY_F2:
        ToggleRunning();
        break;
    case GLUT_KEY_F3:
        bShowReadout = !bShowReadout;
        glutPostRedisplay();
        break;
    case GLUT_KEY_F4:
        ToggleRecording();
        break;
    case GLUT_KEY_F7:
        ToggleLook();
        break;
    case GLUT_KEY_F8:
        Reload();
        break;
    case GLUT_KEY_F9:
        g_bShowCellGrid = !g_bShowCellGrid;
        simulation->showCellGrid = g_bShowCellGrid;
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
    if (fingerDrag)
        PressFinger(x, y);
    else
        Camera::Drag(v3fCamDir, v3fCamUpw, iMouseX, iMouseY, x, y, fRotationDivisor);
    iMouseX = x;
    iMouseY = y;
    glutPostRedisplay();
}

// Shift + left button starts a finger drag instead of a turn of the
// camera; it lasts until the left button is released, Shift or not.
void CWaterScene::MouseClic(int button, int state, int x, int y)
{
    iMouseX = x;
    iMouseY = y;
    if (button != GLUT_LEFT_BUTTON)
        return;
    if (state == GLUT_DOWN && (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0)
    {
        fingerDrag = true;
        PressFinger(x, y);
    }
    else if (state == GLUT_UP && fingerDrag)
    {
        fingerDrag = false;
        LiftFinger();
    }
}

// The finger presses where the ray through the pixel meets the water at
// rest, when that lies on the surface as drawn (from the first corner to
// the last in each direction). The plane at rest, not the waves: the dent
// under the finger would otherwise draw the point along the ray as it
// deepens. Off the water, or with the camera under it, the finger lifts.
// With neither mode on, the water runs in real time while it presses.
void CWaterScene::PressFinger(int x, int y)
{
    CWaterBody& body = *simulation;
    const Camera::WaterRect water = ScreenMesh::SurfaceRect(body);
    const Camera::View view{v3fCamEye, v3fCamDir, v3fCamUpw, CGraphics::fScreenFOV,
                            CGraphics::iScreenWidth, CGraphics::iScreenHeight};
    Finger finger;
    finger.down = Camera::PickWater(view, x, y, water, &finger.x, &finger.y);
    finger.radius = fFingerRadius * std::sqrt(body.fCellArea);
    finger.pressure = fFingerDepth * body.fDensityGravity;
    if (finger.down && !body.finger.down && !bRunning && !bRecording)
        timer.Start();
    body.finger = finger;
    UpdateIdleCallback();
}

void CWaterScene::LiftFinger()
{
    simulation->finger.down = false;
    UpdateIdleCallback();
    glutPostRedisplay();
}

// F8: the simulation's two files read again and the water rebuilt from
// them, its events from time 0; the window, the camera and the modes stay.
// A refused file keeps the current water running.
void CWaterScene::Reload()
{
    std::unique_ptr<CWaterBody> fresh = CWaterBody::LoadAfresh();
    if (!fresh)
    {
        CLog::Write("CWaterScene::Reload -- Rechargement refus\xE9, la sc\xE8"
                    "ne actuelle continue");
        return;
    }
    fresh->showCellGrid = g_bShowCellGrid;
    shadedLook.ForgetBody();
    simulation = std::move(fresh);  // the old body frees its grid and textures
    if (fingerDrag)
        PressFinger(iMouseX, iMouseY);
    if (bRunning || simulation->finger.down)
        timer.Start();
    UpdateIdleCallback();
    glutPostRedisplay();
}

// The frame rate over spans of at least half a second of real time, the
// count taken at the end of each span.
void CWaterScene::CountFrame()
{
    ++framesInSpan;
    const auto now = std::chrono::steady_clock::now();
    const double span = std::chrono::duration<double>(now - spanStart).count();
    if (span < 0.5)
        return;
    dFramesPerSecond = framesInSpan / span;
    framesInSpan = 0;
    spanStart = now;
}

// Latin-1, like every text of the program.
std::vector<std::string> CWaterScene::ReadoutLines() const
{
    const CWaterBody& body = *simulation;
    char line[160];
    std::vector<std::string> lines;
    auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        lines.emplace_back(line);
    };
    add("temps %.3f s", body.dElapsedTime);
    double water = 0.0, spray = 0.0;
    if (body.VolumeFractions(&water, &spray))
    {
        add("eau %.2f %%  embruns %.3f %%", 100.0 * water, 100.0 * spray);
        add("eau + embruns %.2f %%", 100.0 * (water + spray));
    }
    else
    {
        add("eau -  embruns -");
        add("eau + embruns -  (vide au d\xE9part)");
    }
    const WaterSummary counts = SummariseObjects(body);
    add("objets %zu  gouttes %zu", counts.objects, counts.particles);
    add("trac\xE9 %.1f ms  %.1f images/s", dDrawSeconds * 1000.0, dFramesPerSecond);
    add("sous-pas par image %d", int(body.iLastSubSteps));
    add("aspect %s (F7)", bShadedDrawn ? "ombr\xE9" : "fixe");
    if (body.iDivergence != DIVERGENCE_NONE)
        add("\xE9tat : diverg\xE9" "e");
    else if (bRecording)
        add("\xE9tat : enregistrement, %d images", int(iFrameNumber));
    else if (bRunning)
        add("\xE9tat : en marche");
    else if (body.finger.down)
        add("\xE9tat : en marche sous le doigt");
    else
        add("\xE9tat : arr\xEAt\xE9" "e");
    return lines;
}

void CWaterScene::RecordThenQuit(int frames)
{
    framesToRecord = frames > 0 ? frames : 0;
}

void CWaterScene::RecordToVideo(std::string program, std::string file)
{
    videoProgram = std::move(program);
    videoFile = std::move(file);
}
