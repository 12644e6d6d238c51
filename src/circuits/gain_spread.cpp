// The first-order gain spread and temperature change of a stage.
#include "circuits/gain_spread.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "circuits/circuit_design.h"
#include "circuits/components.h"
#include "numeric/cubic.h"
#include "stages/stage_types.h"

namespace velmora {
namespace {

// Where w lies so close to wz that 1 - (wz/w)^2 carries no digits worth dividing by.
constexpr long double kNotchTolerance = 1.0e-9L;

// ---- The real zero and pole of a third-order (twin-T) stage -------------------------------

long double Residual(const std::array<long double, 4>& p, long double r) {
    long double value = 0.0L, size = 0.0L, power = 1.0L;
    for (int k = 0; k <= 3; ++k) {
        value += p[static_cast<std::size_t>(k)] * power;
        size += std::fabs(p[static_cast<std::size_t>(k)] * power);
        power *= r;
    }
    return size > 0.0L ? std::fabs(value) / size : 0.0L;
}

// x dr/dx of a root r of p whose coefficients carry x d/dx, for every lane of the
// coefficients: from p(r) = 0, r' = -(sum a_k' r^k) / p'(r).
template <int N>
std::array<long double, N> RootDerivatives(const std::array<GradientDual<N>, 4>& a, long double r) {
    std::array<long double, N> dp{};
    long double slope = 0.0L, power = 1.0L;
    for (int k = 0; k <= 3; ++k) {
        for (std::size_t j = 0; j < static_cast<std::size_t>(N); ++j)
            dp[j] += a[static_cast<std::size_t>(k)].d[j] * power;
        if (k < 3) slope += (k + 1) * a[static_cast<std::size_t>(k + 1)].v * power;
        power *= r;
    }
    std::array<long double, N> out{};
    for (std::size_t j = 0; j < static_cast<std::size_t>(N); ++j)
        out[j] = slope != 0.0L ? -dp[j] / slope : 0.0L;
    return out;
}

struct RealRoots {
    bool present = false;
    long double zero = 0, pole = 0; // the factor (s + zero) / (s + pole), both positive
};

// The real pole the parameter extraction takes out of a third-order function (the one
// most nearly cancelled by a numerator root) and the numerator root nearest to it.
RealRoots FindRealRoots(const RealisedStage<long double>& h) {
    RealRoots out;
    if (h.den[3] == 0.0L || h.num[3] == 0.0L) return out;
    const std::vector<long double> poles = CubicRealRoots(h.den);
    long double pole = poles.front();
    for (const long double p : poles)
        if (Residual(h.num, p) < Residual(h.num, pole)) pole = p;
    const std::vector<long double> zeros = CubicRealRoots(h.num);
    long double zero = zeros.front();
    for (const long double z : zeros)
        if (std::fabs(z - pole) < std::fabs(zero - pole)) zero = z;
    out.present = true;
    out.pole = -pole;
    out.zero = -zero;
    return out;
}

// The components the tolerances act on, with their index in the value arrays.
struct Part {
    bool resistor;
    int n;
    const TComponentItem* item;
};
struct Parts {
    std::array<Part, kComponentSlots> part{};
    int count = 0;
};
Parts PartsOf(const TStageCircuit& c) {
    Parts parts;
    for (int n = 1; n <= c.ResistorCount && n <= kResistorSlots; ++n)
        parts.part[static_cast<std::size_t>(parts.count++)] = {true, n, &c.Components[n]};
    for (int n = 1; n <= c.CapacitorCount && n <= kCapacitorSlots; ++n)
        parts.part[static_cast<std::size_t>(parts.count++)] = {false, n, &c.Components[kResistorSlots + n]};
    return parts;
}

// The relative sensitivities of the real zero and pole to every part, from one evaluation
// with a lane per part (a root of the polynomials is -zero or -pole; the factor's a is
// minus the root).
struct RootSensitivities {
    std::array<long double, kComponentSlots> zero{}, pole{};
};
template <int N>
RootSensitivities RootSensitivitiesOf(const CircuitRoutines& routines,
                                      const ComponentValues<long double>& values, const Parts& parts,
                                      const RealRoots& roots) {
    ComponentValues<GradientDual<N>> dv;
    for (std::size_t k = 0; k < dv.R.size(); ++k)
        dv.R[k] = values.R[k];
    for (std::size_t k = 0; k < dv.C.size(); ++k)
        dv.C[k] = values.C[k];
    for (int j = 0; j < parts.count; ++j) {
        const Part& p = parts.part[static_cast<std::size_t>(j)];
        GradientDual<N>& seed =
            p.resistor ? dv.R[static_cast<std::size_t>(p.n)] : dv.C[static_cast<std::size_t>(p.n)];
        seed.d[static_cast<std::size_t>(j)] = seed.v;
    }
    const RealisedStage<GradientDual<N>> h = RealiseGradient<N>(routines, dv);
    const std::array<long double, N> dz = RootDerivatives(h.num, -roots.zero);
    const std::array<long double, N> dp = RootDerivatives(h.den, -roots.pole);
    RootSensitivities out;
    for (std::size_t j = 0; j < static_cast<std::size_t>(parts.count); ++j) {
        out.zero[j] = -dz[j] / roots.zero;
        out.pole[j] = -dp[j] / roots.pole;
    }
    return out;
}

RootSensitivities RootSensitivitiesOf(const CircuitRoutines& routines,
                                      const ComponentValues<long double>& values, const Parts& parts,
                                      const RealRoots& roots) {
    return WithGradientWidth(parts.count,
                             [&]<int N>() { return RootSensitivitiesOf<N>(routines, values, parts, roots); });
}

} // namespace

MagnitudeSensitivities StageMagnitudeSensitivities(const TStageCoeffs& s, long double w) {
    MagnitudeSensitivities m;
    m.Dgain = kDbPerNeper;
    const int type = s.StageType;
    if (!(w > 0.0L)) return m;
    if (isFirstOrder(type)) {
        const long double sigma =
            s.Sigma > 0.0L ? static_cast<long double>(s.Sigma) : static_cast<long double>(s.Wp);
        if (!(sigma > 0.0L)) return m;
        const long double r = sigma / w;
        m.Dwp = type == stFLP ? kDbPerNeper / (1.0L + r * r) : -kDbPerNeper / (1.0L + 1.0L / (r * r));
        return m;
    }
    const long double wp = s.Wp, qp = s.Qp;
    if (!(wp > 0.0L) || !(qp > 0.0L)) return m;
    const long double u = w / wp, v = wp / w;
    const long double q2 = qp * qp;
    const long double den = 1.0L + q2 * (v - u) * (v - u);
    switch (type) {
    case stSHP:
        m.Dwp = -kDbPerNeper * (1.0L - 2.0L * q2 * (1.0L - v * v)) / den;
        m.Dqp = kDbPerNeper / den;
        break;
    case stSBP:
        m.Dwp = kDbPerNeper * q2 * (u * u - v * v) / den;
        m.Dqp = -kDbPerNeper * q2 * (v - u) * (v - u) / den;
        break;
    default: // SLP and the notch types with their gain constant at DC
        m.Dwp = kDbPerNeper * (1.0L - 2.0L * q2 * (1.0L - u * u)) / den;
        m.Dqp = kDbPerNeper / den;
        break;
    }
    if (isNotch(type) && s.Wz > 0.0L) {
        const long double ratio = (s.Wz / w) * (s.Wz / w);
        if (std::fabs(ratio - 1.0L) <= kNotchTolerance)
            m.AtNotch = true;
        else
            m.Dwz = kTwoDbPerNeper / (ratio - 1.0L);
    }
    return m;
}

long double RealRootSensitivity(long double a, long double w) {
    return a > 0.0L ? kDbPerNeper * a * a / (a * a + w * w) : 0.0L;
}

ToleranceSettings SettingsOf(const TDesign& d) {
    ToleranceSettings t;
    t.ResistorTolerance = d.Components.ResistorTolerance;
    t.CapacitorTolerance = d.Components.CapacitorTolerance;
    t.ResistorTempCo = d.Components.ResistorTempCo;
    t.CapacitorTempCo = d.Components.CapacitorTempCo;
    t.TempRise = d.Components.TempRise;
    return t;
}

long double StageAnalysisFrequency(const TStageCoeffs& s) {
    return StageFrequency(s);
}

std::optional<StageTolerance> AnalyseStage(const TDesign& d, int stage, const TStageCircuit& c, long double w,
                                           const ToleranceSettings& t, bool capacitorsExact) {
    if (stage < 1 || stage > d.StageCount || c.NotRealisable || !(w > 0.0L)) return std::nullopt;
    if (!ComponentsValid(c, c.ResistorCount, c.CapacitorCount)) return std::nullopt;
    const TStageCoeffs& s = d.Stages[stage];
    const int type = s.StageType;
    StageTolerance r;
    r.W = w;
    r.D = StageMagnitudeSensitivities(s, w);
    const MagnitudeSensitivities& D = r.D;

    // The twin-T's real zero and pole, with every component's sensitivities of them.
    const CatalogueEntry* entry = EntryByNumber(c.CircuitNumber);
    const CircuitRoutines* routines = entry ? FindCircuit(entry->key) : nullptr;
    const ComponentValues<long double> values = StageComponentValues(c);
    RealRoots roots;
    if (routines) roots = FindRealRoots(routines->realise(values));

    const Parts parts = PartsOf(c);
    RootSensitivities rootSens;
    if (roots.present) rootSens = RootSensitivitiesOf(*routines, values, parts, roots);

    const long double tR = t.ResistorTolerance / 100.0L;
    const long double tC = capacitorsExact ? 0.0L : t.CapacitorTolerance / 100.0L;
    for (std::size_t j = 0; j < static_cast<std::size_t>(parts.count); ++j) {
        const Part& p = parts.part[j];
        const TComponentItem& x = *p.item;
        // The gain constant the magnitude sensitivities assume: the notch types' at DC,
        // (wz/wp)^2 times the high-frequency gain the component sensitivities refer to.
        long double sGain = x.SensGain;
        if (isNotch(type)) sGain += 2.0L * (x.SensWz - x.SensWp);
        std::array<long double, kPassiveTermCount> g{};
        g[TermWp] = D.Dwp * x.SensWp;
        g[TermQp] = isFirstOrder(type) ? 0.0L : D.Dqp * x.SensQp;
        g[TermWz] = isNotch(type) ? D.Dwz * x.SensWz : 0.0L;
        g[TermGain] = D.Dgain * sGain;
        if (roots.present)
            g[TermRealRoots] = RealRootSensitivity(roots.zero, w) * rootSens.zero[j] -
                               RealRootSensitivity(roots.pole, w) * rootSens.pole[j];
        const long double tx = p.resistor ? tR : tC;
        const long double tc = p.resistor ? t.ResistorTempCo : t.CapacitorTempCo;
        long double total = 0.0L;
        for (int k = 0; k < kPassiveTermCount; ++k) {
            const long double gk = g[static_cast<std::size_t>(k)];
            r.PassiveTerms[static_cast<std::size_t>(k)] += gk * gk * tx * tx;
            r.PassiveTempTerms[static_cast<std::size_t>(k)] += gk * tc;
            total += gk;
        }
        r.PassiveVariance += total * total * tx * tx;
    }
    long double passivePerDegree = 0.0L;
    for (const long double term : r.PassiveTempTerms)
        passivePerDegree += term;
    r.PassiveChange = passivePerDegree * t.TempRise;

    // The op amps of a second-order stage.
    if (!isFirstOrder(type) && c.OpAmpGBW > 0.0L && s.Wp > 0.0L) {
        const long double ratio = s.Wp / (2.0L * std::numbers::pi_v<long double> * c.OpAmpGBW);
        const long double tA = c.GbwTolerance / 100.0L;
        const long double aw = D.Dwp * c.GbwFactorWp * ratio, aq = D.Dqp * c.GbwFactorQp * ratio;
        const bool severalOpAmps = c.OpAmpCount > 1 && (c.GbwFactor3 != 0.0L || c.GbwFactor4 != 0.0L);
        if (severalOpAmps) {
            // Each op amp has its own GBW: the circuit's stored sums of the squared
            // per-amplifier coefficients take the place of k^2 (wp and Qp apart).
            r.ActiveTerms[TermWp] = D.Dwp * D.Dwp * std::fabs(c.GbwFactor3) * ratio * ratio * tA * tA;
            r.ActiveTerms[TermQp] = D.Dqp * D.Dqp * std::fabs(c.GbwFactor4) * ratio * ratio * tA * tA;
            r.ActiveVariance = r.ActiveTerms[TermWp] + r.ActiveTerms[TermQp];
        } else {
            // One amplifier moves wp and Qp together.
            r.ActiveTerms[TermWp] = aw * aw * tA * tA;
            r.ActiveTerms[TermQp] = aq * aq * tA * tA;
            r.ActiveVariance = (aw + aq) * (aw + aq) * tA * tA;
        }
        // A temperature rise moves every op amp of the stage by the same TC_A dT.
        r.ActiveTempTerms[TermWp] = aw * c.GbwTempCo;
        r.ActiveTempTerms[TermQp] = aq * c.GbwTempCo;
        r.ActiveChange = (r.ActiveTempTerms[TermWp] + r.ActiveTempTerms[TermQp]) * t.TempRise;
    }
    r.PassiveSpread = std::sqrt(r.PassiveVariance);
    r.ActiveSpread = std::sqrt(r.ActiveVariance);
    r.Spread = std::sqrt(r.PassiveVariance + r.ActiveVariance);
    r.TotalChange = r.PassiveChange + r.ActiveChange;
    return r;
}

std::optional<StageTolerance> AnalyseStage(const TDesign& d, int stage, long double w, bool capacitorsExact) {
    if (stage < 1 || stage > d.StageCount) return std::nullopt;
    return AnalyseStage(d, stage, d.Circuits[stage], w, SettingsOf(d),
                        capacitorsExact || d.Circuits[stage].CapsExact != 0);
}

} // namespace velmora
