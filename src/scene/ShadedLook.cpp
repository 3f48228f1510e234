// CShadedLook: the context check, the programs, and one frame's passes in
// their order: heights, caustics, the scene under the water (bottom,
// edge, balls, sky), its copy, the water surface, the cell grid (F9), the
// spray. With RIPPLEX_FRAME_TIMES=passes each group is timed ("shaded"
// lines: heights, caustics, scene, surface, spray).

#include "scene/ShadedLook.h"

#include "graphics/SavedGLState.h"
#include "scene/ShadedPasses.h"

#include <cstdio>

#include "app/Log.h"
#include "scene/PassTimes.h"
#include "scene/WaterBodyDraw.h"
#include "sim/WaterBody.h"

namespace
{

constexpr int NEEDED_GL = 30;    // OpenGL 3.0
constexpr int NEEDED_GLSL = 130; // GLSL 1.30

// "3.0" from 30.
void VersionText(int version, char* out, size_t size)
{
    std::snprintf(out, size, "%d.%d", version / 10, version % 10);
}

// False (logged) when the context lacks what the look needs.
bool ContextHasWhatIsNeeded()
{
    const int gl = epoxy_gl_version();
    const int glsl = gl >= 20 ? epoxy_glsl_version() : 0;
    if (epoxy_is_desktop_gl() && gl >= NEEDED_GL && glsl >= NEEDED_GLSL)
        return true;
    char glText[16], glslText[16];
    VersionText(gl, glText, sizeof glText);
    std::snprintf(glslText, sizeof glslText, "%d.%02d", glsl / 100, glsl % 100);
    CLog::Write("CShadedLook::Prepare -- Aspect ombr\xE9 indisponible : il faut OpenGL 3.0 et GLSL "
                "1.30, le contexte offre OpenGL %s et GLSL %s ; aspect fixe conserv\xE9",
                glText, glslText);
    return false;
}

}  // namespace

struct CShadedLook::Parts
{
    ShadedPrograms programs;
    SceneResources scene;
    FrameBuffers buffers;
    GridMesh surfaceMesh;
    GridMesh causticMesh;
    RenderTexture lightMap;
    ScreenCopy below;
    const CWaterBody* refusedBody = nullptr;  // logged once, drawn by the fixed look

    ~Parts()
    {
        programs.Release();
        scene.Release();
        buffers.Release();
        surfaceMesh.Release();
        causticMesh.Release();
        lightMap.Release();
        below.Release();
    }
};

CShadedLook::CShadedLook() = default;

CShadedLook::~CShadedLook() = default;

bool CShadedLook::Prepare()
{
    if (state != State::UNTRIED)
        return state == State::READY;
    state = State::REFUSED;
    if (!ContextHasWhatIsNeeded())
        return false;
    auto made = std::make_unique<Parts>();
    if (!made->programs.Build())
        return false;
    {
        SavedGLState saved;
        if (!made->lightMap.Make(GL_R8, LIGHT_MAP_SIZE, false))
        {
            CLog::Write("CShadedLook::Prepare -- Aspect ombr\xE9 indisponible : pas de rendu dans une "
                        "texture ; aspect fixe conserv\xE9");
            return false;
        }
        glGenVertexArrays(1, &made->buffers.vertexArray);
        glGenBuffers(1, &made->buffers.skyPolygon);
        glGenBuffers(1, &made->buffers.balls);
        glGenBuffers(1, &made->buffers.drops);
    }
    parts = std::move(made);
    state = State::READY;
    return true;
}

void CShadedLook::ForgetBody()
{
    if (parts == nullptr)
        return;
    SavedGLState saved;
    parts->scene.Release();
    parts->refusedBody = nullptr;
}

bool CShadedLook::Draw(const CWaterBody& body)
{
    if (!Prepare() || parts->refusedBody == &body)
        return false;
    if (body.iSimulationWidth == 0 || body.iSimulationHeight == 0)
        return true;  // nothing to draw, as in the fixed look
    Parts& p = *parts;
    SavedGLState saved;
    const FrameView view = ReadFrameView();  // before anything draws elsewhere
    glBindVertexArray(p.buffers.vertexArray);
    if (!p.scene.PreparedFor(body) && !p.scene.Prepare(body, p.programs))
    {
        p.scene.Release();
        p.refusedBody = &body;
        GLint largest = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
        CLog::Write("CShadedLook::Draw -- Hauteurs de %u x %u coins impossibles \xE0 mettre en texture "
                    "(%d de c\xF4t\xE9 au plus, ou m\xE9moire insuffisante) : aspect fixe pour cette sc\xE8"
                    "ne",
                    unsigned(body.iSimulationWidth - 1), unsigned(body.iSimulationHeight - 1), int(largest));
        return false;
    }
    GLint polygonMode[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    glViewport(view.viewport[0], view.viewport[1], view.viewport[2], view.viewport[3]);
    const ShadedFrame frame{body, view, p.programs, p.scene, p.buffers, polygonMode[0]};

    enum { HEIGHTS, CAUSTICS, SCENE, SURFACE, SPRAY };
    PassTimes times("shaded", {"heights", "caustics", "scene", "surface", "spray"});
    times.Start();
    p.scene.UploadHeights(body);
    times.End(HEIGHTS);
    GatherBalls(frame);
    DrawCaustics(frame, p.causticMesh, p.lightMap);
    times.End(CAUSTICS);
    ClearToHorizon();
    DrawBottom(frame, p.lightMap);
    DrawEdge(frame);
    DrawBalls(frame);
    DrawSky(frame);
    p.below.Copy(view.viewport);
    times.End(SCENE);
    DrawSurface(frame, p.surfaceMesh, p.below);
    if (body.showCellGrid)
    {
        // The fixed pipeline's own arrays, program and texture unit.
        glUseProgram(0);
        glBindVertexArray(0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glActiveTexture(GL_TEXTURE0);
        glPolygonMode(GL_FRONT_AND_BACK, GLenum(polygonMode[0]));
        DrawCellGridGL(body);
        glBindVertexArray(p.buffers.vertexArray);
    }
    times.End(SURFACE);
    DrawDrops(frame);
    times.End(SPRAY);
    times.Print();
    return true;
}
