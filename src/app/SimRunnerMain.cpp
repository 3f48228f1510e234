// ripplex-sim: the water simulation without a window. It initialises the
// CWaterBody from a working directory exactly as the program does (same
// option files, assets and messages; CWaterBodyLoader), advances it N times by dt (each in
// as many sub-steps as the stability bound needs, or in one plain step
// with --no-substeps) and prints one summary line after the last step
// (and, with --every K, also before the first and every K steps); it can
// also dump the final cell heights, and export every reported moment for
// other tools (CExportSequence).
//
//   ripplex-sim --directory DIR --steps N [--dt SECONDS] [--heights FILE] [--every K] [--no-substeps]
//               [--export DIR [--leave-out PARTS]]
//
// Summary line: time=%.6f water=%.9g spray=%.9g objects=%d particles=%d, where
// water is the volume of the water cells and spray the volume in flight.
// Heights file: W×H 32-bit little-endian floats in cell order, nothing else;
// a name ending in ".npy" gets the same values as a NumPy array (H, W).
//
// The log goes to standard error, the warnings about option keys that had
// no effect included (after start-up, as in the viewer).
//
// Deliberately not done: no OpenGL, no log file, no real-time pacing.
// Exit status: 0 done, 1 directory, start-up or output failure, 2 bad
// command line, 3 (EXIT_DIVERGED) the simulation diverged: the run stops
// there, after the log line and one summary line.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/CommandLine.h"
#include "app/Log.h"
#include "app/ExportSequence.h"
#include "app/WaterBodyLoader.h"
#include "assets/ExportFile.h"
#include "assets/HeightDump.h"
#include "sim/WaterBody.h"
#include "sim/WaterSummary.h"

