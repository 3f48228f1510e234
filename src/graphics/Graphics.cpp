// CGraphics: window creation from "graphics.opt", the fixed OpenGL state
// and the reshape callback that keeps the projection in step with the
// window.
//
// Deliberately not done: the window is created with plain glutCreateWindow
// (freeglut has no entry taking an exit function; it ends the process
// itself when it cannot make a window), and nothing here checks the values
// of "graphics.opt" beyond the lookups' own defaults.

#include "graphics/Graphics.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstring>

#include "app/Log.h"
#include "assets/TgaImage.h"
#include "config/OptionsParser.h"

int CGraphics::iScreenWidth = 800;
int CGraphics::iScreenHeight = 600;
float CGraphics::fScreenFOV = -45.0f;
bool CGraphics::bDoubleBuffer = true;
int CGraphics::iLook = CGraphics::LOOK_FIXED;
int CGraphics::iErrorCode = CGraphics::ERROR_NONE;
std::string CGraphics::sErrorMessage;

bool CGraphics::Init()
{
    if (!InitGLUT())
    {
        CLog::Write("CGraphics::Init -- Erreur \xE0 l'initialisation de la GLUT!");
        return false;
    }
    if (!InitOpenGL())
    {
        CLog::Write("CGraphics::Init -- Erreur \xE0 l'initialisaton OpenGL!");
        return false;
    }
    return true;
}

bool CGraphics::InitGLUT()
{
    const COptionList* options = COptionsParser::ParseFile("graphics.opt", false);
    if (options == nullptr)
    {
        CLog::Write("CGraphics::InitGLUT -- Impossible de lire le fichier de configuration "
                    "graphics.opt");
        iErrorCode = ERROR_FILE_NOT_FOUND;
        sErrorMessage = "graphics.opt non trouv\xE9";
        return false;
    }

    iScreenWidth = options->GetInt("iScreenWidth", 800);
    iScreenHeight = options->GetInt("iScreenHeight", 600);
    fScreenFOV = float(options->GetDouble("dScreenFOV", -45.0));
    glutInitWindowSize(iScreenWidth, iScreenHeight);
    glutInitWindowPosition(options->GetInt("iWindowPosX", -1), options->GetInt("iWindowPosY", -1));

    bDoubleBuffer = options->GetBool("bDoubleBuffer", true);
    glutInitDisplayMode(bDoubleBuffer ? GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH
                                      : GLUT_RGB | GLUT_SINGLE | GLUT_DEPTH);

    // Any value but the two looks is refused: the fixed look, and a line.
    iLook = options->GetInt("iLook", LOOK_FIXED);
    if (iLook != LOOK_FIXED && iLook != LOOK_SHADED)
    {
        CLog::Write("CGraphics::InitGLUT -- Param\xE8tre iLook invalide : %d, valeur par d\xE9"
                    "faut %d utilis\xE9" "e", iLook, LOOK_FIXED);
        iLook = LOOK_FIXED;
    }

    glutCreateWindow(options->GetString("sWindowName", "Ripplex ver 0.alpha"));
    glutReshapeFunc(Reshape);
    if (options->GetBool("bFullScreen", false))
        glutFullScreen();

    iErrorCode = ERROR_NONE;
    return true;
}

bool CGraphics::InitOpenGL()
{
    // Found in the parser's cache: InitGLUT has just read it.
    const COptionList* options = COptionsParser::ParseFile("graphics.opt", false);
    bool cullFaces = options == nullptr || options->GetBool("bCullFaces", true);
    bool smoothAndNice = options == nullptr || options->GetBool("bSmoothAndNice", true);

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);

    if (cullFaces)
    {
        glFrontFace(GL_CCW);
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
    }
    else
    {
        glDisable(GL_CULL_FACE);
    }

    if (smoothAndNice)
    {
        glShadeModel(GL_SMOOTH);
        glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
        glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
        glEnable(GL_LINE_SMOOTH);
        glEnable(GL_POINT_SMOOTH);
    }

    iErrorCode = ERROR_NONE;
    return true;
}

void CGraphics::Reshape(int width, int height)
{
    iScreenWidth = width;
    if (height <= 0)
        height = 1;
    iScreenHeight = height;

    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(double(fScreenFOV), width / double(height), double(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void ReadWindowPixels(CTgaImage& image)
{
    if (image.data == nullptr || image.bitsPerPixel != 24)
        return;
    int readWidth = std::clamp(CGraphics::iScreenWidth, 0, int(image.width));
    int readHeight = std::clamp(CGraphics::iScreenHeight, 0, int(image.height));
    if (readWidth < image.width || readHeight < image.height)
        std::memset(image.data, 0, size_t(image.width) * image.height * 3);
    if (readWidth == 0 || readHeight == 0)
        return;

    // Rows of exactly image.width × 3 bytes, without alignment padding.
    GLint savedAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &savedAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    // A one-pixel read first: Mesa's software rasteriser takes in a new
    // window size at the start of a read but can clip that same read
    // against the old one, and crashes when the window has just shrunk.
    unsigned char scratch[3];
    glReadPixels(0, 0, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, scratch);
    if (readWidth == image.width)
    {
        glReadPixels(0, 0, readWidth, readHeight, GL_RGB, GL_UNSIGNED_BYTE, image.data);
    }
    else
    {
        // Narrower than the image: one row at a time into the image's own
        // row stride. (GL_PACK_ROW_LENGTH would say it in one call, but
        // the same Mesa rasteriser mishandles it after a resize.)
        size_t stride = size_t(image.width) * 3;
        for (int y = 0; y < readHeight; ++y)
            glReadPixels(0, y, readWidth, 1, GL_RGB, GL_UNSIGNED_BYTE, image.data + y * stride);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, savedAlignment);
}

void EndFrame()
{
    if (CGraphics::bDoubleBuffer)
        glutSwapBuffers();
    else
        glFlush();
}
