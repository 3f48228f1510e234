// The shaded look's programs, meshes, textures and passes.
//
// Units: world units (the basin's metres) everywhere; the light map and
// the bottom's height map cover the water's rectangle, from its first
// corner to its last, LIGHT_MAP_SIZE texels a side. Texture units are
// fixed per use (the UNIT_ constants) so that no pass undoes another's.
//
// Deliberately not done: no mipmaps (the height texture changes every
// frame, and its ripples must not be averaged away), no sorting of the
// drops (they are opaque: the depth test orders them).

#include "scene/ShadedPasses.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "EmbeddedShaders.h"
#include "scene/PoolEdge.h"
#include "scene/ScreenMesh.h"
#include "scene/SurfaceGeometry.h"
#include "scene/WaterBodyDraw.h"
#include "sim/WaterBody.h"

namespace
{

constexpr uint32_t CAUSTIC_GRID = 65;   // vertices a side at most
constexpr int MAX_SHADOW_BALLS = 32;    // as MAX_BALLS in caustics.vert

enum TextureUnit : int
{
    UNIT_HEIGHTS = 0,
    UNIT_BOTTOM_HEIGHTS = 1,
    UNIT_BOTTOM_TEXTURE = 2,
    UNIT_LIGHT_MAP = 3,
    UNIT_SCENE_COLOUR = 4,
    UNIT_WALLS = 5,
};

// The sun of the shaded look shines from where the fixed look's light
// does, (1, 1, 1): from the right and behind the basin as the shipped
// camera sees it, 35° above the horizon.
const float SUN[3] = {0.57735027f, 0.57735027f, 0.57735027f};

// The sky's colour at the horizon: the window below the horizon, and the
// haze the deck fades into far off.
const float HORIZON[3] = {0.70f, 0.80f, 0.90f};

const ShaderFile COMMON{"common.glsl", SHADER_COMMON_GLSL};
const ShaderFile HEIGHTS{"heights.glsl", SHADER_HEIGHTS_GLSL};

void BindTexture(int unit, GLuint texture)
{
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    glBindTexture(GL_TEXTURE_2D, texture);
}

void SetLinearClamped(GLenum filter)
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GLint(filter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GLint(filter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

// Clears OpenGL's error flags, so that the next check sees only what
// follows.
void ClearErrors()
{
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i)
    {
    }
}

bool NoError()
{
    bool clean = glGetError() == GL_NO_ERROR;
    ClearErrors();
    return clean;
}

// The uniforms every program shares (common.glsl).
void SetCommon(const CShaderProgram& program, const FrameView& view)
{
    program.Use();
    program.Set("uSunDirection", SUN[0], SUN[1], SUN[2]);
    program.Set("uEyePosition", view.eye[0], view.eye[1], view.eye[2]);
    program.Set("uHorizonColour", HORIZON[0], HORIZON[1], HORIZON[2]);
    program.SetMatrix4("uViewProjection", view.viewProjection);
}

// The height texture and where its corners stand (heights.glsl).
void SetHeights(const CShaderProgram& program, const SceneResources& scene)
{
    program.Set("uHeights", UNIT_HEIGHTS);
    program.Set("uCornerCount", float(scene.cornersX), float(scene.cornersY));
    program.Set("uSurfaceRect", scene.water.minX, scene.water.minY, scene.water.maxX, scene.water.maxY);
    program.Set("uCellSize", scene.cellSize[0], scene.cellSize[1]);
    program.Set("uWalls", UNIT_WALLS);
    program.Set("uHasWalls", scene.walls != 0 ? 1.0f : 0.0f);
    BindTexture(UNIT_WALLS, scene.walls);
}

bool SurfaceDrawable(const SceneResources& scene)
{
    return scene.heights != 0 && scene.cornersX >= 2 && scene.cornersY >= 2;
}

// Unit vector toward the sun seen from under calm water: the sun's ray
// refracted down through a level surface, reversed.
void UnderwaterSun(float out[3])
{
    const double eta = 1.0 / 1.333, cosine = SUN[2];
    const double k = 1.0 - eta * eta * (1.0 - cosine * cosine);
    const double down[3] = {-SUN[0] * eta, -SUN[1] * eta, -SUN[2] * eta - (std::sqrt(k) - eta * cosine)};
    for (int i = 0; i < 3; ++i)
        out[i] = float(-down[i]);
}

bool Finite(const Vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Orphans and refills a buffer that changes every frame.
void Stream(GLuint buffer, const std::vector<float>& data)
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.size() * sizeof(float)), nullptr, GL_STREAM_DRAW);
    if (!data.empty())
        glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(data.size() * sizeof(float)), data.data());
}

