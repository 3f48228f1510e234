// CBasin: the core's calls under the module lock. A call that runs the
// core (start, step, advance) is a CCoreCall: the lock, the basin's own
// random state swapped in and out, and channel 0 of the log attached to a
// memory stream for the length of the call. Reads take the lock alone.
#include "Basin.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "app/Log.h"
#include "app/WaterBodyLoader.h"
#include "sim/Random.h"
#include "sim/WaterBody.h"

namespace
{
// Held by whichever thread runs the core; never taken with the GIL held
// except by the start-up (RipplexModule.cpp says why), and never held
// while waiting for the GIL.
std::mutex g_coreMutex;

// "HH:MM:SS:ms - message" without its time prefix: the time of day and
// the processor milliseconds mean nothing to the reader of an exception.
std::string WithoutTimePrefix(const std::string& line)
{
    const size_t dash = line.find(" - ");
    if (dash == std::string::npos)
        return line;
    for (size_t i = 0; i < dash; ++i)
    {
        const char c = line[i];
        if (!((c >= '0' && c <= '9') || c == ':' || c == '?'))
            return line;
    }
    return line.substr(dash + 3);
}

LogLines SplitLines(const char* text, size_t size)
{
    LogLines lines;
    size_t begin = 0;
    while (begin < size)
    {
        const void* found = std::memchr(text + begin, '\n', size - begin);
        const size_t end = found ? size_t(static_cast<const char*>(found) - text) : size;
        lines.push_back(WithoutTimePrefix(std::string(text + begin, end - begin)));
        begin = end + 1;
    }
    return lines;
}

std::string Joined(const LogLines& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

void RequireFinite(const char* what, double value)
{
    if (!std::isfinite(value))
        throw std::invalid_argument(std::string(what) + " must be a finite number");
}

void RequireInterval(const char* what, double value)
{
    if (!(value > 0.0) || !std::isfinite(value))
        throw std::invalid_argument(std::string(what) + " must be a finite number of seconds > 0");
}
}  // namespace

class CBasin::CCoreCall
{
public:
    explicit CCoreCall(uint32_t* randomState) : lock(g_coreMutex), randomState(randomState)
    {
        SetRandomState(*randomState);
        capture = open_memstream(&text, &size);
        if (capture)
            CLog::Attach(0, capture);  // else the call's lines are lost, nothing more
    }
    ~CCoreCall() { Finish(); }

