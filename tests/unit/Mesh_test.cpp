// Basin-bottom mesh files: the header and array layout, the refusals that
// keep a damaged file from reaching the drawing, and the shipped mesh.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/Log.h"
#include "assets/3DSObject.h"
#include "common/GraphicsHooks.h"

namespace
{

using Bytes = std::vector<unsigned char>;

void PutLittleEndian(Bytes& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutFloat(Bytes& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutLittleEndian(out, bits);
}

// Everything a mesh file holds, written out independently of the reader.
struct MeshFile
{
    uint8_t headerLength = 7;
    uint8_t version = 21;
    uint16_t vertexCount = 3;
    uint16_t triangleCount = 1;
    uint8_t texFlag = 0;
    std::vector<float> vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
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
        for (float v : vertices)
            PutFloat(out, v);
        for (float v : normals)
            PutFloat(out, v);
        for (float v : texCoords)
            PutFloat(out, v);
        for (uint32_t i : indices)
            PutLittleEndian(out, i);
        return out;
    }
};

bool ReadFromBytes(const Bytes& bytes, C3DSObject& mesh)
{
    Bytes copy = bytes;
    copy.push_back(0);  // fmemopen refuses a zero-sized buffer
    std::FILE* file = fmemopen(copy.data(), bytes.size(), "rb");
    if (file == nullptr)
        return false;
    bool loaded = mesh.ReadOBJ(file);
    std::fclose(file);
    return loaded;
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

class MeshTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ripplex-mesh-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_logPath = m_dir + "/error.log";
        ASSERT_TRUE(CLog::Open(0, m_logPath.c_str()));
    }

    void TearDown() override
    {
        CLog::Close(0);
        std::remove(m_logPath.c_str());
        rmdir(m_dir.c_str());
    }

    std::vector<std::string> LoggedMessages() const
    {
        std::ifstream in(m_logPath, std::ios::binary);
        std::vector<std::string> messages;
        std::string line;
        while (std::getline(in, line))
        {
            size_t dash = line.find(" - ");
            messages.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
        }
        return messages;
    }

    std::string m_dir;
    std::string m_logPath;
};