void DeleteBuffer(GLuint& buffer)
{
    if (buffer != 0)
        glDeleteBuffers(1, &buffer);
    buffer = 0;
}

void DeleteTexture(GLuint& texture)
{
    if (texture != 0)
        glDeleteTextures(1, &texture);
    texture = 0;
}

// The bottom's own texture, or 0 when it has no picture (the file could
// not be loaded, or was too large for OpenGL): the shader then uses sand.
GLuint UsableTexture(uint32_t texture)
{
    if (texture == 0xFFFFFFFFu || !glIsTexture(texture))
        return 0;
    GLint width = 0;
    BindTexture(UNIT_BOTTOM_TEXTURE, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    return width > 0 ? texture : 0;
}

}  // namespace

// ---------------------------------------------------------------------------

FrameView ReadFrameView()
{
    FrameView view{};
    float modelView[16], projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, view.viewport);
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
        {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += projection[k * 4 + row] * modelView[column * 4 + k];
            view.viewProjection[column * 4 + row] = sum;
        }
    // The view is a rotation R and a translation t: the eye is −Rᵀ t, and
    // Rᵀ takes view directions to the world.
    for (int i = 0; i < 3; ++i)
    {
        view.eye[i] = -(modelView[i * 4 + 0] * modelView[12] + modelView[i * 4 + 1] * modelView[13] +
                        modelView[i * 4 + 2] * modelView[14]);
        for (int j = 0; j < 3; ++j)
            view.viewToWorld[j * 3 + i] = modelView[i * 4 + j];
    }
    view.viewScale[0] = projection[0] != 0.0f ? 1.0f / projection[0] : 0.0f;
    view.viewScale[1] = projection[5] != 0.0f ? 1.0f / projection[5] : 0.0f;
    view.pointCoordSign[0] = projection[0] < 0.0f ? -1.0f : 1.0f;
    view.pointCoordSign[1] = projection[5] < 0.0f ? -1.0f : 1.0f;
    view.pixelsPerUnit = 0.5f * float(view.viewport[3]) * std::fabs(projection[5]);
    return view;
}

bool ShadedPrograms::Build()
{
    auto file = [](const char* name, const char* text) { return ShaderFile{name, text}; };
    return sky.Build("sky", {COMMON, file("sky.vert", SHADER_SKY_VERT)},
                     {COMMON, file("sky.frag", SHADER_SKY_FRAG)}, {"aCorner"}) &&
           bottom.Build("bottom", {COMMON, file("bottom.vert", SHADER_BOTTOM_VERT)},
                        {COMMON, file("bottom.frag", SHADER_BOTTOM_FRAG)},
                        {"aPosition", "aNormal", "aTexCoord"}) &&
           bottomHeight.Build("bottomheight", {COMMON, file("bottomheight.vert", SHADER_BOTTOMHEIGHT_VERT)},
                              {COMMON, file("bottomheight.frag", SHADER_BOTTOMHEIGHT_FRAG)},
                              {"aPosition"}) &&
           caustics.Build("caustics", {COMMON, HEIGHTS, file("caustics.vert", SHADER_CAUSTICS_VERT)},
                          {COMMON, file("caustics.frag", SHADER_CAUSTICS_FRAG)}, {"aGrid"}) &&
           surface.Build("surface", {COMMON, HEIGHTS, file("surface.vert", SHADER_SURFACE_VERT)},
                         {COMMON, HEIGHTS, file("surface.frag", SHADER_SURFACE_FRAG)}, {"aGrid"}) &&
           ball.Build("ball", {COMMON, file("ball.vert", SHADER_BALL_VERT)},
                      {COMMON, file("ball.frag", SHADER_BALL_FRAG)},
                      {"aCorner", "aSphere", "aColour"}) &&
           drop.Build("drop", {COMMON, file("drop.vert", SHADER_DROP_VERT)},
                      {COMMON, file("drop.frag", SHADER_DROP_FRAG)}, {"aSphere"}) &&
           edge.Build("edge", {COMMON, file("edge.vert", SHADER_EDGE_VERT)},
                      {COMMON, file("edge.frag", SHADER_EDGE_FRAG)},
                      {"aPosition", "aNormal", "aColour"});
}

