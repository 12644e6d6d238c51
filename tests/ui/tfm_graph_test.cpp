#include <gtest/gtest.h>

#include <cmath>

#include "analysis/ideal_responses.h"
#include "support/hand_built_filters.h"
#include "support/recording_dialogs.h"
#include "support/specifications.h"
#include "ui/tfm_graph.h"

namespace velmora {
namespace {

using test::RecordingDialogs;

// The plot area of the default 800 x 600 picture: x 144..736, y 60..480.
constexpr double kLeft = 144, kRight = 736, kTop = 60, kBottom = 480;

class TfmGraphTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::FillSpecification(d, {"default lowpass", Lowpass, 0.5L, 30, 1000, 2000, 0, 0});
        ASSERT_TRUE(test::CalculateApproximations(d));
        d.DesignLevel = LevelApproximations;
        graph.FormShow();
    }
    static TDesign& Design() {
        static TDesign design;
        return design;
    }
    TDesign& d = Design();
    RecordingDialogs dialogs;
    TfmGraph graph{d, dialogs};

    // A whole zoom: the button, then the rectangle dragged from (x1, y1) to (x2, y2).
    void DragZoom(double x1, double y1, double x2, double y2) {
        graph.ZoomBtnClick();
        graph.ImageMouseDown(MouseButton::Left, x1, y1);
        graph.ImageMouseUp(MouseButton::Left, x2, y2);
    }
    std::vector<long double> Column() const {
        std::vector<long double> f;
        for (int i = 0; i <= kResponseIntervals; ++i)
            f.push_back(d.FreqColumn[i].F);
        return f;
    }
};

TEST_F(TfmGraphTest, ShowsTheApproximationsWithTheirOrders) {
    EXPECT_TRUE(graph.Visible);
    EXPECT_EQ(graph.Caption, "View frequency and time responses, select Approximation:");
    EXPECT_EQ(graph.Tabs, (std::vector<std::string>{"  Gain  ", "  Phase  ", "  Grp. Delay  ", "  Step  ",
                                                    "  Impulse  ", "  Pole-zero"}));
    const char* captions[] = {" Butterworth ", " Chebyshev ", " Inverse Chebyshev", " Elliptic  (Cauer)  ",
                              " Bessel (Thompson) "};
    for (int i = 0; i < kApproxCount; ++i) {
        const auto& b = graph.ApproxButtons[i];
        EXPECT_EQ(b.Caption, captions[i]);
        EXPECT_EQ(b.Enabled, isUsable(d.Approx[i])) << i;
        const auto& r = d.Approx[i].Result;
        EXPECT_EQ(b.OrderText, r.OrderTooHigh ? "N = >20" : "N = " + std::to_string(r.Order)) << i;
    }
    // The default lowpass: Butterworth of order 7, Elliptic of order 3.
    EXPECT_EQ(graph.ApproxButtons[Butterworth].OrderText, "N = 7");
    EXPECT_EQ(graph.ApproxButtons[Elliptic].OrderText, "N = 3");
    EXPECT_TRUE(graph.BitBtn1Enabled);
    EXPECT_EQ(graph.ApproxIndex, Butterworth);
    // Every approximation shown has its samples.
    for (int a : graph.ShownApproximations())
        EXPECT_GT(d.Approx[a].Ideal[0].GainVV, 0) << a;
    graph.RadioGroup1Click(1); // View single
    EXPECT_EQ(graph.ShownApproximations(), std::vector<int>{Butterworth});
    graph.RadioGroup1Click(0);
    EXPECT_EQ(graph.ShownApproximations(), ResponseApproximations(d));
}

