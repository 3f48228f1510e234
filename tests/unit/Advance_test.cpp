// The stability bound against measured blow-up, the sub-stepped advance
// against plain steps, and the divergence watch.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "BlowUp.h"
#include "SimFixture.h"

namespace
{
// A ball that hits the water at once, so that objects and spray take part.
const char* const kScene = "iSimulationWidth = 30; iSimulationHeight = 24; dGravity = 9.81;"
                           "iCrossSectionDivisor = 3; dFriction = 1.0; dForceFactor = 10.0;"
                           "dParticleThresHold = 0.2; dDefaultHeight = 0.15;";
const char* const kEvents =
    "iEventNumber = 1; iEvent1Type = 1; dEvent1Time = 0.01; strEvent1ObjectName = \"ball\";"
    "dEvent1ObjectMass = 0.001; dEvent1ObjectSize = 0.08; dEvent1ObjectPosZ = 0.2;"
    "dEvent1ObjectSpeedZ = -1.5;";

template <class Advance>
uint64_t StateAfter(int calls, Advance advance)
{
    CSimFixture f(kScene, kEvents);
    for (int i = 0; i < calls; ++i)
        advance(f.body);
    return f.StateHash();
}

// A splash held in the air: every water cell gives `share` of its height
// to one drop high above the basin, counted as the object pass would.
void Lift(CWaterBody& b, float share)
{
    for (uint32_t i = 0; i < 30 * 24; ++i)
        b.cellHeights[i] *= b.IsWaterCell(i) ? 1.0f - share : 1.0f;
    const double volume = share * b.dWatchedWater;
    const float radius = float(std::cbrt(volume / SPHERE_VOLUME_FACTOR));
    b.objects.push_back({0.0f, radius, {0.0f, 0.0f, 5.0f}, {}, {}, {}, nullptr, OBJECT_PARTICLE});
    b.dWatchedSpray += volume;
}
}  // namespace

TEST(StableStep, BasinsHoldAtTheBoundAndBlowUpFifteenPercentAbove)
{
    const std::string common = "dGravity = 2.0; iCrossSectionDivisor = 2; iPipeDivisor = 3;";
    const std::string rows[] = {
        "iSimulationWidth = 14; iSimulationHeight = 14; dGravity = 9.81;",
        "iSimulationWidth = 24; iSimulationHeight = 18; dGravity = 9.81; iCrossSectionDivisor = 3;"
        "dFriction = 1.0;",
        common + "iSimulationWidth = 20; iSimulationHeight = 20; dFluidDensity = 1000.0; dFriction = 4.0;",
        common + "iSimulationWidth = 16; iSimulationHeight = 16; dFriction = 8.0;",  // never grows
    };
    for (const std::string& options : rows)
    {
        double bound;
        {
            CSimFixture f(options);
            bound = f.body.StableStep();
        }
        EXPECT_FALSE(BlowsUp(options, std::isinf(bound) ? 0.1 : bound, 300)) << options;
        EXPECT_TRUE(std::isinf(bound) || BlowsUp(options, 1.15 * bound, 300)) << options;
    }
}

TEST(Advance, OneStepWithinTheBoundAndEqualStepsOverIt)
{
    double safe;
    {
        CSimFixture f(kScene, kEvents);
        safe = f.body.SafeStep();
        EXPECT_EQ(f.body.SubStepsFor(1e12), 10000);  // a huge interval never stalls the caller
    }
    for (auto [factor, n] : {std::pair{0.99, 1}, {2.5, 3}})
    {
        const double interval = factor * safe;
        EXPECT_EQ(StateAfter(40, [&](CWaterBody& b) { EXPECT_TRUE(b.Advance(interval)); }),
                  StateAfter(40, [&](CWaterBody& b) {
                      for (int i = 0; i < n; ++i)
                          b.Step(interval / n);
                  }))
            << factor;
    }
}

// The damage comes after a first advance has taken the start total (the
// ball is in by then). Cell (26, 12) is summed after the eight-lane blocks
// of its row.
TEST(DivergenceWatch, NonFiniteStateLostWaterOrRunawaySprayStopsTheAdvanceWithOneLine)
{
    const struct
    {
        void (*damage)(CWaterBody&);
        int32_t kind;
        const char* what;
    } cases[] = {
        {[](CWaterBody& b) { b.cellHeights[26 + 12 * 30] = NAN; }, DIVERGENCE_CELLS,
         "hauteur ou d\xE9" "bit d'eau non fini"},
        {[](CWaterBody& b) { b.pipeFlows[1][1 + 1 * 30] = INFINITY; }, DIVERGENCE_CELLS,
         "hauteur ou d\xE9" "bit d'eau non fini"},
        {[](CWaterBody& b) { b.objects.at(0).position.x = NAN; }, DIVERGENCE_OBJECTS,
         "position ou vitesse d'un objet non finie"},
        {[](CWaterBody& b) { b.cellHeights[15 + 12 * 30] += 0.15f * 28 * 22 * 0.11f; },
         DIVERGENCE_VOLUME, "eau \xE0 111.0 %, eau et embruns \xE0 111.0 % du volume de d\xE9part"},
        {[](CWaterBody& b) { b.dWatchedSpray = 0.02; }, DIVERGENCE_VOLUME,
         "eau \xE0 100.0 %, eau et embruns \xE0 115.6 % du volume de d\xE9part"},
        {[](CWaterBody& b) { Lift(b, 0.3f); }, DIVERGENCE_SPRAY,
         "embruns en emballement, eau \xE0 70.0 % et embruns \xE0 30.0 % du volume de d\xE9part ; "
         "essayer dParticleThresHold = 0.268 au lieu de 0.2"},
        {[](CWaterBody& b) { Lift(b, 0.2f); }, DIVERGENCE_NONE, ""},  // a splash, not a runaway
        {[](CWaterBody&) {}, DIVERGENCE_NONE, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.kind);
        CSimFixture f(kScene, kEvents);
        ASSERT_TRUE(f.body.Advance(0.03));
        c.damage(f.body);
        const bool healthy = c.kind == DIVERGENCE_NONE;
        EXPECT_EQ(f.body.Advance(0.03), healthy);
        const double time = f.body.dElapsedTime;
        EXPECT_EQ(f.body.Advance(0.03), healthy);
        EXPECT_EQ(f.body.iDivergence, c.kind);
        EXPECT_EQ(f.body.dElapsedTime > time, healthy);
        const std::string log = f.LogText();
        const size_t line = log.find("CWaterBody::Advance -- Simulation divergente \xE0 t = 0.0600 s : " +
                                     std::string(c.what) + " (pas stable maximal ");
        EXPECT_EQ(line != std::string::npos, !healthy) << log;
        EXPECT_EQ(log.find("divergente", line + 50), std::string::npos) << log;
        double water = 0, spray = 0;
        EXPECT_TRUE(f.body.VolumeFractions(&water, &spray));
        if (healthy)  // the ledger: the water and the spray in flight add up to the start
        {
            EXPECT_NEAR(water + spray, 1.0, 1e-3) << water << " + " << spray;
        }
    }
}

TEST(DivergenceWatch, InitWarnsWhenARecordedFrameNeedsMoreThanEightSteps)
{
    CSimFixture f("iSimulationWidth = 64; iSimulationHeight = 64; dGravity = 9.81; iPipeDivisor = 30;");
    EXPECT_NE(f.LogText().find("CWaterBody::Init -- Grille tr\xE8s fine : un pas de 0.03 s demande 9"),
              std::string::npos) << f.LogText();
}
