// The start-up report: the operating system from uname(), and the GLUT and
// GLUI version numbers the program has always reported (fixed numbers, not
// queried from any library; GLUI is not used at all).
//
// Deliberately not done: no logging (the report comes before the log
// exists), no locking (the text buffer is shared, main thread only).
#include "app/SystemInfo.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/utsname.h>

namespace
{
// Longest kernel version text kept whole; a longer one keeps its first
// SHORTENED_VERSION_LENGTH characters.
constexpr size_t MAX_VERSION_LENGTH = 200;
constexpr size_t SHORTENED_VERSION_LENGTH = 100;

char g_systemText[512];

// Decimal digits at `p`, saturating at INT_MAX; `p` moves past them.
int ReadNumber(const char*& p)
{
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
    {
        value = value * 10 + (*p - '0');
        if (value > INT_MAX)
            value = INT_MAX;
    }
    return static_cast<int>(value);
}

// Name used when uname() itself fails: the system the program was built for.
const char* BuildSystemName()
{
#if defined(__linux__)
    return "Linux";
#else
    return nullptr;
#endif
}
}  // namespace

KernelVersion ParseKernelRelease(const char* release)
{
    KernelVersion version;
    if (release == nullptr)
        return version;
    const char* p = release;
    version.major = ReadNumber(p);
    if (*p == '.')
        version.minor = ReadNumber(++p);
    if (*p == '.')
        version.build = ReadNumber(++p);
    return version;
}

const char* FormatSystemString(const char* sysname, const char* release, const char* version)
{
    const char* name = (sysname != nullptr && sysname[0] != '\0') ? sysname : "UNKNOWN";
    if (release == nullptr)
    {
        snprintf(g_systemText, sizeof g_systemText, "%s UNKNOWN", name);
        return g_systemText;
    }
    std::string servicePack = version != nullptr ? version : "";
    if (servicePack.size() > MAX_VERSION_LENGTH)
        servicePack.resize(SHORTENED_VERSION_LENGTH);
    KernelVersion numbers = ParseKernelRelease(release);
    const int platformId = 0;
    snprintf(g_systemText, sizeof g_systemText, "%s %d.%d build %d PlatformId %d SP=\"%s\"",
             name, numbers.major, numbers.minor, numbers.build, platformId,
             servicePack.c_str());
    return g_systemText;
}

const char* GetSystemString()
{
    struct utsname info;
    if (uname(&info) != 0)
        return FormatSystemString(BuildSystemName(), nullptr, nullptr);
    return FormatSystemString(info.sysname, info.release, info.version);
}

float GetGLUTVersion() { return 3.0f; }

float GetGLUIVersion() { return 2.01f; }

void PrintSystemInfo()
{
    printf("Informations syst\xE8" "me:\n");
    printf("=====================\n");
    printf("Syst\xE8" "me : %s\n", GetSystemString());
    printf("Version de GLUT:%f\n", static_cast<double>(GetGLUTVersion()));
    printf("Version de GLUI:%f\n", static_cast<double>(GetGLUIVersion()));
}
