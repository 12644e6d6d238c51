#include "ui/tfm_gain.h"

#include <array>
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

void TfmGain::AdjustClick() {
    if (OnAdjust) OnAdjust();
}

namespace {
constexpr double kGridRow = 18, kGridHeader = 2 * kGridRow + 4;
constexpr std::array<double, 5> kGridColumns = {0.10, 0.20, 0.20, 0.20, 0.30}; // of the width
} // namespace

double GainGridHeight(const TfmGain& m) {
    return kGridHeader + kGridRow * static_cast<double>(m.Rows.size()) + 6;
}

void PaintGainGrid(DrawingSurface& s, const TfmGain& m) {
    const double W = s.Width();
    s.SetBrush(colors::White);
    s.FillRect(0, 0, W, s.Height());
    std::array<double, 6> x{};
    for (std::size_t c = 0; c < kGridColumns.size(); ++c)
        x[c + 1] = x[c] + kGridColumns[c] * (W - 1);
    s.SetFont("Arial", 9, FontBold);
    s.SetTextColor(colors::Text);
    s.SetBrush(Color{236, 236, 236});
    s.FillRect(0, 0, W - 1, kGridHeader);
    for (std::size_t c = 0; c < m.Headers.size() && c < 5; ++c)
        for (int line = 0; line < 2; ++line) {
            const std::string& t = m.Headers[c][static_cast<std::size_t>(line)];
            s.TextOut((x[c] + x[c + 1] - s.TextWidth(t)) / 2, 2 + line * kGridRow, t);
        }
    s.SetFont("Courier New", 9);
    const Color adjusted{20, 60, 200}, bar{40, 150, 70};
    for (std::size_t r = 0; r < m.Rows.size(); ++r) {
        const TfmGain::Row& row = m.Rows[r];
        const double y = kGridHeader + kGridRow * static_cast<double>(r);
        const std::array<const std::string*, 4> cells = {&row.stage, &row.optimal, &row.constraint,
                                                         &row.actual};
        for (std::size_t c = 0; c < cells.size(); ++c) {
            s.SetTextColor(c == 1 && row.optimalAdjusted ? adjusted : colors::Text);
            s.TextOut(x[c + 1] - 6 - s.TextWidth(*cells[c]), y + 2, *cells[c]);
        }
        const double len = static_cast<double>(row.rangeBar) * (x[5] - x[4] - 12);
        if (len > 0) {
            s.SetBrush(bar);
            s.FillRect(x[4] + 6, y + 4, x[4] + 6 + len, y + kGridRow - 4);
        }
    }
    const double bottom = kGridHeader + kGridRow * static_cast<double>(m.Rows.size());
    s.SetPen(colors::Frame, 1);
    s.Rectangle(0, 0, W - 1, bottom);
    s.Line(0, kGridHeader, W - 1, kGridHeader);
    for (std::size_t c = 1; c < 5; ++c)
        s.Line(x[c], 0, x[c], bottom);
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
