// Design routines and realised transfer functions of the first-order circuits (FLP01..03,
// FHP01..04) and of the second-order lowpass circuits (SLP01, 02, 03, 04, 08, 13).
//
// Every transfer function below comes from the nodal equations of the circuit's netlist
// with ideal op amps (the two inputs of an op amp at the same voltage, no input current,
// no equation at its output node); node 1 is the input, node 2 the output. Gk = 1/Rk.
// The compensated variants (a second op amp taking over the feedback path of the first)
// realise the same function as the plain circuit when the op amps are ideal, so one
// realised function serves both.
#include <array>
#include <cmath>

#include "circuits/circuit_design.h"

namespace velmora {
namespace {

// ---- Design bookkeeping -------------------------------------------------------------

bool positiveFinite(long double x) {
    return std::isfinite(x) && x > 0.0L;
}

// One design run on a stage. The circuit record is saved on entry; a failure puts it back
// as it was and marks the circuit not realisable, so a failed design never leaves partial
// values (or NaN, infinity, negative values) behind.
class StageDesign {
  public:
    StageDesign(TDesign& d, int stage) : d_(d), stage_(stage), saved_(d.Circuits[stage]) {}

    TStageCircuit& c() { return d_.Circuits[stage_]; }
    const TStageCoeffs& s() const { return d_.Stages[stage_]; }

    bool Fail() {
        d_.Circuits[stage_] = saved_;
        d_.Circuits[stage_].NotRealisable = 1;
        return false;
    }

    // Accepts the design when every resistor and capacitor it uses is positive and finite.
    bool Finish(int resistors, int capacitors) {
        if (!ComponentsValid(c(), resistors, capacitors)) return Fail();
        c().NotRealisable = 0;
        return true;
    }

    // Stores the two finite-GBW coefficients (computed from wp and Qp), runs the GBW step
    // and returns the working targets wp', Qp' that every component value is computed from.
    void GbwStepWith(long double kw, long double kq, long double& wpPrime, long double& qpPrime) {
        TStageCircuit& rc = c();
        rc.GbwFactorWp = kw;
        rc.GbwFactorQp = kq;
        rc.GbwFactor3 = 0.0L;
        rc.GbwFactor4 = 0.0L;
        GbwStep(d_, stage_);
        wpPrime = rc.WpPrime;
        qpPrime = rc.QpPrime;
    }

    TDesign& design() { return d_; }
    int stage() const { return stage_; }

