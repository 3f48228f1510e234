// CSimFixture: temporary working directory, option texts and tiny assets
// for a CWaterBody under test.
#include "SimFixture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "MeshFileBytes.h"
#include "app/Log.h"
#include "assets/TgaImage.h"
#include "config/OptionsParser.h"
#include "sim/Random.h"

namespace
{
// 4 x 3 pixels, no symmetry, so nothing depends on a lucky layout.
void WriteTexture(const char* name)
{
    CTgaImage image;
    if (!image.Allocate(4, 3, 24))
        throw std::runtime_error("SimFixture: cannot allocate the texture");
    for (int i = 0; i < 4 * 3 * 3; ++i)
        image.data[i] = static_cast<unsigned char>(i * 7);
    if (!CTgaImage::TgaImageSave(name, &image, false))
        throw std::runtime_error("SimFixture: cannot write the texture");
}

// FNV-1a.
struct Hasher
{
    uint64_t value = 1469598103934665603ull;
    void Bytes(const void* p, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            value = (value ^ static_cast<const unsigned char*>(p)[i]) * 1099511628211ull;
    }
    template <typename... T>
    void Values(const T&... v) { (Bytes(&v, sizeof v), ...); }
    void Object(const SimObject& o)
    {
        Values(o.mass, o.radius, o.position, o.speed, o.acceleration, o.color);
        if (o.name)
            Bytes(o.name, std::strlen(o.name) + 1);
        Values(o.kind);
    }
};
}  // namespace

std::string SimFixtureMeshBytes()
{
    const std::vector<unsigned char> bytes = MeshFileBytes::UnitTriangle().Encode();
    return std::string(bytes.begin(), bytes.end());
}

CSimFixture::CSimFixture(const std::string& simulationOpt, const std::string& eventsOpt)
{
    SimFixtureFiles files;
    files.simulationOpt = simulationOpt;
    files.eventsOpt = eventsOpt;
    Setup(files);
}

CSimFixture::CSimFixture(const SimFixtureFiles& files)
{
    Setup(files);
}

void CSimFixture::Setup(const SimFixtureFiles& files)
{
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        throw std::runtime_error("SimFixture: getcwd failed");
    previousDirectory = cwd;

    std::string pattern = (std::filesystem::temp_directory_path() / "ripplex-sim-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("SimFixture: mkdtemp failed");
    directory = pattern;
    if (chdir(directory.c_str()) != 0)
        throw std::runtime_error("SimFixture: chdir failed");

    if (files.writeSimulationOpt)
        WriteFile("simulation.opt", files.simulationOpt);
    if (files.writeEventsOpt)
        WriteFile("events.opt", files.eventsOpt);
    if (files.writeMesh)
        WriteFile("null.obj", SimFixtureMeshBytes());
    if (files.writeTexture)
        WriteTexture("null.tga");

    CLog::Close(0);
    CLog::Open(0, "error.log");
    COptionsParser::ClearCache();
    ResetRandom();
    if (files.init)
        initialised = body.Init();
}

CSimFixture::~CSimFixture()
{
    CLog::Close(0);
    COptionsParser::ClearCache();
    if (chdir(previousDirectory.c_str()) != 0)
        std::fprintf(stderr, "SimFixture: cannot return to %s\n", previousDirectory.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

void CSimFixture::WriteFile(const std::string& name, const std::string& bytes) const
{
    std::ofstream out(directory + "/" + name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("SimFixture: cannot write " + name);
}

std::string CSimFixture::LogText() const
{
    std::ifstream in(directory + "/error.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

float& CSimFixture::HeightAt(uint32_t x, uint32_t y)
{
    return body.cellHeights[x + y * body.iSimulationWidth];
}

float& CSimFixture::PressureAt(uint32_t x, uint32_t y)
{
    return body.cellPressures[x + y * body.iSimulationWidth];
}

uint8_t& CSimFixture::WaterAt(uint32_t x, uint32_t y)
{
    return body.waterMask[x + y * body.iSimulationWidth];
}

float CSimFixture::CornerHeightAt(uint32_t x, uint32_t y) const
{
    return body.cornerHeights[x + y * (body.iSimulationWidth - 1)];
}

const Vec3& CSimFixture::CornerNormalAt(uint32_t x, uint32_t y) const
{
    return body.cornerNormals[x + y * (body.iSimulationWidth - 1)];
}

void CSimFixture::Run(int steps, double dt)
{
    for (int i = 0; i < steps; ++i)
        body.Step(dt);
}

uint64_t CSimFixture::StateHash() const
{
    return StateHashOf(body);
}

uint64_t StateHashOf(const CWaterBody& body)
{
    Hasher h;
    h.Values(body.dElapsedTime);
    const size_t cellCount = size_t(body.iSimulationWidth) * body.iSimulationHeight;
    for (size_t i = 0; body.HasCells() && i < cellCount; ++i)
        h.Values(body.cellHeights[i], body.pipeFlows[0][i], body.pipeFlows[1][i],
                 body.pipeFlows[2][i], body.pipeFlows[3][i], body.cellPressures[i],
                 body.waterMask[i]);
    const size_t cornerCount = size_t(body.iSimulationWidth - 1) * (body.iSimulationHeight - 1);
    for (size_t i = 0; body.cornerHeights && i < cornerCount; ++i)
        h.Values(body.cornerHeights[i], body.cornerNormals[i]);
    for (const SimObject& o : body.objects)
        h.Object(o);
    for (const SimEvent& e : body.events)
    {
        h.Values(e.type, e.time, e.once, e.addTime, e.addObject);
        h.Object(e.object);
    }
    return h.value;
}
