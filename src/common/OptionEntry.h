// COptionEntry: one named, typed value, shared by the option files and the
// command line. A String entry owns its text on the heap, so the pointer
// handed out by a lookup survives moves of the entry inside its list.
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

struct COptionEntry
{
    std::string name;
    OptionType type = OptionType::Int;
    int32_t iValue = 0;
    double dValue = 0.0;
    bool bValue = false;
    std::unique_ptr<char[]> sValue;  // NUL-terminated, String entries only

    const char* Text() const { return sValue.get(); }
};
