// CTgaImage: reading and writing true-colour TGA files (image types 2 and
// 10, 24 and 32 bits per pixel) and the pixel buffer that holds them.
// Images are kept bottom row first: a file whose descriptor puts the first
// row at the top (ffmpeg's default) has its rows turned over on loading.
// Every refusal, and a file too short for its pixels, is logged with the
// file's name.
//
// Deliberately not done: no colour-mapped or grey images, no 16-bit pixels,
// no right-to-left rows, no writer for 32 bits. Nothing here calls OpenGL.

#include "assets/TgaImage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "app/Log.h"

namespace
{

constexpr int TGA_HEADER_SIZE = 18;
constexpr uint8_t TGA_TYPE_TRUE_COLOUR = 2;
constexpr uint8_t TGA_TYPE_TRUE_COLOUR_RLE = 10;
constexpr int MAX_PACKET_PIXELS = 128;
constexpr uint8_t TGA_TOP_LEFT_ORIGIN = 0x20;  // descriptor bit 5: first row is the top

// A forged header could ask for 65535 × 65535 pixels (16 GiB at 32 bits);
// nothing this program shows needs more than 64 megapixels.
constexpr uint64_t MAX_LOAD_PIXELS = uint64_t(64) << 20;

uint16_t LittleEndian16(const unsigned char* bytes)
{
    return uint16_t(bytes[0] | (bytes[1] << 8));
}

// Reads `count` bytes; whatever the stream does not supply is set to 0.
// Returns the number of bytes the stream supplied.
size_t ReadOrZero(std::FILE* file, unsigned char* out, size_t count)
{
    size_t got = std::fread(out, 1, count, file);
    if (got < count)
        std::memset(out + got, 0, count - got);
    return got;
}

// Decodes run-length packets into `pixels` (pixelCount pixels of
// bytesPerPixel bytes). A stream that ends early leaves the rest at 0 and
// gives false; a packet that would run past the image is cut at its end.
bool DecodeRunLengthPackets(std::FILE* file, unsigned char* pixels, size_t pixelCount,
                            size_t bytesPerPixel)
{
    bool complete = true;
    size_t done = 0;
    while (done < pixelCount)
    {
        int packetHeader = std::fgetc(file);
        if (packetHeader == EOF)
        {
            complete = false;
            break;
        }
        size_t count = size_t(packetHeader & 0x7F) + 1;
        if (count > pixelCount - done)
            count = pixelCount - done;
        unsigned char* out = pixels + done * bytesPerPixel;
        if (packetHeader & 0x80)
        {
            size_t got = ReadOrZero(file, out, bytesPerPixel);
            for (size_t i = 1; i < count; ++i)
                std::memcpy(out + i * bytesPerPixel, out, bytesPerPixel);
            done += count;
            if (got < bytesPerPixel)
            {
                complete = false;
                break;
            }
        }
        else
        {
            size_t wanted = count * bytesPerPixel;
            size_t got = ReadOrZero(file, out, wanted);
            done += count;
            if (got < wanted)
            {
                complete = false;
                break;
            }
        }
    }
    std::memset(pixels + done * bytesPerPixel, 0, (pixelCount - done) * bytesPerPixel);
    return complete;
}

// Turns the rows over: the image's first row becomes its last.
void FlipRows(unsigned char* pixels, size_t width, size_t height, size_t bytesPerPixel)
{
    const size_t rowBytes = width * bytesPerPixel;
    for (size_t top = 0, bottom = height; top + 1 < bottom; ++top, --bottom)
        std::swap_ranges(pixels + top * rowBytes, pixels + (top + 1) * rowBytes,
                         pixels + (bottom - 1) * rowBytes);
}

// The kind of picture an image type holds, for the refusal line.
const char* ImageKind(uint8_t imageType)
{
    switch (imageType)
    {
    case 1:
    case 9: return "\xE0 palette";
    case 2:
    case 10: return "en couleurs vraies";
    case 3:
    case 11: return "en niveaux de gris";
    default: return "de type inconnu";
    }
}

// B, G, R (, A) in the file; R, G, B (, A) in memory. The same exchange
// goes both ways.
void SwapRedAndBlue(unsigned char* pixels, size_t pixelCount, size_t bytesPerPixel)
{
    for (size_t i = 0; i < pixelCount; ++i)
    {
        unsigned char* p = pixels + i * bytesPerPixel;
        unsigned char red = p[0];
        p[0] = p[2];
        p[2] = red;
    }
}

// Collects output bytes in a local buffer and hands them to the stream in
// large blocks; remembers whether any write failed.
class CTgaWriter
{
public:
    explicit CTgaWriter(std::FILE* file) : m_file(file) {}

