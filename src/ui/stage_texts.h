// Number texts of the stage windows: list values and the frequency display unit.
#pragma once

#include <string>

namespace velmora {

// A frequency in rad/s shown in the display unit (Hz divides by 2 pi).
long double FrequencyIn(long double w, bool hz);

// A list value: up to 4 decimals, trailing zeros trimmed, for magnitudes from 1e-3 to
// 1e6; otherwise the scientific form with 4 decimals (without its sign blank).
std::string ListNumber(long double x);

// A coefficient cell: the scientific form with a 7-decimal mantissa.
std::string CoefficientText(long double x);

} // namespace velmora
