// Automatic cascade ordering for maximum flatness: every free stage is evaluated over
// the 351-point grid at every position, twice more at each near-tie.
#include <benchmark/benchmark.h>

#include <numbers>

#include "approx/approximation.h"
#include "stages/cascade.h"
#include "stages/pairing.h"
#include "stages/synthesis.h"

namespace {

using namespace velmora;

// A design paired into 10 stages: a Chebyshev bandpass of filter order 20.
TDesign TenStages() {
    constexpr long double twoPi = 2.0L * std::numbers::pi_v<long double>;
    TDesign d;
    NewDesign(d, Bandpass);
    Specification& s = d.Spec;
    s.Apb = 0.5L;
    s.Asb = 40.0L;
    s.NormPassEdge = 1.0L;
    s.Bpb = 2000.0L * twoPi;
    s.Bsb = 4000.0L * twoPi;
    s.w0 = 10000.0L * twoPi;
    s.Selectivity = s.Bsb / s.Bpb;
    s.ForceOrder = 1;
    s.ForcedOrder = 20;
    ClearApproximations(d);
    for (int i = 0; i < kApproxCount; ++i)
        ComputeApproximation(d, i);
    RateApproximations(d);
    ChooseApproximation(d, Chebyshev);
    InitPairingLists(d);
    AutoPair(d);
    return d;
}

void BM_AutoCascadeMaximumFlatness10Stages(benchmark::State& state) {
    const TDesign base = TenStages();
    if (base.StageCount != 10) {
        state.SkipWithError("the design did not give 10 stages");
        return;
    }
    TDesign d = base;
    for (auto _ : state) {
        d.Stages = base.Stages;
        d.Opt.OrderByQp = 0;
        benchmark::DoNotOptimize(AutoCascade(d));
    }
}
BENCHMARK(BM_AutoCascadeMaximumFlatness10Stages)->Unit(benchmark::kMillisecond);

void BM_AutoCascadeIncreasingQp10Stages(benchmark::State& state) {
    const TDesign base = TenStages();
    TDesign d = base;
    for (auto _ : state) {
        d.Stages = base.Stages;
        d.Opt.OrderByQp = 1;
        benchmark::DoNotOptimize(AutoCascade(d));
    }
}
BENCHMARK(BM_AutoCascadeIncreasingQp10Stages)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