    void Put(unsigned char byte)
    {
        if (m_used == sizeof(m_buffer))
            Flush();
        m_buffer[m_used++] = byte;
    }

    // A pixel of the caller's R, G, B buffer, written as B, G, R.
    void PutPixel(const unsigned char* rgb)
    {
        if (m_used + 3 > sizeof(m_buffer))
            Flush();
        m_buffer[m_used] = rgb[2];
        m_buffer[m_used + 1] = rgb[1];
        m_buffer[m_used + 2] = rgb[0];
        m_used += 3;
    }

    void Flush()
    {
        if (m_used > 0 && std::fwrite(m_buffer, 1, m_used, m_file) != m_used)
            m_failed = true;
        m_used = 0;
    }

    bool Failed() const { return m_failed; }

private:
    std::FILE* m_file;
    unsigned char m_buffer[1 << 16];
    size_t m_used = 0;
    bool m_failed = false;
};

bool SamePixel(const unsigned char* pixels, size_t a, size_t b)
{
    return std::memcmp(pixels + a * 3, pixels + b * 3, 3) == 0;
}

// Pixels from `first` equal to it, at most one packet's worth.
size_t CountRun(const unsigned char* pixels, size_t first, size_t pixelCount)
{
    size_t count = 1;
    while (count < MAX_PACKET_PIXELS && first + count < pixelCount &&
           SamePixel(pixels, first, first + count))
        ++count;
    return count;
}

// Pixels from `first` that go into one raw packet: the packet closes after
// a pixel equal to its successor (the run starts at that successor), after
// the 128th pixel, or at the last pixel of the image.
size_t CountRaw(const unsigned char* pixels, size_t first, size_t pixelCount)
{
    size_t count = 0;
    for (;;)
    {
        size_t taken = first + count;
        ++count;
        if (taken + 1 == pixelCount || count == MAX_PACKET_PIXELS ||
            SamePixel(pixels, taken, taken + 1))
            return count;
    }
}

void WriteRunLengthPackets(CTgaWriter& writer, const unsigned char* pixels, size_t pixelCount)
{
    size_t current = 0;
    while (current < pixelCount)
    {
        if (current + 1 < pixelCount && SamePixel(pixels, current, current + 1))
        {
            size_t count = CountRun(pixels, current, pixelCount);
            writer.Put(static_cast<unsigned char>(0x80 + (count - 1)));
            writer.PutPixel(pixels + current * 3);
            current += count;
        }
        else
        {
            size_t count = CountRaw(pixels, current, pixelCount);
            writer.Put(static_cast<unsigned char>(count - 1));
            for (size_t i = 0; i < count; ++i)
                writer.PutPixel(pixels + (current + i) * 3);
            current += count;
        }
    }
}

void WriteRawPixels(CTgaWriter& writer, const unsigned char* pixels, size_t pixelCount)
{
    for (size_t i = 0; i < pixelCount; ++i)
        writer.PutPixel(pixels + i * 3);
}

void WriteHeader(CTgaWriter& writer, const CTgaImage& image, bool rle)
{
    unsigned char header[TGA_HEADER_SIZE] = {};
    header[2] = rle ? TGA_TYPE_TRUE_COLOUR_RLE : TGA_TYPE_TRUE_COLOUR;
    header[12] = static_cast<unsigned char>(image.width & 0xFF);
    header[13] = static_cast<unsigned char>(image.width >> 8);
    header[14] = static_cast<unsigned char>(image.height & 0xFF);
    header[15] = static_cast<unsigned char>(image.height >> 8);
    header[16] = 24;
    for (unsigned char byte : header)
        writer.Put(byte);
}

}  // namespace