void ShadedPrograms::Release()
{
    for (CShaderProgram* program : {&sky, &bottom, &bottomHeight, &caustics, &surface, &ball, &drop, &edge})
        program->Release();
}

void UseAttributes(std::initializer_list<int> sizes, int stride)
{
    constexpr GLuint MAX_ATTRIBUTES = 4;
    GLuint location = 0;
    size_t offset = 0;
    for (int size : sizes)
    {
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location++, size, GL_FLOAT, GL_FALSE, GLsizei(stride * sizeof(float)),
                              reinterpret_cast<const void*>(offset * sizeof(float)));
        offset += size_t(size);
    }
    for (; location < MAX_ATTRIBUTES; ++location)
        glDisableVertexAttribArray(location);
}

// ---------------------------------------------------------------------------

bool GridMesh::Fit(uint32_t nx, uint32_t ny)
{
    if (nx == builtX && ny == builtY && vertices != 0)
        return indexCount > 0;
    Release();
    if (nx < 2 || ny < 2)
        return false;
    std::vector<float> points;
    std::vector<GLuint> triangles;
    try
    {
        points.reserve(size_t(nx) * ny * 2);
        triangles.reserve(size_t(nx - 1) * (ny - 1) * 6);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    for (uint32_t j = 0; j < ny; ++j)
        for (uint32_t i = 0; i < nx; ++i)
            points.insert(points.end(), {float(i) / float(nx - 1), float(j) / float(ny - 1)});
    for (uint32_t j = 0; j + 1 < ny; ++j)
        for (uint32_t i = 0; i + 1 < nx; ++i)
        {
            GLuint a = i + j * nx, b = a + 1, c = a + 1 + nx, d = a + nx;
            triangles.insert(triangles.end(), {a, b, c, a, c, d});
        }
    ClearErrors();
    glGenBuffers(1, &vertices);
    glBindBuffer(GL_ARRAY_BUFFER, vertices);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(points.size() * sizeof(float)), points.data(), GL_STATIC_DRAW);
    glGenBuffers(1, &indices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(triangles.size() * sizeof(GLuint)), triangles.data(),
                 GL_STATIC_DRAW);
    builtX = nx;
    builtY = ny;
    indexCount = NoError() ? GLsizei(triangles.size()) : 0;
    return indexCount > 0;
}

void GridMesh::Draw() const
{
    if (indexCount == 0)
        return;
    glBindBuffer(GL_ARRAY_BUFFER, vertices);
    UseAttributes({2}, 2);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices);
    glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, nullptr);
}

void GridMesh::Release()
{
    DeleteBuffer(vertices);
    DeleteBuffer(indices);
    builtX = builtY = 0;
    indexCount = 0;
}

// ---------------------------------------------------------------------------

bool RenderTexture::Make(GLenum format, int texels, bool depth)
{
    Release();
    size = texels;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), size, size, 0, GL_RED, GL_FLOAT, nullptr);
    SetLinearClamped(GL_LINEAR);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    if (depth)
    {
        glGenRenderbuffers(1, &depthBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, size, size);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
    }
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete)
        Release();
    return complete;
}

