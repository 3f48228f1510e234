// CWaterBody: the water of the basin as a height field of cells joined by
// virtual pipes, the spheres and spray that move over it, and the timed
// events that drop the spheres. Core library: no OpenGL here; drawing and
// texture upload go through the graphics hooks.
//
// Frame: z up, basin centred on the origin. Grids are stored row by row,
// element (x, y) at x + y * rowLength. Every quantity is a 32-bit float
// except simulated time and dt, which are doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "assets/3DSObject.h"
#include "common/Drawable.h"
#include "common/Vec3.h"
#include "sim/GridLayout.h"
#include "sim/SimEvent.h"
#include "sim/SimObject.h"

class CGridWorkers;

// Simulated seconds per recorded frame (F4 and --record); Init warns when
// a grid needs many sub-steps for it.
constexpr float RECORD_STEP = 0.03f;

// What the divergence watch found, first match in this order.
enum DivergenceKind : int32_t
{
    DIVERGENCE_NONE = 0,
    DIVERGENCE_CELLS = 1,    // a water height or a pipe flow is not finite
    DIVERGENCE_OBJECTS = 2,  // an object's position or speed is not finite
    DIVERGENCE_VOLUME = 3,   // water plus spray over 10 % off its start, or the water
                             // under 75 % of it in steps over the stability bound
    DIVERGENCE_SPRAY = 4,    // runaway spray: under 75 % of the start left in the cells
};

// Exit status of ripplex-sim, and of an unattended recording of the
// viewer, that stopped because the simulation diverged.
constexpr int EXIT_DIVERGED = 3;

// A finger pressing on the water (the viewer's Shift + left button): while
// `down`, every object pass ends by setting `pressure` on each cell of the
// disc of `radius` around (x, y), the disc a sphere presses, so the finger
// wins where a sphere presses the same cell. World units; the pressure is
// the cells' own, ρ·g times a height of water. Up, the step is unchanged
// to the bit.
struct Finger
{
    bool down = false;
    float x = 0.0f;
    float y = 0.0f;
    float radius = 0.0f;
    float pressure = 0.0f;
};

class CWaterBody : public CDrawable
{
public:
    CWaterBody() = default;
    ~CWaterBody() override;
    CWaterBody(const CWaterBody&) = delete;
    CWaterBody& operator=(const CWaterBody&) = delete;

    void Draw() override;  // through the graphics side's hook
    bool Init() override;
    void Release() override;

    // Reload in place: a new body built as at start-up from
    // "simulation.opt" and "events.opt" as they are on disk now (the option
    // cache's lists of both are replaced; the replaced ones stay alive, so
    // the names of the old body's objects stay valid), then the keys of
    // both files that had no effect are logged. Null when it is refused,
    // with the reasons logged as at start-up.
    static std::unique_ptr<CWaterBody> LoadAfresh();
    // Init parses its two option files afresh instead of taking the cached
    // lists (LoadAfresh sets it).
    bool bReadFilesAgain = false;

    bool AllocateGrid();  // false (grid left empty) when the sizes cannot be allocated
    void Step(double dt);
    void UpdatePipes(double dt);
    void UpdateCornerHeights();
    void UpdateCornerNormals();
    void ThrowParticles(double dt);
    void MoveObjects(double dt);
    bool LoadEvents();
    void FireEvents();

    // Stability and advance (Advance.cpp). StableStep is the largest dt for
    // which the pipe stage stays stable, +infinity when no dt makes it
    // unstable; SafeStep is that bound times a safety margin. Advance
    // moves the simulation on by `interval` in SubStepsFor(interval) equal
    // Steps, each at most SafeStep (a single Step(interval) when the
    // interval is already within it, or when subSteps is false), and
    // checks the divergence watch after each. Once the watch has fired it
    // logs one line, steps no more, and it and every later call return false.
    double StableStep() const;
    double SafeStep() const;
    int SubStepsFor(double interval) const;
    bool Advance(double interval, bool subSteps = true);

