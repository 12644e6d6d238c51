// The approximation step: for each of the five approximations, order estimation,
// the normalised prototype, the transformation to the filter type and frequencies,
// and the rating of the results; then the comparison table and the graph ranges.
//
// All functions work on the design record; frequencies are rad/s. The transformed
// filter as poles, zeros and numerator constant is in approx/poles_zeros.h.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/design.h"

namespace velmora {

// Long names in index order.
inline constexpr std::array<const char*, kApproxCount> kApproxNames = {
    "Butterworth", "Chebyshev", "Inverse Chebyshev", "Elliptic  (Cauer)", "Bessel (Thompson)"};

// A result whose largest pole Q exceeds this cannot be realised with op-amp stages.
inline constexpr long double kMaxUsableQp = 300.0L;

// The highest edge, centre, pole or zero frequency a design may have: 100 MHz, with a
// little room for the rounding of a typed 100 MHz (6.2832e8 rad/s). Above it the op
// amps' bandwidth, not the components, sets the response.
inline constexpr long double kMaxFrequencyRad = 6.284e8L;
// The overall gain of a design, V/V (-20 dB to 60 dB): beyond these the resistor ratios
// of the gain stages leave the range of practical component values.
inline constexpr long double kMinOverallGain = 0.1L;
inline constexpr long double kMaxOverallGain = 1000.0L;

enum class ApproxStatus { Ok, BesselRootsUnavailable };

// Clears all five approximation results (and their QpTooHigh flags).
void ClearApproximations(TDesign& d);

// Makes `index` the current approximation, sets its all-pole flag, estimates the
// order, computes the normalised poles and zeros and, unless the order is too high,
// transforms them to the filter type. Reads the working specification.
ApproxStatus ComputeApproximation(TDesign& d, int index);

// After every approximation is computed: zero counts (ZeroPairs, SingleZeros), the
// largest Qp and QpTooHigh, for every approximation whose order is not too high.
void RateApproximations(TDesign& d);

// The comparison table shown after a calculation.
struct ComparisonCell {
    std::string text;
    bool red = false;
};
struct ComparisonTable {
    std::vector<std::string> rowTitles;                 // "Order", "Circuit stages", ...
    std::string cornerTitle;                            // "Approximation:"
    std::vector<std::array<std::string, 2>> colHeaders; // {"Butter-","worth"}, ...
    std::vector<std::vector<ComparisonCell>> cells;     // [row][approximation]
    bool empty() const { return cells.empty(); }
};
ComparisonTable BuildComparisonTable(const TDesign& d);

// Default frequency axis, sweep range and time scale of the ideal-response graphs.
void ComputeGraphRanges(TDesign& d);

} // namespace velmora
