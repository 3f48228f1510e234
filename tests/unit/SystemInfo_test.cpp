// System report and interval timer: the system line with the kernel release
// read as numbers, and laps measured against the standard clock.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "app/SystemInfo.h"
#include "app/Timer.h"

// The system line, the kernel release read as numbers (missing or unread
// ones are 0, huge ones saturate), the version text cut when too long.
TEST(SystemInfo, SystemLine)
{
    const std::string exactly200(200, 'v'), over200(201, 'w');
    const struct { const char *system, *release, *version; std::string line; } cases[] = {
        {"Linux", "6.1.0-27-amd64", "#1 SMP Debian", "Linux 6.1 build 0 PlatformId 0 SP=\"#1 SMP Debian\""},
        {"Linux", "5.15.153.1-microsoft-standard-WSL2", "", "Linux 5.15 build 153 PlatformId 0 SP=\"\""},
        {"Linux", "6.8", "v", "Linux 6.8 build 0 PlatformId 0 SP=\"v\""},
        {"Linux", "4", "v", "Linux 4.0 build 0 PlatformId 0 SP=\"v\""},
        {"Linux", "", "v", "Linux 0.0 build 0 PlatformId 0 SP=\"v\""},
        {"Linux", "abc", "v", "Linux 0.0 build 0 PlatformId 0 SP=\"v\""},
        {"Linux", "6.x.3", "v", "Linux 6.0 build 0 PlatformId 0 SP=\"v\""},
        {"Linux", "99999999999.1.2", "v", "Linux 2147483647.1 build 2 PlatformId 0 SP=\"v\""},
        {"Linux", "1.2.3", exactly200.c_str(), "Linux 1.2 build 3 PlatformId 0 SP=\"" + exactly200 + "\""},
        {"Linux", "1.2.3", over200.c_str(), "Linux 1.2 build 3 PlatformId 0 SP=\"" + std::string(100, 'w') + "\""},
        {"Linux", nullptr, nullptr, "Linux UNKNOWN"},
        {nullptr, nullptr, nullptr, "UNKNOWN UNKNOWN"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatSystemString(c.system, c.release, c.version), c.line) << (c.release ? c.release : "-");
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
