// The final-response window as a person uses it: zoom and unzoom, and the point
// calculator a click fills.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "model/number_text.h"
#include "support/step_windows.h"
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

} // namespace
} // namespace velmora
