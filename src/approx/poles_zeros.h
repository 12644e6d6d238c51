// The transformed filter of an approximation as poles, zeros and numerator constant:
//
//   H(s) = ApproxNumeratorGain * prod (s - z_i) / prod (s - p_j),   s in rad/s.
//
// This is the form every consumer of the pole list reads (responses, pole-zero plot,
// residues, exports): the tables keep sections s^2 + B s + C, and a section whose
// Qp is below 0.5 (C < (B/2)^2, possible for the section a bandpass or bandstop makes
// from a real prototype pole) has two real poles -B/2 +- sqrt(B^2/4 - C), not a
// conjugate pair. B, C, wp and Qp stay stored as they are; the stage is built from them.
#pragma once

#include <complex>
#include <vector>

#include "model/design.h"

namespace velmora {

using Complex = std::complex<long double>;

// The two poles of the section s^2 + B s + C: a conjugate pair (upper pole first)
// or, when C < (B/2)^2, two real poles (the one nearer the origin first).
std::array<Complex, 2> SectionPoles(long double B, long double C);

// True when the section s^2 + B s + C has two real poles (Qp < 0.5).
bool SectionHasRealPoles(long double B, long double C);

// Every pole of approximation `index` after the transformation, rad/s: the real poles
// (RealPole, RealPole2), then the two poles of each section in table order. For a
// user-defined filter the occupied slots of approximation 0 are read.
std::vector<Complex> ApproxPoles(const TDesign& d, int index);

// Every finite zero, rad/s: zeros at the origin repeated by multiplicity (the single
// zero, two for each section zero of wz = 0), +- j wz for each zero pair.
std::vector<Complex> ApproxZeros(const TDesign& d, int index);

// The numerator constant of H(s) above in long double. For all-pole lowpass and
// bandpass results, whose constant K Omega^N or K Bpb^N may exceed the range of a
// Real48, it is computed from the prototype constant kept in GainConstant; otherwise
// it is GainConstant. Specified filters only (a user-defined filter takes its gain
// from its sections' constants).
long double ApproxNumeratorGain(const TDesign& d, int index);

} // namespace velmora
