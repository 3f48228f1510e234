// Small file helpers shared by the reader and log tests: a private
// temporary directory with the log on channel 0, the log's messages
// without their time stamps, and reading a byte buffer through a real
// stdio stream. Deliberately header-only and GoogleTest-free.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/Log.h"
#include "config/OptionList.h"

namespace testfiles
{
using Bytes = std::vector<unsigned char>;

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// "name=I8 name=D1.5 name=B1 name=S'text'", entries in list order.
inline std::string DescribeEntries(const COptionList& list)
{
    std::string out;
    for (const COptionEntry& entry : list.entries)
    {
        char value[64] = "";
        if (entry.type == OptionType::Int)
            snprintf(value, sizeof value, "I%d", entry.iValue);
        else if (entry.type == OptionType::Double)
            snprintf(value, sizeof value, "D%.17g", entry.dValue);
        else if (entry.type == OptionType::Bool)
            snprintf(value, sizeof value, "B%d", entry.bValue ? 1 : 0);
        out += (out.empty() ? "" : " ") + entry.name + "=" +
               (entry.type == OptionType::String ? "S'" + std::string(entry.Text()) + "'" : value);
    }
    return out;
}

// Runs read(FILE*) on the bytes through fmemopen, NULs included.
template <typename Read>
bool ReadFromBytes(const Bytes& bytes, Read read)
{
    Bytes copy = bytes;
    copy.push_back(0);  // fmemopen refuses a zero-sized buffer
    std::FILE* file = fmemopen(copy.data(), bytes.size(), "rb");
    bool loaded = file != nullptr && read(file);
    if (file != nullptr)
        std::fclose(file);
    return loaded;
}

// A fresh directory under /tmp, the log on channel 0 inside it, removed
// again at destruction.
class TempDir
{
public:
    TempDir()
    {
        char pattern[] = "/tmp/ripplex-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr)
            dir = pattern;
        CLog::Open(0, Path("error.log").c_str());
    }
    ~TempDir()
    {
        CLog::Close(0);
        if (!dir.empty())
            (void)std::system(("rm -rf '" + dir + "'").c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const std::string& name) const { return dir + "/" + name; }

    // The log's lines without their "HH:MM:SS:ms - " stamps.
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        std::istringstream in(ReadText(Path("error.log")));
        for (std::string line; std::getline(in, line);)
            messages.push_back(line.find(" - ") == std::string::npos ? line : line.substr(line.find(" - ") + 3));
        return messages;
    }

    std::string dir;
};
}  // namespace testfiles
