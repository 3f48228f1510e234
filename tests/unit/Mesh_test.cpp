// Basin-bottom mesh files: the header and array layout, and one table of
// the refusals that keep a damaged file from reaching the drawing, with the
// exact line each logs. Random damage is left to the fuzz corpus replays.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "MeshFileBytes.h"
#include "TestFiles.h"
#include "assets/3DSObject.h"

namespace
{
using testfiles::Bytes;
using testfiles::Concat;

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

void ExpectMeshIs(const C3DSObject& mesh, const MeshFileBytes& file)
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

template <class Change>
MeshFileBytes Changed(Change change)
{
    MeshFileBytes file;
    change(file);
    return file;
}

TEST_F(MeshTest, AcceptedLayoutsReadExactly)
{
    const std::pair<const char*, MeshFileBytes> cases[] = {
        {"one triangle, shortest header (7)", MeshFileBytes()},
        // The extra header bytes are skipped.
        {"header 10, version 12", Changed([](MeshFileBytes& m) { m.headerLength = 10, m.version = 12; })},
        {"header 10, version 21", Changed([](MeshFileBytes& m) { m.headerLength = 10; })},
        // 256 and 258 only read right when the high byte comes first.
        {"counts high byte first", Changed([](MeshFileBytes& m) {
             m.vertexCount = 256, m.triangleCount = 258;
             m.vertices.assign(3 * 256, 0.5f);
             m.normals.assign(3 * 256, 0.0f);
             m.indices.resize(3 * 258, 255);
         })},
        {"texture coordinates follow the normals (any flag but 0)", Changed([](MeshFileBytes& m) {
             m.texFlag = 0x02, m.texCoords = {0, 0, 4, 0, 0, 4}, m.indices = {2, 1, 0};
         })},
        {"empty mesh", Changed([](MeshFileBytes& m) {
             m.vertexCount = m.triangleCount = 0;
             m.vertices.clear(), m.normals.clear(), m.indices.clear();
         })},
    };
    for (const auto& [name, file] : cases)
    {
        SCOPED_TRACE(name);
        C3DSObject mesh;
        ASSERT_TRUE(ReadFromBytes(file.Encode(), mesh));
        ExpectMeshIs(mesh, file);
    }
    C3DSObject mesh;
    ASSERT_TRUE(ReadFromBytes(Concat(MeshFileBytes().Encode(), {1, 2, 3, 4, 5}), mesh)) << "trailing bytes";
    ExpectMeshIs(mesh, MeshFileBytes());
    EXPECT_TRUE(tmp.Messages().empty());
}

// Each refusal logs one line (the version's brings its own line feed, which
// the log does not double) and leaves the mesh as it was. Through a pipe,
// which cannot tell its size, a file cut short is only found on reading.
// A missing file is named in a second line.
TEST_F(MeshTest, DamagedFilesAreRefusedWithTheirLineAndTheMeshKept)
{
    const MeshFileBytes file;
    auto with = [](auto change) { return Changed(change).Encode(); };
    Bytes cut = MeshFileBytes().Encode();
    cut.pop_back();
    const std::string shortHeader = "En-t\xEAte trop court", cutShort = "Fichier tronqu\xE9";
    const std::string outOfRange = "Indice de sommet hors limites";
    const struct { const char* name; Bytes bytes; std::string line, pipeLine; } cases[] = {
        {"header length below 7", with([](MeshFileBytes& m) { m.headerLength = 6; }), shortHeader, ""},
        {"empty file", {}, shortHeader, ""},
        {"file ends inside the header", {10, 21, 0, 3, 0, 1, 0, 0}, shortHeader, ""},
        {"version 13", with([](MeshFileBytes& m) { m.version = 13; }), "Mauvaise version de fichier !", ""},
        {"nothing after the header", {7, 21, 0, 3, 0, 1, 0},
         cutShort + " (84 octets attendus, 0 pr\xE9sents)", cutShort},
        {"last index cut short", cut, cutShort + " (84 octets attendus, 83 pr\xE9sents)", cutShort},
        {"announced texture coordinates missing", with([](MeshFileBytes& m) { m.texFlag = 1; }),
         cutShort + " (108 octets attendus, 84 pr\xE9sents)", cutShort},
        {"counts far beyond the file",
         with([](MeshFileBytes& m) { m.vertexCount = m.triangleCount = 65535, m.texFlag = 1; }),
         cutShort + " (2883540 octets attendus, 84 pr\xE9sents)", cutShort},
        {"index equal to the vertex count", with([](MeshFileBytes& m) { m.indices = {0, 1, 3}; }),
         outOfRange, ""},
        {"index 0xFFFFFFFF", with([](MeshFileBytes& m) { m.indices = {0xFFFFFFFFu, 1, 2}; }), outOfRange, ""},
    };
    for (const auto& c : cases)
        for (bool throughPipe : {false, true})
        {
            SCOPED_TRACE(std::string(c.name) + (throughPipe ? " (pipe)" : ""));
            C3DSObject mesh;
            ASSERT_TRUE(ReadFromBytes(file.Encode(), mesh));
            const size_t linesBefore = tmp.Messages().size();
            EXPECT_FALSE(throughPipe ? ReadThroughPipe(c.bytes, mesh) : ReadFromBytes(c.bytes, mesh));
            ExpectMeshIs(mesh, file);
            const std::vector<std::string> messages = tmp.Messages();
            ASSERT_EQ(messages.size(), linesBefore + 1);
            EXPECT_EQ(messages.back(), "C3DSObject::LoadOBJ -- " +
                                           (throughPipe && !c.pipeLine.empty() ? c.pipeLine : c.line));
        }
    C3DSObject mesh;
    EXPECT_FALSE(mesh.LoadOBJ(tmp.Path("missing.obj").c_str()));
    const std::vector<std::string> messages = tmp.Messages();
    EXPECT_EQ(std::vector<std::string>(messages.end() - 2, messages.end()),
              (std::vector<std::string>{"C3DSObject::LoadOBJ -- Erreur \xE0 l'ouverture du fichier",
                                        "C3DSObject::LoadOBJ -- Impossible de charger le maillage " +
                                            tmp.Path("missing.obj")}));
}
}  // namespace
