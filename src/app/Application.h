// CApplication: start-up, the GLUT callbacks that feed the current scene,
// and the orderly way out. Graphics side.
#pragma once

class CScene;

// The one current scene; null before it is created, after its Init failed
// and after Quit.
extern CScene* g_pCurrentScene;

class CApplication
{
public:
    // The whole start-up sequence, then the GLUT main loop. Start-up
    // failures end the process with status -1 (GLUT) or -2 (the rest).
    static int Init(int argc, char** argv);
    static bool StartGLUT(int argc, char** argv);
    // Releases the scene, closes the logs and ends the process with
    // `status` (0 unless the simulation diverged during --record).
    [[noreturn]] static void Quit(int status = 0);

    static void DisplayFunc();
    static void IdleFunc();
    static void KeyboardFunc(unsigned char key, int x, int y);
    static void SpecialFunc(int key, int x, int y);
    static void MouseFunc(int button, int state, int x, int y);
    static void MotionFunc(int x, int y);
};
