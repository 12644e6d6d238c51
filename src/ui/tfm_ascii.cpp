#include "ui/tfm_ascii.h"

#include "analysis/ideal_responses.h"
#include "approx/poles_zeros.h"
#include "stages/gains.h"
#include "ui/stage_texts.h"
#include "ui/tfm_transfer.h"

namespace velmora {
namespace {

bool StagesExist(const TDesign& d) {
    return d.DesignLevel >= LevelCascaded ||
           (d.Spec.FilterType == UserDefined && d.DesignLevel >= LevelApproxChosen);
}

// A column of the coefficient block. The coefficient window's cells are used as they
// are, with a blank in front of the literal ones where the scientific form has its sign.
AsciiStageCells StageCells(const TDesign& d, int stage, bool hz) {
    std::array<std::string, 10> row = CoefficientRow(d, stage, hz);
    const TStageCircuit& c = d.Circuits[stage];
    // Before the gain step has run on this design (a user-defined filter's stages) the
    // optimal gain is not recorded yet; it follows from the stage's own constant.
    const long double optimal =
        c.OptimalGain != 0.0L ? static_cast<long double>(c.OptimalGain) : OptimalStageGain(d, stage);
    const long double to =
        d.DesignLevel >= LevelComponents ? static_cast<long double>(c.ActualGain) : optimal;
    row[0] = CoefficientText(to);
    for (std::string& cell : row)
        if (cell == "1.0" || cell == "0" || cell == "----") cell = " " + cell;
    return row;
}

} // namespace

std::string AsciiText(TDesign& d, const AsciiOptions& options, bool hz, const std::string& dateTime,
                      const std::optional<FrequencyAxis>& axis) {
    const int approx = d.Spec.FilterType == UserDefined ? 0 : d.SelectedApprox;
    AsciiExportData data;
    data.DateTime = dateTime;
    data.Hz = hz;
    if (options.Coefficients && StagesExist(d))
        for (int s = 1; s <= d.StageCount; ++s)
            data.Stages.push_back(StageCells(d, s, hz));
    if (options.PolesZeros) {
        data.Poles = ApproxPoles(d, approx);
        data.Zeros = ApproxZeros(d, approx);
    }
    if (options.FrequencyData) ComputeIdealFrequencyResponses(d, axis ? *axis : DefaultIdealAxes(d).Freq);
    std::string text = AsciiExportText(d, options, data);
    d.SelectedApprox = d.SavedSelectedApprox;
    d.CurrentApprox = d.SavedApprox;
    return text;
}

FileIoResult ExportAscii(TDesign& d, const AsciiOptions& options, bool hz, const std::string& path,
                         const std::optional<FrequencyAxis>& axis) {
    const std::string text = AsciiText(d, options, hz, CurrentDateTimeText(), axis);
    return WriteFileReplacing(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

TfmAscii::TfmAscii(TDesign& design, Dialogs& dialogs) : d_(design), dlg_(dialogs) {}

void TfmAscii::FormShow() {
    CheckBox1.Enabled = d_.Spec.FilterType != UserDefined;
    CheckBox2.Enabled = StagesExist(d_);
    if (!CheckBox2.Enabled) CheckBox2.Checked = false;
    Visible = true;
}

AsciiOptions TfmAscii::Options() const {
    AsciiOptions o;
    o.Specification = CheckBox1.Checked && CheckBox1.Enabled;
    o.Coefficients = CheckBox2.Checked && CheckBox2.Enabled;
    o.PolesZeros = CheckBox3.Checked;
    o.FrequencyData = CheckBox4.Checked;
    return o;
}

bool TfmAscii::BitBtn1Click(const std::string& path, bool hz, const std::optional<FrequencyAxis>& axis) {
    Visible = false;
    dlg_.BusyCursor(true);
    FileIoResult r = ExportAscii(d_, Options(), hz, path, axis);
    dlg_.BusyCursor(false);
    if (!r.ok) dlg_.Message(MessageKind::Error, r.message);
    return r.ok;
}

} // namespace velmora