  private:
    TDesign& d_;
    int stage_;
    TStageCircuit saved_;
};

// Counts of a circuit with an actively compensated variant: that variant has one more op
// amp and, around it, `extraResistors` more resistors. Predistortion and compensation
// exclude each other, so compensation clears the predistortion flag.
void SelectVariant(TStageCircuit& c, int resistors, int opAmps, int extraResistors) {
    if (c.CompensationInUse) {
        c.Predistort = 0;
        c.ResistorCount = static_cast<int16_t>(resistors + extraResistors);
        c.OpAmpCount = static_cast<int16_t>(opAmps + 1);
    } else {
        c.ResistorCount = static_cast<int16_t>(resistors);
        c.OpAmpCount = static_cast<int16_t>(opAmps);
    }
}

// The gain of a circuit the topology fixes.
void FixGain(TStageCircuit& c, long double k) {
    c.ActualGain = k;
    c.GainFixed = 1;
}
// The gain asked for, which the circuit can give.
void FreeGain(TStageCircuit& c, long double k) {
    c.ActualGain = k;
    c.GainFixed = 0;
}

// ---- First-order circuits -----------------------------------------------------------
// A first-order stage has no finite-GBW coefficients: the GBW step runs with both at 0
// (no predistortion is possible, no recommended GBW).

bool FirstOrderStart(StageDesign& sd, long double& wc, long double& c1) {
    wc = sd.s().Sigma;
    c1 = C(sd.c(), 1);
    if (!positiveFinite(wc) || !positiveFinite(c1)) return false;
    long double unusedWp = 0, unusedQp = 0;
    sd.GbwStepWith(0.0L, 0.0L, unusedWp, unusedQp);
    return true;
}

// FLP01: R1 1-3, C1 3-0, A1 a follower of node 3.
//   V2 = V3 = V1 / (1 + s R1 C1)  =>  H = wc / (s + wc), wc = 1/(R1 C1), gain 1.
bool DesignFollowerFirstOrder(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wc, c1;
    if (!FirstOrderStart(sd, wc, c1)) return sd.Fail();
    TStageCircuit& c = sd.c();
    FixGain(c, 1.0L);
    R(c, 1) = 1.0L / (wc * c1);
    return sd.Finish(1, 1);
}
template <typename T> RealisedStage<T> RealiseFLP01(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    const T wc = T(1) / (v.R[1] * v.C[1]);
    h.num[0] = wc;
    h.den[1] = T(1);
    h.den[0] = wc;
    return h;
}

// FLP02: the FLP01 section buffered by a non-inverting amplifier R2 4-0, R3 2-4:
//   H = (1 + R3/R2) wc / (s + wc), wc = 1/(R1 C1). R2, R3 are the gain pair (R3 = 10 kOhm).
//   The pair cannot give less than 1; below 1.1 the gain is fixed at 1.1 so that R2 stays
//   within ten times R3.
bool DesignAmplifiedFirstOrder(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wc, c1;
    if (!FirstOrderStart(sd, wc, c1)) return sd.Fail();
    TStageCircuit& c = sd.c();
    const long double desired = c.DesiredGain;
    if (!(desired >= 1.1L)) {
        FixGain(c, 1.1L);
    } else {
        FreeGain(c, desired);
    }
    const long double k = c.ActualGain;
    R(c, 1) = 1.0L / (wc * c1);
    R(c, 2) = R(c, 3) / (k - 1.0L);
    return sd.Finish(3, 1);
}
template <typename T> RealisedStage<T> RealiseFLP02(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    const T wc = T(1) / (v.R[1] * v.C[1]);
    h.num[0] = (T(1) + v.R[3] / v.R[2]) * wc;
    h.den[1] = T(1);
    h.den[0] = wc;
    return h;
}

// FLP03: inverting lossy integrator, R1 1-3 input, R2 and C1 in parallel from the output to
// the virtual ground 3. KCL at node 3: G1 V1 + (G2 + s C1) V2 = 0
//   H = -(1/(R1 C1)) / (s + 1/(R2 C1)): wc = 1/(R2 C1), DC gain -R2/R1.
bool DesignFLP03(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wc, c1;
    if (!FirstOrderStart(sd, wc, c1)) return sd.Fail();
    TStageCircuit& c = sd.c();
    const long double k = c.DesiredGain;
    FreeGain(c, k);
    R(c, 2) = 1.0L / (wc * c1);
    R(c, 1) = R(c, 2) / k;
    return sd.Finish(2, 1);
}
template <typename T> RealisedStage<T> RealiseFLP03(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    h.num[0] = -T(1) / (v.R[1] * v.C[1]);
    h.den[1] = T(1);
    h.den[0] = T(1) / (v.R[2] * v.C[1]);
    return h;
}

// FHP01: C1 1-3, R1 3-0, A1 a follower of node 3: H = s / (s + 1/(R1 C1)), gain 1. Its
// design is FLP01's: R1 = 1/(wc C1), the gain fixed at 1.
template <typename T> RealisedStage<T> RealiseFHP01(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    h.num[1] = T(1);
    h.den[1] = T(1);
    h.den[0] = T(1) / (v.R[1] * v.C[1]);
    return h;
}

// FHP02: the FHP01 section with the non-inverting amplifier R2 4-0, R3 2-4:
//   H = (1 + R3/R2) s / (s + 1/(R1 C1)); its design and gain rule are FLP02's.
template <typename T> RealisedStage<T> RealiseFHP02(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    h.num[1] = T(1) + v.R[3] / v.R[2];
    h.den[1] = T(1);
    h.den[0] = T(1) / (v.R[1] * v.C[1]);
    return h;
}

// FHP03: C1 1-3 input, R1 and C2 in parallel from the output to the virtual ground 3.
// KCL at node 3: s C1 V1 + (G1 + s C2) V2 = 0
//   H = -(C1/C2) s / (s + 1/(R1 C2)): wc = 1/(R1 C2), high-frequency gain -C1/C2.
// The gain sets the capacitor ratio: C2 = C1/K.
bool DesignFHP03(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wc, c1;
    if (!FirstOrderStart(sd, wc, c1)) return sd.Fail();
    TStageCircuit& c = sd.c();
    const long double k = c.DesiredGain;
    if (!positiveFinite(k)) return sd.Fail();
    FreeGain(c, k);
    C(c, 2) = c1 / k;
    c.CapRatio = C(c, 2) / c1;
    R(c, 1) = 1.0L / (wc * C(c, 2));
    return sd.Finish(1, 2);
}
template <typename T> RealisedStage<T> RealiseFHP03(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    h.num[1] = -v.C[1] / v.C[2];
    h.den[1] = T(1);
    h.den[0] = T(1) / (v.R[1] * v.C[2]);
    return h;
}

// FHP04: R1 and C1 in series from the input to the virtual ground 4, R2 the feedback:
//   H = -R2 / (R1 + 1/(s C1)) = -(R2/R1) s / (s + 1/(R1 C1)).
bool DesignFHP04(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wc, c1;
    if (!FirstOrderStart(sd, wc, c1)) return sd.Fail();
    TStageCircuit& c = sd.c();
    const long double k = c.DesiredGain;
    FreeGain(c, k);
    R(c, 1) = 1.0L / (wc * c1);
    R(c, 2) = k * R(c, 1);
    return sd.Finish(2, 1);
}
template <typename T> RealisedStage<T> RealiseFHP04(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    h.num[1] = -v.R[2] / v.R[1];
    h.den[1] = T(1);
    h.den[0] = T(1) / (v.R[1] * v.C[1]);
    return h;
}

// ---- Second-order lowpass circuits --------------------------------------------------

bool SecondOrderStart(const StageDesign& sd, long double& wp, long double& qp) {
    wp = sd.s().Wp;
    qp = sd.s().Qp;
    return positiveFinite(wp) && positiveFinite(qp);
}

// SLP01, unity-gain Sallen-Key: R1 1-3, R2 3-4, C1 4-0, C2 2-3, A1 a follower of node 4.
// KCL at 4: V3 = V2 (1 + s R2 C1) (V4 = V2); KCL at 3 with V1:
//   H = 1 / (s^2 R1 R2 C1 C2 + s (R1 + R2) C1 + 1),
//   wp = 1/sqrt(R1 R2 C1 C2), Qp = sqrt(R1 R2 C1 C2) / ((R1 + R2) C1).
// Standard form, R1 = R2 = R: Qp = sqrt(C2/C1)/2, so C2 = 4 Qp^2 C1 and R = 1/(2 Qp wp C1).
// " C2 variable": C2 = r C1 with r a power of ten above 4 Qp^2, and b^2 = R2/R1; then
// Qp = b sqrt(r)/(1 + b^2), i.e. b + 1/b = 2a with a = sqrt(r)/(2 Qp): b = a + sqrt(a^2 - 1)
// (real only for a > 1), R2 = b sqrt(r)/(wp C2), R1 = R2/b^2.
// Finite GBW: kw = 0.5 (c - 1/Qp), kq = -kw, c = (b^2 + r + 1)/(b sqrt(r)); at b = 1,
// r = 4 Qp^2 this is kw = Qp, the standard form's coefficient.

// The capacitor ratio of the " C2 variable" form: the next power of ten strictly above
// 4 Qp^2 (at most 10^6). A ratio within rounding of a power of ten counts as that power
// and moves on, so a Qp stored a hair below sqrt(10)/2 still gets r = 100.
long double Slp01C2VariableRatio(long double qp) {
    const long double target = 4.0L * qp * qp * (1.0L + 1.0e-9L);
    long double r = 10.0L;
    while (r <= target && r < 1.0e6L)
        r *= 10.0L;
    return r;
}

bool DesignSLP01(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wp, qp;
    if (!SecondOrderStart(sd, wp, qp)) return sd.Fail();
    TStageCircuit& c = sd.c();
    const long double c1 = C(c, 1);
    if (!positiveFinite(c1)) return sd.Fail();
    SelectVariant(c, 2, 1, 0);
    FixGain(c, 1.0L);
    c.C2Alone = 0;
    long double wpP, qpP;
    if (c.UseC2Variable) {
        const long double r = Slp01C2VariableRatio(qp);
        const long double a = std::sqrt(r) / (2.0L * qp);
        if (!(a > 1.0L)) return sd.Fail();
        const long double b = a + std::sqrt(a * a - 1.0L);
        const long double cc = (b * b + r + 1.0L) / (b * std::sqrt(r));
        const long double kw = 0.5L * (cc - 1.0L / qp);
        sd.GbwStepWith(kw, -kw, wpP, qpP);
        const long double aP = std::sqrt(r) / (2.0L * qpP);
        if (!(aP > 1.0L)) return sd.Fail();
        const long double bP = aP + std::sqrt(aP * aP - 1.0L);
        c.CapRatio = r;
        C(c, 2) = r * c1;
        R(c, 2) = bP * std::sqrt(r) / (wpP * C(c, 2));
        R(c, 1) = R(c, 2) / (bP * bP);
    } else {
        sd.GbwStepWith(qp, -qp, wpP, qpP);
        C(c, 2) = 4.0L * c1 * qpP * qpP;
        c.CapRatio = C(c, 2) / c1;
        R(c, 1) = 1.0L / (2.0L * c1 * wpP * qpP);
        R(c, 2) = R(c, 1);
    }
    return sd.Finish(2, 2);
}
template <typename T> RealisedStage<T> RealiseSLP01(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    h.num[0] = T(1);
    h.den[2] = v.R[1] * v.R[2] * v.C[1] * v.C[2];
    h.den[1] = (v.R[1] + v.R[2]) * v.C[1];
    h.den[0] = T(1);
    return h;
}

// SLP02, Sallen-Key with gain: SLP01 with the amplifier K = 1 + R4/R3 (R3 5-0, R4 2-5).
// KCL at 4: V3 = V4 (1 + s R2 C1), V2 = K V4; KCL at 3:
//   H = K / (s^2 R1 R2 C1 C2 + s ((R1 + R2) C1 + (1 - K) R1 C2) + 1).
// With C2 = r C1 and R2 = b^2 R1 (R2 = b sqrt(r)/(wp C2) sets wp for any b):
//   Qp = b sqrt(r) / (1 + b^2 + r (1 - K)),  i.e.  K = (r + b^2 + 1 - sqrt(r) b/Qp)/r.
// Finite GBW (the amplifier's loop gain is 1/K): kw = K 0.5 (c - 1/Qp), kq = -kw with
// c = (b^2 + r + 1)/(b sqrt(r)).
//  - standard: b = 1, r = 2 Qp: K = 1 + (1 - 1/sqrt(2 Qp))/Qp, needs Qp > 0.5;
//  - " C1=C2 : R1=R2": b = r = 1: K = 3 - 1/Qp, c = 3, needs Qp > 0.5;
//  - " C2 variable": r from the capacitors, b = sqrt(r)/(6 Qp) + sqrt((r + 1)/3 + r/(36 Qp^2)).
//    K falls as r grows, so while K <= 1 C2 steps one 12-value position down (at most three
//    decades); with predistortion K is checked again at Qp'.
// The gain pair is R3, R4 with R4 = 10 kOhm scaled down the 24-value series while either
// exceeds 100 kOhm; the compensated variant copies it: R5 = R4, R6 = R3.

long double SlpSallenKeyGain(long double r, long double b, long double qp) {
    return (r + b * b + 1.0L - std::sqrt(r) * b / qp) / r;
}
long double SlpSallenKeyGbw(long double r, long double b, long double qp, long double k) {
    const long double cc = (b * b + r + 1.0L) / (b * std::sqrt(r));
    return k * 0.5L * (cc - 1.0L / qp);
}
long double Slp02C2VariableB(long double r, long double qp) {
    const long double t = std::sqrt(r) / (6.0L * qp);
    return t + std::sqrt((r + 1.0L) / 3.0L + t * t);
}
constexpr int kSlp02C2Steps = 36; // three decades of the 12-value series

bool DesignSLP02(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wp, qp;
    if (!SecondOrderStart(sd, wp, qp)) return sd.Fail();
    TStageCircuit& c = sd.c();
    const long double c1 = C(c, 1), r4 = R(c, 4);
    if (!positiveFinite(c1) || !positiveFinite(r4)) return sd.Fail();
    SelectVariant(c, 4, 1, 2);
    c.GainFixed = 1;
    long double wpP, qpP;
    if (c.UseC2Variable) {
        c.C2Alone = 1;
        long double c2 = C(c, 2);
        if (!positiveFinite(c2)) return sd.Fail();
        long double r = 0, bP = 0, kP = 0;
        for (int step = 0;; ++step) {
            r = c2 / c1;
            const long double b = Slp02C2VariableB(r, qp);
            const long double k = SlpSallenKeyGain(r, b, qp);
            if (k > 1.0L) {
                const long double kw = SlpSallenKeyGbw(r, b, qp, k);
                sd.GbwStepWith(kw, -kw, wpP, qpP);
                bP = Slp02C2VariableB(r, qpP);
                kP = SlpSallenKeyGain(r, bP, qpP);
                if (kP > 1.0L) break;
            }
            if (step == kSlp02C2Steps) return sd.Fail();
            c2 = StepE12(c2, -1);
        }
        C(c, 2) = c2;
        c.CapRatio = r;
        R(c, 2) = bP * std::sqrt(r) / (c2 * wpP);
        R(c, 1) = R(c, 2) / (bP * bP);
        R(c, 3) = r4 / (kP - 1.0L);
    } else if (c.UseC1EqC2) {
        c.C2Alone = 0;
        const long double k = 3.0L - 1.0L / qp;
        const long double kw = 0.5L * k * k;
        sd.GbwStepWith(kw, -kw, wpP, qpP);
        if (!(qpP > 0.5L)) return sd.Fail();
        C(c, 2) = c1;
        c.CapRatio = 1.0L;
        R(c, 1) = 1.0L / (wpP * c1);
        R(c, 2) = R(c, 1);
        R(c, 3) = r4 / (2.0L - 1.0L / qpP);
    } else {
        c.C2Alone = 0;
        // The GBW coefficients at b = 1, r = 2 Qp; K there is meaningful only for Qp > 0.5,
        // which the values below require anyway.
        const long double r = 2.0L * qp;
        const long double k = 1.0L + (1.0L - 1.0L / std::sqrt(r)) / qp;
        const long double kw = SlpSallenKeyGbw(r, 1.0L, qp, k);
        sd.GbwStepWith(kw, -kw, wpP, qpP);
        if (!(qpP > 0.5L)) return sd.Fail();
        const long double rP = 2.0L * qpP;
        C(c, 2) = rP * c1;
        c.CapRatio = rP;
        R(c, 1) = 1.0L / (std::sqrt(rP) * c1 * wpP);
        R(c, 2) = R(c, 1);
        R(c, 3) = r4 * qpP / (1.0L - 1.0L / std::sqrt(rP));
    }
    R(c, 4) = r4;
    if (!positiveFinite(R(c, 3))) return sd.Fail();
    ScaleGainPair(c, 4);
    c.ActualGain = 1.0L + static_cast<long double>(R(c, 4)) / R(c, 3);
    if (c.CompensationInUse) {
        R(c, 5) = R(c, 4);
        R(c, 6) = R(c, 3);
    }
    return sd.Finish(c.ResistorCount, 2);
}
template <typename T> RealisedStage<T> RealiseSLP02(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    h.num[0] = T(1) + v.R[4] / v.R[3];
    h.den[2] = v.R[1] * v.R[2] * v.C[1] * v.C[2];
    h.den[1] = (v.R[1] + v.R[2]) * v.C[1] - v.R[1] * v.C[2] * v.R[4] / v.R[3];
    h.den[0] = T(1);
    return h;
}

// SLP03, multiple-feedback lowpass: R1 1-3, R2 2-3, R3 3-4, C1 2-4, C2 3-0, virtual ground 4.
// KCL at 4: V3 = -s R3 C1 V2; KCL at 3: G1 V1 + G2 V2 = V3 (G1 + G2 + G3 + s C2), so
//   H = -(G1 G3/(C1 C2)) / (s^2 + s (G1 + G2 + G3)/C2 + G2 G3/(C1 C2)), DC gain -R2/R1.
// With G1 = K G2 and C2 = 4 Qp^2 (K + 1) C1 the two parts of (G1 + G2 + G3)/C2 are equal:
//   R2 = 1/(2 Qp wp C1), R1 = R2/K, R3 = 2 Qp/(wp C2).
// Finite GBW: kw = Qp (K + 1), kq = -Qp.
bool DesignSLP03(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wp, qp;
    if (!SecondOrderStart(sd, wp, qp)) return sd.Fail();
    TStageCircuit& c = sd.c();
    const long double c1 = C(c, 1);
    const long double k = c.DesiredGain;
    if (!positiveFinite(c1) || !positiveFinite(k)) return sd.Fail();
    SelectVariant(c, 3, 1, 0);
    FreeGain(c, k);
    long double wpP, qpP;
    sd.GbwStepWith(qp * (k + 1.0L), -qp, wpP, qpP);
    const long double ratio = 4.0L * qpP * qpP * (k + 1.0L);
    c.CapRatio = ratio;
    C(c, 2) = ratio * c1;
    const long double c2 = C(c, 2);
    const long double x = 1.0L / ratio;
    R(c, 2) = 1.0L / (2.0L * x * qpP * wpP * c2);
    R(c, 1) = R(c, 2) / k;
    R(c, 3) = 1.0L / (x * wpP * wpP * c2 * c2 * R(c, 2));
    return sd.Finish(3, 2);
}
template <typename T> RealisedStage<T> RealiseSLP03(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    const T g1 = T(1) / v.R[1], g2 = T(1) / v.R[2], g3 = T(1) / v.R[3];
    const T c1c2 = v.C[1] * v.C[2];
    h.num[0] = -g1 * g3 / c1c2;
    h.den[2] = T(1);
    h.den[1] = (g1 + g2 + g3) / v.C[2];
    h.den[0] = g2 * g3 / c1c2;
    return h;
}

// SLP04, multiple-feedback lowpass with positive feedback: SLP03 with its op amp's + input
// on the divider R4 5-0, R5 2-5, so V4 = V5 = k V2 with k = R4/(R4 + R5), n = R4/R5 = k/(1-k).
// KCL at 4: V3 = V2 (k - s R3 C1 (1 - k)); KCL at 3: G1 V1 + (G2 + k G3) V2 = V3 (sum G + s C2).
// Divided by (1 - k) R3 C1 C2:
//   H = -((1 + n) G1/(R3 C1 C2)) / (s^2 + s ((G1 + G2 + G3)/C2 - n/(R3 C1)) + (G2 - n G1)/(R3 C1 C2)),
//   DC gain -R2 (R4 + R5)/(R1 R5 - R2 R4).
// Design, with rho = C1/C2 and u = wp R3 C1: wp^2 and the gain K give
//   G1 = K (1 - k) wp^2 C1^2 R3 / rho,  G2 = (1 + K k) wp^2 C1^2 R3 / rho,
// and the s term 1/Qp = (K + 1) u + (rho - n)/u, a quadratic in u whose larger root is
//   u = (1 + sqrt(D)) / (2 Qp (K + 1)),  D = 1 - 4 Qp^2 (K + 1) (rho - n).
// (written this way it has no 0/0 at n = rho). For n > rho, D > 1 and u > 0 always; k is
// picked from 0.1 .. 0.9 among those with n > rho to minimise the GBW sensitivity figure
// s = sqrt(q^2 + K^2 (1 - k)^2) / (2 (1 - k)^2), q = 1/u. When no k has n > rho (C2 below
// C1/9), k = 0.9: it gives the largest n and so the smallest rho - n, the widest range of Qp
// with D >= 0; beyond it no k can realise the stage.
// Finite GBW, m = 2 (1 - k)^2: kw = q/m, kq = -q/m + 2 K Qp (1 - k)/m.
// The gain pair is R4 = n R5 with R5 = 10 kOhm; the compensated variant copies it
// (R6 = R5, R7 = R4), but that variant adds the two op amps' errors instead of cancelling
// them, so it is not offered for active compensation; the design still fills it in for a
// record that has the flag set.

// u = wp R3 C1 (the larger root), or -1 when the quadratic has no real root.
long double Slp04U(long double qp, long double n, long double rho, long double gain) {
    const long double disc = 1.0L - 4.0L * qp * qp * (gain + 1.0L) * (rho - n);
    if (!(disc >= 0.0L)) return -1.0L;
    return (1.0L + std::sqrt(disc)) / (2.0L * qp * (gain + 1.0L));
}

long double Slp04ChooseK(long double qp, long double gain, long double rho) {
    long double bestK = 0.9L, bestS = 1.0e6L;
    for (int i = 1; i <= 9; ++i) {
        const long double k = i / 10.0L, n = k / (1.0L - k);
        if (!(n > rho)) continue;
        const long double q = 1.0L / Slp04U(qp, n, rho, gain);
        const long double m = 1.0L - k;
        const long double s = std::sqrt(q * q + gain * gain * m * m) / (2.0L * m * m);
        if (s < bestS) {
            bestS = s;
            bestK = k;
        }
    }
    return bestK;
}

bool DesignSLP04(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wp, qp;
    if (!SecondOrderStart(sd, wp, qp)) return sd.Fail();
    TStageCircuit& c = sd.c();
    const long double c1 = C(c, 1), c2 = C(c, 2), r5 = R(c, 5);
    const long double gain = c.DesiredGain;
    if (!positiveFinite(c1) || !positiveFinite(c2) || !positiveFinite(r5) || !positiveFinite(gain))
        return sd.Fail();
    SelectVariant(c, 5, 1, 2);
    FreeGain(c, gain);
    const long double rho = c1 / c2;
    c.CapRatio = c2 / c1;
    const long double k = Slp04ChooseK(qp, gain, rho);
    const long double n = k / (1.0L - k);
    const long double u = Slp04U(qp, n, rho, gain);
    if (!(u > 0.0L)) return sd.Fail();
    const long double q = 1.0L / u, m = 2.0L * (1.0L - k) * (1.0L - k);
    long double wpP, qpP;
    sd.GbwStepWith(q / m, -q / m + 2.0L * gain * qp * (1.0L - k) / m, wpP, qpP);
    const long double uP = Slp04U(qpP, n, rho, gain);
    if (!(uP > 0.0L)) return sd.Fail();
    const long double wc1 = wpP * c1;
    R(c, 3) = uP / wc1;
    R(c, 1) = rho / (gain * (1.0L - k) * wc1 * wc1 * R(c, 3));
    R(c, 2) = rho / ((gain * k + 1.0L) * wc1 * wc1 * R(c, 3));
    R(c, 5) = r5;
    R(c, 4) = n * r5;
    ScaleGainPair(c, 5);
    if (c.CompensationInUse) {
        R(c, 6) = R(c, 5);
        R(c, 7) = R(c, 4);
    }
    return sd.Finish(c.ResistorCount, 2);
}
template <typename T> RealisedStage<T> RealiseSLP04(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    const T g1 = T(1) / v.R[1], g2 = T(1) / v.R[2], g3 = T(1) / v.R[3];
    const T n = v.R[4] / v.R[5];
    const T r3c1c2 = v.R[3] * v.C[1] * v.C[2];
    h.num[0] = -(T(1) + n) * g1 / r3c1c2;
    h.den[2] = T(1);
    h.den[1] = (g1 + g2 + g3) / v.C[2] - n / (v.R[3] * v.C[1]);
    h.den[0] = (g2 - n * g1) / r3c1c2;
    return h;
}

// SLP08, KHN state variable: A2 (R1 4-5, C1 6-5) and A3 (R2 6-7, C2 2-7) are inverting
// integrators, V6 = -V4/(s R1 C1), V2 = -V6/(s R2 C2); A1 sums the input and the bandpass
// output on its + input (R3 1-8, R4 6-8) against the lowpass output on its - input (R5 2-3,
// R6 4-3). With V4 = s^2 R1 R2 C1 C2 V2 and V6 = -s R2 C2 V2 the two input equations give
//   H = K / (s^2 C1 C2 R1 R2 R5/R6 + s C2 R2 (R3/R6) (R5 + R6)/(R3 + R4) + 1),
//   K = R4 (R5 + R6) / (R6 (R3 + R4)).
// Design: R1 = R3 = R5 = R6 = 1/(wp C1), R2 = 1/(wp C2) (equal to R1 for C2 = C1), and
// R4 = (2 Qp - 1) R1 sets the s term; the gain is then fixed at K = 2 - 1/Qp (Qp > 0.5).
bool DesignSLP08(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wp, qp;
    if (!SecondOrderStart(sd, wp, qp)) return sd.Fail();
    TStageCircuit& c = sd.c();
    const long double c1 = C(c, 1), c2 = C(c, 2);
    if (!positiveFinite(c1) || !positiveFinite(c2)) return sd.Fail();
    long double wpP, qpP;
    sd.GbwStepWith(1.0L - 3.0L / (2.0L * qp), 3.0L / (2.0L * qp) - 4.0L * qp, wpP, qpP);
    c.GbwFactor3 = 0.5L * (5.0L / (2.0L * qp * qp) + 1.0L - 1.0L / qp);
    c.GbwFactor4 = 6.0L * qp * qp - 2.0L / 3.0L - 1.0L / (2.0L * qp);
    if (!(qpP > 0.5L)) return sd.Fail();
    FixGain(c, 2.0L - 1.0L / qpP);
    c.CapRatio = c2 / c1;
    const long double r = 1.0L / (wpP * c1);
    R(c, 1) = r;
    R(c, 2) = 1.0L / (wpP * c2);
    R(c, 3) = r;
    R(c, 4) = (2.0L * qpP - 1.0L) * r;
    R(c, 5) = r;
    R(c, 6) = r;
    return sd.Finish(6, 2);
}
template <typename T> RealisedStage<T> RealiseSLP08(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    const T r56 = (v.R[5] + v.R[6]) / v.R[6];
    h.num[0] = v.R[4] * r56 / (v.R[3] + v.R[4]);
    h.den[2] = v.C[1] * v.C[2] * v.R[1] * v.R[2] * v.R[5] / v.R[6];
    h.den[1] = v.C[2] * v.R[2] * v.R[3] * r56 / (v.R[3] + v.R[4]);
    h.den[0] = T(1);
    return h;
}

// SLP13, Akerberg-Mossberg: A1 holds node 3 at ground (+3, -0), A2 inverts (R2 4-5, R3 6-5),
// A3 is a lossy integrator (R4 6-7, R5 and C2 from the output to 7).
// KCL at 5: V4 = -(R2/R3) V6; at 7: V6 = -R4 (G5 + s C2) V2; at 3: G1 V1 + s C1 V4 + G6 V2 = 0:
//   H = -(R3/(R1 R2 R4 C1 C2)) / (s^2 + s/(R5 C2) + R3/(R2 R4 R6 C1 C2)), DC gain -R6/R1.
// Design: R2 = R3 = R6 = 1/(wp C1), R4 = 1/(wp C2), R5 = Qp/(wp C2), R1 = R6/K (any K).
// Finite GBW: kw = 1 + K/2, kq = K/2.
bool DesignSLP13(TDesign& d, int stage) {
    StageDesign sd(d, stage);
    long double wp, qp;
    if (!SecondOrderStart(sd, wp, qp)) return sd.Fail();
    TStageCircuit& c = sd.c();
    const long double c1 = C(c, 1), c2 = C(c, 2);
    const long double k = c.DesiredGain;
    if (!positiveFinite(c1) || !positiveFinite(c2) || !positiveFinite(k)) return sd.Fail();
    FreeGain(c, k);
    long double wpP, qpP;
    sd.GbwStepWith(1.0L + 0.5L * k, 0.5L * k, wpP, qpP);
    c.CapRatio = c2 / c1;
    const long double r = 1.0L / (wpP * c1);
    R(c, 2) = r;
    R(c, 3) = r;
    R(c, 6) = r;
    R(c, 4) = 1.0L / (wpP * c2);
    R(c, 5) = qpP / (wpP * c2);
    R(c, 1) = r / k;
    return sd.Finish(6, 2);
}
template <typename T> RealisedStage<T> RealiseSLP13(const ComponentValues<T>& v) {
    RealisedStage<T> h;
    const T c1c2 = v.C[1] * v.C[2];
    h.num[0] = -v.R[3] / (v.R[1] * v.R[2] * v.R[4] * c1c2);
    h.den[2] = T(1);
    h.den[1] = T(1) / (v.R[5] * v.C[2]);
    h.den[0] = v.R[3] / (v.R[2] * v.R[4] * v.R[6] * c1c2);
    return h;
}

// ---- Tables ---------------------------------------------------------------------------
// Adjustable-resistor lists by denominator power (s^0, s^1, s^2): the resistors each
// coefficient of the realised function above depends on; a constant coefficient has none.

const std::array<CircuitRoutines, 7> kFirstOrder = {
    VELMORA_CIRCUIT("FLP01", DesignFollowerFirstOrder, RealiseFLP01, (AdjustLists{{"01,01", "", ""}})),
    VELMORA_CIRCUIT("FLP02", DesignAmplifiedFirstOrder, RealiseFLP02, (AdjustLists{{"01,01", "", ""}})),
    VELMORA_CIRCUIT("FLP03", DesignFLP03, RealiseFLP03, (AdjustLists{{"01,02", "", ""}})),
    VELMORA_CIRCUIT("FHP01", DesignFollowerFirstOrder, RealiseFHP01, (AdjustLists{{"01,01", "", ""}})),
    VELMORA_CIRCUIT("FHP02", DesignAmplifiedFirstOrder, RealiseFHP02, (AdjustLists{{"01,01", "", ""}})),
    VELMORA_CIRCUIT("FHP03", DesignFHP03, RealiseFHP03, (AdjustLists{{"01,01", "", ""}})),
    VELMORA_CIRCUIT("FHP04", DesignFHP04, RealiseFHP04, (AdjustLists{{"01,01", "", ""}})),
};

const std::array<CircuitRoutines, 6> kLowpass = {
    VELMORA_CIRCUIT("SLP01", DesignSLP01, RealiseSLP01, (AdjustLists{{"", "02,01,02", "02,01,02"}})),
    VELMORA_CIRCUIT("SLP02", DesignSLP02, RealiseSLP02, (AdjustLists{{"", "04,01,02,03,04", "02,01,02"}})),
    VELMORA_CIRCUIT("SLP03", DesignSLP03, RealiseSLP03, (AdjustLists{{"02,02,03", "03,01,02,03", ""}})),
    VELMORA_CIRCUIT("SLP04", DesignSLP04, RealiseSLP04,
                    (AdjustLists{{"05,01,02,03,04,05", "05,01,02,03,04,05", ""}})),
    VELMORA_CIRCUIT("SLP08", DesignSLP08, RealiseSLP08,
                    (AdjustLists{{"", "05,02,03,04,05,06", "04,01,02,05,06"}})),
    VELMORA_CIRCUIT("SLP13", DesignSLP13, RealiseSLP13, (AdjustLists{{"04,02,03,04,06", "01,05", ""}})),
};

} // namespace

std::span<const CircuitRoutines> FirstOrderCircuits() {
    return kFirstOrder;
}
std::span<const CircuitRoutines> LowpassCircuits() {
    return kLowpass;
}

} // namespace velmora
