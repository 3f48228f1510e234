// Conversion of value texts into typed option entries, shared by the option
// files and the command line. Numbers read like the scanf conversions "%i"
// and "%lf" but never depend on the process locale: the decimal point is
// always '.', and digits are ASCII digits.
//
// Deliberately not done: hexadecimal floats, "inf" and "nan" (only decimal
// floating-point text is a number here), and any error reporting (a text that
// does not convert simply gives no value).
#pragma once

#include <cstdint>

#include "common/OptionEntry.h"

namespace OptionValues
{
// Integer prefix of `text` as "%i" reads it: optional sign, then 0x/0X and
// hex digits, 0 and octal digits, or decimal digits, stopping at the first
// character that does not fit. Values beyond 32 bits are clamped to
// INT32_MIN / INT32_MAX. False when no digit could be read.
bool ReadInteger(const char* text, int32_t* out);

// Longest decimal floating-point prefix of `text` (sign, digits, '.',
// digits, exponent), correctly rounded. False when it holds no digit.
// Overflow gives an infinity, as strtod does.
bool ReadDecimalDouble(const char* text, double* out);

// The whole of `text` as one decimal floating-point number (the same
// grammar, nothing before or after it). False for anything else.
bool ReadWholeDecimal(const char* text, double* out);

// ASCII letters compared without case; every other byte exactly.
bool EqualsIgnoringAsciiCase(const char* a, const char* b);

// Value token of an option file. A leading '"' gives a String (the text
// after it), a digit or '-' a number (Double when the token holds a '.',
// else Int), "true"/"false" in any case a Bool. False when the token gives
// no value (an unquoted word, "+5", ".5", "-", "-x"): nothing is stored.
bool ConvertFileValue(const char* token, COptionEntry& entry);

// Value text of a command-line option; always gives a value. Like the file
// rules, except that a number that does not read becomes 0 and any other
// text, the empty text included, is a String of the whole text.
void ConvertCommandLineValue(const char* text, COptionEntry& entry);

// Makes `entry` a String entry owning a copy of `text`.
void SetStringValue(COptionEntry& entry, const char* text);
}  // namespace OptionValues
