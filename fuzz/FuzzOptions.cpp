// Option files: the bytes are a whole file, read through the same stream
// entry that ParseFile uses, then looked up with every typed lookup.
#include <cstdio>

#include "FuzzTarget.h"
#include "config/OptionsParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // fmemopen refuses a zero-length buffer; an empty file is /dev/null.
    std::FILE* file = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "rb")
                               : std::fopen("/dev/null", "rb");
    if (file == nullptr)
        return 0;
    COptionList list;
    if (COptionsParser::ParseFileForVariable(file, &list))
    {
        for (const COptionEntry& entry : list.entries)
        {
            const char* name = entry.name.c_str();
            (void)list.GetInt(name, 0);
            (void)list.GetDouble(name, 0.0);
            (void)list.GetFloat(name, 0.0f);
            (void)list.GetBool(name, false);
            (void)list.GetString(name, "");
        }
    }
    std::fclose(file);
    return 0;
}
