// CLog: the program's error log. Channel 0 receives every line that Write
// produces ("HH:MM:SS:ms - message"), flushed at once; the other channels
// are only opened and closed. Single-threaded: the work buffers are shared.
#pragma once

#include <cstdio>

class CLog
{
public:
    static constexpr int CHANNEL_COUNT = 17;

    static void Reset();
    static bool Open(int channel, const char* fileName);
    // Puts an already open stream (standard error, say) on a channel; Close
    // then flushes it but leaves it open.
    static bool Attach(int channel, std::FILE* stream);
    static void Close(int channel);
    // Characters written, or -1 when channel 0 is not open.
    static int Write(const char* format, ...) __attribute__((format(printf, 1, 2)));
};
