// Value conversion for option files and the command line: locale-free
// number reading with "%i" / "%lf" prefix semantics, and the typed entry
// rules on top of it.
#include "config/ValueConversion.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace
{
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;  // fits no base
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The "C" locale, made once: strtod_l then reads '.' as the decimal point
// whatever setlocale the program (or a test) has done.
locale_t CLocale()
{
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// End of the longest decimal floating-point prefix of `text`, or `text`
// itself when there is no digit before the exponent.
const char* DecimalNumberEnd(const char* text)
{
    const char* p = text;
    if (*p == '-' || *p == '+')
        ++p;
    int digits = 0;
    for (; IsAsciiDigit(*p); ++p)
        ++digits;
    if (*p == '.')
        for (++p; IsAsciiDigit(*p); ++p)
            ++digits;
    if (digits == 0)
        return text;
    if (*p == 'e' || *p == 'E')
    {
        const char* exponent = p + 1;
        if (*exponent == '-' || *exponent == '+')
            ++exponent;
        if (IsAsciiDigit(*exponent))
        {
            p = exponent;
            while (IsAsciiDigit(*p))
                ++p;
        }
    }
    return p;
}

bool IsNumberStart(char c) { return IsAsciiDigit(c) || c == '-'; }

// Number text (first character a digit or '-'): Double when it holds a '.'.
// False when no number could be read from it.
bool ConvertNumber(const char* text, COptionEntry& entry)
{
    if (strchr(text, '.') != nullptr)
    {
        entry.type = OptionType::Double;
        return OptionValues::ReadDecimalDouble(text, &entry.dValue);
    }
    entry.type = OptionType::Int;
    return OptionValues::ReadInteger(text, &entry.iValue);
}

bool ConvertBool(const char* text, COptionEntry& entry)
{
    entry.type = OptionType::Bool;
    if (OptionValues::EqualsIgnoringAsciiCase(text, "true"))
        entry.bValue = true;
    else if (OptionValues::EqualsIgnoringAsciiCase(text, "false"))
        entry.bValue = false;
    else
        return false;
    return true;
}
}  // namespace

bool OptionValues::ReadInteger(const char* text, int32_t* out)
{
    const char* p = text;
    bool negative = false;
    if (*p == '-' || *p == '+')
        negative = (*p++ == '-');

    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16)
    {
        base = 16;
        p += 2;
    }
    else if (p[0] == '0')
    {
        base = 8;
    }
    if (DigitValue(*p) >= base)
        return false;

    // Magnitude saturates just past the 32-bit range; the clamp below
    // then picks the nearest representable value.
    const long long limit = static_cast<long long>(INT32_MAX) + 1;
    long long magnitude = 0;
    for (; DigitValue(*p) < base; ++p)
    {
        magnitude = magnitude * base + DigitValue(*p);
        if (magnitude > limit)
            magnitude = limit;
    }
    long long value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX)
        value = INT32_MAX;
    *out = static_cast<int32_t>(value);
    return true;
}

bool OptionValues::ReadDecimalDouble(const char* text, double* out)
{
    const char* end = DecimalNumberEnd(text);
    if (end == text)
        return false;
    std::string number(text, end);
    *out = strtod_l(number.c_str(), nullptr, CLocale());
    return true;
}

bool OptionValues::ReadWholeDecimal(const char* text, double* out)
{
    const char* end = DecimalNumberEnd(text);
    return end != text && *end == '\0' && ReadDecimalDouble(text, out);
}

bool OptionValues::EqualsIgnoringAsciiCase(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (AsciiLower(*a) != AsciiLower(*b))
            return false;
    return *a == *b;
}

void OptionValues::SetStringValue(COptionEntry& entry, const char* text)
{
    size_t length = strlen(text);
    entry.type = OptionType::String;
    entry.sValue = std::make_unique<char[]>(length + 1);
    memcpy(entry.sValue.get(), text, length + 1);
}

bool OptionValues::ConvertFileValue(const char* token, COptionEntry& entry)
{
    if (token[0] == '"')
    {
        SetStringValue(entry, token + 1);
        return true;
    }
    if (IsNumberStart(token[0]))
        return ConvertNumber(token, entry);
    return ConvertBool(token, entry);
}

void OptionValues::ConvertCommandLineValue(const char* text, COptionEntry& entry)
{
    if (text[0] == '"')
    {
        SetStringValue(entry, text + 1);
        return;
    }
    if (IsNumberStart(text[0]))
    {
        // No lookup reads a number entry of the command line; an unreadable
        // one keeps its type with the value 0.
        if (!ConvertNumber(text, entry))
        {
            entry.iValue = 0;
            entry.dValue = 0.0;
        }
        return;
    }
    if (!ConvertBool(text, entry))
        SetStringValue(entry, text);
}
