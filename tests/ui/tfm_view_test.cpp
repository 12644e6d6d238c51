// The final-response window as a person uses it: zoom and unzoom, and the point
// calculator a click fills; and the simulator's sweep read back for the overlay.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "model/number_text.h"
#include "support/step_windows.h"
#include "ui/ngspice_overlay.h"
#include "ui/tfm_pt_calc.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

// The Butterworth lowpass of the default specification with its circuits chosen and
// calculated, and the final-response window shown.
struct Window : test::StepWindows {
    TfmView& view = main.View;

    Window() {
        Calculate();
        view.FormShow();
    }
    // The abscissa of a frequency on a logarithmic axis, worked out by hand.
    double XOf(long double f) const {
        const PlotArea a = view.Area();
        const FrequencyAxis& ax = view.Axes.Freq;
        return a.Left + a.Width() * static_cast<double>(std::log10(f / ax.Min) / std::log10(ax.Max / ax.Min));
    }
};

TEST(TfmViewZoom, RectangleHintAndUnzoom) {
    Window w;
    TfmView& v = w.view;
    const PlotArea a = v.Area();
    const ResponseAxes start = v.Axes;
    // Drawn the wrong way: the hint, and the axes as they were.
    v.ZoomBtnClick();
    v.ImageMouseDown(MouseButton::Left, a.Left + 200, a.Top + 200);
    v.ImageMouseUp(MouseButton::Left, a.Left + 100, a.Top + 100);
    EXPECT_EQ(w.dlg.messages(), std::vector<std::string>{std::string("information: ") + kZoomHint});
    EXPECT_EQ(ZoomStateOf(v.Axes), ZoomStateOf(start));
    EXPECT_FALSE(v.UnzoomBtnEnabled);

    // Two zooms: the limits are the corners' frequencies and gains, the curves follow.
    const double x1 = a.Left + a.Width() * 0.25, x2 = a.Left + a.Width() * 0.75;
    const double y1 = a.Top + a.Height() * 0.1, y2 = a.Top + a.Height() * 0.5;
    const long double fMin = start.Freq.Min * std::pow(start.Freq.Max / start.Freq.Min, 0.25L);
    const long double dbMax = start.GainDb.Max - 0.1L * (start.GainDb.Max - start.GainDb.Min);
    v.ZoomBtnClick();
    v.ImageMouseDown(MouseButton::Left, x1, y1);
    v.ImageMouseMove(x2, y2);
    v.ImageMouseUp(MouseButton::Left, x2, y2);
    EXPECT_NEAR(static_cast<double>(v.Axes.Freq.Min / fMin), 1.0, 1e-6);
    EXPECT_NEAR(static_cast<double>(v.Axes.GainDb.Max), static_cast<double>(dbMax), 1e-6);
    EXPECT_NEAR(v.Samples[StandardCExactR].front().FHz / static_cast<double>(v.Axes.Freq.Min), 1.0, 1e-9);
    v.VariantClick(OpAmpGbw); // a variant switched on keeps the zoomed range
    EXPECT_EQ(v.Samples[OpAmpGbw].size(), static_cast<std::size_t>(kResponsePoints));
    v.UnzoomBtnClick();
    EXPECT_EQ(ZoomStateOf(v.Axes), ZoomStateOf(start));
    EXPECT_FALSE(v.UnzoomBtnEnabled);
}

TEST(TfmViewPointCalculator, ClickEvaluatesInTheUnitsOfTheAxes) {
    Window w;
    TfmView& v = w.view;
    const PlotArea a = v.Area();
    // A click on the gain graph at 1 kHz, the default passband edge.
    v.ImageMouseDown(MouseButton::Left, w.XOf(1000.0L), a.Top + 10);
    ASSERT_TRUE(v.PtCalc.Visible);
    EXPECT_EQ(v.PtCalc.EntryCaption, "Frequency (Hz):");
    EXPECT_LE(v.PtCalc.EntryText.size(), 7u);
    long double f = 0;
    ASSERT_TRUE(ParseDecimal(v.PtCalc.EntryText, f));
    EXPECT_NEAR(static_cast<double>(f), 1000.0, 0.5);
    const auto p = FinalResponseAt(*w.d, StandardCExactR, 1, w.d->StageCount, kTwoPi * f);
    ASSERT_TRUE(p);
    ASSERT_EQ(v.PtCalc.Lines.size(), 1u);
    EXPECT_EQ(v.PtCalc.Lines[0], " Standard C, exact R: " + ReadoutText(GainToDb(p->GainVV)) + "  dB");
    // At the passband edge the Butterworth filter is Apb down.
    EXPECT_NEAR(static_cast<double>(GainToDb(p->GainVV) - 20 * std::log10(w.d->Spec.OverallGain.value())),
                -static_cast<double>(w.d->Spec.Apb.value()), 0.01);

    // The delay at the same frequency, in seconds.
    v.TabChange(TfmView::DelayTab);
    v.PtCalc.CalcBtnClick();
    EXPECT_EQ(v.PtCalc.Lines[0], " Standard C, exact R: " + ReadoutText(p->Delay) + "  sec");
}

// Reading ngspice's AC data back: gain and phase of hand-made lines against their closed
// forms, the phase unwrapped through the negative real axis, a second (Monte Carlo) sweep
// left out, and text that is no sweep refused.
TEST(NgspiceOverlay, ReadsTheFirstSweepWithUnwrappedPhase) {
    // A phase running from -170 to -190 degrees: atan2 jumps to +170 there, the reading must not.
    const std::string text = " 1.0e+02  -0.98480775  -0.17364818\n"
                             " 2.0e+02  -1.00000000   0.00000000\n"
                             " 4.0e+02  -0.49240388   0.08682409\n"
                             "\n"
                             " 1.0e+02  -0.5 0.0\n"; // a second run
    const auto s = ReadNgspiceAc(text);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->size(), 3u);
    const double gains[] = {0, 0, 20 * std::log10(0.5)}, phases[] = {-170, -180, -190};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR((*s)[i].GainDb, gains[i], 1e-6) << i;
        EXPECT_NEAR((*s)[i].PhaseDeg, phases[i], 1e-5) << i;
        EXPECT_NEAR((*s)[i].W, 2 * M_PI * (*s)[i].FHz, 1e-9 * (*s)[i].W);
    }
    for (const char* bad :
         {"", "1e2 1 0\n", "1e2 1 0\nCircuit: x\n", "1e2 nan 0\n2e2 1 0\n", "-1 1 0\n2 1 0\n"})
        EXPECT_FALSE(ReadNgspiceAc(bad)) << bad;
    EXPECT_EQ(std::tuple(OutputTail("a\nb\nc\nd\n\n", 2), OutputTail("only", 5)), std::tuple("c\nd", "only"));
}

} // namespace
} // namespace velmora