CTgaImage::~CTgaImage()
{
    delete[] data;
}

bool CTgaImage::Allocate(uint16_t newWidth, uint16_t newHeight, uint8_t newBitsPerPixel)
{
    delete[] data;
    data = nullptr;
    width = newWidth;
    height = newHeight;
    bitsPerPixel = newBitsPerPixel;
    size_t bytes = size_t(newBitsPerPixel) * newWidth * newHeight / 8;
    data = new (std::nothrow) unsigned char[bytes];
    return data != nullptr;
}

bool CTgaImage::TgaImageLoad(const char* fileName, CTgaImage* _ctiImage)
{
    if (_ctiImage == nullptr)
    {
        CLog::Write("CTgaImage::TgaImageLoad -- Erreur ! Le pointeur _ctiImage est NULL !");
        return false;
    }
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr)
    {
        CLog::Write("CTgaImage::TgaImageLoad -- Impossible d'ouvrir le fichier %s", fileName);
        return false;
    }
    bool loaded = TgaImageRead(file, _ctiImage, fileName);
    std::fclose(file);
    return loaded;
}

// The image is only touched once the whole file has been read: a refused
// file leaves it as it was (no buffer, for the callers of the program).
bool CTgaImage::TgaImageRead(std::FILE* file, CTgaImage* _ctiImage, const char* fileName)
{
    if (_ctiImage == nullptr)
    {
        CLog::Write("CTgaImage::TgaImageLoad -- Erreur ! Le pointeur _ctiImage est NULL !");
        return false;
    }
    TgaReadReport report;
    switch (TgaImageReadQuietly(file, _ctiImage, &report))
    {
    case TGA_LOADED:
        return true;
    case TGA_TRUNCATED:
        CLog::Write("CTgaImage::TgaImageLoad -- Fichier %s tronqu\xE9 : les pixels manquants "
                    "sont mis \xE0 z\xE9ro", fileName);
        return true;
    case TGA_UNREADABLE:
        CLog::Write("CTgaImage::TgaImageLoad -- Fichier %s illisible", fileName);
        return false;
    case TGA_SHORT_HEADER:
        CLog::Write("CTgaImage::TgaImageLoad -- Fichier %s trop court pour un en-t\xEAte TGA",
                    fileName);
        return false;
    case TGA_UNSUPPORTED:
        CLog::Write("CTgaImage::TgaImageLoad -- Fichier %s : image %s (type %u) de %u bits "
                    "par pixel non support\xE9" "e, seules les couleurs vraies de 24 ou 32 bits "
                    "se lisent",
                    fileName, ImageKind(report.imageType), unsigned(report.imageType),
                    unsigned(report.bitsPerPixel));
        return false;
    case TGA_TOO_LARGE:
        CLog::Write("CTgaImage::TgaImageLoad -- Image trop grande (%u x %u) : %s",
                    unsigned(report.width), unsigned(report.height), fileName);
        return false;
    case TGA_NO_MEMORY:
        break;
    }
    CLog::Write("CTgaImage::TgaImageLoad -- M\xE9moire insuffisante : %s", fileName);
    return false;
}

