// CTgaImage: a true-colour image in memory and the TGA files it is read
// from and written to. Pixels are R, G, B (, A), rows without padding,
// bottom row first (files with the top-left origin are turned over on
// loading).
#pragma once

#include <cstdint>
#include <cstdio>

// What a quiet read made of a file, and what its header said.
enum TgaReadOutcome : int
{
    TGA_LOADED = 0,
    TGA_TRUNCATED,     // loaded, the pixels the file lacks set to 0
    TGA_UNREADABLE,    // the stream failed
    TGA_SHORT_HEADER,  // too short for a header
    TGA_UNSUPPORTED,   // not 24- or 32-bit true colour
    TGA_TOO_LARGE,
    TGA_NO_MEMORY,
};

struct TgaReadReport
{
    uint8_t imageType = 0;
    uint8_t bitsPerPixel = 0;
    uint16_t width = 0;
    uint16_t height = 0;
};

class CTgaImage
{
public:
    CTgaImage() = default;
    ~CTgaImage();
    CTgaImage(const CTgaImage&) = delete;
    CTgaImage& operator=(const CTgaImage&) = delete;

    static bool TgaImageLoad(const char* fileName, CTgaImage* _ctiImage);
    // Same as TgaImageLoad, from a stream already open (fuzzers, tests);
    // `fileName` names the stream in the log lines.
    static bool TgaImageRead(std::FILE* file, CTgaImage* _ctiImage,
                             const char* fileName = "(flux)");
    // The same read without a log line: the caller words the refusal.
    // `report` holds the header's fields once one was read.
    static TgaReadOutcome TgaImageReadQuietly(std::FILE* file, CTgaImage* _ctiImage,
                                              TgaReadReport* report);
    static bool TgaImageSave(const char* fileName, CTgaImage* _ctiImage, bool rle);
    void cvUnloadImage();

    // Sets the size and depth and gives the image a new buffer of
    // width × height × depth/8 bytes, releasing the old one; false (and no
    // buffer) when it cannot be allocated.
    bool Allocate(uint16_t newWidth, uint16_t newHeight, uint8_t newBitsPerPixel);

    uint16_t width = 0xFFFF;
    uint16_t height = 0xFFFF;
    uint8_t bitsPerPixel = 255;
    unsigned char* data = nullptr;  // owned, new[]
};
