// TGA images: the writer's packets byte for byte, round trips through the
// writer and the reader, and the reader's answers to damaged files. Random
// damage is left to the fuzz corpus replays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <unistd.h>

#include "TestFiles.h"
#include "assets/TgaImage.h"

namespace
{
using testfiles::Bytes;
using testfiles::Concat;

// Letter 'A' + k stands for a pixel whose three channels all differ, so a
// red/blue exchange changes its bytes.
Bytes RgbOf(char letter)
{
    unsigned char k = static_cast<unsigned char>(letter - 'A');
    return {static_cast<unsigned char>(0x10 + k), static_cast<unsigned char>(0x80 + k),
            static_cast<unsigned char>(0xE0 - k)};
}

std::string Repeat(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

void PutBgr(Bytes& out, char letter)
{
    Bytes rgb = RgbOf(letter);
    out.insert(out.end(), {rgb[2], rgb[1], rgb[0]});
}

// Expected packets in a compact notation: "+3A" is a run packet of three A,
// "-BC" a raw packet of B and C; packets separated by spaces.
Bytes PacketBytes(const std::string& notation)
{
    Bytes out;
    for (size_t at = 0; at < notation.size();)
    {
        size_t end = std::min(notation.find(' ', at), notation.size());
        std::string packet = notation.substr(at, end - at);
        if (packet[0] == '+')
        {
            out.push_back(static_cast<unsigned char>(0x80 + std::atoi(packet.c_str() + 1) - 1));
            PutBgr(out, packet.back());
        }
        else
        {
            out.push_back(static_cast<unsigned char>(packet.size() - 2));
            for (size_t i = 1; i < packet.size(); ++i)
                PutBgr(out, packet[i]);
        }
        at = end + 1;
    }
    return out;
}

void FillFromLetters(CTgaImage& image, uint16_t width, uint16_t height, const std::string& letters)
{
    ASSERT_EQ(letters.size(), size_t(width) * height);
    ASSERT_TRUE(image.Allocate(width, height, 24));
    for (size_t i = 0; i < letters.size(); ++i)
    {
        Bytes rgb = RgbOf(letters[i]);
        std::copy(rgb.begin(), rgb.end(), image.data + 3 * i);
    }
}

Bytes TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t bits, uint8_t idLength = 0,
                uint8_t descriptor = 0)
{
    Bytes header(18, 0);
    header[0] = idLength;
    header[17] = descriptor;
    header[2] = type;
    header[12] = width & 0xFF;
    header[13] = width >> 8;
    header[14] = height & 0xFF;
    header[15] = height >> 8;
    header[16] = bits;
    return header;
}

bool ReadFromBytes(const Bytes& bytes, CTgaImage* image)
{
    return testfiles::ReadFromBytes(bytes,
                                    [&](std::FILE* f) { return CTgaImage::TgaImageRead(f, image); });
}

Bytes Pixels(const CTgaImage& image, size_t count) { return Bytes(image.data, image.data + count); }

class TgaImageTest : public ::testing::Test
{
protected:
    Bytes SaveToBytes(CTgaImage& image, bool rle)
    {
        std::string path = tmp.Path("saved.tga");
        EXPECT_TRUE(CTgaImage::TgaImageSave(path.c_str(), &image, rle));
        std::string text = testfiles::ReadText(path);
        return Bytes(text.begin(), text.end());
    }

