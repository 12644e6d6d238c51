// A main window with its own design and recorded dialogs, brought to a design level the
// way a person gets there: Start Design, Calculate and Next on the specification form,
// then the approximation chosen, the stages synthesised and the circuits calculated.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/messages.h"
#include "circuits/selection.h"
#include "stages/synthesis.h"
#include "support/recording_dialogs.h"
#include "ui/tfm_main.h"

namespace velmora::test {

struct StepWindows {
    std::unique_ptr<TDesign> d = std::make_unique<TDesign>(); // large: on the heap
    RecordingDialogs dlg;
    TfmMain main{*d, dlg};

    // The default specification of the type, calculated and handed on (level 2).
    void Specify(uint8_t type = Lowpass) {
        main.StartDesign(type);
        main.ParEnt.CalcBtnClick();
        main.ParEnt.BitBtn1Click();
        dlg.clear();
    }
    // Specified, the approximation chosen, paired, cascaded and given gains (level 5).
    void Cascade(uint8_t type = Lowpass, int approx = Butterworth) {
        Specify(type);
        ChooseApproximation(*d, approx);
        EXPECT_EQ(SynthesiseStages(*d), SynthesisStatus::Ok);
    }
    // Cascaded, with the circuits asked for (automatic where a key is empty) calculated.
    void Calculate(const std::vector<StageCircuitRequest>& circuits = {}) {
        Cascade();
        const CircuitsOutcome o = DesignStageCircuits(*d, circuits);
        EXPECT_TRUE(o.ok) << app::CircuitsMessage(o);
        dlg.clear();
    }
};

} // namespace velmora::test
