// CCommandLine: the process arguments as an ordered list of typed entries.
// Long options ("--name value", "--name:value"), one-letter options ("-d x",
// "-dx", "-d:x") and flags (Bool true). Lookups are those of COptionList.
#pragma once

#include "config/OptionList.h"

class CCommandLine : public COptionList
{
public:
    // False as soon as one argument breaks the syntax; entries appended
    // before that point stay.
    bool Parse(int argc, const char* const* argv);
};
