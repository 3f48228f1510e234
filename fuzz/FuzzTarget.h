// The one entry every fuzz target defines. libFuzzer calls it directly; the
// replay driver (ReplayMain.cpp) calls it for every file of a corpus so the
// corpora run as plain tests in every build, gcc included.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