    testfiles::TempDir tmp;
};

TEST_F(TgaImageTest, RunLengthPacketsMatchTheFormatByteForByte)
{
    struct Case
    {
        const char* name;
        uint16_t width, height;
        std::string pixels, packets;
    };
    const std::string alternating128 = Repeat("AB", 64);
    const Case cases[] = {
        {"single pixel: a 22-byte file", 1, 1, "A", "-A"},
        {"run then raw pair", 5, 1, "AAABC", "+3A -BC"},
        {"130 equal", 130, 1, Repeat("A", 130), "+128A +2A"},
        {"300 distinct neighbours", 300, 1, Repeat("AB", 150),
         "-" + alternating128 + " -" + alternating128 + " -" + Repeat("AB", 22)},
        {"run of exactly 128", 129, 1, Repeat("A", 128) + "B", "+128A -B"},
        {"run of 129 leaves one", 129, 1, Repeat("A", 129), "+128A -A"},
        {"run crosses a row end", 2, 2, "BBBC", "+3B -C"},
        {"equal pixel closes a raw packet", 4, 1, "ABBB", "-AB +2B"},
        {"pair split between raw packets", 4, 1, "ABBA", "-AB -BA"},
        {"alternating pixels", 3, 2, "ABABAB", "-ABABAB"},
        {"raw packet full at the equal pixel", 129, 1, Repeat("AB", 63) + "ABB",
         "-" + alternating128 + " -B"},
        {"equal pair at the very end", 3, 1, "ABB", "-AB -B"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CTgaImage image;
        FillFromLetters(image, c.width, c.height, c.pixels);
        EXPECT_EQ(SaveToBytes(image, true),
                  Concat(TgaHeader(10, c.width, c.height, 24), PacketBytes(c.packets)));
    }
}

TEST_F(TgaImageTest, UncompressedFileIsHeaderThenBlueGreenRedInBufferOrder)
{
    const std::string letters = "ABCDEFGHIJKLMNO";
    CTgaImage image;
    FillFromLetters(image, 3, 5, letters);
    Bytes expected = TgaHeader(2, 3, 5, 24);
    for (char letter : letters)
        PutBgr(expected, letter);
    EXPECT_EQ(SaveToBytes(image, false), expected);
}

// A red "F" on blue, 7 × 9: no symmetry, so a flip or a channel exchange
// changes the picture. Other sizes get a four-colour pattern that gives
// both runs and raw stretches.
void DrawPicture(CTgaImage& image, uint16_t width, uint16_t height)
{
    static const char* f[9] = {".......", ".#####.", ".#.....", ".#.....", ".####..",
                               ".#.....", ".#.....", ".#.....", "......."};
    ASSERT_TRUE(image.Allocate(width, height, 24));
    for (size_t i = 0; i < size_t(width) * height; ++i)
    {
        unsigned char* p = image.data + 3 * i;
        unsigned colour = width == 7 ? (f[i / 7][i % 7] == '#') : (i * i / 7 + i / 3) % 4;
        p[0] = static_cast<unsigned char>(10 + colour * 70);
        p[1] = static_cast<unsigned char>(255 - colour * 50);
        p[2] = static_cast<unsigned char>(colour == 2 ? 7 : 200 - colour);
    }
}

TEST_F(TgaImageTest, SavedImagesLoadBackUnchangedAndCallerBufferIsKept)
{
    const uint16_t sizes[][2] = {{7, 9}, {3, 5}, {301, 2}, {1, 1}, {1, 300}};
    for (const auto& size : sizes)
        for (bool rle : {false, true})
        {
            SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]) +
                         (rle ? " rle" : " raw"));
            CTgaImage image;
            DrawPicture(image, size[0], size[1]);
            const size_t bytes = size_t(size[0]) * size[1] * 3;
            const Bytes before = Pixels(image, bytes);
            std::string path = tmp.Path("round.tga");
            ASSERT_TRUE(CTgaImage::TgaImageSave(path.c_str(), &image, rle));
            EXPECT_EQ(Pixels(image, bytes), before);

            CTgaImage loaded;
            ASSERT_TRUE(CTgaImage::TgaImageLoad(path.c_str(), &loaded));
            EXPECT_EQ(loaded.width, size[0]);
            EXPECT_EQ(loaded.height, size[1]);
            EXPECT_EQ(loaded.bitsPerPixel, 24);
            EXPECT_EQ(Pixels(loaded, bytes), before);
        }
    EXPECT_TRUE(tmp.Messages().empty());
}

