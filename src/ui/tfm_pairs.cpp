#include "ui/tfm_pairs.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/messages.h"
#include "stages/pairing.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"
#include "ui/stage_texts.h"

namespace velmora {

TfmPairs::TfmPairs(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmPairs::Error(const std::string& text) {
    dlg_.Beep();
    dlg_.Message(MessageKind::Error, text);
}

void TfmPairs::FormShow() {
    Visible = true;
    if (d_.StepChanged || d_.DesignLevel < LevelPaired) {
        if (d_.DesignLevel <= LevelApproxChosen || d_.StepChanged) InitPairingLists(d_);
        pairStages_.clear();
        SelectedPairRow = -1;
        SelectedPoleRows.clear();
        SelectedZeroRows.clear();
    } else if (pairStages_.empty()) {
        // A design read from a file: its stages are listed in record order.
        for (int s = 1; s <= d_.StageCount; ++s)
            if (!d_.Stages[s].Name.empty()) pairStages_.push_back(s);
    }
    RebuildLists();
}

int TfmPairs::FreeStageRecord() const {
    for (int s = 1; s <= kMaxStages; ++s)
        if (std::find(pairStages_.begin(), pairStages_.end(), s) == pairStages_.end()) return s;
    return 0;
}

void TfmPairs::AddClick() {
    MarkStepChanged(d_);
    const int p = (int)SelectedPoleRows.size();
    const int z = (int)SelectedZeroRows.size();
    if (p > 2) return Error("Too many poles selected.");
    if (z > 2) return Error("Too many zeros selected.");
    if (p == 0) return Error("Pole or pole pair not selected");

    auto poleAt = [&](int i) { return PoleRowEntry.at(SelectedPoleRows[i]); };
    auto zeroAt = [&](int i) { return ZeroRowEntry.at(SelectedZeroRows[i]); };
    int pole1 = poleAt(0), pole2 = 0, zero1 = 0, zero2 = 0;
    if (p == 2) {
        pole2 = poleAt(1);
        if (d_.Poles[pole1].Kind == 1 || d_.Poles[pole2].Kind == 1) return Error("Too many poles selected.");
        if (z > 1) return Error("Too many zeros selected.");
        if (z == 1) zero1 = zeroAt(0);
    } else if (z == 0 || ZeroRows.empty()) {
        // The pole entry alone.
    } else if (d_.Poles[pole1].Kind == 1) {
        zero1 = zeroAt(0);
        if (z == 2) {
            zero2 = zeroAt(1);
            if (d_.Zeros[zero1].Kind == 1 || d_.Zeros[zero2].Kind == 1)
                return Error("Too many zeros selected.");
        }
    } else {
        if (z != 1 || d_.Zeros[zeroAt(0)].Kind == 1) return Error("Too many zeros selected");
        zero1 = zeroAt(0);
    }
    const int stage = FreeStageRecord();
    if (stage == 0) return Error("Too many poles selected.");
    JoinStage(d_, stage, pole1, pole2, zero1, zero2);
    pairStages_.push_back(stage);
    SelectedPoleRows.clear();
    SelectedZeroRows.clear();
    RebuildLists();
    const bool done = PoleRows.empty() && ZeroRows.empty();
    d_.StageCount = static_cast<int16_t>(pairStages_.size());
    d_.DesignLevel = done ? LevelPaired : LevelApproxChosen;
}

void TfmPairs::UndoClick() {
    if (SelectedPairRow < 0 || SelectedPairRow >= (int)pairStages_.size())
        return Error("No pole-zero pair selected.");
    const int stage = pairStages_[SelectedPairRow];
    SeparateStage(d_, stage);
    pairStages_.erase(pairStages_.begin() + SelectedPairRow);
    SelectedPairRow = -1;
    MarkStepChanged(d_);
    // A free entry means the stages are incomplete: no later step may run on them.
    d_.DesignLevel = LevelApproxChosen;
    d_.StageCount = static_cast<int16_t>(pairStages_.size());
    RebuildLists();
}

void TfmPairs::UndoAllClick() {
    InitPairingLists(d_);
    pairStages_.clear();
    SelectedPairRow = -1;
    SelectedPoleRows.clear();
    SelectedZeroRows.clear();
    MarkStepChanged(d_);
    d_.DesignLevel = LevelApproxChosen;
    RebuildLists();
}

void TfmPairs::AutoAddAllClick() {
    InitPairingLists(d_);
    pairStages_.clear();
    const AutoPairStatus status = AutoPair(d_);
    MarkStepChanged(d_);
    if (status != AutoPairStatus::Ok) {
        d_.DesignLevel = LevelApproxChosen;
        RebuildLists();
        Error(app::SynthesisMessage(status == AutoPairStatus::ZeroLeftOver ? SynthesisStatus::ZeroLeftOver
                                                                           : SynthesisStatus::TooManyStages));
        return;
    }
    for (int s = 1; s <= d_.StageCount; ++s)
        pairStages_.push_back(s);
    d_.DesignLevel = LevelPaired;
    SelectedPairRow = -1;
    RebuildLists();
}

NextWindow TfmPairs::NextClick() {
    if (!PoleRows.empty() || !ZeroRows.empty()) {
        Error("Pole-zero pairing not complete!");
        return NextWindow::None;
    }
    Visible = false;
    d_.StageCount = static_cast<int16_t>(pairStages_.size());
    if (d_.DesignLevel < LevelPaired) d_.DesignLevel = LevelPaired;
    if (!d_.Opt.AutoCascading) return NextWindow::Cascading;
    const SynthesisStatus s = CascadeAndDistribute(d_, Circuits ? *Circuits : DefaultGainRealiser());
    if (s != SynthesisStatus::Ok) {
        Error(app::SynthesisMessage(s));
        return NextWindow::Cascading;
    }
    return NextWindow::CircuitSelection;
}

void TfmPairs::RebuildLists() {
    PoleRows.clear();
    PoleRowEntry.clear();
    ZeroRows.clear();
    ZeroRowEntry.clear();
    PairRows.clear();
    PairRowStage.clear();
    for (int k = 1; k <= d_.PoleCount; ++k) {
        if (!d_.Poles[k].Free) continue;
        PoleRows.push_back(PoleRowText(k));
        PoleRowEntry.push_back(k);
    }
    for (int k = 1; k <= d_.ZeroCount; ++k) {
        if (!d_.Zeros[k].Free) continue;
        ZeroRows.push_back(ZeroRowText(k));
        ZeroRowEntry.push_back(k);
    }
    for (int s : pairStages_) {
        PairRows.push_back(PairRowText(s));
        PairRowStage.push_back(s);
    }
}

std::string TfmPairs::PoleRowText(int entry) const {
    const TPoleEntry& p = d_.Poles[entry];
    const bool hz = d_.Opt.FreqUnitsHz;
    if (p.Kind == 1) {
        return " PAIR\t-" + ListNumber(FrequencyIn(p.Sigma, hz)) + " \xC2\xB1 j" +
               ListNumber(FrequencyIn(p.Imag, hz)) + "\t" + (hz ? "fp: " : "wp: ") +
               ListNumber(FrequencyIn(p.Wp, hz)) + "\tQ: " + ListNumber(p.Q);
    }
    return " SNGL\t-" + ListNumber(FrequencyIn(p.Sigma, hz));
}

std::string TfmPairs::ZeroRowText(int entry) const {
    const TZeroEntry& z = d_.Zeros[entry];
    const bool hz = d_.Opt.FreqUnitsHz;
    return std::string(z.Kind == 1 ? " PAIR" : " SNGL") + "\t" + (hz ? "fz: " : "wz: ") +
           ListNumber(FrequencyIn(z.Wz, hz));
}

std::string TfmPairs::PairRowText(int stage) const {
    const TStageCoeffs& s = d_.Stages[stage];
    const bool hz = d_.Opt.FreqUnitsHz;
    std::string zero;
    if (s.Zero1 > 0) {
        zero = std::string(d_.Zeros[s.Zero1].Kind == 1 ? "ZERO PAIR" : "SNGL ZERO") + "\t" +
               (hz ? "fz: " : "wz: ") + ListNumber(FrequencyIn(d_.Zeros[s.Zero1].Wz, hz));
        if (s.Zero2 > 0) zero += " + SNGL ZERO";
    } else {
        zero = "NO ZERO";
    }
    std::string pole;
    const std::string wp = std::string(hz ? "fp: " : "wp: ") + ListNumber(FrequencyIn(s.Wp, hz));
    if (s.Pole2 > 0)
        pole = "TWO SNGL\t" + wp + "\tQ: " + ListNumber(s.Qp);
    else if (d_.Poles[s.Pole1].Kind == 1)
        pole = "POLE PAIR\t" + wp + "\tQ: " + ListNumber(s.Qp);
    else
        pole = "SNGL POLE";
    return zero + "\t" + pole + "\t" + s.Name;
}

} // namespace velmora
