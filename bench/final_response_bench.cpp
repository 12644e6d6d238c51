// The final response: the cascade of the stages as their calculated components realise
// them, over the 351-point frequency column (gain, phase and delay), for designs taken
// through the automatic path once before timing.
#include <benchmark/benchmark.h>

#include "bench_designs.h"

namespace {

using namespace velmora;
using namespace velmora::bench;

void RunFinalResponse(benchmark::State& state, const Request& r) {
    TDesign d;
    SilentDialogs dialogs;
    TfmMain main(d, dialogs);
    if (DesignFilter(r, main, dialogs) == 0) {
        state.SkipWithError("the design failed");
        return;
    }
    state.counters["stages"] = d.StageCount;
    state.counters["points"] = static_cast<double>(FinalResponseSamples(d).size());
    for (auto _ : state)
        benchmark::DoNotOptimize(FinalResponseSamples(d));
}

void BM_FinalResponseDefaultLowpass(benchmark::State& state) {
    RunFinalResponse(state, DefaultLowpass());
}
BENCHMARK(BM_FinalResponseDefaultLowpass)->Unit(benchmark::kMicrosecond);

void BM_FinalResponseEllipticBandstop20(benchmark::State& state) {
    RunFinalResponse(state, EllipticBandstop20());
}
BENCHMARK(BM_FinalResponseEllipticBandstop20)->Unit(benchmark::kMicrosecond);

void BM_FinalResponseBesselLowpass20(benchmark::State& state) {
    RunFinalResponse(state, BesselLowpass20());
}
BENCHMARK(BM_FinalResponseBesselLowpass20)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
