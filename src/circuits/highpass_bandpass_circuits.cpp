// Second-order highpass (SHP01, 02, 03, 06, 10) and bandpass (SBP03, 04, 05, 08, 13)
// circuits: design routines, realised transfer functions and adjustable-resistor lists.
//
// Every realised function below is the solution of the circuit's node equations with
// ideal op amps (input voltages equal, output a voltage source), written as the absolute
// H(s) = num(s)/den(s) with its gain and sign. The actively compensated variants put a
// second op amp where the first one's output drove the feedback network; with ideal op
// amps both inputs of each amplifier sit at the same voltage, so a variant realises the
// same H(s) as the plain circuit and shares its realised function.
//
// Design routines follow one pattern: gain rule, then the finite-GBW coefficients from the
// stage targets wp, Qp, then the GBW step, then every component value and the realised
// gain from the working targets wp', Qp'. A design that cannot be built restores the
// record as it found it and marks the circuit not realisable.
#include <cmath>
#include <initializer_list>

#include "circuits/circuit_design.h"
#include "circuits/design_steps.h"

namespace velmora {
namespace {

// ---- Shared design steps -------------------------------------------------------------

constexpr long double kSkMinGain = 1.05L; // lowest gain of the Sallen-Key highpass with gain

// Active compensation replaces predistortion: at most one remedy is in use.
void CompensationExcludesPredistortion(TStageCircuit& c) {
    if (c.CompensationInUse) c.Predistort = 0;
}

// Stores R1..Rn and reports whether every stored component (and the first capCount
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

long double StageWp(const TDesign& d, int stage) {
    return d.Stages[stage].Wp;
}
long double StageQp(const TDesign& d, int stage) {
    return d.Stages[stage].Qp;
}

// ---- SHP01: unity-gain Sallen-Key highpass -------------------------------------------
// Nodes: C2 1-3 input capacitor, C1 3-4 series capacitor, R2 3-2 feedback, R1 4-0,
// follower A1(+4, -2, out 2). KCL at 3 and 4 with V4 = Vout gives
//   H(s) = R1 R2 C1 C2 s^2 / (R1 R2 C1 C2 s^2 + R2 (C1 + C2) s + 1).
// With C1 = C2 = C: wp^2 = 1/(R1 R2 C^2), wp/Qp = 2/(R1 C), so R2 = 1/(2 Qp wp C) and
// R1 = 4 Qp^2 R2. A follower of finite GBW adds R1 C1 s^2/wt to the constant-one form,
// which lowers wp by Qp wp/wt and raises Qp by the same fraction: kw = Qp, kq = -Qp.
template <typename T> RealisedStage<T> RealiseShp01(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    h.num[2] = R[1] * R[2] * C[1] * C[2];
    h.den[2] = R[1] * R[2] * C[1] * C[2];
    h.den[1] = R[2] * (C[1] + C[2]);
    h.den[0] = T(1);
    return h;
}

bool DesignShp01(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = StageQp(d, stage);
    CompensationExcludesPredistortion(c);
    c.C2Alone = 0;
    const Working w = GbwWorking(d, stage, qp, -qp);
    const long double c1 = C(c, 1);
    const long double r2 = 1 / (2 * c1 * w.wp * w.qp);
    const long double r1 = 4 * w.qp * w.qp * r2;
    C(c, 2) = c1;
    c.CapRatio = 1;
    if (!StoreResistors(c, {r1, r2}, 2)) return scope.Fail();
    c.ActualGain = 1;
    c.GainFixed = 1;
    c.ResistorCount = 2;
    c.OpAmpCount = c.CompensationInUse ? 2 : 1;
    return Succeeded(c);
}

// ---- SHP02: Sallen-Key highpass with gain --------------------------------------------
// Nodes: C2 1-3, C1 3-4, R2 3-2, R1 4-0, amplifier A1(+4, -5, out 2) with R3 5-0,
// R4 2-5, gain K = 1 + R4/R3. KCL at 3 and 4 with V4 = Vout/K gives
//   H(s) = K R1 R2 C1 C2 s^2 / (R1 R2 C1 C2 s^2 + (R2 (C1 + C2) - (K - 1) R1 C1) s + 1).
// With r = C2/C1, R1 = b/(sqrt(r) wp C1), R2 = R1/b^2 the s^2 term is 1/wp^2 for any b,
// and the s term equals 1/(wp Qp) when (K - 1) b^2 + (sqrt(r)/Qp) b - (1 + r) = 0.
// The amplifier's gain falls as K/(1 + K s/wt) with a single-pole op amp, adding
// K^2 R1 C1 s^2/wt: kw = K^2 b/(2 sqrt(r)) = K (c - 1/Qp)/2 with
// c = (b^2 + r + 1)/(b sqrt(r)) by the quadratic above, and kq = -kw.
template <typename T> RealisedStage<T> RealiseShp02(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    const T k = T(1) + R[4] / R[3];
    RealisedStage<T> h;
    h.num[2] = k * R[1] * R[2] * C[1] * C[2];
    h.den[2] = R[1] * R[2] * C[1] * C[2];
    h.den[1] = R[2] * (C[1] + C[2]) - C[1] * R[1] * (R[4] / R[3]);
    h.den[0] = T(1);
    return h;
}

long double SallenKeyGbwFactor(long double k, long double b, long double r, long double qp) {
    const long double c = (b * b + r + 1) / (b * std::sqrt(r));
    return k * 0.5L * (c - 1 / qp);
}

// Gain pair R3 (from R4 and the amplifier gain), both brought to at most 100 kOhm, and
// the compensated variant's pair R5 = R4, R6 = R3 around the added op amp.
bool StoreShp02GainPair(TStageCircuit& c, long double k) {
    const long double r4 = R(c, 4);
    const long double r3 = r4 / (k - 1);
    if (!AllPositiveFinite({r3, r4})) return false;
    R(c, 3) = r3;
    ScaleGainPair(c, 4);
    if (c.CompensationInUse) {
        R(c, 5) = R(c, 4);
        R(c, 6) = R(c, 3);
    }
    c.ResistorCount = c.CompensationInUse ? 6 : 4;
    c.OpAmpCount = c.CompensationInUse ? 2 : 1;
    return ComponentsValid(c, c.ResistorCount, 2);
}

// Standard form: C1 = C2 and R1 = 2 Qp R2 (b^2 = 2 Qp) fix the gain at
// K = 1 + (1 - 1/sqrt(2 Qp))/Qp, the root of the quadratic above; Qp <= 0.5 has none.
bool DesignShp02Standard(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = StageQp(d, stage);
    if (!(qp > 0.5L)) return scope.Fail();
    CompensationExcludesPredistortion(c);
    c.C2Alone = 0;
    const long double k0 = 1 + (1 - 1 / std::sqrt(2 * qp)) / qp;
    const long double kw = SallenKeyGbwFactor(k0, std::sqrt(2 * qp), 1, qp);
    const Working w = GbwWorking(d, stage, kw, -kw);
    if (!(w.qp > 0.5L)) return scope.Fail();
    const long double c1 = C(c, 1);
    const long double root = std::sqrt(2 * w.qp);
    const long double r2 = 1 / (root * w.wp * c1);
    const long double r1 = 2 * w.qp * r2;
    const long double k = 1 + (1 - 1 / root) / w.qp;
    C(c, 2) = c1;
    c.CapRatio = 1;
    if (!AllPositiveFinite({r1, r2, k - 1})) return scope.Fail();
    R(c, 1) = r1;
    R(c, 2) = r2;
    if (!StoreShp02GainPair(c, k)) return scope.Fail();
    c.ActualGain = 1 + R(c, 4) / R(c, 3);
    c.GainFixed = 1;
    return Succeeded(c);
}

// " C1=C2 : R1=R2": equal components make b = 1, r = 1 and the quadratic K = 3 - 1/Qp.
bool DesignShp02EqualComponents(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = StageQp(d, stage);
    if (!(qp > 0.5L)) return scope.Fail();
    CompensationExcludesPredistortion(c);
    c.C2Alone = 0;
    const long double k0 = 3 - 1 / qp;
    const long double kw = SallenKeyGbwFactor(k0, 1, 1, qp); // 0.5 (3 - 1/Qp)^2
    const Working w = GbwWorking(d, stage, kw, -kw);
    if (!(w.qp > 0.5L)) return scope.Fail();
    const long double c1 = C(c, 1);
    const long double r = 1 / (w.wp * c1);
    const long double k = 3 - 1 / w.qp;
    C(c, 2) = c1;
    c.CapRatio = 1;
    if (!AllPositiveFinite({r, k - 1})) return scope.Fail();
    R(c, 1) = r;
    R(c, 2) = r;
    if (!StoreShp02GainPair(c, k)) return scope.Fail();
    c.ActualGain = 1 + R(c, 4) / R(c, 3);
    c.GainFixed = 1;
    return Succeeded(c);
}

// " C2 variable": the starting ratio r = C2/C1 is kept and the desired gain (at least
// 1.05) chosen; b is the positive root of the quadratic above,
// b = sqrt(a^2 + (r + 1)/(K - 1)) - a with a = sqrt(r)/(2 Qp (K - 1)).
long double Shp02B(long double k, long double r, long double qp) {
    const long double a = std::sqrt(r) / (2 * qp * (k - 1));
    return std::sqrt(a * a + (r + 1) / (k - 1)) - a;
}

bool DesignShp02C2Variable(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = StageQp(d, stage);
    long double k = c.DesiredGain;
    if (!(qp > 0) || !std::isfinite(k)) return scope.Fail();
    CompensationExcludesPredistortion(c);
    c.C2Alone = 1;
    const bool gainFixed = k < kSkMinGain;
    if (gainFixed) k = kSkMinGain;
    const long double c1 = C(c, 1);
    const long double r = C(c, 2) / c1;
    if (!PositiveFinite(r)) return scope.Fail();
    const long double kw = SallenKeyGbwFactor(k, Shp02B(k, r, qp), r, qp);
    const Working w = GbwWorking(d, stage, kw, -kw);
    if (!(w.qp > 0)) return scope.Fail();
    const long double b = Shp02B(k, r, w.qp);
    const long double r1 = b / (std::sqrt(r) * w.wp * c1);
    const long double r2 = r1 / (b * b);
    c.CapRatio = r;
    if (!AllPositiveFinite({r1, r2})) return scope.Fail();
    R(c, 1) = r1;
    R(c, 2) = r2;
    if (!StoreShp02GainPair(c, k)) return scope.Fail();
    c.ActualGain = 1 + R(c, 4) / R(c, 3);
    c.GainFixed = gainFixed ? 1 : 0;
    return Succeeded(c);
}

bool DesignShp02(TDesign& d, int stage) {
    const TStageCircuit& c = d.Circuits[stage];
    if (c.UseC2Variable) return DesignShp02C2Variable(d, stage);
    if (c.UseC1EqC2) return DesignShp02EqualComponents(d, stage);
    return DesignShp02Standard(d, stage);
}

// ---- SHP03: multiple-feedback highpass -----------------------------------------------
// Nodes: C1 1-3 input, R1 3-0, C2 2-3 feedback, C3 3-4 to the virtual ground, R2 2-4,
// A1(+0, -4, out 2). KCL at 4 gives V3 = -Vout/(s R2 C3); KCL at 3 then gives
//   H(s) = -C1 C3 R1 R2 s^2 / (C2 C3 R1 R2 s^2 + R1 (C1 + C2 + C3) s + 1),
// wp^2 = 1/(R1 R2 C2 C3), wp/Qp = (C1 + C2 + C3)/(R2 C2 C3), passband gain -C1/C2.
// With C3 = C1 and C2 = r C1 a single-pole op amp shifts the poles by
// kw = (Qp^2 (r + 2) - 1)/(2 Qp r), kq = -(Qp^2 (r + 4) - 1)/(2 Qp r).
template <typename T> RealisedStage<T> RealiseShp03(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    h.num[2] = -(C[1] * C[3] * R[1] * R[2]);
    h.den[2] = C[2] * C[3] * R[1] * R[2];
    h.den[1] = R[1] * (C[1] + C[2] + C[3]);
    h.den[0] = T(1);
    return h;
}

bool DesignShp03(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = StageQp(d, stage);
    if (!(qp > 0)) return scope.Fail();
    CompensationExcludesPredistortion(c);
    const long double c1 = C(c, 1);
    const long double c2 = C(c, 2);
    const long double c3 = c1;
    const long double r = c2 / c1;
    if (!PositiveFinite(r)) return scope.Fail();
    const long double kw = (qp * qp * (r + 2) - 1) / (2 * qp * r);
    const long double kq = -(qp * qp * (r + 4) - 1) / (2 * qp * r);
    const Working w = GbwWorking(d, stage, kw, kq);
    const long double r2 = w.qp * (c1 + c2 + c3) / (w.wp * c2 * c3);
    const long double r1 = 1 / (w.wp * w.wp * r2 * c2 * c3);
    C(c, 3) = c3;
    c.CapRatio = r;
    if (!StoreResistors(c, {r1, r2}, 3)) return scope.Fail();
    c.ActualGain = c1 / c2;
    c.GainFixed = 1;
    c.ResistorCount = 2;
    c.OpAmpCount = c.CompensationInUse ? 2 : 1;
    return Succeeded(c);
}

// ---- KHN state-variable circuits (SHP06 highpass, SBP08 bandpass) --------------------
// A summing amplifier and two inverting integrators (R1 C1, R2 C2). The summer takes the
// input and the bandpass output on its + input through R3, R4 and the lowpass output on
// its - input through R5 against R6 from the highpass output. Its node equations give
//   den(s) = C1 C2 R1 R2 R5 (R3 + R4) s^2 + C2 R2 R3 (R5 + R6) s + R6 (R3 + R4).
// With R1 = R2 = R3 = R5 = R6 = R = 1/(wp C) and C1 = C2 = C: wp = 1/(R C) and
// 1/(wp Qp) = 2 R C/(1 + R4/R), so R4 = (2 Qp - 1) R; Qp <= 0.5 is not realisable.
bool DesignKhn(TDesign& d, int stage, long double (*gainOf)(long double qp)) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = StageQp(d, stage);
    if (!(qp > 0.5L)) return scope.Fail();
    const Working w =
        GbwWorking(d, stage, 1 - 3 / (2 * qp), 3 / (2 * qp) - 4 * qp, 0.5L * (5 / (2 * qp * qp) + 1 - 1 / qp),
                   6 * qp * qp - 2.0L / 3 - 1 / (2 * qp));
    if (!(w.qp > 0.5L)) return scope.Fail();
    const long double c1 = C(c, 1);
    const long double r = 1 / (c1 * w.wp);
    const long double r4 = (2 * w.qp - 1) * r;
    C(c, 2) = c1;
    c.CapRatio = 1;
    if (!StoreResistors(c, {r, r, r, r4, r, r}, 2)) return scope.Fail();
    c.ActualGain = gainOf(w.qp);
    c.GainFixed = 1;
    c.ResistorCount = 6;
    c.OpAmpCount = 3;
    return Succeeded(c);
}

// SHP06: R3 1-4 input, R4 6-4 bandpass, summer A1(+4, -3, out 2) is the highpass output;
// the numerator is C1 C2 R1 R2 R4 (R5 + R6) s^2, passband gain R4 (R5 + R6)/(R5 (R3 + R4))
// = 2 - 1/Qp for the design above.
template <typename T> RealisedStage<T> RealiseShp06(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    h.num[2] = C[1] * C[2] * R[1] * R[2] * R[4] * (R[5] + R[6]);
    h.den[2] = C[1] * C[2] * R[1] * R[2] * R[5] * (R[3] + R[4]);
    h.den[1] = C[2] * R[2] * R[3] * (R[5] + R[6]);
    h.den[0] = R[6] * (R[3] + R[4]);
    return h;
}
bool DesignShp06(TDesign& d, int stage) {
    return DesignKhn(d, stage, [](long double qp) { return 2 - 1 / qp; });
}

// SBP08: the stage output is the first integrator's (bandpass, node 2); R4 2-7 returns
// it to the summer. Numerator -C2 R2 R4 (R5 + R6) s, midband gain -R4/R3 = -(2 Qp - 1).
template <typename T> RealisedStage<T> RealiseSbp08(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    h.num[1] = -(C[2] * R[2] * R[4] * (R[5] + R[6]));
    h.den[2] = C[1] * C[2] * R[1] * R[2] * R[5] * (R[3] + R[4]);
    h.den[1] = C[2] * R[2] * R[3] * (R[5] + R[6]);
    h.den[0] = R[6] * (R[3] + R[4]);
    return h;
}
bool DesignSbp08(TDesign& d, int stage) {
    return DesignKhn(d, stage, [](long double qp) { return 2 * qp - 1; });
}

// ---- Akerberg-Mossberg circuits (SHP10 highpass, SBP13 bandpass) ----------------------
// A lossy inverting integrator A3 (C on node 7, R5 2-7), an inverter A1 (+3 at the
// virtual node, R6 2-3) and a lossless integrator A2 (C1 4-3 in the A1 loop, R2 4-5,
// R3 6-5). The loop gives wp^2 = R3/(C C' R2 R4 R6) and wp/Qp = 1/(R5 C).
// Design: R2 = R3 = R4 = R6 = 1/(C1 wp), R5 = Qp R2 with equal capacitors.

// SHP10: input through C2 1-7, the loss capacitor C1 2-7, the loop capacitor C3 4-3:
//   H(s) = -(C2/C1) s^2 / (s^2 + s/(R5 C1) + R3/(C1 C3 R2 R4 R6)).
// R1 5-0 ties A2's virtual ground to ground and does not enter the ideal response; it
// sets the noise gain of A2, R1 = K R2 (C2 = K C3).
template <typename T> RealisedStage<T> RealiseShp10(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    h.num[2] = -(C[2] * C[3] * R[2] * R[4] * R[5] * R[6]);
    h.den[2] = C[1] * C[3] * R[2] * R[4] * R[5] * R[6];
    h.den[1] = C[3] * R[2] * R[4] * R[6];
    h.den[0] = R[3] * R[5];
    return h;
}

bool ValidGain(long double k) {
    return PositiveFinite(k);
}

bool DesignShp10(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = StageQp(d, stage);
    const long double k = c.DesiredGain;
    if (!(qp > 0) || !ValidGain(k)) return scope.Fail();
    const Working w =
        GbwWorking(d, stage, 1 - k / (2 * qp), qp / k + k / (2 * qp) - k * qp, 1.25L, 6 * qp * qp);
    const long double c1 = C(c, 1);
    const long double c3 = c1;
    const long double c2 = k * c3;
    const long double r2 = 1 / (c1 * w.wp);
    const long double r5 = w.qp * r2;
    const long double r1 = c2 * r2 / c3;
    if (!AllPositiveFinite({c2, c3})) return scope.Fail();
    C(c, 2) = c2;
    C(c, 3) = c3;
    c.CapRatio = c2 / c1;
    if (!StoreResistors(c, {r1, r2, r2, r2, r5, r2}, 3)) return scope.Fail();
    c.ActualGain = C(c, 2) / C(c, 1);
    c.GainFixed = 0;
    c.ResistorCount = 6;
    c.OpAmpCount = 3;
    return Succeeded(c);
}

// SBP13: input through R1 1-7 into the lossy integrator (C2 2-7, R5 2-7):
//   H(s) = -s/(R1 C2) / (s^2 + s/(R5 C2) + R3/(C1 C2 R2 R4 R6)), midband gain -R5/R1.
template <typename T> RealisedStage<T> RealiseSbp13(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    RealisedStage<T> h;
    h.num[1] = -(C[1] * R[2] * R[4] * R[5] * R[6]);
    h.den[2] = C[1] * C[2] * R[1] * R[2] * R[4] * R[5] * R[6];
    h.den[1] = C[1] * R[1] * R[2] * R[4] * R[6];
    h.den[0] = R[1] * R[3] * R[5];
    return h;
}

bool DesignSbp13(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = StageQp(d, stage);
    const long double k = c.DesiredGain;
    if (!(qp > 0) || !ValidGain(k)) return scope.Fail();
    const Working w = GbwWorking(d, stage, 1 + k / (2 * qp), -k / (2 * qp), 1.25L, 6 * qp * qp);
    const long double c1 = C(c, 1);
    const long double r2 = 1 / (c1 * w.wp);
    const long double r5 = w.qp * r2;
    const long double r1 = r5 / k;
    C(c, 2) = c1;
    c.CapRatio = 1;
    if (!StoreResistors(c, {r1, r2, r2, r2, r5, r2}, 2)) return scope.Fail();
    c.ActualGain = R(c, 5) / R(c, 1);
    c.GainFixed = 0;
    c.ResistorCount = 6;
    c.OpAmpCount = 3;
    return Succeeded(c);
}

// ---- SBP03: Sallen-Key bandpass ------------------------------------------------------
// Nodes: R1 1-3 input, C2 3-0, R2 2-3 feedback, C1 3-4 series, R3 4-0, amplifier
// A1(+4, -5, out 2) with R4 5-0, R5 2-5, gain a = 1 + R5/R4 (the + input on node 4: the
// divider on the - input gives negative feedback). KCL at 3 and 4 with V4 = Vout/a:
//   H(s) = (a G1/C2) s / (s^2 + (G1/C2 + G3 (1/C1 + 1/C2) - (a - 1) G2/C2) s
//                          + G3 (G1 + G2)/(C1 C2)),   Gk = 1/Rk.
// The amplifier gain of a single-pole op amp falls as a/(1 + a s/wt), which adds
// a^2 G2 s^2/(C2 wt) to the denominator: kw = a^2/(2 wp R2 C2), kq = -kw.
template <typename T> RealisedStage<T> RealiseSbp03(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    const T g1 = T(1) / R[1], g2 = T(1) / R[2], g3 = T(1) / R[3];
    const T a = T(1) + R[5] / R[4];
    RealisedStage<T> h;
    h.num[1] = a * g1 / C[2];
    h.den[2] = T(1);
    h.den[1] = g1 / C[2] + g3 * (T(1) / C[1] + T(1) / C[2]) - (a - T(1)) * g2 / C[2];
    h.den[0] = g3 * (g1 + g2) / (C[1] * C[2]);
    return h;
}

// With C2 = r C1 and G3 = wp sqrt(C1 C2) (so that G1 + G2 = wp sqrt(C1 C2) sets wp), the
// midband gain K = a G1 Qp/(wp C2) fixes G1 = K wp C2/(a Qp), and the s term equals wp/Qp
// when a = 2 + r + (K - 1) sqrt(r)/Qp (r = 1: a = 3 + (K - 1)/Qp). G2 is positive only
// while a Qp > K sqrt(r), i.e. Qp > sqrt(r)/(2 + r).
struct Sbp03Values {
    long double a, r1, r2, r3;
};
Sbp03Values Sbp03Design(long double wp, long double qp, long double k, long double c1, long double c2) {
    const long double r = c2 / c1;
    const long double root = std::sqrt(c1 * c2);
    const long double a = 2 + r + (k - 1) * std::sqrt(r) / qp;
    return {a, a * qp / (k * wp * c2), 1 / (wp * root - k * wp * c2 / (a * qp)), 1 / (wp * root)};
}

bool DesignSbp03(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double wp = StageWp(d, stage);
    const long double qp = StageQp(d, stage);
    const long double k = c.DesiredGain;
    if (!(qp > 0) || !(wp > 0) || !ValidGain(k)) return scope.Fail();
    CompensationExcludesPredistortion(c);
    const long double c1 = C(c, 1);
    const long double c2 = c.UseC2Variable ? static_cast<long double>(C(c, 2)) : c1;
    c.C2Alone = c.UseC2Variable ? 1 : 0;
    const Sbp03Values first = Sbp03Design(wp, qp, k, c1, c2);
    if (!AllPositiveFinite({first.r2, first.a - 1})) return scope.Fail();
    const long double kw = first.a * first.a / (2 * wp * first.r2 * c2);
    const Working w = GbwWorking(d, stage, kw, -kw);
    if (!(w.qp > 0)) return scope.Fail();
    const Sbp03Values v = Sbp03Design(w.wp, w.qp, k, c1, c2);
    const long double r5 = R(c, 5);
    const long double r4 = r5 / (v.a - 1);
    C(c, 2) = c2;
    c.CapRatio = c2 / c1;
    if (!StoreResistors(c, {v.r1, v.r2, v.r3, r4, r5}, 2)) return scope.Fail();
    ScaleGainPair(c, 5);
    if (c.CompensationInUse) {
        R(c, 6) = R(c, 5);
        R(c, 7) = R(c, 4);
    }
    c.ResistorCount = c.CompensationInUse ? 7 : 5;
    c.OpAmpCount = c.CompensationInUse ? 2 : 1;
    if (!ComponentsValid(c, c.ResistorCount, 2)) return scope.Fail();
    c.ActualGain = k;
    c.GainFixed = 0;
    return Succeeded(c);
}

// ---- SBP04: multiple-feedback bandpass -----------------------------------------------
// Nodes: R1 1-3 input, R3 3-0, C2 2-3 feedback, C1 3-4, R2 2-4, A1(+0, -4, out 2).
// KCL at 4 gives V3 = -Vout/(s R2 C1); KCL at 3 then gives
//   H(s) = -(G1/C2) s / (s^2 + G2 (1/C1 + 1/C2) s + G2 (G1 + G3)/(C1 C2)).
// With r = C2/C1: R2 = Qp (r + 1)/(C1 wp r) sets wp/Qp, the midband gain
// K = G1/(C2 G2 (1/C1 + 1/C2)) gives R1 = Qp/(C1 wp K r), and G3 = wp^2 C1 C2 R2 - G1
// stays positive only while K < Qp^2 (r + 1)/r.
template <typename T> RealisedStage<T> RealiseSbp04(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    const T g1 = T(1) / R[1], g2 = T(1) / R[2], g3 = T(1) / R[3];
    RealisedStage<T> h;
    h.num[1] = -(g1 / C[2]);
    h.den[2] = T(1);
    h.den[1] = g2 * (T(1) / C[1] + T(1) / C[2]);
    h.den[0] = g2 * (g1 + g3) / (C[1] * C[2]);
    return h;
}

bool DesignSbp04(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = StageQp(d, stage);
    long double k = c.DesiredGain;
    if (!(qp > 0) || !ValidGain(k)) return scope.Fail();
    CompensationExcludesPredistortion(c);
    const long double c1 = C(c, 1);
    const long double r = C(c, 2) / c1;
    if (!PositiveFinite(r)) return scope.Fail();
    const long double kw = qp * (r + 1) / (2 * r);
    const Working w = GbwWorking(d, stage, kw, -kw);
    if (!(w.qp > 0)) return scope.Fail();
    const long double gainLimit = w.qp * w.qp * (r + 1) / r;
    const bool gainFixed = k >= gainLimit;
    if (gainFixed) k = 0.9L * gainLimit;
    const long double r1 = w.qp / (c1 * w.wp * k * r);
    const long double r2 = w.qp * (r + 1) / (c1 * w.wp * r);
    const long double r3 = 1 / (c1 * w.wp * (w.qp * (r + 1) - k * r / w.qp));
    c.CapRatio = r;
    if (!StoreResistors(c, {r1, r2, r3}, 2)) return scope.Fail();
    c.ActualGain = k;
    c.GainFixed = gainFixed ? 1 : 0;
    c.ResistorCount = 3;
    c.OpAmpCount = c.CompensationInUse ? 2 : 1;
    return Succeeded(c);
}

// ---- SBP05: multiple-feedback bandpass with positive feedback ---------------------------
// SBP04's network with the op amp's + input on the divider R4 5-0, R5 2-5
// (A1(+5, -4, out 2)); with n = R4/R5:
//   H(s) = -((1 + n) G1/C2) s / (s^2 + (G2 (1/C1 + 1/C2) - n (G1 + G3)/C2) s
//                                 + G2 (G1 + G3)/(C1 C2)).
// With C2 = r C1, G2 = wp sqrt(C1 C2) and G1 + G3 = wp sqrt(C1 C2) set wp; the s term is
// wp/Qp for n = 1 + r - sqrt(r)/Qp (r = 1: n = x/(1 - x), x = (2 - 1/Qp)/(3 - 1/Qp));
// the midband gain K = (1 + n) G1 Qp/(wp C2) fixes G1, and G3 stays positive only while
// K < Qp (1 + n)/sqrt(r) (r = 1: 3 Qp - 1). A higher gain is set to 0.9 of that bound.
// A single-pole op amp gives kw = (1 + n)^2/(2 sqrt(r)), kq = -kw.
template <typename T> RealisedStage<T> RealiseSbp05(const ComponentValues<T>& v) {
    const auto& R = v.R;
    const auto& C = v.C;
    const T g1 = T(1) / R[1], g2 = T(1) / R[2], g3 = T(1) / R[3];
    const T n = R[4] / R[5];
    RealisedStage<T> h;
    h.num[1] = -((T(1) + n) * g1 / C[2]);
    h.den[2] = T(1);
    h.den[1] = g2 * (T(1) / C[1] + T(1) / C[2]) - n * (g1 + g3) / C[2];
    h.den[0] = g2 * (g1 + g3) / (C[1] * C[2]);
    return h;
}

bool DesignSbp05(TDesign& d, int stage) {
    TStageCircuit& c = d.Circuits[stage];
    DesignScope scope(c);
    const long double qp = StageQp(d, stage);
    long double k = c.DesiredGain;
    if (!(qp > 0) || !ValidGain(k)) return scope.Fail();
    CompensationExcludesPredistortion(c);
    const long double c1 = C(c, 1);
    const long double c2 = c.UseC2Variable ? static_cast<long double>(C(c, 2)) : c1;
    c.C2Alone = c.UseC2Variable ? 1 : 0;
    const long double r = c2 / c1;
    if (!PositiveFinite(r)) return scope.Fail();
    const long double n0 = 1 + r - std::sqrt(r) / qp;
    if (!(n0 > 0)) return scope.Fail();
    const long double kw = (1 + n0) * (1 + n0) / (2 * std::sqrt(r));
    const Working w = GbwWorking(d, stage, kw, -kw);
    if (!(w.qp > 0)) return scope.Fail();
    const long double n = 1 + r - std::sqrt(r) / w.qp;
    if (!(n > 0)) return scope.Fail();
    const long double gainLimit = w.qp * (1 + n) / std::sqrt(r);
    const bool gainFixed = k >= gainLimit;
    if (gainFixed) k = 0.9L * gainLimit;
    const long double root = std::sqrt(c1 * c2);
    const long double r2 = 1 / (w.wp * root);
    const long double r1 = w.qp * (1 + n) / (k * w.wp * c2);
    const long double r3 = 1 / (w.wp * root - k * w.wp * c2 / (w.qp * (1 + n)));
    const long double r5 = R(c, 5);
    const long double r4 = n * r5;
    C(c, 2) = c2;
    c.CapRatio = r;
    if (!StoreResistors(c, {r1, r2, r3, r4, r5}, 2)) return scope.Fail();
    ScaleGainPair(c, 5);
    if (c.CompensationInUse) {
        R(c, 6) = R(c, 5);
        R(c, 7) = R(c, 4);
    }
    c.ResistorCount = c.CompensationInUse ? 7 : 5;
    c.OpAmpCount = c.CompensationInUse ? 2 : 1;
    if (!ComponentsValid(c, c.ResistorCount, 2)) return scope.Fail();
    c.ActualGain = k;
    c.GainFixed = gainFixed ? 1 : 0;
    return Succeeded(c);
}

// Adjustable-resistor lists by denominator power (s^0, s^1, s^2). Constant-one forms
// (Sallen-Key highpass, KHN) adjust their s^2 and s^1 terms, monic ones their s^0 and s^1
// terms; the resistors named leave the other coefficient (and where possible the gain)
// unchanged.
constexpr AdjustLists kShp01Lists{{"", "01,02", "02,01,02"}};
constexpr AdjustLists kShp02Lists{{"", "02,03,04", "04,01,02,03,04"}};
constexpr AdjustLists kShp03Lists{{"02,01,02", "01,02", ""}};
constexpr AdjustLists kKhnLists{{"", "02,03,04", "02,01,02"}};
constexpr AdjustLists kAmLists{{"02,02,04", "01,05", ""}};
constexpr AdjustLists kSbp03Lists{{"01,03", "02,04,05", ""}};
constexpr AdjustLists kSbp04Lists{{"01,03", "01,02", ""}};
constexpr AdjustLists kSbp05Lists{{"01,03", "02,04,05", ""}};

const CircuitRoutines kCircuits[] = {
    VELMORA_CIRCUIT("SHP01", DesignShp01, RealiseShp01, kShp01Lists),
    VELMORA_CIRCUIT("SHP02", DesignShp02, RealiseShp02, kShp02Lists),
    VELMORA_CIRCUIT("SHP03", DesignShp03, RealiseShp03, kShp03Lists),
    VELMORA_CIRCUIT("SHP06", DesignShp06, RealiseShp06, kKhnLists),
    VELMORA_CIRCUIT("SHP10", DesignShp10, RealiseShp10, kAmLists),
    VELMORA_CIRCUIT("SBP03", DesignSbp03, RealiseSbp03, kSbp03Lists),
    VELMORA_CIRCUIT("SBP04", DesignSbp04, RealiseSbp04, kSbp04Lists),
    VELMORA_CIRCUIT("SBP05", DesignSbp05, RealiseSbp05, kSbp05Lists),
    VELMORA_CIRCUIT("SBP08", DesignSbp08, RealiseSbp08, kKhnLists),
    VELMORA_CIRCUIT("SBP13", DesignSbp13, RealiseSbp13, kAmLists),
};

} // namespace

std::span<const CircuitRoutines> HighpassBandpassCircuits() {
    return kCircuits;
}

} // namespace velmora
