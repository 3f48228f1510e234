// CExportFile: buffered writes that keep their first failure.

#include "assets/ExportFile.h"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace
{
// Large enough that a mesh of a million vertices costs a few hundred
// writes, small enough to stay in cache.
constexpr size_t BUFFER_SIZE = 1 << 20;
}  // namespace

CExportFile::~CExportFile()
{
    if (file != nullptr)
        std::fclose(file);
}

bool CExportFile::Create(const std::string& name)
{
    path = name;
    failure.clear();
    buffer.clear();
    buffer.reserve(BUFFER_SIZE + 64);
    file = std::fopen(name.c_str(), "wb");
    if (file == nullptr)
    {
        FailWithErrno(errno);
        return false;
    }
    return true;
}

void CExportFile::FailWithErrno(int error)
{
    Fail(std::string(std::strerror(error != 0 ? error : EIO)));
}

void CExportFile::Fail(const std::string& reason)
{
    if (failure.empty())
        failure = path + " (" + reason + ")";
    buffer.clear();
}

void CExportFile::Drain()
{
    if (file == nullptr || Failed())
    {
        buffer.clear();
        return;
    }
    errno = 0;
    if (std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size())
        FailWithErrno(errno);
    buffer.clear();
}

void CExportFile::Bytes(const void* data, size_t size)
{
    if (Failed())
        return;
    if (buffer.size() + size > BUFFER_SIZE)
        Drain();
    if (size > BUFFER_SIZE)
    {
        errno = 0;
        if (file == nullptr || std::fwrite(data, 1, size, file) != size)
            FailWithErrno(errno);
        return;
    }
    buffer.append(static_cast<const char*>(data), size);
}

void CExportFile::Text(std::string_view text)
{
    Bytes(text.data(), text.size());
}

void CExportFile::Float(float value)
{
    char digits[32];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    Bytes(digits, size_t(result.ptr - digits));
}

void CExportFile::Double(double value, int significantDigits)
{
    char digits[64];
    auto result = std::to_chars(digits, digits + sizeof digits, value,
                                std::chars_format::general, significantDigits);
    Bytes(digits, size_t(result.ptr - digits));
}

void CExportFile::Unsigned(uint64_t value)
{
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    Bytes(digits, size_t(result.ptr - digits));
}

bool CExportFile::Flush()
{
    Drain();
    if (file != nullptr && !Failed())
    {
        errno = 0;
        if (std::fflush(file) != 0)
            FailWithErrno(errno);
    }
    return !Failed();
}

bool CExportFile::Close()
{
    Flush();
    if (file != nullptr)
    {
        errno = 0;
        if (std::fclose(file) != 0)
            FailWithErrno(errno);
        file = nullptr;
    }
    return !Failed();
}
