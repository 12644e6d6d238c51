// Normalised lowpass prototypes: for each approximation, the order and the poles,
// zeros and numerator constant of the prototype, written into the normalised fields
// of the approximation's record and tables.
//
// Normalisation (the frequency transformation relies on it):
//   Butterworth, Chebyshev, Bessel: passband edge (attenuation Apb) at 1 rad/s;
//   Inverse Chebyshev:             stopband edge at 1 rad/s, passband edge at 1/s;
//   Elliptic:                      passband edge at sqrt(k), stopband edge at 1/sqrt(k),
//                                  k = 1/s, so that their geometric mean is 1 rad/s.
// The numerator constant K (GainConstantNorm) makes the gain at w = 0 equal to 1,
// except for even-order Chebyshev and Elliptic prototypes, whose gain at w = 0 is the
// bottom of the passband ripple, 10^(-Apb/20).
#pragma once

#include "approx/bessel_roots.h"
#include "model/design.h"

namespace velmora {

// Stores pole pair k of a prototype from its upper pole -sigma + j*omega:
// PoleList (sigma, omega) and PoleTable B = 2 sigma, C = sigma^2 + omega^2,
// wp = sqrt(C), Qp = wp / B.
void StorePrototypePair(Approximation& a, int k, long double sigma, long double omega);

// Angle of pole k of an N-th order Butterworth or Chebyshev prototype, measured from
// the imaginary axis: theta_k = (2k - 1) pi / (2N).
long double PoleAngle(int k, int N);

void ComputeButterworth(Approximation& a, const Specification& spec);
void ComputeChebyshev(Approximation& a, const Specification& spec);
// With a forced order it replaces spec.Asb by the stopband attenuation that order reaches.
void ComputeInverseChebyshev(Approximation& a, Specification& spec);
void ComputeElliptic(Approximation& a, const Specification& spec);

// Bessel: attenuation in dB at w (rad/s) of the order-n filter whose stored roots are
// divided by the scale wA.
long double BesselAttenuationDb(const BesselRootTable& roots, int n, long double wA, long double w);
// The scale wA that puts the attenuation Apb at 1 rad/s, found by doubling and then
// bisection until the attenuation there is at most Apb and within 0.0001 dB of it.
long double BesselEdgeScale(const BesselRootTable& roots, int n, long double apbDb);
// Order search (the smallest order reaching Asb at the selectivity) or the forced
// order, and the prototype scaled by wA.
void ComputeBessel(Approximation& a, const Specification& spec, const BesselRootTable& roots);

} // namespace velmora