TEST_F(TfmGraphTest, PointOneSeventyFiveOfTenHertzToHundredKilohertzIsOneKilohertz) {
    AxisConfiguration c = graph.ConfigBtnClick();
    c.FreqMin = 10;
    c.FreqMax = 100000;
    c.FreqLog = true;
    ASSERT_TRUE(graph.ApplyConfiguration(c));
    EXPECT_NEAR(d.FreqColumn[175].F, 1000.0L, 1e-9L);
    // A click halfway across reads 1 kHz and lists the gain there for every approximation.
    graph.ImageMouseDown(MouseButton::Left, (kLeft + kRight) / 2, 300);
    EXPECT_TRUE(graph.PtCalc.Visible);
    EXPECT_EQ(graph.PtCalc.EntryCaption, "Frequency (Hz):");
    EXPECT_EQ(graph.PtCalc.EntryText, "1000");
    const auto list = ResponseApproximations(d);
    ASSERT_EQ(graph.PtCalc.Lines.size(), list.size());
    for (size_t k = 0; k < list.size(); ++k) {
        const std::string& line = graph.PtCalc.Lines[k];
        const std::string name = std::string(kApproxNames[list[k]]) + ":  ";
        ASSERT_EQ(line.substr(0, name.size()), name);
        ASSERT_EQ(line.substr(line.size() - 4), "  dB");
        const long double shown = std::stold(line.substr(name.size()));
        const long double sample = d.Approx[list[k]].Ideal[175].GainDb;
        EXPECT_NEAR(shown, sample, 1e-4L * std::max(1.0L, std::fabs(sample))) << line; // five digits
    }
}

TEST_F(TfmGraphTest, ZoomThenUnzoomTwiceRestoresTheAxesExactly) {
    const ZoomState original = ZoomStateOf(graph.Axes);
    const std::vector<long double> column = Column();
    EXPECT_FALSE(graph.UnzoomBtnEnabled);

    DragZoom(200, 100, 600, 400);
    EXPECT_FALSE(graph.ZoomMode);
    EXPECT_TRUE(graph.UnzoomBtnEnabled);
    const ZoomState first = ZoomStateOf(graph.Axes);
    EXPECT_NEAR(first.FreqMin, FrequencyAtX(DefaultFrequencyAxis(d), graph.Area(), 200), 1e-9L);
    // The column, and with it gain, phase and delay, follow the zoomed axis.
    EXPECT_NEAR(d.FreqColumn[0].F, first.FreqMin, 1e-9L * first.FreqMin);
    EXPECT_NEAR(d.FreqColumn[350].F, first.FreqMax, 1e-9L * first.FreqMax);
    for (int a : ResponseApproximations(d)) {
        const IdealFilter f = IdealFilterOf(d, a);
        for (int i : {0, 100, 350}) {
            const long double w = d.FreqColumn[i].W;
            EXPECT_NEAR(d.Approx[a].Ideal[i].GainVV, IdealMagnitude(f, 1, w), 1e-11L);
            EXPECT_NEAR(d.Approx[a].Ideal[i].Phase, IdealPhaseLag(f, w), 1e-9L);
            EXPECT_NEAR(d.Approx[a].Ideal[i].Delay, IdealGroupDelay(f, w), 1e-12L * IdealGroupDelay(f, w));
        }
    }

    DragZoom(300, 150, 500, 350);
    EXPECT_EQ(graph.History.Depth(), 2);
    graph.UnzoomBtnClick();
    EXPECT_EQ(ZoomStateOf(graph.Axes), first);
    EXPECT_TRUE(graph.UnzoomBtnEnabled);
    graph.UnzoomBtnClick();
    EXPECT_EQ(ZoomStateOf(graph.Axes), original);
    EXPECT_EQ(Column(), column);
    EXPECT_FALSE(graph.UnzoomBtnEnabled);

    // A third unzoom is not possible: the button is disabled and nothing changes.
    graph.UnzoomBtnClick();
    EXPECT_EQ(ZoomStateOf(graph.Axes), original);
    EXPECT_EQ(Column(), column);
    EXPECT_TRUE(dialogs.log.empty());
}

TEST_F(TfmGraphTest, RectangleDrawnTheWrongWayGivesTheHintAndChangesNothing) {
    const ZoomState before = ZoomStateOf(graph.Axes);
    const std::vector<long double> column = Column();
    DragZoom(600, 400, 200, 100);
    EXPECT_EQ(dialogs.log,
              std::vector<std::string>{"information: Draw zoom rectangle from upper left to lower "
                                       "right, holding down left mouse button as you draw."});
    EXPECT_EQ(ZoomStateOf(graph.Axes), before);
    EXPECT_EQ(Column(), column);
    EXPECT_FALSE(graph.ZoomMode);
    EXPECT_FALSE(graph.UnzoomBtnEnabled);
    EXPECT_EQ(graph.History.Depth(), 0);
}

