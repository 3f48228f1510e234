// System report and interval timer: the kernel release numbers, the system
// line's format, the report's exact lines, and consecutive laps.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <tuple>

#include <sys/utsname.h>

#include "app/SystemInfo.h"
#include "app/Timer.h"

TEST(SystemInfo, KernelReleaseNumbers)
{
    const struct
    {
        const char* release;
        int major, minor, build;
    } cases[] = {
        {"6.1.0-27-amd64", 6, 1, 0}, {"5.15.153.1-microsoft-standard-WSL2", 5, 15, 153},
        {"6.8", 6, 8, 0},            {"4", 4, 0, 0},
        {"", 0, 0, 0},               {"abc", 0, 0, 0},
        {"6.x.3", 6, 0, 0},          {"99999999999.1.2", INT_MAX, 1, 2},
    };
    for (const auto& c : cases)
    {
        const KernelVersion v = ParseKernelRelease(c.release);
        EXPECT_EQ(std::make_tuple(v.major, v.minor, v.build), std::make_tuple(c.major, c.minor, c.build))
            << c.release;
    }
}

TEST(SystemInfo, SystemLineFormat)
{
    EXPECT_STREQ(FormatSystemString("Linux", "6.1.0-27-amd64", "#1 SMP Debian"),
                 "Linux 6.1 build 0 PlatformId 0 SP=\"#1 SMP Debian\"");
    EXPECT_STREQ(FormatSystemString("Linux", "5.10.7", ""),
                 "Linux 5.10 build 7 PlatformId 0 SP=\"\"");
    EXPECT_STREQ(FormatSystemString("Linux", nullptr, nullptr), "Linux UNKNOWN");
    EXPECT_STREQ(FormatSystemString(nullptr, nullptr, nullptr), "UNKNOWN UNKNOWN");

    std::string exactly200(200, 'v');
    std::string over200(201, 'w');
    EXPECT_EQ(FormatSystemString("Linux", "1.2.3", exactly200.c_str()),
              "Linux 1.2 build 3 PlatformId 0 SP=\"" + exactly200 + "\"");
    EXPECT_EQ(FormatSystemString("Linux", "1.2.3", over200.c_str()),
              "Linux 1.2 build 3 PlatformId 0 SP=\"" + std::string(100, 'w') + "\"");
}

TEST(SystemInfo, ThisMachinesLine)
{
    struct utsname info;
    ASSERT_EQ(uname(&info), 0);
    const KernelVersion v = ParseKernelRelease(info.release);
    EXPECT_EQ(GetSystemString(), std::string(info.sysname) + " " + std::to_string(v.major) + "." +
                                     std::to_string(v.minor) + " build " + std::to_string(v.build) +
                                     " PlatformId 0 SP=\"" + info.version + "\"");
}

TEST(SystemInfo, ReportLines)
{
    testing::internal::CaptureStdout();
    PrintSystemInfo();
    std::string report = testing::internal::GetCapturedStdout();
    std::string expected = std::string("Informations syst\xE8" "me:\n") +
                           "=====================\n" +
                           "Syst\xE8" "me : " + GetSystemString() + "\n" +
                           "Version de GLUT:3.000000\n" +
                           "Version de GLUI:2.010000\n";
    EXPECT_EQ(report, expected);
    EXPECT_EQ(GetGLUIVersion(), 2.01f);
}

TEST(Timer, ConsecutiveLapsMeasureConsecutiveIntervals)
{
    using namespace std::chrono_literals;
    CTimer timer;
    timer.Start();
    std::this_thread::sleep_for(50ms);
    double first = timer.Lap();
    std::this_thread::sleep_for(2ms);
    double second = timer.Lap();
    double third = timer.Lap();

    EXPECT_GE(first, 0.050);
    EXPECT_LT(first, 5.0);
    EXPECT_GE(second, 0.002) << "at least the sleep since the first lap";
    EXPECT_LT(second, first) << "not the time since Start";
    EXPECT_GT(third, 0.0);
    EXPECT_LT(third, 0.010);
}
