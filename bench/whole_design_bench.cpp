// The whole automatic design, as the command line runs it with no circuit requested:
// the specification step (order, prototype and transformation of all five approximations,
// their rating, the comparison table, the graph ranges and the ideal responses of every
// approximation), the choice of the approximation, pairing, cascading for maximum
// flatness and gain distribution, the rating of every catalogue circuit offered for
// every stage and the automatic choice among them, the components of the chosen
// circuits, the final response over the 351-point frequency column, and the tolerance
// summary (the gain spread of every stage at the passband edge, the attenuation bounds
// at the passband and stopband edges).
//
// Then the ideal-response recompute after a zoom of the gain graph: the frequency column
// rebuilt over the zoomed limits and the gain, phase and delay of every approximation
// evaluated over it, with the phase and delay axes ranged again.
#include <benchmark/benchmark.h>

#include "bench_designs.h"

namespace {

using namespace velmora;
using namespace velmora::bench;

void RunWholeDesign(benchmark::State& state, const Request& r, int expectedStages) {
    {
        TDesign d;
        SilentDialogs dialogs;
        TfmMain main(d, dialogs);
        if (DesignFilter(r, main, dialogs) == 0) {
            state.SkipWithError("the design failed");
            return;
        }
        if (expectedStages > 0 && d.StageCount != expectedStages) {
            state.SkipWithError(("the design gave " + std::to_string(d.StageCount) + " stages").c_str());
            return;
        }
        state.counters["stages"] = d.StageCount;
        state.counters["order"] = d.Approx[d.SelectedApprox].Result.Order;
    }
    for (auto _ : state) {
        TDesign d;
        SilentDialogs dialogs;
        TfmMain main(d, dialogs);
        benchmark::DoNotOptimize(DesignFilter(r, main, dialogs));
        benchmark::ClobberMemory();
    }
}

void BM_WholeDesignDefaultLowpass(benchmark::State& state) {
    RunWholeDesign(state, DefaultLowpass(), 0);
}
BENCHMARK(BM_WholeDesignDefaultLowpass)->Unit(benchmark::kMicrosecond);

void BM_WholeDesignEllipticBandstop20(benchmark::State& state) {
    RunWholeDesign(state, EllipticBandstop20(), 10);
}
BENCHMARK(BM_WholeDesignEllipticBandstop20)->Unit(benchmark::kMicrosecond);

void BM_WholeDesignBesselLowpass20(benchmark::State& state) {
    RunWholeDesign(state, BesselLowpass20(), 10);
}
BENCHMARK(BM_WholeDesignBesselLowpass20)->Unit(benchmark::kMicrosecond);

// The zoom: a rectangle drawn on the gain graph from 30 % to 70 % of the plot width and
// from 20 % to 60 % of its height. Iterations alternate between the zoom and the unzoom
// back to the full axes, so every iteration is one recompute of the frequency responses
// of every approximation over the 351-point column.
void RunZoom(benchmark::State& state, const Request& r) {
    TDesign d;
    SilentDialogs dialogs;
    TfmMain main(d, dialogs);
    if (!CalculateSpecification(r, main, dialogs)) {
        state.SkipWithError("the specification failed");
        return;
    }
    main.ParEnt.BitBtn1Click(); // shows the graph window with the default axes
    TfmGraph& g = main.Graph;
    g.TabControl1Change(0); // the gain graph
    const PlotArea a = g.Area();
    const double x1 = a.Left + 0.3 * a.Width(), x2 = a.Left + 0.7 * a.Width();
    const double y1 = a.Top + 0.2 * a.Height(), y2 = a.Top + 0.6 * a.Height();
    int approximations = 0;
    for (int i = 0; i < kApproxCount; ++i)
        approximations += isUsable(d.Approx[i]) ? 1 : 0;
    state.counters["approximations"] = approximations;
    bool zoomed = false;
    for (auto _ : state) {
        if (!zoomed) {
            g.ZoomBtnClick();
            g.ImageMouseDown(MouseButton::Left, x1, y1);
            g.ImageMouseUp(MouseButton::Left, x2, y2);
        } else {
            g.UnzoomBtnClick();
        }
        zoomed = !zoomed;
        benchmark::DoNotOptimize(d.FreqColumn);
    }
    if (g.History.Depth() > 1) state.SkipWithError("the zoom did not alternate");
}

void BM_ZoomRecomputeDefaultLowpass(benchmark::State& state) {
    RunZoom(state, DefaultLowpass());
}
BENCHMARK(BM_ZoomRecomputeDefaultLowpass)->Unit(benchmark::kMicrosecond);

void BM_ZoomRecomputeEllipticBandstop20(benchmark::State& state) {
    RunZoom(state, EllipticBandstop20());
}
BENCHMARK(BM_ZoomRecomputeEllipticBandstop20)->Unit(benchmark::kMicrosecond);

void BM_ZoomRecomputeBesselLowpass20(benchmark::State& state) {
    RunZoom(state, BesselLowpass20());
}
BENCHMARK(BM_ZoomRecomputeBesselLowpass20)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
