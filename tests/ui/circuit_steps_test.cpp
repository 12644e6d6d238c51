// The stage and circuit step windows as a person meets them: the component window's
// steps (which controls each shows, which window each opens) and its pages; the
// selection window's gain-spread boxes and its foot buttons.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "stages/stage_types.h"
#include "support/recording_surface.h"
#include "support/step_windows.h"

namespace velmora {
namespace {

using test::RecordingSurface;

// The default lowpass (Butterworth, four stages), circuits chosen automatically, the
// component window shown; the windows the steps open are counted.
struct Window : test::StepWindows {
    int gain = 0, components = 0, compensate = 0;

    Window() {
        Calculate();
        main.CirCal.OnGain = [this] { ++gain; };
        main.CirCal.OnComponents = [this] { ++components; };
        main.CirCal.OnCompensate = [this] { ++compensate; };
        main.CirCal.FormShow();
    }
    int StepOf(const std::string& name) const {
        for (std::size_t i = 0; i < main.CirCal.Steps.size(); ++i)
            if (main.CirCal.Steps[i].Name == name) return static_cast<int>(i);
        return -1;
    }
};

TEST(CircuitSteps, EachStepShowsItsControlsAndOpensItsWindow) {
    Window w;
    TfmCirCal& m = w.main.CirCal;
    const struct Case {
        const char* step;
        bool adjust, standard, next, caps, res;
        int gain, components, compensate;
    } cases[] = {
        {"Freq. Response", false, false, true, false, false, 0, 0, 0},
        {"Gain", false, false, false, false, false, 1, 0, 0},
        {"Components", false, false, false, false, false, 1, 1, 0},
        {"Compensation", false, false, false, false, false, 1, 1, 1},
        {"Adjust Values", true, false, false, false, false, 1, 1, 1},
        {"Exact C Values", false, false, false, true, false, 1, 1, 1},
        {"Standard R Values", false, true, false, false, false, 1, 1, 1},
        {"User-Assigned R", false, false, false, false, true, 1, 1, 1},
        {"Final Response", false, false, true, false, false, 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        const int i = w.StepOf(c.step);
        ASSERT_GE(i, 0);
        m.PageIndex = TfmCirCal::TunePage;
        m.StepClick(i);
        EXPECT_EQ(m.StepInstruction, m.Steps[static_cast<std::size_t>(i)].Instruction);
        EXPECT_EQ(
            std::tuple(m.AdjustShown, m.StandardRShown, m.NextHighlighted, m.CapacitorsClickable,
                       m.ResistorsClickable, w.gain, w.components, w.compensate),
            std::tuple(c.adjust, c.standard, c.next, c.caps, c.res, c.gain, c.components, c.compensate));
        // The clicking steps bring the schematic with its values to the front.
        EXPECT_EQ(m.PageIndex, c.caps || c.res ? TfmCirCal::CalcPage : TfmCirCal::TunePage);
        EXPECT_EQ(m.SchematicValues().empty(), !(c.caps || c.res));
    }
    EXPECT_TRUE(w.dlg.log.empty());
}

TEST(CircuitSteps, SelectionFootAndSpreadBoxes) {
    Window w;
    TfmCirSel& s = w.main.CirSel;
    int components = 0, back = 0;
    s.OnComponents = [&] { ++components; };
    s.OnBack = [&] { ++back; };
    s.FormShow();
    const int n = s.Offered();
    ASSERT_EQ(static_cast<int>(s.SpreadBars.size()), n);
    const double W = 420, H = 120;
    EXPECT_EQ(SpreadBarAt(s, W, H, W / 2, H - 2), 0); // the label row
    // A click on the box of candidate 2 excludes it, and a second one includes it again.
    const int k = SpreadBarAt(s, W, H, W / n * 1.5, H / 2);
    ASSERT_EQ(k, 2);
    s.ExcludeClick(k);
    EXPECT_EQ(s.SpreadBars[1].Label, "Excluded");
    RecordingSurface pic;
    PaintSpreadBars(pic, s);
    bool excludedDrawn = false;
    for (const auto& t : pic.texts)
        excludedDrawn |= t.text == "Excluded";
    EXPECT_TRUE(excludedDrawn);
    s.ExcludeClick(k);
    EXPECT_EQ(s.SpreadBars[1].Label, "");
    s.ComponentsClick();
    s.StrategyClick();
    ASSERT_EQ(w.dlg.log.size(), 1u);
    EXPECT_NE(w.dlg.log[0].find("Choosing a circuit"), std::string::npos);
    s.BackClick();
    EXPECT_EQ(std::tuple(components, back), std::tuple(1, 1));
    EXPECT_FALSE(s.Visible);
}

} // namespace
} // namespace velmora
