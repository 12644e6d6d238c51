// Which windows show as the design moves from step to step, decided by the main model: a
// step's window hides when the next step's opens and shows again on Back, the final
// response opens beside the component calculation, and a window opened from a step (here
// the component characteristics) stays through every hand-over.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/step_windows.h"

namespace velmora {
namespace {

TEST(WindowHandOver, OneStepInFrontToolWindowsStay) {
    test::StepWindows m;
    TfmMain& w = m.main;
    w.UI1Click(); // interactive pairing and cascading: every window of the chain shows
    w.UI2Click();
    const std::vector<std::pair<const char*, const bool*>> windows = {
        {"specification", &w.ParEnt.Visible},
        {"ideal responses", &w.Graph.Visible},
        {"pairing", &w.Pairs.Visible},
        {"cascading", &w.Cascade.Visible},
        {"circuit selection", &w.CirSel.Visible},
        {"calculation", &w.CirCal.Visible},
        {"final response", &w.View.Visible},
        {"characteristics", &w.Characteristics.Visible}};
    auto selectAndNext = [&] {
        for (int s = 0; s < m.d->StageCount; ++s) {
            w.CirSel.TabChange(s);
            w.CirSel.FirstClick();
            w.CirSel.SelectClick();
        }
        w.CirSel.NextClick();
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> shown; // every other window of the list hidden
    };
    const Step steps[] = {
        {"start", [&] { w.StartDesign(Lowpass); }, {"specification"}},
        {"specification's Next",
         [&] {
             w.ParEnt.CalcBtnClick();
             w.ParEnt.BitBtn1Click();
         },
         {"ideal responses"}},
        {"ideal responses' Next", [&] { w.Graph.BitBtn1Click(); }, {"pairing"}},
        {"pairing's Next",
         [&] {
             w.Pairs.AutoAddAllClick();
             w.PairsNextClick();
         },
         {"cascading"}},
        {"cascading's Back", [&] { w.CascadeBackClick(); }, {"pairing"}},
        {"pairing's Next again", [&] { w.PairsNextClick(); }, {"cascading"}},
        {"cascading's Next", [&] { w.CascadeNextClick(); }, {"circuit selection"}},
        {"Components", [&] { w.CirSel.ComponentsClick(); }, {"circuit selection", "characteristics"}},
        {"selection's Next", selectAndNext, {"calculation", "characteristics"}},
        {"calculation's Next",
         [&] { w.CirCal.NextClick(); },
         {"calculation", "final response", "characteristics"}},
        {"calculation's Back", [&] { w.CirCalBackClick(); }, {"circuit selection", "characteristics"}},
        {"selection's Next again", [&] { w.CirSel.NextClick(); }, {"calculation", "characteristics"}},
        {"calculation's Back again", [&] { w.CirCalBackClick(); }, {"circuit selection", "characteristics"}},
        {"selection's Back", [&] { w.CirSel.BackClick(); }, {"cascading", "characteristics"}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        for (const auto& [name, visible] : windows) {
            const bool expected = std::find(s.shown.begin(), s.shown.end(), name) != s.shown.end();
            EXPECT_EQ(*visible, expected) << name;
        }
    }
    EXPECT_GE(m.d->DesignLevel, LevelComponents); // going back kept the calculated circuits
}

} // namespace
} // namespace velmora
