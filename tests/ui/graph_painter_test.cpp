// The response pictures: every tab of the graph painter and the specification template.
#include <gtest/gtest.h>

#include <algorithm>

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

// Every tab of the default lowpass: a well-formed picture with its captions, a curve
// and a legend for every approximation.
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
        if (tab != GraphTab::PoleZero) {
            EXPECT_EQ(x.Count("polyline"), static_cast<int>(list.size())); // a curve each
        }
    }
}

} // namespace
} // namespace velmora

#include "support/recording_dialogs.h"
#include "ui/filter_template.h"
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
