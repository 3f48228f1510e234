// Replays corpus files through a fuzz target's entry without libFuzzer.
// Arguments are files or directories (read one level deep, in name order so
// a failure is reproducible). Exit status 0 when every input ran; a crash
// or a sanitizer report ends the process on its own.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzTarget.h"

namespace fs = std::filesystem;

static bool ReplayFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

int main(int argc, char** argv)
{
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i)
    {
        // Absolute, since a target may change the current directory.
        fs::path arg = fs::absolute(argv[i]);
        std::error_code error;
        if (fs::is_directory(arg, error))
        {
            for (const auto& entry : fs::directory_iterator(arg))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        }
        else
        {
            files.push_back(arg);
        }
    }
    std::sort(files.begin(), files.end());
    if (files.empty())
    {
        std::fprintf(stderr, "replay: no input files\n");
        return 1;
    }
    int failures = 0;
    for (const auto& file : files)
        failures += ReplayFile(file) ? 0 : 1;
    std::printf("replayed %zu inputs\n", files.size() - failures);
    return failures == 0 ? 0 : 1;
}
