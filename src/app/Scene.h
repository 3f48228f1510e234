// CScene: the abstract scene that receives the window's events. The event
// mask says which kinds it wants; the callbacks ask for it on every event.
#pragma once

#include "common/Vec3.h"

enum SceneEvents : int
{
    SCENE_KEYBOARD = 1,
    SCENE_MOUSE = 2,
    SCENE_IDLE = 8,
};

class CScene
{
public:
    virtual ~CScene() = default;

    virtual bool Init();
    virtual void Release();
    virtual void Display() = 0;
    virtual void IdleScene();
    virtual int GetEventMask();
    virtual void KeyboardMove(int key, int x, int y);
    virtual void KeyStroke(unsigned char key, int x, int y);
    virtual void MouseMove(int x, int y);
    virtual void MouseClic(int button, int state, int x, int y);

    Vec3 v3fCamEye;
    Vec3 v3fCamDir;
    Vec3 v3fCamUpw;
};