    // The lines the call logged; ends the capture.
    LogLines Finish()
    {
        LogLines lines;
        if (capture)
        {
            CLog::Close(0);
            std::fclose(capture);
            capture = nullptr;
            lines = SplitLines(text, size);
        }
        std::free(text);
        text = nullptr;
        *randomState = RandomState();
        return lines;
    }

private:
    std::lock_guard<std::mutex> lock;
    uint32_t* randomState;
    std::FILE* capture = nullptr;
    char* text = nullptr;
    size_t size = 0;
};

CBasin::CBasin(const std::string& directory, LogLines* notes) : randomState(RANDOM_START_STATE)
{
    if (directory.find('\0') != std::string::npos)
        throw std::invalid_argument("the directory name holds a NUL character");
    CCoreCall call(&randomState);
    body = CWaterBodyLoader::Load(directory.c_str());
    LogLines lines = call.Finish();
    if (!body)
        throw CBasinRefused(Joined(lines));
    *notes = std::move(lines);
}

CBasin::~CBasin() = default;

void CBasin::Step(double dt, LogLines* notes)
{
    RequireInterval("dt", dt);
    Run(dt, false, notes);
}

int CBasin::Advance(double interval, LogLines* notes)
{
    RequireInterval("interval", interval);
    Run(interval, true, notes);
    return body->iLastSubSteps;
}

void CBasin::Run(double interval, bool subSteps, LogLines* notes)
{
    CCoreCall call(&randomState);
    const bool advanced = body->Advance(interval, subSteps);
    LogLines lines = call.Finish();
    if (advanced)
    {
        *notes = std::move(lines);
        return;
    }
    // The watch logs its line once, at the step that fired it; every later
    // call reports that same line.
    if (divergenceLine.empty())
        divergenceLine = lines.empty() ? "CWaterBody::Advance -- Simulation divergente" : lines.back();
    throw CBasinDiverged(divergenceLine);
}

WaterSummary CBasin::Summary() const
{
    std::lock_guard<std::mutex> lock(g_coreMutex);
    return SummariseWater(*body);
}

double CBasin::StableStep() const
{
    std::lock_guard<std::mutex> lock(g_coreMutex);
    return body->StableStep();
}

bool CBasin::Diverged() const
{
    std::lock_guard<std::mutex> lock(g_coreMutex);
    return body->iDivergence != DIVERGENCE_NONE;
}

// The grid's shape and the basin's size never change after the start.
size_t CBasin::Width() const { return body->iSimulationWidth; }
size_t CBasin::Height() const { return body->iSimulationHeight; }
float CBasin::SizeX() const { return body->dSimulationSizeX; }
float CBasin::SizeY() const { return body->dSimulationSizeY; }

GridView CBasin::Cells() const
{
    std::lock_guard<std::mutex> lock(g_coreMutex);
    return {body->CellHeights(), Width(), Height()};
}

GridView CBasin::Corners() const
{
    std::lock_guard<std::mutex> lock(g_coreMutex);
    return {body->cornerHeights, Width() - 1, Height() - 1};
}

std::vector<BasinObject> CBasin::Objects() const
{
    std::lock_guard<std::mutex> lock(g_coreMutex);
    std::vector<BasinObject> records;
    records.reserve(body->objects.size());
    for (const SimObject& o : body->objects)
        records.push_back({o.kind,
                           {o.position.x, o.position.y, o.position.z},
                           {o.speed.x, o.speed.y, o.speed.z},
                           o.radius});
    return records;
}

void CBasin::AddSphere(const float position[3], float radius, float mass, const float speed[3],
                       const std::string& name)
{
    for (int i = 0; i < 3; ++i)
    {
        RequireFinite("position", position[i]);
        RequireFinite("speed", speed[i]);
    }
    if (!(radius > 0.0f) || !std::isfinite(radius))
        throw std::invalid_argument("radius must be a finite number > 0");
    if (!(mass >= 0.0f) || !std::isfinite(mass))
        throw std::invalid_argument("mass must be a finite number >= 0");
    if (name.find('\0') != std::string::npos)
        throw std::invalid_argument("the name holds a NUL character");

    std::lock_guard<std::mutex> lock(g_coreMutex);
    SimObject o;
    o.mass = mass;
    o.radius = radius;
    o.position = {position[0], position[1], position[2]};
    o.speed = {speed[0], speed[1], speed[2]};
    o.acceleration = {0.0f, 0.0f, -body->dGravity};
    o.color = {1.0f, 1.0f, 1.0f};
    if (!name.empty())
        o.name = names.emplace_back(name).c_str();
    o.kind = OBJECT_SOLID;
    body->objects.push_back(o);
}

void CBasin::Press(float x, float y, float radius, float depth)
{
    RequireFinite("x", x);
    RequireFinite("y", y);
    RequireFinite("depth", depth);
    if (!(radius >= 0.0f) || !std::isfinite(radius))
        throw std::invalid_argument("radius must be a finite number >= 0");
    std::lock_guard<std::mutex> lock(g_coreMutex);
    Finger finger;
    finger.down = true;
    finger.x = x;
    finger.y = y;
    finger.radius = radius;
    finger.pressure = depth * body->fDensityGravity;  // as the viewer's finger presses
    body->finger = finger;
}

void CBasin::Lift()
{
    std::lock_guard<std::mutex> lock(g_coreMutex);
    body->finger.down = false;
}