    // The volume ledger of the viewer's readout: the water and the spray in
    // flight as the latest pipe stage left them (the pair the watch
    // compares), each as a fraction of their sum at the first step; water 1
    // and spray 0 before it. False when the start held no water.
    bool VolumeFractions(double* water, double* spray) const;

    // The cells as code outside the step reads them, cell (x, y) at index
    // x + y·W: its water height, and whether it is water (not a wall).
    // Drawing, exports and tools go through these; CellHeights gives all
    // W·H heights, contiguous in that order, valid until the grid is
    // allocated again or released.
    bool HasCells() const { return cellHeights != nullptr; }
    float CellHeight(size_t index) const { return cellHeights[index]; }
    bool IsWaterCell(size_t index) const { return waterMask[index] != 0; }
    const float* CellHeights() const { return cellHeights; }
    // The width and depth of one cell in metres, as every stage and every
    // drawing computes it: the float size over the count, rounded once.
    float CellSizeX() const { return dSimulationSizeX / iSimulationWidth; }
    float CellSizeY() const { return dSimulationSizeY / iSimulationHeight; }

    uint32_t iSimulationWidth = 0;
    uint32_t iSimulationHeight = 0;
    float dSimulationSizeX = 0.0f;
    float dSimulationSizeY = 0.0f;
    float dDefaultHeight = 0.0f;
    float dFluidDensity = 0.0f;
    float dGravity = 0.0f;
    float dFriction = 0.0f;
    float dWaterFriction = 0.0f;
    int32_t iCrossSectionDivisor = 0;
    int32_t iPipeDivisor = 0;
    float dSpeedThresHold = 0.0f;
    float dForceFactor = 0.0f;
    float dParticleThresHold = 0.0f;
    float fCellArea = 0.0f;
    float fPipeCrossSection = 0.0f;
    float fPipeLength = 0.0f;  // nothing reads it: the step uses fDensityPipeLength
    float fDensityGravity = 0.0f;
    float fDensityPipeLength = 0.0f;
    float fRepresentationStep = 0.0f;  // read from "simulation.opt"; nothing uses it
    // The direction table, DIRECTION_TABLE as Init and AllocateGrid write
    // it. The stages do not read it: the pipes are stored by direction.
    int8_t neighbourOffsets[16] = {};
    // The cells, one array of W·H per field, cell (x, y) at x + y·W, each
    // array aligned to a cache line. Tests and tools may edit any of them
    // between stages; the next stage reads them as they are.
    float* cellHeights = nullptr;       // water column, volume per cell area
    float* cellPressures = nullptr;     // external pressure from the latest object pass
    // Volume per second through the pipe from the cell toward its neighbour
    // in direction PIPE_DIRECTIONS[j], positive leaving the cell; the
    // neighbour's flow toward the cell is its opposite. Flows persist from
    // step to step (the pipe stage accelerates and damps them); a pipe
    // toward a wall of the border carries 0.
    float* pipeFlows[PIPE_COUNT] = {};
    // The kinds as a mask: 1 water, 0 wall (any other value counts as
    // water). The border is walls from allocation on, and so is every cell
    // the wall map darkens; nothing in the simulation changes a kind
    // afterwards. A pipe with a wall at either end carries nothing, and a
    // wall keeps the rest height it was allocated with.
    uint8_t* waterMask = nullptr;

