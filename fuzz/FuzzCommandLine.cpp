// Command line: the bytes are split at NUL and line-feed bytes into an
// argument vector (after a program name), then parsed and looked up as the
// programs do (the directory as text, the numbers strictly).
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "app/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t maxArguments = 64;
    std::vector<std::string> words(1, "ripplex");
    std::string current;
    for (size_t i = 0; i < size && words.size() < maxArguments; ++i)
    {
        if (data[i] == 0 || data[i] == '\n')
        {
            words.push_back(current);
            current.clear();
        }
        else
        {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty() && words.size() < maxArguments)
        words.push_back(current);

    // Each argument in its own exact-size allocation, so reading past its
    // terminating NUL is caught by AddressSanitizer.
    std::vector<std::vector<char>> storage;
    std::vector<const char*> argv;
    for (const std::string& word : words)
    {
        storage.emplace_back(word.begin(), word.end());
        storage.back().push_back('\0');
    }
    for (auto& s : storage)
        argv.push_back(s.data());

    CCommandLine commandLine;
    (void)commandLine.Parse(static_cast<int>(argv.size()), argv.data());
    (void)commandLine.GetText("directory", commandLine.GetText("d", "default"));
    int count = 0;
    double number = 0.0;
    const char* text = nullptr;
    (void)commandLine.ReadCount("record", 1, &count, &text);
    (void)commandLine.ReadNumber("dt", &number, &text);
    return 0;
}