// A truncated file still fills the image (the missing pixels 0): a texture
// shows what it has, and a caller that needs every pixel refuses it.
TgaReadOutcome CTgaImage::TgaImageReadQuietly(std::FILE* file, CTgaImage* _ctiImage,
                                              TgaReadReport* report)
{
    unsigned char header[TGA_HEADER_SIZE];
    size_t headerBytes = std::fread(header, 1, sizeof(header), file);
    unsigned char skipped[255];
    if (headerBytes == sizeof(header))
        headerBytes += std::fread(skipped, 1, header[0], file);
    if (std::ferror(file))
        return TGA_UNREADABLE;
    if (headerBytes < 3 || headerBytes < sizeof(header) + header[0])
        return TGA_SHORT_HEADER;
    uint8_t imageType = header[2];
    uint16_t newWidth = LittleEndian16(header + 12);
    uint16_t newHeight = LittleEndian16(header + 14);
    uint8_t newBitsPerPixel = header[16];
    *report = TgaReadReport{imageType, newBitsPerPixel, newWidth, newHeight};
    if ((imageType != TGA_TYPE_TRUE_COLOUR && imageType != TGA_TYPE_TRUE_COLOUR_RLE) ||
        (newBitsPerPixel != 24 && newBitsPerPixel != 32))
        return TGA_UNSUPPORTED;

    size_t pixelCount = size_t(newWidth) * newHeight;
    if (pixelCount > MAX_LOAD_PIXELS)
        return TGA_TOO_LARGE;
    size_t bytesPerPixel = newBitsPerPixel / 8;
    // One byte more than needed so that an empty image still has a buffer
    // (and its release stays silent).
    std::unique_ptr<unsigned char[]> pixels(
        new (std::nothrow) unsigned char[pixelCount * bytesPerPixel + 1]);
    if (!pixels)
        return TGA_NO_MEMORY;
    const bool complete =
        imageType == TGA_TYPE_TRUE_COLOUR
            ? ReadOrZero(file, pixels.get(), pixelCount * bytesPerPixel) ==
                  pixelCount * bytesPerPixel
            : DecodeRunLengthPackets(file, pixels.get(), pixelCount, bytesPerPixel);
    if (std::ferror(file))
        return TGA_UNREADABLE;
    SwapRedAndBlue(pixels.get(), pixelCount, bytesPerPixel);
    if (header[17] & TGA_TOP_LEFT_ORIGIN)
        FlipRows(pixels.get(), newWidth, newHeight, bytesPerPixel);

    delete[] _ctiImage->data;
    _ctiImage->data = pixels.release();
    _ctiImage->width = newWidth;
    _ctiImage->height = newHeight;
    _ctiImage->bitsPerPixel = newBitsPerPixel;
    return complete ? TGA_LOADED : TGA_TRUNCATED;
}

// The caller's buffer is never modified: pixels are turned to B, G, R on
// their way into the output buffer.
bool CTgaImage::TgaImageSave(const char* fileName, CTgaImage* _ctiImage, bool rle)
{
    if (_ctiImage == nullptr)
    {
        CLog::Write("CTgaImage::TgaImageSave -- Erreur ! Le pointeur _ctiImage est NULL !");
        return false;
    }
    if (_ctiImage->bitsPerPixel != 24)
    {
        CLog::Write("CTgaImage::TgaImageSave -- Uniquement 24 bits par pixel support\xE9");
        return false;
    }
    size_t pixelCount = size_t(_ctiImage->width) * _ctiImage->height;
    if (_ctiImage->data == nullptr && pixelCount > 0)
    {
        CLog::Write("CTgaImage::TgaImageSave -- Erreur ! L'image n'a pas de pixels");
        return false;
    }
    std::FILE* file = std::fopen(fileName, "wb");
    if (file == nullptr)
        return false;

    auto writer = std::make_unique<CTgaWriter>(file);
    WriteHeader(*writer, *_ctiImage, rle);
    if (rle)
        WriteRunLengthPackets(*writer, _ctiImage->data, pixelCount);
    else
        WriteRawPixels(*writer, _ctiImage->data, pixelCount);
    writer->Flush();
    bool written = !writer->Failed();
    if (std::fclose(file) != 0)
        written = false;
    return written;
}

void CTgaImage::cvUnloadImage()
{
    if (data == nullptr)
    {
        CLog::Write("CTgaImage::cvUnloadImage -- On essaie de d\xE9"
                    "charger une image inexistante.");
        return;
    }
    delete[] data;
    data = nullptr;
}
