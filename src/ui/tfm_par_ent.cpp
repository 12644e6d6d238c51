#include "ui/tfm_par_ent.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>

#include "analysis/ideal_responses.h"
#include "app/messages.h"
#include "app/parameters.h"
#include "approx/approximation.h"
#include "model/number_text.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;
constexpr int kFreqFieldChars = 6;

bool isBand(uint8_t type) {
    return type == Bandpass || type == Bandstop;
}

// Text of a value that fits a field of `width` characters, or nothing when it does
// not fit even without decimals.
std::optional<std::string> FitText(long double v, int width) {
    if (!(v >= 0)) return std::nullopt;
    for (int decimals = width - 2; decimals >= 0; --decimals) {
        std::string s = TrimmedText(v, decimals);
        if ((int)s.size() <= width) return s;
    }
    return std::nullopt;
}

// Entry texts for an attenuation or gain as stored (the shortest text that reads back).
std::string EntryText(long double v) {
    return TrimmedText(v, 6);
}

} // namespace

TfmParEnt::TfmParEnt(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {
    auto edit = [](const char* name, const char* label, int maxLength) {
        TEditControl e;
        e.Name = name;
        e.Label = label;
        e.MaxLength = maxLength;
        return e;
    };
    NumEdit1 = edit("NumEdit1", "Passband Attenuation  (Apb):", 5);
    NumEdit2 = edit("NumEdit2", "Stopband Attenuation (Asb):", 5);
    NumEdit3 = edit("NumEdit3", "", kFreqFieldChars);
    NumEdit4 = edit("NumEdit4", "", kFreqFieldChars);
    NumEdit5 = edit("NumEdit5", "", kFreqFieldChars);
    NumEdit6 = edit("NumEdit6", "Overall Filter Gain:", 6);
    IntEdit1 = edit("IntEdit1", "", 2);
    CB1.Name = "CB1";
    CB2.Name = "CB2";
    CB3.Name = "CB3";
    CB4.Name = "CB4";
    CB4.Items = {"V/V", "dB"};
    RelabelUnits();
}

const app::Parameter* TfmParEnt::ParameterOf(const TEditControl& edit) const {
    const bool band = isBand(d_.Spec.FilterType);
    const char* name = nullptr;
    if (&edit == &NumEdit1) name = "apb";
    if (&edit == &NumEdit2) name = "asb";
    if (&edit == &NumEdit3) name = band ? "bpb" : "fpb";
    if (&edit == &NumEdit4) name = band ? "bsb" : "fsb";
    if (&edit == &NumEdit5) name = "f0";
    if (&edit == &IntEdit1) name = "order";
    if (&edit == &NumEdit6) name = CB4.ItemIndex == 1 ? "gain-db" : "gain";
    return name ? &app::ParameterNamed(name) : nullptr;
}

std::vector<std::string> TfmParEnt::UnitItems() const {
    if (d_.Opt.FreqUnitsHz) return {"Hz", "kHz"};
    return {"rad/s", "krad/s"};
}

void TfmParEnt::RelabelUnits() {
    const bool hz = d_.Opt.FreqUnitsHz;
    const uint8_t type = d_.Spec.FilterType;
    for (TComboControl* cb : {&CB1, &CB2, &CB3})
        cb->Items = UnitItems();
    if (isBand(type)) {
        NumEdit3.Label = "Passband Bandwidth (Bpb):";
        NumEdit4.Label = "Stopband Bandwidth (Bsb):";
        NumEdit5.Label = hz ? "Center Frequency (f0):" : "Center Frequency (w0):";
        NumEdit5.Visible = CB3.Visible = true;
    } else {
        NumEdit3.Label = hz ? "Passband Frequency (fpb):" : "Passband Frequency (wpb):";
        NumEdit4.Label = hz ? "Stopband Frequency (fsb):" : "Stopband Frequency (wsb):";
        NumEdit5.Label.clear();
        NumEdit5.Visible = CB3.Visible = false;
    }
}

void TfmParEnt::SetUpNew() {
    Caption = "Enter frequency, attenuation and gain values.";
    const app::SpecificationEntry e = app::SetUpNewSpecification(d_);
    NumEdit1.Text = e.apb;
    NumEdit2.Text = e.asb;
    NumEdit3.Text = e.pass.text;
    NumEdit4.Text = e.stop.text;
    NumEdit5.Text = e.centre.text;
    for (TEditControl* edit : {&NumEdit3, &NumEdit4, &NumEdit5})
        edit->ExactRad.reset();
    CB1.ItemIndex = CB2.ItemIndex = CB3.ItemIndex = 1;
    CheckBox1Checked = false;
    IntEdit1.Text.clear();
    CB4.ItemIndex = 0;
    NumEdit6.Text = e.gain;
    Table = ComparisonTable{};
    Tabs = {"Template"};
    TabIndex = 0;
    BitBtn1Enabled = false;
    EntryError = false;
    RelabelUnits();
    ApplyForceOrderState();
    Focus = NumEdit1.Name;
    Visible = true;
}

void TfmParEnt::ShowSpecification() {
    const Specification& s = d_.Spec;
    Caption = "Enter frequency, attenuation and gain values.";
    NumEdit1.Text = EntryText(s.ApbEntry);
    NumEdit2.Text = EntryText(s.AsbEntry);
    CB1.ItemIndex = s.PassFreqUnit;
    CB2.ItemIndex = s.StopFreqUnit;
    CB3.ItemIndex = s.CenterFreqUnit;
    RelabelUnits();
    if (isBand(s.FilterType)) {
        SetFrequencyText(NumEdit3, CB1, s.Bpb);
        SetFrequencyText(NumEdit4, CB2, s.Bsb);
        SetFrequencyText(NumEdit5, CB3, s.w0);
    } else {
        SetFrequencyText(NumEdit3, CB1, s.wpb);
        SetFrequencyText(NumEdit4, CB2, s.wsb);
        NumEdit5.Text.clear();
    }
    CheckBox1Checked = s.ForceOrder;
    IntEdit1.Text = s.ForceOrder ? std::to_string(s.ForcedOrder) : "";
    CB4.ItemIndex = 0;
    NumEdit6.Text = EntryText(s.OverallGain);
    ApplyForceOrderState();
    Visible = true;
}

long double TfmParEnt::UnitFactor(const TComboControl& box) const {
    const std::string unit = box.Text();
    if (unit == "Hz") return kTwoPi;
    if (unit == "kHz") return 1000.0L * kTwoPi;
    if (unit == "krad/s") return 1000.0L;
    return 1.0L; // "rad/s"
}

// Shows a frequency held in rad/s in the field's unit. When the value does not fit the
// field, or the other unit (Hz/kHz) shows it more exactly, the field changes unit. The
// exact value is kept beside the rounded text.
void TfmParEnt::SetFrequencyText(TEditControl& edit, TComboControl& unit, long double rad) {
    if (!(rad > 0)) {
        edit.Text.clear();
        edit.ExactRad.reset();
        return;
    }
    auto error = [&](const std::optional<std::string>& text, long double shown) {
        if (!text) return std::numeric_limits<long double>::infinity();
        long double back = 0;
        ParseDecimal(*text, back);
        return std::fabs(back - shown) / shown;
    };
    const int current = unit.ItemIndex;
    long double shown[2];
    std::optional<std::string> text[2];
    for (int i = 0; i < 2; ++i) {
        unit.ItemIndex = i;
        shown[i] = rad / UnitFactor(unit);
        text[i] = FitText(shown[i], kFreqFieldChars);
    }
    const int other = 1 - current;
    const long double eCur = error(text[current], shown[current]);
    const long double eOther = error(text[other], shown[other]);
    // Keep the unit unless the other one is clearly more exact (ties keep the unit).
    unit.ItemIndex = (eCur > 1e-12L && eOther < 0.5L * eCur) ? other : current;
    edit.Text = text[unit.ItemIndex].value_or(TrimmedText(shown[unit.ItemIndex], 0));
    edit.ExactRad = rad;
    edit.ExactText = edit.Text;
}

void TfmParEnt::ConvertFrequencyUnits(bool toHz) {
    struct Field {
        TEditControl* edit;
        TComboControl* unit;
        Real48* entry;
        int16_t* unitIndex;
    };
    Specification& s = d_.Spec;
    Field fields[] = {{&NumEdit3, &CB1, &s.PassFreqEntry, &s.PassFreqUnit},
                      {&NumEdit4, &CB2, &s.StopFreqEntry, &s.StopFreqUnit},
                      {&NumEdit5, &CB3, &s.CenterFreqEntry, &s.CenterFreqUnit}};
    std::optional<long double> rad[3];
    for (int i = 0; i < 3; ++i) {
        TEditControl& e = *fields[i].edit;
        long double v = 0;
        if (e.ExactRad && e.Text == e.ExactText)
            rad[i] = *e.ExactRad;
        else if (ParseDecimal(e.Text, v) && v > 0)
            rad[i] = v * UnitFactor(*fields[i].unit);
    }
    d_.Opt.FreqUnitsHz = toHz ? 1 : 0;
    RelabelUnits();
    for (int i = 0; i < 3; ++i) {
        if (!rad[i]) continue; // an unreadable text is left for the user to correct
        SetFrequencyText(*fields[i].edit, *fields[i].unit, *rad[i]);
        *fields[i].entry = *rad[i] / UnitFactor(*fields[i].unit);
        *fields[i].unitIndex = static_cast<int16_t>(fields[i].unit->ItemIndex);
    }
}

void TfmParEnt::ApplyForceOrderState() {
    const bool forced = CheckBox1Checked;
    NumEdit2.Enabled = !forced;
    NumEdit2.LabelGreyed = forced;
    NumEdit4.Enabled = !forced;
    NumEdit4.LabelGreyed = forced;
    CB2.Enabled = !forced;
    IntEdit1.Enabled = forced;
}

void TfmParEnt::CheckBox1Click() {
    if (!Visible) return;
    CheckBox1Checked = !CheckBox1Checked;
    d_.Spec.ForceOrder = CheckBox1Checked ? 1 : 0;
    ApplyForceOrderState();
    if (CheckBox1Checked) Focus = IntEdit1.Name;
    BitBtn1Enabled = false;
}

void TfmParEnt::EntryChange(TEditControl& edit) {
    edit.ExactRad.reset();
    BitBtn1Enabled = false;
}

EntryKey TfmParEnt::KeyPress(TEditControl& edit, char key, int selected) {
    const EntryKind kind = &edit == &IntEdit1 ? EntryKind::Integer : EntryKind::Decimal;
    const EntryKey k = ClassifyEntryKey(edit, key, kind, selected);
    if (k == EntryKey::Refused) dlg_.Beep();
    if (k == EntryKey::MoveOn)
        Focus = NextFocus({&NumEdit1, &NumEdit2, &NumEdit3, &NumEdit4, &NumEdit5, &IntEdit1, &NumEdit6},
                          edit.Name);
    return k;
}

void TfmParEnt::UnitChange(TComboControl& box) {
    if (&box == &CB1) NumEdit3.ExactRad.reset();
    if (&box == &CB2) NumEdit4.ExactRad.reset();
    if (&box == &CB3) NumEdit5.ExactRad.reset();
    BitBtn1Enabled = false;
}

void TfmParEnt::CB4Change() {
    NumEdit6.Text = CB4.ItemIndex == 1 ? "0" : "1";
    BitBtn1Enabled = false;
}

void TfmParEnt::SetBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    dlg_.BusyCursor(busy);
}

