// TfmSpice: the SPICE netlist form.
#include "ui/tfm_spice.h"

#include <filesystem>
#include <numbers>

#include "app/messages.h"
#include "model/number_text.h"

namespace velmora {
namespace {

constexpr long double kHzPerRad = 0.15915494309189535L; // 1 / (2 pi)

// A sweep limit as the form shows it: the value in Hz, in kHz from 1000 Hz on, fixed
// point with two decimals in five characters.
void ShowLimit(long double hz, TSpiceEdit& edit, TSpiceCombo& unit) {
    const bool kilo = hz >= 1000.0L;
    unit.ItemIndex = kilo ? 1 : 0;
    edit.Text = FixedText(kilo ? hz * 0.001L : hz, 2, 5);
    edit.ExactHz = hz;
    edit.ExactText = edit.Text;
}

// The frequency a limit stands for, in Hz: the exact value while its text is the one
// shown (and the unit unchanged), else the number typed times the unit.
std::optional<long double> LimitHz(const TSpiceEdit& edit, const TSpiceCombo& unit, int shownUnit) {
    if (edit.ExactHz && edit.Text == edit.ExactText && unit.ItemIndex == shownUnit) return edit.ExactHz;
    std::string t = edit.Text;
    while (!t.empty() && t.front() == ' ')
        t.erase(t.begin());
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    long double v = 0;
    if (!ParseDecimal(t, v)) return std::nullopt;
    return v * (unit.ItemIndex == 1 ? 1000.0L : 1.0L);
}

} // namespace

TfmSpice::TfmSpice(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmSpice::FormShow(const FrequencyAxis& graph) {
    const long double toHz = graph.Hz ? 1.0L : kHzPerRad;
    ShowLimit(graph.Min * toHz, Edit1, ComboBox1);
    ShowLimit(graph.Max * toHz, Edit2, ComboBox2);
    shownUnit1_ = ComboBox1.ItemIndex;
    shownUnit2_ = ComboBox2.ItemIndex;
    Visible = true;
}

void TfmSpice::CBox1Click() {
    const bool on = CBox1.Checked;
    Edit4.Enabled = on;
    ComboBox3.Enabled = on;
    ComboBox4.Enabled = on;
}

SpiceStatus TfmSpice::ReadOptions(SpiceOptions& o) const {
    const auto start = LimitHz(Edit1, ComboBox1, shownUnit1_);
    if (!start || !(*start > 0.0L)) return SpiceStatus::BadStart;
    const auto end = LimitHz(Edit2, ComboBox2, shownUnit2_);
    if (!end || !(*end > *start)) return SpiceStatus::BadEnd;
    o.startHz = *start;
    o.endHz = *end;
    o.pointsPerDecade = Edit3.Text;
    o.probe = CheckBox1.Checked;
    o.print = CheckBox2.Checked;
    o.plot = CheckBox3.Checked;
    o.monteCarlo = CBox1.Checked;
    o.runs = Edit4.Text;
    o.resistorTolerance = ComboBox3.Text();
    o.capacitorTolerance = ComboBox4.Text();
    o.opamp = RadioButton1Checked ? SpiceOpAmpModel::Vcvs : SpiceOpAmpModel::SinglePole;
    o.dialect = ComboBox5.ItemIndex == 1 ? SpiceDialect::Ngspice : SpiceDialect::Default;
    return SpiceStatus::Ok;
}

bool TfmSpice::BitBtn1Click() {
    LastNetlist.clear();
    if (d_.StageCount < 1 || StageWithoutCircuit(d_) != 0) {
        const int stage = d_.StageCount < 1 ? 0 : StageWithoutCircuit(d_);
        dlg_.Message(MessageKind::Error,
                     app::SpiceStatusMessage(
                         d_.StageCount < 1 ? SpiceStatus::NoStages : SpiceStatus::MissingCircuit, stage));
        Visible = false;
        return false;
    }
    SpiceOptions o;
    SpiceStatus status = ReadOptions(o);
    // The entries are checked before the file is chosen; a refused entry keeps the form.
    SpiceNetlist probe;
    probe.status = status;
    if (status == SpiceStatus::Ok) probe = BuildSpiceNetlist(d_, o);
    if (probe.status != SpiceStatus::Ok) {
        dlg_.Beep();
        dlg_.Message(MessageKind::Warning, app::SpiceStatusMessage(probe.status, probe.stage));
        return false;
    }
    FileChoice req;
    req.save = true;
    req.defaultExtension = "cir";
    req.filter = "SPICE netlist|*.cir";
    req.initialFolder = "SPICE";
    const auto path = dlg_.ChooseFile(req);
    Visible = false;
    if (!path) return false;
    // ngspice's data file is named after the netlist and written beside it.
    o.dataFile = std::filesystem::path(*path).stem().string() + ".ac.txt";
    const SpiceNetlist net = BuildSpiceNetlist(d_, o);
    LastNetlist = net.lines;
    const FileIoResult written = WriteSpiceNetlist(*path, net.lines);
    if (!written.ok) {
        dlg_.Message(MessageKind::Error, written.message);
        return false;
    }
    return true;
}

} // namespace velmora
