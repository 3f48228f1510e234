// Error log: the line format and its stamps, the one-line-feed rule, text
// passed through unchanged, long messages cut to fit, closed channels and
// streams attached from outside.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <regex>
#include <string>

#include "TestFiles.h"

namespace
{
// "HH:MM:SS:ms - message\n" with a single line feed; empty when the text
// has another shape.
std::smatch SplitLine(const std::string& text)
{
    static const std::regex shape("(\\d\\d:\\d\\d:\\d\\d):(\\d+) - ([^\\n]*)\\n");
    std::smatch match;
    std::regex_match(text, match, shape);
    return match;
}

std::string TimeOfDayNow()
{
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char text[16];
    strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

long long ClockMilliseconds() { return static_cast<long long>(clock()) * 1000 / CLOCKS_PER_SEC; }
}  // namespace

// Each line: the time of day and the processor milliseconds at the call,
// the message as formatted (arguments never taken for formats), exactly
// one line feed, and Write returns the bytes written.
TEST(Log, EachLineIsStampedAndEndsWithExactlyOneLineFeed)
{
    testfiles::TempDir tmp;
    const std::string longMessage(4999, 'x');
    const struct { const char* format; const char* argument; std::string message; } cases[] = {
        {"-- Debut du fichier d'erreur -- %s", "42", "-- Debut du fichier d'erreur -- 42"},
        {"%s", "own line feed\n", "own line feed"},
        {"%s", "", ""},
        {"%s", "\n", ""},
        {"CApplication::Init -- le r\xE9pertoire %s !", "dir%d%s%n", "CApplication::Init -- le r\xE9pertoire dir%d%s%n !"},
        {"%s", longMessage.c_str(), std::string(2047, 'x')},  // the buffer holds 2047
    };
    size_t before = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.message.substr(0, 40));
        const std::string timeBefore = TimeOfDayNow();
        const long long msBefore = ClockMilliseconds();
        const int written = CLog::Write(c.format, c.argument);
        const long long msAfter = ClockMilliseconds();
        const std::string timeAfter = TimeOfDayNow();
        const std::string text = testfiles::ReadText(tmp.Path("error.log")).substr(before);
        before += text.size();
        EXPECT_EQ(written, static_cast<int>(text.size()));
        std::smatch line = SplitLine(text);
        ASSERT_FALSE(line.empty()) << text;
        EXPECT_TRUE(line[1] == timeBefore || line[1] == timeAfter) << line[1];
        EXPECT_GE(std::stoll(line[2]), msBefore);
        EXPECT_LE(std::stoll(line[2]), msAfter);
        EXPECT_EQ(line[3], c.message);
    }
}

TEST(Log, AttachedStreamIsFlushedButStaysOpen)
{
    std::FILE* stream = tmpfile();
    ASSERT_NE(stream, nullptr);
    CLog::Reset();
    ASSERT_TRUE(CLog::Attach(0, stream));
    const int written = CLog::Write("to the stream");
    CLog::Close(0);
    EXPECT_EQ(CLog::Write("after close"), -1);
    // Still open: it can be written and read back by its owner.
    ASSERT_GE(fputs("owner\n", stream), 0);  // any non-negative value is success
    rewind(stream);
    char line[256];
    ASSERT_NE(fgets(line, sizeof line, stream), nullptr);
    const std::string first = line;
    EXPECT_EQ(static_cast<int>(first.size()), written);
    EXPECT_EQ(SplitLine(first)[3], "to the stream");
    ASSERT_NE(fgets(line, sizeof line, stream), nullptr);
    EXPECT_STREQ(line, "owner\n");
    fclose(stream);
}
