// Ideal time responses: the step and impulse responses of an approximation in closed
// form, from the partial-fraction expansion of H(s)/s.
//
// With H(s) = K prod(s - z_j) / prod(s - p_k) and distinct poles,
//   H(s)/s = r_0 / s + sum_k r_k / (s - p_k),
//   r_0 = H(0),  r_k = K prod_j (p_k - z_j) / (p_k prod_{i != k} (p_k - p_i)),
// so the step response is y(t) = r_0 + sum_k r_k e^(p_k t) and the impulse response
// its derivative, sum_k r_k p_k e^(p_k t). A conjugate pair contributes twice the real
// part of its upper pole's term. Both are multiplied by the overall gain. The Dirac
// impulse of a filter whose gain does not vanish at high frequency (highpass, notch,
// even-order elliptic) lies at t = 0 and is not part of the sampled impulse response.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/ideal_filter.h"
#include "model/design.h"

namespace velmora {

// The time axis: from Start to FullScale, both in units of 10^Exp seconds, ticks every
// Tick of those units.
struct TimeAxis {
    long double Start = 0;
    long double FullScale = 2;
    long double Tick = 0.2L;
    int16_t Exp = 0;
};

// The default time axis: for every approximation with a response, an estimate of the
// time its response needs, from its last pole pair (P pairs, real part sigma):
// (199 - 19 P) / (12 sigma) for P <= 2, (199 - 19 P) / (18 sigma) for P >= 3, or
// 40 / sigma_r for a lone real pole. The largest estimate over three is brought into
// (1, 10] by a power of ten 10^Exp and the axis is 2, 5 or 10 of those units with ticks
// of 0.2, 0.5 or 1. Without any response the axis is 2 s.
TimeAxis DefaultTimeAxis(const TDesign& d);

// The time of point i of n intervals, in seconds.
long double AxisTime(const TimeAxis& axis, int i, int n = kResponseIntervals);

// One term of the expansion: a real pole, or the upper pole of a conjugate pair.
struct PoleResidue {
    long double Sigma = 0; // pole at -Sigma + j Omega
    long double Omega = 0;
    bool Pair = false;
    long double Magnitude = 0; // |r_k|
    long double Angle = 0;     // arg r_k, radians
};

struct ResidueSet {
    bool Valid = false;         // false when a pole lies at the origin
    long double Magnitude0 = 0; // |r_0| = |H(0)| (the pole of the unit step)
    long double Angle0 = 0;
    std::vector<PoleResidue> Terms;
};

// The residues of `f`. Poles that coincide (a section of Q exactly 0.5, repeated
// sections of a user-defined filter) are moved apart by a relative 1e-6 first, which
// changes the response by about 1e-12 of its size instead of dividing by zero.
ResidueSet Residues(const IdealFilter& f);

// Step response in volts and impulse response in volts per second at t seconds, for
// the overall gain G. Terms with sigma t >= 50 (below e^-50) are left out.
long double StepValue(const ResidueSet& r, long double G, long double t);
long double ImpulseValue(const ResidueSet& r, long double G, long double t);

// Column fills of approximation `approx` over points first..last of the time axis:
// step response in volts, impulse response in volts per second (not scaled).
void StepResponse(TDesign& d, int approx, const TimeAxis& axis, int first = 0, int last = kResponseIntervals);
void ImpulseResponse(TDesign& d, int approx, const TimeAxis& axis, int first = 0,
                     int last = kResponseIntervals);
// Both columns over the whole axis from one expansion.
void StepAndImpulseResponses(TDesign& d, int approx, const TimeAxis& axis);

} // namespace velmora