TEST_F(MeshTest, OneTriangleWithTheShortestHeader)
{
    C3DSObject mesh;
    MeshFile file;
    file.vertices = {1.5f, -2.0f, 0.25f, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(ReadFromBytes(file.Encode(), mesh));
    EXPECT_EQ(mesh.vertexCount, 3);
    EXPECT_EQ(mesh.triangleCount, 1);
    EXPECT_FALSE(mesh.hasTexCoords);
    EXPECT_TRUE(mesh.texCoords.empty());
    EXPECT_EQ(mesh.vertices, file.vertices);
    EXPECT_EQ(mesh.normals, file.normals);
    EXPECT_EQ(mesh.indices, file.indices);
    EXPECT_TRUE(LoggedMessages().empty());
}

TEST_F(MeshTest, LongerHeaderIsSkippedAndBothVersionsRead)
{
    for (uint8_t version : {uint8_t(12), uint8_t(21)})
    {
        SCOPED_TRACE(int(version));
        C3DSObject mesh;
        MeshFile file;
        file.headerLength = 10;
        file.version = version;
        file.vertices = {9, 8, 7, 6, 5, 4, 3, 2, 1};
        ASSERT_TRUE(ReadFromBytes(file.Encode(), mesh));
        EXPECT_EQ(mesh.vertices, file.vertices);
        EXPECT_EQ(mesh.indices, file.indices);
    }
}

TEST_F(MeshTest, CountsAreHighByteFirst)
{
    MeshFile file;
    file.vertexCount = 256;
    file.triangleCount = 258;
    file.vertices.assign(3 * 256, 0.5f);
    file.normals.assign(3 * 256, 0.0f);
    file.indices.clear();
    for (uint32_t i = 0; i < 3 * 258; ++i)
        file.indices.push_back(i % 256);
    Bytes bytes = file.Encode();
    EXPECT_EQ(bytes[2], 0x01);
    EXPECT_EQ(bytes[3], 0x00);
    C3DSObject mesh;
    ASSERT_TRUE(ReadFromBytes(bytes, mesh));
    EXPECT_EQ(mesh.vertexCount, 256);
    EXPECT_EQ(mesh.triangleCount, 258);
    EXPECT_EQ(mesh.indices, file.indices);
}

TEST_F(MeshTest, TextureCoordinatesFollowTheNormals)
{
    MeshFile file;
    file.texFlag = 0x02;  // any value but 0 means present
    file.texCoords = {0.0f, 0.0f, 4.0f, 0.0f, 0.0f, 4.0f};
    file.indices = {2, 1, 0};
    C3DSObject mesh;
    ASSERT_TRUE(ReadFromBytes(file.Encode(), mesh));
    EXPECT_TRUE(mesh.hasTexCoords);
    EXPECT_EQ(mesh.texCoords, file.texCoords);
    EXPECT_EQ(mesh.indices, file.indices);
}

TEST_F(MeshTest, ArraysAreLittleEndianWhateverTheMachine)
{
    MeshFile file;
    Bytes bytes = file.Encode();
    // 1.0f is 0x3F800000: stored 00 00 80 3F. Vertex 1's x starts at 7 + 12.
    std::memcpy(&bytes[19], "\x00\x00\x80\x3F", 4);
    std::memcpy(&bytes[bytes.size() - 4], "\x01\x00\x00\x00", 4);
    C3DSObject mesh;
    ASSERT_TRUE(ReadFromBytes(bytes, mesh));
    EXPECT_EQ(mesh.vertices[3], 1.0f);
    EXPECT_EQ(mesh.indices[2], 1u);
}

TEST_F(MeshTest, EmptyMeshAndTrailingBytesAreAccepted)
{
    MeshFile empty;
    empty.vertexCount = 0;
    empty.triangleCount = 0;
    empty.vertices.clear();
    empty.normals.clear();
    empty.indices.clear();
    C3DSObject mesh;
    EXPECT_TRUE(ReadFromBytes(empty.Encode(), mesh));
    EXPECT_EQ(mesh.vertexCount, 0);

    Bytes trailing = MeshFile().Encode();
    trailing.insert(trailing.end(), {1, 2, 3, 4, 5});
    EXPECT_TRUE(ReadFromBytes(trailing, mesh));
    EXPECT_EQ(mesh.triangleCount, 1);
}

TEST_F(MeshTest, WrongVersionIsReportedWithItsLineBreak)
{
    MeshFile file;
    file.version = 13;
    C3DSObject mesh;
    EXPECT_FALSE(ReadFromBytes(file.Encode(), mesh));
    // The message brings its own line feed; the log adds none.
    std::ifstream in(m_logPath, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string expected = " - C3DSObject::LoadOBJ -- Mauvaise version de fichier !\n";
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
}

TEST_F(MeshTest, MissingFileIsReported)
{
    C3DSObject mesh;
    EXPECT_FALSE(mesh.LoadOBJ((m_dir + "/missing.obj").c_str()));
    EXPECT_EQ(LoggedMessages(), std::vector<std::string>{
                                    "C3DSObject::LoadOBJ -- Erreur \xE0 l'ouverture du fichier"});
}

TEST_F(MeshTest, FileOnDiskLoads)
{
    std::string path = m_dir + "/one.obj";
    Bytes bytes = MeshFile().Encode();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    C3DSObject mesh;
    EXPECT_TRUE(mesh.LoadOBJ(path.c_str()));
    EXPECT_EQ(mesh.triangleCount, 1);
    std::remove(path.c_str());
}

struct RefusedCase
{
    const char* name;
    Bytes file;
};

std::vector<RefusedCase> RefusedFiles()
{
    std::vector<RefusedCase> cases;
    MeshFile shortHeader;
    shortHeader.headerLength = 6;
    cases.push_back({"header length below 7", shortHeader.Encode()});
    cases.push_back({"empty file", {}});
    cases.push_back({"file ends inside the header", {10, 21, 0, 3, 0, 1, 0, 0}});
    Bytes cut = MeshFile().Encode();
    cut.pop_back();
    cases.push_back({"last index cut short", cut});
    Bytes noArrays = MeshFile().Encode();
    noArrays.resize(7 + 30);
    cases.push_back({"file ends in the vertices", noArrays});
    MeshFile missingTex;
    missingTex.texFlag = 1;  // says so, but no coordinates follow
    cases.push_back({"announced texture coordinates missing", missingTex.Encode()});
    MeshFile indexAtCount;
    indexAtCount.indices = {0, 1, 3};
    cases.push_back({"index equal to the vertex count", indexAtCount.Encode()});
    MeshFile indexAllOnes;
    indexAllOnes.indices = {0xFFFFFFFFu, 1, 2};
    cases.push_back({"index 0xFFFFFFFF", indexAllOnes.Encode()});
    MeshFile huge;
    huge.vertexCount = 65535;
    huge.triangleCount = 65535;
    huge.texFlag = 1;
    cases.push_back({"counts far beyond the file", huge.Encode()});
    return cases;
}

TEST_F(MeshTest, DamagedFilesAreRefusedAndTheMeshKept)
{
    MeshFile good;
    good.vertices = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (const RefusedCase& c : RefusedFiles())
        for (bool throughPipe : {false, true})
        {
            SCOPED_TRACE(std::string(c.name) + (throughPipe ? " (pipe)" : ""));
            C3DSObject mesh;
            ASSERT_TRUE(ReadFromBytes(good.Encode(), mesh));
            size_t linesBefore = LoggedMessages().size();

            bool loaded = throughPipe ? ReadThroughPipe(c.file, mesh) : ReadFromBytes(c.file, mesh);
            EXPECT_FALSE(loaded);
            EXPECT_EQ(mesh.vertices, good.vertices);
            EXPECT_EQ(mesh.indices, good.indices);
            EXPECT_EQ(mesh.vertexCount, 3);
            EXPECT_EQ(mesh.triangleCount, 1);
            EXPECT_FALSE(mesh.hasTexCoords);

            std::vector<std::string> messages = LoggedMessages();
            ASSERT_EQ(messages.size(), linesBefore + 1);
            EXPECT_EQ(messages.back().rfind("C3DSObject::LoadOBJ -- ", 0), 0u) << messages.back();
        }
}

const C3DSObject* g_drawnMesh = nullptr;
int g_drawCalls = 0;

void RecordDraw(const C3DSObject& mesh)
{
    g_drawnMesh = &mesh;
    ++g_drawCalls;
}

TEST_F(MeshTest, DrawGoesThroughTheGraphicsHookOnlyWhenInstalled)
{
    C3DSObject mesh;
    CGraphicsHooks saved = g_graphicsHooks;
    g_graphicsHooks.drawMesh = nullptr;
    g_drawCalls = 0;
    mesh.Draw();
    EXPECT_EQ(g_drawCalls, 0);
    g_graphicsHooks.drawMesh = RecordDraw;
    mesh.Draw();
    g_graphicsHooks = saved;
    EXPECT_EQ(g_drawCalls, 1);
    EXPECT_EQ(g_drawnMesh, &mesh);
}

// The shipped bottom: a [-1, 1] square seen from above (front faces up,
// since back faces are culled), below the water (mesh z 0.5 is the surface)
// and lit by unit normals that agree with its own slopes.
TEST_F(MeshTest, ShippedBottomFacesUpAndStaysUnderTheWater)
{
    C3DSObject mesh;
    std::string path = std::string(RIPPLEX_SOURCE_DIR) + "/default/bottom.obj";
    ASSERT_TRUE(mesh.LoadOBJ(path.c_str()));
    ASSERT_TRUE(mesh.hasTexCoords);
    ASSERT_GT(mesh.triangleCount, 100);

    float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
    for (int v = 0; v < mesh.vertexCount; ++v)
    {
        minX = std::min(minX, mesh.vertices[3 * v]);
        maxX = std::max(maxX, mesh.vertices[3 * v]);
        minZ = std::min(minZ, mesh.vertices[3 * v + 2]);
        maxZ = std::max(maxZ, mesh.vertices[3 * v + 2]);
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
        const float* p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = &mesh.vertices[3 * mesh.indices[3 * t + k]];
        double e1[3], e2[3];
        for (int k = 0; k < 3; ++k)
        {
            e1[k] = p[1][k] - p[0][k];
            e2[k] = p[2][k] - p[0][k];
        }
        double cross[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                           e1[0] * e2[1] - e1[1] * e2[0]};
        ASSERT_GT(cross[2], 0.0) << "triangle " << t << " faces down";
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 3; ++c)
                faceSum[3 * mesh.indices[3 * t + k] + c] += cross[c];
    }
    for (int v = 0; v < mesh.vertexCount; ++v)
    {
        const double* s = &faceSum[3 * v];
        double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        const float* n = &mesh.normals[3 * v];
        double agreement = (s[0] * n[0] + s[1] * n[1] + s[2] * n[2]) / length;
        EXPECT_GT(agreement, 0.99) << "vertex " << v;
    }
}

}  // namespace

