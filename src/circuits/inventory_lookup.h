// The component inventory as substitution sees it: whether a value is in stock, and
// which in-stock value stands in for a computed one.
#pragma once

#include <optional>

#include "circuits/standard_values.h"
#include "model/inventory_file.h"

namespace velmora {

// The inventory section of a resistor tolerance (1, 5 or 10 %), nothing for others.
std::optional<InventoryKind> ResistorInventoryKind(long double tolerancePercent);
// The series whose values a section marks.
Series InventorySeries(InventoryKind k);

// The inventory decade of a series position: resistors 1..9.76 ohm is decade 0,
// capacitors 10..82 pF is decade 0.
int InventoryDecade(InventoryKind k, SeriesPosition p);

// A series value is in stock when its decade lies inside the file's decades and the
// section's range, and its mark is set. A value that is no series value, or not
// positive, never is.
bool InStock(const Inventory& inv, InventoryKind k, long double value);
bool InStock(const Inventory& inv, InventoryKind k, SeriesPosition p);

// The in-stock value for a computed value: the value itself when it is a series value
// in stock; else the nearer of its two series neighbours that is in stock (the lower on
// equal distance); when neither is, the in-stock value nearest to it (absolute
// difference, the lower on a tie) anywhere in the section's range. Nothing when no value
// of the range is in stock or the value is not positive.
std::optional<long double> InventoryValue(const Inventory& inv, InventoryKind k, long double value);

} // namespace velmora
