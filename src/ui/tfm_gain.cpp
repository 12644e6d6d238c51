#include "ui/tfm_gain.h"

#include <cmath>

#include "model/number_text.h"
#include "stages/gains.h"

namespace velmora {
namespace {

std::string GainCell(long double g) {
    return FixedText(g, 5, 7);
}

std::string DbText(long double g) {
    if (!(g > 0.0L)) return "----";
    return FixedText(20.0L * std::log10(g), 5, 7);
}

} // namespace

TfmGain::TfmGain(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmGain::FormShow() {
    Visible = true;
    OverallActualGain(d_);
    Refresh();
}

void TfmGain::Refresh() {
    Rows.clear();
    for (int i = 1; i <= d_.StageCount; ++i) {
        const TStageCircuit& c = d_.Circuits[i];
        const long double f = GainPresentationFactor(d_.Stages[i]);
        Row r;
        r.stage = std::to_string(i);
        r.optimal = GainCell(c.OptimalGain * f);
        r.optimalAdjusted = c.GainAdjusted != 0;
        if (c.GainConstrained) r.constraint = GainCell(c.ActualGain * f);
        r.actual = GainCell(c.ActualGain * f);
        const long double range = c.DynamicRange;
        r.rangeBar = range > 0.0L ? std::fmin(range, 100.0L) / 100.0L : 0.0L;
        Rows.push_back(r);
    }
    const long double G = d_.Spec.OverallGain, A = d_.ActualOverallGain;
    SpecifiedDb = DbText(G);
    SpecifiedVV = GainCell(G);
    ActualDb = DbText(A);
    ActualVV = GainCell(A);
}

Tfmgainad::Tfmgainad(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void Tfmgainad::Show() {
    Tabs.clear();
    TabStage.clear();
    for (int i = 1; i <= d_.StageCount; ++i) {
        const TStageCircuit& c = d_.Circuits[i];
        if (c.GainConstrained && !c.GainAdjusted) continue;
        Tabs.push_back("Stage " + std::to_string(i));
        TabStage.push_back(i);
    }
    TabIndex = 0;
    Visible = true;
    ShowGain();
}

void Tfmgainad::ShowGain() {
    const int s = Stage();
    if (!s) {
        GainText.clear();
        return;
    }
    const TStageCircuit& c = d_.Circuits[s];
    const long double g = c.GainAdjusted ? c.UserGain : c.ActualGain;
    GainText = TrimmedText(g * GainPresentationFactor(d_.Stages[s]), 6);
}

void Tfmgainad::TabChange(int index) {
    TabIndex = index;
    ShowGain();
}

void Tfmgainad::AcceptClick() {
    const int s = Stage();
    if (!s) return;
    long double value = 0;
    if (!ParseDecimal(GainText, value) || !(value > 0.0L)) {
        dlg_.Beep();
        dlg_.Message(MessageKind::Error, "Invalid Number.");
        return;
    }
    TStageCircuit& c = d_.Circuits[s];
    if (!c.GainAdjusted) c.SavedGain = c.ActualGain;
    c.UserGain = value / GainPresentationFactor(d_.Stages[s]);
    c.GainAdjusted = 1;
    MarkStepChanged(d_);
}

void Tfmgainad::ResetClick() {
    const int s = Stage();
    if (!s) return;
    TStageCircuit& c = d_.Circuits[s];
    if (c.GainAdjusted) c.ActualGain = c.SavedGain;
    c.GainAdjusted = 0;
    MarkStepChanged(d_);
    ShowGain();
}

void Tfmgainad::OKClick() {
    DistributeGains(d_, Circuits ? *Circuits : DefaultGainRealiser());
    OverallActualGain(d_);
    Visible = false;
    if (OnGainsChanged) OnGainsChanged();
}

} // namespace velmora
