#include "ui/tfm_cascade.h"

#include <set>

#include "model/number_text.h"
#include "stages/cascade.h"
#include "stages/gains.h"
#include "stages/synthesis.h"

namespace velmora {

TfmCascade::TfmCascade(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmCascade::FormShow() {
    Visible = true;
    if (d_.PairingChanged) {
        AutoCascade(d_);
        Selected = -1;
    } else {
        EvaluateCascade(d_);
    }
    RebuildRows();
}

void TfmCascade::RowClick(int row) {
    Selected = row >= 0 && row < d_.StageCount ? row : -1;
    UpEnabled = Selected > 0;
    DownEnabled = Selected >= 0 && Selected < d_.StageCount - 1;
}

void TfmCascade::CriteriaClick() {
    if (OnCriteria) OnCriteria();
}

void TfmCascade::RebuildRows() {
    RowClick(Selected);
    Rows.clear();
    for (int s = 1; s <= d_.StageCount; ++s) {
        const TStageCoeffs& st = d_.Stages[s];
        Rows.push_back({std::to_string(s), st.Name, FixedText(st.Flatness, 2, 5)});
    }
}

void TfmCascade::Move(int from, int to) {
    SwapStages(d_, from + 1, to + 1);
    Selected = to;
    MarkStepChanged(d_);
}

void TfmCascade::UpClick() {
    if (Selected > 0 && Selected < d_.StageCount) Move(Selected, Selected - 1);
    EvaluateCascade(d_);
    RebuildRows();
}

void TfmCascade::DownClick() {
    if (Selected >= 0 && Selected < d_.StageCount - 1) Move(Selected, Selected + 1);
    EvaluateCascade(d_);
    RebuildRows();
}

void TfmCascade::CascadeClick() {
    AutoCascade(d_);
    RebuildRows();
}

NextWindow TfmCascade::NextClick() {
    EvaluateCascade(d_);
    DistributeGains(d_, Circuits ? *Circuits : DefaultGainRealiser());
    OverallActualGain(d_);
    d_.DesignLevel = LevelCascaded;
    Visible = false;
    return NextWindow::CircuitSelection;
}

TfmCascade::BackTo TfmCascade::BackClick() {
    d_.StepChanged = 0;
    Visible = false;
    return d_.Opt.AutoPairing ? BackTo::IdealResponse : BackTo::Pairing;
}

// ---- TfmACrit -----------------------------------------------------------------------

const std::array<std::array<std::string, 5>, 2> TfmACrit::OptionTexts = {{
    {"", "1st order lowpass", "2nd order lowpass", "lowpass notch", "bandpass"},
    {"", "1st order highpass", "2nd order highpass", "highpass notch", "bandpass"},
}};

TfmACrit::TfmACrit(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmACrit::Show() {
    savedCriteria_ = d_.Criteria;
    savedOrderByQp_ = d_.Opt.OrderByQp;
    Visible = true;
}

bool TfmACrit::Checked(int list, int opt) const {
    return d_.Criteria[list].Options[opt].Enabled != 0;
}

int TfmACrit::CheckedCount(int list) const {
    int n = 0;
    for (int o = 1; o <= 4; ++o)
        n += Checked(list, o);
    return n;
}

std::string TfmACrit::PriorityText(int list, int opt) const {
    return Checked(list, opt) ? std::to_string(d_.Criteria[list].Options[opt].Priority) : "";
}

void TfmACrit::CheckClick(int list, int opt) {
    auto& options = d_.Criteria[list].Options;
    if (!options[opt].Enabled) {
        options[opt].Enabled = 1;
        options[opt].Priority = static_cast<int16_t>(CheckedCount(list)); // goes to the end
        return;
    }
    const int16_t removed = options[opt].Priority;
    options[opt].Enabled = 0;
    options[opt].Priority = 0;
    for (int o = 1; o <= 4; ++o)
        if (options[o].Enabled && options[o].Priority > removed) --options[o].Priority;
}

void TfmACrit::PriorityClick(int list, int opt) {
    auto& o = d_.Criteria[list].Options[opt];
    if (!o.Enabled) return;
    const int n = CheckedCount(list);
    o.Priority = static_cast<int16_t>(o.Priority >= n ? 1 : o.Priority + 1);
}

void TfmACrit::OrderClick(bool byQp) {
    d_.Opt.OrderByQp = byQp ? 1 : 0;
}

bool TfmACrit::OKClick() {
    static const char* kMessages[2] = {"First stage priorities must be unique.",
                                       "Last stage priorities must be unique."};
    for (int list = 0; list < 2; ++list) {
        std::set<int> seen;
        for (int o = 1; o <= 4; ++o) {
            if (!Checked(list, o)) continue;
            if (!seen.insert(d_.Criteria[list].Options[o].Priority).second) {
                dlg_.Beep();
                dlg_.Message(MessageKind::Error, kMessages[list]);
                return false;
            }
        }
    }
    bool changed = d_.Opt.OrderByQp != savedOrderByQp_;
    for (int list = 0; list < 2; ++list)
        for (int o = 1; o <= 4; ++o) {
            const TCascadeOption &a = d_.Criteria[list].Options[o], &b = savedCriteria_[list].Options[o];
            changed = changed || a.Enabled != b.Enabled || a.Priority != b.Priority;
        }
    if (changed) d_.Modified = 1;
    Visible = false;
    return true;
}

void TfmACrit::CancelClick() {
    d_.Criteria = savedCriteria_;
    d_.Opt.OrderByQp = savedOrderByQp_;
    Visible = false;
}

} // namespace velmora