void RenderTexture::Bind() const
{
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, size, size);
}

void RenderTexture::Release()
{
    DeleteTexture(texture);
    if (framebuffer != 0)
        glDeleteFramebuffers(1, &framebuffer);
    if (depthBuffer != 0)
        glDeleteRenderbuffers(1, &depthBuffer);
    framebuffer = depthBuffer = 0;
}

// ---------------------------------------------------------------------------

void ScreenCopy::Copy(const GLint viewport[4])
{
    const GLsizei w = std::max(viewport[2], 1), h = std::max(viewport[3], 1);
    if (colour == 0 || w != width || h != height)
    {
        Release();
        width = w;
        height = h;
        glGenTextures(1, &colour);
        BindTexture(UNIT_SCENE_COLOUR, colour);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        SetLinearClamped(GL_LINEAR);
    }
    BindTexture(UNIT_SCENE_COLOUR, colour);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, viewport[0], viewport[1], w, h);
}

void ScreenCopy::Release()
{
    DeleteTexture(colour);
    width = height = 0;
}

// ---------------------------------------------------------------------------

bool SceneResources::Prepare(const CWaterBody& body, const ShadedPrograms& programs)
{
    Release();
    preparedFor = &body;
    cornersX = body.iSimulationWidth > 1 ? body.iSimulationWidth - 1 : 0;
    cornersY = body.iSimulationHeight > 1 ? body.iSimulationHeight - 1 : 0;
    water = ScreenMesh::SurfaceRect(body);
    cellSize[0] = body.CellSizeX();
    cellSize[1] = body.CellSizeY();
    rim = PoolEdgeRim(body);

    if (cornersX > 0 && cornersY > 0 && body.cornerHeights != nullptr)
    {
        GLint maxSize = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
        if (cornersX > uint32_t(maxSize) || cornersY > uint32_t(maxSize))
            return false;
        ClearErrors();
        glGenTextures(1, &heights);
        BindTexture(UNIT_HEIGHTS, heights);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R32F, GLsizei(cornersX), GLsizei(cornersY), 0, GL_RED, GL_FLOAT,
                     nullptr);
        SetLinearClamped(GL_LINEAR);
        if (!NoError())
            return false;
    }
    PrepareWalls(body);
    PrepareBottom(body, programs);
    return true;
}

