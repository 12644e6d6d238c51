// Monte Carlo of the built filter: 10 000 copies of a 10-stage design (a Chebyshev
// bandpass of filter order 20, circuits chosen automatically), every resistor and
// capacitor drawn and every stage's realised transfer function evaluated over the
// final response's 351 frequencies, or at the mask's frequencies alone for the yield.
#include <benchmark/benchmark.h>

#include <numbers>

#include "analysis/ideal_responses.h"
#include "analysis/monte_carlo.h"
#include "approx/approximation.h"
#include "circuits/selection.h"
#include "stages/synthesis.h"

namespace {

using namespace velmora;

bool TenStageDesign(TDesign& d) {
    constexpr long double twoPi = 2.0L * std::numbers::pi_v<long double>;
    NewDesign(d, Bandpass);
    Specification& s = d.Spec;
    s.FilterType = Bandpass;
    s.Apb = 0.5L;
    s.Asb = 40.0L;
    s.NormPassEdge = 1.0L;
    s.OverallGain = 1.0L;
    s.Bpb = 2000.0L * twoPi;
    s.Bsb = 4000.0L * twoPi;
    s.w0 = 10000.0L * twoPi;
    s.Selectivity = s.Bsb / s.Bpb;
    s.ForceOrder = 1;
    s.ForcedOrder = 20;
    ClearApproximations(d);
    for (int i = 0; i < kApproxCount; ++i)
        if (ComputeApproximation(d, i) != ApproxStatus::Ok) return false;
    RateApproximations(d);
    d.DesignLevel = LevelApproximations;
    ChooseApproximation(d, Chebyshev);
    if (SynthesiseStages(d) != SynthesisStatus::Ok) return false;
    ComputeIdealResponses(d);
    return DesignStageCircuits(d).ok && d.StageCount == 10;
}

void BM_MonteCarlo10000Runs10Stages(benchmark::State& state) {
    TDesign d;
    if (!TenStageDesign(d)) {
        state.SkipWithError("the design did not give 10 realised stages");
        return;
    }
    MonteCarloOptions o;
    o.Runs = 10000;
    for (auto _ : state) {
        const auto r = RunMonteCarlo(d, o);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_MonteCarlo10000Runs10Stages)->Unit(benchmark::kMillisecond);

// The same analysis for its yield: the copies evaluated at the mask's frequencies alone
// (the band edges, the passband's ripple troughs and the stopband's lobes).
void BM_MonteCarloYield10000Runs10Stages(benchmark::State& state) {
    TDesign d;
    if (!TenStageDesign(d)) {
        state.SkipWithError("the design did not give 10 realised stages");
        return;
    }
    MonteCarloOptions o;
    o.Runs = 10000;
    o.W = MaskFrequencies(d);
    state.counters["frequencies"] = static_cast<double>(o.W.size());
    for (auto _ : state) {
        const auto r = RunMonteCarlo(d, o);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_MonteCarloYield10000Runs10Stages)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
