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

// Whether `entry` gives its value to `lookup` (`suits`: its type is one the
// lookup takes); notes the question and any refusal on the entry.
bool Answers(const COptionEntry* entry, bool suits, OptionLookup lookup)
{
    if (entry == nullptr)
        return false;
    entry->asked = true;
    if (!suits && entry->refusedBy == OptionLookup::None)
        entry->refusedBy = lookup;
    return suits;
}

bool HasType(const COptionEntry* entry, OptionType type)
{
    return entry != nullptr && entry->type == type;
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

int IntValueOf(const COptionEntry* entry, int defaultValue)
{
    return Answers(entry, HasType(entry, OptionType::Int), OptionLookup::Int) ? entry->iValue
                                                                               : defaultValue;
}

double DoubleValueOf(const COptionEntry* entry, double defaultValue)
{
    const bool isInt = HasType(entry, OptionType::Int);
    if (!Answers(entry, isInt || HasType(entry, OptionType::Double), OptionLookup::Double))
        return defaultValue;
    return isInt ? static_cast<double>(entry->iValue) : entry->dValue;
}

// Only a value written with a decimal point is a float; "10" is an Int.
float FloatValueOf(const COptionEntry* entry, float defaultValue)
{
    return Answers(entry, HasType(entry, OptionType::Double), OptionLookup::Float)
               ? static_cast<float>(entry->dValue)
               : defaultValue;
}

bool BoolValueOf(const COptionEntry* entry, bool defaultValue)
{
    return Answers(entry, HasType(entry, OptionType::Bool), OptionLookup::Bool) ? entry->bValue
                                                                                 : defaultValue;
}

// The default comes back as the very pointer the caller passed.
const char* StringValueOf(const COptionEntry* entry, const char* defaultValue)
{
    return Answers(entry, HasType(entry, OptionType::String), OptionLookup::String)
               ? entry->Text()
               : defaultValue;
}

int COptionList::GetInt(const char* name, int defaultValue, int* out) const
{
    return Answer(IntValueOf(Find(name), defaultValue), out);
}

double COptionList::GetDouble(const char* name, double defaultValue, double* out) const
{
    return Answer(DoubleValueOf(Find(name), defaultValue), out);
}

float COptionList::GetFloat(const char* name, float defaultValue, float* out) const
{
    return Answer(FloatValueOf(Find(name), defaultValue), out);
}

bool COptionList::GetBool(const char* name, bool defaultValue, bool* out) const
{
    return Answer(BoolValueOf(Find(name), defaultValue), out);
}

const char* COptionList::GetString(const char* name, const char* defaultValue,
                                   const char** out) const
{
    return Answer(StringValueOf(Find(name), defaultValue), out);
}