// The bottom mesh into buffers, scaled as the fixed look scales it, and
// its heights seen from above into bottomHeights.
void SceneResources::PrepareBottom(const CWaterBody& body, const ShadedPrograms& programs)
{
    const C3DSObject& mesh = body.bottomMesh;
    const float w = float(body.iSimulationWidth), h = float(body.iSimulationHeight);
    bottomScale[0] = body.dSimulationSizeX * ((w - 2.0f) / w) * 0.5f;
    bottomScale[1] = body.dSimulationSizeY * ((h - 2.0f) / h) * 0.5f;
    bottomScale[2] = 2.0f * body.dDefaultHeight;
    for (float& s : bottomScale)  // a flat axis still needs its normals defined
        s = std::fabs(s) > 1e-9f ? s : 1e-9f;
    const size_t vertexCount = size_t(std::max(mesh.vertexCount, 0));
    const bool complete = mesh.vertices.size() >= vertexCount * 3 && mesh.normals.size() >= vertexCount * 3 &&
                          mesh.indices.size() >= size_t(std::max(mesh.triangleCount, 0)) * 3;
    float low = 0.0f, high = 0.0f;
    if (complete && vertexCount > 0 && mesh.triangleCount > 0)
    {
        bottomTexCoords = mesh.hasTexCoords && mesh.texCoords.size() >= vertexCount * 2;
        std::vector<float> interleaved;
        interleaved.reserve(vertexCount * 8);
        low = high = mesh.vertices[2] * bottomScale[2];
        for (size_t v = 0; v < vertexCount; ++v)
        {
            const float* p = &mesh.vertices[v * 3];
            const float* n = &mesh.normals[v * 3];
            const float s = bottomTexCoords ? mesh.texCoords[v * 2] : 0.0f;
            const float t = bottomTexCoords ? mesh.texCoords[v * 2 + 1] : 0.0f;
            interleaved.insert(interleaved.end(), {p[0], p[1], p[2], n[0], n[1], n[2], s, t});
            low = std::min(low, p[2] * bottomScale[2]);
            high = std::max(high, p[2] * bottomScale[2]);
        }
        glGenBuffers(1, &bottomVertices);
        glBindBuffer(GL_ARRAY_BUFFER, bottomVertices);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(interleaved.size() * sizeof(float)), interleaved.data(),
                     GL_STATIC_DRAW);
        glGenBuffers(1, &bottomIndices);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, bottomIndices);
        bottomIndexCount = GLsizei(mesh.triangleCount) * 3;
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(size_t(bottomIndexCount) * sizeof(uint32_t)),
                     mesh.indices.data(), GL_STATIC_DRAW);
    }
    PrepareEdge(body, low);

    // Where there is no mesh, the bottom is taken as its lowest point.
    if (!bottomHeights.Make(GL_R32F, LIGHT_MAP_SIZE, true))
        return;
    bottomHeights.Bind();
    glClearColor(low, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (bottomIndexCount > 0 && cornersX >= 2 && cornersY >= 2)
    {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glDepthMask(GL_TRUE);
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        const CShaderProgram& program = programs.bottomHeight;
        program.Use();
        program.Set("uBottomScale", bottomScale[0], bottomScale[1], bottomScale[2]);
        program.Set("uLightRect", water.minX, water.minY, water.maxX, water.maxY);
        program.Set("uHeightRange", low, high);
        glBindBuffer(GL_ARRAY_BUFFER, bottomVertices);
        UseAttributes({3}, 8);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, bottomIndices);
        glDrawElements(GL_TRIANGLES, bottomIndexCount, GL_UNSIGNED_INT, nullptr);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void SceneResources::PrepareEdge(const CWaterBody& body, float bottomZ)
{
    std::vector<float> faces;
    for (const EdgeBox& box : PoolEdgeBoxes(body, bottomZ))
        AppendBoxFaces(box, faces);
    edgeVertexCount = GLsizei(faces.size() / EDGE_VERTEX_FLOATS);
    glGenBuffers(1, &edgeVertices);
    glBindBuffer(GL_ARRAY_BUFFER, edgeVertices);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(faces.size() * sizeof(float)), faces.data(), GL_STATIC_DRAW);
}

void SceneResources::PrepareWalls(const CWaterBody& body)
{
    if (!body.HasWallMap())
        return;
    dryCorners = SurfaceGeometry::DryCorners(body);
    const uint32_t W = body.iSimulationWidth, H = body.iSimulationHeight;
    std::vector<unsigned char> texels(size_t(W) * H);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = body.IsWaterCell(i) ? 0 : 255;
    ClearErrors();
    glGenTextures(1, &walls);
    BindTexture(UNIT_WALLS, walls);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, GLsizei(W), GLsizei(H), 0, GL_RED, GL_UNSIGNED_BYTE, texels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    SetLinearClamped(GL_NEAREST);
    if (!NoError())
        DeleteTexture(walls);  // drawn as without a map, the wall boxes still standing
}

void SceneResources::UploadHeights(const CWaterBody& body) const
{
    if (heights == 0 || body.cornerHeights == nullptr)
        return;
    BindTexture(UNIT_HEIGHTS, heights);
    const float* drawn = body.cornerHeights;
    if (!dryCorners.empty())
    {
        SurfaceGeometry::FillDryCorners(body, dryCorners, body.cornerHeights, drawnHeights);
        drawn = drawnHeights.data();
    }
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GLsizei(cornersX), GLsizei(cornersY), GL_RED, GL_FLOAT, drawn);
}