    // The wall map (WallMap.cpp), from "strWallMapFileName": empty without
    // one, else W·H values, 1 where the map makes the cell a wall.
    // AllocateGrid lays it over the border walls when its size is the
    // grid's. LoadWallMap reads and checks the file; false, with one log
    // line naming the file and the reason, when it is refused.
    std::vector<uint8_t> wallMap;
    bool LoadWallMap(const char* fileName);
    // With a map laid over the grid, for what lands on a wall: for each
    // cell, the index of a water cell fewest neighbour steps away (the cell
    // itself when water); empty otherwise.
    std::vector<uint32_t> nearestWaterCell;
    // A map is laid over the grid: the objects keep to its water cells and
    // the drawing shows its walls. Without one, nothing differs to the bit.
    bool HasWallMap() const { return !nearestWaterCell.empty(); }
    void FindNearestWaterCells();
    // With a map, the top of every wall: rest height plus 3 % of the larger
    // side of the basin. Spheres rest on it, and the drawing's blocks reach it.
    float WallTop() const;
    // (W−1)·(H−1) each. Each update of the corner heights writes the new
    // ones over the previous ones' array and swaps the two pointers, so a
    // pointer to either is good only until the next step.
    float* cornerHeights = nullptr;
    float* previousCornerHeights = nullptr;
    Vec3* cornerNormals = nullptr;             // (W−1)·(H−1)
    uint32_t waterTexture = 0xFFFFFFFFu;
    uint32_t bottomTexture = 0xFFFFFFFFu;
    C3DSObject bottomMesh;
    uint8_t showCellGrid = 0;
    std::vector<SimObject> objects;
    std::vector<SimEvent> events;
    double dElapsedTime = 0.0;
    Finger finger;

    // Worker threads for the grid stages, from "iThreads" (0: all cores).
    // Results never depend on it.
    int32_t iThreads = 0;

    // The worker pool of the grid stages (GridSweeps.cpp), made on first use
    // and freed by Release; null when not even a one-band pool could be had.
    CGridWorkers* pGridWorkers = nullptr;
    CGridWorkers* GridWorkers();

    // Spray stage. ThrowParticles tests every corner in one row-order pass
    // over the corner arrays (FindThrowingCorners, split among the worker
    // threads), then emits the particles one by one in the corner-by-corner
    // order, x outer, y inner, which fixes the random draws and the order of
    // the subtractions from the cells. ThrowParticlesCornerByCorner is that
    // plain walk itself: taken when the lists cannot be had, and the
    // reference of the tests; both give the same state to the bit.
    void ThrowParticlesCornerByCorner(double dt);
    std::vector<uint32_t> throwingCorners;
    std::vector<uint32_t> throwingColumnStarts;  // bucket starts of the sort by corner column

    // Divergence watch, fed by sweeps that read the cells and objects
    // anyway: the water cells' volume as the pipe stage left it (not finite
    // when a height or flow is not), the spray volume in flight and whether
    // every object's motion was finite after the object pass. Advance
    // compares water plus spray, and the water alone, with the first total
    // it saw (Advance.cpp says how).
    double dWatchedWater = 0.0;
    double dWatchedSpray = 0.0;
    bool bWatchedObjectsFinite = true;
    double dStartVolume = 0.0;
    bool bStartVolumeKnown = false;
    int32_t iDivergence = DIVERGENCE_NONE;
    double dWatchedSprayAtPipes = 0.0;  // the spray beside dWatchedWater in the latest watch
    int32_t iLastSubSteps = 0;          // steps the latest Advance took; 0 before any

private:
    // Pieces of Step, called by it alone: each relies on what the one
    // before it left (cleared pressures, listed corners), so nothing else
    // may run one on its own.

    // What Step's sweep of the grid did (GridSweeps.cpp): stages 2, 3 and 5
    // in one pass over the cells, with the test of stage 4 on each corner
    // row as it is made and the pressures set back to 0 once the pipes have
    // read them. Not done (nothing changed) when the grid is too small for
    // it or the pool's memory cannot be had: Step then runs the stages one
    // by one. cornersListed: throwingCorners holds the throwing corners of
    // this step (false: the list could not be had).
    struct GridSweep
    {
        bool done = false;
        bool cornersListed = false;
    };
    GridSweep SweepGrid(double dt);

    // Sets every cell's pressure to 0, walls included.
    void ClearPressures();
    // Stage 6 without its first part, on pressures already at 0.
    void MoveEveryObject(double dt);

    // Fills throwingCorners with the index of every corner whose rise / dt
    // reaches dParticleThresHold, x outer, y inner; false (list unusable)
    // when memory for the lists could not be had.
    bool FindThrowingCorners(double dt);
    // Throws the particles of throwingCorners when `listed`, else walks the
    // corners one by one.
    void EmitParticles(double dt, bool listed);
};
