// TGA images: the writer's packets byte for byte, every layout the reader
// accepts (rows turned over included), and one table of the files it
// refuses or finds cut short with the exact line it logs. Random damage is
// left to the fuzz corpus replays.
#include <gtest/gtest.h>

#include <sstream>
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
// red/blue exchange changes its bytes; in the file it is blue, green, red.
Bytes Bgr(char letter)
{
    const auto k = static_cast<unsigned char>(letter - 'A');
    return {static_cast<unsigned char>(0xE0 - k), static_cast<unsigned char>(0x80 + k),
            static_cast<unsigned char>(0x10 + k)};
}

std::string Repeat(const std::string& text, int times)
{
    std::string out;
    while (times-- > 0)
        out += text;
    return out;
}

// Expected packets in a compact notation: "+3A" is a run packet of three A,
// "-BC" a raw packet of B and C; packets separated by spaces.
Bytes PacketBytes(const std::string& notation)
{
    Bytes out;
    std::istringstream packets(notation);
    for (std::string packet; packets >> packet;)
    {
        const bool run = packet[0] == '+';
        out.push_back(static_cast<unsigned char>(run ? 0x80 + std::stoi(packet.substr(1)) - 1 : packet.size() - 2));
        for (char letter : run ? packet.substr(packet.size() - 1) : packet.substr(1))
            out = Concat(out, Bgr(letter));
    }
    return out;
}

void FillFromLetters(CTgaImage& image, uint16_t width, uint16_t height, const std::string& letters)
{
    ASSERT_EQ(letters.size(), size_t(width) * height);
    ASSERT_TRUE(image.Allocate(width, height, 24));
    for (size_t i = 0; i < letters.size(); ++i)
        for (int c = 0; c < 3; ++c)
            image.data[3 * i + c] = Bgr(letters[i])[2 - c];
}

Bytes TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t bits, uint8_t idLength = 0,
                uint8_t descriptor = 0)
{
    Bytes header(18, 0);
    header[0] = idLength;
    header[2] = type;
    header[12] = width & 0xFF;
    header[13] = width >> 8;
    header[14] = height & 0xFF;
    header[15] = height >> 8;
    header[16] = bits;
    header[17] = descriptor;
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

TEST_F(TgaImageTest, PacketsAndRawPixelsMatchTheFormatByteForByte)
{
    struct Case
    {
        const char* name;
        uint16_t width, height;
        std::string pixels, packets;  // packets empty: the uncompressed file
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
        {"uncompressed: blue, green, red in buffer order", 3, 5, "ABCDEFGHIJKLMNO", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CTgaImage image;
        FillFromLetters(image, c.width, c.height, c.pixels);
        Bytes body;
        for (char letter : c.pixels)
            body = Concat(body, Bgr(letter));
        const bool rle = !c.packets.empty();
        EXPECT_EQ(SaveToBytes(image, rle), Concat(TgaHeader(rle ? 10 : 2, c.width, c.height, 24),
                                                  rle ? PacketBytes(c.packets) : body));
    }
}

TEST_F(TgaImageTest, SaveRefusalsAreLoggedAndWriteFailuresReported)
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
    EXPECT_EQ(tmp.Messages(),
              (std::vector<std::string>{
                  "CTgaImage::TgaImageSave -- Uniquement 24 bits par pixel support\xE9",
                  "CTgaImage::TgaImageSave -- Erreur ! Le pointeur _ctiImage est NULL !",
                  "CTgaImage::TgaImageLoad -- Erreur ! Le pointeur _ctiImage est NULL !",
                  "CTgaImage::TgaImageSave -- Erreur ! L'image n'a pas de pixels"}));
    CTgaImage image;
    FillFromLetters(image, 300, 1, Repeat("AAB", 100));
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

// One line each, naming the stream ("(flux)" when read from memory). A
// refused file leaves the image as it was; one cut short loads with zeros.
TEST_F(TgaImageTest, DamagedFilesAreRefusedOrReportedWithTheirLine)
{
    const Bytes pixels(64, 0x55);
    Bytes cutHeader = TgaHeader(2, 4, 4, 24);
    cutHeader.resize(15);
    const std::string load = "CTgaImage::TgaImageLoad -- ";
    const std::string unsupported = " non support\xE9" "e, seules les couleurs vraies de 24 ou 32 bits se lisent";
    const std::string tooShort = load + "Fichier (flux) trop court pour un en-t\xEAte TGA";
    const struct { const char* name; Bytes file; bool loads; std::string line; } cases[] = {
        {"colour-mapped", Concat(TgaHeader(1, 1, 1, 24), pixels), false,
         load + "Fichier (flux) : image \xE0 palette (type 1) de 24 bits par pixel" + unsupported},
        {"grey", Concat(TgaHeader(3, 1, 1, 8), pixels), false,
         load + "Fichier (flux) : image en niveaux de gris (type 3) de 8 bits par pixel" + unsupported},
        {"run-length grey", Concat(TgaHeader(11, 1, 1, 24), pixels), false,
         load + "Fichier (flux) : image en niveaux de gris (type 11) de 24 bits par pixel" + unsupported},
        {"16 bits", Concat(TgaHeader(2, 1, 1, 16), pixels), false,
         load + "Fichier (flux) : image en couleurs vraies (type 2) de 16 bits par pixel" + unsupported},
        {"40 bits", Concat(TgaHeader(10, 1, 1, 40), pixels), false,
         load + "Fichier (flux) : image en couleurs vraies (type 10) de 40 bits par pixel" + unsupported},
        {"unknown type", Concat(TgaHeader(7, 1, 1, 24), pixels), false,
         load + "Fichier (flux) : image de type inconnu (type 7) de 24 bits par pixel" + unsupported},
        {"header cut short", cutHeader, false, tooShort},
        {"image id cut short", Concat(TgaHeader(2, 1, 1, 24, 10), {1, 2, 3}), false, tooShort},
        {"empty file", {}, false, tooShort},
        // 65535² at 32 bits would be 16 GiB; 8193² is just over 64 megapixels.
        {"65535 x 65535", TgaHeader(2, 65535, 65535, 32), false,
         load + "Image trop grande (65535 x 65535) : (flux)"},
        {"8193 x 8193", TgaHeader(10, 8193, 8193, 24), false, load + "Image trop grande (8193 x 8193) : (flux)"},
        {"exactly 64 megapixels, no pixels", TgaHeader(2, 8192, 8192, 24), true,
         load + "Fichier (flux) tronqu\xE9 : les pixels manquants sont mis \xE0 z\xE9ro"},
        {"raw cut short", Concat(TgaHeader(2, 2, 2, 24), {1, 2, 3}), true,
         load + "Fichier (flux) tronqu\xE9 : les pixels manquants sont mis \xE0 z\xE9ro"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CTgaImage image;
        const size_t before = tmp.Messages().size();
        EXPECT_EQ(ReadFromBytes(c.file, &image), c.loads);
        EXPECT_EQ(image.data != nullptr, c.loads);
        EXPECT_EQ(image.width, c.loads ? c.file[12] + 256 * c.file[13] : 0xFFFF);
        const std::vector<std::string> messages = tmp.Messages();
        ASSERT_EQ(messages.size(), before + 1);
        EXPECT_EQ(messages.back(), c.line);
    }
    CTgaImage image;
    EXPECT_FALSE(CTgaImage::TgaImageLoad(tmp.Path("missing.tga").c_str(), &image));
    EXPECT_EQ(tmp.Messages().back(), load + "Impossible d'ouvrir le fichier " + tmp.Path("missing.tga"));
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
}  // namespace
