// The ideal gain, phase lag and group delay of an approximation over the whole frequency
// column, evaluated fast.
//
// A zoom or a new specification recomputes 351 points of every approximation, up to
// twenty poles and zeros each. The point evaluations of frequency_response.h work in
// extended precision, where one arctangent and one logarithm alone cost about 75 ns. The
// column fill here evaluates every point at once in vector loops, carrying with each
// value a bound on its error, and keeps a value only when its 6-byte rounding is certain
// (numeric/sure_rounding.h); every other value of the point is evaluated again in extended
// precision. The phase and the delay are evaluated in double precision, so what is kept
// is what the extended evaluation stores. The gain is evaluated as a sum of two doubles
// (some 2^-90 of itself), more closely than in extended precision: gains within about
// 1e-3 dB of 0 dB, whose 6-byte value depends on digits the extended evaluation does not
// have, are stored as the exact gain rounds, where the extended evaluation may be a unit
// off.
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
