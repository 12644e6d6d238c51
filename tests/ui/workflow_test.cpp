// The main model as the one place that moves a design from window to window: every
// hand-over between the step windows, the refresh of every window that shows a changed
// part after a unit switch, and which windows show at each step.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/step_windows.h"

namespace velmora {
namespace {

using app::DesignPart;

struct Main : test::StepWindows {
    int told[app::kDesignPartCount] = {};
    Main() {
        main.Changes.Subscribe([this](DesignPart p) { ++told[static_cast<int>(p)]; });
    }
    int Told(DesignPart p) const { return told[static_cast<int>(p)]; }

    // Every stage takes the candidate the selection window shows first.
    void SelectCircuits() {
        for (int s = 0; s < d->StageCount; ++s) {
            main.CirSel.TabChange(s);
            main.CirSel.FirstClick();
            main.CirSel.SelectClick();
        }
        main.CirSel.NextClick();
    }
};

TEST(Workflow, EveryHandOverIsDecidedByTheMainModel) {
    const struct Case {
        bool autoPair, autoCascade;
        NextWindow afterGraph;
        NextWindow afterPairs; // None: no pairing window on this path
    } cases[] = {{true, true, NextWindow::CircuitSelection, NextWindow::None},
                 {true, false, NextWindow::Cascading, NextWindow::None},
                 {false, true, NextWindow::Pairing, NextWindow::CircuitSelection},
                 {false, false, NextWindow::Pairing, NextWindow::Cascading}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.autoPair) + std::to_string(c.autoCascade));
        Main m;
        if (!c.autoPair) m.main.UI1Click();
        if (!c.autoCascade) m.main.UI2Click();
        m.Specify();
        EXPECT_TRUE(m.main.Graph.Visible);
        const int stagesBefore = m.Told(DesignPart::Stages);
        m.main.Graph.BitBtn1Click();
        EXPECT_EQ(m.main.LastHandOver, c.afterGraph);
        EXPECT_FALSE(m.main.Graph.Visible);
        EXPECT_GT(m.Told(DesignPart::Stages), stagesBefore);
        if (c.afterGraph == NextWindow::Pairing) {
            ASSERT_TRUE(m.main.Pairs.Visible);
            m.main.PairsNextClick(); // refused: nothing paired yet
            EXPECT_TRUE(m.main.Pairs.Visible);
            EXPECT_EQ(m.dlg.log.back(), "error: Pole-zero pairing not complete!");
            m.main.Pairs.AutoAddAllClick();
            m.main.PairsNextClick();
            EXPECT_EQ(m.main.LastHandOver, c.afterPairs);
        }
        if (m.main.LastHandOver == NextWindow::Cascading) {
            ASSERT_TRUE(m.main.Cascade.Visible);
            // Back goes to the window the cascade came from, and on again.
            m.main.CascadeBackClick();
            EXPECT_EQ(m.main.Pairs.Visible, !c.autoPair);
            EXPECT_EQ(m.main.Graph.Visible, c.autoPair);
            if (c.autoPair) {
                m.main.Graph.BitBtn1Click();
            } else {
                m.main.PairsNextClick();
            }
            ASSERT_TRUE(m.main.Cascade.Visible);
            m.main.CascadeNextClick();
        }
        EXPECT_EQ(m.main.LastHandOver, NextWindow::CircuitSelection);
        EXPECT_EQ(std::tuple(m.main.CirSel.Visible, m.main.Cascade.Visible), std::tuple(true, false));
        EXPECT_EQ(m.d->DesignLevel, LevelCascaded);
        m.SelectCircuits();
        EXPECT_TRUE(m.main.CirCal.Visible);
        EXPECT_EQ(m.d->DesignLevel, LevelComponents);
        const int analyses = m.Told(DesignPart::Analyses);
        m.main.CirCal.NextClick();
        EXPECT_TRUE(m.main.View.Visible);
        EXPECT_EQ(m.d->DesignLevel, LevelFinalResponse);
        EXPECT_EQ(m.Told(DesignPart::Analyses), analyses + 1);
    }
}

