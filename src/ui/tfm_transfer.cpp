#include "ui/tfm_transfer.h"

#include "stages/stage_types.h"
#include "ui/stage_texts.h"

namespace velmora {
namespace {

// Literal entries of the table are written as such; computed ones in scientific form.
std::string Cell(long double x, bool literal) {
    if (literal) return x == 0.0L ? "0" : "1.0";
    return CoefficientText(x);
}

} // namespace

std::array<std::string, 10> CoefficientRow(const TDesign& d, int stage, bool hz) {
    const TStageCoeffs& s = d.Stages[stage];
    const BiquadCoefficients c = StageBiquad(s, hz);
    const bool first = isFirstOrder(s.StageType);
    const int t = s.StageType;
    // A and D are always 0 or 1.0; B is computed only for SBP (wp/Qp); C for FLP (sigma),
    // SLP (wp^2) and notches (wz^2); E is 1.0 for first-order stages; F always computed.
    std::array<std::string, 10> r;
    r[0] = CoefficientText(d.Circuits[stage].ActualGain);
    r[1] = Cell(c.A, true);
    r[2] = Cell(c.B, t != stSBP);
    r[3] = Cell(c.C, !(t == stFLP || t == stSLP || isNotch(t)));
    r[4] = Cell(c.D, true);
    r[5] = Cell(c.E, first);
    r[6] = Cell(c.F, false);
    r[7] = first ? "----" : CoefficientText(c.wp);
    r[8] = first ? "----" : CoefficientText(c.qp);
    r[9] = c.notch ? CoefficientText(c.wz) : "----";
    return r;
}

TfmTransfer::TfmTransfer(TDesign& design) : d_(design) {}

void TfmTransfer::FormShow() {
    Hz = false;
    Visible = true;
    Refresh();
}

void TfmTransfer::UnitClick(bool hz) {
    Hz = hz;
    Refresh();
}

void TfmTransfer::Refresh() {
    Headers = {"Stage", "Type", "To", "A", "B", "C", "D", "E", "F", Hz ? "fp" : "wp", "Qp", Hz ? "fz" : "wz"};
    Rows.clear();
    for (int s = 1; s <= d_.StageCount; ++s) {
        std::vector<std::string> row = {std::to_string(s), d_.Stages[s].Name};
        for (const std::string& cell : CoefficientRow(d_, s, Hz))
            row.push_back(cell);
        Rows.push_back(row);
    }
}

} // namespace velmora
