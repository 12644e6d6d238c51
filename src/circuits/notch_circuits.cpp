// Notch circuits: lowpass notch (SLPN01, 04, 10), highpass notch (SHPN01, 03, 09) and
// notch (SN01, 02, 09). Design routines, realised transfer functions and
// adjustable-resistor lists.
//
// A notch stage realises T(s) = K (s^2 + wz^2)/(s^2 + (wp/Qp) s + wp^2): K is the
// high-frequency gain (the DC gain is K wz^2/wp^2). Every realised function below is the
// solution of the circuit's node equations with ideal op amps (input voltages equal,
// output a voltage source), written as the absolute H(s) = num(s)/den(s) with its gain
// and sign, multiplied through by the product of the components that would otherwise
// appear in denominators. Gk = 1/Rk.
//
// Design routines follow one pattern: gain rule, the finite-GBW coefficients from the
// stage targets wp, Qp, the GBW step, then every component value and the realised gain
// from the working targets wp', Qp' (the zero frequency wz is not predistorted). A design
// that cannot be built restores the record as it found it and marks the circuit not
// realisable.
//
// Predistortion and the gain: single-pole op amps leave the DC gain of these circuits
// exactly as the ideal circuit has it and only move the poles (from wp' back to wp). The
// DC gain of a notch is K wz^2/wp^2, so a design for wp' with the gain constant K would
// run, in operation, a first-order gain error of about -2 kw wp/wt over the whole band
// (the lowpass notch's passband included: the error that made predistortion look worse
// than none). Where the gain is free, the ideal gain constant is therefore set to
// K (wp'/wp)^2 and the reported actual gain is the one the stage has in operation
// (PredistortedNotchGain). The twin T ties its zero to its pole, so only its pole Q is
// predistorted; the Fliege notch's zero follows its pole (and the op amps move it back
// about as far as the pole), so it is predistorted as a whole.
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <initializer_list>

#include "circuits/circuit_design.h"
#include "circuits/design_steps.h"

