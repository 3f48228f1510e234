// CExportSequence: what ripplex-sim --export writes into its directory.
// Once: bottom.obj. At every moment the runner reports (numbered from 0 in
// the order they come): heights_NNNNN.exr and surface_NNNNN.obj (NNNNN the
// moment's number, five digits or more), and the moment's lines in
// objects.csv. Each part can be left out. The formats, their orientation
// and units are in HeightMapExr.h, WavefrontObj.h and ObjectTracksCsv.h.
//
// Deliberately not done: nothing is kept in memory from one moment to the
// next but objects.csv's open file, and no file is written twice.
#pragma once

#include <cstdint>
#include <string>

#include "assets/ExportFile.h"

class CWaterBody;

enum ExportPart : unsigned
{
    EXPORT_HEIGHTS = 1,  // heights_NNNNN.exr
    EXPORT_SURFACE = 2,  // surface_NNNNN.obj
    EXPORT_OBJECTS = 4,  // objects.csv
    EXPORT_BOTTOM = 8,   // bottom.obj
    EXPORT_ALL = 15,
};

// The part named `name` ("heights", "surface", "objects", "bottom"), 0 for
// any other text.
unsigned ExportPartNamed(const std::string& name);

class CExportSequence
{
public:
    // `directory` is made (with its parents) by Begin when missing.
    CExportSequence(std::string directory, unsigned parts);

    // Makes the directory, writes bottom.obj and objects.csv's header.
    bool Begin(const CWaterBody& body);
    // The files of the next moment.
    bool WriteMoment(const CWaterBody& body);
    // Closes objects.csv.
    bool Finish();

    // "PATH (reason)" for the write that failed.
    const std::string& Failure() const { return failure; }

private:
    bool WriteOne(const std::string& name, bool (*write)(const CWaterBody&, CExportFile&),
                  const CWaterBody& body);
    bool Failed(const CExportFile& file);
    std::string PathOf(const std::string& name) const;

    std::string directory;
    unsigned parts;
    uint64_t moment = 0;
    CExportFile tracks;
    std::string failure;
};
