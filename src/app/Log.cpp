// CLog: a fixed table of output channels and the time-stamped line writer
// of channel 0 ("error.log"). Every line is flushed before Write returns, so
// the file is complete even when the process ends abruptly.
//
// Deliberately not done: no locking (single-threaded by design), no rotation,
// no detection of failed writes (the count is returned and callers ignore
// it). Over-long messages are cut to fit the fixed buffers, never overrun.
#include "app/Log.h"

#include <cstdarg>
#include <cstring>
#include <ctime>

namespace
{
// Work buffer sizes, terminating NUL included.
constexpr size_t TIME_BUFFER_SIZE = 16;
constexpr size_t MESSAGE_BUFFER_SIZE = 2048;
constexpr size_t LINE_BUFFER_SIZE = 4096;

struct Channel
{
    std::FILE* stream = nullptr;
    bool open = false;
    // An attached stream belongs to someone else: Close flushes it only.
    bool attached = false;
};

Channel g_channels[CLog::CHANNEL_COUNT];

char g_timeText[TIME_BUFFER_SIZE];
char g_message[MESSAGE_BUFFER_SIZE];
char g_line[LINE_BUFFER_SIZE];

bool IsValidChannel(int channel)
{
    return channel >= 0 && channel < CLog::CHANNEL_COUNT;
}

// Processor time since the process started, in milliseconds.
int MillisecondsSinceStart()
{
    return static_cast<int>(static_cast<long long>(clock()) * 1000 / CLOCKS_PER_SEC);
}

void FormatTimeOfDay()
{
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr ||
        strftime(g_timeText, sizeof g_timeText, "%H:%M:%S", &local) == 0)
        strcpy(g_timeText, "??:??:??");
}

// Length of what snprintf-style formatting left in a buffer of `size`:
// the text is cut at size - 1 characters when it did not fit.
size_t StoredLength(int formatted, size_t size)
{
    if (formatted < 0)
        return 0;
    return static_cast<size_t>(formatted) < size ? static_cast<size_t>(formatted) : size - 1;
}
}  // namespace

void CLog::Reset()
{
    for (Channel& channel : g_channels)
        channel = Channel{};
}

bool CLog::Open(int channel, const char* fileName)
{
    if (!IsValidChannel(channel) || fileName == nullptr)
        return false;
    // Reopening a channel first closes what it held, so no stream leaks.
    Close(channel);
    std::FILE* stream = fopen(fileName, "w");
    if (stream == nullptr)
        return false;
    g_channels[channel] = Channel{stream, true, false};
    return true;
}

bool CLog::Attach(int channel, std::FILE* stream)
{
    if (!IsValidChannel(channel) || stream == nullptr)
        return false;
    Close(channel);
    g_channels[channel] = Channel{stream, true, true};
    return true;
}

void CLog::Close(int channel)
{
    if (!IsValidChannel(channel) || !g_channels[channel].open)
        return;
    Channel& target = g_channels[channel];
    if (target.attached)
        fflush(target.stream);
    else
        fclose(target.stream);
    target = Channel{};
}

int CLog::Write(const char* format, ...)
{
    if (!g_channels[0].open)
        return -1;

    int milliseconds = MillisecondsSinceStart();
    FormatTimeOfDay();

    va_list args;
    va_start(args, format);
    int formatted = vsnprintf(g_message, sizeof g_message, format, args);
    va_end(args);
    size_t messageLength = StoredLength(formatted, sizeof g_message);
    g_message[messageLength] = '\0';

    // Never two line feeds at the end: a message that brings its own keeps it.
    bool endsWithLineFeed = messageLength > 0 && g_message[messageLength - 1] == '\n';
    const char* lineFormat = endsWithLineFeed ? "%s:%i - %s" : "%s:%i - %s\n";
    int lineFormatted = snprintf(g_line, sizeof g_line, lineFormat, g_timeText,
                                 milliseconds, g_message);
    size_t lineLength = StoredLength(lineFormatted, sizeof g_line);

    // The line is text, not a format: written as is, '%' included.
    std::FILE* stream = g_channels[0].stream;
    size_t written = fwrite(g_line, 1, lineLength, stream);
    fflush(stream);
    return static_cast<int>(written);
}
