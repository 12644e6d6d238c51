// The ideal-response window: zoom and unzoom, the refused rectangle, the point
// calculator and the pole-zero list against hand-built filters with known values; then
// the pictures and texts it and the other windows paint.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "analysis/ideal_responses.h"
#include "support/hand_built_filters.h"
#include "support/recording_dialogs.h"
#include "support/recording_surface.h"
#include "support/specifications.h"
#include "support/xml_check.h"
#include "ui/filter_template.h"
#include "ui/graph_painter.h"
#include "ui/markup_text.h"
#include "ui/response_plots.h"
#include "ui/tfm_graph.h"
#include "ui/tfm_main.h"

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
    EXPECT_EQ(std::tuple(ZoomStateOf(graph.Axes), Column()), std::tuple(original, column));
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
    const struct Case {
        const char* filter;
        std::vector<std::string> lines;
    } cases[] = {
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

// The pictures and their texts: every tab of the graph painter, the specification
// template and the markup renderer of the help and tuning texts.
bool HasText(const test::XmlCheck& x, const std::string& text) {
    return std::ranges::any_of(x.elements, [&](const auto& e) { return e.name == "text" && e.text == text; });
}

// Every tab of the default lowpass: a well-formed picture with its captions, a curve
// and a legend for every approximation.
TEST(GraphPainter, EveryTabIsWellFormedWithCaptionsCurvesAndLegend) {
    static TDesign d; // large: not on the stack
    test::FillSpecification(d, {"default lowpass", Lowpass, 0.5L, 30, 1000, 2000, 0, 0});
    ASSERT_TRUE(test::CalculateApproximations(d));
    const std::vector<int> list = ResponseApproximations(d);
    ASSERT_GE(list.size(), 3u);
    const ResponseAxes axes = PlotAxes(d, list, PlotOptions{});
    ComputeIdealResponses(d, IdealAxes{axes.Freq, axes.Time});
    for (int t = 0; t < kGraphTabCount; ++t) {
        const GraphTab tab = static_cast<GraphTab>(t);
        SCOPED_TRACE(kGraphTabNames[t]);
        const test::XmlCheck x = test::CheckXml(RenderResponseSvg(d, tab, axes, list));
        ASSERT_TRUE(x.ok) << x.error;
        EXPECT_TRUE(HasText(x, XAxisCaption(tab, axes)));
        EXPECT_TRUE(HasText(x, YAxisCaption(tab, axes)));
        for (int a : list)
            EXPECT_TRUE(HasText(x, ApproximationLegend(d, a)));
        if (tab != GraphTab::PoleZero) {
            EXPECT_EQ(x.Count("polyline"), static_cast<int>(list.size())); // a curve each
        }
    }
}

// The specification form's template, for every filter type in both unit systems: it
// shows the values as typed with their units and the attenuations, every text inside
// the picture and no two texts on top of each other.
TEST(SpecTemplatePainter, LabelsEveryEntryInsideThePictureWithoutOverlap) {
    const struct Case {
        uint8_t type;
        bool hz;
        std::vector<std::string> expected;
    } cases[] = {
        {Lowpass, true, {"fpb = 1 kHz", "fsb = 2 kHz", "-0.5 dB", "-30 dB", "0 dB"}},
        {Bandpass, true, {"Bpb = 1 kHz", "Bsb = 2 kHz", "f0 = 2 kHz"}},
        {Bandstop, false, {"Bpb = 2 krad/s", "Bsb = 1 krad/s", "w0 = 2 krad/s"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        TDesign d;
        test::RecordingDialogs dlg;
        TfmMain main(d, dlg);
        if (!c.hz) main.rads1Click();
        main.StartDesign(c.type);
        test::RecordingSurface s;
        PaintSpecTemplate(s, SpecTemplateOf(main.ParEnt, c.type, c.hz));
        for (const std::string& e : c.expected)
            EXPECT_TRUE(std::ranges::any_of(s.texts, [&](const auto& t) { return t.text == e; })) << e;
        for (size_t i = 0; i < s.texts.size(); ++i) {
            const auto& a = s.texts[i];
            const double aw = a.text.size() * a.size / 2, ah = a.size * 1.25;
            EXPECT_GE(a.x, 0);
            EXPECT_GE(a.y, 0);
            EXPECT_LE(a.x + aw, s.Width()) << a.text;
            EXPECT_LE(a.y + ah, s.Height()) << a.text;
            for (size_t j = i + 1; j < s.texts.size(); ++j) {
                const auto& b = s.texts[j];
                const double bw = b.text.size() * b.size / 2;
                const bool apart = a.x + aw <= b.x || b.x + bw <= a.x || a.y + ah <= b.y || b.y + ah <= a.y;
                EXPECT_TRUE(apart) << a.text << " / " << b.text;
            }
        }
    }
}

// The markup renderer through a recording surface whose metrics make every position a
// hand calculation: at 8 pixels a character is 4 wide, a line 10 high, the baseline 8
// below the top, and a space 4 wide.
using test::RecordingSurface;

// What the renderer draws of a text on a screen of one pixel per point, from (0, 20).
std::vector<std::string> Draw(const std::string& text) {
    RecordingSurface s;
    MarkupDevice screen;
    screen.pixelsPerPoint = 1;
    MarkupLayout layout;
    layout.left = 0, layout.right = 1000, layout.indent = 0, layout.clipBottom = 1000;
    double x = 0, y = 20;
    DrawMarkupText(s, text, x, {}, layout, y, screen);
    return s.log;
}

TEST(MarkupText, CharacterCodesAndCodeWords) {
    const struct Case {
        const char* text;
        std::vector<std::string> log;
    } cases[] = {
        // The second character "1" makes "\177 " a character, not a code.
        {"a \\177 b", {"text 0,20 'a '", "text 8,20 '\u00B1'", "text 12,20 'b'"}},
        // A five-character code that means nothing draws nothing.
        {"a \\zzz b", {"text 0,20 'a '", "text 8,20 'b'"}},
        // Symbol letters are Greek; \bsp joins the next word to the previous one.
        {"\\xx1 w W \\xx0 f \\bsp 0",
         {"text 0,20 '\u03C9 '", "text 8,20 '\u03A9 '", "text 16,20 'f '", "text 20,20 '0'"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Draw(c.text), c.log) << c.text;
}

TEST(MarkupText, PlainTextForTheCommandLine) {
    MarkupSubstitutions subs;
    subs[1] = "1.5 kHz";
    const struct Case {
        const char* markup;
        const char* plain;
    } cases[] = {
        {"\\blu The pole frequency \\xx1 w \\xx0 \\y+2 p \\rt0 is \\d01 \\par Press \\box OK to continue.",
         "The pole frequency \u03C9p is 1.5 kHz\nPress [OK] to continue."},
        {"Gain \\177 1 dB", "Gain \u00B11 dB"},
        {"f \\bsp 0 = 2", "f0 = 2"},
        {"\\bld Note: \\unf \\zzz done  ", "Note: done"},
        {"R \\y-2 2 \\rt0 and C", "R2 and C"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkupPlainText(c.markup, subs), c.plain) << c.markup;
}

} // namespace
} // namespace velmora
