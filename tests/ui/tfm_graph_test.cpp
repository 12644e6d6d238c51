// The ideal-response window: zoom and unzoom, the refused rectangle, the point
// calculator and the pole-zero list against hand-built filters with known values.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "analysis/ideal_responses.h"
#include "support/hand_built_filters.h"
#include "support/recording_dialogs.h"
#include "support/specifications.h"
#include "ui/tfm_graph.h"

namespace velmora {
namespace {

using test::RecordingDialogs;

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

TEST_F(TfmGraphTest, ZoomThenUnzoomTwiceRestoresTheAxesExactly) {
    const ZoomState original = ZoomStateOf(graph.Axes);
    const std::vector<long double> column = Column();
    // A rectangle drawn the wrong way: the hint, and nothing changes.
    DragZoom(600, 400, 200, 100);
    EXPECT_EQ(dialogs.log,
              std::vector<std::string>{"information: Draw zoom rectangle from upper left to lower "
                                       "right, holding down left mouse button as you draw."});
    EXPECT_EQ(ZoomStateOf(graph.Axes), original);
    EXPECT_FALSE(graph.UnzoomBtnEnabled);

    DragZoom(200, 100, 600, 400);
    EXPECT_FALSE(graph.ZoomMode);
    const ZoomState first = ZoomStateOf(graph.Axes);
    EXPECT_NEAR(first.FreqMin, FrequencyAtX(DefaultFrequencyAxis(d), graph.Area(), 200), 1e-9L);
    // The column, and with it gain, phase and delay, follow the zoomed axis.
    EXPECT_NEAR(d.FreqColumn[0].F, first.FreqMin, 1e-9L * first.FreqMin);
    EXPECT_NEAR(d.FreqColumn[350].F, first.FreqMax, 1e-9L * first.FreqMax);
    DragZoom(300, 150, 500, 350);
    graph.UnzoomBtnClick();
    EXPECT_EQ(ZoomStateOf(graph.Axes), first);
    graph.UnzoomBtnClick();
    EXPECT_EQ(ZoomStateOf(graph.Axes), original);
    EXPECT_EQ(Column(), column);
    EXPECT_FALSE(graph.UnzoomBtnEnabled);
}

// ---- Point calculator and pole-zero list, on hand-built filters with known values ----

// A hand-built filter in a design of its own (large: on the heap), its graph on a tab.
struct HandGraph {
    std::unique_ptr<TDesign> d = std::make_unique<TDesign>();
    RecordingDialogs dialogs;
    TfmGraph graph{*d, dialogs};
    test::HandFilter filter;

    HandGraph(const std::string& name, GraphTab tab, bool hz = false) {
        for (const auto& f : test::HandBuiltFilters())
            if (f.name == name) filter = f;
        EXPECT_EQ(filter.name, name);
        test::Install(*d, filter);
        d->Opt.FreqUnitsHz = hz;
        graph.FormShow();
        graph.TabControl1Change(static_cast<int>(tab));
    }
};

TEST(TfmPtCalc, StepOfAFirstOrderLowpassAtATypedTime) {
    HandGraph h("first-order lowpass", GraphTab::Step);
    TfmGraph& graph = h.graph;
    const test::HandFilter& f = h.filter;
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

    graph.PtCalc.EntryChange("1.2.3");
    graph.PtCalc.CalcBtnClick();
    EXPECT_EQ(h.dialogs.log, (std::vector<std::string>{"beep", "warning: Invalid Number."}));
}

TEST(TfmGraphPoleZeroList, ItemsAndValuesInTheDisplayUnit) {
    struct Case {
        const char* filter;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"third-order Butterworth lowpass, gain 3.5",
         {"Pole pair:  p = -500 \u00b1 j866.03 Hz   f0 = 1 KHz   Q = 1", "Single pole:  p = -1000 Hz"}},
        {"elliptic-like lowpass notch",
         {"Pole pair:  p = -250 \u00b1 j968.25 Hz   f0 = 1 KHz   Q = 2",
          "Zero pair:  z = \u00b1 j2500 Hz   fz = 2.5 KHz"}},
        // Q = 1/3: two real poles, 1 kHz (3 -+ sqrt 5)/2.
        {"wide bandpass section of Q 1/3 (two real poles)",
         {"Single pole:  p = -381.97 Hz", "Single pole:  p = -2618 Hz", "Single zero:  z = 0"}},
    };
    for (const auto& c : cases) {
        HandGraph h(c.filter, GraphTab::PoleZero, true);
        h.graph.ImageMouseDown(MouseButton::Left, 400, 300);
        EXPECT_TRUE(h.graph.PoleZeroListVisible);
        EXPECT_EQ(h.graph.PoleZeroList, c.lines) << c.filter;
    }
}

} // namespace
} // namespace velmora
