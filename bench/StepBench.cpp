// StepBench: the whole simulation step on square grids from 50² to 2048²,
// with waves, a sphere pressing on the water and spray, reported in cell
// steps per second. The fast step runs on one thread and on all threads;
// the plain reference step runs on the same scenes in the same process, so
// the speed-ups are ratios measured side by side. Not a test: nothing here
// checks results (the identity test does).
#include <benchmark/benchmark.h>

#include <cmath>
#include <sstream>
#include <string>

#include "ReferenceStages.h"
#include "SimFixture.h"
#include "sim/Random.h"

namespace
{

// A sphere dropped every half second and taken away just before the next
// one, so that one sphere at a time falls through the surface and presses.
const char* const kEvents =
    "iEventNumber = 2;"
    "iEvent1Type = 1; dEvent1Time = 0.01; bEvent1Once = false; dEvent1AddTime = 0.5;"
    "strEvent1ObjectName = \"ball\"; dEvent1ObjectMass = 0.02; dEvent1ObjectSize = 0.06;"
    "dEvent1ObjectPosX = 0.05; dEvent1ObjectPosY = -0.1; dEvent1ObjectPosZ = 1.1;"
    "dEvent1ObjectSpeedZ = -1.5;"
    "iEvent2Type = 1; dEvent2Time = 0.5; bEvent2Once = false; dEvent2AddTime = 0.5;"
    "bEvent2AddObject = false; strEvent2ObjectName = \"ball\";";

std::string Options(int64_t size, int64_t threads)
{
    // Cells of 0.02 × 0.02 whatever their number: a bigger grid is a bigger
    // basin, so that dt = 0.01 stays stable and the sea looks alike.
    std::ostringstream text;
    text << "iSimulationWidth = " << size << "; iSimulationHeight = " << size << ";"
         << "dSimulationSizeX = " << 0.02 * double(size) << "; dSimulationSizeY = " << 0.02 * double(size) << ";"
         << "iThreads = " << threads << ";"
         << "dFriction = 0.1; dWaterFriction = 2.0; dForceFactor = 0.05;"
         << "dParticleThresHold = 0.3; dSpeedThresHold = 0.1;";
    return text.str();
}

// Three long waves across the basin and two along it.
void MakeWaves(CWaterBody& body)
{
    const uint32_t W = body.iSimulationWidth, H = body.iSimulationHeight;
    const float kx = 6.2831853f * 3.0f / float(W), ky = 6.2831853f * 2.0f / float(H);
    for (uint32_t y = 1; y + 1 < H; ++y)
        for (uint32_t x = 1; x + 1 < W; ++x)
            body.cellHeights[x + y * W] +=
                0.01f * std::sin(kx * float(x)) * std::cos(ky * float(y));
    // The waves were not made by a step: they must not count as a rise.
    body.UpdateCornerHeights();
    body.UpdateCornerHeights();
}

constexpr int kWarmUpSteps = 20;

template <void (*StepFunction)(CWaterBody&, double)>
void RunScene(benchmark::State& state)
{
    const int64_t size = state.range(0), threads = state.range(1);
    CSimFixture fixture(Options(size, threads), kEvents);
    if (!fixture.initialised)
    {
        state.SkipWithError("the scene did not initialise");
        return;
    }
    fixture.body.iThreads = int32_t(threads);
    MakeWaves(fixture.body);
    ResetRandom();
    // Untimed warm-up until the sphere is in and the spray flies; the fast
    // step serves both benchmarks, its states being the reference's.
    for (int step = 0; step < kWarmUpSteps; ++step)
        fixture.body.Step(0.01);
    for (auto _ : state)
        StepFunction(fixture.body, 0.01);
    state.counters["cell_steps"] = benchmark::Counter(
        double(size * size) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["steps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["objects"] = double(fixture.body.objects.size());
}

void FastStep(CWaterBody& body, double dt)
{
    body.Step(dt);
}

void BM_Step(benchmark::State& state)
{
    RunScene<FastStep>(state);
}

void BM_ReferenceStep(benchmark::State& state)
{
    RunScene<ReferenceStep>(state);
}

// Second argument: iThreads (0 = one thread per core).
BENCHMARK(BM_Step)
    ->ArgNames({"size", "threads"})
    ->ArgsProduct({{50, 256, 1024, 2048}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceStep)
    ->ArgNames({"size", "threads"})
    ->ArgsProduct({{50, 256, 1024, 2048}, {1}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
