// CCommandLine: the process arguments as an ordered list of typed entries.
// Long options ("--name value", "--name:value"), one-letter options ("-d x",
// "-dx", "-d:x") and flags (Bool true). Lookups are those of COptionList;
// the list also keeps each value's text as it was written, for the options
// that want text whatever its spelling and for our own strictly read
// numbers.
#pragma once

#include <string>
#include <vector>

#include "config/OptionList.h"

// How one of our own numeric options was found.
enum class OptionNumber
{
    Absent,
    Read,     // the value is in *out
    Refused,  // not the number asked for; *text is what was written
};

class CCommandLine : public COptionList
{
public:
    // False as soon as one argument breaks the syntax; entries appended
    // before that point stay.
    bool Parse(int argc, const char* const* argv);

    // The first entry named `name` as text, whatever its spelling: a
    // String's text (GetString's answer), else its value as written
    // ("2024", "0x10", "true"). `defaultValue` when there is no such entry
    // or it is a flag.
    const char* GetText(const char* name, const char* defaultValue) const;

    // The first entry named `name`, read strictly from its whole text: a
    // count is decimal digits only, at least `minimum`; a number is an
    // ordinary decimal floating-point text (sign, digits, '.', exponent),
    // finite. On refusal `*text` is what was written: the value, or for a
    // flag the argument after it that the syntax took for an option ("-1"),
    // or "".
    OptionNumber ReadCount(const char* name, int minimum, int* out, const char** text) const;
    OptionNumber ReadNumber(const char* name, double* out, const char** text) const;

    // Appends one option as Parse does: `valueText` null makes a flag,
    // `following` is the argument after a flag (null when none).
    void Append(std::string name, const char* valueText, const char* following);

private:
    // What was written for entries[i]: the value text, or for a flag the
    // argument after it.
    struct Written
    {
        bool isFlag = false;
        std::string text;
    };

    const Written* WrittenFor(const COptionEntry* entry) const;

    std::vector<Written> written;
};
