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

void TfmCirSel::ComponentsClick() {
    if (OnComponents) OnComponents();
}

void TfmCirSel::BackClick() {
    Visible = false;
    if (OnBack) OnBack();
}

void TfmCirSel::StrategyClick() {
    dlg_.Message(MessageKind::Information,
                 "Choosing a circuit for a stage: prefer a circuit that realises the desired gain "
                 "(the actual gain is shown in red when it cannot), whose component spreads stay "
                 "below 1000:1, and whose gain spread bar is short. The passive part of the bar "
                 "comes from the resistor and capacitor tolerances, the active part from the op "
                 "amps' gain-bandwidth; circuits with more op amps often have the smaller passive "
                 "spread. Exclude a circuit by clicking its box to compare the others on a finer "
                 "scale.");
}

void TfmCirSel::Refresh() {
    if (Visible) Evaluate();
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

namespace velmora {
namespace {

// The geometry of the gain-spread panel: n boxes side by side over a label row.
struct BarBoxes {
    double left, top, boxWidth, boxHeight, gap;
};
BarBoxes Boxes(int n, double width, double height) {
    const double gap = 6, label = 16;
    const double w = n > 0 ? (width - gap * (n + 1)) / n : 0;
    return {gap, gap, std::max(4.0, w), std::max(4.0, height - 2 * gap - label), gap};
}

} // namespace

void PaintSpreadBars(DrawingSurface& s, const TfmCirSel& m) {
    const int n = static_cast<int>(m.SpreadBars.size());
    const double W = s.Width(), H = s.Height();
    s.SetBrush(colors::White);
    s.FillRect(0, 0, W, H);
    if (n == 0) return;
    const BarBoxes b = Boxes(n, W, H);
    const Color passive{40, 90, 200}, active{210, 50, 50};
    s.SetFont("Arial", 8);
    s.SetTextColor(colors::Text);
    for (int k = 0; k < n; ++k) {
        const TfmCirSel::SpreadBar& bar = m.SpreadBars[static_cast<std::size_t>(k)];
        const double x1 = b.left + k * (b.boxWidth + b.gap), x2 = x1 + b.boxWidth;
        const double y1 = b.top, y2 = b.top + b.boxHeight;
        const double hp = static_cast<double>(bar.Passive) * b.boxHeight;
        const double ha = static_cast<double>(bar.Active) * b.boxHeight;
        if (hp > 0) {
            s.SetBrush(passive);
            s.FillRect(x1 + 2, y2 - hp, x2 - 2, y2);
        }
        if (ha > 0) {
            s.SetBrush(active);
            s.FillRect(x1 + 2, y2 - hp - ha, x2 - 2, y2 - hp);
        }
        s.SetPen(colors::Frame, k + 1 == m.Shown ? 2.5 : 1);
        s.Rectangle(x1, y1, x2, y2);
        if (bar.Excluded) {
            const double tw = s.TextWidth(bar.Label);
            // Too narrow a box gets the word turned into its first letter.
            const std::string word = tw <= b.boxWidth - 2 ? bar.Label : bar.Label.substr(0, 1);
            s.TextOut(x1 + (b.boxWidth - s.TextWidth(word)) / 2, (y1 + y2) / 2 - 6, word);
        }
        const std::string number = std::to_string(k + 1);
        s.TextOut(x1 + (b.boxWidth - s.TextWidth(number)) / 2, y2 + 3, number);
    }
}

int SpreadBarAt(const TfmCirSel& m, double width, double height, double x, double y) {
    const int n = static_cast<int>(m.SpreadBars.size());
    if (n == 0) return 0;
    const BarBoxes b = Boxes(n, width, height);
    if (y < b.top || y > b.top + b.boxHeight) return 0;
    for (int k = 0; k < n; ++k) {
        const double x1 = b.left + k * (b.boxWidth + b.gap);
        if (x >= x1 && x <= x1 + b.boxWidth) return k + 1;
    }
    return 0;
}

} // namespace velmora
