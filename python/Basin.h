// CBasin: one CWaterBody as the Python module holds it, with everything
// the core keeps process-wide made safe for a Python process: one module
// lock around every call into the core (the log, the spray's random
// sequence and the option cache are shared by all bodies and unlocked), the
// log captured per call instead of written anywhere, and a random state of
// its own, so that each basin draws the sequence of a run of its own.
//
// Plain C++: no Python object is touched here, so every member may run
// with the GIL released. The bindings (RipplexModule.cpp) decide when.
//
// Deliberately not done: no copy of the grid kept on the side; the body's
// own arrays are read in place or copied on request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/WaterSummary.h"

class CWaterBody;

// The log lines of a refused start or of any call, each without its time
// prefix, Latin-1 as the core writes them.
using LogLines = std::vector<std::string>;

// A start-up refused by the core; what() is the log lines, one per line.
class CBasinRefused : public std::runtime_error
{
public:
    explicit CBasinRefused(const std::string& lines) : std::runtime_error(lines) {}
};

// The divergence watch stopped the basin; what() is the watch's line.
class CBasinDiverged : public std::runtime_error
{
public:
    explicit CBasinDiverged(const std::string& line) : std::runtime_error(line) {}
};

// One record of `objects` as Python sees it.
struct BasinObject
{
    uint32_t kind;      // ObjectKind: 0 ball, 1 spray drop
    float position[3];  // world frame, z up
    float speed[3];     // per second
    float radius;
};

// A grid of the body's own floats, row by row: element (x, y) at
// x + y·columns.
struct GridView
{
    const float* values;
    size_t columns;
    size_t rows;
};

class CBasin
{
public:
    // Starts a body from `directory` (a file-system name, bytes as given)
    // like ripplex-sim; throws CBasinRefused with the log's lines. The lines
    // of a successful start (keys that had no effect, a very fine grid) go
    // to *notes. Argument errors throw std::invalid_argument.
    CBasin(const std::string& directory, LogLines* notes);
    ~CBasin();
    CBasin(const CBasin&) = delete;
    CBasin& operator=(const CBasin&) = delete;

    // One plain step of dt, watched: CBasinDiverged when the watch fires,
    // and on every call once it has.
    void Step(double dt, LogLines* notes);
    // dt in as many equal sub-steps as the stability bound needs; returns
    // their number. Diverging throws as Step does.
    int Advance(double interval, LogLines* notes);

    WaterSummary Summary() const;
    double StableStep() const;
    bool Diverged() const;
    size_t Width() const;   // W, cells along x
    size_t Height() const;  // H, cells along y
    float SizeX() const;    // extent of the basin along x
    float SizeY() const;

    // The W·H cell heights in place, element x + y·W = cell (x, y); the
    // step writes them where they are, so the view stays the basin's
    // current water for as long as the basin lives.
    GridView Cells() const;
    // The (W−1)·(H−1) corner heights in place; valid until the next Step
    // or Advance, which may swap the body's corner arrays.
    GridView Corners() const;
    std::vector<BasinObject> Objects() const;

    // A ball as an event drops it (falls with −dGravity from the next
    // step); `name` may be empty (no event can then remove it).
    void AddSphere(const float position[3], float radius, float mass, const float speed[3],
                   const std::string& name);
    // The finger: presses a disc of `radius` (world units) around (x, y)
    // at every step until Lift, as hard as a column of water `depth` high.
    void Press(float x, float y, float radius, float depth);
    void Lift();

private:
    class CCoreCall;
    void Run(double interval, bool subSteps, LogLines* notes);

    // Names of the balls added from Python: a SimObject only points at its
    // name, and a list never moves the strings it holds. Declared before
    // the body, so that they outlive its objects.
    std::list<std::string> names;
    std::unique_ptr<CWaterBody> body;
    uint32_t randomState;
    std::string divergenceLine;
};
