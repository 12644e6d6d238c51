// The whole automatic design, as the command line runs it with no circuit requested:
// the specification step (order, prototype and transformation of all five approximations,
// their rating, the comparison table, the graph ranges and the ideal responses of every
// approximation), the choice of the approximation, pairing, cascading for maximum
// flatness and gain distribution, the rating of every catalogue circuit offered for
// every stage and the automatic choice among them, the components of the chosen
// circuits, and the final response over the 351-point frequency column.
//
// Then the ideal-response recompute after a zoom of the gain graph: the frequency column
// rebuilt over the zoomed limits and the gain, phase and delay of every approximation
// evaluated over it, with the phase and delay axes ranged again.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "analysis/final_response.h"
#include "approx/approximation.h"
#include "circuits/selection.h"
#include "stages/synthesis.h"
#include "ui/dialogs.h"
#include "ui/tfm_main.h"

namespace {

using namespace velmora;

// Answers every question with OK and counts the warnings and errors, as the command
// line does, without writing them anywhere.
class SilentDialogs : public Dialogs {
  public:
    int failures = 0;
    void Beep() override {}
    void Message(MessageKind kind, const std::string&) override {
        if (kind != MessageKind::Information) ++failures;
    }
    Answer AskOkCancel(MessageKind, const std::string&) override { return Answer::Ok; }
    Answer AskYesNoCancel(const std::string&) override { return Answer::No; }
    std::optional<std::string> ChooseFile(const FileChoice&) override { return std::nullopt; }
    void BusyCursor(bool) override {}
};

// A specification as typed into the form; frequencies in kHz (the form's default unit).
struct Request {
    uint8_t type = Lowpass;
    std::string apb = "0.5", asb = "30";
    std::string pass = "1", stop = "2", centre; // lowpass edges, or bandwidths and centre
    std::string order;                          // empty: the estimated order
    int approx = -1;                            // -1: the usable one of lowest order
};

void StartDesign(TfmMain& main, uint8_t type) {
    switch (type) {
    case Lowpass:
        main.Lowpass1Click();
        break;
    case Highpass:
        main.Highpass1Click();
        break;
    case Bandpass:
        main.Bandpass1Click();
        break;
    default:
        main.Bandstop1Click();
        break;
    }
}

// The design from the specification to the final response; the number of final-response
// samples, 0 when a step failed.
std::size_t DesignFilter(const Request& r, TfmMain& main, SilentDialogs& dialogs) {
    TDesign& d = main.Design();
    StartDesign(main, r.type);
    TfmParEnt& form = main.ParEnt;
    form.NumEdit1.Text = r.apb;
    form.NumEdit2.Text = r.asb;
    form.NumEdit3.Text = r.pass;
    form.NumEdit4.Text = r.stop;
    if (!r.centre.empty()) form.NumEdit5.Text = r.centre;
    if (!r.order.empty()) {
        form.CheckBox1Click();
        form.IntEdit1.Text = r.order;
    }
    form.CalcBtnClick();
    if (dialogs.failures > 0 || !form.BitBtn1Enabled) return 0;
    form.BitBtn1Click();
    const int chosen = r.approx < 0 ? DefaultApproximation(d) : r.approx;
    if (chosen < 0 || !isUsable(d.Approx[chosen])) return 0;
    ChooseApproximation(d, chosen);
    if (SynthesiseStages(d) != SynthesisStatus::Ok) return 0;
    if (!DesignStageCircuits(d).ok) return 0;
    return FinalResponseSamples(d).size();
}

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

Request DefaultLowpass() {
    return Request{};
}

// A bandstop of filter order 20 (10 second-order notch stages): 2 kHz centre, 1 kHz
// passband width, 200 Hz stopband width.
Request EllipticBandstop20() {
    Request r;
    r.type = Bandstop;
    r.apb = "0.5";
    r.asb = "60";
    r.pass = "1";
    r.stop = "0.2";
    r.centre = "2";
    r.order = "20";
    r.approx = Elliptic;
    return r;
}

// A Bessel lowpass of order 20 (10 second-order stages) on the default edges.
Request BesselLowpass20() {
    Request r;
    r.order = "20";
    r.approx = Bessel;
    return r;
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
    StartDesign(main, r.type);
    TfmParEnt& form = main.ParEnt;
    form.NumEdit1.Text = r.apb;
    form.NumEdit2.Text = r.asb;
    form.NumEdit3.Text = r.pass;
    form.NumEdit4.Text = r.stop;
    if (!r.centre.empty()) form.NumEdit5.Text = r.centre;
    if (!r.order.empty()) {
        form.CheckBox1Click();
        form.IntEdit1.Text = r.order;
    }
    form.CalcBtnClick();
    if (!form.BitBtn1Enabled) {
        state.SkipWithError("the specification failed");
        return;
    }
    form.BitBtn1Click(); // shows the graph window with the default axes
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
