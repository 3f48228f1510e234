// ripplex-make-assets OUTDIR [SCENE]: writes every file of a shipped
// working directory (default/, or fine/, large/ or island/ when SCENE names
// them), the same bytes on every run: the water's sphere-map texture, the
// sand of the basin bottom, the bottom mesh, the four option files and,
// for island/, its wall map. OUTDIR is
// made, with its parents, when it does not exist.
//
// Deliberately not done: no clock, no system randomness, no maths-library
// transcendentals (see Procedural.h); the pictures are plain procedural
// patterns, not photographs.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "DefaultOptions.h"
#include "Procedural.h"
#include "assets/TgaImage.h"

namespace
{

using namespace procedural;

constexpr int TEXTURE_SIZE = 256;

struct Colour
{
    double r, g, b;
};

Colour Mix(const Colour& a, const Colour& b, double t)
{
    return {Lerp(a.r, b.r, t), Lerp(a.g, b.g, t), Lerp(a.b, b.b, t)};
}

unsigned char ToByte(double channel)
{
    return static_cast<unsigned char>(Clamp01(channel / 255.0) * 255.0 + 0.5);
}

void PutPixel(CTgaImage& image, int x, int y, const Colour& colour)
{
    unsigned char* p = image.data + 3 * (size_t(y) * image.width + x);
    p[0] = ToByte(colour.r);
    p[1] = ToByte(colour.g);
    p[2] = ToByte(colour.b);
}

// ---------------------------------------------------------------------------
// Water: a sphere map of the sky. Its centre is what the surface reflects
// straight back to the viewer, its rim what lies behind. A camera looking
// down at 30 to 40 degrees, as the shipped one does, sees a calm surface
// sample a ring at radius 0.8 to 0.87: the sky stays pale out to 0.75, the
// ring is sky blue and the steep faces of the waves reach the deep blue.

Colour SkyGradient(double radius)
{
    const Colour zenith = {236, 246, 255};
    const Colour middle = {118, 178, 236};
    const Colour rim = {18, 54, 132};
    if (radius < 0.75)
        return Mix(zenith, middle, SmoothStep(0.0, 0.75, radius));
    return Mix(middle, rim, SmoothStep(0.75, 1.0, radius));
}

Colour WaterPixel(int x, int y)
{
    double nx = (x + 0.5) / (TEXTURE_SIZE * 0.5) - 1.0;
    double ny = (y + 0.5) / (TEXTURE_SIZE * 0.5) - 1.0;
    double radius = std::sqrt(nx * nx + ny * ny);
    if (radius > 1.0)
        radius = 1.0;
    Colour sky = SkyGradient(radius);

    // Soft clouds, thinning out towards the rim.
    double cloudNoise = TileableFractalNoise(0.5 + 0.5 * nx, 0.5 + 0.5 * ny, 3, 4, 17);
    double cloud = SmoothStep(0.56, 0.82, cloudNoise) * (1.0 - SmoothStep(0.85, 1.0, radius));
    sky = Mix(sky, Colour{250, 251, 255}, 0.75 * cloud);

    // A sun highlight a little off the centre.
    double dx = nx - 0.28;
    double dy = ny - 0.32;
    double glow = 1.0 / (1.0 + 600.0 * (dx * dx + dy * dy));
    return Mix(sky, Colour{255, 255, 248}, 0.9 * glow);
}

// ---------------------------------------------------------------------------
// Bottom: warm sand with wind ripples, mottling and grains. Every pattern
// repeats exactly across the picture, so the tiled texture has no seams.

Colour SandPixel(int x, int y)
{
    double s = double(x) / TEXTURE_SIZE;
    double t = double(y) / TEXTURE_SIZE;
    const Colour sand = {216, 188, 142};

    double warp = TileableFractalNoise(s, t, 4, 3, 101);
    // Whole numbers of ripples across and along keep the ripples tileable.
    double ripple = 0.5 + 0.5 * CosTurns(6.0 * t + 1.0 * s + 0.8 * warp);
    ripple = ripple * ripple;
    double mottle = TileableFractalNoise(s, t, 8, 4, 202);
    double grain = HashUnit(uint32_t(x), uint32_t(y), 303);
    double shade = 0.84 + 0.12 * ripple + 0.16 * (mottle - 0.5) + 0.08 * (grain - 0.5);

    Colour colour = {sand.r * shade, sand.g * shade, sand.b * shade};
    // Sparse darker pebbles.
    if (HashUnit(uint32_t(x), uint32_t(y), 404) > 0.992)
        colour = Mix(colour, Colour{120, 96, 70}, 0.6);
    return colour;
}

bool WriteTexture(const std::string& path, Colour (*pixel)(int, int))
{
    CTgaImage image;
    if (!image.Allocate(TEXTURE_SIZE, TEXTURE_SIZE, 24))
        return false;
    for (int y = 0; y < TEXTURE_SIZE; ++y)
        for (int x = 0; x < TEXTURE_SIZE; ++x)
            PutPixel(image, x, y, pixel(x, y));
    return CTgaImage::TgaImageSave(path.c_str(), &image, false);
}

// ---------------------------------------------------------------------------
// Bottom mesh: a grid over [-1, 1] × [-1, 1]. Heights are in units of half
// the water depth (the drawing scales z by twice the rest height), so 0.5
// would be the surface: the relief stays between about 0.07 and 0.30.

constexpr int GRID_VERTICES = 33;  // per side
constexpr double TEXTURE_REPEATS = 4.0;  // across the basin

// Shallow bowl plus two soft wave patterns.
double BottomHeight(double x, double y)
{
    return 0.10 + 0.08 * (x * x + y * y) + 0.025 * CosTurns(0.75 * x) * CosTurns(0.75 * y) +
           0.015 * CosTurns(1.25 * (x + 0.5 * y));
}

// Unit normal (-∂f/∂x, -∂f/∂y, 1) / length, from the derivatives of
// BottomHeight.
void BottomNormal(double x, double y, float out[3])
{
    double bumpScale = 0.025 * 1.5 * PI;
    double waveScale = 0.015 * 2.5 * PI;
    double wave = SinTurns(1.25 * (x + 0.5 * y));
    double fx = 0.16 * x - bumpScale * SinTurns(0.75 * x) * CosTurns(0.75 * y) - waveScale * wave;
    double fy = 0.16 * y - bumpScale * CosTurns(0.75 * x) * SinTurns(0.75 * y) -
                waveScale * 0.5 * wave;
    double length = std::sqrt(fx * fx + fy * fy + 1.0);
    out[0] = float(-fx / length);
    out[1] = float(-fy / length);
    out[2] = float(1.0 / length);
}

void PutLittleEndian(std::vector<unsigned char>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutFloat(std::vector<unsigned char>& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutLittleEndian(out, bits);
}

std::vector<unsigned char> EncodeBottomMesh()
{
    const int n = GRID_VERTICES;
    const int vertexCount = n * n;
    const int triangleCount = 2 * (n - 1) * (n - 1);
    // Header: length 7, version 21, counts high byte first, texture
    // coordinates present.
    std::vector<unsigned char> out = {7, 21, static_cast<unsigned char>(vertexCount >> 8),
                                      static_cast<unsigned char>(vertexCount & 0xFF),
                                      static_cast<unsigned char>(triangleCount >> 8),
                                      static_cast<unsigned char>(triangleCount & 0xFF), 1};
    auto coordinate = [n](int i) { return -1.0 + 2.0 * i / (n - 1); };
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            double x = coordinate(i), y = coordinate(j);
            PutFloat(out, float(x));
            PutFloat(out, float(y));
            PutFloat(out, float(BottomHeight(x, y)));
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            float normal[3];
            BottomNormal(coordinate(i), coordinate(j), normal);
            for (float component : normal)
                PutFloat(out, component);
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            PutFloat(out, float((coordinate(i) + 1.0) * 0.5 * TEXTURE_REPEATS));
            PutFloat(out, float((coordinate(j) + 1.0) * 0.5 * TEXTURE_REPEATS));
        }
    // Two triangles per grid square, counter-clockwise seen from +z so
    // that the top is the front face.
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i)
        {
            uint32_t a = uint32_t(i + j * n), b = a + 1, c = a + 1 + uint32_t(n), d = a + uint32_t(n);
            for (uint32_t index : {a, b, c, a, c, d})
                PutLittleEndian(out, index);
        }
    return out;
}

