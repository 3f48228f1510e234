// CWaterScene: the program's one scene. It owns the water simulation and
// makes a viewer of it: a free camera, the lighting, real-time running
// (F2), single steps (F1), frame-sequence recording (F4), the cell-grid
// view (F9) and the choice of look (F7); and for exploring the water, the readout (F3), the reload of
// the simulation's files in place (F8) and the finger that presses the
// water (Shift + left button). Settings come from "scene.opt". Graphics
// side.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/Scene.h"
#include "app/Timer.h"
#include "assets/TgaImage.h"
#include "scene/ShadedLook.h"
#include "scene/VideoEncoder.h"
#include "sim/WaterBody.h"

class COptionList;

class CWaterScene : public CScene
{
public:
    bool Init() override;
    void Release() override;
    void Display() override;
    void IdleScene() override;
    int GetEventMask() override;
    void KeyboardMove(int key, int x, int y) override;
    void KeyStroke(unsigned char key, int x, int y) override;
    void MouseMove(int x, int y) override;
    void MouseClic(int button, int state, int x, int y) override;

    // Unattended recording (command line "--record N"): recording starts as
    // if F4 had been pressed once the window has been drawn, and the program
    // quits with status 0 after `frames` frames. 0 or less: off.
    void RecordThenQuit(int frames);

    // Command line "--video FILE": F4 and --record send their frames to
    // `file` through the encoder at `program` (ffmpeg, found at start-up)
    // instead of writing TGA files. Each start of recording replaces the
    // file. An encoder that fails stops the recording with one line in the
    // log; an unattended recording then quits with EXIT_RECORDING_FAILED.
    void RecordToVideo(std::string program, std::string file);

    float fRotationDivisor = 0.0f;  // radians per pixel of drag
    float fStep = 0.0f;             // world units per camera key press
    int32_t iMouseX = 0;
    int32_t iMouseY = 0;
    // Replaced whole by a reload (F8); never null.
    std::unique_ptr<CWaterBody> simulation = std::make_unique<CWaterBody>();
    CTimer timer;
    bool bRunning = false;
    bool bRecording = false;
    int32_t iFrameNumber = 0;       // number of the next recorded frame
    CTgaImage captureImage;         // reused for every recorded frame

private:
    void InitCamera(const COptionList& options);
    void InitLighting();
    void ToggleRunning();
    void UpdateIdleCallback();
    void StopAfterDivergence();
    void ToggleRecording();
    void RecordFrame();
    bool StartVideo();
    void SendVideoFrame();
    bool FinishVideo();
    bool MoveCamera(int key);
    void Reload();
    void ReadFingerOptions(const COptionList& options);
    void PressFinger(int x, int y);
    void LiftFinger();
    void CountFrame();
    void DrawWorld();
    void ToggleLook();
    std::vector<std::string> ReadoutLines() const;

    int framesToRecord = 0;         // unattended recording; 0: off
    bool unattendedStarted = false;
    bool recordingFailureLogged = false;  // reset at each start of recording

    // --video: the encoder's program and the video file; empty: TGA frames.
    std::string videoProgram;
    std::string videoFile;
    CVideoEncoder video;

    // The finger: a Shift + left drag is going on, and the disc it presses
    // (radius in cells, the dent's depth at rest in world units, from
    // "scene.opt").
    bool fingerDrag = false;
    float fFingerRadius = 3.0f;
    float fFingerDepth = 0.02f;

    // The look in use (CGraphics::LOOK_FIXED or LOOK_SHADED, F7) and the
    // shaded look's renderer, made the first time it is asked for.
    int iLook = 0;
    CShadedLook shadedLook;
    bool bShadedDrawn = false;  // the latest frame was drawn by the shaded look

    // The readout (F3) and its figures: the latest frame's draw time and
    // the frame rate over the latest span of at least half a second.
    bool bShowReadout = false;
    double dDrawSeconds = 0.0;
    double dFramesPerSecond = 0.0;
    int framesInSpan = 0;
    std::chrono::steady_clock::time_point spanStart = std::chrono::steady_clock::now();
};
