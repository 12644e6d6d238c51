#include "ui/stage_flow.h"

#include "app/messages.h"
#include "stages/pairing.h"
#include "stages/synthesis.h"

namespace velmora {

NextWindow LeaveIdealResponse(TDesign& d, Dialogs& dialogs, TfmPairs& pairs, TfmCascade& cascade,
                              const StageGainRealiser& circuits) {
    if (d.DesignLevel < LevelApproxChosen) return NextWindow::None;
    const bool rebuild = d.StepChanged || d.DesignLevel <= LevelApproxChosen;
    if (!d.Opt.AutoPairing) {
        pairs.Circuits = &circuits;
        pairs.FormShow();
        return NextWindow::Pairing;
    }
    if (d.Opt.AutoCascading) {
        if (!rebuild) return NextWindow::CircuitSelection; // the stages are as they were left
        const SynthesisStatus s = SynthesiseStages(d, circuits);
        if (s != SynthesisStatus::Ok) {
            dialogs.Beep();
            dialogs.Message(MessageKind::Error, app::SynthesisMessage(s));
            return NextWindow::None;
        }
        return NextWindow::CircuitSelection;
    }
    if (rebuild) {
        InitPairingLists(d);
        const AutoPairStatus s = AutoPair(d);
        if (s != AutoPairStatus::Ok) {
            dialogs.Beep();
            dialogs.Message(MessageKind::Error, app::SynthesisMessage(s == AutoPairStatus::ZeroLeftOver
                                                                          ? SynthesisStatus::ZeroLeftOver
                                                                          : SynthesisStatus::TooManyStages));
            d.DesignLevel = LevelApproxChosen;
            return NextWindow::None;
        }
        MarkStepChanged(d);
        d.DesignLevel = LevelPaired;
    }
    cascade.Circuits = &circuits;
    cascade.FormShow();
    return NextWindow::Cascading;
}

} // namespace velmora
