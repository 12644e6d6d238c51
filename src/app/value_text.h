// Reading of typed values: numbers with SI suffixes and capacitances with unit prefixes.
#pragma once

#include <optional>
#include <string>

namespace velmora::app {

// A non-negative number with an optional SI suffix k (1e3) or M (1e6): "1k", "2.5M",
// "100". Returns nothing for a negative, malformed or non-finite value.
std::optional<long double> ParseScaled(const std::string& text);

// A capacitance in farads: a non-negative number with an optional unit prefix p (1e-12),
// n (1e-9) or u (1e-6) and an optional F: "10n", "4.7nF", "1u", "1e-8". Nothing for
// anything else.
std::optional<long double> ParseCapacitance(const std::string& text);

// A non-negative plain number ("0.5", "30", "1e-1"); nothing for anything else.
std::optional<long double> ParseNonNegative(const std::string& text);

} // namespace velmora::app
