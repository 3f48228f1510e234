// CTgaImage: a true-colour image in memory and the TGA files it is read
// from and written to. Pixels are R, G, B (, A), rows without padding,
// bottom row first (files with the top-left origin are turned over on
// loading).
#pragma once

#include <cstdint>
#include <cstdio>

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