TEST_F(TgaImageTest, EachSaveRefusalIsLoggedAndWritesNoFile)
{
    const std::string path = tmp.Path("refused.tga");
    CTgaImage rgba;
    ASSERT_TRUE(rgba.Allocate(2, 2, 32));
    EXPECT_FALSE(CTgaImage::TgaImageSave(path.c_str(), &rgba, true));
    EXPECT_FALSE(CTgaImage::TgaImageSave(path.c_str(), nullptr, false));
    EXPECT_FALSE(CTgaImage::TgaImageLoad(path.c_str(), nullptr));
    CTgaImage noPixels;
    noPixels.width = noPixels.height = 4;
    noPixels.bitsPerPixel = 24;
    EXPECT_FALSE(CTgaImage::TgaImageSave(path.c_str(), &noPixels, true));
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    const std::vector<std::string> messages = tmp.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], "CTgaImage::TgaImageSave -- Uniquement 24 bits par pixel support\xE9");
    EXPECT_EQ(messages[1], "CTgaImage::TgaImageSave -- Erreur ! Le pointeur _ctiImage est NULL !");
    EXPECT_EQ(messages[2], "CTgaImage::TgaImageLoad -- Erreur ! Le pointeur _ctiImage est NULL !");
}

TEST_F(TgaImageTest, WriteFailureIsReportedAsFailure)
{
    CTgaImage image;
    DrawPicture(image, 64, 64);
    EXPECT_FALSE(CTgaImage::TgaImageSave("/dev/full", &image, false));
    EXPECT_FALSE(CTgaImage::TgaImageSave("/dev/full", &image, true));
    EXPECT_FALSE(CTgaImage::TgaImageSave(tmp.Path("no/such/dir.tga").c_str(), &image, true));
}

