// The stage and circuit step windows as a person meets them: the component window's
// steps (which controls each shows, which window each opens), its pages, the tuning
// page drawn with the markup renderer, the standard-value marks; the selection window's
// gain-spread boxes and its foot buttons; the cascade's Up/Down flags; the gain grid.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>

#include "circuits/selection.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"
#include "support/recording_dialogs.h"
#include "support/recording_surface.h"
#include "ui/markup_text.h"
#include "ui/tfm_main.h"
#include "ui/tuning_text.h"

namespace velmora {
namespace {

using test::RecordingDialogs;
using test::RecordingSurface;

// The default lowpass (Butterworth, four stages), circuits chosen automatically, the
// component window shown; the windows the steps open are counted.
struct Window {
    std::unique_ptr<TDesign> d = std::make_unique<TDesign>();
    RecordingDialogs dlg;
    TfmMain main{*d, dlg};
    int gain = 0, components = 0, compensate = 0;

    Window() {
        main.Lowpass1Click();
        main.ParEnt.CalcBtnClick();
        main.ParEnt.BitBtn1Click();
        ChooseApproximation(*d, Butterworth);
        EXPECT_EQ(SynthesiseStages(*d), SynthesisStatus::Ok);
        EXPECT_TRUE(DesignStageCircuits(*d, {}).ok);
        main.CirCal.OnGain = [this] { ++gain; };
        main.CirCal.OnComponents = [this] { ++components; };
        main.CirCal.OnCompensate = [this] { ++compensate; };
        main.CirCal.FormShow();
        dlg.clear();
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
    struct Case {
        const char* step;
        bool adjust, standard, next, caps, res;
        int gain, components, compensate;
    };
    const Case cases[] = {
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
        EXPECT_EQ(m.AdjustShown, c.adjust);
        EXPECT_EQ(m.StandardRShown, c.standard);
        EXPECT_EQ(m.NextHighlighted, c.next);
        EXPECT_EQ(m.CapacitorsClickable, c.caps);
        EXPECT_EQ(m.ResistorsClickable, c.res);
        EXPECT_EQ(w.gain, c.gain);
        EXPECT_EQ(w.components, c.components);
        EXPECT_EQ(w.compensate, c.compensate);
        // The clicking steps bring the schematic with its values to the front.
        EXPECT_EQ(m.PageIndex, c.caps || c.res ? TfmCirCal::CalcPage : TfmCirCal::TunePage);
        EXPECT_EQ(m.SchematicValues().empty(), !(c.caps || c.res));
    }
    // The quick choices: without variations in this design the first falls back to the
    // first step; the others land on their steps.
    m.QuickChoiceClick(2);
    EXPECT_EQ(m.StepIndex, w.StepOf("Gain"));
    m.QuickChoiceClick(1);
    EXPECT_EQ(m.StepIndex, w.StepOf("Freq. Response"));
    m.QuickChoiceClick(0);
    EXPECT_EQ(m.StepIndex, w.StepOf("Variations") >= 0 ? w.StepOf("Variations") : 0);
    EXPECT_TRUE(w.dlg.log.empty());
}

TEST(CircuitSteps, StandardValuesMarkEveryResistorAndTheStatusLine) {
    Window w;
    TfmCirCal& m = w.main.CirCal;
    for (int tab = 0; tab < w.d->StageCount; ++tab) {
        m.TabChange(tab);
        EXPECT_EQ(m.StatusStandard, "");
        // A computed value is nudged off the series, so it never passes for standard.
        for (const auto& r : m.Components)
            if (r.Name[0] == 'R') {
                EXPECT_EQ(r.Mark, "Exact") << r.Name;
            }
    }
    m.StepClick(w.StepOf("Standard R Values"));
    m.StandardRClick();
    for (int tab = 0; tab < w.d->StageCount; ++tab) {
        m.TabChange(tab);
        EXPECT_EQ(m.StatusStandard, "Stnd 1% resistors");
        for (const auto& r : m.Components) {
            if (r.Name[0] != 'R') continue;
            EXPECT_EQ(r.Mark, "Stnd 1%") << r.Name;
            // An E96 value has three significant digits: 100..976 times a power of ten.
            long double v = r.Value;
            while (v >= 1000.0L)
                v /= 10.0L;
            while (v < 100.0L)
                v *= 10.0L;
            EXPECT_NEAR(static_cast<double>(v), std::round(static_cast<double>(v)), 1e-6) << r.Name;
        }
    }
    // The starting capacitor C1 (1 nF or 10 nF) is a series value.
    for (const auto& r : m.Components)
        if (r.Name == "C1") {
            EXPECT_EQ(r.Mark, "Stnd") << r.Name;
        }
}

TEST(CircuitSteps, TuningPageDrawsTheSameWordsAsThePlainText) {
    Window w;
    TfmCirCal& m = w.main.CirCal;
    for (int tab = 0; tab < w.d->StageCount; ++tab) {
        SCOPED_TRACE(tab);
        m.TabChange(tab);
        m.PageChange(TfmCirCal::TunePage);
        RecordingSurface s;
        const double height = m.PaintTuning(s);
        EXPECT_GT(height, 100.0);
        std::string drawn;
        for (const auto& t : s.texts)
            for (const char c : t.text)
                if (c != ' ') drawn += c; // \bsp joins words the renderer draws apart
        // Every word of the command line's plain text (an independent path through the
        // markup codes) is drawn; the spaces and arrows differ between the two.
        const std::string plain = TuningPlainText(*w.d, tab + 1);
        ASSERT_FALSE(plain.empty());
        std::string word;
        std::set<std::string> missing;
        for (const char c : plain + " ") {
            if (c == ' ' || c == '\n' || c == ',' || c == '(' || c == ')') {
                if (word.size() > 1 && word != "->" && word.find("repeat") == std::string::npos &&
                    drawn.find(word) == std::string::npos)
                    missing.insert(word);
                word.clear();
            } else {
                word += c;
            }
        }
        for (const char* allowed : {"sequence", "Parameters:", "with", "next", "the", "in", "turn"})
            missing.erase(allowed);
        EXPECT_TRUE(missing.empty()) << *missing.begin();
    }
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
    // The centre of every box finds its candidate; the gaps and the label row find none.
    const double W = 420, H = 120;
    int found = 0;
    for (double x = 0; x < W; x += 1) {
        const int k = SpreadBarAt(s, W, H, x, H / 2);
        EXPECT_TRUE(k == 0 || k == found || k == found + 1) << x;
        found = std::max(found, k);
    }
    EXPECT_EQ(found, n);
    EXPECT_EQ(SpreadBarAt(s, W, H, W / 2, H - 2), 0);
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
    EXPECT_EQ(components, 1);
    EXPECT_EQ(back, 1);
    EXPECT_FALSE(s.Visible);
}

TEST(CascadeWindow, UpAndDownAreEnabledWhereTheyMove) {
    Window w;
    TfmCascade& c = w.main.Cascade;
    c.FormShow();
    const int n = w.d->StageCount;
    ASSERT_GE(n, 3);
    struct Case {
        int row;
        bool up, down;
    };
    for (const Case k : {Case{-1, false, false}, Case{0, false, true}, Case{1, true, true},
                         Case{n - 1, true, false}, Case{n, false, false}}) {
        c.RowClick(k.row);
        EXPECT_EQ(c.UpEnabled, k.up) << k.row;
        EXPECT_EQ(c.DownEnabled, k.down) << k.row;
    }
    // Moving the second row up to the top leaves it selected there, with Up disabled.
    c.RowClick(1);
    const std::string moved = c.Rows[1].type;
    c.UpClick();
    EXPECT_EQ(c.Selected, 0);
    EXPECT_EQ(c.Rows[0].type, moved);
    EXPECT_FALSE(c.UpEnabled);
    int criteria = 0;
    c.OnCriteria = [&] { ++criteria; };
    c.CriteriaClick();
    EXPECT_EQ(criteria, 1);
}

TEST(GainWindow, GridShowsEveryStageWithItsBar) {
    Window w;
    w.main.Gain.FormShow();
    RecordingSurface s;
    PaintGainGrid(s, w.main.Gain);
    std::string drawn;
    for (const auto& t : s.texts)
        drawn += t.text + "|";
    for (const auto& r : w.main.Gain.Rows) {
        EXPECT_NE(drawn.find(r.actual + "|"), std::string::npos) << r.actual;
        EXPECT_NEAR(static_cast<double>(r.rangeBar), 1.0, 1e-9); // unity gain: every range 100
    }
    // One bar per stage, all of one length.
    int bars = 0;
    for (const std::string& l : s.log)
        bars += l.rfind("fill", 0) == 0 && l.find("#289646") != std::string::npos;
    EXPECT_EQ(bars, w.d->StageCount);
}

} // namespace
} // namespace velmora
