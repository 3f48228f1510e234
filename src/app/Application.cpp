// CApplication: the start-up sequence and the orderly way out.
//
// Start-up runs in a fixed order: system report, log files, command line,
// working directory, then the graphics side (GLUT, window, callbacks, scene,
// main loop). Every fatal failure writes one line to "error.log" and ends
// the process: -2 for everything here, -1 for GLUT.
//
// Deliberately not done here: the GLUT callbacks (ApplicationCallbacks.cpp)
// and the scene itself (Scene.cpp, the scene directory).
#include "app/Application.h"

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "app/CommandLine.h"
#include "app/Log.h"
#include "app/Scene.h"
#include "app/SystemInfo.h"

CScene* g_pCurrentScene = nullptr;

namespace
{
constexpr int EXIT_START_UP_FAILURE = -2;

// Both logs go to the start directory, before it is changed. A log that
// cannot be created only means that nothing gets logged.
void OpenLogFiles()
{
    CLog::Reset();
    CLog::Open(0, "error.log");
    CLog::Open(1, "ripplex.log");
    CLog::Write("-- Debut du fichier d'erreur --");
}

// "directory" wins over "d" whatever their order; relative names are taken
// from the start directory.
void EnterWorkingDirectory(const CCommandLine& commandLine)
{
    const char* directory =
        commandLine.GetString("directory", commandLine.GetString("d", "default"));
    if (chdir(directory) != 0)
    {
        CLog::Write("CApplication::Init -- Impossible de changer pour le r\xE9pertoire %s !",
                    directory);
        exit(EXIT_START_UP_FAILURE);
    }
}
}  // namespace

int CApplication::Init(int argc, char** argv)
{
    PrintSystemInfo();
    OpenLogFiles();

    // Lives as long as Init, that is through the whole main loop: the texts
    // it hands out stay valid for the run.
    CCommandLine commandLine;
    if (!commandLine.Parse(argc, argv))
    {
        CLog::Write("CApplication::Init -- Erreur : La ligne de commande est mal format\xE9" "e");
        exit(EXIT_START_UP_FAILURE);
    }
    EnterWorkingDirectory(commandLine);

    // The graphics side starts here: GLUT, the window and OpenGL state, the
    // callbacks, the scene, then the main loop.
    return 0;
}

void CApplication::Quit()
{
    if (g_pCurrentScene != nullptr)
        g_pCurrentScene->Release();
    g_pCurrentScene = nullptr;
    CLog::Close(1);
    CLog::Close(0);
    exit(0);
}
