// CExportFile: one file written by an export, text or binary, through a
// buffer of its own. The first failure (the file cannot be created, a
// write or the close fails: a full disk, a missing permission) is kept
// with the system's reason, and everything after it is dropped, so that a
// writer checks once, at the end, and its caller can name the file and say
// why.
//
// Numbers are written in the C locale whatever the process's: a float as
// the shortest text that reads back as the same float, so that a reader
// gets the exact values.
//
// Deliberately not done: no temporary file renamed into place (a failed
// write leaves what it got to), no append mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class CExportFile
{
public:
    CExportFile() = default;
    ~CExportFile();
    CExportFile(const CExportFile&) = delete;
    CExportFile& operator=(const CExportFile&) = delete;

    // Creates or replaces the file. False (and Failure set) when it cannot.
    bool Create(const std::string& path);

    void Bytes(const void* data, size_t size);
    void Text(std::string_view text);
    void Float(float value);                       // shortest exact text
    void Double(double value, int significantDigits);
    void Unsigned(uint64_t value);

    // Hands everything written so far to the system; false once anything
    // has failed.
    bool Flush();
    // Flushes and closes; false once anything has failed. The file is
    // closed either way.
    bool Close();

    // Marks the file failed for a reason of the writer's own (a library
    // that could not make the data); the first failure still wins.
    void Fail(const std::string& reason);

    bool Failed() const { return !failure.empty(); }
    // "PATH (reason)" for the first failure, empty when none.
    const std::string& Failure() const { return failure; }

private:
    void FailWithErrno(int error);
    void Drain();

    std::FILE* file = nullptr;
    std::string path;
    std::string buffer;
    std::string failure;
};
