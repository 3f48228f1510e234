// COptionsParser: reads option files ("name = value ;" statements) into
// COptionLists kept in a process-wide cache keyed by file name, compared
// without regard to ASCII case. A list lives until the process ends.
#pragma once

#include <cstdio>
#include <string>

#include "config/OptionList.h"

class COptionsParser
{
public:
    // Why a stream is invalid: the line where reading stopped (where an
    // unclosed block comment opened, where a cut statement began) and a
    // French reason, Latin-1.
    struct SyntaxError
    {
        int line = 0;
        std::string reason;
    };

    // Cached list of the file, parsing it on first request (or when
    // `reload`); null when it cannot be opened or is invalid (both logged).
    static COptionList* ParseFile(const char* fileName, bool reload);

    // Reads every statement of an open stream into `list`; true when the
    // whole stream is valid, else the reason in `*error` when given.
    // Fuzzers and tests feed it through fmemopen.
    static bool ParseFileForVariable(std::FILE* file, COptionList* list,
                                     SyntaxError* error = nullptr);

    // Once start-up is done: one warning line per key of every cached file
    // that had no effect (no lookup asked for it, a lookup refused its
    // type, its value was no value, or an earlier statement had its name).
    static void WarnUnreadKeys();
    // The same for one cached file (a file read again by a reload).
    static void WarnUnreadKeys(const char* fileName);

    // Forgets every cached list. Tests and fuzzers only: the program reads
    // each file once per run.
    static void ClearCache();
};