void TfmParEnt::Warn(TEditControl* focus, const std::string& text) {
    dlg_.Beep();
    SetBusy(false);
    if (focus) Focus = focus->Name;
    dlg_.Message(MessageKind::Warning, text);
}

app::SpecificationEntry TfmParEnt::Entries() const {
    auto frequency = [](const TEditControl& edit, const TComboControl& unit) {
        return app::FrequencyEntry{edit.Text, unit.ItemIndex, edit.ExactRad, edit.ExactText};
    };
    app::SpecificationEntry e;
    e.apb = NumEdit1.Text;
    e.asb = NumEdit2.Text;
    e.pass = frequency(NumEdit3, CB1);
    e.stop = frequency(NumEdit4, CB2);
    e.centre = frequency(NumEdit5, CB3);
    e.forceOrder = CheckBox1Checked;
    e.order = IntEdit1.Text;
    e.gainDb = CB4.ItemIndex == 1;
    e.gain = NumEdit6.Text;
    return e;
}

void TfmParEnt::Report(const app::EntryIssue& issue) {
    if (app::IsEntryError(issue.problem)) {
        dlg_.Message(MessageKind::Error, app::EntryMessage(issue.problem));
        return;
    }
    const std::map<app::EntryField, TEditControl*> fields = {
        {app::EntryField::Order, &IntEdit1}, {app::EntryField::Apb, &NumEdit1},
        {app::EntryField::Asb, &NumEdit2},   {app::EntryField::Pass, &NumEdit3},
        {app::EntryField::Stop, &NumEdit4},  {app::EntryField::Centre, &NumEdit5},
        {app::EntryField::Gain, &NumEdit6}};
    const auto it = fields.find(issue.field);
    Warn(it == fields.end() ? nullptr : it->second, app::EntryMessage(issue.problem));
}

