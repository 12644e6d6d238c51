// Notch circuits (SLPN01, 04, 10; SHPN01, 03, 09; SN01, 02, 09): each design is checked
// against the stage target through its realised transfer function, the realised function
// against the nodal analysis of the circuit's netlist (plain and compensated, designed
// and perturbed values), the finite-GBW coefficients against the poles the nodal analysis
// finds with single-pole op amps, the active compensation of the Friend biquads against
// the error's order in 1/GBW, and the sensitivities against finite differences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "analysis/nodal.h"
#include "circuits/catalogue.h"
#include "circuits/circuit_design.h"
#include "circuits/circuit_family_support.h"

namespace velmora {
namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

using test::Evaluate;
using test::PoleNear;

const CircuitRoutines& Routines(std::string_view key) {
    return test::RoutinesOf(key);
}

enum class Kind { LowpassNotch, HighpassNotch, Notch };

struct CircuitCase {
    std::string_view key;
    Kind kind;
    bool inverting;
    bool gainAsked; // the circuit gives the desired gain (else the topology or a limit sets it)
};

const std::vector<CircuitCase>& Cases() {
    static const std::vector<CircuitCase> cases = {
        {"SLPN01", Kind::LowpassNotch, false, true},
        {"SLPN04", Kind::LowpassNotch, false, false},
        {"SLPN10", Kind::LowpassNotch, true, true},
        {"SHPN01", Kind::HighpassNotch, false, true},
        {"SHPN03", Kind::HighpassNotch, false, false},
        {"SHPN09", Kind::HighpassNotch, true, true},
        {"SN01", Kind::Notch, false, false},
        {"SN02", Kind::Notch, false, false},
        {"SN09", Kind::Notch, true, true},
    };
    return cases;
}

struct StageSetup {
    long double fp = 1000, qp = 1, ratio = 1, gain = 1; // ratio = wz/wp
    bool compensated = false, predistort = false;
    long double gbwHz = 1.0e6L;
};

std::unique_ptr<TDesign> LoadStage(std::string_view key, const StageSetup& s) {
    const long double wp = 2 * kPi * s.fp;
    return test::LoadedStage(key, {wp, s.qp, s.gain, s.ratio == 1 ? wp : wp * s.ratio, false, false,
                                   s.compensated, s.predistort, s.gbwHz});
}

ComponentValues<long double> ValuesOf(const TStageCircuit& c) {
    return test::ValuesOf<long double>(c);
}

// The second-order notch inside a realised function: a cubic (the twin T) is deflated by
// the real root of its numerator, which a balanced T shares with its denominator (the
// remainder of the denominator's division is returned relative to its constant term).
struct Biquad {
    long double n2 = 0, n1 = 0, n0 = 0, d2 = 0, d1 = 0, d0 = 0;
    long double remainder = 0;
};
Biquad SecondOrderPart(const RealisedStage<long double>& h) {
    Biquad b;
    if (h.den[3] == 0) {
        b = {h.num[2], h.num[1], h.num[0], h.den[2], h.den[1], h.den[0], 0};
        return b;
    }
    // Real root of the numerator cubic by Newton from the Cauchy bound downwards.
    const auto& n = h.num;
    long double x = -(std::fabs(n[2] / n[3]) + std::fabs(n[1] / n[3]) + std::fabs(n[0] / n[3]) + 1);
    for (int i = 0; i < 200; ++i) {
        const long double f = ((n[3] * x + n[2]) * x + n[1]) * x + n[0];
        const long double df = (3 * n[3] * x + 2 * n[2]) * x + n[1];
        const long double step = f / df;
        x -= step;
        if (std::fabs(step) <= 1e-19L * std::fabs(x)) break;
    }
    // Synthetic division by (s - x).
    const auto deflate = [x](const std::array<long double, 4>& a, long double& q2, long double& q1,
                             long double& q0) {
        q2 = a[3];
        q1 = a[2] + x * q2;
        q0 = a[1] + x * q1;
        return a[0] + x * q0;
    };
    deflate(h.num, b.n2, b.n1, b.n0);
    b.remainder = deflate(h.den, b.d2, b.d1, b.d0) / h.den[0];
    return b;
}

struct NotchParameters {
    long double wp, qp, wz, gain; // gain: signed high-frequency gain
    long double zeroDamping;      // s^1 term of the numerator relative to wz n2
    long double remainder;
};
NotchParameters ParametersOf(const RealisedStage<long double>& h) {
    const Biquad b = SecondOrderPart(h);
    const long double wp = std::sqrt(b.d0 / b.d2);
    const long double wz = std::sqrt(b.n0 / b.n2);
    return {wp, std::sqrt(b.d0 * b.d2) / b.d1, wz, b.n2 / b.d2, b.n1 / (wz * b.n2), b.remainder};
}

bool AllComponentsSound(const TStageCircuit& c) {
    for (int n = 1; n <= c.ResistorCount; ++n)
        if (!(std::isfinite(static_cast<long double>(R(c, n))) && R(c, n) > 0)) return false;
    for (int n = 1; n <= c.CapacitorCount; ++n)
        if (!(std::isfinite(static_cast<long double>(C(c, n))) && C(c, n) > 0)) return false;
    return true;
}

std::vector<long double> Ratios(Kind kind) {
    switch (kind) {
    case Kind::LowpassNotch:
        return {1.05L, 1.5L, 3.0L, 10.0L};
    case Kind::HighpassNotch:
        return {0.1L, 0.33L, 0.7L, 0.95L};
    case Kind::Notch:
        return {1.0L};
    }
    return {};
}

// The grid of the stage targets.
const std::vector<long double> kFrequencies = {10, 1000, 31000 / (2 * kPi), 1.0e5L, 1.0e6L};
const std::vector<long double> kQs = {0.3L, 0.5L, 0.7071L, 2, 10, 30};
const std::vector<long double> kGains = {0.05L, 0.4L, 1, 3.5L};

// Stored values are rounded to the record's 6-byte reals (about 1e-12 relative); the
// realised parameters are products of a dozen of them.
constexpr long double kTol = 1e-9L;

TEST(NotchCircuits, DesignsRealiseTheStageTargets) {
    for (const CircuitCase& cc : Cases()) {
        int built = 0;
        for (long double fp : kFrequencies)
            for (long double qp : kQs)
                for (long double ratio : Ratios(cc.kind))
                    for (long double gain : kGains) {
                        auto d = LoadStage(cc.key, {fp, qp, ratio, gain});
                        const TStageCircuit& c = d->Circuits[1];
                        const std::string where = std::string(cc.key) + " fp " + std::to_string(fp) + " Qp " +
                                                  std::to_string(qp) + " wz/wp " + std::to_string(ratio) +
                                                  " gain " + std::to_string(gain);
                        const bool ok = Routines(cc.key).design(*d, 1);
                        // Every notch design here is realisable over the whole grid.
                        ASSERT_TRUE(ok) << where;
                        ASSERT_FALSE(c.NotRealisable) << where;
                        ASSERT_TRUE(AllComponentsSound(c)) << where;
                        ++built;
                        const auto p = ParametersOf(Routines(cc.key).realise(ValuesOf(c)));
                        const long double wp = d->Stages[1].Wp, wz = d->Stages[1].Wz;
                        EXPECT_NEAR(p.wp / wp, 1, kTol) << where;
                        EXPECT_NEAR(p.qp / qp, 1, kTol) << where;
                        EXPECT_NEAR(p.wz / wz, 1, kTol) << where;
                        EXPECT_NEAR(p.zeroDamping, 0, kTol) << where;
                        EXPECT_NEAR(p.remainder, 0, kTol) << where;
                        EXPECT_EQ(p.gain < 0, cc.inverting) << where;
                        // The record's actual gain is what the components give.
                        EXPECT_NEAR(std::fabs(p.gain) / c.ActualGain, 1, kTol) << where;
                        if (cc.gainAsked) {
                            // A gain beyond the circuit's reach is limited and reported fixed.
                            if (c.GainFixed) {
                                EXPECT_LT(c.ActualGain, gain) << where;
                            } else {
                                EXPECT_NEAR(c.ActualGain / gain, 1, kTol) << where;
                            }
                        }
                    }
        EXPECT_GT(built, 0) << cc.key;
    }
}

// The gains that the topology fixes, in closed form from the targets.
TEST(NotchCircuits, FixedGainsFollowTheirTopologies) {
    for (long double qp : kQs)
        for (long double ratio : {1.2L, 4.0L}) {
            auto d = LoadStage("SLPN04", {1000, qp, ratio, 1});
            ASSERT_TRUE(Routines("SLPN04").design(*d, 1));
            // The Fliege lowpass notch passes DC at unity: K = (wp/wz)^2.
            EXPECT_NEAR(d->Circuits[1].ActualGain * ratio * ratio, 1, kTol);
            EXPECT_TRUE(d->Circuits[1].GainFixed);
            auto h = LoadStage("SHPN03", {1000, qp, 1 / ratio, 1});
            ASSERT_TRUE(Routines("SHPN03").design(*h, 1));
            // K = 2 wp^2/(wp^2 + wz^2).
            EXPECT_NEAR(h->Circuits[1].ActualGain, 2 / (1 + 1 / (ratio * ratio)), kTol);
            auto n = LoadStage("SN01", {1000, qp, 1, 1});
            ASSERT_TRUE(Routines("SN01").design(*n, 1));
            // Twin T: k = 2 - 1/(2 Qp) from Qp = 1 up; below, k - 1 = 1/(2 Qp^2).
            const long double k = qp >= 1 ? 2 - 1 / (2 * qp) : 1 + 1 / (2 * qp * qp);
            EXPECT_NEAR(n->Circuits[1].ActualGain / k, 1, kTol) << qp;
            EXPECT_TRUE(n->Circuits[1].GainFixed);
            EXPECT_DOUBLE_EQ(static_cast<double>(R(n->Circuits[1], 5)), 10000.0);
        }
}

// Perturbs every component of a set by up to +-30 %: the realised function must follow
// the netlist for any values (the twin T then becomes third order).
ComponentValues<long double> Perturbed(ComponentValues<long double> v, std::mt19937& rng,
                                       double spread = 0.3) {
    std::uniform_real_distribution<double> f(1 - spread, 1 + spread);
    for (auto& r : v.R)
        if (r > 0) r *= f(rng);
    for (auto& c : v.C)
        if (c > 0) c *= f(rng);
    return v;
}

TEST(NotchCircuits, RealisedFunctionsAgreeWithTheNodalAnalysis) {
    std::mt19937 rng(20240611);
    for (const CircuitCase& cc : Cases()) {
        for (bool compensated : {false, true}) {
            if (compensated && !FindTopology(cc.key, true)) continue;
            for (long double qp : {0.5L, 3.0L, 25.0L})
                for (long double ratio : Ratios(cc.kind)) {
                    auto d = LoadStage(cc.key, {2000, qp, ratio, 0.3L, compensated});
                    ASSERT_TRUE(Routines(cc.key).design(*d, 1)) << cc.key;
                    const TStageCircuit& c = d->Circuits[1];
                    const long double wp = d->Stages[1].Wp;
                    for (int set = 0; set < 4; ++set) {
                        const ComponentValues<long double> v =
                            set == 0 ? ValuesOf(c) : Perturbed(ValuesOf(c), rng);
                        const auto h = Routines(cc.key).realise(v);
                        // The high-frequency gain sets the scale of the response.
                        const long double scale =
                            h.den[3] != 0 ? std::fabs(h.num[3] / h.den[3]) : std::fabs(h.num[2] / h.den[2]);
                        // From a decade below to a decade above the stage frequency, on
                        // points that miss the designed notch.
                        for (int i = 0; i <= 20; ++i) {
                            const long double w = wp * std::pow(10.0L, -1 + i / 10.0L + 0.0137L);
                            const auto nodal =
                                NodalResponse(cc.key, v, {0, w}, OpAmpModel::Ideal(), compensated);
                            ASSERT_TRUE(nodal) << cc.key;
                            const Complex mine = Evaluate(h, {0, w});
                            EXPECT_LE(std::abs(mine - *nodal), 1e-9L * std::max(std::abs(*nodal), scale))
                                << cc.key << (compensated ? " compensated" : "") << " set " << set << " w/wp "
                                << w / wp;
                        }
                    }
                }
        }
    }
}

// The first-order GBW coefficients say how far a single-pole op amp of unity-gain
// frequency wt moves the poles: wp by -kw wp/wt, Qp by -kq wp/wt (relative). With
// wt = 1e5 wp max(1, |kw|, |kq|) the second-order remainder is about 1e-5 of the
// first-order shift.
TEST(NotchCircuits, GbwCoefficientsPredictThePoleShift) {
    for (const CircuitCase& cc : Cases())
        for (long double qp : {0.7L, 2.0L, 12.0L})
            for (long double ratio : Ratios(cc.kind))
                for (long double gain : {0.3L, 2.0L}) {
                    auto d = LoadStage(cc.key, {1000, qp, ratio, gain});
                    ASSERT_TRUE(Routines(cc.key).design(*d, 1));
                    const TStageCircuit& c = d->Circuits[1];
                    const long double wp = d->Stages[1].Wp;
                    const long double wt =
                        1e5L * wp * std::max({1.0L, std::fabs(c.GbwFactorWp), std::fabs(c.GbwFactorQp)});
                    const Complex ideal = wp * Complex(-1 / (2 * qp), std::sqrt(1 - 1 / (4 * qp * qp)));
                    const auto pole =
                        PoleNear(cc.key, ValuesOf(c), ideal, OpAmpModel::SinglePole(wt / (2 * kPi)));
                    ASSERT_TRUE(pole) << cc.key;
                    const long double wReal = std::abs(*pole), qReal = wReal / (-2 * pole->real());
                    const long double kw = (1 - wReal / wp) * wt / wp, kq = (1 - qReal / qp) * wt / wp;
                    const std::string where = std::string(cc.key) + " Qp " + std::to_string(qp) + " wz/wp " +
                                              std::to_string(ratio) + " gain " + std::to_string(gain);
                    EXPECT_NEAR(kw, c.GbwFactorWp, 2e-3L * (1 + std::fabs(c.GbwFactorWp))) << where;
                    EXPECT_NEAR(kq, c.GbwFactorQp, 2e-3L * (1 + std::fabs(c.GbwFactorQp))) << where;
                }
}

// With R8/R9 = G7/(G3 + G6) the compensated Friend biquad's finite-GBW term becomes a
// multiple of the ideal denominator, so its poles do not move to first order in 1/GBW:
// ten times the GBW cuts the plain circuit's pole shift ten times and the compensated
// one's a hundred times.
TEST(NotchCircuits, ActiveCompensationHoldsThePoles) {
    for (std::string_view key : {"SLPN01", "SHPN01"})
        for (long double qp : {0.7L, 5.0L}) {
            const long double ratio = key == "SLPN01" ? 1.6L : 0.6L;
            for (bool compensated : {false, true}) {
                auto d = LoadStage(key, {1000, qp, ratio, 0.2L, compensated});
                ASSERT_TRUE(Routines(key).design(*d, 1));
                const TStageCircuit& c = d->Circuits[1];
                EXPECT_EQ(c.ResistorCount, compensated ? 9 : 7);
                EXPECT_EQ(c.OpAmpCount, compensated ? 2 : 1);
                const ComponentValues<long double> v = ValuesOf(c);
                const long double wp = d->Stages[1].Wp;
                const Complex ideal = wp * Complex(-1 / (2 * qp), std::sqrt(1 - 1 / (4 * qp * qp)));
                const auto lo =
                    PoleNear(key, v, ideal, OpAmpModel::SinglePole(1e3L * wp / (2 * kPi)), compensated);
                const auto hi =
                    PoleNear(key, v, ideal, OpAmpModel::SinglePole(1e4L * wp / (2 * kPi)), compensated);
                ASSERT_TRUE(lo && hi);
                const long double improvement = std::abs(*lo - ideal) / std::abs(*hi - ideal);
                if (compensated)
                    EXPECT_NEAR(improvement, 100, 10) << key << " Qp " << qp;
                else
                    EXPECT_NEAR(improvement, 10, 0.5L) << key << " Qp " << qp;
            }
        }
}

// Predistortion moves the pole targets to wp', Qp' and leaves the zero at wz where the
// topology sets it apart; the Fliege notch keeps its zero on its pole, at wp'. The
// balanced twin T would carry its notch along with wp', so it predistorts its pole Q
// only (wp' = wp).
TEST(NotchCircuits, PredistortionMovesThePolesNotTheZero) {
    for (const CircuitCase& cc : Cases()) {
        const long double ratio = Ratios(cc.kind).front();
        auto d = LoadStage(cc.key, {20000, 4, ratio, 0.3L, false, true, 1.0e6L});
        ASSERT_TRUE(Routines(cc.key).design(*d, 1)) << cc.key;
        const TStageCircuit& c = d->Circuits[1];
        const long double wp = d->Stages[1].Wp, wt = 2 * kPi * 1.0e6L;
        const long double wpPrime = cc.key == "SN01" ? wp : wp * (1 + c.GbwFactorWp * wp / wt);
        EXPECT_NEAR(c.WpPrime / wpPrime, 1, 1e-12L) << cc.key;
        const auto p = ParametersOf(Routines(cc.key).realise(ValuesOf(c)));
        EXPECT_NEAR(p.wp / c.WpPrime, 1, kTol) << cc.key;
        EXPECT_NEAR(p.qp / c.QpPrime, 1, kTol) << cc.key;
        const long double zero = cc.key == "SN02" || cc.key == "SN01"
                                     ? static_cast<long double>(c.WpPrime)
                                     : static_cast<long double>(d->Stages[1].Wz);
        EXPECT_NEAR(p.wz / zero, 1, kTol) << cc.key;
    }
}

// Designs that cannot be built say so and leave the record as it was.
TEST(NotchCircuits, UnbuildableDesignsAreReportedWithoutValues) {
    struct Bad {
        std::string_view key;
        StageSetup setup;
    };
    const std::vector<Bad> bad = {
        {"SLPN01", {1000, 2, 1.5, 0}},                           // no gain
        {"SHPN09", {1000, 2, 0.5, -1}},                          // negative gain
        {"SLPN04", {1000, 2, 0.9, 1}},                           // zero below the pole
        {"SHPN03", {1000, 2, 1.1, 1}},                           // zero above the pole
        {"SHPN01", {1000, 2, 1.2, 0.5}},                         // zero above the pole
        {"SLPN04", {100000, 20, 1.001, 1, false, true, 1.0e6L}}, // wp' passes wz
    };
    for (const Bad& b : bad) {
        auto d = LoadStage(b.key, b.setup);
        TStageCircuit before = d->Circuits[1];
        EXPECT_FALSE(Routines(b.key).design(*d, 1)) << b.key;
        const TStageCircuit& c = d->Circuits[1];
        EXPECT_TRUE(c.NotRealisable) << b.key;
        for (int n = 1; n <= kResistorSlots; ++n)
            EXPECT_EQ(static_cast<long double>(R(c, n)), static_cast<long double>(R(before, n))) << b.key;
        for (int n = 1; n <= kCapacitorSlots; ++n)
            EXPECT_EQ(static_cast<long double>(C(c, n)), static_cast<long double>(C(before, n))) << b.key;
    }
}

// Sensitivities from the dual-number evaluation agree with central differences of the
// realised wp, Qp, wz and gain, and with the closed forms of the Akerberg-Mossberg notch
// (wp^2 = R3/(C1 C2 R2 R4 R7), wp/Qp = 1/(R5 C2), wz^2 = R3/(C1 C3 R1 R2 R4), K = C3/C2).
TEST(NotchCircuits, SensitivitiesAgreeWithFiniteDifferences) {
    std::mt19937 rng(7);
    for (const CircuitCase& cc : Cases()) {
        auto d = LoadStage(cc.key, {3000, 3, Ratios(cc.kind).back(), 0.3L});
        ASSERT_TRUE(Routines(cc.key).design(*d, 1));
        // A perturbed set, so that no sensitivity vanishes by symmetry of the design.
        const ComponentValues<long double> base =
            cc.key == "SN01" ? ValuesOf(d->Circuits[1]) : Perturbed(ValuesOf(d->Circuits[1]), rng, 0.02);
        // (A few per cent: the Friend biquads' pole pair rests on a difference that larger
        // changes can push past zero.)
        const auto parameters = [&](const ComponentValues<long double>& v) {
            const auto p = ParametersOf(Routines(cc.key).realise(v));
            return std::array<long double, 4>{p.wp, p.qp, p.wz, std::fabs(p.gain)};
        };
        for (int slot = 1; slot <= kResistorSlots + kCapacitorSlots; ++slot) {
            const bool isR = slot <= kResistorSlots;
            const int n = isR ? slot : slot - kResistorSlots;
            const long double x = isR ? base.R[n] : base.C[n];
            if (!(x > 0)) continue;
            ComponentValues<Dual> dv;
            for (int i = 1; i <= kResistorSlots; ++i)
                dv.R[i] = Dual(base.R[i]);
            for (int i = 1; i <= kCapacitorSlots; ++i)
                dv.C[i] = Dual(base.C[i]);
            (isR ? dv.R[n] : dv.C[n]) = Dual(x, x);
            const auto hd = Routines(cc.key).realiseDual(dv);
            // Exact relative derivatives of the second-order part (the twin T is balanced).
            const Dual d2 = hd.den[3].v != 0 ? hd.den[3] : hd.den[2];
            const Dual d1 = hd.den[3].v != 0 ? hd.den[2] : hd.den[1];
            const Dual d0 = hd.den[3].v != 0 ? hd.den[1] : hd.den[0];
            const Dual n2 = hd.num[3].v != 0 ? hd.num[3] : hd.num[2];
            const Dual n0 = hd.num[3].v != 0 ? hd.num[1] : hd.num[0];
            const auto rel = [](Dual a) { return a.d / a.v; };
            std::array<long double, 4> exact{};
            if (cc.key == "SN01") {
                // The cubic's second-order part is (s^2 + wz^2)(s + alpha)/... : use the
                // finite differences alone there (the balance moves with every component).
                exact = {NAN, NAN, NAN, rel(n2) - rel(hd.den[3])};
            } else {
                exact = {0.5L * (rel(d0) - rel(d2)), 0.5L * (rel(d0) + rel(d2)) - rel(d1),
                         0.5L * (rel(n0) - rel(n2)), rel(n2) - rel(d2)};
            }
            ComponentValues<long double> up = base, down = base;
            const long double h = 1e-6L;
            (isR ? up.R[n] : up.C[n]) = x * (1 + h);
            (isR ? down.R[n] : down.C[n]) = x * (1 - h);
            const auto pu = parameters(up), pd = parameters(down), p0 = parameters(base);
            for (int k = 0; k < 4; ++k) {
                if (std::isnan(exact[k])) continue;
                const long double fd = (pu[k] - pd[k]) / (2 * h * p0[k]);
                EXPECT_NEAR(exact[k], fd, 1e-5L) << cc.key << " slot " << slot << " parameter " << k;
            }
            if (cc.key == "SLPN10" || cc.key == "SHPN09" || cc.key == "SN09") {
                // Closed forms of the Akerberg-Mossberg notch.
                const std::array<std::array<long double, 4>, 7> rows = {{
                    {0, 0, -0.5L, 0},         // R1
                    {-0.5L, -0.5L, -0.5L, 0}, // R2
                    {0.5L, 0.5L, 0.5L, 0},    // R3
                    {-0.5L, -0.5L, -0.5L, 0}, // R4
                    {0, 1, 0, 0},             // R5
                    {0, 0, 0, 0},             // R6: a virtual ground to ground
                    {-0.5L, -0.5L, 0, 0},     // R7
                }};
                const std::array<std::array<long double, 4>, 3> caps = {{
                    {-0.5L, -0.5L, -0.5L, 0}, // C1
                    {-0.5L, 0.5L, 0, -1},     // C2
                    {0, 0, -0.5L, 1},         // C3
                }};
                const auto& want =
                    isR ? rows[static_cast<std::size_t>(n - 1)] : caps[static_cast<std::size_t>(n - 1)];
                for (int k = 0; k < 4; ++k)
                    EXPECT_NEAR(exact[k], want[static_cast<std::size_t>(k)], 1e-15L)
                        << cc.key << " slot " << slot << " parameter " << k;
            }
        }
    }
}

} // namespace
} // namespace velmora
