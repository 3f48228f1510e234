// Name of a recorded frame: "seq", the decimal digits of the frame number
// left-padded with '0' to at least five characters, ".tga" (seq00000.tga,
// seq00042.tga, seq123456.tga), as the scene's recording writes them.
#pragma once

#include <cstdio>
#include <cstring>

// Writes the name of frame `n` (n ≥ 0) into `out`, which holds at least
// FRAME_NAME_SIZE bytes.
constexpr int FRAME_NAME_SIZE = 32;  // "seq" + 10 digits + ".tga" + NUL with room

inline void FormatFrameName(int n, char (&out)[FRAME_NAME_SIZE])
{
    char digits[12];
    std::snprintf(digits, sizeof digits, "%d", n < 0 ? 0 : n);
    size_t length = std::strlen(digits);
    size_t zeros = length < 5 ? 5 - length : 0;
    std::snprintf(out, FRAME_NAME_SIZE, "seq%.*s%s.tga", int(zeros), "00000", digits);
}
