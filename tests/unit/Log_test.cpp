// Error log: the line format and its stamps, the one-line-feed rule, text
// passed through unchanged, long messages cut to fit, closed channels.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "app/Log.h"

namespace
{
class LogFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ripplex-log-XXXXXX";
        int descriptor = mkstemp(pattern);
        ASSERT_GE(descriptor, 0);
        close(descriptor);
        path = pattern;
        CLog::Reset();
        ASSERT_TRUE(CLog::Open(0, path.c_str()));
    }

    void TearDown() override
    {
        CLog::Close(0);
        unlink(path.c_str());
    }

    std::string Contents() const
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string path;
};

// One whole log line, "HH:MM:SS:ms - message\n", taken apart; `valid` is
// false unless the text has exactly that shape with a single line feed.
struct LogLine
{
    bool valid = false;
    std::string timeOfDay;
    long long milliseconds = -1;
    std::string message;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

LogLine SplitLine(const std::string& text)
{
    LogLine line;
    const char* timeShape = "dd:dd:dd:";
    for (size_t i = 0; i < 9; ++i)
    {
        bool fits = i < text.size() &&
                    (timeShape[i] == 'd' ? IsDigit(text[i]) : text[i] == timeShape[i]);
        if (!fits)
            return line;
    }
    size_t end = 9;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    if (end == 9 || text.compare(end, 3, " - ") != 0 || text.back() != '\n')
        return line;
    line.message = text.substr(end + 3, text.size() - end - 4);
    if (line.message.find('\n') != std::string::npos)
        return line;
    line.timeOfDay = text.substr(0, 8);
    line.milliseconds = std::stoll(text.substr(9, end - 9));
    line.valid = true;
    return line;
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

long long ClockMilliseconds()
{
    return static_cast<long long>(clock()) * 1000 / CLOCKS_PER_SEC;
}
}  // namespace

TEST_F(LogFile, LineCarriesTimeOfDayAndProcessorMilliseconds)
{
    std::string before = TimeOfDayNow();
    long long msBefore = ClockMilliseconds();
    int written = CLog::Write("-- Debut du fichier d'erreur -- %d", 42);
    long long msAfter = ClockMilliseconds();
    std::string after = TimeOfDayNow();

    std::string text = Contents();
    EXPECT_EQ(written, static_cast<int>(text.size()));
    LogLine line = SplitLine(text);
    ASSERT_TRUE(line.valid) << text;
    EXPECT_TRUE(line.timeOfDay == before || line.timeOfDay == after) << line.timeOfDay;
    EXPECT_GE(line.milliseconds, msBefore);
    EXPECT_LE(line.milliseconds, msAfter);
    EXPECT_EQ(line.message, "-- Debut du fichier d'erreur -- 42");
}

TEST_F(LogFile, EveryLineEndsWithExactlyOneLineFeed)
{
    struct
    {
        const char* message;
        const char* expected;  // the line after its stamp
    } cases[] = {
        {"plain", "plain\n"},
        {"own line feed\n", "own line feed\n"},
        {"", "\n"},
        {"\n", "\n"},
    };
    for (const auto& c : cases)
    {
        long before = static_cast<long>(Contents().size());
        CLog::Write("%s", c.message);
        std::string line = Contents().substr(before);
        size_t dash = line.find(" - ");
        ASSERT_NE(dash, std::string::npos);
        EXPECT_EQ(line.substr(dash + 3), c.expected) << "message [" << c.message << "]";
    }
}

TEST_F(LogFile, PercentSignsAndLatin1PassThroughUnchanged)
{
    CLog::Write("CApplication::Init -- Impossible de changer pour le r\xE9pertoire %s !",
                "dir%d%s%n");
    LogLine line = SplitLine(Contents());
    ASSERT_TRUE(line.valid);
    EXPECT_EQ(line.message, "CApplication::Init -- Impossible de changer pour le r\xE9pertoire dir%d%s%n !");
}

TEST_F(LogFile, LongMessageIsCutToFit)
{
    std::string message(5000, 'x');
    message[4999] = '\n';
    int written = CLog::Write("%s", message.c_str());
    std::string text = Contents();
    EXPECT_EQ(written, static_cast<int>(text.size()));
    LogLine line = SplitLine(text);
    ASSERT_TRUE(line.valid);
    EXPECT_EQ(line.message, std::string(2047, 'x')) << "the message buffer holds 2047 characters";
}

TEST_F(LogFile, LinesFollowTheOrderOfTheCalls)
{
    for (int i = 0; i < 3; ++i)
        CLog::Write("line %d", i);
    std::istringstream lines(Contents());
    std::string line;
    for (int i = 0; i < 3; ++i)
    {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.substr(line.find(" - ") + 3), "line " + std::to_string(i));
    }
    EXPECT_FALSE(std::getline(lines, line));
}

TEST_F(LogFile, ClosedChannelWritesNothing)
{
    CLog::Write("kept");
    std::string kept = Contents();
    CLog::Close(0);
    EXPECT_EQ(CLog::Write("lost"), -1);
    EXPECT_EQ(Contents(), kept);
    CLog::Close(0);  // closing twice is harmless
}

TEST(Log, ResetLeavesEveryChannelClosed)
{
    CLog::Reset();
    EXPECT_EQ(CLog::Write("nowhere"), -1);
    EXPECT_FALSE(CLog::Open(0, "/nonexistent-directory/error.log"));
    EXPECT_EQ(CLog::Write("nowhere"), -1);
    EXPECT_FALSE(CLog::Open(CLog::CHANNEL_COUNT, "/tmp/never-opened.log"));
}

TEST(Log, AttachedStreamIsFlushedButStaysOpen)
{
    std::FILE* stream = tmpfile();
    ASSERT_NE(stream, nullptr);
    CLog::Reset();
    ASSERT_TRUE(CLog::Attach(0, stream));
    int written = CLog::Write("to the stream");
    CLog::Close(0);
    EXPECT_EQ(CLog::Write("after close"), -1);

    // Still open: it can be written and read back by its owner.
    EXPECT_EQ(fputs("owner\n", stream), 1);
    rewind(stream);
    char line[256];
    ASSERT_NE(fgets(line, sizeof line, stream), nullptr);
    EXPECT_EQ(static_cast<int>(strlen(line)), written);
    EXPECT_EQ(SplitLine(line).message, "to the stream");
    ASSERT_NE(fgets(line, sizeof line, stream), nullptr);
    EXPECT_STREQ(line, "owner\n");
    fclose(stream);
}
