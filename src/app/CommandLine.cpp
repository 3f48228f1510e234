// CCommandLine::Parse: long options ("--name value", "--name:value"), one-
// letter options ("-n value", "-nvalue", "-n:value") and flags (an option
// with no value is Bool true). Every argument must be consumed by this
// syntax, GLUT's own options included.
//
// Deliberately not done: no list of known options, no "--" end-of-options
// marker, no grouping of one-letter flags ("-ab" is the option a with the
// value b). Texts are read only up to their terminating NUL.
#include "app/CommandLine.h"

#include <string>

#include "config/ValueConversion.h"

namespace
{
bool IsOptionText(const char* text) { return text != nullptr && text[0] == '-'; }

void AppendEntry(CCommandLine& list, std::string name, const char* valueText)
{
    COptionEntry entry;
    entry.name = std::move(name);
    if (valueText != nullptr)
    {
        OptionValues::ConvertCommandLineValue(valueText, entry);
    }
    else
    {
        entry.type = OptionType::Bool;
        entry.bValue = true;
    }
    list.entries.push_back(std::move(entry));
}

// The argument after index i when it is a value (present and not an
// option), consuming it; null for a flag.
const char* TakeSeparateValue(int argc, const char* const* argv, int& i)
{
    if (i + 1 < argc && argv[i + 1] != nullptr && !IsOptionText(argv[i + 1]))
        return argv[++i];
    return nullptr;
}

// `rest` is the text after "--".
bool ParseLongOption(CCommandLine& list, const char* rest, int argc,
                     const char* const* argv, int& i)
{
    if (rest[0] == '\0')
        return false;
    std::string name(rest);
    size_t colon = name.find(':');
    if (colon != std::string::npos)
    {
        name.resize(colon);
        AppendEntry(list, std::move(name), rest + colon + 1);
        return true;
    }
    AppendEntry(list, std::move(name), TakeSeparateValue(argc, argv, i));
    return true;
}

// `rest` is the text after "-"; only its first character names the option.
bool ParseShortOption(CCommandLine& list, const char* rest, int argc,
                      const char* const* argv, int& i)
{
    if (rest[0] == '\0')
        return false;
    std::string name(1, rest[0]);
    if (rest[1] == '\0')
    {
        AppendEntry(list, std::move(name), TakeSeparateValue(argc, argv, i));
        return true;
    }
    if (rest[1] == ':')
    {
        if (rest[2] == '\0')
            return false;
        AppendEntry(list, std::move(name), rest + 2);
        return true;
    }
    AppendEntry(list, std::move(name), rest + 1);
    return true;
}
}  // namespace

bool CCommandLine::Parse(int argc, const char* const* argv)
{
    if (argv == nullptr)
        return argc < 2;
    for (int i = 1; i < argc; ++i)
    {
        const char* argument = argv[i];
        if (!IsOptionText(argument))
            return false;
        bool wellFormed = argument[1] == '-'
                              ? ParseLongOption(*this, argument + 2, argc, argv, i)
                              : ParseShortOption(*this, argument + 1, argc, argv, i);
        if (!wellFormed)
            return false;
    }
    return true;
}
