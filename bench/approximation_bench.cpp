// The approximation step for one specification: order estimation, the normalised
// prototype's poles and zeros and their transformation to the filter's frequencies for
// all five approximations, and their rating (zero counts, largest pole Q); then the same
// with the 351-point frequency response (gain, phase and delay) of each approximation
// over the default frequency axis, the work a filter-design library does when it
// returns the order, the poles and zeros and a frequency response.
//
// The specification is the default lowpass: 0.5 dB passband ripple up to 1 kHz, 30 dB
// stopband attenuation from 2 kHz, unit gain.
#include <benchmark/benchmark.h>

#include <numbers>

#include "analysis/frequency_response.h"
#include "analysis/ideal_responses.h"
#include "approx/approximation.h"

namespace {

using namespace velmora;

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

TDesign DefaultLowpassSpecification() {
    TDesign d;
    NewDesign(d, Lowpass);
    Specification& s = d.Spec;
    s.Apb = s.ApbEntry = 0.5L;
    s.Asb = s.AsbEntry = 30.0L;
    s.NormPassEdge = 1.0L;
    s.wpb = 1000.0L * kTwoPi;
    s.wsb = 2000.0L * kTwoPi;
    s.Selectivity = s.wsb / s.wpb;
    s.OverallGain = 1.0L;
    return d;
}

bool ComputeAll(TDesign& d) {
    ClearApproximations(d);
    for (int i = 0; i < kApproxCount; ++i)
        if (ComputeApproximation(d, i) != ApproxStatus::Ok) return false;
    RateApproximations(d);
    return true;
}

void SetOrderCounters(benchmark::State& state, const TDesign& d) {
    static const char* const names[kApproxCount] = {"butterworth", "chebyshev", "inverse_chebyshev",
                                                    "elliptic", "bessel"};
    for (int i = 0; i < kApproxCount; ++i)
        state.counters[std::string("order_") + names[i]] = d.Approx[i].Result.Order;
}

void BM_ApproximationStep(benchmark::State& state) {
    const TDesign base = DefaultLowpassSpecification();
    TDesign d = base;
    if (!ComputeAll(d)) {
        state.SkipWithError("the Bessel root file could not be read");
        return;
    }
    SetOrderCounters(state, d);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ComputeAll(d));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ApproximationStep)->Unit(benchmark::kMicrosecond);

void BM_ApproximationStepAndResponse(benchmark::State& state) {
    const TDesign base = DefaultLowpassSpecification();
    TDesign d = base;
    if (!ComputeAll(d)) {
        state.SkipWithError("the Bessel root file could not be read");
        return;
    }
    SetOrderCounters(state, d);
    state.counters["points"] = kResponsePoints;
    for (auto _ : state) {
        ComputeAll(d);
        ComputeIdealFrequencyResponses(d, DefaultFrequencyAxis(d));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ApproximationStepAndResponse)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
