// TfmInvent: the inventory editor. It shows the values of one inventory section (the
// 1 %, 5 % or 10 % resistor series, or the capacitors) as a grid with one column per
// decade of the section's range, marks the values in stock, and on OK writes the whole
// inventory back to its file.
//
// The inventory itself is loaded once at start (LoadInventoryAtStart); a damaged or
// unreadable file is replaced only when the person agrees.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/inventory_file.h"
#include "ui/dialogs.h"

namespace velmora {

// The inventory at program start: read from `path`; a missing file is created with
// every value in stock. A file that cannot be read or is not an inventory is reported
// and replaced by a full inventory only when the person answers OK; on Cancel the
// program works with a full inventory in memory and leaves the file as it is. Without
// a path (no user data folder) the full inventory is used and the person is told that
// changes cannot be kept.
Inventory LoadInventoryAtStart(const std::optional<std::string>& path, Dialogs& dialogs);

class TfmInvent {
  public:
    // `inventory` is the program's inventory, changed only by a successful OK.
    TfmInvent(Inventory& inventory, std::optional<std::string> path, Dialogs& dialogs);

    // Opens the editor on a section, from the program's inventory.
    void Show(InventoryKind kind);

    struct Cell {
        std::string Text; // value, unit (ohm sign for resistors) and "*" when marked
        long double Value = 0;
        bool Marked = false;
    };

    bool Visible = false;
    InventoryKind Kind = InventoryKind::Resistors1;
    std::string Caption;                    // "1% Resistor Inventory Range ", " Capacitor Inventory Range "
    std::string MinLabel, MaxLabel;         // "Rmin:", "Rmax+1:" or "Cmin:", "Cmax+1:"
    std::vector<std::string> RangeItems;    // "1" .. "10M" or "10pF" .. "10uF"
    int MinIndex = 0, MaxIndex = 0;         // the range shown: decades MinIndex .. MaxIndex - 1
    std::vector<std::vector<Cell>> Columns; // one per decade shown, values upwards
    std::string CountLine;                  // n " of " m " selected."
    const std::vector<std::string> QuickSelectItems = {" Column1", " Column2", "Mark All", "Unmark All"};

    // Range boxes. A first decade at or above the end moves the end one above it, an
    // end at or below the first decade moves the first decade one below it.
    void MinChange(int index);
    void MaxChange(int index);
    // A click on a value toggles its mark.
    void CellClick(int column, int row);
    // Quick select: 0 marks every value of the first column shown, 1 of the second,
    // 2 marks and 3 unmarks every value shown.
    void QuickSelect(int item);
    // OK: writes the whole inventory; true when the form closes. A failed write is
    // reported, and the form stays open with the program's inventory unchanged.
    bool BitBtn1Click();
    // Cancel: the edits are dropped.
    void BitBtn2Click();

  private:
    Inventory& inventory_;
    std::optional<std::string> path_;
    Dialogs& dlg_;
    Inventory working_;

    void Refill();
};

} // namespace velmora
