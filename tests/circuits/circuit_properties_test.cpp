// What every catalogue circuit must do, each asserted once over the whole catalogue (every
// circuit in every design form, plain and actively compensated):
//  - its design realises the stage target (pole, Q, zero, the gain its topology gives),
//    or it reports the circuit not realisable and leaves the record as it was;
//  - with predistortion it realises the working targets wp', Qp' instead;
//  - its realised transfer function is what the nodal analysis of its netlist gives, for
//    the designed values and for values moved off them;
//  - the stored sensitivities are the central differences of the realised parameters;
//  - its finite-GBW coefficients are the pole shift that single-pole op amps cause;
//  - its adjust lists name exactly the resistors each denominator coefficient depends on.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "circuit_stage_support.h"
#include "circuits/gain_spread.h"
#include "support/circuit_cases.h"

namespace velmora {
namespace {

using namespace test;

// Component values are stored as 6-byte reals (about 1e-12 relative each); a realised
// figure is a product or quotient of a dozen of them, so 1e-9 leaves a wide margin for
// the roundings and none for a wrong formula.
constexpr long double kTol = 1e-9L;

// Relative agreement, on a scale of at least `floor` (a gain such as 2 - 1/Qp near Qp = 0.5
// keeps the absolute rounding of its terms).
bool Close(long double a, long double b, long double tol = kTol, long double floor = 0) {
    return std::fabs(a - b) <= tol * std::max(std::fabs(b), floor);
}

using GainRule = std::function<long double(long double qp, long double k, long double ratio)>;

// Where each form can be built and which gain it gives (ratio = wz/wp), from each
// topology's design equations. No gain rule: the asked gain unless the design reports the
// gain as fixed.
struct Expectation {
    std::function<bool(long double qp, long double k)> realisable;
    GainRule gain;
};

Expectation Expected(const CircuitForm& f) {
    const auto positive = [](long double, long double k) { return k > 0; };
    const auto aboveHalf = [](long double qp, long double) { return qp > 0.5L; };
    const auto fixed = [](long double g) { return [g](long double, long double, long double) { return g; }; };
    const long double s10 = std::sqrt(10.0L);
    // The equal-resistor Sallen-Key form (C2 = 2 Qp C1): K = 1 + (1 - 1/sqrt(2 Qp))/Qp; the
    // equal-component form: K = 3 - 1/Qp.
    const GainRule equalR = [](long double qp, long double, long double) {
        return 1 + (1 - 1 / std::sqrt(2 * qp)) / qp;
    };
    const GainRule equalRC = [](long double qp, long double, long double) { return 3 - 1 / qp; };
    const std::string_view k = f.key;
    if (k == "SLP02" || k == "SHP02") {
        if (f.c2Variable)
            return {positive, k == "SHP02" ? GainRule([](long double, long double g, long double) {
                        return std::max(g, 1.05L);
                    })
                                           : GainRule()};
        return {aboveHalf, f.c1EqC2 ? equalRC : equalR};
    }
    if (k == "SLP08") return {aboveHalf, {}};
    if (k == "SHP01" || k == "SHP03") return {positive, fixed(1)};
    if (k == "SHP06") return {aboveHalf, [](long double qp, long double, long double) { return 2 - 1 / qp; }};
    // Sallen-Key bandpass: the amplifier gain a = 2 + r + (k - 1) sqrt(r)/Qp must exceed 1
    // and a Qp exceed k sqrt(r) (r = 1 standard, r = 10 for " C2 variable").
    if (k == "SBP03" && !f.c2Variable)
        return {[](long double qp, long double g) { return qp > 1.0L / 3 && 3 + (g - 1) / qp > 1; }, {}};
    if (k == "SBP03")
        return {[s10](long double qp, long double g) { return qp > s10 / 12 && 12 + (g - 1) * s10 / qp > 1; },
                {}};
    if (k == "SBP04")
        return {positive, [](long double qp, long double g, long double) {
                    const long double limit = qp * qp * 1.1L; // Qp^2 (r + 1)/r with r = 10
                    return g >= limit ? 0.9L * limit : g;
                }};
    if (k == "SBP05" && !f.c2Variable)
        return {aboveHalf, [](long double qp, long double g, long double) {
                    return g >= 3 * qp - 1 ? 0.9L * (3 * qp - 1) : g;
                }};
    if (k == "SBP05")
        return {[s10](long double qp, long double) { return qp > s10 / 11; },
                [s10](long double qp, long double g, long double) {
                    const long double limit = qp * (12 - s10 / qp) / s10; // Qp (1 + n)/sqrt(r)
                    return g >= limit ? 0.9L * limit : g;
                }};
    if (k == "SBP08") return {aboveHalf, [](long double qp, long double, long double) { return 2 * qp - 1; }};
    // The Fliege lowpass notch passes DC at unity, K = (wp/wz)^2; the highpass notch
    // SHPN03 gives K = 2 wp^2/(wp^2 + wz^2); the twin T k = 2 - 1/(2 Qp) from Qp = 1 up,
    // below it k - 1 = 1/(2 Qp^2).
    if (k == "SLPN04") return {positive, [](long double, long double, long double r) { return 1 / (r * r); }};
    if (k == "SHPN03")
        return {positive, [](long double, long double, long double r) { return 2 / (1 + r * r); }};
    if (k == "SN01")
        return {positive, [](long double qp, long double, long double) {
                    return qp >= 1 ? 2 - 1 / (2 * qp) : 1 + 1 / (2 * qp * qp);
                }};
    return {positive, {}};
}

// wz/wp of the notch types (1 for the others, whose wz stays 0).
std::vector<long double> Ratios(int type) {
    if (type == stSLPN) return {1.05L, 3.0L, 10.0L};
    if (type == stSHPN) return {0.1L, 0.7L, 0.95L};
    return {1.0L};
}

bool HasCompensatedVariant(std::string_view key) {
    return FindTopology(key, true) != nullptr;
}

LoadedStageSetup TargetsOf(const CircuitForm& f, long double wp, long double qp, long double k,
                           long double ratio, bool compensated = false) {
    return {wp,         isFirstOrder(f.type) ? 0 : qp, k, isNotch(f.type) ? wp * ratio : 0, false, false,
            compensated};
}

// The record's realised parameters against the stage and its gain, and the numerator's
// shape (a notch: no transmission at wz).
void ExpectRealises(const TDesign& d, const RealisedStage<long double>& h, long double wp, long double qp,
                    long double wz) {
    const TStageCircuit& c = d.Circuits[1];
    const int type = d.Stages[1].StageType;
    const auto p = RealisedParameters(h, type);
    ASSERT_TRUE(p);
    EXPECT_TRUE(Close(p->wp, wp)) << p->wp;
    if (!isFirstOrder(type)) {
        EXPECT_TRUE(Close(p->qp, qp)) << p->qp;
    }
    EXPECT_TRUE(Close(std::fabs(p->gain), c.ActualGain, kTol, 1)) << p->gain;
    EXPECT_EQ(p->gain < 0, c.Inverting != 0);
    // The numerator coefficients each type's shape leaves out; a notch transmits nothing at wz.
    static const std::map<int, std::vector<std::size_t>> kAbsent = {
        {stFLP, {1}}, {stFHP, {0}}, {stSLP, {1, 2}}, {stSHP, {0, 1}}, {stSBP, {0, 2}}};
    if (const auto absent = kAbsent.find(type); absent != kAbsent.end()) {
        for (const std::size_t k : absent->second)
            EXPECT_EQ(h.num[k], 0) << "s^" << k;
    } else {
        EXPECT_TRUE(Close(p->wz, wz)) << p->wz;
        EXPECT_LT(std::abs(Evaluate(h, {0, wz})), 1e-7L * c.ActualGain);
    }
}

TEST(CircuitProperties, DesignRealisesTheTargetOrReportsNotRealisable) {
    const long double fps[] = {10, 31000 / (2 * kPiL), 31001 / (2 * kPiL), 4933, 1.0e6L};
    const long double qps[] = {0.3L, 0.5L, 0.5001L, 0.70710678118654752L, 1.3L, 5, 30};
    const long double gains[] = {0.05L, 0.5L, 1, 1.05L, 2, 10, 100};
    for (const CircuitForm& f : AllCircuitForms()) {
        const Expectation expected = Expected(f);
        const CircuitRoutines& routines = RoutinesOf(f.key);
        const CatalogueRow row = RowOf(*EntryByKey(f.key));
        for (const bool compensated : {false, true}) {
            if (compensated && !HasCompensatedVariant(f.key)) continue;
            int realised = 0;
            for (const long double fp : fps)
                for (const long double qp : qps)
                    for (const long double ratio : Ratios(f.type))
                        for (const long double k : gains) {
                            if (isFirstOrder(f.type) && qp != qps[0]) continue;
                            const long double wp = 2 * kPiL * fp;
                            auto d = LoadedStage(f, TargetsOf(f, wp, qp, k, ratio, compensated));
                            const TStageCircuit before = d->Circuits[1];
                            const bool ok = routines.design(*d, 1);
                            const TStageCircuit& c = d->Circuits[1];
                            SCOPED_TRACE(f.Label() + (compensated ? " compensated" : "") + " fp=" +
                                         std::to_string(double(fp)) + " Qp=" + std::to_string(double(qp)) +
                                         " wz/wp=" + std::to_string(double(ratio)) +
                                         " K=" + std::to_string(double(k)));
                            ASSERT_EQ(ok, expected.realisable(qp, k));
                            ASSERT_EQ(c.NotRealisable, ok ? 0 : 1);
                            if (!ok) {
                                // A failed design leaves every value as it was.
                                ExpectSameValues(c, before);
                                EXPECT_EQ(c.ActualGain, before.ActualGain);
                                EXPECT_EQ(c.ResistorCount, before.ResistorCount);
                                continue;
                            }
                            ++realised;
                            ASSERT_TRUE(ComponentsValid(c, c.ResistorCount, c.CapacitorCount));
                            for (int n = c.ResistorCount + 1; n <= kResistorSlots; ++n)
                                EXPECT_EQ(R(c, n), 0.0L) << "R" << n;
                            EXPECT_EQ(c.OpAmpCount, (compensated ? 1 : 0) + row.OpAmpCount);
                            if (expected.gain) {
                                EXPECT_TRUE(Close(c.ActualGain, expected.gain(qp, k, ratio), kTol, 1))
                                    << c.ActualGain;
                            } else if (!c.GainFixed) {
                                EXPECT_TRUE(Close(c.ActualGain, k)) << c.ActualGain;
                            }
                            if (!Close(c.ActualGain, k, 1e-11L)) {
                                EXPECT_TRUE(c.GainFixed);
                            }
                            ExpectRealises(*d, routines.realise(ValuesOf<long double>(c)), wp, qp,
                                           wp * ratio);
                            // The gain-pair scaling keeps the ratio, so it changes nothing realised.
                            if (c.GainPair) {
                                TStageCircuit scaled = c;
                                ScaleGainPair(scaled, row.ResistorCount);
                                EXPECT_LE(R(scaled, row.ResistorCount), 100000.0L);
                                TDesign t = *d;
                                t.Circuits[1] = scaled;
                                ExpectRealises(t, routines.realise(ValuesOf<long double>(scaled)), wp, qp,
                                               wp * ratio);
                            }
                        }
            EXPECT_GT(realised, 0) << f.Label();
        }
    }
}

// Designs that cannot be built say so and leave the record as it was: a gain the
// topology cannot give, a zero frequency or a Q that is not positive, a notch zero on the
// wrong side of its pole, a predistorted pole that passes the zero.
TEST(CircuitProperties, UnbuildableTargetsAreReportedWithoutValues) {
    struct Bad {
        std::string_view key;
        long double fp, qp, ratio, k;
        bool predistort = false;
    };
    std::vector<Bad> bad = {
        {"SLPN01", 1000, 2, 1.5, 0}, {"SHPN09", 1000, 2, 0.5, -1},  {"SLPN04", 1000, 2, 0.9, 1},
        {"SHPN03", 1000, 2, 1.1, 1}, {"SHPN01", 1000, 2, 1.2, 0.5}, {"SLPN04", 100000, 20, 1.001, 1, true},
    };
    for (const std::string_view key : {"FLP03", "FHP03", "FHP04", "SLP03", "SLP04", "SLP13"})
        for (const long double k : {0.0L, -1.0L})
            bad.push_back({key, 1000, 0.8L, 1, k});
    for (const CircuitForm& f : AllCircuitForms()) {
        if (isFirstOrder(f.type)) bad.push_back({f.key, 0, 0, 1, 2});
        if (f.type == stSLP)
            for (const long double qp : {0.0L, -1.0L})
                bad.push_back({f.key, 1000, qp, 1, 2});
    }
    for (const Bad& b : bad) {
        SCOPED_TRACE(std::string(b.key) + " fp=" + std::to_string(double(b.fp)) +
                     " Qp=" + std::to_string(double(b.qp)) + " K=" + std::to_string(double(b.k)));
        const long double wp = 2 * kPiL * b.fp;
        auto d = LoadedStage(b.key, {wp, b.qp, b.k, wp * b.ratio, false, false, false, b.predistort});
        const TStageCircuit before = d->Circuits[1];
        EXPECT_FALSE(RoutinesOf(b.key).design(*d, 1));
        EXPECT_EQ(d->Circuits[1].NotRealisable, 1);
        ExpectSameValues(d->Circuits[1], before);
    }
}

// With predistortion every component value comes from wp' = wp (1 + kw wp/wt) and Qp'; the
// zero stays where the topology sets it apart, while the notch circuits whose zero sits on
// their pole carry it to wp'. The balanced twin T would carry its notch along with wp', so
// it predistorts its pole Q only (wp' = wp).
TEST(CircuitProperties, PredistortedDesignsRealiseTheWorkingTargets) {
    int realised = 0;
    for (const CircuitForm& f : AllCircuitForms()) {
        if (isFirstOrder(f.type)) continue;
        for (const long double fp : {1000.0L, 20000.0L})
            for (const long double qp : {0.70710678118654752L, 3.0L, 20.0L})
                for (const long double k : {0.5L, 3.0L}) {
                    const long double wp = 2 * kPiL * fp, wt = 2 * kPiL * 5.0e6L;
                    LoadedStageSetup s = TargetsOf(f, wp, qp, k, Ratios(f.type).front());
                    s.predistort = true;
                    s.gbwHz = 5.0e6L;
                    auto d = LoadedStage(f, s);
                    if (!RoutinesOf(f.key).design(*d, 1)) continue;
                    ++realised;
                    SCOPED_TRACE(f.Label() + " fp=" + std::to_string(double(fp)) +
                                 " Qp=" + std::to_string(double(qp)));
                    const TStageCircuit& c = d->Circuits[1];
                    const bool twinT = f.key == "SN01";
                    EXPECT_TRUE(Close(c.WpPrime, twinT ? wp : wp * (1 + c.GbwFactorWp * wp / wt), 1e-11L));
                    EXPECT_TRUE(Close(c.QpPrime, qp * (1 + c.GbwFactorQp * wp / wt), 1e-11L));
                    if (!twinT) {
                        EXPECT_GT(std::fabs(c.WpPrime / wp - 1), 1e-6L);
                    }
                    const long double zero = f.key == "SN01" || f.key == "SN02" ? c.WpPrime : d->Stages[1].Wz;
                    const auto h = RoutinesOf(f.key).realise(ValuesOf<long double>(c));
                    // A predistorted notch stage reports the gain it has in operation (where
                    // the op amps move the poles back to wp), not its ideal gain constant.
                    TDesign ideal = *d;
                    if (isNotch(f.type))
                        ideal.Circuits[1].ActualGain = std::fabs(RealisedParameters(h, f.type)->gain);
                    ExpectRealises(ideal, h, c.WpPrime, c.QpPrime, zero);
                }
    }
    EXPECT_GT(realised, 200);
}

TEST(CircuitProperties, RealisedFunctionIsTheNodalAnalysisOfTheNetlist) {
    int compared = 0;
    for (const CircuitForm& f : AllCircuitForms())
        for (const bool compensated : {false, true}) {
            if (compensated && !HasCompensatedVariant(f.key)) continue;
            for (const long double fp : {300.0L, 60000.0L})
                for (const long double qp : {0.8L, 6.0L}) {
                    SCOPED_TRACE(f.Label() + (compensated ? " compensated" : ""));
                    const long double wp = 2 * kPiL * fp;
                    auto d = LoadedStage(f, TargetsOf(f, wp, qp, 1.5L, Ratios(f.type).front(), compensated));
                    const CircuitRoutines& r = RoutinesOf(f.key);
                    ASSERT_TRUE(r.design(*d, 1));
                    for (int set = 0; set < 4; ++set) {
                        const ComponentValues<long double> v =
                            Moved(ValuesOf<long double>(d->Circuits[1]), set);
                        const auto h = r.realise(v);
                        // A decade either side of the pole, on points that miss a designed notch.
                        for (int i = -4; i <= 4; ++i) {
                            const Complex s(0, wp * std::pow(10.0L, i / 4.0L + 0.0137L));
                            const auto nodal = NodalResponse(f.key, v, s, OpAmpModel::Ideal(), compensated);
                            ASSERT_TRUE(nodal);
                            // Both are exact rational functions of the same values; the
                            // tolerance covers the rounding of the nodal solve.
                            EXPECT_LE(std::abs(*nodal - Evaluate(h, s)),
                                      1e-9L *
                                          std::max<long double>(std::abs(*nodal), d->Circuits[1].ActualGain))
                                << "set " << set << " w/wp " << double(s.imag() / wp);
                            ++compared;
                        }
                    }
                }
        }
    EXPECT_GT(compared, 2000);
}

// x dP/dx / P by central differences of the realised parameters. h = 1e-6: the
// truncation (~h^2) and rounding (~1e-19/h) errors stay below 1e-9 of the figures.
std::array<long double, 4> CentralDifferences(const CircuitRoutines& r, const ComponentValues<long double>& v,
                                              int type, int slot) {
    const long double h = 1e-6L;
    const auto params = [&](long double factor) {
        ComponentValues<long double> x = v;
        (slot <= kResistorSlots ? x.R[slot] : x.C[slot - kResistorSlots]) *= factor;
        const auto p = RealisedParameters(r.realise(x), type);
        return std::array<long double, 4>{p->wp, p->qp, p->gain, p->wz};
    };
    const auto up = params(1 + h), down = params(1 - h), mid = params(1);
    std::array<long double, 4> s{};
    for (std::size_t q = 0; q < 4; ++q)
        s[q] = mid[q] == 0 ? 0 : (up[q] - down[q]) / (2 * h * mid[q]);
    return s;
}

// The calculation stores the sensitivities before it marks standard values, so they are
// taken again for the values as they are.
void ExpectStoredSensitivitiesAreTheDifferences(TDesign d, const std::string& label) {
    UpdateSensitivities(d, 1);
    const TStageCircuit& c = d.Circuits[1];
    const CircuitRoutines& r = *FindCircuit(EntryByNumber(c.CircuitNumber)->key);
    const ComponentValues<long double> v = StageComponentValues(c);
    for (int slot = 1; slot <= kComponentSlots; ++slot) {
        const bool used = slot <= kResistorSlots
                              ? slot <= c.ResistorCount && v.R[slot] > 0
                              : slot - kResistorSlots <= c.CapacitorCount && v.C[slot - kResistorSlots] > 0;
        const TComponentItem& item = c.Components[slot];
        const long double stored[] = {item.SensWp, item.SensQp, item.SensGain, item.SensWz};
        const auto fd =
            used ? CentralDifferences(r, v, d.Stages[1].StageType, slot) : std::array<long double, 4>{};
        for (std::size_t q = 0; q < 4; ++q)
            EXPECT_NEAR(double(stored[q]), double(fd[q]), 1e-7 * (1 + std::fabs(double(fd[q]))))
                << label << " slot " << slot << " parameter " << q;
    }
}

// Through the whole component calculation (row, design, gain-pair scaling, sensitivities,
// the 1.0002 mark on values that happen to be standard), for every circuit over audio to
// 50 kHz, the compensated variants and the twin T off its balance (a third-order function).
// The mark moves the realised stage off its target by at most 2e-4 times the summed
// resistor sensitivities.
TEST(CircuitProperties, StoredSensitivitiesAreCentralDifferencesOfTheRealisedParameters) {
    int stages = 0;
    ForEachCalculatedStage([&](TDesign& d, const std::string& label) {
        ++stages;
        ExpectStoredSensitivitiesAreTheDifferences(d, label);
        const TStageCircuit& c = d.Circuits[1];
        const TStageCoeffs& s = d.Stages[1];
        long double bound = 0;
        for (int n = 1; n <= c.ResistorCount; ++n)
            bound += std::fabs(c.Components[n].SensWp) + std::fabs(c.Components[n].SensQp) +
                     std::fabs(c.Components[n].SensGain) + std::fabs(c.Components[n].SensWz);
        bound = 2e-4L * bound + kTol;
        const auto p = RealisedParameters(
            RoutinesOf(EntryByNumber(c.CircuitNumber)->key).realise(StageComponentValues(c)), s.StageType);
        ASSERT_TRUE(p) << label;
        EXPECT_LE(std::fabs(p->wp / (isFirstOrder(s.StageType) ? s.Sigma : s.Wp) - 1), bound) << label;
        if (!isFirstOrder(s.StageType)) {
            EXPECT_LE(std::fabs(p->qp / s.Qp - 1), bound) << label;
        }
        if (isNotch(s.StageType)) {
            EXPECT_LE(std::fabs(p->wz / s.Wz - 1), bound) << label;
        }
    });
    EXPECT_GT(stages, 300);
    for (const CatalogueEntry& e : CatalogueEntries()) {
        if (isFirstOrder(e.type) || !ActiveCompensationOffered(e.key)) continue;
        TDesign d = CalculatedStage(e.key, kTwoPi * 3300.0L, 1.3L, 2.0L,
                                    kTwoPi * 3300.0L * (e.type == stSHPN ? 0.75L : 1.33L));
        d.Circuits[1].CompensationInUse = 1;
        ASSERT_TRUE(LoadAndCalculate(d, 1)) << e.key;
        ExpectStoredSensitivitiesAreTheDifferences(d, std::string(e.key) + " compensated");
    }
    TDesign d = CalculatedStage("SN01", kTwoPi * 3300.0L, 1.3L, 1.0L, kTwoPi * 3300.0L);
    R(d.Circuits[1], 1) = R(d.Circuits[1], 1) * 1.01L;
    ASSERT_NE(RoutinesOf("SN01").realise(StageComponentValues(d.Circuits[1])).den[3], 0.0L);
    ExpectStoredSensitivitiesAreTheDifferences(d, "SN01 off balance");
}

// An op amp of unity-gain frequency wt moves the pole to wp (1 - kw wp/wt) and the Q to
// Qp (1 - kq wp/wt) to first order. At wt = 1e5 wp max(1, |kw|, |kq|) the nodal analysis
// measures kw and kq with an error of order k^2 wp/wt. The compensated variants offered
// cancel the first-order term; those of SLP04 and SBP05 double it, which is why they are
// not offered. Predistortion with these coefficients then cancels the first-order shift (the
// twin T predistorts its Q only, its notch being tied to its pole).
TEST(CircuitProperties, GbwCoefficientsAreThePoleShiftOfSinglePoleOpAmps) {
    for (const CircuitForm& f : AllCircuitForms()) {
        if (!HasCompensatedVariant(f.key)) {
            EXPECT_FALSE(ActiveCompensationOffered(f.key)) << f.key;
        }
        if (isFirstOrder(f.type)) continue;
        for (const bool compensated : {false, true}) {
            if (compensated && !HasCompensatedVariant(f.key)) continue;
            for (const long double qp : {0.8L, 3.0L, 12.0L})
                for (const long double k : {0.7L, 2.0L}) {
                    const long double wp = 2 * kPiL * 1000;
                    auto d = LoadedStage(f, TargetsOf(f, wp, qp, k, Ratios(f.type).front(), compensated));
                    if (!RoutinesOf(f.key).design(*d, 1)) continue;
                    const TStageCircuit& c = d->Circuits[1];
                    const long double kw = c.GbwFactorWp, kq = c.GbwFactorQp;
                    const long double wt = 1e5L * wp * std::max({1.0L, std::fabs(kw), std::fabs(kq)});
                    const auto pole = PoleNear(f.key, ValuesOf<long double>(c), PoleOf(wp, qp),
                                               OpAmpModel::SinglePole(wt / (2 * kPiL)), compensated);
                    ASSERT_TRUE(pole) << f.Label();
                    const long double wReal = std::abs(*pole), qReal = wReal / (-2 * pole->real());
                    // Offered for active compensation exactly where the variant cancels the shift.
                    const long double factor = !compensated ? 1 : ActiveCompensationOffered(f.key) ? 0 : 2;
                    const long double tol = 2e-3L * (1 + std::fabs(kw) + std::fabs(kq));
                    SCOPED_TRACE(f.Label() + (compensated ? " compensated" : "") +
                                 " Qp=" + std::to_string(double(qp)) + " K=" + std::to_string(double(k)));
                    EXPECT_NEAR(double((1 - wReal / wp) * wt / wp), double(factor * kw), double(tol));
                    EXPECT_NEAR(double((1 - qReal / qp) * wt / wp), double(factor * kq), double(tol));
                    if (compensated) continue;
                    // Designed for wp', Qp' the circuit's poles land on the target: what is left
                    // of the shift is of second order in wp/wt.
                    LoadedStageSetup s = TargetsOf(f, wp, qp, k, Ratios(f.type).front());
                    s.predistort = true;
                    s.gbwHz = wt / (2 * kPiL);
                    auto p = LoadedStage(f, s);
                    ASSERT_TRUE(RoutinesOf(f.key).design(*p, 1));
                    const auto moved = PoleNear(f.key, ValuesOf<long double>(p->Circuits[1]), PoleOf(wp, qp),
                                                OpAmpModel::SinglePole(wt / (2 * kPiL)));
                    ASSERT_TRUE(moved);
                    const long double wMoved = std::abs(*moved), qMoved = wMoved / (-2 * moved->real());
                    if (f.key != "SN01") {
                        EXPECT_LE(std::fabs(wMoved / wp - 1), 0.1L * std::fabs(wReal / wp - 1) + 1e-9L);
                    }
                    EXPECT_LE(std::fabs(qMoved / qp - 1), 0.1L * std::fabs(qReal / qp - 1) + 1e-8L);
                }
        }
    }
}

// "NN,AA,BB,...": the count, then the resistors; a resistor is listed for a denominator
// coefficient of a first-order or lowpass circuit exactly when that coefficient of the
// realised function depends on it.
TEST(CircuitProperties, AdjustListsNameTheResistorsEachCoefficientDependsOn) {
    for (const CircuitForm& f : AllCircuitForms()) {
        if (f.c2Variable || f.c1EqC2 || f.type > stSLP) continue;
        auto d = LoadedStage(f, TargetsOf(f, 2 * kPiL * 2000, 1.7L, 3.0L, Ratios(f.type).front()));
        const CircuitRoutines& r = RoutinesOf(f.key);
        ASSERT_TRUE(r.design(*d, 1)) << f.key;
        const TStageCircuit& c = d->Circuits[1];
        for (int power = 0; power <= 2; ++power) {
            SCOPED_TRACE(std::string(f.key) + " s^" + std::to_string(power));
            const std::string list(r.lists.den[power]);
            std::vector<int> listed;
            for (std::size_t i = 0; i < list.size(); i += 3)
                listed.push_back(std::stoi(list.substr(i, 2)));
            if (!listed.empty()) {
                EXPECT_EQ(listed[0], static_cast<int>(listed.size()) - 1);
                listed.erase(listed.begin());
            }
            for (int n = 1; n <= c.ResistorCount; ++n) {
                ComponentValues<Dual> x = ValuesOf<Dual>(c);
                x.R[n] = Dual(x.R[n].v, x.R[n].v);
                const bool depends = r.realiseDual(x).den[power].d != 0;
                EXPECT_EQ(depends, std::find(listed.begin(), listed.end(), n) != listed.end()) << "R" << n;
            }
        }
    }
}

} // namespace
} // namespace velmora