namespace velmora {
namespace {

// ---- Shared design steps -------------------------------------------------------------

constexpr long double kGainPairR = 10000.0L; // R(n) of a gain pair before scaling

// Stores R1..Rn and reports whether every stored resistor (and the first capCount
// capacitors) is positive and finite after rounding to the record's precision.
bool StoreResistors(TStageCircuit& c, std::initializer_list<long double> resistors, int capCount) {
    if (!AllPositiveFinite(resistors)) return false;
    int n = 0;
    for (long double x : resistors)
        R(c, ++n) = x;
    return ComponentsValid(c, n, capCount);
}

bool Succeeded(TStageCircuit& c) {
    c.NotRealisable = 0;
    return true;
}

// The stored components of a stage as working values for a realised function.
ComponentValues<long double> StoredValues(const TStageCircuit& c) {
    ComponentValues<long double> v;
    for (int n = 1; n <= kResistorSlots; ++n)
        v.R[n] = R(c, n);
    for (int n = 1; n <= kCapacitorSlots; ++n)
        v.C[n] = C(c, n);
    return v;
}

// The high-frequency gain |num[k]/den[k]| of a realised stage of order k.
long double HighFrequencyGain(const RealisedStage<long double>& h, int order) {
    return std::fabs(h.num[order] / h.den[order]);
}

// ---- Finite-GBW coefficients of a single-amplifier circuit -----------------------------
// With one op amp of open-loop gain A = wt/s the node equations give the denominator
// D0(s) + (1/A) D1(s) = D0(s) + (s/wt) D1(s), D0 the ideal one. A simple root p of D0
// moves to first order by dp = -(p/wt) D1(p)/D0'(p). For the pole pair p1, p2 of the
// targets, wp^2 = p1 p2 and wp/Qp = -(p1 + p2), so the relative changes are
//   dwp/wp = (p2 dp1 + p1 dp2)/(2 p1 p2),   dQp/Qp = dwp/wp - (dp1 + dp2)/(p1 + p2),
// and the coefficients follow from wp(realised) = wp (1 - kw wp/wt) and
// Qp(realised) = Qp (1 - kq wp/wt). d0 and d1 carry the same (arbitrary) scale.
struct GbwCoefficients {
    long double kw = 0, kq = 0;
};
GbwCoefficients PolePairShift(const std::array<long double, 4>& d0, const std::array<long double, 4>& d1,
                              long double wp, long double qp) {
    using Cx = std::complex<long double>;
    const auto eval = [](const std::array<long double, 4>& a, Cx s) {
        return ((Cx(a[3]) * s + a[2]) * s + a[1]) * s + a[0];
    };
    const auto slope = [](const std::array<long double, 4>& a, Cx s) {
        return (Cx(3 * a[3]) * s + 2 * a[2]) * s + a[1];
    };
    const Cx root = std::sqrt(Cx(1 / (4 * qp * qp) - 1));
    const Cx p1 = wp * (Cx(-1 / (2 * qp)) + root), p2 = wp * (Cx(-1 / (2 * qp)) - root);
    // dp times wt
    const Cx dp1 = -p1 * eval(d1, p1) / slope(d0, p1);
    const Cx dp2 = -p2 * eval(d1, p2) / slope(d0, p2);
    const long double dw = std::real((p2 * dp1 + p1 * dp2) / (2.0L * p1 * p2));
    const long double dq = dw - std::real((dp1 + dp2) / (p1 + p2));
    GbwCoefficients k;
    k.kw = -dw / wp;
    k.kq = -dq / wp;
    return k;
}

// The perturbation above needs two distinct poles; at Qp = 1/2 exactly the pair is a
// double root. The coefficients are smooth through that point, so they are taken a
// millionth away from it.
long double DistinctPairQ(long double qp) {
    return std::fabs(2 * qp - 1) < 1e-6L ? 0.5L + 1e-6L : qp;
}

// =====================================================================================
// Friend's single-amplifier biquad (SLPN01 lowpass notch, SHPN01 highpass notch)
// =====================================================================================
// Nodes: node 3 between R1 1-3 (input), R4 3-0, C1 3-4 and C2 3-2; node 4 is the - input
// with C1, R5 and R2 (SLPN01: R2 2-4 feedback, R5 4-0; SHPN01: R2 1-4 input, R5 2-4
// feedback); the + input (node 5) sits on the divider R3 1-5, R6 5-0, R7 2-5, so it
// carries K Vin + q' Vout with S = G3 + G6, K = G3/S the high-frequency gain and
// q = G7/S the positive feedback. With C1 = C2 = C, a = G1 + G4, the node equations give
//   SLPN01: wp^2 = a (G2 - q G5)/C^2,   wz^2 = a (G2 + G5)/C^2,
//           wp/Qp = [2 G2 - q (a + 2 G5)]/C,   notch: G1 (1 + q)/K = a + 2 (G2 + G5);
//   SHPN01: wp^2 = a (G5 - q G2)/C^2,   wz^2 = a (G5 - m G2)/C^2 with m = (1 + q)/K - 1,
//           wp/Qp = [2 G5 - q (a + 2 G2)]/C,   notch: G1 (m + 1) = a + 2 (G5 - m G2).
// Writing b' for the "effective" conductance (G2 - q G5, resp. G5 - q G2), both have
// wp^2 = a b'/C^2 and wp/Qp = (2 b' - q a)/C. The design family: a = wp C t,
// b' = wp C/t, which leaves q = 2/t^2 - 1/(Qp t) and one free parameter t. Its two
// costs pull apart: the conductance spread at nodes 3, 4 grows as t^2 (or 1/t^2), and the
// pole-Q sensitivity to the positive feedback, q a/(wp C/Qp) = 2 Qp/t - 1, grows as t
// falls below 2 Qp (t < 2 Qp is needed for q > 0). We take t = min(sqrt(2 Qp), 0.9 (2 Qp)):
// the geometric mean of the two costs for high Q (spread 2 Qp, Q-enhancement
// sqrt(2 Qp) - 1), and a tenth of Q-enhancement with no spread for low Q.
// The remaining conductances follow from wz and the notch condition:
//   SLPN01: G2 + G5 = rho^2 b', G5 = (G2 + G5)(1 - 1/rho^2)/(1 + q), G1 = K (a + 2 (G2 + G5))/(1 + q);
//   SHPN01: G2/G5 = (1 - rho^2)/(m - q rho^2), G5 = b'/(1 - q G2/G5), G1 = (a + 2 rho^2 b')/(m + 1);
// G4 = a - G1 needs K < (1 + q) t^2/(t^2 + 2 rho^2) (rho = wz/wp), and G6 > 0 needs K < 1:
// a larger desired gain is limited to 0.9 of that bound and reported fixed. The divider's
// level is free with ideal op amps; G3 + G6 + G7 = G2 + G5 makes the two op-amp inputs
// see the same DC source resistance.
// Active compensation: the second op amp takes over the output, its + input on the
// divider R8 6-7, R9 2-7 between the first op amp's output and the stage output. Its
// first-order error cancels the first's exactly when R8/R9 = G7/(G3 + G6): the
// finite-GBW term of the denominator then becomes a multiple of the ideal denominator, so
// the pole pair does not move to first order. R9 = R7 and R8 = R3 || R6 set that ratio
// from the divider itself.

// Conductances of a Friend biquad, index 1..7.
struct SabValues {
    std::array<long double, 8> g{};
    long double k = 0; // realised high-frequency gain
    bool gainLimited = false;
};

bool SabDesign(bool lowpass, long double wp, long double qp, long double wz, long double kDesired,
               long double c, SabValues& out) {
    if (!AllPositiveFinite({wp, qp, wz, kDesired, c})) return false;
    const long double rho = wz / wp;
    if (lowpass ? !(rho > 1) : !(rho < 1)) return false;
    const long double u = 2 * qp;
    const long double t = std::min(std::sqrt(u), 0.9L * u);
    const long double q = 2 / (t * t) - 1 / (qp * t);
    const long double kMax = std::min(1.0L, (1 + q) * t * t / (t * t + 2 * rho * rho));
    long double k = kDesired;
    out.gainLimited = false;
    if (k >= kMax) {
        k = 0.9L * kMax;
        out.gainLimited = true;
    }
    const long double a = wp * c * t, bEff = wp * c / t;
    auto& g = out.g;
    if (lowpass) {
        const long double b = rho * rho * bEff;
        const long double x = (1 - 1 / (rho * rho)) / (1 + q);
        g[2] = (1 - x) * b;
        g[5] = x * b;
        g[1] = k * (a + 2 * b) / (1 + q);
    } else {
        const long double m = (1 + q) / k - 1;
        const long double y = (1 - rho * rho) / (m - q * rho * rho);
        g[5] = bEff / (1 - q * y);
        g[2] = y * g[5];
        g[1] = (a + 2 * rho * rho * bEff) / (m + 1);
    }
    g[4] = a - g[1];
    const long double s = (g[2] + g[5]) / (1 + q);
    g[3] = k * s;
    g[6] = (1 - k) * s;
    g[7] = q * s;
    out.k = k;
    for (int n = 1; n <= 7; ++n)
        if (!PositiveFinite(g[n])) return false;
    return true;
}

template <typename T> RealisedStage<T> RealiseSlpn01(const ComponentValues<T>& v) {
    const auto& C = v.C;
    const T g1 = T(1) / v.R[1], g2 = T(1) / v.R[2], g3 = T(1) / v.R[3], g4 = T(1) / v.R[4];
    const T g5 = T(1) / v.R[5], g6 = T(1) / v.R[6], g7 = T(1) / v.R[7];
    RealisedStage<T> h;
    h.num[2] = C[1] * C[2] * g3;
    h.num[1] = g3 * (C[1] * (g2 + g4 + g5) + C[2] * (g2 + g5)) - C[1] * g1 * (g6 + g7);
    h.num[0] = g3 * (g1 + g4) * (g2 + g5);
    h.den[2] = C[1] * C[2] * (g3 + g6);
    h.den[1] = (C[1] + C[2]) * g2 * (g3 + g6) - g7 * (C[1] * (g1 + g4 + g5) + C[2] * g5);
    h.den[0] = (g1 + g4) * (g2 * (g3 + g6) - g5 * g7);
    return h;
}

template <typename T> RealisedStage<T> RealiseShpn01(const ComponentValues<T>& v) {
    const auto& C = v.C;
    const T g1 = T(1) / v.R[1], g2 = T(1) / v.R[2], g3 = T(1) / v.R[3], g4 = T(1) / v.R[4];
    const T g5 = T(1) / v.R[5], g6 = T(1) / v.R[6], g7 = T(1) / v.R[7];
    RealisedStage<T> h;
    h.num[2] = C[1] * C[2] * g3;
    h.num[1] = g3 * (C[1] * (g4 + g5) + C[2] * g5) - (g6 + g7) * (C[1] * (g1 + g2) + C[2] * g2);
    h.num[0] = (g1 + g4) * (g3 * g5 - g2 * (g6 + g7));
    h.den[2] = C[1] * C[2] * (g3 + g6);
    h.den[1] = g5 * (g3 + g6) * (C[1] + C[2]) - g7 * (C[1] * (g1 + g2 + g4) + C[2] * g2);
    h.den[0] = (g1 + g4) * (g5 * (g3 + g6) - g2 * g7);
    return h;
}

// The finite-gain term D1 of a Friend biquad, on the scale of its realised denominator:
// the op amp's input difference Vout/A adds (1 + q) times the passive polynomial of
// nodes 3 and 4, C1 C2 s^2 + (C1 (G1 + G2 + G4 + G5) + C2 (G2 + G5)) s + (G1 + G4)(G2 + G5),
// times G3 + G6 + G7 in place of G3 + G6.
std::array<long double, 4> SabFiniteGainTerm(const ComponentValues<long double>& v) {
    const auto& C = v.C;
    std::array<long double, 8> g{};
    for (int n = 1; n <= 7; ++n)
        g[n] = 1 / v.R[n];
    const long double f = g[3] + g[6] + g[7];
    return {f * (g[1] + g[4]) * (g[2] + g[5]),
            f * (C[1] * (g[1] + g[2] + g[4] + g[5]) + C[2] * (g[2] + g[5])), f * C[1] * C[2], 0};
}

ComponentValues<long double> SabComponents(const SabValues& s, long double c) {
    ComponentValues<long double> v;
    for (int n = 1; n <= 7; ++n)
        v.R[n] = 1 / s.g[n];
    v.C[1] = c;
    v.C[2] = c;
    return v;
}

bool DesignSab(TDesign& d, int stage, bool lowpass) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const TStageCoeffs& st = d.Stages[stage];
    const long double wp = st.Wp, qp = st.Qp, wz = st.Wz;
    const long double c1 = C(c, 1);
    if (c.CompensationInUse) c.Predistort = 0;

