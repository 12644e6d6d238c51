// The component inventory as substitution sees it: whether a value is in stock, and
// which in-stock value stands in for a computed one.
#pragma once

#include <optional>
#include <string>

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

// The lowest and the highest value in stock within the section's range; nothing when no
// value of the range is in stock.
struct StockedSpan {
    long double lowest = 0, highest = 0;
};
std::optional<StockedSpan> StockedValues(const Inventory& inv, InventoryKind k);

// The in-stock value for a computed value: the value itself when it is a series value
// in stock; else the nearer of its two series neighbours that is in stock (the lower on
// equal distance); when neither is, the in-stock value nearest to it (absolute
// difference, the lower on a tie) anywhere in the section's range, provided the value
// lies among the values in stock (from the lowest to the highest). A value beyond them
// with neither neighbour in stock has no stand-in: the nearest would be the end of the
// stock, a whole number of series steps away, and a narrow stock would put one value in
// place of every larger (or smaller) one, moving the response far from the design.
// Nothing, too, when no value of the range is in stock or the value is not positive.
std::optional<long double> InventoryValue(const Inventory& inv, InventoryKind k, long double value);

// A note on the component values for the person, as facts (the front end words it): a
// component that keeps its value because no standard value stands in for it, no
// capacitor of the inventory range in stock at all, or a stage whose capacitors could not
// be set (with the reason the step gave).
// Why a stage's capacitors could not be set and its resistors recalculated: the circuit
// ties its capacitors to each other (NotAmenable), standard resistor values lock them
// (Locked), the solution's matrix is singular or runs away (Singular, Invalid), or the
// circuit cannot be calculated for the values (Failed).
enum class RecalcStatus { Ok, NotAmenable, Locked, Singular, Invalid, Failed };

struct ValueNote {
    enum class Kind { KeptValue, NoCapacitorInStock, StageRefused };
    Kind kind = Kind::KeptValue;
    int stage = 0;
    bool capacitor = false;                  // a capacitor, else a resistor
    int n = 0;                               // its number in the stage (R1, C2)
    long double value = 0;                   // ohms or farads
    std::optional<StockedSpan> stocked;      // the values in stock; none: nothing of the range
    RecalcStatus refusal = RecalcStatus::Ok; // StageRefused: why
};

} // namespace velmora
