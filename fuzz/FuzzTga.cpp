// TGA reader: the bytes are a whole file. A 24-bit image that loads is
// written back through both packet writers, which must accept it.
#include <cstdio>

#include "FuzzTarget.h"
#include "assets/TgaImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // Images of more than 4096 pixels take the same paths as small ones,
    // only longer: a few header bytes can ask for up to 64 Mi pixels that
    // the reader zero-fills. They are skipped here to keep the search fast
    // (the unit tests load such images); larger headers, which the reader
    // refuses before allocating, still run.
    if (size >= 16)
    {
        const uint32_t width = data[12] | (data[13] << 8);
        const uint32_t height = data[14] | (data[15] << 8);
        const uint64_t pixels = uint64_t(width) * height;
        if (pixels > (uint64_t(1) << 12) && pixels <= (uint64_t(64) << 20))
            return 0;
    }
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (file == nullptr)
        return 0;
    CTgaImage image;
    const bool loaded = CTgaImage::TgaImageRead(file, &image);
    std::fclose(file);
    if (loaded && image.bitsPerPixel == 24 && image.data != nullptr)
    {
        (void)CTgaImage::TgaImageSave("/dev/null", &image, true);
        (void)CTgaImage::TgaImageSave("/dev/null", &image, false);
    }
    return 0;
}
