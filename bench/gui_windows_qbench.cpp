// The desktop program's interactions on a 20th-order design, each measured from the
// input to a finished repaint of the window it changes: start-up to a shown main
// window, Calculate, a tab switch, a zoom and its unzoom, and the frequency-unit switch.
// Runs on Qt's offscreen platform (QT_QPA_PLATFORM=offscreen is set when unset), so the
// painting is the raster painting a screen gets, without a display server.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "main_window.h"
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

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
