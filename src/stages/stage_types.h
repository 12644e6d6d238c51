// Stage types and the per-stage transfer functions.
//
// The filter is a cascade of first- and second-order sections, one op-amp circuit each.
// A stage is one pole entry (a complex pair or a single real pole, exceptionally two
// single real poles) with none, one or two zero entries of the pairing lists.
//
// Normalised transfer functions, D(s) = s^2 + (wp/Qp) s + wp^2, all frequencies rad/s:
//   FLP  To sigma / (s + sigma)          To = DC gain
//   FHP  To s / (s + sigma)              To = high-frequency gain
//   SLP  To wp^2 / D(s)                  To = DC gain
//   SHP  To s^2 / D(s)                   To = high-frequency gain
//   SBP  To (wp/Qp) s / D(s)             To = gain at wp
//   SLPN, SHPN, SN  To (s^2 + wz^2)/D(s) To = high-frequency gain
// While cascading the un-normalised form K N(s)/P(s) is used, N = 1, s, s^2 or
// s^2 + wz^2 and P = s + sigma or D(s); To = K / NumeratorScale.
#pragma once

#include <complex>
#include <string>

#include "model/design.h"

namespace velmora {

enum TStageType : uint8_t {
    stFLP = 0,  // first-order lowpass
    stFHP = 1,  // first-order highpass
    stSLP = 2,  // second-order lowpass
    stSHP = 3,  // second-order highpass
    stSBP = 4,  // second-order bandpass
    stSLPN = 5, // lowpass notch (wz > wp)
    stSHPN = 6, // highpass notch (wz < wp)
    stSN = 7,   // notch (wz = wp)
};
inline constexpr int kStageTypeCount = 8;

inline bool isFirstOrder(int type) {
    return type == stFLP || type == stFHP;
}
inline bool isNotch(int type) {
    return type == stSLPN || type == stSHPN || type == stSN;
}

// The four-character short name: "FLP ", "FHP ", "SLP ", "SHP ", "SBP ", "SLPN", "SHPN", "SN  ".
std::string StageShortName(int type);
// The key of the stage type's tuning section ("ptFLP" ...; empty for SN).
std::string StageKey(int type);
// The type in words, as the cascading criteria list it ("1st order lowpass", ...).
std::string StageDescription(int type);

// The type of a combination of pole entries and zero entries (indices into the design's
// pairing lists, 0 = absent):
//   two single real poles: SLP without a zero, SBP with a single zero, SN with a pair;
//   a pole pair: SLP without a zero, SHP with two single zeros, SBP with one single
//     zero, and with a zero pair SHP (wz = 0), SN (wz = wp as stored), SHPN (wz < wp),
//     SLPN (wz > wp);
//   a single real pole: FLP without a zero, FHP with any zero.
TStageType ClassifyStage(const TDesign& d, int pole1, int pole2, int zero1, int zero2);

// Fills stage record `stage` from the entries: type, short name, indices, wp, Qp, wz and
// sigma (two single real poles s1, s2: wp = sqrt(s1 s2), Qp = wp/(s1 + s2), sigma = s1).
// The cascade figures (Flatness, K, To) are cleared.
void BuildStage(TDesign& d, int stage, int pole1, int pole2, int zero1, int zero2);

// Empties a stage record (name, indices, wp, Qp, wz, sigma and the cascade figures).
void ClearStage(TStageCoeffs& s);

// |N(jw)/P(jw)| of the un-normalised form (without K). Even in w: a grid reaching below
// zero sees the magnitude at |w|.
long double StageMagnitude(const TStageCoeffs& s, long double w);

// The constant c with To = K / c: sigma (FLP), wp^2 (SLP), wp/Qp (SBP), 1 otherwise.
long double NumeratorScale(const TStageCoeffs& s);

// To from K by the normalisation above (0 when the stage has no valid pole).
long double ToFromK(const TStageCoeffs& s, long double K);
void UpdateTo(TStageCoeffs& s);

// The stage as T(s) = To (A s^2 + B s + C) / (D s^2 + E s + F). With hz, wp, wz and
// sigma are first divided by 2 pi and the coefficients computed from those values.
struct BiquadCoefficients {
    long double A = 0, B = 0, C = 0, D = 0, E = 0, F = 0;
    bool secondOrder = false;           // wp and Qp columns apply
    bool notch = false;                 // wz column applies
    long double wp = 0, qp = 0, wz = 0; // in the unit of the coefficients
};
BiquadCoefficients StageBiquad(const TStageCoeffs& s, bool hz);

// The normalised response T(jw)/To of a stage from its biquadratic coefficients in rad/s.
std::complex<long double> BiquadResponse(const BiquadCoefficients& c, long double w);

} // namespace velmora