namespace
{
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr double DEFAULT_DT = 0.03;

const char* const USAGE =
    "usage: ripplex-sim --directory DIR --steps N [--dt SECONDS] [--heights FILE] [--every K]\n"
    "                   [--no-substeps] [--export DIR [--leave-out PARTS]]\n"
    "  DIR      working directory with the option files and assets (\"d\" also works)\n"
    "  N        number of steps, decimal digits, >= 0\n"
    "  SECONDS  step length, > 0 (default 0.03), as 0.03 or 3e-2\n"
    "  FILE     receives the final heights, W*H little-endian float32 (a NumPy array\n"
    "           of shape (H, W) when FILE ends in .npy)\n"
    "  K        also print the summary before the first step and every K steps, >= 1\n"
    "  DIR and FILE are names as written, digits or not\n"
    "  --no-substeps  one plain step of SECONDS each, even over the stability bound\n"
    "  --export DIR   at every summary line heights_NNNNN.exr, surface_NNNNN.obj and the\n"
    "                 objects' lines of objects.csv; bottom.obj once; DIR made if needed\n"
    "  PARTS    what --export leaves out, comma-separated: heights, surface, objects, bottom\n";

struct RunSettings
{
    std::string directory = "default";
    int steps = 0;
    double dt = DEFAULT_DT;
    int every = 0;                      // 0: only after the last step
    std::string heightsFile;            // empty: no dump
    bool subSteps = true;               // false: --no-substeps
    std::string exportDirectory;        // empty: no export
    unsigned exportParts = EXPORT_ALL;  // ExportPart bits, less --leave-out
};

int UsageError(const char* what, const char* name)
{
    std::fprintf(stderr, "ripplex-sim: %s%s\n%s", what, name, USAGE);
    return EXIT_USAGE;
}

// A numeric option refused, with the text that was written (none for an
// option given without a value).
int RefusedValue(const char* option, const char* wanted, const char* text)
{
    if (text[0] == '\0')
        std::fprintf(stderr, "ripplex-sim: --%s needs %s\n%s", option, wanted, USAGE);
    else
        std::fprintf(stderr, "ripplex-sim: --%s needs %s, not \"%s\"\n%s", option, wanted, text,
                     USAGE);
    return EXIT_USAGE;
}

bool IsKnownOption(const std::string& name)
{
    static const char* const known[] = {"directory", "d",           "steps",  "dt",
                                        "heights",   "every",       "no-substeps",
                                        "export",    "leave-out"};
    for (const char* k : known)
        if (name == k)
            return true;
    return false;
}

// "--export DIR [--leave-out PARTS]": PARTS is a comma-separated list of
// part names, each known, none empty, not all four.
int ReadExportSettings(const CCommandLine& line, RunSettings* s)
{
    if (line.Find("export"))
    {
        const char* directory = line.GetText("export", "");
        if (directory[0] == '\0')
            return UsageError("--export needs a directory name", "");
        s->exportDirectory = directory;
    }
    if (!line.Find("leave-out"))
        return EXIT_SUCCESS;
    const char* const partsWanted =
        "parts among heights, surface, objects, bottom, comma-separated";
    const char* text = line.GetText("leave-out", "");
    if (text[0] == '\0')
        return RefusedValue("leave-out", partsWanted, text);
    if (s->exportDirectory.empty())
        return UsageError("--leave-out needs --export", "");
    const std::string list = text;
    for (size_t start = 0; start <= list.size();)
    {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        const unsigned part = ExportPartNamed(list.substr(start, comma - start));
        if (part == 0)
            return RefusedValue("leave-out", partsWanted, text);
        s->exportParts &= ~part;
        start = comma + 1;
    }
    if (s->exportParts == 0)
        return UsageError("--leave-out leaves nothing to export", "");
    return EXIT_SUCCESS;
}

// The first entry of a name decides, as for every lookup of the program.
// Numbers are read strictly from their whole text; names (the directory,
// the heights file) are taken as written, whatever they look like.
// Returns EXIT_SUCCESS or EXIT_USAGE after printing why.
int ReadSettings(const CCommandLine& line, RunSettings* s)
{
    const char* directoryOption = line.Find("directory") ? "directory" : "d";
    if (line.Find(directoryOption))
    {
        const char* directory = line.GetText(directoryOption, nullptr);
        if (directory == nullptr)
            return UsageError("the directory must be a name: ", directoryOption);
        s->directory = directory;
    }

    const char* const countWanted = "a whole number >= 0 (decimal digits)";
    const char* text = "";
    if (line.ReadCount("steps", 0, &s->steps, &text) != OptionNumber::Read)
        return RefusedValue("steps", countWanted, text);
    if (line.ReadNumber("dt", &s->dt, &text) == OptionNumber::Refused || !(s->dt > 0.0))
        return RefusedValue("dt", "a number > 0 (as 0.03 or 3e-2)", text);
    if (line.ReadCount("every", 1, &s->every, &text) == OptionNumber::Refused)
        return RefusedValue("every", "a whole number >= 1 (decimal digits)", text);

    if (line.Find("no-substeps"))
    {
        if (line.GetText("no-substeps", nullptr) != nullptr)
            return UsageError("--no-substeps takes no value", "");
        s->subSteps = false;
    }

    if (line.Find("heights"))
    {
        const char* heights = line.GetText("heights", "");
        if (heights[0] == '\0')
            return UsageError("--heights needs a file name", "");
        s->heightsFile = heights;
    }

    if (const int status = ReadExportSettings(line, s))
        return status;

    for (const COptionEntry& e : line.entries)
        if (!IsKnownOption(e.name))
            return UsageError("unknown option ", e.name.c_str());
    return EXIT_SUCCESS;
}

void PrintSummary(const CWaterBody& body)
{
    const WaterSummary s = SummariseWater(body);
    std::printf("time=%.6f water=%.9g spray=%.9g objects=%zu particles=%zu\n", s.time, s.water,
                s.spray, s.objects, s.particles);
    std::fflush(stdout);
}

bool EndsWith(const std::string& text, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// The final heights: a NumPy array for a name ending in ".npy", the raw
// dump for any other. False with "PATH (reason)" in *failure.
bool WriteHeights(const CWaterBody& body, const std::string& fileName, std::string* failure)
{
    CExportFile file;
    if (file.Create(fileName))
    {
        if (EndsWith(fileName, ".npy"))
            WriteHeightsNpy(body, file);
        else
            WriteHeightsRaw(body, file);
    }
    if (file.Close())
        return true;
    *failure = file.Failure();
    return false;
}

int CannotWrite(const std::string& failure)
{
    std::fprintf(stderr, "ripplex-sim: cannot write %s\n", failure.c_str());
    return EXIT_FAILED;
}

// Every summary line is a moment: printed, then exported when asked for.
// Returns EXIT_SUCCESS, EXIT_DIVERGED, or EXIT_FAILED after an export that
// could not be written.
int Run(CWaterBody& body, const RunSettings& settings, CExportSequence* exporter)
{
    auto moment = [&]() {
        PrintSummary(body);
        return exporter == nullptr || exporter->WriteMoment(body);
    };
    if (exporter != nullptr && !exporter->Begin(body))
        return CannotWrite(exporter->Failure());
    if (settings.every > 0 && settings.steps > 0 && !moment())  // the start the later lines compare with
        return CannotWrite(exporter->Failure());
    bool diverged = false;
    for (int step = 1; step <= settings.steps && !diverged; ++step)
    {
        diverged = !body.Advance(settings.dt, settings.subSteps);  // logs why
        if (settings.every > 0 && step % settings.every == 0 && step != settings.steps &&
            !diverged && !moment())
            return CannotWrite(exporter->Failure());
    }
    if (!moment() || (exporter != nullptr && !exporter->Finish()))
        return CannotWrite(exporter->Failure());
    return diverged ? EXIT_DIVERGED : EXIT_SUCCESS;
}
}  // namespace

int main(int argc, char** argv)
{
    CLog::Attach(0, stderr);
    CCommandLine line;
    if (!line.Parse(argc, argv))
        return UsageError("malformed command line", "");
    RunSettings settings;
    if (const int status = ReadSettings(line, &settings))
        return status;
    std::unique_ptr<CExportSequence> exporter;
    if (!settings.exportDirectory.empty())
        exporter = std::make_unique<CExportSequence>(settings.exportDirectory, settings.exportParts);

    // The runner stays in its start directory: a relative heights file or
    // export directory is written there.
    const std::unique_ptr<CWaterBody> loaded = CWaterBodyLoader::Load(settings.directory.c_str());
    if (!loaded)
        return EXIT_FAILED;
    CWaterBody& body = *loaded;

    if (const int status = Run(body, settings, exporter.get()))
        return status;
    std::string failure;
    if (!settings.heightsFile.empty() && !WriteHeights(body, settings.heightsFile, &failure))
        return CannotWrite(failure);
    CLog::Close(0);
    return EXIT_SUCCESS;
}
