// The pictures and their texts: every tab of the graph painter, the specification
// template and the markup renderer of the help and tuning texts.
#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/ideal_responses.h"
#include "support/recording_dialogs.h"
#include "support/recording_surface.h"
#include "support/specifications.h"
#include "support/xml_check.h"
#include "ui/filter_template.h"
#include "ui/graph_painter.h"
#include "ui/markup_text.h"
#include "ui/response_plots.h"
#include "ui/tfm_main.h"

namespace velmora {
namespace {

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
    struct Case {
        const char* text;
        std::vector<std::string> log;
    };
    const Case cases[] = {
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
    struct Case {
        const char* markup;
        const char* plain;
    };
    const Case cases[] = {
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
