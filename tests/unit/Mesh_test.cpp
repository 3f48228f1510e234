// Basin-bottom mesh files: the header and array layout, the refusals that
// keep a damaged file from reaching the drawing, and the shipped mesh.
// Random damage is left to the fuzz corpus replays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "TestFiles.h"
#include "assets/3DSObject.h"

namespace
{
using testfiles::Bytes;
using testfiles::Concat;

void PutLittleEndian(Bytes& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

// Everything a mesh file holds, written out independently of the reader:
// counts high byte first, arrays little-endian whatever the machine.
struct MeshFile
{
    uint8_t headerLength = 7;
    uint8_t version = 21;
    uint16_t vertexCount = 3;
    uint16_t triangleCount = 1;
    uint8_t texFlag = 0;
    std::vector<float> vertices = {1.5f, -2.0f, 0.25f, 3, 4, 5, 6, 7, 8};
    std::vector<float> normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    std::vector<float> texCoords;
    std::vector<uint32_t> indices = {0, 1, 2};

    Bytes Encode() const
    {
        Bytes out = {headerLength, version, static_cast<unsigned char>(vertexCount >> 8),
                     static_cast<unsigned char>(vertexCount & 0xFF),
                     static_cast<unsigned char>(triangleCount >> 8),
                     static_cast<unsigned char>(triangleCount & 0xFF), texFlag};
        while (out.size() < headerLength)
            out.push_back(0xAB);
        for (const std::vector<float>* array : {&vertices, &normals, &texCoords})
            for (float v : *array)
            {
                uint32_t bits;
                std::memcpy(&bits, &v, 4);
                PutLittleEndian(out, bits);
            }
        for (uint32_t i : indices)
            PutLittleEndian(out, i);
        return out;
    }
};

bool ReadFromBytes(const Bytes& bytes, C3DSObject& mesh)
{
    return testfiles::ReadFromBytes(bytes, [&](std::FILE* f) { return mesh.ReadOBJ(f); });
}

// The same bytes through a pipe, which cannot tell its size in advance.
bool ReadThroughPipe(const Bytes& bytes, C3DSObject& mesh)
{
    int ends[2];
    if (pipe(ends) != 0)
        return false;
    bool written = write(ends[1], bytes.data(), bytes.size()) == ssize_t(bytes.size());
    close(ends[1]);
    std::FILE* file = fdopen(ends[0], "rb");
    bool loaded = written && file != nullptr && mesh.ReadOBJ(file);
    if (file != nullptr)
        std::fclose(file);
    return loaded;
}

void ExpectMeshIs(const C3DSObject& mesh, const MeshFile& file)
{
    EXPECT_EQ(mesh.vertexCount, file.vertexCount);
    EXPECT_EQ(mesh.triangleCount, file.triangleCount);
    EXPECT_EQ(mesh.hasTexCoords, file.texFlag != 0);
    EXPECT_EQ(mesh.vertices, file.vertices);
    EXPECT_EQ(mesh.normals, file.normals);
    EXPECT_EQ(mesh.texCoords, file.texCoords);
    EXPECT_EQ(mesh.indices, file.indices);
}

class MeshTest : public ::testing::Test
{
protected:
    testfiles::TempDir tmp;
};

TEST_F(MeshTest, AcceptedLayoutsReadExactly)
{
    std::vector<std::pair<const char*, MeshFile>> cases;
    cases.push_back({"one triangle, shortest header (7)", MeshFile()});
    for (uint8_t version : {uint8_t(12), uint8_t(21)})
    {
        MeshFile longer;
        longer.headerLength = 10;  // the extra header bytes are skipped
        longer.version = version;
        cases.push_back({version == 12 ? "header 10, version 12" : "header 10, version 21", longer});
    }
    MeshFile big;  // 256 and 258 only read right when the high byte comes first
    big.vertexCount = 256;
    big.triangleCount = 258;
    big.vertices.assign(3 * 256, 0.5f);
    big.normals.assign(3 * 256, 0.0f);
    big.indices.clear();
    for (uint32_t i = 0; i < 3 * 258; ++i)
        big.indices.push_back(i % 256);
    cases.push_back({"counts high byte first", big});
    MeshFile textured;
    textured.texFlag = 0x02;  // any value but 0 means present
    textured.texCoords = {0.0f, 0.0f, 4.0f, 0.0f, 0.0f, 4.0f};
    textured.indices = {2, 1, 0};
    cases.push_back({"texture coordinates follow the normals", textured});
    MeshFile empty;
    empty.vertexCount = empty.triangleCount = 0;
    empty.vertices.clear();
    empty.normals.clear();
    empty.indices.clear();
    cases.push_back({"empty mesh", empty});

    for (const auto& [name, file] : cases)
    {
        SCOPED_TRACE(name);
        C3DSObject mesh;
        ASSERT_TRUE(ReadFromBytes(file.Encode(), mesh));
        ExpectMeshIs(mesh, file);
    }
    C3DSObject mesh;
    ASSERT_TRUE(ReadFromBytes(Concat(MeshFile().Encode(), {1, 2, 3, 4, 5}), mesh)) << "trailing bytes";
    ExpectMeshIs(mesh, MeshFile());
    EXPECT_TRUE(tmp.Messages().empty());
}

TEST_F(MeshTest, WrongVersionIsReportedWithItsOwnLineBreak)
{
    MeshFile file;
    file.version = 13;
    C3DSObject mesh;
    EXPECT_FALSE(ReadFromBytes(file.Encode(), mesh));
    // The message brings its own line feed; the log adds none.
    const std::string text = testfiles::ReadText(tmp.Path("error.log"));
    const std::string expected = " - C3DSObject::LoadOBJ -- Mauvaise version de fichier !\n";
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
}

TEST_F(MeshTest, FileOnDiskLoadsAndMissingFileIsReported)
{
    const Bytes bytes = MeshFile().Encode();
    std::FILE* out = std::fopen(tmp.Path("one.obj").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    C3DSObject mesh;
    EXPECT_TRUE(mesh.LoadOBJ(tmp.Path("one.obj").c_str()));
    EXPECT_EQ(mesh.triangleCount, 1);
    EXPECT_FALSE(mesh.LoadOBJ(tmp.Path("missing.obj").c_str()));
    EXPECT_EQ(tmp.Messages(), (std::vector<std::string>{
                                  "C3DSObject::LoadOBJ -- Erreur \xE0 l'ouverture du fichier",
                                  "C3DSObject::LoadOBJ -- Impossible de charger le maillage " +
                                      tmp.Path("missing.obj")}));
}

TEST_F(MeshTest, DamagedFilesAreRefusedAndTheMeshKept)
{
    std::vector<std::pair<const char*, Bytes>> cases;
    MeshFile file;
    file.headerLength = 6;
    cases.push_back({"header length below 7", file.Encode()});
    cases.push_back({"empty file", {}});
    cases.push_back({"file ends inside the header", {10, 21, 0, 3, 0, 1, 0, 0}});
    Bytes cut = MeshFile().Encode();
    cut.pop_back();
    cases.push_back({"last index cut short", cut});
    cut.resize(7 + 30);
    cases.push_back({"file ends in the vertices", cut});
    file = MeshFile();
    file.texFlag = 1;  // says so, but no coordinates follow
    cases.push_back({"announced texture coordinates missing", file.Encode()});
    file = MeshFile();
    file.indices = {0, 1, 3};
    cases.push_back({"index equal to the vertex count", file.Encode()});
    file.indices = {0xFFFFFFFFu, 1, 2};
    cases.push_back({"index 0xFFFFFFFF", file.Encode()});
    file = MeshFile();
    file.vertexCount = file.triangleCount = 65535;
    file.texFlag = 1;
    cases.push_back({"counts far beyond the file", file.Encode()});

    const MeshFile good;
    for (const auto& [name, bytes] : cases)
        for (bool throughPipe : {false, true})
        {
            SCOPED_TRACE(std::string(name) + (throughPipe ? " (pipe)" : ""));
            C3DSObject mesh;
            ASSERT_TRUE(ReadFromBytes(good.Encode(), mesh));
            const size_t linesBefore = tmp.Messages().size();
            EXPECT_FALSE(throughPipe ? ReadThroughPipe(bytes, mesh) : ReadFromBytes(bytes, mesh));
            ExpectMeshIs(mesh, good);
            const std::vector<std::string> messages = tmp.Messages();
            ASSERT_EQ(messages.size(), linesBefore + 1);
            EXPECT_EQ(messages.back().rfind("C3DSObject::LoadOBJ -- ", 0), 0u) << messages.back();
        }
}

// The shipped bottom: a [-1, 1] square seen from above (front faces up,
// since back faces are culled), below the water (mesh z 0.5 is the surface)
// and lit by unit normals that agree with its own slopes.
TEST_F(MeshTest, ShippedBottomFacesUpAndStaysUnderTheWater)
{
    C3DSObject mesh;
    ASSERT_TRUE(mesh.LoadOBJ((std::string(RIPPLEX_SOURCE_DIR) + "/default/bottom.obj").c_str()));
    ASSERT_TRUE(mesh.hasTexCoords);
    ASSERT_GT(mesh.triangleCount, 100);

    float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
    for (int v = 0; v < mesh.vertexCount; ++v)
    {
        const float* p = &mesh.vertices[3 * v];
        minX = std::min(minX, p[0]);
        maxX = std::max(maxX, p[0]);
        minZ = std::min(minZ, p[2]);
        maxZ = std::max(maxZ, p[2]);
        const float* n = &mesh.normals[3 * v];
        EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 1e-5f);
    }
    EXPECT_EQ(minX, -1.0f);
    EXPECT_EQ(maxX, 1.0f);
    EXPECT_GE(minZ, 0.0f);
    EXPECT_LE(maxZ, 0.4f);

    // Sum of the face normals around each vertex, weighted by area.
    std::vector<double> faceSum(3 * mesh.vertexCount, 0.0);
    for (int t = 0; t < mesh.triangleCount; ++t)
    {
        const uint32_t* corner = &mesh.indices[3 * t];
        const float* p0 = &mesh.vertices[3 * corner[0]];
        const float* p1 = &mesh.vertices[3 * corner[1]];
        const float* p2 = &mesh.vertices[3 * corner[2]];
        double e1[3], e2[3];
        for (int k = 0; k < 3; ++k)
        {
            e1[k] = p1[k] - p0[k];
            e2[k] = p2[k] - p0[k];
        }
        const double cross[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                 e1[0] * e2[1] - e1[1] * e2[0]};
        ASSERT_GT(cross[2], 0.0) << "triangle " << t << " faces down";
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 3; ++c)
                faceSum[3 * corner[k] + c] += cross[c];
    }
    for (int v = 0; v < mesh.vertexCount; ++v)
    {
        const double* s = &faceSum[3 * v];
        const float* n = &mesh.normals[3 * v];
        const double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        EXPECT_GT((s[0] * n[0] + s[1] * n[1] + s[2] * n[2]) / length, 0.99) << "vertex " << v;
    }
}
}  // namespace
