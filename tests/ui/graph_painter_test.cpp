// The response pictures: every tab of the graph painter, the specification mask and
// the specification template.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "analysis/ideal_responses.h"
#include "support/hand_built_filters.h"
#include "support/recording_surface.h"
#include "support/specifications.h"
#include "support/xml_check.h"
#include "ui/graph_painter.h"
#include "ui/response_plots.h"

namespace velmora {
namespace {

TDesign& Scratch() {
    static TDesign d;
    return d;
}

void DefaultLowpass(TDesign& d) {
    test::FillSpecification(d, {"default lowpass", Lowpass, 0.5L, 30, 1000, 2000, 0, 0});
    ASSERT_TRUE(test::CalculateApproximations(d));
}

std::string Hex(Color c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.R, c.G, c.B);
    return buf;
}

std::vector<std::string> Texts(const test::XmlCheck& x) {
    std::vector<std::string> t;
    for (const auto& e : x.elements)
        if (e.name == "text") t.push_back(e.text);
    return t;
}

bool HasText(const test::XmlCheck& x, const std::string& text) {
    const auto t = Texts(x);
    return std::find(t.begin(), t.end(), text) != t.end();
}

// Every tab of the default lowpass: a well-formed picture with its captions, one
// curve per approximation in its own colour, and the legend.
TEST(GraphPainter, EveryTabIsWellFormedWithCaptionsCurvesAndLegend) {
    TDesign& d = Scratch();
    DefaultLowpass(d);
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
        if (tab == GraphTab::PoleZero) continue;
        std::vector<std::string> strokes;
        for (const auto& e : x.elements)
            if (e.name == "polyline") strokes.push_back(e.attributes.at("stroke"));
        ASSERT_EQ(strokes.size(), list.size());
        for (size_t k = 0; k < list.size(); ++k)
            EXPECT_EQ(strokes[k], Hex(ApproximationColor(list[k])));
    }
}

// The specification's mask: the passband's window between the specified gain and Apb
// below it, the stopband's ceiling Asb below it, at the edges in Hz; drawn as shaded
// regions with their limit lines where the numbers say, under a gain axis that reaches
// Asb + 20 dB below the passband.
TEST(ResponsePlots, GainMaskAtTheSpecifiedLevelsAndEdges) {
    TDesign& d = Scratch();
    for (const long double asb : {60.0L}) {
        SCOPED_TRACE(static_cast<double>(asb));
        test::FillSpecification(d, {"lowpass", Lowpass, 0.5L, asb, 1000, 2000, 0, 0});
        ASSERT_TRUE(test::CalculateApproximations(d));
        d.Spec.OverallGain = 10.0L; // 20 dB: every level moves up with it
        ComputeIdealResponses(d);
        const ResponseAxes axes = PlotAxes(d, ResponseApproximations(d), PlotOptions{});
        EXPECT_LE(axes.GainDb.Min, 20 - asb - 20);
        EXPECT_LE((axes.GainDb.Max - axes.GainDb.Min) / axes.GainDb.Tick, 14);

        const FrequencyAxis freq{100, 10000, true, true, 2};
        const std::vector<MaskRegion> mask = GainMask(d, freq, true);
        ASSERT_EQ(mask.size(), 3u);
        const long double inf = std::numeric_limits<long double>::infinity();
        // Passband: DC (the axis's end) to 1 kHz, above 20 dB and below 19.5 dB.
        for (int k : {0, 1}) {
            EXPECT_LE(mask[k].X1, 100);
            EXPECT_NEAR(mask[k].X2, 1000, 1e-9L);
        }
        EXPECT_NEAR(mask[0].Lo, 20, 1e-12L);
        EXPECT_EQ(mask[0].Hi, inf);
        EXPECT_EQ(mask[1].Lo, -inf);
        EXPECT_NEAR(mask[1].Hi, 19.5L, 1e-12L);
        // Stopband: 2 kHz on, below 20 - Asb.
        EXPECT_NEAR(mask[2].X1, 2000, 1e-9L);
        EXPECT_GE(mask[2].X2, 10000);
        EXPECT_NEAR(mask[2].Lo, 20 - asb, 1e-12L);
        // Painted: the stopband's limit runs from the 2 kHz abscissa to the frame at the
        // ordinate of 20 - Asb, and the passband's from the frame to 1 kHz at 19.5 dB.
        CurveGraph g;
        g.Freq = freq;
        g.Value = axes.GainDb;
        g.Mask = mask;
        test::RecordingSurface surface;
        PaintCurveGraph(surface, g);
        const PlotArea area = PlotAreaOf(surface.Width(), surface.Height());
        auto line = [&](double x1, double x2, long double db) {
            const double y = YOfValue(axes.GainDb, area, db);
            return "line " + test::RecordingSurface::Num(x1) + "," + test::RecordingSurface::Num(y) + " " +
                   test::RecordingSurface::Num(x2) + "," + test::RecordingSurface::Num(y);
        };
        const double x1k = area.Left + area.Width() / 2,
                     x2k = area.Left + area.Width() * std::log10(20.0) / 2;
        const auto& log = surface.log;
        EXPECT_NE(std::find(log.begin(), log.end(), line(x2k, area.Right, 20 - asb)), log.end());
        EXPECT_NE(std::find(log.begin(), log.end(), line(area.Left, x1k, 19.5L)), log.end());
        EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                [](const std::string& l) {
                                    return l.starts_with("fill") &&
                                           l.ends_with(test::RecordingSurface::Hex(kMaskShade));
                                }),
                  3);
    }
    // A user-defined filter has no mask.
    d.Spec.FilterType = UserDefined;
    EXPECT_TRUE(GainMask(d, FrequencyAxis{}, true).empty());
}

} // namespace
} // namespace velmora

#include "support/recording_dialogs.h"
#include "ui/spec_template.h"
#include "ui/tfm_main.h"

namespace velmora {
namespace {

// The specification form's template, for every filter type in both unit systems: it
// shows the values as typed with their units and the attenuations, every text inside
// the picture and no two texts on top of each other.
TEST(SpecTemplatePainter, LabelsEveryEntryInsideThePictureWithoutOverlap) {
    struct Case {
        uint8_t type;
        bool hz;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
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
        std::vector<std::string> drawn;
        for (const auto& t : s.texts)
            drawn.push_back(t.text);
        for (const std::string& e : c.expected)
            EXPECT_NE(std::find(drawn.begin(), drawn.end(), e), drawn.end()) << e;
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

} // namespace
} // namespace velmora
