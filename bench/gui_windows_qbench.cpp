// The desktop program's interactions on a 20th-order design, each measured from the
// input to a finished repaint of the window it changes: start-up to a shown main
// window, Calculate, a tab switch, a zoom and its unzoom, and the frequency-unit switch;
// then the circuit windows on the 20th-order Bessel lowpass (10 stages): a candidate
// shown and selected, a capacitor value entered, standard values and compensation on and
// off, the final response's stage range; and the Monte Carlo envelope of 10,000 runs
// with the event loop's longest stall while it runs in the background.
// Runs on Qt's offscreen platform (QT_QPA_PLATFORM=offscreen is set when unset), so the
// painting is the raster painting a screen gets, without a display server.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench_designs.h"
#include "main_window.h"
#include "stage_windows.h"
#include "windows.h"

namespace {

using velmora::gui::MainWindow;

// A lowpass forced to order 20 (every approximation of that order), calculated and
// handed on to the ideal responses.
std::unique_ptr<MainWindow> TwentiethOrderWindow(bool toGraph) {
    auto w = std::make_unique<MainWindow>();
    w->Start();
    w->show();
    velmora::TfmMain& m = w->Model();
    m.Lowpass1Click();
    m.ParEnt.CheckBox1Click();
    m.ParEnt.IntEdit1.Text = "20";
    m.ParEnt.CalcBtnClick();
    if (toGraph) m.ParEnt.BitBtn1Click();
    w->Sync();
    QApplication::processEvents();
    return w;
}

void StartUp(benchmark::State& state) {
    for (auto _ : state) {
        MainWindow w;
        w.Start();
        w.show();
        w.repaint();
        QApplication::processEvents();
        w.Design().Modified = 0;
    }
}
BENCHMARK(StartUp)->Unit(benchmark::kMillisecond);

void Calculate(benchmark::State& state) {
    auto w = TwentiethOrderWindow(false);
    for (auto _ : state) {
        w->Model().ParEnt.CalcBtnClick();
        w->Sync();
        w->Spec()->repaint();
    }
    w->Design().Modified = 0;
}
BENCHMARK(Calculate)->Unit(benchmark::kMillisecond);

void TabSwitch(benchmark::State& state) {
    auto w = TwentiethOrderWindow(true);
    int tab = 0;
    for (auto _ : state) {
        tab = (tab + 1) % velmora::kGraphTabCount;
        w->Graph()->Tabs->setCurrentIndex(tab); // the window's own handler, then Sync
        w->Graph()->repaint();
    }
    w->Design().Modified = 0;
}
BENCHMARK(TabSwitch)->Unit(benchmark::kMillisecond);

void ZoomAndUnzoom(benchmark::State& state) {
    auto w = TwentiethOrderWindow(true);
    velmora::TfmGraph& g = w->Model().Graph;
    const velmora::PlotArea a = g.Area();
    for (auto _ : state) {
        g.ZoomBtnClick();
        g.ImageMouseDown(velmora::MouseButton::Left, a.Left + 0.3 * a.Width(), a.Top + 0.1 * a.Height());
        g.ImageMouseUp(velmora::MouseButton::Left, a.Left + 0.6 * a.Width(), a.Top + 0.5 * a.Height());
        w->Sync();
        w->Graph()->repaint();
        g.UnzoomBtnClick();
        w->Sync();
        w->Graph()->repaint();
    }
    state.counters["interactions"] = 2;
    w->Design().Modified = 0;
}
BENCHMARK(ZoomAndUnzoom)->Unit(benchmark::kMillisecond);

void UnitSwitch(benchmark::State& state) {
    auto w = TwentiethOrderWindow(true);
    for (auto _ : state) {
        w->Model().SpeedButton8Click();
        w->Sync();
        w->Graph()->repaint();
    }
    w->Design().Modified = 0;
}
BENCHMARK(UnitSwitch)->Unit(benchmark::kMillisecond);

// ---- The circuit windows and the final response on 10 stages ----------------------

velmora::bench::SilentDialogs& Silent() {
    static velmora::bench::SilentDialogs dialogs;
    return dialogs;
}

// The 20th-order Bessel lowpass through the specification and the ideal responses to the
// circuit selection (automatic pairing and cascading), every stage given the candidate
// shown first; with `toFinal` on through the component calculation to the final response.
std::unique_ptr<MainWindow> BesselWindows(bool toFinal) {
    auto w = std::make_unique<MainWindow>(&Silent());
    w->Start();
    w->show();
    velmora::TfmMain& m = w->Model();
    velmora::bench::CalculateSpecification(velmora::bench::BesselLowpass20(), m, Silent());
    m.ParEnt.BitBtn1Click();
    m.Graph.RadioGroup2Click(velmora::Bessel);
    m.Graph.BitBtn1Click();
    for (int s = 0; s < w->Design().StageCount; ++s) {
        m.CirSel.TabChange(s);
        m.CirSel.FirstClick();
        m.CirSel.SelectClick();
    }
    if (toFinal) {
        m.CirSel.NextClick();
        m.CirCal.NextClick();
    }
    w->InputHandled(nullptr);
    QApplication::processEvents();
    return w;
}

// Whether the windows the interactions act on are shown (else their times would miss
// the painting).
bool Shown(benchmark::State& state, std::initializer_list<QWidget*> windows) {
    for (QWidget* win : windows)
        if (!win->isVisible()) {
            state.SkipWithError("a window of the interaction is not shown");
            return false;
        }
    return true;
}

// After input to `acted`: the main window draws what changed, and every window drawn
// is painted at once (repaint, not update), so the time includes the painting.
void Handled(MainWindow& w, QWidget* acted) {
    velmora::gui::StageWindows& st = *w.Stages();
    const std::vector<QWidget*> windows = {st.CirSel, st.CirCal, st.Compensate, st.CapAdj, w.View()};
    std::vector<int> before;
    for (QWidget* win : windows)
        before.push_back(w.Draws(win));
    w.InputHandled(acted);
    for (std::size_t k = 0; k < windows.size(); ++k)
        if (windows[k]->isVisible() && (windows[k] == acted || w.Draws(windows[k]) != before[k]))
            windows[k]->repaint();
}

int StepIndex(const velmora::TfmCirCal& c, const std::string& name) {
    for (std::size_t i = 0; i < c.Steps.size(); ++i)
        if (c.Steps[i].Name == name) return static_cast<int>(i);
    return -1;
}

// The next candidate of the fifth stage shown and selected, then the one before (two
// interactions, each a show and a select).
void SelectCandidate(benchmark::State& state) {
    auto w = BesselWindows(false);
    velmora::TfmCirSel& sel = w->Model().CirSel;
    sel.TabChange(4);
    Handled(*w, w->Stages()->CirSel);
    if (!Shown(state, {w->Stages()->CirSel})) return;
    bool forward = true;
    for (auto _ : state) {
        forward ? sel.NextCircuitClick() : sel.PriorClick();
        Handled(*w, w->Stages()->CirSel);
        sel.SelectClick();
        Handled(*w, w->Stages()->CirSel);
        forward = !forward;
    }
    state.counters["interactions"] = 2;
    w->Design().Modified = 0;
}
BENCHMARK(SelectCandidate)->Unit(benchmark::kMillisecond);

// C1 of stage 1 entered through its form (within the allowed range), the final
// response open: the stage is calculated again and both windows are drawn.
void ComponentValue(benchmark::State& state) {
    auto w = BesselWindows(true);
    velmora::TfmCirCal& c = w->Model().CirCal;
    c.StepClick(StepIndex(c, "Exact C Values"));
    Handled(*w, w->Stages()->CirCal);
    if (!Shown(state, {w->Stages()->CirCal, w->View()})) return;
    int k = 0;
    for (auto _ : state) {
        c.ComponentClick("C1");
        const long double scale = c.CapAdj.Unit == "pF" ? 1e-12L : c.CapAdj.Unit == "nF" ? 1e-9L : 1e-6L;
        const long double value = c.CapAdj.Min + (c.CapAdj.Max - c.CapAdj.Min) * (k++ % 2 ? 0.3L : 0.6L);
        c.CapAdj.Entry = std::to_string(static_cast<double>(value / scale));
        c.CapAdjOKClick();
        Handled(*w, w->Stages()->CirCal);
    }
    w->Design().Modified = 0;
}
BENCHMARK(ComponentValue)->Unit(benchmark::kMillisecond);

// Standard resistor values on and off again (two interactions), the final response open.
void StandardValues(benchmark::State& state) {
    auto w = BesselWindows(true);
    velmora::TfmCirCal& c = w->Model().CirCal;
    c.StepClick(StepIndex(c, "Standard R Values"));
    Handled(*w, w->Stages()->CirCal);
    if (!Shown(state, {w->Stages()->CirCal, w->View()}) || !c.StandardREnabled) return;
    for (auto _ : state) {
        c.StandardRClick();
        Handled(*w, w->Stages()->CirCal);
        c.StandardRClick();
        Handled(*w, w->Stages()->CirCal);
    }
    state.counters["interactions"] = 2;
    w->Design().Modified = 0;
}
BENCHMARK(StandardValues)->Unit(benchmark::kMillisecond);

// Active compensation of stage 1 chosen and confirmed, then none again (two
// interactions): every stage is calculated again and the final response follows.
void Compensation(benchmark::State& state) {
    auto w = BesselWindows(true);
    velmora::TfmMain& m = w->Model();
    using Mode = velmora::TfmCompensate::Mode;
    if (!Shown(state, {w->Stages()->CirCal, w->View()})) return;
    for (auto _ : state) {
        for (const Mode mode : {Mode::ActiveCompensation, Mode::Neither}) {
            m.Compensate.FormShow();
            m.Compensate.ChoiceClick(mode);
            m.Compensate.OKClick();
            Handled(*w, w->Stages()->Compensate);
        }
    }
    state.counters["interactions"] = 2;
    w->Design().Modified = 0;
}
BENCHMARK(Compensation)->Unit(benchmark::kMillisecond);

// The final response's stages 1 to 5, then all ten (two interactions).
void StageRange(benchmark::State& state) {
    auto w = BesselWindows(true);
    velmora::TfmView& v = w->Model().View;
    if (!Shown(state, {w->View()})) return;
    for (auto _ : state) {
        v.StagesChange(false, 1, 5);
        Handled(*w, w->View());
        v.StagesChange(true, 1, v.ToStage);
        Handled(*w, w->View());
    }
    state.counters["interactions"] = 2;
    w->Design().Modified = 0;
}
BENCHMARK(StageRange)->Unit(benchmark::kMillisecond);

// The Monte Carlo envelope of 10,000 runs from its button: the time to the progress
// bar's first repaint and to the first repaint that shows runs done, the longest stall
// of the event loop while the worker runs (a 1 ms timer measuring how late it fires),
// and the time until the envelope is drawn.
void MonteCarloEnvelope(benchmark::State& state) {
    auto w = BesselWindows(true);
    velmora::gui::ViewWindow* view = w->View();
    velmora::TfmView& v = w->Model().View;
    double shownMs = 0, progressMs = 0, stallMs = 0, totalMs = 0;
    for (auto _ : state) {
        view->McRuns->setValue(10000);
        QElapsedTimer clock;
        clock.start();
        view->MonteCarlo->click();
        view->repaint();
        shownMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QEventLoop loop;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        qint64 last = clock.nsecsElapsed();
        double longest = 0;
        progressMs = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, static_cast<double>(now - last) / 1e6 - 1.0);
            last = now;
            if (progressMs == 0 && view->McProgress->value() > 0) {
                view->repaint();
                progressMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            }
            if (!v.MonteCarloRunning()) loop.quit();
        });
        tick.start();
        loop.exec();
        view->repaint();
        totalMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        stallMs = longest;
        if (v.EnvelopeStatus != velmora::TfmView::EnvelopeState::Done) state.SkipWithError("no envelope");
    }
    state.counters["bar_shown_ms"] = shownMs;
    state.counters["first_progress_ms"] = progressMs;
    state.counters["longest_stall_ms"] = stallMs;
    state.counters["total_ms"] = totalMs;
    w->Design().Modified = 0;
}
BENCHMARK(MonteCarloEnvelope)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
