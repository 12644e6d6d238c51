// First-order circuits (FLP01..03, FHP01..04) and second-order lowpass circuits (SLP01, 02,
// 03, 04, 08, 13): their designs meet the stage targets over a grid of targets, their
// realised transfer functions agree with the nodal analysis of their netlists (plain and
// compensated), their finite-GBW coefficients agree with the pole shift that single-pole
// op amps actually cause, and their sensitivities agree with closed forms and with finite
// differences.
#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/nodal.h"
#include "circuits/catalogue.h"
#include "circuits/circuit_design.h"
#include "circuits/circuit_family_support.h"

namespace velmora {
namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

// Component values are stored as 6-byte reals (about 1e-12 relative each); a realised
// figure is a product or quotient of a handful of them.
constexpr long double kDesignTolerance = 1e-9L;

enum class Form { Standard, C2Variable, C1EqC2 };

struct Variant {
    std::string key;
    Form form = Form::Standard;
};

std::string Describe(const Variant& v) {
    return v.key + (v.form == Form::C2Variable ? " C2 variable" : v.form == Form::C1EqC2 ? " C1=C2" : "");
}

const std::vector<Variant>& FirstOrderVariants() {
    static const std::vector<Variant> v = {{"FLP01"}, {"FLP02"}, {"FLP03"}, {"FHP01"},
                                           {"FHP02"}, {"FHP03"}, {"FHP04"}};
    return v;
}
const std::vector<Variant>& LowpassVariants() {
    static const std::vector<Variant> v = {{"SLP01"},
                                           {"SLP01", Form::C2Variable},
                                           {"SLP02"},
                                           {"SLP02", Form::C1EqC2},
                                           {"SLP02", Form::C2Variable},
                                           {"SLP03"},
                                           {"SLP04"},
                                           {"SLP08"},
                                           {"SLP13"}};
    return v;
}

using test::ValuesOf;

std::unique_ptr<TDesign> LoadStage(const Variant& v, long double w, long double qp, long double gain,
                                   bool compensate = false, bool predistort = false,
                                   long double gbwHz = 1.0e6L) {
    return test::LoadedStage(v.key, {w, qp, gain, 0, v.form == Form::C2Variable, v.form == Form::C1EqC2,
                                     compensate, predistort, gbwHz});
}

const CircuitRoutines& Routines(const std::string& key) {
    return test::RoutinesOf(key);
}

// The stage figures of a realised function: wc (first order) or wp, Qp, and the gain
// constant with its sign (DC gain of a lowpass, high-frequency gain of a highpass).
template <typename T> struct Figures { T w, qp, gain; };
template <typename T> Figures<T> FiguresOf(const RealisedStage<T>& h, bool firstOrder, bool highpass) {
    if (firstOrder) return {h.den[0] / h.den[1], T(0), highpass ? h.num[1] / h.den[1] : h.num[0] / h.den[0]};
    using std::sqrt;
    return {sqrt(h.den[0] / h.den[2]), sqrt(h.den[0] * h.den[2]) / h.den[1], h.num[0] / h.den[0]};
}

bool IsFirstOrder(const std::string& key) {
    return key[0] == 'F';
}
bool IsHighpass(const std::string& key) {
    return key.rfind("FHP", 0) == 0;
}

long double Rel(long double a, long double b) {
    return std::fabs(a - b) / std::fabs(b);
}

// Where each design is expected to fail: the equal-resistor Sallen-Key forms and the KHN
// circuit need Qp > 0.5 (their amplifier gain or R4 reaches its limit there); every other
// design of the family realises every positive target.
bool ExpectRealisable(const Variant& v, long double qp) {
    const bool needsQAboveHalf = (v.key == "SLP02" && v.form != Form::C2Variable) || v.key == "SLP08";
    return !needsQAboveHalf || qp > 0.5L;
}

// ---- Designs against their targets --------------------------------------------------------

void CheckDesign(const Variant& v, long double w, long double qp, long double gain, bool compensate) {
    const std::string where = Describe(v) + " f=" + std::to_string(static_cast<double>(w / (2 * kPi))) +
                              " Qp=" + std::to_string(static_cast<double>(qp)) +
                              " K=" + std::to_string(static_cast<double>(gain)) + (compensate ? " comp" : "");
    SCOPED_TRACE(where);
    auto d = LoadStage(v, w, qp, gain, compensate);
    const TStageCircuit before = d->Circuits[1];
    const CircuitRoutines& r = Routines(v.key);
    const bool ok = r.design(*d, 1);
    const TStageCircuit& c = d->Circuits[1];
    ASSERT_EQ(ok, ExpectRealisable(v, qp));
    if (!ok) {
        // A failed design leaves every value as it was and only marks the circuit.
        EXPECT_EQ(c.NotRealisable, 1);
        for (int n = 1; n <= kComponentSlots; ++n)
            EXPECT_EQ(c.Components[n].Value.value(), before.Components[n].Value.value()) << "slot " << n;
        EXPECT_EQ(c.ActualGain.value(), before.ActualGain.value());
        return;
    }
    EXPECT_EQ(c.NotRealisable, 0);
    // Every component the circuit uses is positive and finite.
    for (int n = 1; n <= c.ResistorCount; ++n)
        EXPECT_TRUE(std::isfinite(R(c, n)) && R(c, n) > 0)
            << "R" << n << " = " << static_cast<double>(R(c, n));
    for (int n = 1; n <= c.CapacitorCount; ++n)
        EXPECT_TRUE(std::isfinite(C(c, n)) && C(c, n) > 0)
            << "C" << n << " = " << static_cast<double>(C(c, n));
    // The gain: what was asked unless the topology fixes it; its sign follows the row's
    // inverting flag.
    if (!c.GainFixed) {
        EXPECT_LT(Rel(c.ActualGain, gain), kDesignTolerance);
    }

    // The framework's gain-pair scaling keeps the ratio, so it changes nothing realised.
    TStageCircuit scaled = c;
    if (c.GainPair) ScaleGainPair(scaled, v.key == "SLP02" ? 4 : v.key == "SLP04" ? 5 : 3);
    for (const TStageCircuit* rec : std::initializer_list<const TStageCircuit*>{&c, &scaled}) {
        const auto h = r.realise(ValuesOf<long double>(*rec));
        const bool first = IsFirstOrder(v.key), high = IsHighpass(v.key);
        // The numerator has the shape of the stage type.
        if (first) {
            EXPECT_EQ(h.den[2], 0);
            EXPECT_EQ(high ? h.num[0] : h.num[1], 0);
        } else {
            EXPECT_EQ(h.num[1], 0);
            EXPECT_EQ(h.num[2], 0);
        }
        const auto f = FiguresOf(h, first, high);
        EXPECT_LT(Rel(f.w, w), kDesignTolerance);
        if (!first) {
            EXPECT_LT(Rel(f.qp, qp), kDesignTolerance);
        }
        EXPECT_LT(Rel(std::fabs(f.gain), c.ActualGain), kDesignTolerance);
        EXPECT_EQ(f.gain < 0, c.Inverting != 0);
    }
}

TEST(FirstOrderLowpassCircuits, DesignsMeetTheirTargetsOrReportNotRealisable) {
    const long double fps[] = {10.0L, 150.0L, 31000.0L / (2 * kPi), 31001.0L / (2 * kPi), 1.0e4L, 1.0e6L};
    const long double gains[] = {0.05L, 0.5L, 1.0L, 1.05L, 1.1L, 2.0L, 10.0L, 100.0L};
    const long double qps[] = {0.5L, 0.5001L, 0.6L, 1.0L / std::sqrt(2.0L), 1.0L, 1.2L, 2.0L,
                               5.0L, 12.0L,   30.0L};
    for (const Variant& v : FirstOrderVariants())
        for (long double fp : fps)
            for (long double k : gains)
                CheckDesign(v, 2 * kPi * fp, 0, k, false);
    for (const Variant& v : LowpassVariants())
        for (long double fp : fps)
            for (long double qp : qps)
                for (long double k : gains)
                    for (int comp = 0; comp <= 1; ++comp) {
                        if (comp && !RowOf(*EntryByKey(v.key)).ActiveComp) continue;
                        CheckDesign(v, 2 * kPi * fp, qp, k, comp != 0);
                    }
}

TEST(FirstOrderLowpassCircuits, NonPositiveGainsAndTargetsAreNotRealisable) {
    // Circuits whose gain is free cannot give a zero or negative gain; no circuit can be
    // built for a zero frequency or a Q that is not positive.
    for (const std::string key : {"FLP03", "FHP03", "FHP04", "SLP03", "SLP04", "SLP13"})
        for (long double k : {0.0L, -1.0L}) {
            auto d = LoadStage({key}, 2 * kPi * 1e3L, 0.8L, k);
            EXPECT_FALSE(Routines(key).design(*d, 1)) << key << " K=" << static_cast<double>(k);
            EXPECT_EQ(d->Circuits[1].NotRealisable, 1);
        }
    for (const Variant& v : FirstOrderVariants()) {
        auto d = LoadStage(v, 0.0L, 0, 2.0L);
        EXPECT_FALSE(Routines(v.key).design(*d, 1)) << v.key;
    }
    for (const Variant& v : LowpassVariants())
        for (long double qp : {0.0L, -1.0L}) {
            auto d = LoadStage(v, 2 * kPi * 1e3L, qp, 2.0L);
            EXPECT_FALSE(Routines(v.key).design(*d, 1)) << Describe(v);
        }
}

TEST(FirstOrderLowpassCircuits, PredistortedDesignsRealiseTheWorkingTargets) {
    // With predistortion every component value comes from wp' and Qp' (also the capacitor
    // ratios and the fixed gains), so the ideal realised stage has exactly wp' and Qp'.
    for (const Variant& v : LowpassVariants())
        for (long double qp : {0.7L, 3.0L, 20.0L})
            for (long double k : {1.0L, 4.0L}) {
                SCOPED_TRACE(Describe(v) + " Qp=" + std::to_string(static_cast<double>(qp)));
                const long double wp = 2 * kPi * 1.0e4L;
                auto d = LoadStage(v, wp, qp, k, false, true, 5.0e6L);
                ASSERT_TRUE(Routines(v.key).design(*d, 1));
                const TStageCircuit& c = d->Circuits[1];
                EXPECT_GT(Rel(c.WpPrime, wp), 1e-5L); // the predistortion is not trivial
                const auto f = FiguresOf(Routines(v.key).realise(ValuesOf<long double>(c)), false, false);
                EXPECT_LT(Rel(f.w, c.WpPrime), kDesignTolerance);
                EXPECT_LT(Rel(f.qp, c.QpPrime), kDesignTolerance);
                EXPECT_LT(Rel(std::fabs(f.gain), c.ActualGain), kDesignTolerance);
            }
}

// ---- Netlists against realised functions ----------------------------------------------------

// A deterministic spread of factors in [0.6, 1.6] to move components off their design.
long double Spread(int i) {
    return 1.1L + 0.5L * std::sin(2.3L * i + 0.7L);
}

TEST(FirstOrderLowpassCircuits, NodalAnalysisOfTheNetlistsEqualsTheRealisedFunctions) {
    // Designed values and the same values moved apart, so the check covers the algebra of
    // the realised function and not only its value at the design point.
    std::vector<Variant> all = FirstOrderVariants();
    for (const Variant& v : LowpassVariants())
        all.push_back(v);
    int compared = 0;
    for (const Variant& v : all)
        for (long double fp : {300.0L, 2.0e5L})
            for (long double qp : {0.7L, 6.0L})
                for (int compensated = 0; compensated <= 1; ++compensated) {
                    if (!FindTopology(v.key, compensated != 0)) continue;
                    SCOPED_TRACE(Describe(v) + (compensated ? " compensated" : ""));
                    const long double w = 2 * kPi * fp;
                    auto d = LoadStage(v, w, qp, 2.5L, compensated != 0);
                    const CircuitRoutines& r = Routines(v.key);
                    ASSERT_TRUE(r.design(*d, 1));
                    const ComponentValues<long double> designed = ValuesOf<long double>(d->Circuits[1]);
                    for (int set = 0; set < 3; ++set) {
                        ComponentValues<long double> values = designed;
                        for (int n = 1; n <= kResistorSlots; ++n)
                            if (values.R[n] > 0) values.R[n] *= set == 0 ? 1.0L : Spread(n + 17 * set);
                        for (int n = 1; n <= kCapacitorSlots; ++n)
                            if (values.C[n] > 0) values.C[n] *= set == 0 ? 1.0L : Spread(n + 5 + 11 * set);
                        const auto h = r.realise(values);
                        for (int i = -4; i <= 4; ++i) {
                            const Complex s(0.0L, w * std::pow(10.0L, i / 4.0L));
                            const auto nodal =
                                NodalResponse(v.key, values, s, OpAmpModel::Ideal(), compensated != 0);
                            ASSERT_TRUE(nodal.has_value());
                            const Complex realised = test::Evaluate(h, s);
                            // Both are exact rational functions of the same values; the
                            // tolerance covers the rounding of the nodal solve.
                            EXPECT_LT(std::abs(*nodal - realised), 1e-9L * std::abs(realised))
                                << "set " << set << " w=" << static_cast<double>(s.imag());
                            ++compared;
                        }
                    }
                }
    EXPECT_GT(compared, 500);
}

// ---- Finite GBW ---------------------------------------------------------------------------

Complex DominantPole(const std::string& key, const ComponentValues<long double>& v, Complex s0,
                     const OpAmpModel& model, bool compensated = false) {
    return test::PoleNear(key, v, s0, model, compensated).value();
}

TEST(FirstOrderLowpassCircuits, GbwCoefficientsGiveThePoleShiftOfSinglePoleOpAmps) {
    // An op amp of unity-gain frequency wt moves the pole to wp (1 - kw wp/wt) and the Q to
    // Qp (1 - kq wp/wt) to first order. With wt = 10^4 wp the second-order remainder is a
    // few 1e-4 of the coefficient (k^2 wp/wt), so 2 % of max(1, |k|) is a fair bound.
    for (const Variant& v : LowpassVariants())
        for (long double qp : {0.8L, 2.0L, 5.0L})
            for (long double k : {1.0L, 3.0L}) {
                SCOPED_TRACE(Describe(v) + " Qp=" + std::to_string(static_cast<double>(qp)) +
                             " K=" + std::to_string(static_cast<double>(k)));
                const long double fp = 1.0e4L, wp = 2 * kPi * fp, gbw = 1.0e4L * fp;
                auto d = LoadStage(v, wp, qp, k, false, false, gbw);
                ASSERT_TRUE(Routines(v.key).design(*d, 1));
                const TStageCircuit& c = d->Circuits[1];
                const long double w = d->Stages[1].Wp, q = d->Stages[1].Qp;
                const Complex s0(-w / (2 * q), w * std::sqrt(1.0L - 1.0L / (4 * q * q)));
                const Complex pole =
                    DominantPole(v.key, ValuesOf<long double>(c), s0, OpAmpModel::SinglePole(gbw));
                const long double wpReal = std::abs(pole), qpReal = wpReal / (-2.0L * pole.real());
                const long double ratio = w / (2 * kPi * gbw);
                const long double kwMeasured = -(wpReal / w - 1.0L) / ratio;
                const long double kqMeasured = -(qpReal / q - 1.0L) / ratio;
                const long double kw = c.GbwFactorWp, kq = c.GbwFactorQp;
                EXPECT_NEAR(static_cast<double>(kwMeasured), static_cast<double>(kw),
                            0.02 * std::max(1.0, std::fabs(static_cast<double>(kw))));
                EXPECT_NEAR(static_cast<double>(kqMeasured), static_cast<double>(kq),
                            0.02 * std::max(1.0, std::fabs(static_cast<double>(kq))));
            }
}

TEST(FirstOrderLowpassCircuits, ActiveCompensationCancelsTheFirstOrderGbwError) {
    // The compensated variants of the Sallen-Key and MFB lowpasses (SLP01, 02, 03) cancel the
    // first-order pole shift: what remains is of the order (wp/wt)^2. The one of SLP04 adds
    // the second op amp's error to the first one's and doubles the shift, which is why it is
    // not offered for active compensation.
    for (const std::string key : {"SLP01", "SLP02", "SLP03", "SLP04"})
        for (long double qp : {0.8L, 2.0L, 5.0L}) {
            SCOPED_TRACE(key + " Qp=" + std::to_string(static_cast<double>(qp)));
            const long double fp = 1.0e4L, wp = 2 * kPi * fp, gbw = 1.0e4L * fp;
            auto d = LoadStage({key}, wp, qp, 2.0L, true, false, gbw);
            ASSERT_TRUE(Routines(key).design(*d, 1));
            const TStageCircuit& c = d->Circuits[1];
            const long double w = d->Stages[1].Wp, q = d->Stages[1].Qp;
            const Complex s0(-w / (2 * q), w * std::sqrt(1.0L - 1.0L / (4 * q * q)));
            const ComponentValues<long double> v = ValuesOf<long double>(c);
            const auto measure = [&](bool compensated) {
                const Complex pole = DominantPole(key, v, s0, OpAmpModel::SinglePole(gbw), compensated);
                const long double ratio = w / (2 * kPi * gbw), wpReal = std::abs(pole);
                return std::pair{-(wpReal / w - 1.0L) / ratio,
                                 -(wpReal / (-2.0L * pole.real()) / q - 1.0L) / ratio};
            };
            const auto [kwPlain, kqPlain] = measure(false);
            const auto [kwComp, kqComp] = measure(true);
            const double bw = 0.02 * std::max(1.0, std::fabs(static_cast<double>(kwPlain)));
            const double bq = 0.02 * std::max(1.0, std::fabs(static_cast<double>(kqPlain)));
            if (key == "SLP04") {
                EXPECT_NEAR(static_cast<double>(kwComp), 2.0 * static_cast<double>(kwPlain), 2 * bw);
                EXPECT_NEAR(static_cast<double>(kqComp), 2.0 * static_cast<double>(kqPlain), 2 * bq);
            } else {
                EXPECT_NEAR(static_cast<double>(kwComp), 0.0, bw);
                EXPECT_NEAR(static_cast<double>(kqComp), 0.0, bq);
            }
        }
}

// ---- Sensitivities --------------------------------------------------------------------------

// (dP/P)/(dx/x) of the stage figures to one component, from the dual-number evaluation.
struct Sens {
    long double w, qp, gain;
};
Sens SensitivityTo(const CircuitRoutines& r, const TStageCircuit& c, bool isR, int n, bool first, bool high) {
    ComponentValues<Dual> v = ValuesOf<Dual>(c);
    Dual& x = isR ? v.R[n] : v.C[n];
    x = Dual(x.v, x.v);
    const auto f = FiguresOf(r.realiseDual(v), first, high);
    return {f.w.d / f.w.v, first ? 0.0L : f.qp.d / f.qp.v, f.gain.d / f.gain.v};
}

TEST(FirstOrderLowpassCircuits, SensitivitiesAgreeWithFiniteDifferences) {
    std::vector<Variant> all = FirstOrderVariants();
    for (const Variant& v : LowpassVariants())
        all.push_back(v);
    for (const Variant& v : all) {
        SCOPED_TRACE(Describe(v));
        auto d = LoadStage(v, 2 * kPi * 2.0e3L, 1.7L, 3.0L);
        const CircuitRoutines& r = Routines(v.key);
        ASSERT_TRUE(r.design(*d, 1));
        const TStageCircuit& c = d->Circuits[1];
        const bool first = IsFirstOrder(v.key), high = IsHighpass(v.key);
        for (int isR = 0; isR <= 1; ++isR)
            for (int n = 1; n <= (isR ? c.ResistorCount : c.CapacitorCount); ++n) {
                const Sens s = SensitivityTo(r, c, isR != 0, n, first, high);
                ComponentValues<long double> up = ValuesOf<long double>(c), down = up;
                const long double h = 1e-6L;
                (isR ? up.R[n] : up.C[n]) *= 1.0L + h;
                (isR ? down.R[n] : down.C[n]) *= 1.0L - h;
                const auto fu = FiguresOf(r.realise(up), first, high);
                const auto fd = FiguresOf(r.realise(down), first, high);
                // Central differences: truncation error h^2, rounding 1e-19/h.
                const auto central = [&](long double a, long double b, long double mid) {
                    return (a - b) / (2 * h * mid);
                };
                const auto f0 = FiguresOf(r.realise(ValuesOf<long double>(c)), first, high);
                EXPECT_NEAR(static_cast<double>(s.w), static_cast<double>(central(fu.w, fd.w, f0.w)), 1e-5)
                    << (isR ? "R" : "C") << n;
                if (!first) {
                    EXPECT_NEAR(static_cast<double>(s.qp), static_cast<double>(central(fu.qp, fd.qp, f0.qp)),
                                1e-5)
                        << (isR ? "R" : "C") << n;
                }
                EXPECT_NEAR(static_cast<double>(s.gain),
                            static_cast<double>(central(fu.gain, fd.gain, f0.gain)), 1e-5)
                    << (isR ? "R" : "C") << n;
            }
    }
}

TEST(FirstOrderLowpassCircuits, SensitivitiesMatchTheirClosedForms) {
    constexpr long double tol = 1e-12L;
    const auto check = [&](const std::string& key, Form form, bool isR, int n,
                           const std::function<Sens(const TStageCircuit&)>& expected) {
        auto d = LoadStage({key, form}, 2 * kPi * 3.0e3L, 1.3L, 2.2L);
        const CircuitRoutines& r = Routines(key);
        ASSERT_TRUE(r.design(*d, 1)) << key;
        const TStageCircuit& c = d->Circuits[1];
        const Sens s = SensitivityTo(r, c, isR, n, IsFirstOrder(key), IsHighpass(key));
        const Sens e = expected(c);
        EXPECT_NEAR(static_cast<double>(s.w), static_cast<double>(e.w), tol)
            << key << (isR ? " R" : " C") << n;
        EXPECT_NEAR(static_cast<double>(s.qp), static_cast<double>(e.qp), tol)
            << key << (isR ? " R" : " C") << n;
        EXPECT_NEAR(static_cast<double>(s.gain), static_cast<double>(e.gain), tol)
            << key << (isR ? " R" : " C") << n;
    };
    const auto fixed = [](long double w, long double qp, long double g) {
        return [=](const TStageCircuit&) { return Sens{w, qp, g}; };
    };
    // First order: wc = 1/(R C) of the frequency-setting pair, the gain of the amplifier.
    check("FLP01", Form::Standard, true, 1, fixed(-1, 0, 0));
    check("FLP01", Form::Standard, false, 1, fixed(-1, 0, 0));
    check("FLP02", Form::Standard, true, 1, fixed(-1, 0, 0));
    check("FLP02", Form::Standard, false, 1, fixed(-1, 0, 0));
    check("FLP02", Form::Standard, true, 2, [](const TStageCircuit& c) {
        return Sens{0, 0, -R(c, 3) / (R(c, 2) + R(c, 3))};
    });
    check("FLP02", Form::Standard, true, 3, [](const TStageCircuit& c) {
        return Sens{0, 0, R(c, 3) / (R(c, 2) + R(c, 3))};
    });
    check("FLP03", Form::Standard, true, 1, fixed(0, 0, -1));
    check("FLP03", Form::Standard, true, 2, fixed(-1, 0, 1));
    check("FLP03", Form::Standard, false, 1, fixed(-1, 0, 0));
    check("FHP04", Form::Standard, true, 1, fixed(-1, 0, -1));
    check("FHP04", Form::Standard, true, 2, fixed(0, 0, 1));
    check("FHP04", Form::Standard, false, 1, fixed(-1, 0, 0));
    // SLP01, both forms: wp -1/2 to every component, gain 0. The pole-Q sensitivities are
    // (dQ/Q)/(dx/x) = R2/(R1 + R2) - 1/2 to R1, R1/(R1 + R2) - 1/2 to R2, -1/2 to C1 and +1/2
    // to C2 (the negatives of the figures sometimes quoted for this circuit).
    for (Form form : {Form::Standard, Form::C2Variable}) {
        check("SLP01", form, true, 1, [](const TStageCircuit& c) {
            return Sens{-0.5L, R(c, 2) / (R(c, 1) + R(c, 2)) - 0.5L, 0};
        });
        check("SLP01", form, true, 2, [](const TStageCircuit& c) {
            return Sens{-0.5L, R(c, 1) / (R(c, 1) + R(c, 2)) - 0.5L, 0};
        });
        check("SLP01", form, false, 1, fixed(-0.5L, -0.5L, 0));
        check("SLP01", form, false, 2, fixed(-0.5L, 0.5L, 0));
    }
    // SLP03, with sum G = G1 + G2 + G3.
    const auto g = [](const TStageCircuit& c, int n) { return 1.0L / R(c, n); };
    const auto sumG = [&](const TStageCircuit& c) { return g(c, 1) + g(c, 2) + g(c, 3); };
    check("SLP03", Form::Standard, true, 1, [&](const TStageCircuit& c) {
        return Sens{0, g(c, 1) / sumG(c), -1};
    });
    check("SLP03", Form::Standard, true, 2, [&](const TStageCircuit& c) {
        return Sens{-0.5L, g(c, 2) / sumG(c) - 0.5L, 1};
    });
    check("SLP03", Form::Standard, true, 3, [&](const TStageCircuit& c) {
        return Sens{-0.5L, g(c, 3) / sumG(c) - 0.5L, 0};
    });
    check("SLP03", Form::Standard, false, 1, fixed(-0.5L, -0.5L, 0));
    check("SLP03", Form::Standard, false, 2, fixed(-0.5L, 0.5L, 0));
    // SLP04's pole frequency, with D = R1 R5 - R2 R4 (the Q and gain figures come from the
    // finite-difference test above).
    const auto slp04 = [](int n) {
        return [n](const TStageCircuit& c) {
            const long double dd = R(c, 1) * R(c, 5) - R(c, 2) * R(c, 4);
            const long double a = 0.5L * R(c, 2) * R(c, 4) / dd, b = -0.5L * R(c, 1) * R(c, 5) / dd;
            const long double wp[] = {0, a, b, -0.5L, -a, a};
            return wp[n];
        };
    };
    for (int n = 1; n <= 5; ++n) {
        auto d = LoadStage({"SLP04"}, 2 * kPi * 3.0e3L, 1.3L, 2.2L);
        ASSERT_TRUE(Routines("SLP04").design(*d, 1));
        const Sens s = SensitivityTo(Routines("SLP04"), d->Circuits[1], true, n, false, false);
        EXPECT_NEAR(static_cast<double>(s.w), static_cast<double>(slp04(n)(d->Circuits[1])), tol) << "R" << n;
    }
}

TEST(FirstOrderLowpassCircuits, AdjustListsNameTheResistorsEachCoefficientDependsOn) {
    // "NN,AA,BB,...": the count, then the resistors; a resistor is listed for a denominator
    // coefficient exactly when that coefficient of the realised function depends on it.
    std::vector<Variant> all = FirstOrderVariants();
    for (const Variant& v : LowpassVariants())
        if (v.form == Form::Standard) all.push_back(v);
    for (const Variant& v : all) {
        auto d = LoadStage(v, 2 * kPi * 2.0e3L, 1.7L, 3.0L);
        const CircuitRoutines& r = Routines(v.key);
        ASSERT_TRUE(r.design(*d, 1));
        const TStageCircuit& c = d->Circuits[1];
        for (int power = 0; power <= 2; ++power) {
            SCOPED_TRACE(v.key + " s^" + std::to_string(power));
            const std::string list(r.lists.den[power]);
            std::vector<int> listed;
            for (std::size_t i = 0; i + 1 < list.size() || i < list.size(); i += 3)
                listed.push_back(std::stoi(list.substr(i, 2)));
            if (!listed.empty()) {
                EXPECT_EQ(listed[0], static_cast<int>(listed.size()) - 1);
                listed.erase(listed.begin());
            }
            for (int n = 1; n <= c.ResistorCount; ++n) {
                ComponentValues<Dual> x = ValuesOf<Dual>(c);
                x.R[n] = Dual(x.R[n].v, x.R[n].v);
                const bool depends = r.realiseDual(x).den[power].d != 0;
                const bool inList = std::find(listed.begin(), listed.end(), n) != listed.end();
                EXPECT_EQ(depends, inList) << "R" << n;
            }
        }
    }
}

// ---- Worked examples -------------------------------------------------------------------------

TEST(FirstOrderLowpassCircuits, FirstOrderGainPairExamples) {
    // FLP02 asked for unity gain gives 1.1 and says the gain is fixed.
    auto d = LoadStage({"FLP02"}, 2 * kPi * 1e3L, 0, 1.0L);
    ASSERT_TRUE(Routines("FLP02").design(*d, 1));
    EXPECT_EQ(d->Circuits[1].ActualGain.value(), Real48(1.1L).value());
    EXPECT_EQ(d->Circuits[1].GainFixed, 1);
    // Gain 2 needs R2 = R3 = 10 kOhm.
    d = LoadStage({"FLP02"}, 2 * kPi * 1e3L, 0, 2.0L);
    ASSERT_TRUE(Routines("FLP02").design(*d, 1));
    EXPECT_EQ(d->Circuits[1].GainFixed, 0);
    EXPECT_NEAR(static_cast<double>(R(d->Circuits[1], 2)), 1.0e4, 1e-6);
    EXPECT_NEAR(static_cast<double>(R(d->Circuits[1], 3)), 1.0e4, 1e-6);
    // FHP01 is a follower whatever gain is asked.
    d = LoadStage({"FHP01"}, 2 * kPi * 1e3L, 0, 3.0L);
    ASSERT_TRUE(Routines("FHP01").design(*d, 1));
    EXPECT_EQ(d->Circuits[1].ActualGain.value(), 1.0L);
    EXPECT_EQ(d->Circuits[1].GainFixed, 1);
}

TEST(FirstOrderLowpassCircuits, SallenKeyCapacitorRatioExamples) {
    const long double wp = 2 * kPi * 1e3L;
    // SLP01 standard at Qp = 1/sqrt 2: C2 = 2 C1 and equal resistors.
    auto d = LoadStage({"SLP01"}, wp, 1.0L / std::sqrt(2.0L), 1.0L);
    ASSERT_TRUE(Routines("SLP01").design(*d, 1));
    EXPECT_NEAR(static_cast<double>(C(d->Circuits[1], 2) / C(d->Circuits[1], 1)), 2.0, 1e-11);
    EXPECT_EQ(R(d->Circuits[1], 1), R(d->Circuits[1], 2));
    // SLP01 " C2 variable": Qp = 0.5 raises r = 1 to 10 (a = sqrt 10); Qp = sqrt(10)/2 puts
    // 4 Qp^2 at exactly 10, which moves on to 100.
    struct Case {
        long double qp, r;
    };
    for (const Case& k : {Case{0.5L, 10.0L}, Case{std::sqrt(10.0L) / 2.0L, 100.0L}, Case{3.0L, 100.0L}}) {
        d = LoadStage({"SLP01", Form::C2Variable}, wp, k.qp, 1.0L);
        ASSERT_TRUE(Routines("SLP01").design(*d, 1)) << static_cast<double>(k.qp);
        EXPECT_EQ(d->Circuits[1].CapRatio.value(), k.r);
        EXPECT_NEAR(static_cast<double>(C(d->Circuits[1], 2) / C(d->Circuits[1], 1)),
                    static_cast<double>(k.r), 1e-9);
    }
    // SLP02 standard: C2 = 2 Qp C1; " C1=C2 : R1=R2": gain 3 - 1/Qp.
    d = LoadStage({"SLP02"}, wp, 2.0L, 1.0L);
    ASSERT_TRUE(Routines("SLP02").design(*d, 1));
    EXPECT_NEAR(static_cast<double>(C(d->Circuits[1], 2) / C(d->Circuits[1], 1)), 4.0, 1e-11);
    EXPECT_NEAR(static_cast<double>(d->Circuits[1].ActualGain), 1.0 + (1.0 - 0.5) / 2.0, 1e-11);
    d = LoadStage({"SLP02", Form::C1EqC2}, wp, 2.0L, 1.0L);
    ASSERT_TRUE(Routines("SLP02").design(*d, 1));
    EXPECT_NEAR(static_cast<double>(d->Circuits[1].ActualGain), 2.5, 1e-11);
    EXPECT_EQ(C(d->Circuits[1], 2), C(d->Circuits[1], 1));
    // SLP03: C2 = 4 Qp^2 (K + 1) C1.
    d = LoadStage({"SLP03"}, wp, 1.5L, 2.0L);
    ASSERT_TRUE(Routines("SLP03").design(*d, 1));
    EXPECT_NEAR(static_cast<double>(C(d->Circuits[1], 2) / C(d->Circuits[1], 1)), 27.0, 1e-9);
}

TEST(FirstOrderLowpassCircuits, SallenKeyC2VariableStepsC2DownUntilTheGainExceedsOne) {
    // The gain of the " C2 variable" Sallen-Key lowpass falls as C2/C1 grows; at low Q the
    // starting ratio 10 gives K <= 1 and C2 steps down the 12-value series until K > 1.
    for (long double qp : {0.5L, 0.6L, 0.8L, 1.0L, 1.15L, 1.5L, 4.0L, 30.0L}) {
        auto d = LoadStage({"SLP02", Form::C2Variable}, 2 * kPi * 1e3L, qp, 1.0L);
        const long double c2Start = C(d->Circuits[1], 2);
        ASSERT_TRUE(Routines("SLP02").design(*d, 1)) << static_cast<double>(qp);
        const TStageCircuit& c = d->Circuits[1];
        EXPECT_GT(c.ActualGain, 1.0L);
        EXPECT_LE(C(c, 2), c2Start);
        EXPECT_EQ(c.C2Alone, 1);
        EXPECT_NEAR(static_cast<double>(c.CapRatio), static_cast<double>(C(c, 2) / C(c, 1)), 1e-11);
        if (qp >= 1.5L) {
            EXPECT_EQ(C(c, 2), c2Start); // no step needed
        }
        if (qp <= 1.0L) {
            EXPECT_LT(C(c, 2), c2Start);
        }
    }
}

TEST(FirstOrderLowpassCircuits, PredistortionExampleOfTheUnityGainSallenKey) {
    // SLP01 at Qp = 1/sqrt 2, fp = 10 kHz, GBW 1 MHz: kw = -kq = Qp, so wp' = wp (1 + 0.01/sqrt 2),
    // Qp' = Qp (1 - 0.01/sqrt 2), and the recommended GBW 141 kHz rounds to 100 kHz.
    const long double qp = 1.0L / std::sqrt(2.0L), wp = 2 * kPi * 1.0e4L;
    auto d = LoadStage({"SLP01"}, wp, qp, 1.0L, false, true, 1.0e6L);
    ASSERT_TRUE(Routines("SLP01").design(*d, 1));
    const TStageCircuit& c = d->Circuits[1];
    const long double w = d->Stages[1].Wp, q = d->Stages[1].Qp;
    EXPECT_NEAR(static_cast<double>(c.WpPrime / (w * (1 + 0.01L / std::sqrt(2.0L)))), 1.0, 1e-11);
    EXPECT_NEAR(static_cast<double>(c.QpPrime / (q * (1 - 0.01L / std::sqrt(2.0L)))), 1.0, 1e-11);
    EXPECT_EQ(c.MinRecGBW.value(), 1.0e5L);
    // C2 = 4 Qp'^2 C1 uses the predistorted Q.
    EXPECT_NEAR(static_cast<double>(C(c, 2) / C(c, 1)), static_cast<double>(4 * c.QpPrime * c.QpPrime),
                1e-10);
}

TEST(FirstOrderLowpassCircuits, CompensatedVariantsCountTheirExtraParts) {
    struct Case {
        std::string key;
        int resistors, opamps;
    };
    for (const Case& k :
         {Case{"SLP01", 2, 2}, Case{"SLP02", 6, 2}, Case{"SLP03", 3, 2}, Case{"SLP04", 7, 2}}) {
        auto d = LoadStage({k.key}, 2 * kPi * 1e3L, 2.0L, 2.0L, true, true);
        ASSERT_TRUE(Routines(k.key).design(*d, 1)) << k.key;
        const TStageCircuit& c = d->Circuits[1];
        const Topology* t = FindTopology(k.key, true);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(c.ResistorCount, k.resistors) << k.key;
        EXPECT_EQ(c.ResistorCount, t->resistors()) << k.key;
        EXPECT_EQ(c.OpAmpCount, k.opamps) << k.key;
        EXPECT_EQ(c.Predistort, 0) << k.key; // compensation and predistortion exclude each other
        // The added pair repeats the gain pair (same divider ratio around the second op amp).
        if (k.key == "SLP02") {
            EXPECT_EQ(R(c, 5), R(c, 4));
            EXPECT_EQ(R(c, 6), R(c, 3));
        }
        if (k.key == "SLP04") {
            EXPECT_EQ(R(c, 6), R(c, 5));
            EXPECT_EQ(R(c, 7), R(c, 4));
        }
        // Switching compensation off again gives the plain counts.
        d->Circuits[1].CompensationInUse = 0;
        ASSERT_TRUE(Routines(k.key).design(*d, 1));
        EXPECT_EQ(d->Circuits[1].OpAmpCount, 1);
        EXPECT_EQ(d->Circuits[1].ResistorCount, FindTopology(k.key)->resistors());
    }
}

} // namespace
} // namespace velmora