    // First pass with the stage targets for the finite-GBW coefficients.
    SabValues first;
    const long double qg = DistinctPairQ(qp);
    if (!SabDesign(lowpass, wp, qg, wz, c.DesiredGain, c1, first)) return scope.Fail();
    const ComponentValues<long double> v1 = SabComponents(first, c1);
    const auto h1 = lowpass ? RealiseSlpn01(v1) : RealiseShpn01(v1);
    const GbwCoefficients k = PolePairShift(h1.den, SabFiniteGainTerm(v1), wp, qg);
    const Working w = GbwWorking(d, stage, k.kw, k.kq);

    SabValues s;
    const long double gainScale = (w.wp / wp) * (w.wp / wp);
    if (!SabDesign(lowpass, w.wp, w.qp, wz, c.DesiredGain * gainScale, c1, s)) return scope.Fail();
    C(c, 2) = c1;
    c.CapRatio = 1;
    const auto& g = s.g;
    if (!StoreResistors(c, {1 / g[1], 1 / g[2], 1 / g[3], 1 / g[4], 1 / g[5], 1 / g[6], 1 / g[7]}, 2))
        return scope.Fail();
    if (c.CompensationInUse) {
        R(c, 8) = 1 / (g[3] + g[6]);
        R(c, 9) = R(c, 7);
    }
    c.ResistorCount = c.CompensationInUse ? 9 : 7;
    c.CapacitorCount = 2;
    c.OpAmpCount = c.CompensationInUse ? 2 : 1;
    if (!ComponentsValid(c, c.ResistorCount, 2)) return scope.Fail();
    const ComponentValues<long double> stored = StoredValues(c);
    const auto h = lowpass ? RealiseSlpn01(stored) : RealiseShpn01(stored);
    c.ActualGain = PredistortedNotchGain(d, stage, h).value_or(HighFrequencyGain(h, 2));
    c.GainFixed = s.gainLimited ? 1 : 0;
    return Succeeded(c);
}

bool DesignSlpn01(TDesign& d, int stage) {
    return DesignSab(d, stage, true);
}
bool DesignShpn01(TDesign& d, int stage) {
    return DesignSab(d, stage, false);
}

// =====================================================================================
// Fliege notch circuits (SLPN04, SHPN03, SN02): two op amps, A2 a follower-like stage on
// node 3 and A1 closing the loop through R3, C2 (resp. C3) and the divider R4/R5.
// =====================================================================================

// SLPN04: C1 1-3 and R1 1-3 from the input, R2 3-0 and C2 3-0 to ground, R3 3-4,
// C3 4-5, R4 2-5, R5 2-6, R6 1-6, A1(+6, -5, out 4), A2(+3, -5, out 2). The node
// equations give
//   H(s) = [(C1 - C2 G6/G5) s^2 + (G1 - G2 G6/G5) s + G3 G4 G6/(G5 C3)]
//          / [(C1 + C2) s^2 + (G1 + G2) s + G3 G4 G6/(G5 C3)].
// The DC gain is 1, so K = wp^2/wz^2. Design: R4 = R5 = R6 = R3 and R1 = R2 null the s
// term; with A = (K + 1)/2, B = (1 - K)/2 (A + B = 1), C2 = (B/A) C1 makes
// C1 + C2 = C1/A and the gain (C1 - C2)/(C1 + C2) = A - B = K; C3 = C1/A,
// R3 = A/(C1 wp) give wp, and R1 = R2 = 2 Qp R3 give Qp. With K = (wp'/wz)^2 the
// notch stays at wz when wp is predistorted. Needs wz > wp'.
template <typename T> RealisedStage<T> RealiseSlpn04(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    h.num[2] = (C[1] * R[6] - C[2] * R[5]) * R[1] * R[2] * R[3] * R[4] * C[3];
    h.num[1] = (R[2] * R[6] - R[1] * R[5]) * R[3] * R[4] * C[3];
    h.num[0] = R[1] * R[2] * R[5];
    h.den[2] = R[1] * R[2] * R[3] * R[4] * R[6] * C[3] * (C[1] + C[2]);
    h.den[1] = (R[1] + R[2]) * R[3] * R[4] * R[6] * C[3];
    h.den[0] = R[1] * R[2] * R[5];
    return h;
}

bool DesignSlpn04(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const TStageCoeffs& st = d.Stages[stage];
    const long double qp = st.Qp, wz = st.Wz;
    if (!AllPositiveFinite({qp, wz})) return scope.Fail();
    const Working w = GbwWorking(d, stage, 2, 0, 2, 2 * (2 * qp + 1) * (2 * qp + 1));
    const long double k = (w.wp / wz) * (w.wp / wz);
    if (!(k < 1)) return scope.Fail();
    const long double a = (k + 1) / 2, b = (1 - k) / 2;
    const long double c1 = C(c, 1);
    const long double r3 = a / (c1 * w.wp);
    const long double r1 = 2 * w.qp * r3;
    if (!AllPositiveFinite({b / a * c1, c1 / a})) return scope.Fail();
    C(c, 2) = b / a * c1;
    C(c, 3) = c1 / a;
    c.CapRatio = b / a;
    if (!StoreResistors(c, {r1, r1, r3, r3, r3, r3}, 3)) return scope.Fail();
    c.ResistorCount = 6;
    c.CapacitorCount = 3;
    c.OpAmpCount = 2;
    const auto h = RealiseSlpn04(StoredValues(c));
    c.ActualGain = PredistortedNotchGain(d, stage, h).value_or(HighFrequencyGain(h, 2));
    c.GainFixed = 1;
    return Succeeded(c);
}

// SHPN03: C1 1-3 and R1 1-3, R2 3-0, R3 4-3, C2 4-5, R4 2-5, R5 1-6, R6 2-6, R7 6-0,
// A1(+6, -5, out 4), A2(+3, -5, out 2). The divider R5, R6, R7 feeds part of the input
// into the loop. The node equations give (monic form)
//   num: (1 + G7/G6) s^2 + (G1 (G6 + G7) - G2 G5)/(C1 G6) s + G3 G4 G5/(G6 C1 C2)
//   den: s^2 + (G1 + G2)/C1 s + G3 G4 (G5 + G7)/(G6 C1 C2).
// Design with C2 = C1, R3 = R4 = R5 = 1/(C1 wp'): G6 = G (wp'^2 + wz^2)/(2 wz^2) and
// G7 = G (wp'^2 - wz^2)/(2 wz^2) give G5 + G7 = G6 (pole at wp') and G6 + G7 = G wp'^2/wz^2
// (zero at wz), so K = 1 + G7/G6 = 2 wp'^2/(wp'^2 + wz^2); R1/R2 = wp'^2/wz^2 nulls the
// s term of the numerator and R1 = R3 Qp' (wp'^2/wz^2 + 1), R2 = R3 Qp' (wz^2/wp'^2 + 1)
// give wp'/Qp'. Needs wz < wp'.
template <typename T> RealisedStage<T> RealiseShpn03(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    h.num[2] = C[1] * C[2] * R[1] * R[2] * R[3] * R[4] * R[5] * (R[6] + R[7]);
    h.num[1] = C[2] * R[3] * R[4] * (R[2] * R[5] * (R[6] + R[7]) - R[1] * R[6] * R[7]);
    h.num[0] = R[1] * R[2] * R[6] * R[7];
    h.den[2] = C[1] * C[2] * R[1] * R[2] * R[3] * R[4] * R[5] * R[7];
    h.den[1] = C[2] * R[3] * R[4] * R[5] * R[7] * (R[1] + R[2]);
    h.den[0] = R[1] * R[2] * R[6] * (R[5] + R[7]);
    return h;
}

bool DesignShpn03(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const TStageCoeffs& st = d.Stages[stage];
    const long double qp = st.Qp, wz = st.Wz;
    if (!AllPositiveFinite({qp, wz})) return scope.Fail();
    const Working w = GbwWorking(d, stage, 2, 0, 2, 2 * (2 * qp + 1) * (2 * qp + 1));
    const long double wp2 = w.wp * w.wp, wz2 = wz * wz;
    if (!(wz2 < wp2)) return scope.Fail();
    const long double c1 = C(c, 1);
    const long double r3 = 1 / (c1 * w.wp);
    const long double r1 = r3 * w.qp * (wp2 / wz2 + 1);
    const long double r2 = r3 * w.qp * (wz2 / wp2 + 1);
    const long double r6 = 2 * r3 * wz2 / (wp2 + wz2);
    const long double r7 = 2 * r3 * wz2 / (wp2 - wz2);
    C(c, 2) = c1;
    c.CapRatio = 1;
    if (!StoreResistors(c, {r1, r2, r3, r3, r3, r6, r7}, 2)) return scope.Fail();
    c.ResistorCount = 7;
    c.CapacitorCount = 2;
    c.OpAmpCount = 2;
    const auto h = RealiseShpn03(StoredValues(c));
    c.ActualGain = PredistortedNotchGain(d, stage, h).value_or(HighFrequencyGain(h, 2));
    c.GainFixed = 1;
    return Succeeded(c);
}

// SN02: SLPN04 without C2 to ground (C1 1-3, R1 1-3, R2 3-0, R3 3-4, C2 4-5, R4 2-5,
// R5 2-6, R6 1-6). The node equations give
//   H(s) = [s^2 + (G1 - G2 G6/G5)/C1 s + G3 G4 G6/(G5 C1 C2)]
//          / [s^2 + (G1 + G2)/C1 s + G3 G4 G6/(G5 C1 C2)]:
// the zero sits on the pole frequency whatever the values, and the gain is 1. Design:
// C2 = C1, R3 = R4 = R5 = R6 = 1/(C1 wp'), R1 = R2 = 2 Qp' R3.
template <typename T> RealisedStage<T> RealiseSn02(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    h.num[2] = C[1] * C[2] * R[1] * R[2] * R[3] * R[4] * R[6];
    h.num[1] = C[2] * R[3] * R[4] * (R[2] * R[6] - R[1] * R[5]);
    h.num[0] = R[1] * R[2] * R[5];
    h.den[2] = C[1] * C[2] * R[1] * R[2] * R[3] * R[4] * R[6];
    h.den[1] = C[2] * R[3] * R[4] * R[6] * (R[1] + R[2]);
    h.den[0] = R[1] * R[2] * R[5];
    return h;
}

bool DesignSn02(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = d.Stages[stage].Qp;
    if (!PositiveFinite(qp)) return scope.Fail();
    const Working w = GbwWorking(d, stage, 2, 0, 2, 2 * (2 * qp + 1) * (2 * qp + 1));
    const long double c1 = C(c, 1);
    const long double r3 = 1 / (c1 * w.wp);
    const long double r1 = 2 * w.qp * r3;
    C(c, 2) = c1;
    c.CapRatio = 1;
    if (!StoreResistors(c, {r1, r1, r3, r3, r3, r3}, 2)) return scope.Fail();
    c.ResistorCount = 6;
    c.CapacitorCount = 2;
    c.OpAmpCount = 2;
    c.ActualGain = HighFrequencyGain(RealiseSn02(StoredValues(c)), 2);
    c.GainFixed = 1;
    return Succeeded(c);
}

// =====================================================================================
// Akerberg-Mossberg notch circuits (SLPN10, SHPN09, SN09): one topology, three targets.
// =====================================================================================
// A lossy inverting integrator A3 (C2 2-7, R5 2-7) fed by the input through C3 1-7, an
// inverter A1 (+3 at the virtual node, R7 2-3, input R1 1-3, loop capacitor C1 4-3) and
// an integrator A2 (R2 4-5, R3 6-5, R4 6-7). The node equations give
//   H(s) = -(C3/C2) [s^2 + R3/(C1 C3 R1 R2 R4)] / [s^2 + s/(R5 C2) + R3/(C1 C2 R2 R4 R7)]:
// an inverting notch of high-frequency gain C3/C2 whose zero (through R1) and pole (through
// R7) are set apart. R6 5-0 ties A2's virtual ground to ground and does not enter the
// ideal response; it sets A2's noise gain, R6 = R2/K.
// Design: R2 = R3 = R4 = R7 = 1/(wp' sqrt(C1 C2)), R5 = Qp'/(wp' C2), C3 = K (wp'/wp)^2 C2 and
// R1 = 1/(wz^2 C1 C3 R2). The starting capacitors have C2 = C1.
// A single-pole op amp adds, to first order, kw = 1 + K (Qp rho^2 - 1)/(2 Qp) and
// kq = K (Qp rho^2 + 1)/(2 Qp) with rho = wz/wp: the input paths C3 and R1 raise the noise
// gains of A3 and A1 in proportion to K and K rho^2 (the tests measure the pole shift with
// single-pole op amps in the nodal analysis).
template <typename T> RealisedStage<T> RealiseAmNotch(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    h.num[2] = -(C[1] * C[3] * R[1] * R[2] * R[4] * R[5] * R[7]);
    h.num[0] = -(R[3] * R[5] * R[7]);
    h.den[2] = C[1] * C[2] * R[1] * R[2] * R[4] * R[5] * R[7];
    h.den[1] = C[1] * R[1] * R[2] * R[4] * R[7];
    h.den[0] = R[1] * R[3] * R[5];
    return h;
}

bool DesignAmNotch(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const TStageCoeffs& st = d.Stages[stage];
    const long double wp = st.Wp, qp = st.Qp, wz = st.Wz;
    const long double k = c.DesiredGain;
    if (!AllPositiveFinite({wp, qp, wz, k})) return scope.Fail();
    const long double rho = wz / wp;
    const Working w = GbwWorking(d, stage, 1 + k * (qp * rho * rho - 1) / (2 * qp),
                                 k * (qp * rho * rho + 1) / (2 * qp), 1.25L, 6 * qp * qp);
    // The ideal gain constant K (wp'/wp)^2 keeps the DC gain, which the op amps do not
    // move, at the target's K wz^2/wp^2 (see the top of the file).
    const long double kIdeal = k * (w.wp / wp) * (w.wp / wp);
    const long double c1 = C(c, 1);
    const long double c2 = c1;
    const long double c3 = kIdeal * c2;
    const long double r = 1 / (w.wp * std::sqrt(c1 * c2));
    const long double r5 = w.qp / (w.wp * c2);
    const long double r1 = 1 / (wz * wz * c1 * c3 * r);
    const long double r6 = r / kIdeal;
    if (!AllPositiveFinite({c3})) return scope.Fail();
    C(c, 2) = c2;
    C(c, 3) = c3;
    c.CapRatio = 1;
    if (!StoreResistors(c, {r1, r, r, r, r5, r6, r}, 3)) return scope.Fail();
    c.ResistorCount = 7;
    c.CapacitorCount = 3;
    c.OpAmpCount = 3;
    const auto h = RealiseAmNotch(StoredValues(c));
    c.ActualGain = PredistortedNotchGain(d, stage, h).value_or(HighFrequencyGain(h, 2));
    c.GainFixed = 0;
    return Succeeded(c);
}

// =====================================================================================
// SN01: Sallen-Key twin-T notch
// =====================================================================================
// The twin T: R1 1-4, R2 4-5 with C3 4-0; C1 1-3, C2 3-5 with R3 2-3 (the shunt arm
// bootstrapped from the output); amplifier A1(+5, -6, out 2) with R4 6-0, R5 2-6,
// k = 1 + R5/R4. Multiplied by C1 C2 C3 R1 R2 R3 R4, the node equations give the cubic
//   num: (R4 + R5) [C1 C2 C3 R1 R2 R3 s^3 + C1 C2 R3 (R1 + R2) s^2 + (C1 + C2) R3 s + 1]
//   den: C1 C2 C3 R1 R2 R3 R4 s^3
//        + (C1 C2 R3 R4 (R1 + R2) + C3 R1 R3 R4 (C1 + C2) - C2 C3 R1 R2 R5) s^2
//        + (R3 R4 (C1 + C2) + C3 R1 R4 - C2 R5 (R1 + R2)) s + R4.
// The numerator factors as (s + (G1 + G2)/C3)(s^2 + wz^2) only when the T is balanced,
// G3 C3 = (G1 + G2)(C1 + C2); the denominator then shares the real factor and the stage is
// a second-order notch with wz = wp. After standard values or adjustment the balance is
// lost and the stage is third order, which the function keeps.
// Design: C1 = C2 = C, C3 = gamma C, R1 = R2 = R, R3 = gamma R/4 (balanced). Then
//   H(s) = k (gamma C^2 R^2 s^2 + 2)/(gamma C^2 R^2 s^2 + (2 gamma - 4 (k - 1)) C R s + 2),
// so R = 1/(wp C sqrt(gamma/2)) and k - 1 = (gamma/2)(1 - 1/(Qp' sqrt(2 gamma))) (wp, not wp':
// predistortion moves only the pole Q, see the top of the file). The
// passive T with a follower (k = 1) has Qp = 1/sqrt(2 gamma); gamma = max(2, 2/Qp'^2)
// keeps k - 1 at least 1/2 for every Qp' (k = 2 - 1/(2 Qp') from Qp' = 1 up), so the
// gain pair never degenerates into an open R4 at low Q. The gain k is fixed by Qp'.
// R5 is the gain pair's 10 kOhm resistor and R4 = R5/(k - 1).
template <typename T> RealisedStage<T> RealiseSn01(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    const T k = R[4] + R[5]; // k R4
    h.num[3] = k * C[1] * C[2] * C[3] * R[1] * R[2] * R[3];
    h.num[2] = k * C[1] * C[2] * R[3] * (R[1] + R[2]);
    h.num[1] = k * (C[1] + C[2]) * R[3];
    h.num[0] = k;
    h.den[3] = C[1] * C[2] * C[3] * R[1] * R[2] * R[3] * R[4];
    h.den[2] = C[1] * C[2] * R[3] * R[4] * (R[1] + R[2]) + C[3] * R[1] * R[3] * R[4] * (C[1] + C[2]) -
               C[2] * C[3] * R[1] * R[2] * R[5];
    h.den[1] = R[3] * R[4] * (C[1] + C[2]) + C[3] * R[1] * R[4] - C[2] * R[5] * (R[1] + R[2]);
    h.den[0] = R[4];
    return h;
}

// The finite-gain term of SN01 on the scale of its realised denominator: the amplifier
// gain k falls to k/(1 + k/A), which adds k/A times the denominator of the T loaded by a
// follower of gain 0 (R5 = -R4 in the expression above).
std::array<long double, 4> Sn01FiniteGainTerm(const ComponentValues<long double>& v) {
    ComponentValues<long double> passive = v;
    passive.R[5] = -v.R[4];
    const auto p = RealiseSn01(passive).den;
    const long double k = (v.R[4] + v.R[5]) / v.R[4];
    return {k * p[0], k * p[1], k * p[2], k * p[3]};
}

struct Sn01Values {
    long double r = 0, r3 = 0, c3 = 0, k = 0;
};
Sn01Values Sn01Design(long double wp, long double qp, long double c) {
    const long double gamma = std::max(2.0L, 2 / (qp * qp));
    Sn01Values s;
    s.c3 = gamma * c;
    s.r = 1 / (wp * c * std::sqrt(gamma / 2));
    s.r3 = s.r * gamma / 4;
    s.k = 1 + gamma / 2 * (1 - 1 / (qp * std::sqrt(2 * gamma)));
    return s;
}

bool DesignSn01(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double wp = d.Stages[stage].Wp, qp = d.Stages[stage].Qp;
    if (!AllPositiveFinite({wp, qp})) return scope.Fail();
    const long double c1 = C(c, 1);
    const long double r5 = PositiveFinite(R(c, 5)) ? static_cast<long double>(R(c, 5)) : kGainPairR;

    const long double qg = DistinctPairQ(qp);
    const Sn01Values first = Sn01Design(wp, qg, c1);
    ComponentValues<long double> v1;
    v1.R[1] = v1.R[2] = first.r;
    v1.R[3] = first.r3;
    v1.R[5] = r5;
    v1.R[4] = r5 / (first.k - 1);
    v1.C[1] = v1.C[2] = c1;
    v1.C[3] = first.c3;
    if (!AllPositiveFinite({first.r, first.r3, v1.R[4], first.c3})) return scope.Fail();
    const GbwCoefficients kg = PolePairShift(RealiseSn01(v1).den, Sn01FiniteGainTerm(v1), wp, qg);
    const Working w = GbwWorking(d, stage, kg.kw, kg.kq);
    // The balanced T sets the notch and the pole frequency with the same R and C, so a
    // predistorted wp' would move the notch by kw wp/wt (the op amp does not move the
    // passive T's null back). The notch matters more than the pole frequency's small
    // shift, so only the pole Q is predistorted: the T stays at wp = wz.
    c.WpPrime = wp;

    const Sn01Values s = Sn01Design(wp, w.qp, c1);
    if (!AllPositiveFinite({s.c3, s.k - 1})) return scope.Fail();
    C(c, 2) = c1;
    C(c, 3) = s.c3;
    c.CapRatio = 1;
    if (!StoreResistors(c, {s.r, s.r, s.r3, r5 / (s.k - 1), r5}, 3)) return scope.Fail();
    c.ResistorCount = 5;
    c.CapacitorCount = 3;
    c.OpAmpCount = 1;
    c.ActualGain = 1 + R(c, 5) / R(c, 4);
    c.GainFixed = 1;
    return Succeeded(c);
}

// Adjustable-resistor lists by denominator power (s^0, s^1, s^2), all monic forms. The
// resistors named move the coefficient while leaving the notch where possible: the
// Friend biquad's node-3 pair scales wp and wz together and R7 sets the damping; the
// Fliege circuits' integrator pair R3, R4 and their damping pair R1, R2 (which keeps the
// notch nulled); the Akerberg-Mossberg R7 moves the pole alone and R5 the damping; the
// twin T's three resistors keep its balance and the gain pair sets the damping.
constexpr AdjustLists kSabLists{{"02,01,04", "01,07", ""}};
constexpr AdjustLists kFliegeLists{{"02,03,04", "02,01,02", ""}};
constexpr AdjustLists kAmNotchLists{{"01,07", "01,05", ""}};
constexpr AdjustLists kSn01Lists{{"03,01,02,03", "02,04,05", ""}};

const CircuitRoutines kCircuits[] = {
    VELMORA_CIRCUIT("SLPN01", DesignSlpn01, RealiseSlpn01, kSabLists),
    VELMORA_CIRCUIT("SLPN04", DesignSlpn04, RealiseSlpn04, kFliegeLists),
    VELMORA_CIRCUIT("SLPN10", DesignAmNotch, RealiseAmNotch, kAmNotchLists),
    VELMORA_CIRCUIT("SHPN01", DesignShpn01, RealiseShpn01, kSabLists),
    VELMORA_CIRCUIT("SHPN03", DesignShpn03, RealiseShpn03, kFliegeLists),
    VELMORA_CIRCUIT("SHPN09", DesignAmNotch, RealiseAmNotch, kAmNotchLists),
    VELMORA_CIRCUIT("SN01", DesignSn01, RealiseSn01, kSn01Lists),
    VELMORA_CIRCUIT("SN02", DesignSn02, RealiseSn02, kFliegeLists),
    VELMORA_CIRCUIT("SN09", DesignAmNotch, RealiseAmNotch, kAmNotchLists),
};

} // namespace

std::span<const CircuitRoutines> NotchCircuits() {
    return kCircuits;
}

} // namespace velmora
