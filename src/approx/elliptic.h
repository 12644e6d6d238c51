// Elliptic (Cauer) prototype pieces that tests and the order estimate share.
//
// The prototype is computed without elliptic integrals: the nome q of the modulus
// k = 1/s comes from a short series, and pole and zero positions from theta-function
// series in q that converge like q^(m^2).
#pragma once

#include "model/design.h"

namespace velmora {

struct EllipticNome {
    long double k = 0;      // modulus, the passband-to-stopband ratio (stored as Real48)
    long double kPrime = 0; // complementary modulus sqrt(1 - k^2)
    long double q0 = 0;     // leading term of the nome
    long double q = 0;      // nome
};

// Nome of the modulus k = normPassEdge / s.
EllipticNome NomeOf(long double normPassEdge, long double s);

// Theta-function quotient 2 q^(1/4) (sum_m>=0 (-1)^m q^(m(m+1)) f((2m+1) u)) /
// (1 + 2 sum_m>=1 (-1)^m q^(m^2) g(2m u)), each series stopped after its first term
// of magnitude <= 1e-6 (included); with circular f = sin, g = cos it gives the zero
// frequencies, with hyperbolic f = sinh, g = cosh the real-axis parameter.
long double ThetaQuotient(long double q, long double u, bool hyperbolic);

// Attenuation in dB of the computed prototype at the normalised frequency x (rad/s),
// straight from its sections, zeros, real pole and numerator constant.
long double EllipticAttenuationDb(const Approximation& a, long double x);

// The least attenuation of the computed prototype over its stopband x >= 1/sqrt(k):
// a dense grid with every local minimum refined, the edge and the far end included.
long double EllipticStopbandMinimumDb(const Approximation& a, long double k);

} // namespace velmora
