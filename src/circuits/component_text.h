// Component values as the circuit windows show them: at most four significant
// characters in the value's display unit ("4.7nF", "150pF", "12.3K", "  N/A").
#pragma once

#include <string>

namespace velmora {

// Resistance: "  N/A" for 0 or below; from 1e9 ohms in G, from 1e6 in M, from 1e3 in K,
// otherwise in ohms without a suffix.
std::string ResistanceText(long double ohms);
// Capacitance: below 9.9999e-10 F in pF, below 9.9999e-7 F in nF, below 0.00099999 F in
// uF, otherwise in farads without a unit.
std::string CapacitanceText(long double farads);
// The digits of a value in its unit: 4 decimals, trailing zeros and point removed, then
// cut to 4 characters (3 when the fourth is the point) with the first dropped digit
// rounding half-up and its carry running to the left.
std::string ShortValueDigits(long double x);

} // namespace velmora
