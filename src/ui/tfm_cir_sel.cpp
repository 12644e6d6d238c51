#include "ui/tfm_cir_sel.h"

#include <algorithm>
#include <numbers>

#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "model/number_text.h"
#include "stages/stage_types.h"

namespace velmora {

std::string StageParameterText(const TDesign& d, int stage) {
    const TStageCoeffs& s = d.Stages[stage];
    const bool hz = d.Opt.FreqUnitsHz != 0;
    const long double unit = hz ? 2.0L * std::numbers::pi_v<long double> : 1.0L;
    const auto freq = [&](long double w) { return FrequencyWithUnit(w / unit, hz); };
    if (isFirstOrder(s.StageType)) return std::string(hz ? "fc=" : "wc=") + freq(StageFrequency(s));
    std::string t = "Q=" + TrimmedText(s.Qp, 4) + (hz ? "    fp=" : "    wp=") + freq(s.Wp);
    if (isNotch(s.StageType)) t += (hz ? "    fz=" : "    wz=") + freq(s.Wz);
    return t;
}

TfmCirSel::TfmCirSel(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

int TfmCirSel::Offered() const {
    if (Stage() < 1 || Stage() > d_.StageCount) return 0;
    const StageTypeEntry* t = StageTypeInfo(d_.Stages[Stage()].StageType);
    return t ? t->offered : 0;
}

void TfmCirSel::FormShow() {
    Visible = true;
    Tabs.clear();
    for (int i = 1; i <= d_.StageCount; ++i)
        Tabs.push_back("Stage " + std::to_string(i) + " of " + std::to_string(d_.StageCount));
    const bool keep = d_.DesignLevel >= LevelCircuitsSelected && !d_.StepChanged;
    if (!keep) {
        InitialiseCircuitStep(d_, Sets);
        d_.StepChanged = 0;
        TabIndex = 0;
        Shown = 1;
    } else {
        if (TabIndex < 0 || TabIndex >= d_.StageCount) TabIndex = 0;
        const int choice = d_.Circuits[Stage()].CircuitChoice;
        Shown = choice > 0 ? choice : 1;
    }
    NextEnabled = AllStagesSelected(d_);
    Evaluate();
}

void TfmCirSel::TabChange(int index) {
    if (index < 0 || index >= d_.StageCount) return;
    TabIndex = index;
    const int choice = d_.Circuits[Stage()].CircuitChoice;
    Shown = choice > 0 ? choice : 1;
    Evaluate();
}

void TfmCirSel::FirstClick() {
    Shown = 1;
    ShowCandidate();
}
void TfmCirSel::PriorClick() {
    if (Shown > 1) --Shown;
    ShowCandidate();
}
void TfmCirSel::NextCircuitClick() {
    if (Shown < Offered()) ++Shown;
    ShowCandidate();
}
void TfmCirSel::LastClick() {
    Shown = Offered();
    ShowCandidate();
}

void TfmCirSel::SelectClick() {
    TCandidateSet& set = Sets[static_cast<std::size_t>(Stage())];
    if (SelectCircuit(d_, Stage(), Shown, set) != SelectStatus::Selected) {
        dlg_.Beep();
        return;
    }
    NextEnabled = AllStagesSelected(d_);
    Evaluate(); // the stage's own circuit is loaded and calculated with the evaluation
}

void TfmCirSel::ExcludeClick(int choice) {
    if (choice < 1 || choice > Offered()) return;
    TCircuitCandidate& c =
        Sets[static_cast<std::size_t>(Stage())].Candidates[static_cast<std::size_t>(choice)];
    c.Excluded = c.Excluded ? 0 : 1;
    Evaluate();
}

void TfmCirSel::NextClick() {
    if (!AllStagesSelected(d_)) {
        dlg_.Beep();
        return;
    }
    if (OnNext) OnNext();
}

void TfmCirSel::Evaluate() {
    if (Stage() < 1 || Stage() > d_.StageCount) return;
    EvaluateCandidates(d_, Stage(), Sets[static_cast<std::size_t>(Stage())]);
    ShowCandidate();
}

void TfmCirSel::ShowCandidate() {
    const int n = Offered();
    if (n == 0) return;
    Shown = std::clamp(Shown, 1, n);
    const int stage = Stage();
    StageParameters = StageParameterText(d_, stage);
    const CatalogueEntry* e = EntryByChoice(d_.Stages[stage].StageType, Shown);
    CircuitKey = e ? std::string(e->key) : "";
    CircuitName = e ? std::string(e->name) : "";
    const TStageCircuit& c = d_.Circuits[stage];
    const CatalogueEntry* chosen =
        c.CircuitChoice > 0 ? EntryByChoice(d_.Stages[stage].StageType, c.CircuitChoice) : nullptr;
    SelectedCaption = chosen ? "Selected: " + std::string(chosen->key) : "";
    Metrics = MetricsTexts(d_, stage,
                           Sets[static_cast<std::size_t>(stage)].Candidates[static_cast<std::size_t>(Shown)]);
    GainSpreadCaption = "Gain Spread for GBW=" + GbwText(c.OpAmpGBW);
    SelectEnabled = Metrics.SelectEnabled;
    FirstEnabled = PriorEnabled = Shown > 1;
    NextCircuitEnabled = LastEnabled = Shown < n;
    ShowSpreadBars();
}

void TfmCirSel::PassiveClick() {
    if (ShowPassive && !ShowActive) ShowActive = true;
    ShowPassive = !ShowPassive;
    ShowSpreadBars();
}

void TfmCirSel::ActiveClick() {
    if (ShowActive && !ShowPassive) ShowPassive = true;
    ShowActive = !ShowActive;
    ShowSpreadBars();
}

void TfmCirSel::ShowSpreadBars() {
    PassiveHint = ShowPassive ? "Hide Passive" : "Show Passive";
    ActiveHint = ShowActive ? "Hide Active" : "Show Active";
    SpreadBars.clear();
    const int n = Offered();
    const TCandidateSet& set = Sets[static_cast<std::size_t>(Stage())];
    // The bars share one scale: the largest total shown fills 0.99 of the bar area.
    long double largest = 0.0L;
    bool anyActive = false;
    for (int k = 1; k <= n; ++k) {
        const TCircuitCandidate& c = set.Candidates[static_cast<std::size_t>(k)];
        if (c.Excluded || c.NotRealisable) continue;
        const long double p = ShowPassive ? static_cast<long double>(c.PassiveGainSpread) : 0.0L;
        const long double a = ShowActive ? static_cast<long double>(c.ActiveGainSpread) : 0.0L;
        largest = std::max(largest, p + a);
        anyActive = anyActive || c.ActiveGainSpread > 0.0L;
    }
    for (int k = 1; k <= n; ++k) {
        const TCircuitCandidate& c = set.Candidates[static_cast<std::size_t>(k)];
        SpreadBar b;
        b.Excluded = c.Excluded != 0;
        b.Label = b.Excluded ? "Excluded" : "";
        b.Hint = b.Excluded ? "Include circuit" : "Exclude circuit";
        if (!b.Excluded && !c.NotRealisable && largest > 0.0L) {
            if (ShowPassive) b.Passive = 0.99L * c.PassiveGainSpread / largest;
            if (ShowActive) b.Active = 0.99L * c.ActiveGainSpread / largest;
        }
        SpreadBars.push_back(b);
    }
    ActiveZeroNote = anyActive ? "" : "At this frequency the active gain spread is zero for all circuits.";
}

} // namespace velmora
