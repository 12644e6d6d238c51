// The ideal transfer function of one approximation, read from its tables.
//
// The approximation step leaves each result as tables: second-order denominator
// sections s^2 + B s + C (PoleTable, with the upper pole of each pair in PoleList),
// zero pairs s^2 + wz^2 (ZeroTable / ZeroList; wz = 0 is a double zero at the origin),
// real poles, an optional single zero at the origin and a gain constant g. This module
// turns those tables into the factors every response computation evaluates:
//
//   H(s) = g * prod_k n_k / (s^2 + B_k s + C_k) * prod_r n_r / (s + sigma_r)
//            * prod_j (s^2 + wz_j^2) * s^(single zero)
//
// where n_k and n_r are the numerator normalisations of the all-pole results. For an
// all-pole lowpass the stored gain constant is the prototype constant K and the true
// numerator K * wp^N is carried as wp^2 per pole pair and wp per real pole (wp = the
// passband edge); for an all-pole bandpass it is K * Bp^N, carried as Bp per section.
// Every other result stores its true numerator constant, so n = 1.
//
// A section whose Q is below 0.5 (B^2/4 > C) is not a conjugate pair: it has the two
// real poles -B/2 -+ sqrt(B^2/4 - C), and every consumer here uses those.
//
// All frequencies are rad/s.
#pragma once

#include <complex>
#include <vector>

#include "model/design.h"

namespace velmora {

using Complex = std::complex<long double>;

// One denominator section s^2 + B s + C and its poles.
struct PoleSection {
    long double B = 0, C = 0;
    long double Norm = 1;   // numerator normalisation carried by this section
    bool RealPoles = false; // Qp < 0.5: two real poles instead of a pair
    // Complex pair: poles at -Sigma +/- j Omega (from the approximation's pole list).
    long double Sigma = 0, Omega = 0;
    // Real poles (RealPoles): at -Sigma1 and -Sigma2, Sigma1 <= Sigma2.
    long double Sigma1 = 0, Sigma2 = 0;
};

struct RealPoleFactor {
    long double Sigma = 0; // pole at -Sigma
    long double Norm = 1;  // numerator normalisation carried by this pole
};

struct ZeroPairFactor {
    long double Wz2 = 0; // s^2 + Wz2 (from the zero table)
    long double Wz = 0;  // its frequency (from the zero list); 0 = double zero at the origin
};

struct IdealFilter {
    long double Gain = 0; // g, the approximation's gain constant
    std::vector<PoleSection> Sections;
    std::vector<RealPoleFactor> RealPoles;
    std::vector<ZeroPairFactor> ZeroPairs;
    bool OriginZero = false; // one single zero at s = 0

    // g times every normalisation: H(s) = K * prod(s - z) / prod(s - p).
    long double NumeratorConstant() const;
    // Number of poles (the filter order).
    int PoleCount() const;
    // Number of finite zeros, zeros at the origin counted by multiplicity.
    int ZeroCount() const;
};

// Whether the all-pole numerator normalisation applies to this approximation of the
// design (an all-pole result of a lowpass or bandpass specification).
bool CarriesAllPoleNormalisation(const TDesign& d, int approx);

// Whether approximation `approx` has an ideal response to show: within the design's
// approximations in use, usable (order and pole Q within limits) and computed.
bool HasIdealResponse(const TDesign& d, int approx);

// The approximations with an ideal response, in index order.
std::vector<int> ResponseApproximations(const TDesign& d);

// The factors of approximation `approx` of the design (sections 1..PolePairs, zero
// entries 1..ProtoZeroPairs, the real pole(s) and the single zero). For a user-defined
// filter (approximation 0 only) the factors are its stages 1..StageCount, each with its
// own To and numerator constant, so that Gain times the overall gain times the factors
// is the product of the stages' transfer functions.
IdealFilter IdealFilterOf(const TDesign& d, int approx);

// Every pole and finite zero of the filter as complex numbers, conjugates included,
// zeros at the origin repeated by multiplicity, with the numerator constant K.
struct PoleZeroSet {
    std::vector<Complex> Poles;
    std::vector<Complex> Zeros;
    long double K = 0;
};
PoleZeroSet PolesAndZeros(const IdealFilter& f);

} // namespace velmora
