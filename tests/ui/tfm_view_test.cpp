// The final-response window as a person uses it: its axes ranged over the realised
// curves, zoom and unzoom with their history, "Configure Axes", the point calculator a
// click fills, the picture with the specification's mask and a curve per variant, and
// the check of each realised variant against the specification.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/mask_check.h"
#include "circuits/selection.h"
#include "model/number_text.h"
#include "stages/synthesis.h"
#include "support/recording_dialogs.h"
#include "support/recording_surface.h"
#include "ui/tfm_main.h"
#include "ui/tfm_pt_calc.h"

namespace velmora {
namespace {

using test::RecordingDialogs;
using test::RecordingSurface;

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

// The Butterworth lowpass of the default specification with its circuits chosen and
// calculated, and the final-response window shown.
struct Window {
    std::unique_ptr<TDesign> d = std::make_unique<TDesign>();
    RecordingDialogs dlg;
    TfmMain main{*d, dlg};
    TfmView& view = main.View;

    Window() {
        main.Lowpass1Click();
        main.ParEnt.CalcBtnClick();
        main.ParEnt.BitBtn1Click();
        ChooseApproximation(*d, Butterworth);
        EXPECT_EQ(SynthesiseStages(*d), SynthesisStatus::Ok);
        const CircuitsOutcome o = DesignStageCircuits(*d);
        EXPECT_TRUE(o.ok) << o.message;
        view.FormShow();
        dlg.clear();
    }
    // The abscissa of a frequency on a logarithmic axis, worked out by hand.
    double XOf(long double f) const {
        const PlotArea a = view.Area();
        const FrequencyAxis& ax = view.Axes.Freq;
        return a.Left + a.Width() * static_cast<double>(std::log10(f / ax.Min) / std::log10(ax.Max / ax.Min));
    }
};

TEST(TfmViewAxes, RangedOverTheCurvesWithTheDelayScaleAsState) {
    Window w;
    const TfmView& v = w.view;
    const FrequencyAxis def = DefaultFrequencyAxis(*w.d);
    EXPECT_EQ(v.Axes.Freq.Min, def.Min);
    EXPECT_EQ(v.Axes.Freq.Max, def.Max);
    const auto& s = v.Samples[StandardCExactR];
    ASSERT_EQ(s.size(), static_cast<std::size_t>(kResponsePoints));
    // The curve starts and ends at the axis limits.
    EXPECT_NEAR(s.front().FHz / static_cast<double>(def.Min), 1.0, 1e-9);
    EXPECT_NEAR(s.back().FHz / static_cast<double>(def.Max), 1.0, 1e-9);

    // Independently: the largest gain and delay over the column by point evaluations.
    long double maxDb = -1e9L, maxDelay = 0;
    for (const FinalFrequencySample& p : s) {
        const auto q = FinalResponseAt(*w.d, StandardCExactR, 1, w.d->StageCount, p.W);
        ASSERT_TRUE(q);
        maxDb = std::max(maxDb, GainToDb(q->GainVV));
        maxDelay = std::max(maxDelay, q->Delay);
    }
    EXPECT_LE(v.Axes.GainDb.Max - maxDb, 10.0L);
    EXPECT_GE(v.Axes.GainDb.Max, maxDb);
    // The stopband's limit shows with room beneath it.
    EXPECT_LE(v.Axes.GainDb.Min, 20 * std::log10(w.d->Spec.OverallGain.value()) - w.d->Spec.Asb.value() - 20);
    // The delay scale: the largest delay in (1, 10] units of 10^Exp, under the axis top.
    const long double scaled = maxDelay * std::pow(10.0L, -static_cast<long double>(v.Axes.DelayExp));
    EXPECT_GT(scaled, 1.0L);
    EXPECT_LE(scaled, 10.0L);
    EXPECT_LE(scaled, v.Axes.Delay.Max * (1 + 1e-9L));
    w.view.TabChange(TfmView::DelayTab);
    EXPECT_EQ(v.YCaption, "Delay (X1e" + std::to_string(v.Axes.DelayExp) + " s)");
    w.view.TabChange(TfmView::PhaseTab);
    EXPECT_EQ(v.YCaption, "Phase (degrees)");
    // The phase axis spans the curve in whole multiples of 180 degrees.
    EXPECT_LE(v.Axes.Phase.Min, s.back().PhaseDeg);
    EXPECT_GE(v.Axes.Phase.Max, s.front().PhaseDeg);
    EXPECT_EQ(std::fmod(std::fabs(static_cast<double>(v.Axes.Phase.Min)), 180.0), 0.0);
}

TEST(TfmViewZoom, RectangleHistoryHintAndCursor) {
    Window w;
    TfmView& v = w.view;
    const PlotArea a = v.Area();
    const ResponseAxes start = v.Axes;
    // Outside the plot area nothing happens; inside, the cursor tells the mode.
    EXPECT_EQ(v.CursorAt(a.Left - 5, a.Top + 5), GraphCursor::Arrow);
    EXPECT_EQ(v.CursorAt(a.Left + 5, a.Top + 5), GraphCursor::CrossHair);
    v.ZoomBtnClick();
    EXPECT_EQ(v.CursorAt(a.Left + 5, a.Top + 5), GraphCursor::Zoom);
    v.ImageMouseDown(MouseButton::Right, a.Left + 5, a.Top + 5);
    EXPECT_FALSE(v.ZoomMode);

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
    const ZoomState first = ZoomStateOf(v.Axes);
    v.ZoomBtnClick();
    v.ImageMouseDown(MouseButton::Left, x1, y1);
    v.ImageMouseUp(MouseButton::Left, x2, y2);
    EXPECT_EQ(v.History.Depth(), 2);
    // A variant switched on keeps the zoomed gain range.
    v.VariantClick(OpAmpGbw);
    EXPECT_EQ(v.Samples[OpAmpGbw].size(), static_cast<std::size_t>(kResponsePoints));
    v.UnzoomBtnClick();
    EXPECT_EQ(ZoomStateOf(v.Axes), first);
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

    // Phase in degrees and in radians, the two the same angle.
    v.TabChange(TfmView::PhaseTab);
    v.PtCalc.CalcBtnClick();
    ASSERT_EQ(v.PtCalc.Lines.size(), 1u);
    EXPECT_EQ(v.PtCalc.Lines[0], " Standard C, exact R: " + ReadoutText(-p->PhaseLag) + "  deg");
    v.Axes.PhaseInDegrees = false;
    v.PtCalc.CalcBtnClick();
    EXPECT_EQ(v.PtCalc.Lines[0],
              " Standard C, exact R: " + ReadoutText(-p->PhaseLag * std::numbers::pi_v<long double> / 180) +
                  "  rad");
    v.TabChange(TfmView::DelayTab);
    v.PtCalc.CalcBtnClick();
    EXPECT_EQ(v.PtCalc.Lines[0], " Standard C, exact R: " + ReadoutText(p->Delay) + "  sec");
}

TEST(TfmViewConfigure, AppliesKindsAndRangesRefusesNarrowOnes) {
    Window w;
    TfmView& v = w.view;
    AxisConfiguration c = v.ConfigBtnClick(false);
    EXPECT_FALSE(c.GainInDb);
    c.GainMin = 0;
    c.GainMax = 2;
    c.FreqLog = false;
    c.FreqMin = 100;
    c.FreqMax = 3000;
    c.Grid = false;
    ASSERT_TRUE(v.ApplyConfiguration(c));
    EXPECT_EQ(v.YCaption, "Gain  (Vo/Vin)");
    EXPECT_EQ(v.Axes.GainVV.Min, 0);
    EXPECT_EQ(v.Axes.GainVV.Max, 2);
    EXPECT_NEAR(static_cast<double>(v.Axes.GainDb.Max), 20 * std::log10(2.0), 1e-12);
    // A linear column: equal steps from 100 Hz to 3 kHz.
    const auto& s = v.Samples[StandardCExactR];
    EXPECT_NEAR(s[1].FHz - s[0].FHz, 2900.0 / kResponseIntervals, 1e-6);
    EXPECT_NEAR(s.back().FHz, 3000.0, 1e-9);

    AxisConfiguration narrow = v.ConfigBtnClick();
    narrow.FreqMax = narrow.FreqMin;
    w.dlg.clear();
    EXPECT_FALSE(v.ApplyConfiguration(narrow));
    EXPECT_EQ(w.dlg.messages(), std::vector<std::string>{"warning: Axis range too narrow."});
    EXPECT_EQ(v.Axes.Freq.Max, 3000);
}

TEST(TfmViewPicture, MaskVariantsAndCheckOfEachRealisedVariant) {
    Window w;
    TfmView& v = w.view;
    v.VariantClick(OpAmpGbw);
    RecordingSurface s;
    v.PictureWidth = s.Width();
    v.PictureHeight = s.Height();
    v.Paint(s);
    auto drawn = [&](const std::string& t) {
        return std::any_of(s.texts.begin(), s.texts.end(), [&](const auto& x) { return x.text == t; });
    };
    EXPECT_TRUE(drawn(" Standard C, exact R"));
    EXPECT_TRUE(drawn(" Op amp GBW"));
    EXPECT_TRUE(drawn("Gain  (dB)"));
    const auto count = [&](const std::string& prefix) {
        return std::count_if(s.log.begin(), s.log.end(),
                             [&](const std::string& l) { return l.starts_with(prefix); });
    };
    EXPECT_GE(count("polyline"), 2);
    // The mask: a shaded region per passband bound and the stopband.
    EXPECT_GE(
        std::count_if(s.log.begin(), s.log.end(),
                      [](const std::string& l) { return l.starts_with("fill") && l.ends_with("#fdecec"); }),
        3);

    // The check: the exact values meet the specification they were calculated for; the
    // verdict and the margins agree.
    ASSERT_GE(v.Check.size(), 2u);
    EXPECT_EQ(v.Check[0].Variant, "Exact values");
    EXPECT_EQ(v.Check[0].Verdict, "meets");
    EXPECT_EQ(v.Check[1].Variant, "Exact values, op amps");
    for (const TfmView::CheckRow& r : v.Check) {
        const double pass = std::stod(r.PassMargin), stop = std::stod(r.StopMargin);
        EXPECT_EQ(r.Meets, pass >= -0.01 && stop >= -0.01) << r.Variant;
        EXPECT_EQ(r.Verdict, r.Meets ? "meets" : "misses");
        EXPECT_TRUE(r.PassMargin.ends_with(" dB"));
        EXPECT_NE(r.PassMargin, "-0.000 dB"); // an edge met exactly is no miss
        EXPECT_NE(r.StopMargin, "-0.000 dB");
    }
    // With standard resistors the standard variants join the check and the choice.
    w.d->Components.ResistorTolerance = 5.0L;
    w.main.CirCal.FormShow();
    w.main.CirCal.StandardRClick();
    v.FormShow();
    EXPECT_TRUE(v.VariantEnabled[StandardRSubstitution]);
    ASSERT_EQ(v.Check.size(), 4u);
    EXPECT_EQ(v.Check[2].Variant, "Standard values");
    EXPECT_EQ(v.Check[3].Variant, "Standard values, op amps");
}

} // namespace
} // namespace velmora