TEST_F(TfmGraphTest, ZoomOnALinearGainAxisDownToZeroGivesTheFloor) {
    AxisConfiguration c = graph.ConfigBtnClick();
    c.GainInDb = false;
    c.GainMin = 0;
    c.GainMax = 1.2L;
    ASSERT_TRUE(graph.ApplyConfiguration(c));
    DragZoom(200, 100, 600, kBottom);
    EXPECT_NEAR(graph.Axes.GainVV.Min, 0.0L, 1e-15L);
    EXPECT_EQ(graph.Axes.GainDb.Min, -400.0L);
    EXPECT_TRUE(std::isfinite(static_cast<double>(graph.Axes.GainDb.Max)));
}

TEST_F(TfmGraphTest, ChoosingAnApproximationCommitsIt) {
    std::vector<int> chosen;
    int next = 0;
    graph.OnApproximationChosen = [&](int i) { chosen.push_back(i); };
    graph.OnNext = [&] { ++next; };
    d.Modified = d.StepChanged = 0;

    graph.RadioGroup2Click(Elliptic);
    EXPECT_EQ(chosen, std::vector<int>{Elliptic});
    EXPECT_EQ(d.DesignLevel, LevelApproxChosen);
    EXPECT_EQ(d.CurrentApprox, Elliptic);
    EXPECT_EQ(d.SavedApprox, Elliptic);
    EXPECT_EQ(d.SelectedApprox, Elliptic);
    EXPECT_EQ(d.SavedSelectedApprox, Elliptic);
    EXPECT_TRUE(d.Modified);
    EXPECT_TRUE(d.StepChanged);
    graph.RadioGroup1Click(1);
    EXPECT_EQ(graph.ShownApproximations(), std::vector<int>{Elliptic});

    // The same choice again changes nothing in the design.
    d.Modified = d.StepChanged = 0;
    graph.RadioGroup2Click(Elliptic);
    EXPECT_FALSE(d.Modified);
    EXPECT_FALSE(d.StepChanged);

    // A later design that changes its approximation goes back to level 3.
    d.DesignLevel = LevelComponents;
    graph.RadioGroup2Click(Chebyshev);
    EXPECT_EQ(d.DesignLevel, LevelApproxChosen);

    // An approximation that cannot be used cannot be chosen.
    for (int i = 0; i < kApproxCount; ++i) {
        if (graph.ApproxButtons[i].Enabled) continue;
        graph.RadioGroup2Click(i);
        EXPECT_NE(d.SelectedApprox, i);
    }
    graph.BitBtn1Click();
    EXPECT_EQ(next, 1);
    EXPECT_FALSE(graph.Visible);
}

