// ripplex_stability_table: the stability bound of the pipe stage
// (CWaterBody::StableStep) against the step at which a disturbed basin
// actually blows up (tests/support/BlowUp.h), for four grid sizes and three
// sets of divisors, gravity, density and friction. Prints a Markdown table;
// a few minutes on one core. Not a test: the unit test BoundAgainstBlowUp
// checks a few small rows.
#include <cmath>
#include <cstdio>
#include <sstream>

#include "BlowUp.h"
#include "SimFixture.h"

namespace
{
struct Parameters
{
    int crossSectionDivisor;
    int pipeDivisor;
    double gravity;
    double density;
    double friction;
};

const Parameters kSets[] = {
    {1, 1, 9.81, 1.0, 0.0},     // the plainest pipes, no friction
    {3, 1, 9.81, 1.0, 1.0},     // the shipped scenes' pipes
    {2, 3, 2.0, 1000.0, 4.0},   // heavy friction; the density cancels
};
const int kSizes[] = {16, 64, 128, 256};
constexpr int kSteps = 400;

std::string Options(int size, const Parameters& p)
{
    std::ostringstream text;
    text << "iSimulationWidth = " << size << "; iSimulationHeight = " << size << ";"
         << "iCrossSectionDivisor = " << p.crossSectionDivisor << ";"
         << "iPipeDivisor = " << p.pipeDivisor << ";" << std::showpoint
         << "dGravity = " << p.gravity << "; dFluidDensity = " << p.density << ";"
         << "dFriction = " << p.friction << ";";
    return text.str();
}
}  // namespace

int main()
{
    std::printf("| grid | iCrossSectionDivisor | iPipeDivisor | dGravity | dFluidDensity | dFriction "
                "| bound (s) | measured blow-up (s) | measured / bound |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const Parameters& p : kSets)
        for (int size : kSizes)
        {
            const std::string options = Options(size, p);
            double bound;
            {
                CSimFixture fixture(options);
                bound = fixture.body.StableStep();
            }
            // The bisection needs a stable and an unstable end.
            double stable = 0.5 * bound, unstable = 2.0 * bound;
            const char* note = "";
            if (BlowsUp(options, stable, kSteps) || !BlowsUp(options, unstable, kSteps))
                note = " (bracket failed)";
            const double measured = MeasuredBlowUpStep(options, stable, unstable, kSteps);
            std::printf("| %d² | %d | %d | %g | %g | %g | %.5f | %.5f | %.4f%s |\n", size,
                        p.crossSectionDivisor, p.pipeDivisor, p.gravity, p.density, p.friction,
                        bound, measured, measured / bound, note);
            std::fflush(stdout);
        }
    return 0;
}
