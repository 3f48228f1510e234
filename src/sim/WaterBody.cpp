// CWaterBody: reading "simulation.opt", loading the assets, building the
// grid, and the step as its six stages. The grid stages themselves live in
// PipeStage.cpp, CornerStages.cpp, SprayTest.cpp and GridSweeps.cpp, the
// objects and spray in Objects.cpp, the event script in
// scene/EventScript.cpp.
//
// Deliberately not done: no drawing or texture upload here (the graphics
// side installs hooks for both); no message when Init fails because an
// asset or an option file is missing (the loaders and the scene report it).
// Parameters that cannot make a working grid are refused with one log line.
#include "sim/WaterBody.h"

#include <algorithm>
#include <cmath>

#include "app/Log.h"
#include "assets/TgaImage.h"
#include "common/GraphicsHooks.h"
#include "config/OptionsParser.h"

namespace
{
// Names of the asset files, pointing into the cached "simulation.opt" list.
struct AssetNames
{
    const char* bottomMesh;
    const char* waterTexture;
    const char* bottomTexture;
    const char* wallMap;  // empty: no map
};

struct DerivedConstants
{
    float cellArea;
    float pipeCrossSection;
    float pipeLength;
    float densityGravity;
    float densityPipeLength;
};

// W and H are unsigned, the divisors signed; every result a 32-bit float.
DerivedConstants Derive(const CWaterBody& b)
{
    DerivedConstants d;
    d.cellArea = b.CellSizeX() * b.CellSizeY();
    d.pipeCrossSection = d.cellArea / b.iCrossSectionDivisor;
    // std::sqrt of a float is the float overload: single precision throughout.
    d.pipeLength = std::sqrt(d.cellArea) / b.iPipeDivisor;
    d.densityGravity = b.dGravity * b.dFluidDensity;
    d.densityPipeLength = d.pipeLength * b.dFluidDensity;
    return d;
}

bool IsPositiveFinite(float v)
{
    return std::isfinite(v) && v > 0.0f;
}

// Both log the refused key with its value as read and return false.
bool RefuseFloat(const char* key, float value)
{
    CLog::Write("CWaterBody::Init -- Param\xE8tre %s invalide : %g", key, double(value));
    return false;
}

bool RefuseInt(const char* key, int value)
{
    CLog::Write("CWaterBody::Init -- Param\xE8tre %s invalide : %d", key, value);
    return false;
}

// Without the graphics side a texture is only read and checked: the handle
// stays "none", and the pixels are released at once.
bool LoadTextureFile(uint32_t* texture, const char* fileName)
{
    if (g_graphicsHooks.loadTexture)
        return g_graphicsHooks.loadTexture(texture, fileName);
    CTgaImage image;
    if (!CTgaImage::TgaImageLoad(fileName, &image))
    {
        if (image.data)
            image.cvUnloadImage();
        return false;
    }
    image.cvUnloadImage();
    return true;
}
}  // namespace

// A body replaced by a reload takes its two textures with it; the viewer's
// first body lives until the process ends.
CWaterBody::~CWaterBody()
{
    Release();
    if (g_graphicsHooks.deleteTexture == nullptr)
        return;
    for (uint32_t* texture : {&waterTexture, &bottomTexture})
    {
        if (*texture != 0xFFFFFFFFu)
            g_graphicsHooks.deleteTexture(*texture);
        *texture = 0xFFFFFFFFu;
    }
}

void CWaterBody::Draw()
{
    if (g_graphicsHooks.drawWaterBody)
        g_graphicsHooks.drawWaterBody(*this);
}

