#include "ui/tfm_invent.h"

#include <algorithm>

#include "app/messages.h"
#include "circuits/inventory_lookup.h"
#include "circuits/standard_values.h"

namespace velmora {
namespace {

const std::vector<std::string> kResistorRangeItems = {"1", "10", "100", "1K", "10K", "100K", "1M", "10M"};
const std::vector<std::string> kCapacitorRangeItems = {"10pF",  "100pF", "1nF", "10nF",
                                                       "100nF", "1uF",   "10uF"};

const char* const kOhmSign = "\u03A9";

bool isCapacitors(InventoryKind k) {
    return k == InventoryKind::Capacitors;
}

} // namespace

Inventory LoadInventoryAtStart(const std::optional<std::string>& path, Dialogs& dialogs) {
    if (!path) {
        dialogs.Message(MessageKind::Warning,
                        "No folder for the component inventory was found: every value "
                        "counts as in stock, and changes to the inventory cannot be kept.");
        return FullInventory();
    }
    Inventory inv = FullInventory();
    const InventoryReadResult read = ReadInventoryFile(*path, inv);
    if (read.status == InventoryReadStatus::Read) return inv;
    if (read.status == InventoryReadStatus::Missing) {
        const FileIoResult w = WriteInventoryFile(*path, inv);
        if (!w.ok)
            dialogs.Message(MessageKind::Warning, "The component inventory could not be created (" +
                                                      w.message + "); every value counts as in stock.");
        return inv;
    }
    const std::string reason = read.status == InventoryReadStatus::Unreadable
                                   ? "it cannot be read: " + app::InventoryReadText(read)
                                   : "it is damaged: " + app::InventoryReadText(read);
    dialogs.Beep();
    const Answer a = dialogs.AskOkCancel(
        MessageKind::Warning, "The component inventory " + *path + " cannot be used (" + reason +
                                  "). Replace it with an inventory that has every value in stock?");
    if (a == Answer::Ok) {
        const FileIoResult w = WriteInventoryFile(*path, inv);
        if (!w.ok) dialogs.Message(MessageKind::Error, w.message);
    }
    return inv;
}

TfmInvent::TfmInvent(Inventory& inventory, std::optional<std::string> path, Dialogs& dialogs)
    : inventory_(inventory), path_(std::move(path)), dlg_(dialogs), working_(inventory) {}

void TfmInvent::Show(InventoryKind kind) {
    Kind = kind;
    working_ = inventory_;
    const InventorySection& s = working_[kind];
    if (isCapacitors(kind)) {
        Caption = " Capacitor Inventory Range ";
        MinLabel = "Cmin:";
        MaxLabel = "Cmax+1:";
        RangeItems = kCapacitorRangeItems;
    } else {
        Caption = std::to_string(SeriesTolerance(InventorySeries(kind))) + "% Resistor Inventory Range ";
        MinLabel = "Rmin:";
        MaxLabel = "Rmax+1:";
        RangeItems = kResistorRangeItems;
    }
    MinIndex = s.range.first;
    MaxIndex = s.range.end;
    Visible = true;
    Refill();
}

void TfmInvent::Refill() {
    const InventorySection& s = working_[Kind];
    const Series series = InventorySeries(Kind);
    // The first inventory decade's exponent: 1 ohm = 100 x 10^-2, 10 pF = 100 x 10^-13.
    const int exponent0 = isCapacitors(Kind) ? -13 : -2;
    Columns.clear();
    int marked = 0, shown = 0;
    for (int d = MinIndex; d < MaxIndex; ++d) {
        std::vector<Cell> column;
        for (int p = 0; p < s.positions; ++p) {
            Cell cell;
            cell.Value = SeriesValue(series, {d + exponent0, p});
            cell.Marked = s.InStock(d, p);
            cell.Text = isCapacitors(Kind) ? CapacitanceDisplayText(cell.Value)
                                           : ResistanceDisplayText(cell.Value) + kOhmSign;
            if (cell.Marked) cell.Text += "*";
            marked += cell.Marked ? 1 : 0;
            ++shown;
            column.push_back(std::move(cell));
        }
        Columns.push_back(std::move(column));
    }
    CountLine = std::to_string(marked) + " of " + std::to_string(shown) + " selected.";
}

void TfmInvent::MinChange(int index) {
    InventorySection& s = working_[Kind];
    MinIndex = std::clamp(index, 0, s.RangeLimit() - 1);
    if (MaxIndex <= MinIndex) MaxIndex = MinIndex + 1;
    s.range = {static_cast<int16_t>(MinIndex), static_cast<int16_t>(MaxIndex)};
    Refill();
}

void TfmInvent::MaxChange(int index) {
    InventorySection& s = working_[Kind];
    MaxIndex = std::clamp(index, 1, s.RangeLimit());
    if (MinIndex >= MaxIndex) MinIndex = MaxIndex - 1;
    s.range = {static_cast<int16_t>(MinIndex), static_cast<int16_t>(MaxIndex)};
    Refill();
}

void TfmInvent::CellClick(int column, int row) {
    if (column < 0 || column >= static_cast<int>(Columns.size())) return;
    if (row < 0 || row >= static_cast<int>(Columns[static_cast<std::size_t>(column)].size())) return;
    InventorySection& s = working_[Kind];
    const int d = MinIndex + column;
    s.SetMark(d, row, !s.InStock(d, row));
    Refill();
}

void TfmInvent::QuickSelect(int item) {
    InventorySection& s = working_[Kind];
    const auto markColumn = [&](int column, bool inStock) {
        if (column < 0 || column >= static_cast<int>(Columns.size())) return;
        for (int p = 0; p < s.positions; ++p)
            s.SetMark(MinIndex + column, p, inStock);
    };
    switch (item) {
    case 0:
    case 1:
        markColumn(item, true);
        break;
    case 2:
    case 3:
        for (int c = 0; c < static_cast<int>(Columns.size()); ++c)
            markColumn(c, item == 2);
        break;
    default:
        return;
    }
    Refill();
}

bool TfmInvent::BitBtn1Click() {
    if (path_) {
        const FileIoResult w = WriteInventoryFile(*path_, working_);
        if (!w.ok) {
            dlg_.Message(MessageKind::Error, w.message);
            return false;
        }
    }
    inventory_ = working_;
    Visible = false;
    return true;
}

void TfmInvent::BitBtn2Click() {
    working_ = inventory_;
    Visible = false;
}

} // namespace velmora