namespace
{

// Damaged copies of a valid mesh (fixed seed): a read either fails and
// keeps the object, or gives arrays whose sizes match the counts and whose
// indices all name a vertex, so drawing can never read past them.
TEST_F(MeshTest, RandomlyDamagedFilesNeverGiveInconsistentArrays)
{
    MeshFile source;
    source.vertexCount = 4;
    source.triangleCount = 2;
    source.texFlag = 1;
    source.vertices = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    source.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    source.texCoords = {0, 0, 1, 0, 1, 1, 0, 1};
    source.indices = {0, 1, 2, 0, 2, 3};
    const Bytes valid = source.Encode();
    std::mt19937 random(77);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round)
    {
        Bytes file = valid;
        int damages = 1 + int(random() % 4);
        for (int d = 0; d < damages; ++d)
            file[random() % file.size()] = static_cast<unsigned char>(random());
        if (random() % 4 == 0)
            file.resize(random() % file.size());
        C3DSObject mesh;
        if (!ReadFromBytes(file, mesh))
        {
            ASSERT_EQ(mesh.vertexCount, 0);
            ASSERT_TRUE(mesh.vertices.empty());
            continue;
        }
        ++accepted;
        ASSERT_EQ(mesh.vertices.size(), 3 * size_t(mesh.vertexCount));
        ASSERT_EQ(mesh.normals.size(), 3 * size_t(mesh.vertexCount));
        ASSERT_EQ(mesh.texCoords.size(), mesh.hasTexCoords ? 2 * size_t(mesh.vertexCount) : 0u);
        ASSERT_EQ(mesh.indices.size(), 3 * size_t(mesh.triangleCount));
        for (uint32_t index : mesh.indices)
            ASSERT_LT(index, uint32_t(mesh.vertexCount));
    }
    EXPECT_GT(accepted, 0);  // damage to the float values alone still loads
}

}  // namespace
