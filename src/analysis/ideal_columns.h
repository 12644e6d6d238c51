// The ideal gain, phase lag and group delay of an approximation over the whole frequency
// column, evaluated fast.
//
// A zoom or a new specification recomputes 351 points of every approximation, up to
// twenty poles and zeros each. The point evaluations of frequency_response.h work in
// extended precision, where one arctangent and one logarithm alone cost about 75 ns. The
// column fill here evaluates the same quantities in double precision, carrying with each
// value a bound on its error, and keeps a value only when its 6-byte rounding is certain
// (model/sure_rounding.h); every other value of the point is evaluated again in extended
// precision. The stored columns are therefore those of the extended-precision evaluation.
#pragma once

#include "analysis/ideal_filter.h"
#include "model/design.h"

namespace velmora {

struct IdealColumnCount {
    int Values = 0;  // values stored (four per point: dB, V/V, phase lag, delay)
    int Refused = 0; // of those, the ones evaluated again in extended precision
    // The same by quantity.
    int RefusedVV = 0, RefusedDb = 0, RefusedPhase = 0, RefusedDelay = 0;
};

// Fills GainDb, GainVV, Phase and Delay of every point of approximation `approx` over the
// design's frequency column (the notches are not marked here). Returns how many values
// needed the extended-precision evaluation.
IdealColumnCount IdealFrequencyColumns(TDesign& d, int approx);
// The same with the approximation's factors (IdealFilterOf) already at hand.
IdealColumnCount IdealFrequencyColumns(TDesign& d, int approx, const IdealFilter& f);

// The same columns evaluated point by point in extended precision: the reference the
// fast fill reproduces.
void IdealFrequencyColumnsExtended(TDesign& d, int approx);

} // namespace velmora
