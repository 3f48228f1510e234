// Start-up report on standard output and the operating-system text.
#pragma once

void PrintSystemInfo();
const char* GetSystemString();
float GetGLUTVersion();
float GetGLUIVersion();

// Leading version numbers of a kernel release text: "6.1.0-27-amd64" gives
// 6, 1 and build 0. Missing or unreadable numbers are 0.
struct KernelVersion
{
    int major = 0;
    int minor = 0;
    int build = 0;
};
KernelVersion ParseKernelRelease(const char* release);

// The system line from uname()'s system name, release and version texts,
// written into the buffer that GetSystemString returns. A null release
// means the query failed: "<sysname> UNKNOWN".
const char* FormatSystemString(const char* sysname, const char* release, const char* version);
