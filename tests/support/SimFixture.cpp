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

// FNV-1a over 64-bit words.
struct Hasher
{
    uint64_t value = 1469598103934665603ull;
    // Eight bytes at a time, then the bytes left: the identity test hashes
    // every step, so the hash has to keep up with the step.
    void Bytes(const void* p, size_t n)
    {
        const unsigned char* bytes = static_cast<const unsigned char*>(p);
        size_t i = 0;
        for (uint64_t word; i + 8 <= n; i += 8)
        {
            std::memcpy(&word, bytes + i, 8);
            value = (value ^ word) * 1099511628211ull;
        }
        for (; i < n; ++i)
            value = (value ^ bytes[i]) * 1099511628211ull;
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
    {
        const std::vector<unsigned char> mesh = MeshFileBytes().Encode();
        WriteFile("null.obj", std::string(mesh.begin(), mesh.end()));
    }
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
    // Each field's values in cell (corner) order, whatever arrays hold them.
    const size_t cells = size_t(body.iSimulationWidth) * body.iSimulationHeight;
    if (body.HasCells())
    {
        h.Bytes(body.cellHeights, cells * sizeof(float));
        for (const float* flows : body.pipeFlows)
            h.Bytes(flows, cells * sizeof(float));
        h.Bytes(body.cellPressures, cells * sizeof(float));
        h.Bytes(body.waterMask, cells);
    }
    const size_t corners = size_t(body.iSimulationWidth - 1) * (body.iSimulationHeight - 1);
    if (body.cornerHeights)
    {
        h.Bytes(body.cornerHeights, corners * sizeof(float));
        h.Bytes(body.cornerNormals, corners * sizeof(Vec3));
    }
    for (const SimObject& o : body.objects)
        h.Object(o);
    for (const SimEvent& e : body.events)
    {
        h.Values(e.type, e.time, e.once, e.addTime, e.addObject);
        h.Object(e.object);
    }
    return h.value;
}
