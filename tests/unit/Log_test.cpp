// Error log: the line format and its stamps, the one-line-feed rule, text
// passed through unchanged, long messages cut to fit, closed channels.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <regex>
#include <string>

#include "TestFiles.h"

namespace
{
class LogFile : public ::testing::Test
{
protected:
    std::string Contents() const { return testfiles::ReadText(tmp.Path("error.log")); }
    testfiles::TempDir tmp;  // opens channel 0
};

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

TEST_F(LogFile, LineCarriesTimeOfDayAndProcessorMilliseconds)
{
    const std::string before = TimeOfDayNow();
    const long long msBefore = ClockMilliseconds();
    const int written = CLog::Write("-- Debut du fichier d'erreur -- %d", 42);
    const long long msAfter = ClockMilliseconds();
    const std::string after = TimeOfDayNow();

    const std::string text = Contents();
    EXPECT_EQ(written, static_cast<int>(text.size()));
    std::smatch line = SplitLine(text);
    ASSERT_FALSE(line.empty()) << text;
    EXPECT_TRUE(line[1] == before || line[1] == after) << line[1];
    EXPECT_GE(std::stoll(line[2]), msBefore);
    EXPECT_LE(std::stoll(line[2]), msAfter);
    EXPECT_EQ(line[3], "-- Debut du fichier d'erreur -- 42");
}

TEST_F(LogFile, EveryLineEndsWithExactlyOneLineFeedInCallOrder)
{
    // message -> the line after its stamp
    const std::pair<const char*, const char*> cases[] = {
        {"plain", "plain\n"}, {"own line feed\n", "own line feed\n"}, {"", "\n"}, {"\n", "\n"}};
    for (const auto& [message, expected] : cases)
    {
        const size_t before = Contents().size();
        CLog::Write("%s", message);
        std::string line = Contents().substr(before);
        ASSERT_NE(line.find(" - "), std::string::npos);
        EXPECT_EQ(line.substr(line.find(" - ") + 3), expected) << "message [" << message << "]";
    }
}

TEST_F(LogFile, PercentSignsAndLatin1PassThroughUnchanged)
{
    CLog::Write("CApplication::Init -- Impossible de changer pour le r\xE9pertoire %s !", "dir%d%s%n");
    std::string text = Contents();
    std::smatch line = SplitLine(text);
    ASSERT_FALSE(line.empty()) << text;
    EXPECT_EQ(line[3], "CApplication::Init -- Impossible de changer pour le r\xE9pertoire dir%d%s%n !");
}

TEST_F(LogFile, LongMessageIsCutToFit)
{
    std::string message(5000, 'x');
    message[4999] = '\n';
    const int written = CLog::Write("%s", message.c_str());
    std::string text = Contents();
    EXPECT_EQ(written, static_cast<int>(text.size()));
    std::smatch line = SplitLine(text);
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line[3], std::string(2047, 'x')) << "the message buffer holds 2047 characters";
}

TEST_F(LogFile, WriteAfterCloseWritesNothing)
{
    CLog::Write("kept");
    const std::string kept = Contents();
    CLog::Close(0);
    EXPECT_EQ(CLog::Write("lost"), -1);
    EXPECT_EQ(Contents(), kept);
    CLog::Close(0);  // closing twice is harmless
}

TEST(Log, ResetAndFailedOpensLeaveEveryChannelClosed)
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
    const int written = CLog::Write("to the stream");
    CLog::Close(0);
    EXPECT_EQ(CLog::Write("after close"), -1);

    // Still open: it can be written and read back by its owner.
    EXPECT_EQ(fputs("owner\n", stream), 1);
    rewind(stream);
    char line[256];
    ASSERT_NE(fgets(line, sizeof line, stream), nullptr);
    EXPECT_EQ(static_cast<int>(strlen(line)), written);
    std::string first = line;
    EXPECT_EQ(SplitLine(first)[3], "to the stream");
    ASSERT_NE(fgets(line, sizeof line, stream), nullptr);
    EXPECT_STREQ(line, "owner\n");
    fclose(stream);
}
