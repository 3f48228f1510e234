// COptionList: the entries of one option file (or of the command line), in
// the order they were written. Names are not unique; every lookup consults
// only the first entry of a name, and its type alone decides whether the
// value or the caller's default is returned.
#pragma once

#include <string>
#include <vector>

#include "common/OptionEntry.h"

// The typed answer of one entry (the first of its name, or null): its value
// when its type suits the lookup, else the default. Shared by the list's
// lookups and by readers that find entries their own way; each notes on the
// entry that it was asked for and, when its type did not suit, that it was
// refused.
int IntValueOf(const COptionEntry* entry, int defaultValue);
double DoubleValueOf(const COptionEntry* entry, double defaultValue);  // Int accepted too
float FloatValueOf(const COptionEntry* entry, float defaultValue);     // Double only
bool BoolValueOf(const COptionEntry* entry, bool defaultValue);
const char* StringValueOf(const COptionEntry* entry, const char* defaultValue);

class COptionList
{
public:
    int GetInt(const char* name, int defaultValue, int* out = nullptr) const;
    double GetDouble(const char* name, double defaultValue, double* out = nullptr) const;
    float GetFloat(const char* name, float defaultValue, float* out = nullptr) const;
    bool GetBool(const char* name, bool defaultValue, bool* out = nullptr) const;
    const char* GetString(const char* name, const char* defaultValue,
                          const char** out = nullptr) const;

    // First entry named exactly `name` (byte for byte), or null.
    const COptionEntry* Find(const char* name) const;

    std::vector<COptionEntry> entries;
    // Names of the statements whose value gave no entry (an unquoted word,
    // "+5", ".5"), in file order.
    std::vector<std::string> unreadValues;
};