// One pixel per cell, black for a wall, white for water, sampled at the
// cell's centre as the viewer draws the cells.
bool WriteWallMap(const std::string& path, int cells)
{
    CTgaImage image;
    if (!image.Allocate(uint16_t(cells), uint16_t(cells), 24))
        return false;
    for (int y = 0; y < cells; ++y)
        for (int x = 0; x < cells; ++x)
        {
            const bool wall = IsIslandWall((x + 0.5) / cells - 0.5, (y + 0.5) / cells - 0.5);
            const double level = wall ? 0.0 : 255.0;
            PutPixel(image, x, y, Colour{level, level, level});
        }
    return CTgaImage::TgaImageSave(path.c_str(), &image, false);
}

bool WriteBytes(const std::string& path, const void* bytes, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv)
{
    // The scene: default/ unless a second argument names another one.
    const ShippedScene* scene = &g_shippedScenes[0];
    for (const ShippedScene& s : g_shippedScenes)
        if (argc == 3 && std::strcmp(argv[2], s.directory) == 0)
            scene = &s;
    if (argc != 2 && !(argc == 3 && std::strcmp(argv[2], scene->directory) == 0))
    {
        std::fprintf(stderr, "usage: %s OUTDIR [default|fine|large|island]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error)
    {
        std::fprintf(stderr, "ripplex-make-assets: cannot create %s: %s\n", dir.c_str(),
                     error.message().c_str());
        return 1;
    }
    bool ok = true;
    auto report = [&ok](bool written, const std::string& path) {
        if (!written)
        {
            std::fprintf(stderr, "ripplex-make-assets: cannot write %s\n", path.c_str());
            ok = false;
        }
    };

    report(WriteTexture(dir + "/water.tga", WaterPixel), dir + "/water.tga");
    report(WriteTexture(dir + "/bottom.tga", SandPixel), dir + "/bottom.tga");
    std::vector<unsigned char> mesh = EncodeBottomMesh();
    report(WriteBytes(dir + "/bottom.obj", mesh.data(), mesh.size()), dir + "/bottom.obj");
    const std::string simulationOpt = SimulationOptFor(*scene);
    const std::string graphicsOpt = GraphicsOptFor(*scene);
    const std::string sceneOpt = SceneOptFor(*scene);
    const std::string eventsOpt = EventsOptFor(*scene);
    if (scene->wallMap)
        report(WriteWallMap(dir + "/walls.tga", std::atoi(scene->cellsPerSide)), dir + "/walls.tga");
    for (const DefaultOptionFile& file : g_defaultOptionFiles)
    {
        std::string path = dir + "/" + file.fileName;
        const char* text = file.text == g_simulationOptText   ? simulationOpt.c_str()
                           : file.text == g_graphicsOptText ? graphicsOpt.c_str()
                           : file.text == g_sceneOptText    ? sceneOpt.c_str()
                           : file.text == g_eventsOptText   ? eventsOpt.c_str()
                                                              : file.text;
        report(WriteBytes(path, text, std::strlen(text)), path);
    }
    return ok ? 0 : 1;
}
