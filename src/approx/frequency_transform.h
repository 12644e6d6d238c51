// Frequency transformation: from the normalised lowpass prototype of an approximation
// to the poles, zeros and numerator constant of the filter in rad/s.
//
//   lowpass   s -> s / Omega
//   highpass  s -> Omega / s
//   bandpass  s -> (s^2 + w0^2) / (Bpb s)
//   bandstop  s -> Bpb s / (s^2 + w0^2)   (the bandpass procedure on the inverted prototype)
//
// Omega follows the prototype's normalisation: wpb for Butterworth, Chebyshev and
// Bessel, wsb for Inverse Chebyshev, sqrt(wpb wsb) for Elliptic.
#pragma once

#include <string>

#include "model/design.h"

namespace velmora {

// The scaling frequency of the lowpass and highpass transformations, rad/s.
long double ScalingFrequency(const Specification& spec, int index);

// Transforms approximation `index` of the design to its filter type; the other
// approximations are read where a first-order Elliptic result repeats the
// Inverse Chebyshev one, so Inverse Chebyshev must be transformed first.
void TransformApproximation(TDesign& d, int index);

// Numerator constant of an all-pole lowpass (K Omega^N) or bandpass (K Bpb^N) filter,
// which can exceed the range of a Real48, written as decimal pieces: the mantissa m in
// [1, 10) and the decimal exponent e of x^N K.
struct AllPoleGain {
    long double mantissa = 0;
    int exponent = 0;
    std::string text; // m with 5 decimals, " E+" e (or " E-" |e|): "3.94784 E+7"
};
AllPoleGain AllPoleGainText(long double x, int N, long double K);

} // namespace velmora
