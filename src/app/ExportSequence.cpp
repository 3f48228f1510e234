// CExportSequence: the directory, the numbered files, the one CSV.

#include "app/ExportSequence.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "assets/HeightMapExr.h"
#include "assets/ObjectTracksCsv.h"
#include "assets/WavefrontObj.h"

namespace
{

// mkdir -p: each missing level in turn; false with errno set when one
// cannot be made or is not a directory.
bool MakeDirectories(const std::string& path)
{
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1))
    {
        const std::string level = path.substr(0, end);
        struct stat status;
        if (stat(level.c_str(), &status) == 0)
        {
            if (!S_ISDIR(status.st_mode))
            {
                errno = ENOTDIR;
                return false;
            }
        }
        else if (mkdir(level.c_str(), 0777) != 0 && errno != EEXIST)
        {
            return false;
        }
        if (end == std::string::npos)
            return true;
    }
}

// "surface_00042.obj": the moment's number, zero-padded to five digits.
std::string Numbered(const char* stem, uint64_t moment, const char* extension)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s_%05llu.%s", stem, (unsigned long long)moment, extension);
    return name;
}

}  // namespace

unsigned ExportPartNamed(const std::string& name)
{
    static const struct { const char* name; unsigned part; } parts[] = {
        {"heights", EXPORT_HEIGHTS}, {"surface", EXPORT_SURFACE},
        {"objects", EXPORT_OBJECTS}, {"bottom", EXPORT_BOTTOM},
    };
    for (const auto& p : parts)
        if (name == p.name)
            return p.part;
    return 0;
}

CExportSequence::CExportSequence(std::string directory_, unsigned parts_)
    : directory(std::move(directory_)), parts(parts_)
{
}

std::string CExportSequence::PathOf(const std::string& name) const
{
    return directory.empty() || directory.back() == '/' ? directory + name
                                                        : directory + "/" + name;
}

bool CExportSequence::Failed(const CExportFile& file)
{
    if (failure.empty())
        failure = file.Failure();
    return false;
}

bool CExportSequence::WriteOne(const std::string& name,
                               bool (*write)(const CWaterBody&, CExportFile&),
                               const CWaterBody& body)
{
    CExportFile file;
    if (!file.Create(PathOf(name)) || !write(body, file) || !file.Close())
        return Failed(file);
    return true;
}

bool CExportSequence::Begin(const CWaterBody& body)
{
    if (!MakeDirectories(directory))
    {
        failure = directory + " (" + std::strerror(errno) + ")";
        return false;
    }
    if ((parts & EXPORT_BOTTOM) && !WriteOne("bottom.obj", WriteBottomObj, body))
        return false;
    if (parts & EXPORT_OBJECTS)
    {
        if (!tracks.Create(PathOf("objects.csv")))
            return Failed(tracks);
        WriteObjectTracksHeader(tracks);
        if (!tracks.Flush())
            return Failed(tracks);
    }
    return true;
}

bool CExportSequence::WriteMoment(const CWaterBody& body)
{
    const uint64_t number = moment++;
    if ((parts & EXPORT_HEIGHTS) &&
        !WriteOne(Numbered("heights", number, "exr"), WriteHeightMapExr, body))
        return false;
    if ((parts & EXPORT_SURFACE) &&
        !WriteOne(Numbered("surface", number, "obj"), WriteSurfaceObj, body))
        return false;
    // Flushed at every moment, so that a full disk stops the run there.
    if ((parts & EXPORT_OBJECTS) && (!WriteObjectTracks(body, number, tracks) || !tracks.Flush()))
        return Failed(tracks);
    return true;
}

bool CExportSequence::Finish()
{
    if ((parts & EXPORT_OBJECTS) && !tracks.Close())
        return Failed(tracks);
    return true;
}