void SceneResources::Release()
{
    DeleteTexture(heights);
    DeleteTexture(walls);
    DeleteBuffer(bottomVertices);
    DeleteBuffer(bottomIndices);
    DeleteBuffer(edgeVertices);
    bottomHeights.Release();
    bottomIndexCount = edgeVertexCount = 0;
    dryCorners.clear();
    drawnHeights.clear();
    preparedFor = nullptr;
}

void FrameBuffers::Release()
{
    for (GLuint* buffer : {&skyPolygon, &balls, &drops})
        DeleteBuffer(*buffer);
    if (vertexArray != 0)
        glDeleteVertexArrays(1, &vertexArray);
    vertexArray = 0;
}

// ---------------------------------------------------------------------------

void GatherBalls(const ShadedFrame& frame)
{
    std::vector<float>& squares = frame.buffers.ballData;
    std::vector<float>& shadows = frame.buffers.shadowBalls;
    squares.clear();
    shadows.clear();
    const float* eye = frame.view.eye;
    for (const SimObject& o : frame.body.objects)
    {
        if (o.kind != OBJECT_SOLID || !Finite(o.position) || !(o.radius > 0.0f) || !std::isfinite(o.radius))
            continue;
        if (int(shadows.size()) < 4 * MAX_SHADOW_BALLS)
            shadows.insert(shadows.end(), {o.position.x, o.position.y, o.position.z, o.radius});
        const float dx = o.position.x - eye[0], dy = o.position.y - eye[1], dz = o.position.z - eye[2];
        if (dx * dx + dy * dy + dz * dz <= o.radius * o.radius * 1.0001f)
            continue;  // the eye is inside: nothing of it shows
        static const float CORNERS[6][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, -1}, {1, 1}, {-1, 1}};
        for (const float* corner : CORNERS)
            squares.insert(squares.end(), {corner[0], corner[1], o.position.x, o.position.y, o.position.z,
                                           o.radius, o.color.x, o.color.y, o.color.z});
    }
}

void DrawCaustics(const ShadedFrame& frame, GridMesh& mesh, RenderTexture& lightMap)
{
    const SceneResources& scene = frame.scene;
    lightMap.Bind();
    const bool drawn = SurfaceDrawable(scene) && scene.bottomHeights.texture != 0;
    // No surface: light reaches the bottom as through calm water (the map
    // holds a quarter of the light: caustics.frag).
    glClearColor(drawn ? 0.0f : 0.25f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (drawn && mesh.Fit(std::min(scene.cornersX, CAUSTIC_GRID), std::min(scene.cornersY, CAUSTIC_GRID)))
    {
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        const CShaderProgram& program = frame.programs.caustics;
        SetCommon(program, frame.view);
        SetHeights(program, scene);
        program.Set("uBottomHeights", UNIT_BOTTOM_HEIGHTS);
        program.Set("uLightRect", scene.water.minX, scene.water.minY, scene.water.maxX, scene.water.maxY);
        const uint32_t nx = std::min(scene.cornersX, CAUSTIC_GRID), ny = std::min(scene.cornersY, CAUSTIC_GRID);
        program.Set("uNormalStride", float(scene.cornersX - 1) / float(nx - 1),
                    float(scene.cornersY - 1) / float(ny - 1));
        program.Set("uLightMapSize", float(lightMap.size), float(lightMap.size));
        program.Set("uRimHeight", scene.rim);
        const std::vector<float>& shadows = frame.buffers.shadowBalls;
        program.SetVectors4("uBalls", shadows.data(), int(shadows.size() / 4));
        program.Set("uBallCount", int(shadows.size() / 4));
        BindTexture(UNIT_HEIGHTS, scene.heights);
        BindTexture(UNIT_BOTTOM_HEIGHTS, scene.bottomHeights.texture);
        mesh.Draw();
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(frame.view.viewport[0], frame.view.viewport[1], frame.view.viewport[2], frame.view.viewport[3]);
}

// The opaque passes: depth written, back faces culled, F5's polygon mode.
static void SetOpaqueState(GLint polygonMode)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glPolygonMode(GL_FRONT_AND_BACK, GLenum(polygonMode));
}

void DrawBottom(const ShadedFrame& frame, const RenderTexture& lightMap)
{
    const SceneResources& scene = frame.scene;
    if (scene.bottomIndexCount == 0)
        return;
    SetOpaqueState(frame.polygonMode);
    const CShaderProgram& program = frame.programs.bottom;
    const GLuint texture = UsableTexture(frame.body.bottomTexture);
    SetCommon(program, frame.view);
    program.Set("uBottomScale", scene.bottomScale[0], scene.bottomScale[1], scene.bottomScale[2]);
    program.Set("uMeshTexCoords", scene.bottomTexCoords ? 1 : 0);
    program.Set("uBottomTexture", UNIT_BOTTOM_TEXTURE);
    program.Set("uTextured", texture != 0 ? 1 : 0);
    program.Set("uLightMap", UNIT_LIGHT_MAP);
    program.Set("uLightRect", scene.water.minX, scene.water.minY, scene.water.maxX, scene.water.maxY);
    float sun[3];
    UnderwaterSun(sun);
    program.Set("uUnderwaterSun", sun[0], sun[1], sun[2]);
    BindTexture(UNIT_BOTTOM_TEXTURE, texture);
    BindTexture(UNIT_LIGHT_MAP, lightMap.texture);
    glBindBuffer(GL_ARRAY_BUFFER, scene.bottomVertices);
    UseAttributes({3, 3, 2}, 8);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, scene.bottomIndices);
    glDrawElements(GL_TRIANGLES, scene.bottomIndexCount, GL_UNSIGNED_INT, nullptr);
}

