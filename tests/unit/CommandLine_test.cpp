// Command line: a table of argument vectors with the entries they give and
// whether they are well formed, then the working-directory lookup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFiles.h"
#include "app/CommandLine.h"

namespace
{
struct Parsed
{
    bool wellFormed = false;
    CCommandLine list;
};

Parsed Parse(const std::vector<std::string>& arguments)
{
    std::vector<const char*> argv{"ripplex"};
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    Parsed parsed;
    parsed.wellFormed = parsed.list.Parse(static_cast<int>(argv.size() - 1), argv.data());
    return parsed;
}

// The program's own choice of working directory.
std::string WorkingDirectory(const std::vector<std::string>& arguments)
{
    Parsed parsed = Parse(arguments);
    return parsed.list.GetText("directory", parsed.list.GetText("d", "default"));
}

struct ArgumentCase
{
    std::vector<std::string> arguments;
    bool wellFormed;
    const char* entries;  // entries appended, also those before a syntax error
};

void RunTable(const std::vector<ArgumentCase>& cases)
{
    for (const ArgumentCase& c : cases)
    {
        std::string label;
        for (const std::string& argument : c.arguments)
            label += "[" + argument + "]";
        Parsed parsed = Parse(c.arguments);
        EXPECT_EQ(parsed.wellFormed, c.wellFormed) << label;
        EXPECT_EQ(testfiles::DescribeEntries(parsed.list), c.entries) << label;
    }
}
}  // namespace

TEST(CommandLineSyntax, LongOptions)
{
    RunTable({
        {{}, true, ""},
        {{"--directory", "data"}, true, "directory=S'data'"},
        {{"--directory:data"}, true, "directory=S'data'"},
        {{"--directory:"}, true, "directory=S''"},
        {{"--a:b:c"}, true, "a=S'b:c'"},
        {{"--directory"}, true, "directory=B1"},
        {{"--directory", "-d"}, true, "directory=B1 d=B1"},
        {{"--directory", ""}, true, "directory=S''"},
        {{"--"}, false, ""},
        {{"--x", "-"}, false, "x=B1"},
    });
}

TEST(CommandLineSyntax, ShortOptions)
{
    RunTable({
        {{"-dtmp"}, true, "d=S'tmp'"},
        {{"-d:tmp"}, true, "d=S'tmp'"},
        {{"-d", "tmp"}, true, "d=S'tmp'"},
        {{"-d:a:b"}, true, "d=S'a:b'"},
        {{"-directory"}, true, "d=S'irectory'"},
        {{"-d", "-x"}, true, "d=B1 x=B1"},
        {{"-d"}, true, "d=B1"},
        {{"-d:"}, false, ""},
        {{"-"}, false, ""},
        {{"-d", "a", "-"}, false, "d=S'a'"},
    });
}

TEST(CommandLineSyntax, StrayValuesAreMalformed)
{
    RunTable({
        {{"data"}, false, ""},
        {{"-d", "a", "b"}, false, "d=S'a'"},
        {{"--directory", "a", "b", "-x"}, false, "directory=S'a'"},
        // A one-dash option with a multi-letter name takes the rest of its
        // own text as value, so a separate value is left over.
        {{"-display", ":0"}, false, "d=S'isplay'"},
        {{"--display", ":0"}, true, "display=S':0'"},
    });
}

TEST(CommandLineSyntax, ValuesAreTyped)
{
    RunTable({
        {{"--x", "2002"}, true, "x=I2002"},
        {{"--x", "1stRun"}, true, "x=I1"},
        {{"--x", "010"}, true, "x=I8"},
        {{"--x", "0x1F"}, true, "x=I31"},
        {{"--x", "99999999999"}, true, "x=I2147483647"},
        {{"--x:-99999999999"}, true, "x=I-2147483648"},
        {{"--x", "1.5"}, true, "x=D1.5"},
        {{"--x:-x"}, true, "x=I0"},
        {{"--x", "true"}, true, "x=B1"},
        {{"--x", "FALSE"}, true, "x=B0"},
        {{"--x", "\"2002"}, true, "x=S'2002'"},
        {{"--x", "\"a b\""}, true, "x=S'a b\"'"},
        {{"--x", "yes"}, true, "x=S'yes'"},
        {{"-x+5"}, true, "x=S'+5'"},
    });
}

TEST(CommandLineDirectory, DirectoryThenDThenDefaultAsWritten)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "default"},
        {{"-d", "data"}, "data"},
        {{"--directory", "x", "-d", "y"}, "x"},
        {{"-d", "y", "--directory", "x"}, "x"},
        {{"--directory:x"}, "x"},
        {{"--directory", "\"2002"}, "2002"},
        // Values typed as numbers or booleans are names all the same.
        {{"--directory", "2002"}, "2002"},
        {{"-d", "0x10"}, "0x10"},
        {{"--directory:-x"}, "-x"},
        {{"--directory", "true"}, "true"},
        {{"--directory", "1stRun", "-d", "y"}, "1stRun"},
        // A flag has no name to give; the first entry decides.
        {{"--directory", "-d", "y"}, "y"},
        {{"--directory", "2002", "--directory", "data"}, "2002"},
        {{"--Directory", "x"}, "default"},  // names are case-sensitive
    };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(WorkingDirectory(arguments), expected) << testing::PrintToString(arguments);
}
