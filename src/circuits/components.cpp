// Row loading, default GBW, the component calculation and its sensitivities.
#include "circuits/components.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "circuits/standard_values.h"
#include "numeric/cubic.h"
#include "stages/stage_types.h"

namespace velmora {
namespace {

// Stages above this pole frequency start with C1 = 1 nF, the others with 10 nF: the
// resistors then land in the few-kilohm range over the whole audio band and above.
constexpr long double kSmallCapacitorAbove = 31000.0L; // rad/s
constexpr long double kGainPairStart = 10000.0L;       // ohms
constexpr long double kLowestDefaultGbw = 1.0e6L;      // Hz

bool finitePositive(long double x) {
    return std::isfinite(x) && x > 0.0L;
}

long double pow10(int e) {
    return Pow10(e);
}

// Capacitor value of a position in the 12-value list and a decade exponent:
// mantissa / 10^exponent (100 / 10^11 = 1 nF).
long double CapacitorValue(int index, int exponent) {
    const auto e12 = E12Mantissas();
    return e12[static_cast<std::size_t>(index)] / pow10(exponent);
}

// Position and exponent of the 12-value list entry nearest to a capacitance (nearest on
// a logarithmic scale), so that CapacitorValue gives it back: the series position's
// index, and its decade negated (CapacitorValue divides by 10^exponent).
void NearestCapacitor(long double farads, int16_t& index, int16_t& exponent) {
    const auto p = finitePositive(farads) ? LogNearestE12(farads) : std::nullopt;
    if (!p) {
        index = 0;
        exponent = 0;
        return;
    }
    index = static_cast<int16_t>(p->index);
    exponent = static_cast<int16_t>(-p->exponent);
}

// ---- Realised parameters --------------------------------------------------------------

using std::sqrt;

template <typename T> long double at(const std::array<T, 4>& a, int k) {
    return valueOf(a[static_cast<std::size_t>(k)]);
}

// Divides a cubic by (s - r), r a root of its values; the root's derivative follows
// from p(r) = 0: r' = -(sum a_k' r^k) / p'(r), for each derivative the number carries.
// Returns the quadratic.
template <typename T> std::array<T, 4> Deflate(const std::array<T, 4>& a, long double rv) {
    T r = rv;
    if constexpr (std::is_same_v<T, Dual>) {
        long double dp = 0.0L, slope = 0.0L, power = 1.0L;
        for (int k = 0; k <= 3; ++k) {
            dp += a[static_cast<std::size_t>(k)].d * power;
            if (k < 3) slope += (k + 1) * at(a, k + 1) * power;
            power *= rv;
        }
        r = Dual(rv, slope != 0.0L ? -dp / slope : 0.0L);
    } else if constexpr (!std::is_same_v<T, long double>) {
        // The lanes of a gradient, each summed as the single derivative above is.
        std::array<long double, T::kLanes> dp{};
        long double slope = 0.0L, power = 1.0L;
        for (int k = 0; k <= 3; ++k) {
            for (int j = 0; j < T::kLanes; ++j)
                dp[static_cast<std::size_t>(j)] +=
                    a[static_cast<std::size_t>(k)].d[static_cast<std::size_t>(j)] * power;
            if (k < 3) slope += (k + 1) * at(a, k + 1) * power;
            power *= rv;
        }
        for (int j = 0; j < T::kLanes; ++j)
            r.d[static_cast<std::size_t>(j)] =
                slope != 0.0L ? -dp[static_cast<std::size_t>(j)] / slope : 0.0L;
    }
    std::array<T, 4> q{};
    q[2] = a[3];
    q[1] = a[2] + r * q[2];
    q[0] = a[1] + r * q[1];
    return q;
}

// |p(r)| relative to the size of its terms: how nearly r is a root of p.
long double RootResidual(const std::array<long double, 4>& p, long double r) {
    long double value = 0.0L, size = 0.0L, power = 1.0L;
    for (int k = 0; k <= 3; ++k) {
        value += p[static_cast<std::size_t>(k)] * power;
        size += std::fabs(p[static_cast<std::size_t>(k)] * power);
        power *= r;
    }
    return size > 0.0L ? std::fabs(value) / size : 0.0L;
}

template <typename T> std::optional<StageParameters<T>> Parameters(RealisedStage<T> h, int type) {
    std::array<long double, 4> numV{}, denV{};
    for (int k = 0; k < 4; ++k) {
        numV[static_cast<std::size_t>(k)] = at(h.num, k);
        denV[static_cast<std::size_t>(k)] = at(h.den, k);
    }
    // A third-order function (the twin-T off its balance) carries a real pole that is
    // (nearly) cancelled by a numerator root: take that pole out, and the numerator root
    // nearest to it, so the rest is the stage's second-order function.
    if (denV[3] != 0.0L) {
        const std::vector<long double> poles = CubicRealRoots(denV);
        long double pole = poles.front();
        for (const long double p : poles)
            if (RootResidual(numV, p) < RootResidual(numV, pole)) pole = p;
        h.den = Deflate(h.den, pole);
        if (numV[3] != 0.0L) {
            const std::vector<long double> zeros = CubicRealRoots(numV);
            long double zero = zeros.front();
            for (const long double z : zeros)
                if (std::fabs(z - pole) < std::fabs(zero - pole)) zero = z;
            h.num = Deflate(h.num, zero);
        }
    } else if (numV[3] != 0.0L) {
        return std::nullopt; // more zeros than poles: not a stage function
    }
    StageParameters<T> p;
    const T &d0 = h.den[0], &d1 = h.den[1], &d2 = h.den[2];
    const T &n0 = h.num[0], &n1 = h.num[1], &n2 = h.num[2];
    if (valueOf(d2) == 0.0L) {
        if (!(valueOf(d1) != 0.0L && valueOf(d0) / valueOf(d1) > 0.0L)) return std::nullopt;
        p.wp = d0 / d1;
        p.gain = type == stFHP ? n1 / d1 : n0 / d0;
        return p;
    }
    // Every coefficient of a stable second-order denominator has the same sign.
    if (!(valueOf(d0) / valueOf(d2) > 0.0L && valueOf(d1) / valueOf(d2) > 0.0L)) return std::nullopt;
    p.wp = sqrt(d0 / d2);
    p.qp = sqrt(d0 * d2) / d1;
    if (valueOf(d1) < 0.0L) p.qp = -p.qp; // all three negative: the same function
    switch (type) {
    case stSLP:
    case stFLP:
        p.gain = n0 / d0;
        break;
    case stSBP:
        p.gain = n1 / d1;
        break;
    default:
        p.gain = n2 / d2;
        break;
    }
    if (isNotch(type) && valueOf(n2) != 0.0L && valueOf(n0) / valueOf(n2) >= 0.0L)
        p.wz = valueOf(n0) == 0.0L ? T{} : sqrt(n0 / n2);
    return p;
}

// (dP/P)/(dx/x) from P and x dP/dx; 0 where it is not a finite number.
long double Relative(long double value, long double derivative) {
    return value != 0.0L && std::isfinite(derivative / value) ? derivative / value : 0.0L;
}

// The components a sensitivity is stored for: those the circuit uses with a positive,
// finite value, by slot (1..10 resistors, 11..14 capacitors), each with its own lane.
struct SeededComponents {
    std::array<int, kComponentSlots> slot{};
    int count = 0;
};
SeededComponents SeededOf(const TStageCircuit& c, const ComponentValues<long double>& v) {
    SeededComponents s;
    for (int n = 1; n <= kResistorSlots; ++n)
        if (n <= c.ResistorCount && finitePositive(v.R[static_cast<std::size_t>(n)]))
            s.slot[static_cast<std::size_t>(s.count++)] = n;
    for (int n = 1; n <= kCapacitorSlots; ++n)
        if (n <= c.CapacitorCount && finitePositive(v.C[static_cast<std::size_t>(n)]))
            s.slot[static_cast<std::size_t>(s.count++)] = kResistorSlots + n;
    return s;
}

// Every seeded component's sensitivities from one evaluation of the realised function
// with a lane per component: the lane of component x is seeded with x, so it carries
// x dP/dx of every result.
template <int N>
void StoreSeededSensitivities(TStageCircuit& c, int type, const CircuitRoutines& routines,
                              const ComponentValues<long double>& v, const SeededComponents& seeded) {
    ComponentValues<GradientDual<N>> dv;
    for (int n = 1; n <= kResistorSlots; ++n)
        dv.R[static_cast<std::size_t>(n)] = v.R[static_cast<std::size_t>(n)];
    for (int n = 1; n <= kCapacitorSlots; ++n)
        dv.C[static_cast<std::size_t>(n)] = v.C[static_cast<std::size_t>(n)];
    for (int j = 0; j < seeded.count; ++j) {
        const int slot = seeded.slot[static_cast<std::size_t>(j)];
        GradientDual<N>& x = slot <= kResistorSlots ? dv.R[static_cast<std::size_t>(slot)]
                                                    : dv.C[static_cast<std::size_t>(slot - kResistorSlots)];
        x.d[static_cast<std::size_t>(j)] = x.v;
    }
    const auto p = Parameters(RealiseGradient<N>(routines, dv), type);
    for (int j = 0; j < seeded.count; ++j) {
        TComponentItem& item = c.Components[seeded.slot[static_cast<std::size_t>(j)]];
        const auto lane = static_cast<std::size_t>(j);
        item.SensWp = p ? Relative(p->wp.v, p->wp.d[lane]) : 0.0L;
        item.SensQp = p ? Relative(p->qp.v, p->qp.d[lane]) : 0.0L;
        item.SensGain = p ? Relative(p->gain.v, p->gain.d[lane]) : 0.0L;
        item.SensWz = p ? Relative(p->wz.v, p->wz.d[lane]) : 0.0L;
    }
}

// Sensitivities of the stage parameters to every component the circuit uses; the other
// slots are cleared.
void StoreSensitivities(TDesign& d, int stage, const CircuitRoutines& routines) {
    TStageCircuit& c = d.Circuits[stage];
    const int type = d.Stages[stage].StageType;
    const ComponentValues<long double> v = StageComponentValues(c);
    const SeededComponents seeded = SeededOf(c, v);
    std::array<bool, kComponentSlots + 1> isSeeded{};
    for (int j = 0; j < seeded.count; ++j)
        isSeeded[static_cast<std::size_t>(seeded.slot[static_cast<std::size_t>(j)])] = true;
    for (int n = 1; n <= kComponentSlots; ++n)
        if (!isSeeded[static_cast<std::size_t>(n)]) {
            TComponentItem& item = c.Components[n];
            item.SensWp = item.SensQp = item.SensGain = item.SensWz = 0.0L;
        }
    if (seeded.count == 0) return;
    WithGradientWidth(seeded.count,
                      [&]<int N>() { StoreSeededSensitivities<N>(c, type, routines, v, seeded); });
}

} // namespace

const CatalogueEntry* StageCircuitEntry(const TDesign& d, int stage) {
    if (stage < 1 || stage > kMaxStages) return nullptr;
    return EntryByNumber(d.Circuits[stage].CircuitNumber);
}

const CircuitRoutines* StageCircuitRoutines(const TDesign& d, int stage) {
    const CatalogueEntry* e = StageCircuitEntry(d, stage);
    return e ? FindCircuit(e->key) : nullptr;
}

long double StageFrequency(const TStageCoeffs& s) {
    if (isFirstOrder(s.StageType))
        return s.Sigma != 0.0L ? static_cast<long double>(s.Sigma) : static_cast<long double>(s.Wp);
    return s.Wp;
}

namespace {

// The row loading of LoadCatalogueRow; `startC1` replaces the automatic starting C1.
bool LoadRow(TDesign& d, int stage, std::optional<long double> startC1) {
    const CatalogueEntry* e = StageCircuitEntry(d, stage);
    if (!e) return false;
    TStageCircuit& c = d.Circuits[stage];
    const CatalogueRow row = RowOf(*e);

    // 1. The row's fields.
    c.C2Alone = row.C2Alone;
    c.CapRatio = row.CapRatio;
    c.ResistorCount = static_cast<int16_t>(row.ResistorCount);
    c.CapacitorCount = static_cast<int16_t>(row.CapacitorCount);
    c.GainPair = row.GainPair;
    c.C2Variable = row.C2Variable;
    c.GainFixed = row.GainFixed;
    c.OpAmpCount = static_cast<int16_t>(row.OpAmpCount);
    c.FullNumerator = row.FullNumerator;
    c.Inverting = row.Inverting;
    c.ActiveComp = row.ActiveComp;
    c.CompVariant = static_cast<int16_t>(row.CompVariant);

    // A stage whose set holds no capacitor yet starts as if initialised.
    if (!finitePositive(d.CapSets[stage].Value[1])) c.Initialise = 1;

    // 2. " C1=C2 : R1=R2" starts set for the circuits that offer it; the user's later
    // choice is kept.
    if (c.Initialise) c.UseC1EqC2 = (row.C2Variable && row.GainPair && row.ResistorCount == 4) ? 1 : 0;

    // 3. Gain pair: R(n) starts at 10 kOhm = 100 x 10^2 (position 0 of the 24-value series).
    for (int n = 1; n <= kResistorSlots; ++n)
        R(c, n) = 0.0L;
    c.GainPairIndex = 0;
    c.GainPairExponent = 0;
    if (row.GainPair && row.ResistorCount >= 2) {
        c.GainPairIndex = 0;
        c.GainPairExponent = 2;
        R(c, row.ResistorCount) = kGainPairStart;
    }

    if (c.Initialise) {
        // 4. Starting capacitors.
        c.C1Index = 0;
        c.C1Exponent = static_cast<int16_t>(StageFrequency(d.Stages[stage]) > kSmallCapacitorAbove ? 11 : 10);
        if (startC1) NearestCapacitor(*startC1, c.C1Index, c.C1Exponent);
        // A chosen start off the series scales the series' starting values: the ratios of
        // the capacitors stay those of the row.
        const long double c1List = CapacitorValue(c.C1Index, c.C1Exponent);
        const long double scale =
            startC1 && std::fabs(*startC1 / c1List - 1.0L) > 1.0e-9L ? *startC1 / c1List : 1.0L;
        const long double c1 = c1List * scale;
        const long double ratio = row.CapRatio;
        long double c2 = 0.0L;
        switch (static_cast<int>(ratio)) {
        case 0:
            c.C2Index = 0;
            c.C2Exponent = 0;
            break;
        case 1:
            c.C2Index = c.C1Index;
            c.C2Exponent = c.C1Exponent;
            break;
        case 5:
            // Eight places up the 12-value list, into the next decade past its end.
            c.C2Index = static_cast<int16_t>((c.C1Index + 8) % 12);
            c.C2Exponent = static_cast<int16_t>(c.C1Exponent - (c.C1Index + 8) / 12);
            break;
        case 10:
            c.C2Index = c.C1Index;
            c.C2Exponent = static_cast<int16_t>(c.C1Exponent - 1);
            break;
        default:
            NearestCapacitor(c1 * ratio, c.C2Index, c.C2Exponent);
            break;
        }
        if (static_cast<int>(ratio) != 0) {
            c2 = CapacitorValue(c.C2Index, c.C2Exponent) * scale;
            c.CapRatio = c2 / c1;
        }
        C(c, 1) = c1;
        C(c, 2) = row.CapacitorCount >= 2 ? c2 : 0.0L;
        C(c, 3) = row.CapacitorCount >= 3 ? c1 : 0.0L;
        C(c, 4) = row.CapacitorCount >= 4 ? c1 : 0.0L;
        // 5. Stored as the stage's capacitor set; the flag has done its work.
        for (TCapacitorSet* set : {&d.CapSets[stage], &d.CapSetsWorking[stage]})
            for (int n = 1; n <= kCapacitorSlots; ++n) {
                set->Value[static_cast<std::size_t>(n)] = C(c, n);
                set->Alternative[static_cast<std::size_t>(n)] = C(c, n);
            }
        for (int n = 1; n <= kCapacitorSlots; ++n)
            c.Components[kResistorSlots + n].Alternative = C(c, n);
        c.Initialise = 0;
    } else {
        // 5. Restored from the set (the user's capacitors survive a reload).
        const TCapacitorSet& set = d.CapSets[stage];
        for (int n = 1; n <= kCapacitorSlots; ++n) {
            C(c, n) = set.Value[static_cast<std::size_t>(n)];
            c.Components[kResistorSlots + n].Alternative = set.Alternative[static_cast<std::size_t>(n)];
        }
        NearestCapacitor(C(c, 1), c.C1Index, c.C1Exponent);
        NearestCapacitor(C(c, 2), c.C2Index, c.C2Exponent);
        if (row.CapRatio != 0.0L && finitePositive(C(c, 1)) && finitePositive(C(c, 2)))
            c.CapRatio = C(c, 2) / static_cast<long double>(C(c, 1));
    }
    return true;
}

} // namespace

bool LoadCatalogueRow(TDesign& d, int stage) {
    return LoadRow(d, stage, std::nullopt);
}

bool StartStageFrom(TDesign& d, int stage, long double c1) {
    if (stage < 1 || stage > d.StageCount || !finitePositive(c1)) return false;
    TStageCircuit& c = d.Circuits[stage];
    const uint8_t c1EqC2 = c.UseC1EqC2;
    c.Initialise = 1;
    if (!LoadRow(d, stage, c1)) return false;
    c.UseC1EqC2 = c1EqC2; // a design option of the stage, not a starting value
    return CalculateComponents(d, stage);
}

long double DefaultOpAmpGbw(const TStageCoeffs& s) {
    const long double f = std::max(0.0L, StageFrequency(s) / (2.0L * std::numbers::pi_v<long double>));
    return std::max(RoundDownHalfDecade(20.0L * f), kLowestDefaultGbw);
}

ComponentValues<long double> StageComponentValues(const TStageCircuit& c) {
    ComponentValues<long double> v;
    for (int n = 1; n <= kResistorSlots; ++n)
        v.R[static_cast<std::size_t>(n)] = R(c, n);
    for (int n = 1; n <= kCapacitorSlots; ++n)
        v.C[static_cast<std::size_t>(n)] = C(c, n);
    return v;
}

std::optional<StageParameters<long double>> RealisedParameters(const RealisedStage<long double>& h,
                                                               int stageType) {
    return Parameters(h, stageType);
}
std::optional<StageParameters<Dual>> RealisedParameters(const RealisedStage<Dual>& h, int stageType) {
    return Parameters(h, stageType);
}
template <int N>
std::optional<StageParameters<GradientDual<N>>> RealisedParameters(const RealisedStage<GradientDual<N>>& h,
                                                                   int stageType) {
    return Parameters(h, stageType);
}
template std::optional<StageParameters<GradientDual<4>>>
RealisedParameters(const RealisedStage<GradientDual<4>>&, int);
template std::optional<StageParameters<GradientDual<6>>>
RealisedParameters(const RealisedStage<GradientDual<6>>&, int);
template std::optional<StageParameters<GradientDual<8>>>
RealisedParameters(const RealisedStage<GradientDual<8>>&, int);
template std::optional<StageParameters<GradientDual<10>>>
RealisedParameters(const RealisedStage<GradientDual<10>>&, int);
template std::optional<StageParameters<GradientDual<14>>>
RealisedParameters(const RealisedStage<GradientDual<14>>&, int);

bool IsStandardResistor(long double ohms, long double tolerancePercent) {
    return FindStandardResistor(ohms, tolerancePercent).has_value();
}

namespace {

bool Calculate(TDesign& d, int stage, bool sensitivities) {
    if (stage < 1 || stage > kMaxStages) return false;
    TStageCircuit& c = d.Circuits[stage];
    const CatalogueEntry* e = StageCircuitEntry(d, stage);
    const CircuitRoutines* routines = e ? FindCircuit(e->key) : nullptr;
    if (!routines) {
        c.NotRealisable = 1;
        return false;
    }
    // 1. The gain sensitivities are cleared; the actual gain starts at the desired gain.
    for (int n = 1; n <= kComponentSlots; ++n)
        c.Components[n].SensGain = 0.0L;
    if (c.DesiredGain > 0.0L) c.ActualGain = c.DesiredGain;
    const TStageCircuit before = c;

    // 2. The circuit's own design.
    c.NotRealisable = 0;
    if (!routines->design(d, stage)) {
        d.Circuits[stage] = before;
        d.Circuits[stage].NotRealisable = 1;
        return false;
    }
    // 3. A gain pair is kept at or below 100 kOhm with its ratio.
    const CatalogueRow row = RowOf(*e);
    if (row.GainPair) ScaleGainPair(c, row.ResistorCount);
    if (!ComponentsValid(c, c.ResistorCount, c.CapacitorCount)) {
        d.Circuits[stage] = before;
        d.Circuits[stage].NotRealisable = 1;
        return false;
    }
    // 4. Sensitivities of every component.
    if (sensitivities) StoreSensitivities(d, stage, *routines);
    for (int n = 1; n <= kComponentSlots; ++n)
        c.Components[n].InUse = 0;
    // 5. A computed value that happens to be standard is moved off it. The amplifier of a
    // gain pair sets its gain by the ratio R(n-1)/R(n) alone, so the pair moves together:
    // marking one of the two would change the gain the stage realises.
    const long double tolerance = d.Components.ResistorTolerance;
    const auto standard = [&](int n) { return R(c, n) > 0.0L && IsStandardResistor(R(c, n), tolerance); };
    const int n = std::min<int>(c.ResistorCount, kResistorSlots);
    const bool pair = row.GainPair && n >= 2;
    const bool markPair = pair && (standard(n) || standard(n - 1));
    for (int k = 1; k <= n; ++k) {
        const bool inPair = pair && k >= n - 1;
        if (inPair ? markPair && R(c, k) > 0.0L : standard(k)) R(c, k) = R(c, k) * kExactValueMark;
    }
    return true;
}

} // namespace

bool CalculateComponents(TDesign& d, int stage) {
    return Calculate(d, stage, true);
}

bool CalculateComponentValues(TDesign& d, int stage) {
    return Calculate(d, stage, false);
}

void UpdateSensitivities(TDesign& d, int stage) {
    if (stage < 1 || stage > kMaxStages) return;
    if (const CircuitRoutines* routines = StageCircuitRoutines(d, stage))
        StoreSensitivities(d, stage, *routines);
}

bool LoadAndCalculate(TDesign& d, int stage) {
    if (!LoadCatalogueRow(d, stage)) return false;
    return CalculateComponents(d, stage);
}

long double CircuitGainRealiser::Realise(TDesign& d, int stage, long double gain) const {
    TStageCircuit& c = d.Circuits[stage];
    if (!StageCircuitRoutines(d, stage)) return gain;
    c.DesiredGain = gain;
    if (!LoadAndCalculate(d, stage)) return gain;
    return c.ActualGain;
}

} // namespace velmora
