// CCommandLine::Parse: long options ("--name value", "--name:value"), one-
// letter options ("-n value", "-nvalue", "-n:value") and flags (an option
// with no value is Bool true). Every argument must be consumed by this
// syntax, GLUT's own options included.
//
// Deliberately not done: no list of known options, no "--" end-of-options
// marker, no grouping of one-letter flags ("-ab" is the option a with the
// value b). Texts are read only up to their terminating NUL.
#include "app/CommandLine.h"

#include <climits>
#include <cmath>

#include "config/ValueConversion.h"

namespace
{
bool IsOptionText(const char* text) { return text != nullptr && text[0] == '-'; }

// A value given separately or joined ("--name:value") is appended with it;
// a flag also keeps the argument after it, which the syntax took for an
// option.
void AppendEntry(CCommandLine& list, std::string name, const char* valueText, int argc,
                 const char* const* argv, int i)
{
    const char* following = valueText == nullptr && i + 1 < argc ? argv[i + 1] : nullptr;
    list.Append(std::move(name), valueText, following);
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
        AppendEntry(list, std::move(name), rest + colon + 1, argc, argv, i);
        return true;
    }
    const char* value = TakeSeparateValue(argc, argv, i);
    AppendEntry(list, std::move(name), value, argc, argv, i);
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
        const char* value = TakeSeparateValue(argc, argv, i);
        AppendEntry(list, std::move(name), value, argc, argv, i);
        return true;
    }
    if (rest[1] == ':')
    {
        if (rest[2] == '\0')
            return false;
        AppendEntry(list, std::move(name), rest + 2, argc, argv, i);
        return true;
    }
    AppendEntry(list, std::move(name), rest + 1, argc, argv, i);
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

void CCommandLine::Append(std::string name, const char* valueText, const char* following)
{
    COptionEntry entry;
    entry.name = std::move(name);
    Written text;
    if (valueText != nullptr)
    {
        OptionValues::ConvertCommandLineValue(valueText, entry);
        text.text = valueText;
    }
    else
    {
        entry.type = OptionType::Bool;
        entry.bValue = true;
        text.isFlag = true;
        text.text = following != nullptr ? following : "";
    }
    entries.push_back(std::move(entry));
    written.push_back(std::move(text));
}

const CCommandLine::Written* CCommandLine::WrittenFor(const COptionEntry* entry) const
{
    // Entries appended other than through Append have no written text.
    size_t index = entry == nullptr ? written.size() : size_t(entry - entries.data());
    return index < written.size() ? &written[index] : nullptr;
}

const char* CCommandLine::GetText(const char* name, const char* defaultValue) const
{
    const COptionEntry* entry = Find(name);
    if (entry != nullptr && entry->type == OptionType::String)
        return entry->Text();
    const Written* text = WrittenFor(entry);
    return text != nullptr && !text->isFlag ? text->text.c_str() : defaultValue;
}

OptionNumber CCommandLine::ReadCount(const char* name, int minimum, int* out,
                                     const char** text) const
{
    const Written* source = WrittenFor(Find(name));
    if (source == nullptr)
        return OptionNumber::Absent;
    *text = source->text.c_str();
    long long value = 0;
    const char* digit = *text;
    for (; *digit >= '0' && *digit <= '9' && value <= INT_MAX; ++digit)
        value = value * 10 + (*digit - '0');
    if (source->isFlag || digit == *text || *digit != '\0' || value < minimum || value > INT_MAX)
        return OptionNumber::Refused;
    *out = int(value);
    return OptionNumber::Read;
}

OptionNumber CCommandLine::ReadNumber(const char* name, double* out, const char** text) const
{
    const Written* source = WrittenFor(Find(name));
    if (source == nullptr)
        return OptionNumber::Absent;
    *text = source->text.c_str();
    if (source->isFlag || !OptionValues::ReadWholeDecimal(*text, out) || !std::isfinite(*out))
        return OptionNumber::Refused;
    return OptionNumber::Read;
}
