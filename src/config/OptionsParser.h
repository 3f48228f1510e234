// COptionsParser: reads option files ("name = value ;" statements) into
// COptionLists kept in a process-wide cache keyed by file name, compared
// without regard to ASCII case. A list lives until the process ends.
#pragma once

#include <cstdio>

#include "config/OptionList.h"

class COptionsParser
{
public:
    // Cached list of the file, parsing it on first request (or when
    // `reload`); null when it cannot be opened (logged) or is invalid.
    static COptionList* ParseFile(const char* fileName, bool reload);

    // Reads every statement of an open stream into `list`; true when the
    // whole stream is valid. Fuzzers and tests feed it through fmemopen.
    static bool ParseFileForVariable(std::FILE* file, COptionList* list);

    // Forgets every cached list. Tests and fuzzers only: the program reads
    // each file once per run.
    static void ClearCache();
};