void DrawEdge(const ShadedFrame& frame)
{
    const SceneResources& scene = frame.scene;
    if (scene.edgeVertexCount == 0)
        return;
    SetOpaqueState(frame.polygonMode);
    const CShaderProgram& program = frame.programs.edge;
    SetCommon(program, frame.view);
    const float size = std::max(frame.body.dSimulationSizeX, frame.body.dSimulationSizeY);
    program.Set("uHazeDistance", 2.0f * size, 9.0f * size);
    program.Set("uPixelsPerUnit", frame.view.pixelsPerUnit);
    glBindBuffer(GL_ARRAY_BUFFER, scene.edgeVertices);
    UseAttributes({3, 3, 4}, EDGE_VERTEX_FLOATS);
    glDrawArrays(GL_TRIANGLES, 0, scene.edgeVertexCount);
}

// Filled whatever F5 chose: a ball is traced, not a mesh.
void DrawBalls(const ShadedFrame& frame)
{
    const std::vector<float>& squares = frame.buffers.ballData;
    if (squares.empty())
        return;
    SetOpaqueState(GL_FILL);
    glDisable(GL_CULL_FACE);
    const CShaderProgram& program = frame.programs.ball;
    SetCommon(program, frame.view);
    Stream(frame.buffers.balls, squares);
    UseAttributes({2, 4, 3}, 9);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(squares.size() / 9));
}

