// PassTimes: glFinish, the real-time lap and the process's processor time
// around each pass.

#include "scene/PassTimes.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace
{

bool PassesWanted()
{
    static const char* wanted = std::getenv("RIPPLEX_FRAME_TIMES");
    return wanted != nullptr && std::strcmp(wanted, "passes") == 0;
}

double ProcessorSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

}  // namespace

PassTimes::PassTimes(const char* label, std::initializer_list<const char*> passNames) : label(label)
{
    for (const char* name : passNames)
        if (count < MAX_PASSES)
            names[count++] = name;
}

void PassTimes::Start()
{
    on = PassesWanted();
    if (!on)
        return;
    glFinish();
    timer.Start();
    cpu = ProcessorSeconds();
}

void PassTimes::End(int pass)
{
    if (!on || pass < 0 || pass >= count)
        return;
    glFinish();
    real[pass] = timer.Lap() * 1000.0;
    double now = ProcessorSeconds();
    processor[pass] = (now - cpu) * 1000.0;
    cpu = now;
}

void PassTimes::Print() const
{
    if (!on)
        return;
    for (const double* times : {real, processor})
    {
        std::fprintf(stderr, "%s%s", label, times == real ? "" : "-cpu");
        for (int pass = 0; pass < count; ++pass)
            std::fprintf(stderr, " %s %.3f", names[pass], times[pass]);
        std::fprintf(stderr, " ms\n");
    }
}