TEST(Workflow, UnitSwitchRelabelsEveryWindowThatShowsAFrequency) {
    Main m;
    m.main.UI1Click(); // the pairing window stays filled with its rows
    m.Specify();
    m.main.Graph.BitBtn1Click();
    m.main.Pairs.AutoAddAllClick();
    m.main.PairsNextClick();
    m.SelectCircuits();
    m.main.CirCal.NextClick();
    ASSERT_TRUE(m.main.View.Visible);
    m.main.Graph.FormShow();
    const double fMax = static_cast<double>(m.main.View.Axes.Freq.Max);
    const int told = m.Told(DesignPart::Circuits);

    // Each window's text in Hz, and the marker of rad/s it must carry afterwards.
    const struct Text {
        const char* what;
        std::string (*get)(const TfmMain&);
        const char* hzMark;
        const char* radMark;
    } texts[] = {
        {"pairing rows", [](const TfmMain& t) { return t.Pairs.PairRows.at(0); }, "fp: ", "wp: "},
        {"selection", [](const TfmMain& t) { return t.CirSel.StageParameters; }, "fp=", "wp="},
        {"calculation", [](const TfmMain& t) { return t.CirCal.StageParameters; }, "fp=", "wp="},
        {"final response", [](const TfmMain& t) { return t.View.PtCalc.EntryCaption; }, "(Hz)", "(rad/s)"},
        {"ideal responses", [](const TfmMain& t) { return t.Graph.PtCalc.EntryCaption; }, "(Hz)", "(rad/s)"},
        {"user-defined sections", [](const TfmMain& t) { return t.User.UnitCaption; }, "Hz", "rad/s"},
    };
    for (const Text& t : texts)
        EXPECT_NE(t.get(m.main).find(t.hzMark), std::string::npos) << t.what << ": " << t.get(m.main);
    m.main.SpeedButton8Click();
    ASSERT_EQ(m.d->Opt.FreqUnitsHz, 0);
    for (const Text& t : texts)
        EXPECT_NE(t.get(m.main).find(t.radMark), std::string::npos) << t.what << ": " << t.get(m.main);
    // The final response's axis keeps its span: 2 pi times the Hz limit.
    EXPECT_NEAR(static_cast<double>(m.main.View.Axes.Freq.Max), fMax * 6.283185307179586, fMax * 1e-12);
    EXPECT_FALSE(m.main.View.Samples[StandardCExactR].empty());
    EXPECT_GT(m.Told(DesignPart::Circuits), told);
}

// Which windows show as the design moves from step to step, decided by the main model: a
// step's window hides when the next step's opens and shows again on Back, the final
// response opens beside the component calculation, and a window opened from a step (here
// the component characteristics) stays through every hand-over.
TEST(WindowHandOver, OneStepInFrontToolWindowsStay) {
    test::StepWindows m;
    TfmMain& w = m.main;
    w.UI1Click(); // interactive pairing and cascading: every window of the chain shows
    w.UI2Click();
    // Specification, ideal responses, pairing, cascading, selection, calculation, final
    // response, characteristics: the flags in this order as a string of 0 and 1.
    auto shown = [&w] {
        std::string s;
        for (bool v : {w.ParEnt.Visible, w.Graph.Visible, w.Pairs.Visible, w.Cascade.Visible,
                       w.CirSel.Visible, w.CirCal.Visible, w.View.Visible, w.Characteristics.Visible})
            s += v ? '1' : '0';
        return s;
    };
    const std::pair<std::function<void()>, const char*> steps[] = {
        {[&] { w.StartDesign(Lowpass); }, "10000000"},
        {[&] { w.ParEnt.CalcBtnClick(), w.ParEnt.BitBtn1Click(); }, "01000000"},
        {[&] { w.Graph.BitBtn1Click(); }, "00100000"},
        {[&] { w.Pairs.AutoAddAllClick(), w.PairsNextClick(); }, "00010000"},
        {[&] { w.CascadeBackClick(); }, "00100000"},
        {[&] { w.PairsNextClick(), w.CascadeNextClick(); }, "00001000"},
        {[&] { w.CirSel.ComponentsClick(); }, "00001001"},
        {[&] {
             for (int s = 0; s < m.d->StageCount; ++s)
                 w.CirSel.TabChange(s), w.CirSel.FirstClick(), w.CirSel.SelectClick();
             w.CirSel.NextClick();
         },
         "00000101"},
        {[&] { w.CirCal.NextClick(); }, "00000111"},
        {[&] { w.CirCalBackClick(); }, "00001001"},
        {[&] { w.CirSel.NextClick(); }, "00000101"},
        {[&] { w.CirCalBackClick(), w.CirSel.BackClick(); }, "00010001"},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].first();
        EXPECT_EQ(shown(), steps[i].second) << "step " << i;
    }
    EXPECT_GE(m.d->DesignLevel, LevelComponents); // going back kept the calculated circuits
}

} // namespace
} // namespace velmora
