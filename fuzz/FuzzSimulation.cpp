// The simulation as a whole: the bytes are "simulation.opt", a NUL byte,
// then "events.opt". Both are written into a private working directory
// beside a small valid mesh and texture, then Init and a few hundred Steps
// run. This is where a NaN turned into an index, an out-of-range conversion
// or an unbounded list shows up.
//
// The harness keeps runs small on purpose: it skips inputs whose grid has
// more than 400 cells or that name files outside the working directory
// (a user may legitimately name /dev/stdin; the fuzzer must not block on it).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "MeshFileBytes.h"
#include "assets/TgaImage.h"
#include "config/OptionsParser.h"
#include "sim/Random.h"
#include "sim/WaterBody.h"

namespace {

constexpr int kSteps = 300;
constexpr double kDt = 0.03;
constexpr long kMaxCells = 400;

void WriteFile(const char* name, const void* bytes, size_t size)
{
    std::FILE* file = std::fopen(name, "wb");
    if (file == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(bytes, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}

void WriteMesh()
{
    const std::vector<unsigned char> bytes = MeshFileBytes().Encode();
    WriteFile("null.obj", bytes.data(), bytes.size());
}

void WriteTexture()
{
    CTgaImage image;
    if (!image.Allocate(2, 2, 24))
        std::abort();
    std::memset(image.data, 128, 12);
    if (!CTgaImage::TgaImageSave("null.tga", &image, false))
        std::abort();
}

char g_workingDirectory[] = "/tmp/ripplex-fuzz-sim-XXXXXX";

void RemoveWorkingDirectory()
{
    for (const char* name : {"null.obj", "null.tga", "simulation.opt", "events.opt"})
    {
        std::string path = std::string(g_workingDirectory) + "/" + name;
        std::remove(path.c_str());
    }
    rmdir(g_workingDirectory);
}

void EnterWorkingDirectory()
{
    static bool entered = false;
    if (entered)
        return;
    if (mkdtemp(g_workingDirectory) == nullptr || chdir(g_workingDirectory) != 0)
        std::abort();
    std::atexit(RemoveWorkingDirectory);
    WriteMesh();
    WriteTexture();
    entered = true;
}

bool NamesOnlyLocalFiles(const COptionList& list)
{
    for (const COptionEntry& entry : list.entries)
        if (entry.type == OptionType::String && std::strchr(entry.Text(), '/') != nullptr)
            return false;
    return true;
}

// The same checks as the program would make, on a private parse, to keep
// the grid small before Init allocates it.
bool AcceptSimulationText(const uint8_t* data, size_t size)
{
    if (size == 0)
        return true;
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (file == nullptr)
        return false;
    COptionList list;
    const bool valid = COptionsParser::ParseFileForVariable(file, &list);
    std::fclose(file);
    if (!valid)
        return true;  // Init will refuse it; that path is worth running too
    const long width = list.GetInt("iSimulationWidth", 50);
    const long height = list.GetInt("iSimulationHeight", 50);
    if (width > kMaxCells || height > kMaxCells)
        return false;
    if (width > 0 && height > 0 && width * height > kMaxCells)
        return false;
    if (width <= 0 || height <= 0)
        return true;  // refused by Init
    return NamesOnlyLocalFiles(list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EnterWorkingDirectory();
    const uint8_t* separator = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t simulationSize = separator ? size_t(separator - data) : size;
    const uint8_t* eventsData = separator ? separator + 1 : data + size;
    const size_t eventsSize = size_t(data + size - eventsData);

    if (!AcceptSimulationText(data, simulationSize))
        return 0;
    // An empty simulation.opt would give the default 50 x 50 grid.
    static const char smallGrid[] = "iSimulationWidth = 12; iSimulationHeight = 12;";
    if (simulationSize == 0)
        WriteFile("simulation.opt", smallGrid, sizeof smallGrid - 1);
    else
        WriteFile("simulation.opt", data, simulationSize);
    WriteFile("events.opt", eventsData, eventsSize);

    COptionsParser::ClearCache();
    ResetRandom();
    {
        CWaterBody body;
        if (body.Init())
        {
            for (int i = 0; i < kSteps; ++i)
                body.Step(kDt);
        }
        body.Release();
    }
    COptionsParser::ClearCache();
    return 0;
}