TEST_F(TgaImageTest, ReaderDecodesEveryAcceptedLayout)
{
    struct Case
    {
        const char* name;
        Bytes header, body, expected;  // expected: the image's bytes, R G B (A)
    };
    const Bytes zeros12(12, 0);
    const Case cases[] = {
        {"32 bits become R G B A", TgaHeader(2, 2, 1, 32), {1, 2, 3, 4, 5, 6, 7, 8},
         {3, 2, 1, 4, 7, 6, 5, 8}},
        {"image id skipped", TgaHeader(2, 1, 1, 24, 5), {'h', 'e', 'l', 'l', 'o', 9, 8, 7}, {7, 8, 9}},
        {"run of four, raw of two", TgaHeader(10, 3, 2, 24),
         {0x83, 3, 2, 1, 0x01, 6, 5, 4, 9, 8, 7},
         {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"run past the image is cut", TgaHeader(10, 2, 1, 24), {0xFF, 3, 2, 1}, {1, 2, 3, 1, 2, 3}},
        {"raw past the image is cut", TgaHeader(10, 1, 2, 32),
         {0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9}, {3, 2, 1, 4, 7, 6, 5, 8}},
        // Files shorter than their header promises load with zeros.
        {"raw cut in a pixel", TgaHeader(2, 2, 2, 24), {3, 2, 1, 6, 5},
         {1, 2, 3, 0, 5, 6, 0, 0, 0, 0, 0, 0}},
        {"raw without pixels", TgaHeader(2, 2, 2, 24), {}, zeros12},
        {"rle ends between packets", TgaHeader(10, 2, 2, 24), {0x81, 3, 2, 1},
         {1, 2, 3, 1, 2, 3, 0, 0, 0, 0, 0, 0}},
        {"rle run cut in its pixel", TgaHeader(10, 2, 2, 24), {0x83, 3, 2},
         {0, 2, 3, 0, 2, 3, 0, 2, 3, 0, 2, 3}},
        {"rle raw packet cut", TgaHeader(10, 2, 2, 24), {0x03, 3, 2, 1, 6},
         {1, 2, 3, 0, 0, 6, 0, 0, 0, 0, 0, 0}},
        // Descriptor bit 5, the first row at the top (ImageMagick's
        // -orient TopLeft, ffmpeg's run-length files): rows turned over.
        {"top-left origin", TgaHeader(2, 1, 3, 24, 0, 0x20), {3, 2, 1, 6, 5, 4, 9, 8, 7},
         {7, 8, 9, 4, 5, 6, 1, 2, 3}},
        {"top-left origin, rle", TgaHeader(10, 2, 2, 24, 0, 0x28), {0x81, 3, 2, 1, 0x81, 6, 5, 4},
         {4, 5, 6, 4, 5, 6, 1, 2, 3, 1, 2, 3}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CTgaImage image;
        ASSERT_TRUE(ReadFromBytes(Concat(c.header, c.body), &image));
        EXPECT_EQ(image.bitsPerPixel, c.header[16]);
        EXPECT_EQ(Pixels(image, c.expected.size()), c.expected);
    }
}

TEST_F(TgaImageTest, UnsupportedOrDamagedHeadersAreRefusedWithOneLineEach)
{
    // Enough pixel bytes after a complete header that only the header can
    // be the reason for a refusal.
    const Bytes pixels(64, 0x55);
    Bytes cutHeader = TgaHeader(2, 4, 4, 24);
    cutHeader.resize(15);
    const std::pair<const char*, Bytes> cases[] = {
        {"colour-mapped", Concat(TgaHeader(1, 1, 1, 24), pixels)},
        {"grey", Concat(TgaHeader(3, 1, 1, 24), pixels)},
        {"run-length grey", Concat(TgaHeader(11, 1, 1, 24), pixels)},
        {"16 bits", Concat(TgaHeader(2, 1, 1, 16), pixels)},
        {"8 bits rle", Concat(TgaHeader(10, 1, 1, 8), pixels)},
        {"header cut short", cutHeader},
        {"image id cut short", Concat(TgaHeader(2, 1, 1, 24, 10), {1, 2, 3})},
        {"empty file", {}},
        {"two bytes", {0, 0}},
    };
    for (const auto& [name, file] : cases)
    {
        SCOPED_TRACE(name);
        CTgaImage image;
        EXPECT_FALSE(ReadFromBytes(file, &image));
        EXPECT_EQ(image.data, nullptr);
        EXPECT_EQ(image.width, 0xFFFF);
        EXPECT_EQ(image.bitsPerPixel, 255);
    }
    CTgaImage image;
    EXPECT_FALSE(CTgaImage::TgaImageLoad(tmp.Path("missing.tga").c_str(), &image));
    EXPECT_EQ(tmp.Messages().size(), std::size(cases) + 1);
}

TEST_F(TgaImageTest, HugeHeaderIsRefusedBeforeAnyAllocation)
{
    // 65535² at 32 bits would be 16 GiB; 8193² is just over 64 megapixels.
    for (uint16_t side : {uint16_t(65535), uint16_t(8193)})
    {
        CTgaImage image;
        EXPECT_FALSE(ReadFromBytes(TgaHeader(2, side, side, 32), &image)) << side;
        EXPECT_EQ(image.data, nullptr);
    }
    const std::vector<std::string> messages = tmp.Messages();
    ASSERT_EQ(messages.size(), 2u);
    for (const std::string& message : messages)
        EXPECT_EQ(message.rfind("CTgaImage::TgaImageLoad -- Image trop grande", 0), 0u) << message;
}

TEST_F(TgaImageTest, EmptyImageLoadsAndUnloadingTwiceIsReported)
{
    CTgaImage image;
    ASSERT_TRUE(ReadFromBytes(TgaHeader(2, 0, 5, 24), &image));
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 5);
    EXPECT_NE(image.data, nullptr);
    image.cvUnloadImage();
    EXPECT_EQ(image.data, nullptr);
    EXPECT_TRUE(tmp.Messages().empty());
    image.cvUnloadImage();
    EXPECT_EQ(tmp.Messages(), std::vector<std::string>{"CTgaImage::cvUnloadImage -- On essaie de d\xE9"
                                                       "charger une image inexistante."});
}

// The shipped textures must load as power-of-two 24-bit images, the only
// kind an OpenGL 1.1 implementation is sure to accept.
TEST_F(TgaImageTest, ShippedTexturesLoad)
{
    for (const char* name : {"water.tga", "bottom.tga"})
    {
        CTgaImage image;
        std::string path = std::string(RIPPLEX_SOURCE_DIR) + "/default/" + name;
        ASSERT_TRUE(CTgaImage::TgaImageLoad(path.c_str(), &image)) << name;
        EXPECT_EQ(image.bitsPerPixel, 24);
        EXPECT_EQ(image.width, 256);
        EXPECT_EQ(image.height, 256);
    }
}
}  // namespace
