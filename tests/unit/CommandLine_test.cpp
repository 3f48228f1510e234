// Command line: a table of argument vectors with the entries they give and
// whether they are well formed. The strictly read numbers and the names
// taken as written are checked end to end (startup_test, sim_runner_test).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFiles.h"
#include "app/CommandLine.h"

namespace
{
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
        std::vector<const char*> argv{"ripplex"};
        std::string label;
        for (const std::string& argument : c.arguments)
        {
            argv.push_back(argument.c_str());
            label += "[" + argument + "]";
        }
        argv.push_back(nullptr);
        CCommandLine list;
        EXPECT_EQ(list.Parse(static_cast<int>(argv.size() - 1), argv.data()), c.wellFormed) << label;
        EXPECT_EQ(testfiles::DescribeEntries(list), c.entries) << label;
    }
}
}  // namespace

TEST(CommandLineSyntax, LongShortAndStrayArguments)
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
        {{"data"}, false, ""},
        {{"-d", "a", "b"}, false, "d=S'a'"},
        {{"--directory", "a", "b", "-x"}, false, "directory=S'a'"},
        // A one-dash option with a multi-letter name takes the rest of its
        // own text as value, so a separate value is left over.
        {{"-display", ":0"}, false, "d=S'isplay'"},
        {{"--display", ":0"}, true, "display=S':0'"},
        // Values typed as the option files type them; anything else is text.
        {{"--x", "1stRun", "--y", "0x1F", "--z:-x", "--w", "1.5"}, true, "x=I1 y=I31 z=I0 w=D1.5"},
        {{"--x", "true", "--y", "FALSE", "--z", "truex"}, true, "x=B1 y=B0 z=S'truex'"},
        {{"--x", "\"2002", "--y", "\"a b\"", "-x+5"}, true, "x=S'2002' y=S'a b\"' x=S'+5'"},
    });
}