// Reads the keys in the order of the file's documentation. W and H go
// through GetInt, so a negative value arrives here as a huge unsigned one
// and is refused by CheckParameters with the value as written.
static AssetNames ReadParameters(CWaterBody& b, const COptionList& o, int* widthRead, int* heightRead)
{
    *widthRead = o.GetInt("iSimulationWidth", 50);
    *heightRead = o.GetInt("iSimulationHeight", 50);
    b.iSimulationWidth = static_cast<uint32_t>(*widthRead);
    b.iSimulationHeight = static_cast<uint32_t>(*heightRead);
    b.dSimulationSizeX = o.GetFloat("dSimulationSizeX", 1.0f);
    b.dSimulationSizeY = o.GetFloat("dSimulationSizeY", 1.0f);
    b.dDefaultHeight = o.GetFloat("dDefaultHeight", 1.0f);
    b.dFluidDensity = o.GetFloat("dFluidDensity", 1.0f);
    b.dGravity = o.GetFloat("dGravity", 1.0f);
    b.dFriction = o.GetFloat("dFriction", 0.0f);
    b.dWaterFriction = o.GetFloat("dWaterFriction", 0.0f);
    b.dSpeedThresHold = o.GetFloat("dSpeedThresHold", 0.0f);
    b.dForceFactor = o.GetFloat("dForceFactor", 500.0f);
    b.dParticleThresHold = o.GetFloat("dParticleThresHold", 1.0f);
    b.fRepresentationStep = o.GetFloat("fRepresentationStep", 0.05f);
    b.iCrossSectionDivisor = o.GetInt("iCrossSectionDivisor", 1);
    b.iPipeDivisor = o.GetInt("iPipeDivisor", 1);
    AssetNames names;
    names.bottomMesh = o.GetString("strBottomObjFileName", "null.obj");
    names.waterTexture = o.GetString("strWaterTextureFileName", "null.tga");
    names.bottomTexture = o.GetString("strBottomTextureFileName", "null.tga");
    b.iThreads = o.GetInt("iThreads", 0);
    names.wallMap = o.GetString("strWallMapFileName", "");
    return names;
}

// Refuses what cannot make a working grid: fewer than 3 cells along a side
// (no water cell), more than MAX_CELLS cells, sizes, divisors or
// density not above 0, any non-finite parameter, and sizes so extreme that
// the derived constants underflow or overflow (the pipes divide by them).
// Logs the first offending key and returns false.
static bool CheckParameters(const CWaterBody& b, int widthRead, int heightRead)
{
    if (widthRead < 3)
        return RefuseInt("iSimulationWidth", widthRead);
    if (heightRead < 3)
        return RefuseInt("iSimulationHeight", heightRead);
    if (uint64_t(b.iSimulationWidth) * b.iSimulationHeight > MAX_CELLS)
    {
        CLog::Write("CWaterBody::Init -- Param\xE8tres iSimulationWidth et iSimulationHeight "
                    "invalides : %d x %d", widthRead, heightRead);
        return false;
    }
    const struct { const char* key; float value; bool positive; } floats[] = {
        {"dSimulationSizeX", b.dSimulationSizeX, true},
        {"dSimulationSizeY", b.dSimulationSizeY, true},
        {"dDefaultHeight", b.dDefaultHeight, false},
        {"dFluidDensity", b.dFluidDensity, true},
        {"dGravity", b.dGravity, false},
        {"dFriction", b.dFriction, false},
        {"dWaterFriction", b.dWaterFriction, false},
        {"dSpeedThresHold", b.dSpeedThresHold, false},
        {"dForceFactor", b.dForceFactor, false},
        {"dParticleThresHold", b.dParticleThresHold, false},
    };
    for (const auto& f : floats)
    {
        if (f.positive ? !IsPositiveFinite(f.value) : !std::isfinite(f.value))
            return RefuseFloat(f.key, f.value);
    }
    if (b.iCrossSectionDivisor <= 0)
        return RefuseInt("iCrossSectionDivisor", b.iCrossSectionDivisor);
    if (b.iPipeDivisor <= 0)
        return RefuseInt("iPipeDivisor", b.iPipeDivisor);

    const DerivedConstants d = Derive(b);
    if (!std::isnormal(d.cellArea) || !std::isnormal(d.pipeCrossSection) ||
        !std::isnormal(d.pipeLength))
    {
        CLog::Write("CWaterBody::Init -- Param\xE8tres dSimulationSizeX et dSimulationSizeY "
                    "invalides : aire de cellule %g", double(d.cellArea));
        return false;
    }
    if (!std::isfinite(d.densityGravity))
        return RefuseFloat("dGravity", b.dGravity);
    if (!std::isnormal(d.densityPipeLength))
        return RefuseFloat("dFluidDensity", b.dFluidDensity);
    return true;
}