void TfmParEnt::CalcBtnClick() {
    if (d_.DesignLevel >= LevelCircuitsSelected &&
        dlg_.AskOkCancel(MessageKind::Warning, "This will re-initialize your design.") != Answer::Ok)
        return;
    SetBusy(true);

    // The entries are read, converted and validated on a copy of the specification, so
    // that a refused calculation leaves the design, its results and its level untouched.
    const app::SpecificationEntry entry = Entries();
    const app::SpecificationRead read = app::ReadSpecification(d_, entry);
    // An entry that cannot be read stops the reading; the checks of the values read all report.
    EntryError = !read.issues.empty() && read.issues.front().field != app::EntryField::None;
    for (const app::EntryIssue& issue : read.issues)
        Report(issue);
    if (!read.issues.empty()) return;
    const Specification& s = read.working;

    const app::SpecificationStatus status = app::CalculateApproximations(d_, s);
    if (status == app::SpecificationStatus::BesselRootsUnavailable) {
        SetBusy(false);
        dlg_.Message(MessageKind::Error, app::kBesselFileError);
        if (OnCalculated) OnCalculated();
        return;
    }

    // The comparison table is shown even when no order is low enough, so the user sees
    // ">20" for every approximation instead of nothing.
    if (std::find(Tabs.begin(), Tabs.end(), "Calculation results") == Tabs.end())
        Tabs.push_back("Calculation results");
    TabIndex = static_cast<int>(Tabs.size()) - 1;
    Table = BuildComparisonTable(d_);
    SetBusy(false);

    // The gain is read once an approximation is usable.
    BitBtn1Enabled = false;
    if (status == app::SpecificationStatus::Ok) {
        const app::GainRead gain = app::ReadOverallGain(entry);
        if (gain.issue) Report(*gain.issue);
        if (gain.gain) d_.Spec.OverallGain = *gain.gain;
        BitBtn1Enabled = gain.gain.has_value();
    }
    if (BitBtn1Enabled) app::CompleteSpecification(d_, d_.Spec.OverallGain, Responses);
    if (OnCalculated) OnCalculated();
}

void TfmParEnt::BitBtn1Click() {
    if (!BitBtn1Enabled) return;
    // A changed specification restarts the later steps from the approximation choice;
    // an unchanged one (a reloaded design merely looked at) keeps its level.
    if (d_.StepChanged || d_.DesignLevel < LevelApproximations) {
        d_.DesignLevel = LevelApproximations;
        d_.CurrentApprox = d_.SavedApprox = Butterworth;
        d_.SelectedApprox = d_.SavedSelectedApprox = Butterworth;
    }
    Visible = false;
    if (OnNext) OnNext();
}

} // namespace velmora