TEST_F(TfmGraphTest, ConfigureAxes) {
    AxisConfiguration c = graph.ConfigBtnClick();
    // 1 kHz lowpass in Hz: the default axis starts at 100 Hz, so the slider spans 1 Hz .. 100 kHz.
    EXPECT_NEAR(c.FreqSliderMin, 1.0L, 1e-15L);
    EXPECT_NEAR(c.FreqSliderMax, 100000.0L, 1e-9L);
    EXPECT_TRUE(c.FreqLog);
    EXPECT_TRUE(c.GainInDb);

    // A logarithmic axis from 0 starts at the slider's lowest decade instead.
    c.FreqMin = 0;
    c.TimeMinMs = 0;
    c.TimeMaxMs = 10;
    c.Grid = false;
    c.Marker3dB = true;
    ASSERT_TRUE(graph.ApplyConfiguration(c));
    EXPECT_NEAR(graph.Axes.Freq.Min, 1.0L, 1e-15L);
    EXPECT_NEAR(d.FreqColumn[0].F, 1.0L, 1e-15L);
    EXPECT_FALSE(graph.Axes.Grid);
    EXPECT_TRUE(graph.Axes.Marker3dB);
    // 10 ms: 10 units of 1e-3 s, and the step responses over it.
    EXPECT_EQ(graph.Axes.Time.Exp, -3);
    EXPECT_NEAR(graph.Axes.Time.FullScale, 10.0L, 1e-15L);
    EXPECT_NEAR(AxisTime(graph.Axes.Time, 350), 0.01L, 1e-15L);
    const ResidueSet r = Residues(IdealFilterOf(d, Butterworth));
    EXPECT_NEAR(d.Approx[Butterworth].Ideal[350].Step, StepValue(r, 1, 0.01L), 1e-11L);

    // Ranges too narrow (or upside down) are refused and change nothing.
    const ResponseAxes before = graph.Axes;
    for (int k = 0; k < 3; ++k) {
        AxisConfiguration bad = graph.ConfigBtnClick();
        if (k == 0) bad.FreqMax = bad.FreqMin * (1 + 1e-8L);
        if (k == 1) std::swap(bad.GainMin, bad.GainMax);
        if (k == 2) bad.TimeMaxMs = 0;
        dialogs.clear();
        EXPECT_FALSE(graph.ApplyConfiguration(bad));
        EXPECT_EQ(dialogs.log, (std::vector<std::string>{"beep", "warning: Axis range too narrow."}));
        EXPECT_EQ(ZoomStateOf(graph.Axes), ZoomStateOf(before));
        EXPECT_EQ(graph.Axes.Time.FullScale, before.Time.FullScale);
    }
}

TEST_F(TfmGraphTest, FrequencyUnitSwitchKeepsTheAxisInPlace) {
    const long double minHz = graph.Axes.Freq.Min, maxHz = graph.Axes.Freq.Max;
    const long double w175 = d.FreqColumn[175].W;
    d.Opt.FreqUnitsHz = 0;
    graph.FrequencyUnitChanged();
    EXPECT_FALSE(graph.Axes.Freq.Hz);
    EXPECT_NEAR(graph.Axes.Freq.Min, minHz * test::kTwoPi, 1e-9L);
    EXPECT_NEAR(graph.Axes.Freq.Max, maxHz * test::kTwoPi, 1e-9L);
    EXPECT_NEAR(d.FreqColumn[175].W, w175, 1e-9L * w175);
    graph.TabControl1Change(0);
    EXPECT_EQ(graph.PtCalc.EntryCaption, "Frequency (rad/s):");
}

// ---- Point calculator and pole-zero list, on hand-built filters with known values ----

TEST(TfmPtCalc, StepOfAFirstOrderLowpassAtATypedTime) {
    TDesign& d = *new TDesign; // large; freed at the end
    test::HandFilter f = test::HandBuiltFilters()[0];
    ASSERT_EQ(f.name, "first-order lowpass");
    test::Install(d, f);
    RecordingDialogs dialogs;
    TfmGraph graph(d, dialogs);
    graph.FormShow();
    graph.TabControl1Change(static_cast<int>(GraphTab::Step));
    // Pole at 2 pi 1000/s: 40/sigma/3 = 2.1 ms -> axis of 5 x 1e-3 s.
    EXPECT_EQ(graph.PtCalc.EntryCaption, "Time (X1e-3 s)");
    // About one time constant, 1/sigma = 0.159155 ms: close to 1 - 1/e.
    graph.PtCalc.EntryChange("0.159155");
    EXPECT_EQ(graph.PtCalc.EntryText, "0.15915"); // seven characters at most
    graph.PtCalc.CalcBtnClick();
    ASSERT_EQ(graph.PtCalc.Lines.size(), 1u);
    const long double t = 0.15915e-3L;
    const std::string expected = "Butterworth:  " + ReadoutText(1 - std::exp(-f.wpb * t)) + "  volts";
    EXPECT_EQ(graph.PtCalc.Lines[0], expected);
    EXPECT_EQ(ReadoutText(1 - std::exp(-f.wpb * t)), "0.63211");

    graph.TabControl1Change(static_cast<int>(GraphTab::Impulse));
    graph.PtCalc.CalcBtnClick();
    EXPECT_EQ(graph.PtCalc.Lines[0],
              "Butterworth:  " + ReadoutText(f.wpb * std::exp(-f.wpb * t)) + "  volts");

    graph.PtCalc.EntryChange("1.2.3");
    graph.PtCalc.CalcBtnClick();
    EXPECT_EQ(dialogs.log, (std::vector<std::string>{"beep", "warning: Invalid Number."}));
    delete &d;
}

