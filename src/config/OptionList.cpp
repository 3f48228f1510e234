// COptionList lookups. The first entry of a name decides alone: a later
// entry of the same name is never consulted, even when the first one has a
// type the lookup does not accept. No index: lists hold a few dozen entries.
#include "config/OptionList.h"

#include <string_view>

namespace
{
template <typename T>
T Answer(T value, T* out)
{
    if (out != nullptr)
        *out = value;
    return value;
}
}  // namespace

const COptionEntry* COptionList::Find(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    // Names are compared as whole byte strings, so a stored name holding a
    // NUL byte never equals a C-string key.
    std::string_view key(name);
    for (const COptionEntry& entry : entries)
        if (entry.name == key)
            return &entry;
    return nullptr;
}

int COptionList::GetInt(const char* name, int defaultValue, int* out) const
{
    const COptionEntry* entry = Find(name);
    bool accepted = entry != nullptr && entry->type == OptionType::Int;
    return Answer(accepted ? static_cast<int>(entry->iValue) : defaultValue, out);
}

double COptionList::GetDouble(const char* name, double defaultValue, double* out) const
{
    const COptionEntry* entry = Find(name);
    double value = defaultValue;
    if (entry != nullptr && entry->type == OptionType::Double)
        value = entry->dValue;
    else if (entry != nullptr && entry->type == OptionType::Int)
        value = static_cast<double>(entry->iValue);
    return Answer(value, out);
}

float COptionList::GetFloat(const char* name, float defaultValue, float* out) const
{
    // Only a value written with a decimal point is a float; "10" is an Int.
    const COptionEntry* entry = Find(name);
    bool accepted = entry != nullptr && entry->type == OptionType::Double;
    return Answer(accepted ? static_cast<float>(entry->dValue) : defaultValue, out);
}

bool COptionList::GetBool(const char* name, bool defaultValue, bool* out) const
{
    const COptionEntry* entry = Find(name);
    bool accepted = entry != nullptr && entry->type == OptionType::Bool;
    return Answer(accepted ? entry->bValue : defaultValue, out);
}

const char* COptionList::GetString(const char* name, const char* defaultValue,
                                   const char** out) const
{
    // The default comes back as the very pointer the caller passed.
    const COptionEntry* entry = Find(name);
    bool accepted = entry != nullptr && entry->type == OptionType::String;
    return Answer(accepted ? entry->Text() : defaultValue, out);
}
