#include "ui/tfm_comp_sens.h"

#include <algorithm>
#include <cmath>

#include "model/number_text.h"

namespace velmora {
namespace {

constexpr const char* kTitles[] = {"T0", "wp", "Qp", "wz", "wc"};

bool isFirstOrder(uint8_t stageType) {
    return stageType == 0 || stageType == 1; // FLP, FHP
}

// A stored value that is not finite has no meaningful bar and no place in the scale.
long double usable(long double v) {
    return std::isfinite(v) ? v : 0.0L;
}

} // namespace

TfmCompSens::TfmCompSens(const TDesign& design) : d_(design) {}

void TfmCompSens::FormShow() {
    Visible = true;
    Tabs.clear();
    for (int n = 1; n <= std::min<int>(d_.StageCount, kMaxStages); ++n)
        Tabs.push_back("Stage " + std::to_string(n));
    TabChange(1);
}

void TfmCompSens::TabChange(int stage) {
    Rows.clear();
    ColumnTitles.clear();
    Scale = 0;
    if (stage < 1 || stage > std::min<int>(d_.StageCount, kMaxStages)) {
        Stage = 0;
        return;
    }
    Stage = stage;
    FirstOrder = isFirstOrder(d_.Stages[stage].StageType);
    ColumnTitles.assign(kTitles, kTitles + (FirstOrder ? 5 : 4));
    const TStageCircuit& c = d_.Circuits[stage];

    const auto addRow = [&](const std::string& name, const TComponentItem& item) {
        Row row{name, std::vector<Cell>(ColumnCount)};
        const long double values[ColumnCount] = {item.SensGain, item.SensWp, item.SensQp, item.SensWz,
                                                 item.SensWp};
        for (int k = 0; k < ColumnCount; ++k) {
            Cell& cell = row.Cells[static_cast<std::size_t>(k)];
            cell.Shown = FirstOrder ? (k == T0 || k == Wc) : k != Wc;
            if (!cell.Shown) continue;
            cell.Value = usable(values[k]);
            cell.Text = FixedText(cell.Value, 3);
            Scale = std::max(Scale, std::fabs(cell.Value));
        }
        Rows.push_back(std::move(row));
    };
    const int resistors = std::clamp<int>(c.ResistorCount, 0, kResistorSlots);
    const int capacitors = std::clamp<int>(c.CapacitorCount, 0, kCapacitorSlots);
    for (int n = 1; n <= resistors; ++n)
        addRow("R" + std::to_string(n), c.Components[n]);
    for (int n = 1; n <= capacitors; ++n)
        addRow("C" + std::to_string(n), c.Components[kResistorSlots + n]);

    if (Scale > 0)
        for (Row& row : Rows)
            for (Cell& cell : row.Cells)
                if (cell.Shown)
                    cell.Bar = static_cast<int>(
                        std::trunc(static_cast<double>(cell.Value / Scale) * HalfColumnWidth));
}

void TfmCompSens::Paint(DrawingSurface& s, double left, double top) const {
    s.SetFont("Arial", 11);
    s.SetTextColor(colors::Text);
    const double nameWidth = 60, columnWidth = 2 * HalfColumnWidth + 10;
    const double lineHeight = s.TextHeight("Rg") + 4;
    const auto columnCentre = [&](int k) { return left + nameWidth + (k + 0.5) * columnWidth; };
    const auto centred = [&](const std::string& text, double centre, double y) {
        s.TextOut(centre - s.TextWidth(text) / 2, y, text);
    };
    // Columns drawn: every title in order, so a first-order table shows wc last.
    std::vector<int> columns;
    for (int k = 0; k < static_cast<int>(ColumnTitles.size()); ++k)
        columns.push_back(k);

    s.TextOut(left, top, Title);
    s.TextOut(left, top + lineHeight, SecondTitle);
    for (int k : columns) {
        centred(ColumnTitles[static_cast<std::size_t>(k)], columnCentre(k), top);
        centred(SignCaption, columnCentre(k), top + lineHeight);
    }
    double y = top + 2 * lineHeight;
    s.SetBrush(colors::Marker);
    for (const Row& row : Rows) {
        s.TextOut(left, y, row.Name);
        for (int k : columns) {
            const Cell& cell = row.Cells[static_cast<std::size_t>(k)];
            if (!cell.Shown) continue;
            const double centre = columnCentre(k);
            if (cell.Bar != 0)
                s.FillRect(std::min(centre, centre + cell.Bar), y + 2, std::max(centre, centre + cell.Bar),
                           y + lineHeight - 2);
        }
        y += lineHeight;
    }
    // The centre lines the bars start from.
    s.SetPen(colors::Frame);
    for (int k : columns)
        s.Line(columnCentre(k), top + 2 * lineHeight, columnCentre(k), y);
}

} // namespace velmora