TEST(TfmGraphPoleZeroList, ItemsAndValuesInTheDisplayUnit) {
    struct Case {
        const char* filter;
        bool hz;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"third-order Butterworth lowpass, gain 3.5",
         true,
         {"Pole pair:  p = -500 \u00b1 j866.03 Hz   f0 = 1 KHz   Q = 1", "Single pole:  p = -1000 Hz"}},
        {"third-order Butterworth lowpass, gain 3.5",
         false,
         {"Pole pair:  p = -3141.6 \u00b1 j5441.4 rad/s   w0 = 6.283 Krad/s   Q = 1",
          "Single pole:  p = -6283.2 rad/s"}},
        {"elliptic-like lowpass notch",
         true,
         {"Pole pair:  p = -250 \u00b1 j968.25 Hz   f0 = 1 KHz   Q = 2",
          "Zero pair:  z = \u00b1 j2500 Hz   fz = 2.5 KHz"}},
        {"second-order Butterworth highpass",
         true,
         {"Pole pair:  p = -707.11 \u00b1 j707.11 Hz   f0 = 1 KHz   Q = 0.70711", "2 Single zeros:  z = 0"}},
        // Q = 1/3: two real poles, 1 kHz (3 -+ sqrt 5)/2.
        {"wide bandpass section of Q 1/3 (two real poles)",
         true,
         {"Single pole:  p = -381.97 Hz", "Single pole:  p = -2618 Hz", "Single zero:  z = 0"}},
    };
    for (const auto& c : cases) {
        TDesign& d = *new TDesign;
        for (const auto& f : test::HandBuiltFilters())
            if (f.name == c.filter) test::Install(d, f);
        d.Opt.FreqUnitsHz = c.hz;
        RecordingDialogs dialogs;
        TfmGraph graph(d, dialogs);
        graph.FormShow();
        graph.TabControl1Change(static_cast<int>(GraphTab::PoleZero));
        graph.ImageMouseDown(MouseButton::Left, 400, 300);
        EXPECT_TRUE(graph.PoleZeroListVisible);
        EXPECT_EQ(graph.PoleZeroList, c.lines) << c.filter;
        delete &d;
    }
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

// The rubber band follows the mouse from the corner where the button went down, stays
// inside the plot area, and is gone once the zoom finished; its corners are the zoom's.
TEST_F(TfmGraphTest, RubberBandFollowsTheDragAndEndsWithTheZoom) {
    graph.ImageMouseMove(300, 200);
    EXPECT_FALSE(graph.RubberBand.Visible); // not in zoom mode
    graph.ZoomBtnClick();
    graph.ImageMouseDown(MouseButton::Left, 200, 100);
    graph.ImageMouseMove(300, 900); // below the plot area: held at its bottom
    EXPECT_TRUE(graph.RubberBand.Visible);
    EXPECT_EQ(graph.RubberBand.X1, 200);
    EXPECT_EQ(graph.RubberBand.Y1, 100);
    EXPECT_EQ(graph.RubberBand.X2, 300);
    EXPECT_EQ(graph.RubberBand.Y2, kBottom);
    const FrequencyAxis before = graph.Axes.Freq;
    graph.ImageMouseMove(600, 400);
    graph.ImageMouseUp(MouseButton::Left, 600, 400);
    EXPECT_FALSE(graph.RubberBand.Visible);
    EXPECT_NEAR(static_cast<double>(graph.Axes.Freq.Min),
                static_cast<double>(FrequencyAtX(before, graph.Area(), 200)), 1e-9);
    EXPECT_NEAR(static_cast<double>(graph.Axes.Freq.Max),
                static_cast<double>(FrequencyAtX(before, graph.Area(), 600)), 1e-9);
}

} // namespace
} // namespace velmora
