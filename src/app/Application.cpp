// CApplication: the start-up sequence, the main loop and the orderly way out.
//
// Start-up runs in a fixed order: system report, log files, command line,
// working directory, GLUT, window and OpenGL state, callbacks, the scene,
// then the GLUT main loop. Every fatal failure writes one line to
// "error.log" and ends the process: -1 when GLUT cannot start, -2 for
// everything else; standard error then gets one line saying where the log
// is, so that a terminal never shows a bare exit status. Once started, the
// keys of the option files that had no effect are logged as warnings.
//
// Deliberately not done here: the GLUT callbacks (ApplicationCallbacks.cpp)
// and the scene itself (Scene.cpp, the scene directory). The released scene
// is not destroyed: the process ends right after.
#include "app/Application.h"

#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/CommandLine.h"
#include "app/Log.h"
#include "app/Scene.h"
#include "app/SystemInfo.h"
#include "assets/MeshDraw.h"
#include "assets/Texture.h"
#include "common/GraphicsHooks.h"
#include "config/OptionsParser.h"
#include "graphics/Graphics.h"
#include "scene/VideoEncoder.h"
#include "scene/WaterBodyDraw.h"
#include "scene/WaterScene.h"

CScene* g_pCurrentScene = nullptr;

namespace
{
constexpr int EXIT_GLUT_FAILURE = -1;
constexpr int EXIT_START_UP_FAILURE = -2;

// True while glutInit runs: freeglut reports a display it cannot open
// through the error function, and would go on without one if it returned.
bool g_startingGLUT = false;

// Set once the process is ending. freeglut destroys its window from an exit
// handler of its own and calls the close callback then: that must not start
// a second exit, nor change the exit status.
bool g_quitting = false;

void MarkQuitting()
{
    g_quitting = true;
}

// Where "error.log" was created (the start directory), or empty when it
// could not be.
std::string g_errorLogPath;

// Ends a start-up that failed. The reasons are in the log; the terminal
// learns that the start failed and where to read why.
[[noreturn]] void EndStartUp(int status)
{
    if (!g_errorLogPath.empty())
        std::fprintf(stderr, "ripplex : lancement impossible, voir %s\n", g_errorLogPath.c_str());
    else
        std::fprintf(stderr, "ripplex : lancement impossible, et error.log n'a pas pu \xEAtre "
                             "cr\xE9\xE9 dans le r\xE9pertoire de d\xE9part\n");
    exit(status);
}

// freeglut's fatal errors. While GLUT starts, it is the start-up failure of
// GLUT; later (a window that cannot be made, say) freeglut's own text goes
// to standard error and the process ends, as freeglut itself would end it.
void OnGLUTError(const char* format, va_list arguments)
{
    if (g_startingGLUT)
    {
        CLog::Write("CApplication::Init -- Erreur \xE0 l'initialisation de GLUT");
        EndStartUp(EXIT_GLUT_FAILURE);
    }
    std::fputs("freeglut: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    exit(1);
}

// Closing the window is the same orderly way out as Escape.
void CloseFunc()
{
    if (!g_quitting)
        CApplication::Quit();
}

// Both logs go to the start directory, before it is changed. A log that
// cannot be created only means that nothing gets logged.
void OpenLogFiles()
{
    CLog::Reset();
    CLog::Open(0, "error.log");
    CLog::Open(1, "ripplex.log");
    if (CLog::Write("-- Debut du fichier d'erreur --") < 0)
        return;
    char startDirectory[4096];
    g_errorLogPath = getcwd(startDirectory, sizeof startDirectory) != nullptr
                         ? std::string(startDirectory) + "/error.log"
                         : "error.log";
}

// "directory" wins over "d" whatever their order; relative names are taken
// from the start directory. The value is a name whatever it looks like: a
// directory called 2024, 0x10 or true is entered as such.
void EnterWorkingDirectory(const CCommandLine& commandLine)
{
    const char* directory =
        commandLine.GetText("directory", commandLine.GetText("d", "default"));
    if (chdir(directory) != 0)
    {
        CLog::Write("CApplication::Init -- Impossible de changer pour le r\xE9pertoire %s !",
                    directory);
        EndStartUp(EXIT_START_UP_FAILURE);
    }
}

// "--record N": N frames recorded unattended, then the program quits; N is
// decimal digits, 1 or more. Anything else is refused as a bad command line.
int FramesToRecord(const CCommandLine& commandLine)
{
    int frames = 0;
    const char* text = "";
    if (commandLine.ReadCount("record", 1, &frames, &text) == OptionNumber::Refused)
    {
        CLog::Write("CApplication::Init -- Erreur : option --record \"%s\" refus\xE9" "e, "
                    "il faut un nombre d'images en chiffres d\xE9" "cimaux, 1 ou plus",
                    text);
        EndStartUp(EXIT_START_UP_FAILURE);
    }
    return frames;
}

// "--video FILE": the recorded frames go to FILE through ffmpeg, which
// must be on PATH now rather than be missed at the first F4. FILE is a
// name whatever it looks like, relative to the start directory (like
// error.log). Both are empty without the option.
struct VideoOutput
{
    std::string program;
    std::string file;
};

VideoOutput VideoToRecord(const CCommandLine& commandLine)
{
    if (!commandLine.Find("video"))
        return {};
    const char* file = commandLine.GetText("video", "");
    if (file[0] == '\0')
    {
        CLog::Write("CApplication::Init -- Erreur : option --video refus\xE9" "e, "
                    "il faut un nom de fichier");
        EndStartUp(EXIT_START_UP_FAILURE);
    }
    VideoOutput video{CVideoEncoder::FindOnPath("ffmpeg"), file};
    if (video.program.empty())
    {
        CLog::Write("CApplication::Init -- Erreur : option --video \"%s\" refus\xE9" "e, "
                    "ffmpeg est introuvable dans le PATH", file);
        EndStartUp(EXIT_START_UP_FAILURE);
    }
    char startDirectory[4096];
    if (video.file[0] != '/' && getcwd(startDirectory, sizeof startDirectory) != nullptr)
        video.file = std::string(startDirectory) + "/" + video.file;
    return video;
}

void InitGraphics()
{
    if (CGraphics::Init())
        return;
    CLog::Write("CApplication::Init -- Erreur \xE0 l'initialisation graphique");
    int code = CGraphics::iErrorCode;
    CGraphics::iErrorCode = CGraphics::ERROR_NONE;
    if (code != CGraphics::ERROR_NONE)
    {
        CLog::Write("CApplication::Init -- Message d'erreur:%s", CGraphics::sErrorMessage.c_str());
        EndStartUp(EXIT_START_UP_FAILURE);
    }
}

void RegisterCallbacks()
{
    glutDisplayFunc(CApplication::DisplayFunc);
    glutMotionFunc(CApplication::MotionFunc);
    glutMouseFunc(CApplication::MouseFunc);
    glutSpecialFunc(CApplication::SpecialFunc);
    glutKeyboardFunc(CApplication::KeyboardFunc);
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    glutCloseFunc(CloseFunc);
}

// The core reads textures and draws only through these; installed before
// the scene loads its assets.
void InstallGraphicsHooks()
{
    g_graphicsHooks.loadTexture = LoadTextureHook;
    g_graphicsHooks.drawMesh = DrawMeshGL;
    g_graphicsHooks.drawWaterBody = DrawWaterBodyGL;
    g_graphicsHooks.deleteTexture = DeleteTextureHook;
}

void LoadMainScene(int framesToRecord, const VideoOutput& video)
{
    if (g_pCurrentScene != nullptr)
        g_pCurrentScene->Release();
    CWaterScene* scene = new (std::nothrow) CWaterScene;
    g_pCurrentScene = scene;
    if (scene == nullptr || !scene->Init())
    {
        g_pCurrentScene = nullptr;
        delete scene;
        CLog::Write("CApplication::Init -- Impossible de charger la sc\xE8"
                    "ne principale");
        EndStartUp(EXIT_START_UP_FAILURE);
    }
    scene->RecordThenQuit(framesToRecord);
    if (!video.file.empty())
        scene->RecordToVideo(video.program, video.file);
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
        EndStartUp(EXIT_START_UP_FAILURE);
    }
    const int framesToRecord = FramesToRecord(commandLine);
    const VideoOutput video = VideoToRecord(commandLine);
    EnterWorkingDirectory(commandLine);

    if (!StartGLUT(argc, argv))
    {
        CLog::Write("CApplication::Init -- Erreur \xE0 l'initialisation de GLUT");
        EndStartUp(EXIT_GLUT_FAILURE);
    }
    InitGraphics();
    RegisterCallbacks();
    InstallGraphicsHooks();
    LoadMainScene(framesToRecord, video);
    COptionsParser::WarnUnreadKeys();

    glutMainLoop();
    CLog::Write("CApplication::Init -- Erreur dans le programme");
    return EXIT_START_UP_FAILURE;
}

bool CApplication::StartGLUT(int argc, char** argv)
{
    // glutInit takes the X options out of the vector it is given: it gets a
    // copy, so the caller's arguments stay as they were.
    std::vector<char*> arguments(argv, argv + argc);
    arguments.push_back(nullptr);
    int count = argc;
    glutInitErrorFunc(OnGLUTError);
    g_startingGLUT = true;
    glutInit(&count, arguments.data());
    g_startingGLUT = false;
    // Registered after freeglut's own exit handler, so it runs before it.
    std::atexit(MarkQuitting);
    return true;
}

void CApplication::Quit(int status)
{
    g_quitting = true;
    if (g_pCurrentScene != nullptr)
        g_pCurrentScene->Release();
    g_pCurrentScene = nullptr;
    CLog::Close(1);
    CLog::Close(0);
    exit(status);
}