// The part of the window where the view looks above the horizon: the
// window's square in clip space cut by the line where the direction of
// view is level. Direction z at clip (x, y) is a·x + b·y + c; a hair below
// the horizon is kept, so that no gap shows along it. At most 5 corners,
// 2 floats each; returns their count.
static int SkyPolygon(const FrameView& view, float out[10])
{
    const float* m = view.viewToWorld;
    const float a = m[2] * view.viewScale[0], b = m[5] * view.viewScale[1], c = -m[8];
    const float square[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    auto level = [&](const float* p) { return a * p[0] + b * p[1] + c + 0.01f; };
    int count = 0;
    for (int i = 0; i < 4; ++i)
    {
        const float* p = square[i];
        const float* q = square[(i + 1) % 4];
        const float lp = level(p), lq = level(q);
        if (lp >= 0.0f)
        {
            out[2 * count] = p[0];
            out[2 * count + 1] = p[1];
            ++count;
        }
        if ((lp >= 0.0f) != (lq >= 0.0f))
        {
            const float t = lp / (lp - lq);
            out[2 * count] = p[0] + t * (q[0] - p[0]);
            out[2 * count + 1] = p[1] + t * (q[1] - p[1]);
            ++count;
        }
    }
    return count;
}

void ClearToHorizon()
{
    glClearColor(HORIZON[0], HORIZON[1], HORIZON[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Last of the opaque passes, at the far plane, so that only the pixels
// nothing covers are shaded.
void DrawSky(const ShadedFrame& frame)
{
    float corners[10];
    const int count = SkyPolygon(frame.view, corners);
    if (count < 3)
        return;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    const CShaderProgram& program = frame.programs.sky;
    SetCommon(program, frame.view);
    program.SetMatrix3("uViewToWorld", frame.view.viewToWorld);
    program.Set("uViewScale", frame.view.viewScale[0], frame.view.viewScale[1]);
    glBindBuffer(GL_ARRAY_BUFFER, frame.buffers.skyPolygon);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(2 * count * sizeof(float)), corners, GL_STREAM_DRAW);
    UseAttributes({2}, 2);
    glDrawArrays(GL_TRIANGLE_FAN, 0, count);
}

void DrawSurface(const ShadedFrame& frame, GridMesh& mesh, const ScreenCopy& below)
{
    const SceneResources& scene = frame.scene;
    if (!SurfaceDrawable(scene))
        return;
    const FrameView& view = frame.view;
    const ScreenMesh::Size size = ScreenMesh::Choose(view.viewProjection, view.viewport[2], view.viewport[3],
                                                     scene.water, scene.cornersX, scene.cornersY);
    if (!mesh.Fit(size.x, size.y))
        return;
    SetOpaqueState(frame.polygonMode);
    const CShaderProgram& program = frame.programs.surface;
    SetCommon(program, view);
    SetHeights(program, scene);
    program.Set("uSceneColour", UNIT_SCENE_COLOUR);
    program.Set("uBottomHeights", UNIT_BOTTOM_HEIGHTS);
    program.Set("uLightRect", scene.water.minX, scene.water.minY, scene.water.maxX, scene.water.maxY);
    program.Set("uViewport", float(view.viewport[0]), float(view.viewport[1]), float(std::max(view.viewport[2], 1)),
                float(std::max(view.viewport[3], 1)));
    BindTexture(UNIT_HEIGHTS, scene.heights);
    BindTexture(UNIT_SCENE_COLOUR, below.colour);
    BindTexture(UNIT_BOTTOM_HEIGHTS, scene.bottomHeights.texture);
    mesh.Draw();
}

void DrawDrops(const ShadedFrame& frame)
{
    std::vector<float>& points = frame.buffers.dropData;
    points.clear();
    for (const SimObject& o : frame.body.objects)
        if (o.kind == OBJECT_PARTICLE && Finite(o.position) && std::isfinite(o.radius) && o.radius > 0.0f)
            points.insert(points.end(), {o.position.x, o.position.y, o.position.z, o.radius});
    if (points.empty())
        return;
    SetOpaqueState(GL_FILL);
    glEnable(GL_PROGRAM_POINT_SIZE);
    glEnable(GL_POINT_SPRITE);
    glDisable(GL_POINT_SMOOTH);
    const CShaderProgram& program = frame.programs.drop;
    SetCommon(program, frame.view);
    program.Set("uPixelsPerUnit", frame.view.pixelsPerUnit);
    program.SetMatrix3("uViewToWorld", frame.view.viewToWorld);
    program.Set("uPointCoordSign", frame.view.pointCoordSign[0], frame.view.pointCoordSign[1]);
    Stream(frame.buffers.drops, points);
    UseAttributes({4}, 4);
    glDrawArrays(GL_POINTS, 0, GLsizei(points.size() / 4));
}
