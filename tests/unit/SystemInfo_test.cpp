// System report and interval timer: the kernel release numbers, the system
// line's format, and laps measured against the standard clock.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <tuple>

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
    EXPECT_STREQ(FormatSystemString("Linux", nullptr, nullptr), "Linux UNKNOWN");
    EXPECT_STREQ(FormatSystemString(nullptr, nullptr, nullptr), "UNKNOWN UNKNOWN");
    const std::string exactly200(200, 'v'), over200(201, 'w');
    EXPECT_EQ(FormatSystemString("Linux", "1.2.3", exactly200.c_str()),
              "Linux 1.2 build 3 PlatformId 0 SP=\"" + exactly200 + "\"");
    EXPECT_EQ(FormatSystemString("Linux", "1.2.3", over200.c_str()),
              "Linux 1.2 build 3 PlatformId 0 SP=\"" + std::string(100, 'w') + "\"");
}

// Each lap is the time since the previous one, in seconds: it lies between
// what the standard clock measured inside and around the same interval.
// No bound on how long anything takes.
TEST(Timer, ConsecutiveLapsMeasureConsecutiveIntervals)
{
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    };
    CTimer timer;
    Clock::time_point startedAfter = Clock::now();
    timer.Start();
    Clock::time_point startedBefore = Clock::now();
    for (int lap = 0; lap < 3; ++lap)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(lap == 0 ? 20 : 2));
        const Clock::time_point before = Clock::now();
        const double measured = timer.Lap();
        const Clock::time_point after = Clock::now();
        EXPECT_GE(measured, seconds(startedBefore, before)) << "lap " << lap;
        EXPECT_LE(measured, seconds(startedAfter, after)) << "lap " << lap;
        startedAfter = before;  // the next lap starts from this one
        startedBefore = after;
    }
}
