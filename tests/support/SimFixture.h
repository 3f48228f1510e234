// CSimFixture: a CWaterBody built from option texts held in memory, for the
// unit tests and the benchmarks. It makes a fresh temporary working
// directory, writes "simulation.opt", "events.opt", a one-triangle
// "null.obj" and a small 24-bit "null.tga" into it, enters it, empties the
// option cache, rewinds the particle generator, sends the log to
// "error.log" there and runs Init. The destructor goes back to the
// previous directory and removes the temporary one.
//
// Deliberately not done: no GoogleTest dependency (the benchmarks share it),
// no graphics hooks, no sharing between fixtures (one at a time: it changes
// the process's current directory and the process-wide caches).
#pragma once

#include <cstdint>
#include <string>

#include "sim/WaterBody.h"

struct SimFixtureFiles
{
    std::string simulationOpt;       // text of "simulation.opt"
    std::string eventsOpt;           // text of "events.opt"
    bool writeSimulationOpt = true;  // false: the file is missing
    bool writeEventsOpt = true;
    bool writeMesh = true;           // "null.obj"
    bool writeTexture = true;        // "null.tga"
    bool init = true;                // false: the test calls body.Init() itself
};

class CSimFixture
{
public:
    explicit CSimFixture(const std::string& simulationOpt, const std::string& eventsOpt = "");
    explicit CSimFixture(const SimFixtureFiles& files);
    ~CSimFixture();
    CSimFixture(const CSimFixture&) = delete;
    CSimFixture& operator=(const CSimFixture&) = delete;

    // Writes one more file into the working directory (binary, as given).
    void WriteFile(const std::string& name, const std::string& bytes) const;
    // Everything written to the log since the fixture was made.
    std::string LogText() const;
    const std::string& Directory() const { return directory; }

    // Cell (x, y) in the body's arrays; WaterAt is 1 for water, 0 for a wall.
    float& HeightAt(uint32_t x, uint32_t y);
    float& PressureAt(uint32_t x, uint32_t y);
    uint8_t& WaterAt(uint32_t x, uint32_t y);
    float CornerHeightAt(uint32_t x, uint32_t y) const;
    const Vec3& CornerNormalAt(uint32_t x, uint32_t y) const;
    void Run(int steps, double dt);

    // FNV-1a (by 64-bit words) over everything a step defines: time, heights, flows, pressures,
    // corner heights and normals, objects (names by text) and events.
    uint64_t StateHash() const;

    bool initialised = false;  // what Init returned (false when not run)
    CWaterBody body;

private:
    void Setup(const SimFixtureFiles& files);

    std::string directory;
    std::string previousDirectory;
};

// CSimFixture::StateHash of any body. It hashes the values in cell order,
// not the memory that holds them, so a change of layout keeps the hashes.
uint64_t StateHashOf(const CWaterBody& body);
