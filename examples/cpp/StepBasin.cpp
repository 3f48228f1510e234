// step-basin: starts the water of a scene directory with the installed
// Ripplex::core, advances it by STEPS frames of 0.03 s (each in as many
// sub-steps as the grid needs) and prints the summary line ripplex-sim
// prints for the same run. The core's log (refusals, warnings, a
// divergence) goes to standard error.
//
//   step-basin DIRECTORY STEPS
//
// Exit status: 0 done, 1 start refused, 2 bad command line, 3 diverged.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/Log.h"
#include "app/WaterBodyLoader.h"
#include "sim/WaterBody.h"
#include "sim/WaterSummary.h"

int main(int argc, char** argv)
{
    char* end = nullptr;
    const long steps = argc == 3 ? std::strtol(argv[2], &end, 10) : -1;
    if (argc != 3 || end == argv[2] || *end != '\0' || steps < 0)
    {
        std::fprintf(stderr, "usage: step-basin DIRECTORY STEPS\n");
        return 2;
    }

    CLog::Attach(0, stderr);
    const std::unique_ptr<CWaterBody> body = CWaterBodyLoader::Load(argv[1]);
    if (!body)
        return 1;
    const double frame = 0.03;  // seconds, as a double: ripplex-sim's default step
    for (long i = 0; i < steps; ++i)
        if (!body->Advance(frame))
            return 3;

    const WaterSummary s = SummariseWater(*body);
    std::printf("time=%.6f water=%.9g spray=%.9g objects=%zu particles=%zu\n", s.time, s.water,
                s.spray, s.objects, s.particles);
    return 0;
}
