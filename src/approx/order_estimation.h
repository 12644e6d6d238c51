// Order estimation: the steps every approximation shares, and the order formulas
// of the approximations that have one.
//
// The prototype order N comes either from the user (a forced order, halved for
// bandpass and bandstop because each prototype pole becomes two filter poles) or
// from a real-valued estimate x that is rounded up to the next integer. The estimate
// is stored once as a Real48 before rounding, so an x that is an integer to the
// precision of the design record is not rounded up.
#pragma once

#include "model/design.h"

namespace velmora {

// How the prototype order was obtained.
struct OrderChoice {
    long double N = 0;      // prototype order (a whole number; may exceed the limit)
    bool forced = false;    // typed by the user
    bool roundedUp = false; // estimated, and the estimate had a fractional part
};

// Excess ratios of the attenuation limits: a = 10^(Apb/10) - 1, b = 10^(Asb/10) - 1.
// b / a is the power ratio the stopband must gain over the passband.
long double PassbandExcess(long double apbDb);
long double StopbandExcess(long double asbDb);

// Order estimates x (before rounding); s is the selectivity (transition ratio > 1).
long double ButterworthOrderEstimate(long double a, long double b, long double s);
long double ChebyshevOrderEstimate(long double a, long double b, long double s); // also Inverse Chebyshev
long double EllipticOrderEstimate(long double D, long double q);                 // D = b / a, q the nome

bool IsBandFilter(const Specification& spec); // bandpass or bandstop

// The forced prototype order (halved for bandpass and bandstop).
OrderChoice ForcedPrototypeOrder(const Specification& spec);

// Rounds an order estimate up to a whole order after storing it as a Real48.
// A non-finite estimate gives an order above every limit.
OrderChoice RoundOrderUp(long double x);

// Forced order if the user forced one, else RoundOrderUp(estimate()).
template <typename Estimate> OrderChoice ChooseOrder(const Specification& spec, Estimate estimate) {
    return spec.ForceOrder ? ForcedPrototypeOrder(spec) : RoundOrderUp(estimate());
}

// Records the counts that follow from N (Order, PolePairs, HasRealPole and, for
// approximations with finite zeros, ProtoZeroPairs). When N exceeds the limit
// (20, or a filter order 2N above 20 for bandpass and bandstop) it sets OrderTooHigh
// and returns false: no poles are computed for this approximation.
bool RecordOrder(ApproxResult& r, const Specification& spec, long double N, bool finiteZeros);

} // namespace velmora
