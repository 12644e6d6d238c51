// Which windows show as the design moves from step to step, decided by the main model: a
// step's window hides when the next step's opens and shows again on Back, the final
// response opens beside the component calculation, and a window opened from a step (here
// the component characteristics) stays through every hand-over.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/step_windows.h"

namespace velmora {
namespace {

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
