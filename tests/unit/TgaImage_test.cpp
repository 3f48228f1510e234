// TGA images: the writer's packets byte for byte, round trips through the
// writer and the reader, and the reader's answers to damaged files.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/Log.h"
#include "assets/TgaImage.h"

namespace
{

using Bytes = std::vector<unsigned char>;

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

// Expected packet bytes from a compact notation: "+3A" is a run packet of
// three A, "-BC" a raw packet of B and C; packets separated by spaces.
Bytes PacketBytes(const std::string& notation)
{
    Bytes out;
    size_t at = 0;
    while (at < notation.size())
    {
        size_t end = notation.find(' ', at);
        if (end == std::string::npos)
            end = notation.size();
        std::string packet = notation.substr(at, end - at);
        if (packet[0] == '+')
        {
            int count = std::atoi(packet.c_str() + 1);
            Bytes rgb = RgbOf(packet.back());
            out.insert(out.end(), {static_cast<unsigned char>(0x80 + count - 1), rgb[2], rgb[1], rgb[0]});
        }
        else
        {
            out.push_back(static_cast<unsigned char>(packet.size() - 2));
            for (size_t i = 1; i < packet.size(); ++i)
            {
                Bytes rgb = RgbOf(packet[i]);
                out.insert(out.end(), {rgb[2], rgb[1], rgb[0]});
            }
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

Bytes ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t bits, uint8_t idLength = 0)
{
    Bytes header(18, 0);
    header[0] = idLength;
    header[2] = type;
    header[12] = width & 0xFF;
    header[13] = width >> 8;
    header[14] = height & 0xFF;
    header[15] = height >> 8;
    header[16] = bits;
    return header;
}

// Reads an in-memory file through the same path as a file on disk.
bool ReadFromBytes(const Bytes& bytes, CTgaImage* image)
{
    Bytes copy = bytes;
    copy.push_back(0);  // fmemopen refuses a zero-sized buffer
    std::FILE* file = fmemopen(copy.data(), bytes.size(), "rb");
    if (file == nullptr)
        return false;
    bool loaded = CTgaImage::TgaImageRead(file, image);
    std::fclose(file);
    return loaded;
}

class TgaImageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ripplex-tga-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        ASSERT_TRUE(CLog::Open(0, Path("error.log").c_str()));
    }

    void TearDown() override
    {
        CLog::Close(0);
        std::string command = "rm -rf '" + m_dir + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    // Messages of the log, without their time prefix.
    std::vector<std::string> LoggedMessages() const
    {
        std::ifstream in(Path("error.log"), std::ios::binary);
        std::vector<std::string> messages;
        std::string line;
        while (std::getline(in, line))
        {
            size_t dash = line.find(" - ");
            messages.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
        }
        return messages;
    }

    Bytes SaveToBytes(CTgaImage& image, bool rle)
    {
        std::string path = Path("saved.tga");
        EXPECT_TRUE(CTgaImage::TgaImageSave(path.c_str(), &image, rle));
        return ReadWholeFile(path);
    }

    std::string m_dir;
};

TEST_F(TgaImageTest, NewImageHasNoSizeNoDepthAndNoBuffer)
{
    CTgaImage image;
    EXPECT_EQ(image.width, 0xFFFF);
    EXPECT_EQ(image.height, 0xFFFF);
    EXPECT_EQ(image.bitsPerPixel, 255);
    EXPECT_EQ(image.data, nullptr);
}

struct PacketCase
{
    const char* name;
    uint16_t width;
    uint16_t height;
    std::string pixels;
    std::string packets;
};

TEST_F(TgaImageTest, RunLengthPacketsMatchTheFormatByteForByte)
{
    const std::string alternating128 = Repeat("AB", 64);
    const PacketCase cases[] = {
        {"single pixel", 1, 1, "A", "-A"},
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
    for (const PacketCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        CTgaImage image;
        FillFromLetters(image, c.width, c.height, c.pixels);
        Bytes file = SaveToBytes(image, true);
        Bytes expected = TgaHeader(10, c.width, c.height, 24);
        Bytes packets = PacketBytes(c.packets);
        expected.insert(expected.end(), packets.begin(), packets.end());
        EXPECT_EQ(file, expected);
    }
}

TEST_F(TgaImageTest, SinglePixelRunLengthFileIs22Bytes)
{
    CTgaImage image;
    FillFromLetters(image, 1, 1, "C");
    Bytes file = SaveToBytes(image, true);
    ASSERT_EQ(file.size(), 22u);
    Bytes rgb = RgbOf('C');
    EXPECT_EQ(file[18], 0x00);
    EXPECT_EQ(file[19], rgb[2]);
    EXPECT_EQ(file[21], rgb[0]);
}

TEST_F(TgaImageTest, UncompressedFileIsHeaderThenBlueGreenRed)
{
    CTgaImage image;
    FillFromLetters(image, 3, 5, "ABCDEFGHIJKLMNO");
    Bytes file = SaveToBytes(image, false);
    ASSERT_EQ(file.size(), 18u + 3 * 5 * 3);
    Bytes header(file.begin(), file.begin() + 18);
    EXPECT_EQ(header, TgaHeader(2, 3, 5, 24));
    for (size_t i = 0; i < 15; ++i)
    {
        EXPECT_EQ(file[18 + 3 * i], image.data[3 * i + 2]);
        EXPECT_EQ(file[18 + 3 * i + 1], image.data[3 * i + 1]);
        EXPECT_EQ(file[18 + 3 * i + 2], image.data[3 * i]);
    }
}

// A red "F" on blue, 7 × 9: no symmetry, so a flip or a channel exchange
// changes the picture.
void DrawRedFOnBlue(CTgaImage& image)
{
    static const char* rows[9] = {
        ".......", ".#####.", ".#.....", ".#.....", ".####..",
        ".#.....", ".#.....", ".#.....", ".......",
    };
    ASSERT_TRUE(image.Allocate(7, 9, 24));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 7; ++x)
        {
            unsigned char* p = image.data + 3 * (y * 7 + x);
            bool ink = rows[y][x] == '#';
            p[0] = ink ? 220 : 10;
            p[1] = ink ? 30 : 40;
            p[2] = ink ? 20 : 200;
        }
}

void FillWithPaletteNoise(CTgaImage& image, uint16_t width, uint16_t height, unsigned seed)
{
    ASSERT_TRUE(image.Allocate(width, height, 24));
    std::mt19937 random(seed);
    // A small palette gives both runs and raw stretches.
    for (size_t i = 0; i < size_t(width) * height; ++i)
    {
        unsigned colour = random() % 4;
        image.data[3 * i] = static_cast<unsigned char>(colour * 60);
        image.data[3 * i + 1] = static_cast<unsigned char>(255 - colour * 50);
        image.data[3 * i + 2] = static_cast<unsigned char>(colour == 2 ? 7 : 99);
    }
}

TEST_F(TgaImageTest, SavedImagesLoadBackUnchangedAndCallerBufferIsKept)
{
    struct Picture
    {
        const char* name;
        uint16_t width;
        uint16_t height;
    };
    const Picture pictures[] = {{"F", 7, 9}, {"3x5", 3, 5}, {"301x2", 301, 2}, {"1x1", 1, 1},
                                {"1x300", 1, 300}};
    for (const Picture& picture : pictures)
        for (bool rle : {false, true})
        {
            SCOPED_TRACE(std::string(picture.name) + (rle ? " rle" : " raw"));
            CTgaImage image;
            if (std::string(picture.name) == "F")
                DrawRedFOnBlue(image);
            else
                FillWithPaletteNoise(image, picture.width, picture.height, picture.width);
            size_t bytes = size_t(image.width) * image.height * 3;
            Bytes before(image.data, image.data + bytes);

            std::string path = Path("round.tga");
            ASSERT_TRUE(CTgaImage::TgaImageSave(path.c_str(), &image, rle));
            EXPECT_EQ(Bytes(image.data, image.data + bytes), before);

            CTgaImage loaded;
            ASSERT_TRUE(CTgaImage::TgaImageLoad(path.c_str(), &loaded));
            EXPECT_EQ(loaded.width, image.width);
            EXPECT_EQ(loaded.height, image.height);
            EXPECT_EQ(loaded.bitsPerPixel, 24);
            EXPECT_EQ(Bytes(loaded.data, loaded.data + bytes), before);
        }
    EXPECT_TRUE(LoggedMessages().empty());
}

TEST_F(TgaImageTest, FirstRowOfTheBufferIsTheFirstRowOfTheFile)
{
    CTgaImage image;
    DrawRedFOnBlue(image);
    Bytes file = SaveToBytes(image, false);
    // Row 1, column 1 is the top bar of the F: red ink, stored B, G, R.
    size_t offset = 18 + 3 * (1 * 7 + 1);
    EXPECT_EQ(file[offset], 20);
    EXPECT_EQ(file[offset + 2], 220);
    // Row 7, column 5 is background.
    offset = 18 + 3 * (7 * 7 + 5);
    EXPECT_EQ(file[offset], 200);
}

TEST_F(TgaImageTest, SavingAnythingButTwentyFourBitsIsRefusedWithoutFile)
{
    CTgaImage image;
    ASSERT_TRUE(image.Allocate(2, 2, 32));
    std::string path = Path("rgba.tga");
    EXPECT_FALSE(CTgaImage::TgaImageSave(path.c_str(), &image, true));
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    EXPECT_EQ(LoggedMessages(), std::vector<std::string>{
                                    "CTgaImage::TgaImageSave -- Uniquement 24 bits par pixel support\xE9"});
}

TEST_F(TgaImageTest, NullImagesAreReportedByLoadAndSave)
{
    std::string path = Path("none.tga");
    EXPECT_FALSE(CTgaImage::TgaImageSave(path.c_str(), nullptr, false));
    EXPECT_FALSE(CTgaImage::TgaImageLoad(path.c_str(), nullptr));
    EXPECT_EQ(LoggedMessages(),
              (std::vector<std::string>{
                  "CTgaImage::TgaImageSave -- Erreur ! Le pointeur _ctiImage est NULL !",
                  "CTgaImage::TgaImageLoad -- Erreur ! Le pointeur _ctiImage est NULL !"}));
}

TEST_F(TgaImageTest, WriteFailureIsReportedAsFailure)
{
    CTgaImage image;
    FillWithPaletteNoise(image, 64, 64, 3);
    EXPECT_FALSE(CTgaImage::TgaImageSave("/dev/full", &image, false));
    EXPECT_FALSE(CTgaImage::TgaImageSave("/dev/full", &image, true));
    EXPECT_FALSE(CTgaImage::TgaImageSave(Path("no/such/dir.tga").c_str(), &image, true));
}

TEST_F(TgaImageTest, ThirtyTwoBitFileLoadsAsRedGreenBlueAlpha)
{
    Bytes file = TgaHeader(2, 2, 1, 32);
    file.insert(file.end(), {1, 2, 3, 4, 5, 6, 7, 8});  // B, G, R, A twice
    CTgaImage image;
    ASSERT_TRUE(ReadFromBytes(file, &image));
    EXPECT_EQ(image.bitsPerPixel, 32);
    EXPECT_EQ(Bytes(image.data, image.data + 8), (Bytes{3, 2, 1, 4, 7, 6, 5, 8}));
}

TEST_F(TgaImageTest, ImageIdIsSkipped)
{
    Bytes file = TgaHeader(2, 1, 1, 24, 5);
    file.insert(file.end(), {'h', 'e', 'l', 'l', 'o', 9, 8, 7});
    CTgaImage image;
    ASSERT_TRUE(ReadFromBytes(file, &image));
    EXPECT_EQ(Bytes(image.data, image.data + 3), (Bytes{7, 8, 9}));
}

TEST_F(TgaImageTest, RunLengthFileIsDecoded)
{
    Bytes file = TgaHeader(10, 3, 2, 24);
    // Run of four (1, 2, 3), raw of two; B, G, R in the file.
    file.insert(file.end(), {0x83, 3, 2, 1, 0x01, 6, 5, 4, 9, 8, 7});
    CTgaImage image;
    ASSERT_TRUE(ReadFromBytes(file, &image));
    EXPECT_EQ(Bytes(image.data, image.data + 18),
              (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(TgaImageTest, PacketsRunningPastTheImageAreCut)
{
    CTgaImage run;
    Bytes runFile = TgaHeader(10, 2, 1, 24);
    runFile.insert(runFile.end(), {0xFF, 3, 2, 1});  // 128 pixels for an image of 2
    ASSERT_TRUE(ReadFromBytes(runFile, &run));
    EXPECT_EQ(Bytes(run.data, run.data + 6), (Bytes{1, 2, 3, 1, 2, 3}));

    CTgaImage raw;
    Bytes rawFile = TgaHeader(10, 1, 2, 32);
    rawFile.insert(rawFile.end(), {0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9});
    ASSERT_TRUE(ReadFromBytes(rawFile, &raw));
    EXPECT_EQ(Bytes(raw.data, raw.data + 8), (Bytes{3, 2, 1, 4, 7, 6, 5, 8}));
}

TEST_F(TgaImageTest, FileShorterThanItsHeaderPromisesLoadsWithZeros)
{
    struct ShortCase
    {
        const char* name;
        uint8_t type;
        Bytes pixels;
        Bytes expected;  // R, G, B of the 2 × 2 image
    };
    const ShortCase cases[] = {
        {"raw cut in a pixel", 2, {3, 2, 1, 6, 5}, {1, 2, 3, 0, 5, 6, 0, 0, 0, 0, 0, 0}},
        {"raw without pixels", 2, {}, Bytes(12, 0)},
        {"rle ends between packets", 10, {0x81, 3, 2, 1}, {1, 2, 3, 1, 2, 3, 0, 0, 0, 0, 0, 0}},
        {"rle run cut in its pixel", 10, {0x83, 3, 2}, {0, 2, 3, 0, 2, 3, 0, 2, 3, 0, 2, 3}},
        {"rle raw packet cut", 10, {0x03, 3, 2, 1, 6}, {1, 2, 3, 0, 0, 6, 0, 0, 0, 0, 0, 0}},
    };
    for (const ShortCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        Bytes file = TgaHeader(c.type, 2, 2, 24);
        file.insert(file.end(), c.pixels.begin(), c.pixels.end());
        CTgaImage image;
        ASSERT_TRUE(ReadFromBytes(file, &image));
        EXPECT_EQ(Bytes(image.data, image.data + 12), c.expected);
    }
}

TEST_F(TgaImageTest, UnsupportedOrDamagedHeadersAreRefusedQuietly)
{
    struct BadCase
    {
        const char* name;
        Bytes file;
    };
    // Enough pixel bytes after a complete header that only the header can
    // be the reason for a refusal.
    auto withPixels = [](Bytes header) {
        header.insert(header.end(), 64, 0x55);
        return header;
    };
    Bytes cutHeader = TgaHeader(2, 4, 4, 24);
    cutHeader.resize(15);
    Bytes cutId = TgaHeader(2, 1, 1, 24, 10);
    cutId.insert(cutId.end(), {1, 2, 3});
    const BadCase cases[] = {
        {"colour-mapped", withPixels(TgaHeader(1, 1, 1, 24))},
        {"grey", withPixels(TgaHeader(3, 1, 1, 24))},
        {"run-length grey", withPixels(TgaHeader(11, 1, 1, 24))},
        {"16 bits", withPixels(TgaHeader(2, 1, 1, 16))},
        {"8 bits rle", withPixels(TgaHeader(10, 1, 1, 8))},
        {"header cut short", cutHeader},
        {"image id cut short", cutId},
        {"empty file", {}},
        {"two bytes", {0, 0}},
    };
    for (const BadCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        CTgaImage image;
        EXPECT_FALSE(ReadFromBytes(c.file, &image));
        EXPECT_EQ(image.data, nullptr);
        EXPECT_EQ(image.width, 0xFFFF);
        EXPECT_EQ(image.bitsPerPixel, 255);
    }
    EXPECT_TRUE(LoggedMessages().empty());
}

TEST_F(TgaImageTest, MissingFileIsRefusedQuietly)
{
    CTgaImage image;
    EXPECT_FALSE(CTgaImage::TgaImageLoad(Path("missing.tga").c_str(), &image));
    EXPECT_TRUE(LoggedMessages().empty());
}

TEST_F(TgaImageTest, HugeHeaderIsRefusedBeforeAnyAllocation)
{
    // 65535 × 65535 at 32 bits would be 16 GiB; 8193 × 8193 is just over
    // the 64-megapixel limit.
    for (uint16_t side : {uint16_t(65535), uint16_t(8193)})
    {
        SCOPED_TRACE(side);
        Bytes file = TgaHeader(2, side, side, 32);
        CTgaImage image;
        EXPECT_FALSE(ReadFromBytes(file, &image));
        EXPECT_EQ(image.data, nullptr);
    }
    std::vector<std::string> messages = LoggedMessages();
    ASSERT_EQ(messages.size(), 2u);
    for (const std::string& message : messages)
        EXPECT_EQ(message.rfind("CTgaImage::TgaImageLoad -- Image trop grande", 0), 0u) << message;
}

TEST_F(TgaImageTest, EmptyImageLoadsWithAnEmptyBuffer)
{
    CTgaImage image;
    ASSERT_TRUE(ReadFromBytes(TgaHeader(2, 0, 5, 24), &image));
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 5);
    EXPECT_NE(image.data, nullptr);
    image.cvUnloadImage();
    EXPECT_TRUE(LoggedMessages().empty());
}

TEST_F(TgaImageTest, UnloadingTwiceReportsTheMissingImage)
{
    CTgaImage image;
    ASSERT_TRUE(image.Allocate(4, 4, 24));
    image.cvUnloadImage();
    EXPECT_EQ(image.data, nullptr);
    EXPECT_TRUE(LoggedMessages().empty());
    image.cvUnloadImage();
    EXPECT_EQ(LoggedMessages(),
              std::vector<std::string>{"CTgaImage::cvUnloadImage -- On essaie de d\xE9"
                                       "charger une image inexistante."});
}

TEST_F(TgaImageTest, SavingAnImageWithoutPixelsIsRefused)
{
    CTgaImage image;
    image.width = 4;
    image.height = 4;
    image.bitsPerPixel = 24;
    std::string path = Path("empty.tga");
    EXPECT_FALSE(CTgaImage::TgaImageSave(path.c_str(), &image, true));
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    ASSERT_EQ(LoggedMessages().size(), 1u);
}

// The shipped textures must load as power-of-two 24-bit images, the only
// kind an OpenGL 1.1 implementation is sure to accept.
TEST_F(TgaImageTest, ShippedTexturesLoad)
{
    for (const char* name : {"water.tga", "bottom.tga"})
    {
        SCOPED_TRACE(name);
        CTgaImage image;
        std::string path = std::string(RIPPLEX_SOURCE_DIR) + "/default/" + name;
        ASSERT_TRUE(CTgaImage::TgaImageLoad(path.c_str(), &image));
        EXPECT_EQ(image.bitsPerPixel, 24);
        EXPECT_EQ(image.width, 256);
        EXPECT_EQ(image.height, 256);
    }
}

}  // namespace

namespace
{

// Damaged copies of valid files (fixed seed): every read either fails and
// leaves the image without buffer, or succeeds with a buffer of exactly
// the size its header gives (the sanitizer build checks the accesses).
TEST_F(TgaImageTest, RandomlyDamagedFilesNeverOverrun)
{
    CTgaImage source;
    FillWithPaletteNoise(source, 13, 7, 5);
    Bytes raw = SaveToBytes(source, false);
    Bytes rle = SaveToBytes(source, true);
    std::mt19937 random(2024);
    for (int round = 0; round < 3000; ++round)
    {
        Bytes file = (round % 2) ? rle : raw;
        int damages = 1 + int(random() % 6);
        for (int d = 0; d < damages; ++d)
            file[random() % file.size()] = static_cast<unsigned char>(random());
        if (random() % 3 == 0)
            file.resize(random() % file.size());
        CTgaImage image;
        if (!ReadFromBytes(file, &image))
        {
            ASSERT_EQ(image.data, nullptr);
            continue;
        }
        ASSERT_TRUE(image.bitsPerPixel == 24 || image.bitsPerPixel == 32);
        size_t bytes = size_t(image.width) * image.height * image.bitsPerPixel / 8;
        ASSERT_LE(size_t(image.width) * image.height, size_t(64) << 20);
        // Touch every byte the image claims to have.
        unsigned sum = 0;
        for (size_t i = 0; i < bytes; ++i)
            sum += image.data[i];
        (void)sum;
    }
}

}  // namespace
