// Tolerance and temperature analysis: the magnitude sensitivities against numerical
// derivatives of the stage magnitudes, the spread and change rules, and the first-order
// spread against Monte Carlo runs of the built circuits for every catalogue circuit.
#include <cmath>
#include <complex>
#include <limits>
#include <set>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "analysis/ideal_responses.h"
#include "analysis/monte_carlo.h"
#include "analysis/tolerance.h"
#include "app/messages.h"
#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "circuits/gain_spread.h"
#include "circuits/selection.h"
#include "stages/stage_test_support.h"
#include "stages/stage_types.h"
#include "stages/synthesis.h"
#include "support/designs.h"

namespace velmora {
namespace {

using stagetest::kTwoPi;
using Cx = std::complex<long double>;

// |H(jw)| of a stage in its normalised form with the gain constant at DC (the notch
// types too), the bandpass gain at wp and the highpass gains at infinity.
long double StageMagnitude(int type, long double wp, long double qp, long double wz, long double w) {
    const Cx s(0.0L, w), den = s * s + wp / qp * s + wp * wp;
    if (type == stFLP) return std::abs(wp / (s + wp));
    if (type == stFHP) return std::abs(s / (s + wp));
    if (type == stSLP) return std::abs(wp * wp / den);
    if (type == stSHP) return std::abs(s * s / den);
    if (type == stSBP) return std::abs(wp / qp * s / den);
    return std::abs(wp * wp * (s * s + wz * wz) / (wz * wz * den)); // notch types
}

// The dB change per unit relative change of each parameter, by central differences of
// the closed-form magnitude.
TEST(MagnitudeSensitivities, MatchNumericalDerivativesOfEveryStageType) {
    constexpr long double h = 1.0e-6L;
    const auto db = [](long double x) { return 20.0L * std::log10(x); };
    for (int type = stFLP; type <= stSN; ++type) {
        for (const long double qp : {0.6L, 0.7071L, 3.0L}) {
            for (const long double ratio : {0.3L, 0.9L, 1.0L, 1.2L, 4.0L}) {
                const long double wp = 1000.0L;
                const long double wz = type == stSLPN ? 2.0L * wp : type == stSHPN ? 0.5L * wp : wp;
                const long double sq = isFirstOrder(type) ? 0.0L : qp, sz = isNotch(type) ? wz : 0.0L;
                const TStageCoeffs s = {static_cast<uint8_t>(type), "", 0, 0, 0, 0, wp, sq, sz, wp, 0, 0, 0};
                const long double w = ratio * wp * 1.01L; // never exactly on a notch
                SCOPED_TRACE(testing::Message()
                             << "type " << type << " Q " << (double)qp << " w/wp " << (double)ratio);
                const MagnitudeSensitivities m = StageMagnitudeSensitivities(s, w);
                const long double q = isFirstOrder(type) ? 1.0L : qp;
                const auto deriv = [&](long double dwp, long double dq, long double dwz) {
                    const long double up =
                        db(StageMagnitude(type, wp * (1 + dwp * h), q * (1 + dq * h), wz * (1 + dwz * h), w));
                    const long double dn =
                        db(StageMagnitude(type, wp * (1 - dwp * h), q * (1 - dq * h), wz * (1 - dwz * h), w));
                    return (up - dn) / (2.0L * h);
                };
                // 8.68 stands for 20 / ln 10 = 8.6859: the formulas are 0.07 % low.
                const auto near = [](long double got, long double want) {
                    EXPECT_NEAR((double)got, (double)want, 1.5e-3 * std::fabs((double)want) + 1e-6);
                };
                near(m.Dwp, deriv(1, 0, 0));
                if (!isFirstOrder(type)) near(m.Dqp, deriv(0, 1, 0));
                if (isNotch(type))
                    near(m.Dwz, deriv(0, 0, 1));
                else
                    EXPECT_EQ(m.Dwz, 0.0L);
            }
        }
    }
}

TEST(MagnitudeSensitivities, ExactlyAtTheNotchFlagsTheUnboundedTerm) {
    const TStageCoeffs s = {stSLPN, "", 0, 0, 0, 0, 1000.0L, 2.0L, 3000.0L, 0, 0, 0, 0};
    const MagnitudeSensitivities m = StageMagnitudeSensitivities(s, 3000.0L);
    EXPECT_TRUE(m.AtNotch);
    EXPECT_EQ(m.Dwz, 0.0L);
    EXPECT_FALSE(StageMagnitudeSensitivities(s, 3001.0L).AtNotch);
}

// ---- Designed filters ----------------------------------------------------------------------

// Between them these cover every stage type: FLP, SLP; FHP, SHP; SBP; FLP, SLPN;
// FHP, SHPN; SN.
const struct DesignCase {
    const char* name;
    stagetest::Spec spec;
    int approx;
} kDesigns[] = {
    {"lowpass Butterworth 3", {Lowpass, 0.5L, 30.0L, 1000.0L, 3000.0L, 0.0L, 3, 1.0L}, Butterworth},
    {"highpass Butterworth 3", {Highpass, 0.5L, 30.0L, 2000.0L, 700.0L, 0.0L, 3, 1.0L}, Butterworth},
    {"bandpass Butterworth 4", {Bandpass, 0.5L, 30.0L, 1000.0L, 3000.0L, 3000.0L, 2, 1.0L}, Butterworth},
    {"lowpass elliptic 3", {Lowpass, 0.5L, 30.0L, 1000.0L, 2000.0L, 0.0L, 3, 1.0L}, Elliptic},
    {"highpass elliptic 3", {Highpass, 0.5L, 30.0L, 2000.0L, 1000.0L, 0.0L, 3, 1.0L}, Elliptic},
    {"bandstop Butterworth 2", {Bandstop, 0.5L, 30.0L, 2000.0L, 500.0L, 2000.0L, 1, 1.0L}, Butterworth},
};

// Puts the offered circuit `choice` into the stage and calculates it.
bool UseCircuit(TDesign& d, int stage, int choice) {
    const CatalogueEntry* e = EntryByChoice(d.Stages[stage].StageType, choice);
    if (!e) return false;
    TStageCircuit& c = d.Circuits[stage];
    c.CircuitChoice = static_cast<int16_t>(choice);
    c.CircuitNumber = static_cast<int16_t>(e->number);
    c.Initialise = 1;
    c.CompensationInUse = 0;
    c.Predistort = 0;
    return LoadAndCalculate(d, stage);
}

void SetTolerances(TDesign& d, long double r, long double c, long double a) {
    d.Components.ResistorTolerance = r;
    d.Components.CapacitorTolerance = c;
    for (int i = 1; i <= d.StageCount; ++i)
        d.Circuits[i].GbwTolerance = a;
}

// The first-order spread is what Monte Carlo runs of the circuits' own transfer functions
// show for small tolerances (0.1 %, where second-order effects are a thousandth of the
// first-order ones): within 10 % at the passband edge for every catalogue circuit.
// 2000 Gaussian runs estimate a standard deviation to about 1.6 % (1 / sqrt(2N)).
TEST(ToleranceAnalysis, FirstOrderSpreadAgreesWithMonteCarloForEveryCircuit) {
    std::set<std::string> tested;
    std::set<int> types;
    for (const DesignCase& k : kDesigns) {
        SCOPED_TRACE(k.name);
        TDesign base;
        ASSERT_TRUE(test::DesignFilter(base, k.spec, k.approx).ok);
        const long double edge = PassbandEdge(base.Spec);
        for (int stage = 1; stage <= base.StageCount; ++stage) {
            const int type = base.Stages[stage].StageType;
            types.insert(type);
            const StageTypeEntry* info = StageTypeInfo(type);
            ASSERT_NE(info, nullptr);
            for (int choice = 1; choice <= info->offered; ++choice) {
                TDesign d = base;
                if (!UseCircuit(d, stage, choice)) continue;
                const std::string key(EntryByChoice(type, choice)->key);
                SCOPED_TRACE(key + " in stage " + std::to_string(stage));
                SetTolerances(d, 0.1L, 0.1L, 0.0L);
                const auto est = AnalyseStage(d, stage, edge);
                ASSERT_TRUE(est.has_value());
                MonteCarloOptions o;
                o.Runs = 2000;
                o.W = {edge};
                o.First = o.Last = stage;
                const auto mc = RunMonteCarlo(d, o);
                ASSERT_TRUE(mc.has_value());
                const long double mcSpread = 3.0L * mc->Band[0].Sigma;
                EXPECT_NEAR((double)est->Spread, (double)mcSpread, 0.10 * (double)mcSpread);
                EXPECT_EQ(est->ActiveSpread, 0.0L);
                tested.insert(key);
            }
        }
    }
    EXPECT_EQ(types.size(), 8u) << "every stage type";
    std::string missing;
    for (const CatalogueEntry& e : CatalogueEntries())
        if (!tested.count(std::string(e.key))) missing += std::string(e.key) + " ";
    EXPECT_TRUE(missing.empty()) << "circuits not realisable in these designs: " << missing;
}

// The op amps' share: a GBW tolerance alone, against runs of the stage's node equations
// with single-pole op amps. A GBW far above the stage (the first-order GBW model's own
// error is of the order wp / wt) and 1 % keep the comparison first order.
TEST(ToleranceAnalysis, ActiveSpreadAgreesWithMonteCarloOfTheNodeEquations) {
    TDesign d;
    ASSERT_TRUE(test::DesignFilter(d, kDesigns[0].spec, kDesigns[0].approx).ok); // FLP, SLP
    int slp = 0;
    for (int i = 1; i <= d.StageCount; ++i)
        if (d.Stages[i].StageType == stSLP) slp = i;
    ASSERT_GT(slp, 0);
    for (int choice : {1, 2, 3}) { // SLP01, SLP02, SLP03: one op amp each
        TDesign e = d;
        ASSERT_TRUE(UseCircuit(e, slp, choice));
        SetTolerances(e, 0.0L, 0.0L, 1.0L);
        e.Circuits[slp].OpAmpGBW = 200.0L * e.Stages[slp].Wp / kTwoPi;
        ASSERT_TRUE(CalculateComponents(e, slp));
        // At the passband edge and at the pole. One op amp moves wp and Qp together, so
        // their shares add before they are squared: at the pole of the unity-gain
        // Sallen-Key (kq = -kw) they cancel, and what the runs show there is of second
        // order (below 1e-4 dB).
        const std::vector<long double> ws = {PassbandEdge(e.Spec),
                                             static_cast<long double>(e.Stages[slp].Wp)};
        MonteCarloOptions o;
        o.Runs = 2000;
        o.W = ws;
        o.First = o.Last = slp;
        o.ModelOpAmps = true;
        const auto mc = RunMonteCarlo(e, o);
        ASSERT_TRUE(mc.has_value());
        for (std::size_t k = 0; k < ws.size(); ++k) {
            const auto est = AnalyseStage(e, slp, ws[k]);
            ASSERT_TRUE(est.has_value());
            EXPECT_EQ(est->PassiveSpread, 0.0L);
            const long double mcSpread = 3.0L * mc->Band[k].Sigma;
            EXPECT_NEAR((double)est->ActiveSpread, (double)mcSpread, 0.10 * (double)mcSpread + 1e-4)
                << "choice " << choice << " w " << double(ws[k]);
        }
    }
}

// Temperature coefficients of the resistors and capacitors, the temperature rise and
// the op amps' GBW coefficient in every stage.
void SetDrift(TDesign& d, long double resistorTc, long double capacitorTc, long double rise,
              long double gbwTc) {
    d.Components.ResistorTempCo = resistorTc;
    d.Components.CapacitorTempCo = capacitorTc;
    d.Components.TempRise = rise;
    for (int i = 1; i <= d.StageCount; ++i)
        d.Circuits[i].GbwTempCo = gbwTc;
}

// The rules of the estimate that catch wrong bookkeeping: zero tolerances, scaling,
// exact capacitors, first-order stages, the temperature rise. Then the temperature change
// against the built filter moved by the drift: every resistor scaled by 1 + TC_R dT and
// every capacitor by 1 + TC_C dT, then evaluated.
TEST(ToleranceAnalysis, SpreadAndChangeRulesAndTheDriftedCircuits) {
    for (const DesignCase& k : kDesigns) {
        SCOPED_TRACE(k.name);
        TDesign base;
        ASSERT_TRUE(test::DesignFilter(base, k.spec, k.approx).ok);
        const long double w = PassbandEdge(base.Spec);
        TDesign d = base;
        SetDrift(d, 100e-6L, -50e-6L, 20.0L, 2000e-6L);
        const auto at = [&](const TDesign& x, bool exact = false) {
            ExactCapacitors e{};
            for (int i = 1; i <= x.StageCount; ++i)
                e[static_cast<std::size_t>(i)] = exact;
            const auto f = AnalyseFilter(x, w, e);
            EXPECT_TRUE(f.has_value());
            return *f;
        };
        SetTolerances(d, 1.0L, 2.0L, 30.0L);
        TDesign twice = d;
        SetTolerances(twice, 2.0L, 4.0L, 60.0L);
        twice.Components.TempRise = 40.0L;
        TDesign noCaps = d;
        SetTolerances(noCaps, 1.0L, 0.0L, 30.0L);
        TDesign onlyCaps = d;
        SetTolerances(onlyCaps, 0.0L, 2.0L, 0.0L);
        const FilterTolerance f = at(d), f2 = at(twice), fx = at(d, true), fr = at(noCaps), fc = at(onlyCaps);
        TDesign entered = d; // capacitors the person entered count as exact too
        for (int i = 1; i <= entered.StageCount; ++i)
            entered.Circuits[i].CapsExact = 1;
        EXPECT_EQ(at(entered).Spread, fx.Spread);
        EXPECT_NEAR((double)f2.Spread, 2.0 * (double)f.Spread, 1e-12 + 1e-12 * (double)f.Spread);
        EXPECT_NEAR((double)f2.TempChange, 2.0 * (double)f.TempChange,
                    1e-12 + 1e-12 * std::fabs((double)f.TempChange));
        for (std::size_t i = 0; i < f.Stages.size(); ++i) {
            const StageTolerance &s = f.Stages[i], &x = fx.Stages[i], &r = fr.Stages[i], &c = fc.Stages[i];
            SCOPED_TRACE("stage " + std::to_string(i + 1));
            EXPECT_GT(s.PassiveSpread, 0.0L);
            // Exact capacitors: the resistor share stays, the capacitor share goes.
            EXPECT_NEAR((double)x.PassiveVariance, (double)r.PassiveVariance, 1e-15);
            EXPECT_NEAR((double)(s.PassiveVariance - x.PassiveVariance), (double)c.PassiveVariance,
                        1e-12 * (double)s.PassiveVariance + 1e-18);
            EXPECT_EQ(x.TotalChange, s.TotalChange); // the temperature drift is not a tolerance
            if (isFirstOrder(d.Stages[static_cast<int>(i) + 1].StageType)) {
                EXPECT_EQ(std::tuple(s.ActiveSpread, s.ActiveChange, s.PassiveTerms[TermQp],
                                     s.PassiveTerms[TermWz]),
                          std::tuple(0.0L, 0.0L, 0.0L, 0.0L));
            } else {
                EXPECT_GT(s.ActiveSpread, 0.0L);
            }
        }

        // The drift alone (no GBW coefficient): analysed, and applied to every component.
        TDesign cool = base;
        SetDrift(cool, 100e-6L, -30e-6L, 10.0L, 0.0L);
        TDesign hot = cool;
        const auto drift = AnalyseFilter(cool, w);
        ASSERT_TRUE(drift.has_value());
        for (int i = 1; i <= hot.StageCount; ++i) {
            TStageCircuit& c = hot.Circuits[i];
            for (int n = 1; n <= c.ResistorCount; ++n)
                c.Components[n].Value = c.Components[n].Value * (1.0L + 100e-6L * 10.0L);
            for (int n = 1; n <= c.CapacitorCount; ++n)
                c.Components[kResistorSlots + n].Value =
                    c.Components[kResistorSlots + n].Value * (1.0L - 30e-6L * 10.0L);
        }
        const auto a0 = DesignAttenuation(cool, w), a1 = DesignAttenuation(hot, w);
        ASSERT_TRUE(a0 && a1);
        const long double actual = *a0 - *a1; // gain change
        // First order in a drift of 1e-3: agreement to a few percent of the change.
        EXPECT_NEAR((double)drift->TempChange, (double)actual, 0.03 * std::fabs((double)actual) + 1e-6);
        // The temperature-effect curve: the same drift over the frequency column.
        const auto curve = TemperatureEffectCurve(cool);
        ASSERT_EQ(curve.size(), static_cast<std::size_t>(kResponsePoints));
        for (std::size_t i = 1; i < curve.size(); i += 50) {
            const auto c0 = DesignAttenuation(cool, curve[i].W), c1 = DesignAttenuation(hot, curve[i].W);
            ASSERT_TRUE(c0 && c1);
            EXPECT_NEAR((double)curve[i].Design, (double)*c0, 1e-9);
            EXPECT_NEAR((double)(curve[i].Design - curve[i].TempEffect), (double)(*c0 - *c1),
                        0.03 * std::fabs((double)(*c0 - *c1)) + 1e-5)
                << "point " << i;
        }
    }
}

TEST(MonteCarlo, SeedsProgressToleranceDrawsAndTheSampleDeviation) {
    TDesign d;
    ASSERT_TRUE(test::DesignFilter(d, kDesigns[3].spec, kDesigns[3].approx).ok);
    MonteCarloOptions o;
    o.Runs = 200;
    const auto a = RunMonteCarlo(d, o), b = RunMonteCarlo(d, o);
    o.Seed = 7;
    const auto c = RunMonteCarlo(d, o);
    ASSERT_TRUE(a && b && c);
    ASSERT_EQ(a->Band.size(), b->Band.size());
    bool differs = false;
    for (std::size_t k = 0; k < a->Band.size(); ++k) {
        EXPECT_EQ(std::tuple(a->Band[k].Mean, a->Band[k].Sigma, a->Band[k].Min),
                  std::tuple(b->Band[k].Mean, b->Band[k].Sigma, b->Band[k].Min));
        EXPECT_LE(a->Band[k].Min, a->Band[k].Max);
        differs = differs || a->Band[k].Mean != c->Band[k].Mean;
    }
    EXPECT_TRUE(differs);
    EXPECT_EQ(a->Yield, b->Yield);

    // The progress hook sees every run before it starts and can end the analysis: one
    // that stops after 37 runs gives no result and is not asked again.
    o.Seed = 5489;
    int calls = 0;
    o.Continue = [&](int done, int) {
        ++calls;
        return done < 37;
    };
    EXPECT_FALSE(RunMonteCarlo(d, o));
    EXPECT_EQ(calls, 38);

    // Each tolerance draws its own components: capacitors alone at 5 % spread the gain, and
    // nothing spreads it when every tolerance is 0. The spread is the sample deviation (n - 1):
    // of two runs it is their difference over sqrt(2).
    o = MonteCarloOptions{};
    o.Runs = 50;
    d.Components.ResistorTolerance = 0.0L;
    d.Components.CapacitorTolerance = 5.0L;
    const auto caps = RunMonteCarlo(d, o);
    d.Components.CapacitorTolerance = 0.0L;
    const auto none = RunMonteCarlo(d, o);
    ASSERT_TRUE(caps && none);
    long double capsSpread = 0;
    for (std::size_t k = 0; k < caps->Band.size(); ++k) {
        capsSpread = std::max(capsSpread, caps->Band[k].Sigma);
        EXPECT_EQ(none->Band[k].Sigma, 0.0L);
    }
    EXPECT_GT(capsSpread, 0.01L);
    d.Components.ResistorTolerance = 1.0L;
    o.Runs = 2;
    const auto two = RunMonteCarlo(d, o);
    ASSERT_TRUE(two);
    for (const MonteCarloPoint& p : two->Band)
        EXPECT_NEAR((double)p.Sigma, (double)((p.Max - p.Min) / std::sqrt(2.0L)),
                    1e-9 * (double)(p.Max - p.Min) + 1e-15);
}

// A run meets the mask at a frequency when its attenuation keeps the band's limit; the
// band edges belong to their bands and the transition band has no limit.
TEST(MonteCarlo, MaskBandsIncludeTheirEdges) {
    const std::tuple<uint8_t, long double, long double, bool> cases[] = {
        {Lowpass, 1000, 0.4L, true},   {Lowpass, 1000, 0.6L, false}, {Lowpass, 2000, 39, false},
        {Lowpass, 2000, 41, true},     {Lowpass, 1500, 20, true},    {Highpass, 2000, 0.6L, false},
        {Highpass, 1000, 39, false},   {Highpass, 1000, 41, true},   {Highpass, 1500, 20, true},
        {Bandpass, 1500, 0.6L, false}, {Bandpass, 10, 39, false},    {Bandstop, 1500, 39, false},
        {Bandstop, 10, 0.6L, false},   {Bandstop, 10, 0.4L, true},
    };
    for (const auto& [type, w, a, meets] : cases) {
        Specification s;
        s.FilterType = type;
        s.Apb = 0.5L;
        s.Asb = 40;
        s.wpb = type == Lowpass ? 1000 : 2000;
        s.wsb = type == Lowpass ? 2000 : 1000;
        s.w0 = 1500;
        s.Bpb = type == Bandpass ? 500 : 2000;
        s.Bsb = type == Bandpass ? 2000 : 500;
        EXPECT_EQ(MeetsMask(s, w, a), meets) << int(type) << " w=" << double(w) << " A=" << double(a);
    }
}

// Yield: a filter designed with margin passes every run at tight tolerances, and
// fails some when its tolerances swamp the margin; uniform draws never leave the band
// that the tolerance allows.
TEST(MonteCarlo, YieldFollowsTheMaskMargin) {
    TDesign d;
    // The estimated order (3) gives 19.5 dB at the stopband edge against the 15 dB
    // asked; the passband edge sits exactly at Apb, so wide tolerances push some runs off it.
    ASSERT_TRUE(
        test::DesignFilter(d, {Lowpass, 0.5L, 15.0L, 1000.0L, 3000.0L, 0.0L, 0, 1.0L}, Butterworth).ok);
    SetTolerances(d, 0.0L, 0.0L, 0.0L);
    MonteCarloOptions o;
    o.Runs = 50;
    const auto none = RunMonteCarlo(d, o);

    ASSERT_TRUE(none && none->Yield);
    EXPECT_EQ(*none->Yield, 1.0L) << "no tolerance: the design itself meets its mask";
    SetTolerances(d, 5.0L, 5.0L, 0.0L);
    o.Runs = 400;
    const auto wide = RunMonteCarlo(d, o);
    ASSERT_TRUE(wide && wide->Yield);
    EXPECT_GT(*wide->Yield, 0.0L);
    EXPECT_LT(*wide->Yield, 1.0L);
    // The same runs judged at the mask's frequencies alone give the same yield: a run
    // leaves the mask first at an edge, a ripple trough or a stopband lobe.
    o.W = MaskFrequencies(d);
    EXPECT_FALSE(o.W.empty());
    EXPECT_LT(o.W.size(), 40u);
    const auto atMask = RunMonteCarlo(d, o);
    ASSERT_TRUE(atMask && atMask->Yield);
    EXPECT_EQ(*atMask->Yield, *wide->Yield);
}

TEST(ToleranceRequest, CommandLineValuesAsTheFormStoresThem) {
    // The resistor tolerance and whether it keeps the resistor inventory.
    for (const auto& [pct, inventoryKept] :
         {std::pair{0.5L, false}, {1.0L, true}, {2.0L, false}, {5.0L, true}, {10.0L, true}}) {
        TDesign d;
        ASSERT_TRUE(test::DesignFilter(d, kDesigns[0].spec, kDesigns[0].approx).ok);
        d.Components.UseResInventory = 1;
        ToleranceRequest r{pct, 2.0L, 10.0L, 50.0L, -120.0L, 40.0L};
        ASSERT_TRUE(ApplyToleranceRequest(d, r));
        EXPECT_EQ(d.Components.UseResInventory != 0, inventoryKept) << (double)pct;
        EXPECT_NEAR((double)d.Components.CapacitorTempCo, -120e-6, 1e-15); // ppm, stored per kelvin
        for (int i = 1; i <= d.StageCount; ++i)
            EXPECT_EQ((long double)d.Circuits[i].GbwTolerance, 10.0L);
    }
    // Each range's edges are taken, a step beyond them (or a NaN) is refused and leaves
    // the design as it was.
    using Field = std::optional<long double> ToleranceRequest::*;
    const std::tuple<Field, long double, long double> ranges[] = {
        {&ToleranceRequest::ResistorPct, 0.0L, 50.0L},
        {&ToleranceRequest::CapacitorPct, 0.0L, 50.0L},
        {&ToleranceRequest::OpAmpPct, 0.0L, 50.0L},
        {&ToleranceRequest::TempRise, 0.0L, 200.0L},
        {&ToleranceRequest::ResistorPpm, -10000.0L, 10000.0L},
        {&ToleranceRequest::CapacitorPpm, -10000.0L, 10000.0L},
    };
    for (const auto& [field, lo, hi] : ranges) {
        const long double nan = std::numeric_limits<long double>::quiet_NaN();
        for (long double v : {lo, hi, lo - 1e-3L, hi + 1e-3L, nan}) {
            const bool inside = v == lo || v == hi;
            TDesign d;
            ToleranceRequest r;
            r.*field = v;
            EXPECT_EQ(ApplyToleranceRequest(d, r), inside) << (double)v;
            if (inside) continue;
            EXPECT_EQ((long double)d.Components.TempRise, 0.0L);
            EXPECT_EQ((long double)d.Components.ResistorTolerance,
                      (long double)TDesign{}.Components.ResistorTolerance);
        }
    }
}

TEST(ToleranceReport, TextCarriesTheTablesAndBounds) {
    TDesign d;
    ASSERT_TRUE(test::DesignFilter(d, kDesigns[0].spec, kDesigns[0].approx).ok);
    const auto r = BuildToleranceReport(d);
    ASSERT_TRUE(r.has_value());
    ASSERT_TRUE(r->PassBounds && r->StopBounds);
    EXPECT_NEAR((double)r->PassBounds->Upper, (double)(r->PassBounds->Design - r->PassBounds->Spread), 1e-15);
    EXPECT_NEAR((double)r->PassBounds->Design, 0.5, 1e-3) << "a Butterworth design meets Apb at the edge";
    std::string all;
    for (const auto& l : app::ToleranceReportText(d, *r))
        all += l + "\n";
    EXPECT_NE(all.find("Resistor tolerance = 1%    Capacitor tolerance = 1%"), std::string::npos) << all;
}

} // namespace
} // namespace velmora