// A grid so fine that a recorded frame takes more than this many steps
// still starts, but the user learns why it runs slowly.
static void WarnAboutSubSteps(const CWaterBody& b)
{
    constexpr int MANY_SUB_STEPS = 8;
    const int n = b.SubStepsFor(RECORD_STEP);
    if (n > MANY_SUB_STEPS)
        CLog::Write("CWaterBody::Init -- Grille tr\xE8s fine : un pas de %g s demande %d sous-pas"
                    " de %.6g s (pas stable maximal %.6g s)",
                    double(RECORD_STEP), n, double(RECORD_STEP) / n, b.StableStep());
}

bool CWaterBody::Init()
{
    COptionList* options = COptionsParser::ParseFile("simulation.opt", bReadFilesAgain);
    if (!options)
        return false;
    int widthRead = 0;
    int heightRead = 0;
    const AssetNames names = ReadParameters(*this, *options, &widthRead, &heightRead);
    if (!CheckParameters(*this, widthRead, heightRead))
        return false;
    showCellGrid = 0;

    if (!bottomMesh.LoadOBJ(names.bottomMesh))
        return false;
    if (!LoadTextureFile(&waterTexture, names.waterTexture))
        return false;
    if (!LoadTextureFile(&bottomTexture, names.bottomTexture))
        return false;
    wallMap.clear();
    if (names.wallMap[0] != '\0' && !LoadWallMap(names.wallMap))
        return false;

    dElapsedTime = 0.0;
    dWatchedWater = 0.0;
    dWatchedSpray = 0.0;
    bWatchedObjectsFinite = true;
    bStartVolumeKnown = false;
    iDivergence = DIVERGENCE_NONE;
    std::copy(DIRECTION_TABLE, DIRECTION_TABLE + 16, neighbourOffsets);
    const DerivedConstants d = Derive(*this);
    fCellArea = d.cellArea;
    fPipeCrossSection = d.pipeCrossSection;
    fPipeLength = d.pipeLength;
    fDensityGravity = d.densityGravity;
    fDensityPipeLength = d.densityPipeLength;
    WarnAboutSubSteps(*this);

    // AllocateGrid logs its own failure and leaves the grid empty.
    if (!AllocateGrid())
        return false;
    UpdateCornerHeights();
    UpdateCornerNormals();

    if (!LoadEvents())
        return false;
    if (objects.capacity() < 500)
        objects.reserve(500);
    return true;
}

std::unique_ptr<CWaterBody> CWaterBody::LoadAfresh()
{
    auto body = std::make_unique<CWaterBody>();
    body->bReadFilesAgain = true;
    if (!body->Init())
        return nullptr;
    body->bReadFilesAgain = false;
    COptionsParser::WarnUnreadKeys("simulation.opt");
    COptionsParser::WarnUnreadKeys("events.opt");
    return body;
}

// The six stages in their order. When it can, Step runs stages 2, 3 and 5
// in one sweep over the grid (GridSweeps.cpp), which also tests every new
// corner for spray and sets the pressures back to 0 once the pipes have
// read them; the normals then come before the spray, which changes cells
// but no corner height. Either way the state is the same to the bit.
void CWaterBody::Step(double dt)
{
    dElapsedTime += dt;
    FireEvents();                           // due events add or remove spheres
    const GridSweep sweep = SweepGrid(dt);  // pipes, new heights, corners, normals
    if (sweep.done)
    {
        EmitParticles(dt, sweep.cornersListed);  // spray where the corners rose fast
        MoveEveryObject(dt);                     // the sweep cleared the pressures
        return;
    }
    UpdatePipes(dt);           // flows from the previous step's pressures; new heights
    UpdateCornerHeights();     // the surface the objects and the drawing see
    ThrowParticles(dt);        // spray where the corners rose fast; takes water out
    UpdateCornerNormals();     // from the corner heights of this step
    MoveObjects(dt);           // spheres and spray; sets the pressures for the next step
}
