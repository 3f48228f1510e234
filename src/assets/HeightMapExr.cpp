// WriteHeightMapExr: the cell heights turned into image rows, encoded by
// OpenEXR into memory, then written as one block.
//
// The image is made in memory because OpenEXR writes its table of line
// offsets from the OutputFile's destructor and drops any error it meets
// there: a full disk would give a broken file reported as written. From
// memory, every byte goes through CExportFile, which sees every failure.

#include "assets/HeightMapExr.h"

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfDoubleAttribute.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfIO.h>
#include <OpenEXR/ImfOutputFile.h>
#include <OpenEXR/ImfVecAttribute.h>

#include <cmath>
#include <cstring>
#include <exception>
#include <vector>

#include "assets/ExportFile.h"
#include "sim/WaterBody.h"

namespace
{

// An OpenEXR output stream into a growing byte array. OpenEXR seeks back
// over what it wrote (the line offsets), so writes land at the position.
class MemoryStream : public Imf::OStream
{
public:
    MemoryStream() : Imf::OStream("memory") {}

    void write(const char c[], int n) override
    {
        if (position + size_t(n) > bytes.size())
            bytes.resize(position + size_t(n));
        std::memcpy(bytes.data() + position, c, size_t(n));
        position += size_t(n);
    }
    uint64_t tellp() override { return position; }
    void seekp(uint64_t to) override { position = size_t(to); }

    std::vector<char> bytes;

private:
    size_t position = 0;
};

// Image rows from the top: row r holds cell row H−1−r.
std::vector<float> ImageRows(const CWaterBody& body)
{
    const size_t w = body.iSimulationWidth, h = body.iSimulationHeight;
    std::vector<float> pixels(w * h);
    for (size_t r = 0; r < h; ++r)
        for (size_t x = 0; x < w; ++x)
            pixels[r * w + x] = body.CellHeight(x + (h - 1 - r) * w);
    return pixels;
}

}  // namespace

bool WriteHeightMapExr(const CWaterBody& body, CExportFile& file)
{
    const int w = int(body.iSimulationWidth), h = int(body.iSimulationHeight);
    if (!body.HasCells() || w <= 0 || h <= 0)
    {
        file.Fail("no cells");
        return false;
    }
    const float dx = body.CellSizeX();
    const float dy = body.CellSizeY();
    const float aspect = dx / dy;
    try
    {
        const std::vector<float> pixels = ImageRows(body);
        Imf::Header header(w, h, std::isnormal(aspect) ? aspect : 1.0f);
        header.channels().insert("Y", Imf::Channel(Imf::FLOAT));
        header.insert("time", Imf::DoubleAttribute(body.dElapsedTime));
        header.insert("cellSize", Imf::V2fAttribute(Imath::V2f(dx, dy)));

        Imf::FrameBuffer frame;
        frame.insert("Y", Imf::Slice(Imf::FLOAT, (char*)pixels.data(), sizeof(float),
                                     sizeof(float) * size_t(w)));
        MemoryStream stream;
        {
            Imf::OutputFile image(stream, header);
            image.setFrameBuffer(frame);
            image.writePixels(h);
        }  // the destructor writes the line offsets
        file.Bytes(stream.bytes.data(), stream.bytes.size());
    }
    catch (const std::exception& e)
    {
        file.Fail(e.what());
    }
    return !file.Failed();
}
