#include "BlowUp.h"

#include <cmath>
#include <random>

#include "SimFixture.h"

bool BlowsUp(const std::string& options, double dt, int steps)
{
    CSimFixture f(options + "dDefaultHeight = 1.0; dParticleThresHold = 1.0e30;");
    CWaterBody& b = f.body;
    const size_t count = size_t(b.iSimulationWidth) * b.iSimulationHeight;
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> disturbance(-1e-4f, 1e-4f);
    for (size_t i = 0; i < count; ++i)
        b.cellHeights[i] += disturbance(random);
    for (int step = 0; step < steps; ++step)
    {
        b.Step(dt);
        for (size_t i = 0; i < count; ++i)
            if (!(std::fabs(b.cellHeights[i] - 1.0f) <= 0.1f))
                return true;
    }
    return false;
}

double MeasuredBlowUpStep(const std::string& options, double stable, double unstable, int steps)
{
    while (unstable - stable > 1e-4 * stable)
    {
        const double middle = 0.5 * (stable + unstable);
        (BlowsUp(options, middle, steps) ? unstable : stable) = middle;
    }
    return unstable;
}
