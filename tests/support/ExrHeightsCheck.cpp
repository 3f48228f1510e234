// ripplex_exr_check IMAGE.exr DUMP: reads a height map with the OpenEXR
// library and compares it, bit for bit, with the raw heights dump of the
// same moment, turned as the writer says (image row r is cell row H−1−r).
// Prints "W H time dx dy" from the header. Status 0 when they are equal,
// 1 when they differ or the image lacks its one float channel "Y" or its
// attributes.
#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfDoubleAttribute.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <OpenEXR/ImfVecAttribute.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <vector>

static int Fail(const char* why)
{
    std::fprintf(stderr, "ripplex_exr_check: %s\n", why);
    return 1;
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return Fail("usage: ripplex_exr_check IMAGE.exr DUMP");
    try
    {
        Imf::InputFile image(argv[1]);
        const Imf::Header& header = image.header();
        const Imath::Box2i window = header.dataWindow();
        const int w = window.max.x - window.min.x + 1, h = window.max.y - window.min.y + 1;
        const auto* time = header.findTypedAttribute<Imf::DoubleAttribute>("time");
        const auto* cell = header.findTypedAttribute<Imf::V2fAttribute>("cellSize");
        const Imf::Channel* y = header.channels().findChannel("Y");
        if (!time || !cell || !y || y->type != Imf::FLOAT ||
            ++header.channels().begin() != header.channels().end())
            return Fail("not one float channel Y with time and cellSize");

        std::vector<float> pixels(size_t(w) * h);
        Imf::FrameBuffer frame;
        char* origin = (char*)pixels.data() - (window.min.x + size_t(window.min.y) * w) * 4;
        frame.insert("Y", Imf::Slice(Imf::FLOAT, origin, 4, size_t(w) * 4));
        image.setFrameBuffer(frame);
        image.readPixels(window.min.y, window.max.y);

        std::ifstream file(argv[2], std::ios::binary);
        std::vector<char> dump{std::istreambuf_iterator<char>(file), {}};
        if (dump.size() != pixels.size() * 4)
            return Fail("the dump is not W*H floats");
        for (int r = 0; r < h; ++r)
            for (int x = 0; x < w; ++x)
                if (std::memcmp(&pixels[size_t(r) * w + x], &dump[(x + size_t(h - 1 - r) * w) * 4], 4))
                    return Fail("a pixel differs from its cell");
        std::printf("%d %d %.9g %.9g %.9g\n", w, h, time->value(), double(cell->value().x),
                    double(cell->value().y));
    }
    catch (const std::exception& e)
    {
        return Fail(e.what());
    }
    return 0;
}
