// COptionEntry: one named, typed value, shared by the option files and the
// command line. A String entry owns its text on the heap, so the pointer
// handed out by a lookup survives moves of the entry inside its list. The
// typed lookups also note what they made of it, for the warnings about keys
// that had no effect.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class OptionType : int
{
    Int = 0,
    Double = 1,
    Bool = 2,
    String = 3,
};

// The typed lookups, as an entry remembers the first one that refused it.
enum class OptionLookup : uint8_t
{
    None,
    Int,
    Double,  // Int accepted too
    Float,   // Double only
    Bool,
    String,
};

struct COptionEntry
{
    std::string name;
    OptionType type = OptionType::Int;
    int32_t iValue = 0;
    double dValue = 0.0;
    bool bValue = false;
    std::unique_ptr<char[]> sValue;  // NUL-terminated, String entries only
    mutable bool asked = false;      // a lookup found it
    mutable OptionLookup refusedBy = OptionLookup::None;  // its type gave way to a default

    const char* Text() const { return sValue.get(); }
};
