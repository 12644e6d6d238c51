// The program's number texts: scientific, fixed-point and frequency-with-unit forms.
#pragma once

#include <string>

namespace velmora {

// Scientific text: a sign character ("-" or a blank), the mantissa scaled into
// [1, 10) with `decimals` decimals, "E", the exponent's sign ("+" or "-") and the
// exponent's magnitude without leading zeros. Magnitudes below 1e-37 are written as
// zero. A mantissa that rounds up to 10 carries into the exponent.
// ScientificText(1000, 7) == " 1.0000000E+3"; ScientificText(0.5, 5) == " 5.00000E-1".
std::string ScientificText(long double x, int decimals);

// Fixed point with `decimals` decimals, right-aligned in at least `width` characters.
std::string FixedText(long double x, int decimals, int width = 0);

// Fixed point with up to `decimals` decimals, trailing zeros and then a trailing
// decimal point removed: TrimmedText(1.5920, 3) == "1.592", TrimmedText(2.0, 3) == "2".
std::string TrimmedText(long double x, int decimals);

// A frequency in the unit given (Hz when hz, else rad/s), scaled to G, M or K when it
// is at least 1e9, 1e6 or 1e3, with 3 decimals trimmed and the unit:
// FrequencyWithUnit(1591.549, true) == "1.592 KHz"; (10, false) == "10 rad/s".
std::string FrequencyWithUnit(long double value, bool hz);

// Parses a whole decimal number (digits and at most one decimal point, at least one
// digit, nothing else). Returns false for anything else.
bool ParseDecimal(const std::string& text, long double& value);

} // namespace velmora
