// Component adjustment: the LU solver, the Newton recalculation of the resistors for
// given capacitors, the capacitor and gain-pair steps and the resistor entry.
#include "circuits/component_adjustment.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>

#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "circuits/inventory_lookup.h"
#include "circuits/standard_substitution.h"
#include "circuits/standard_values.h"
#include "stages/stage_types.h"

namespace velmora {
namespace {

bool finitePositive(long double x) {
    return std::isfinite(x) && x > 0.0L;
}

// Resistors outside this range cannot be bought or built around an op amp; a solution
// that needs one is no usable circuit.
constexpr long double kSmallestResistor = 1.0e-3L; // ohms
constexpr long double kLargestResistor = 1.0e12L;  // ohms
constexpr int kNewtonSteps = 60;
// The largest change of a logarithm in one Newton step (a factor e^0.5): keeps a step
// that the linearisation overestimates from jumping out of the circuit's valid region.
constexpr long double kLargestLogStep = 0.5L;
// The move off a stationary point, as a logarithm (about 5 %), and how often it is tried.
constexpr long double kPerturbation = 0.05L;
constexpr int kPerturbations = 3;
// Converged when every parameter is met to this relative error; long double resolves
// about 1e-19, the stored values 1e-12.
constexpr long double kConverged = 1.0e-15L;
// A gain that moved by less than this part is unchanged (Real48 storage rounds at 1e-12).
constexpr long double kGainUnchanged = 1.0e-9L;

// The circuits' unknowns: one resistor per target, chosen where the design equations put
// that target (the resistor that sets wp, the one that sets Qp, and for circuits whose
// gain the resistors set, the gain resistor).
const std::map<std::string_view, AdjustmentPlan, std::less<>>& Plans() {
    static const std::map<std::string_view, AdjustmentPlan, std::less<>> plans = {
        {"FLP01", {{1}, false, false}},       {"FLP02", {{1}, false, false}},
        {"FLP03", {{2, 1}, true, false}},     {"FHP01", {{1}, false, false}},
        {"FHP02", {{1}, false, false}},       {"FHP03", {{1}, false, false}}, // gain C1/C2 moves
        {"FHP04", {{1, 2}, true, false}},     {"SLP01", {{1, 2}, false, false}},
        {"SLP02", {{1, 2}, false, false}},    {"SLP03", {{1, 2, 3}, true, false}},
        {"SLP04", {{1, 2, 3}, true, false}},  {"SLP08", {{1, 2}, false, false}},
        {"SLP13", {{2, 5}, false, false}},    {"SHP01", {{1, 2}, false, false}},
        {"SHP02", {{1, 2}, false, false}},    {"SHP03", {{1, 2}, false, false}}, // gain C1/C2 moves
        {"SHP06", {{1, 2}, false, false}},    {"SHP10", {{2, 5}, false, false}}, // gain C2/C1 moves
        {"SBP03", {{1, 2, 3}, true, false}},  {"SBP04", {{1, 2, 3}, true, false}},
        {"SBP05", {{1, 2, 3}, true, false}},  {"SBP08", {{1, 2}, false, false}},
        {"SBP13", {{2, 5, 1}, true, false}},  {"SLPN10", {{2, 5, 1}, false, true}}, // gain C3/C2 moves
        {"SHPN09", {{2, 5, 1}, false, true}}, {"SN09", {{2, 5, 1}, false, true}},
    };
    return plans;
}

// The parameters a plan keeps, as logarithms (gain by magnitude: an inverting stage's
// sign does not change).
template <typename T>
std::vector<T> Targets(const StageParameters<T>& p, const AdjustmentPlan& plan, bool firstOrder) {
    std::vector<T> t{p.wp};
    if (!firstOrder) t.push_back(p.qp);
    if (plan.gain) t.push_back(p.gain);
    if (plan.wz) t.push_back(p.wz);
    return t;
}

long double LogAbs(long double x) {
    return std::log(std::fabs(x));
}

} // namespace

// ---- LU decomposition ----------------------------------------------------------------

std::optional<LuFactors> LuDecompose(Matrix a) {
    const std::size_t n = a.size();
    LuFactors f;
    f.order.assign(n, 0);
    // Implicit scaling: each row is judged by its elements relative to its largest one.
    std::vector<long double> scale(n);
    for (std::size_t i = 0; i < n; ++i) {
        long double big = 0.0L;
        for (const long double x : a[i])
            big = std::max(big, std::fabs(x));
        if (big == 0.0L) return std::nullopt;
        scale[i] = 1.0L / big;
    }
    for (std::size_t j = 0; j < n; ++j) {
        // Crout: column j of U above the diagonal, then of L on and below it.
        for (std::size_t i = 0; i < j; ++i) {
            long double sum = a[i][j];
            for (std::size_t k = 0; k < i; ++k)
                sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
        }
        long double best = -1.0L;
        std::size_t pivot = j;
        for (std::size_t i = j; i < n; ++i) {
            long double sum = a[i][j];
            for (std::size_t k = 0; k < j; ++k)
                sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
            const long double merit = scale[i] * std::fabs(sum);
            if (merit > best) {
                best = merit;
                pivot = i;
            }
        }
        if (pivot != j) {
            std::swap(a[pivot], a[j]);
            scale[pivot] = scale[j];
        }
        f.order[j] = static_cast<int>(pivot);
        if (a[j][j] == 0.0L || !std::isfinite(a[j][j])) return std::nullopt;
        for (std::size_t i = j + 1; i < n; ++i)
            a[i][j] /= a[j][j];
    }
    f.lu = std::move(a);
    return f;
}

std::vector<long double> LuSolve(const LuFactors& f, std::vector<long double> b) {
    const std::size_t n = f.lu.size();
    for (std::size_t i = 0; i < n; ++i) { // forward: L y = P b
        const auto p = static_cast<std::size_t>(f.order[i]);
        long double sum = b[p];
        b[p] = b[i];
        for (std::size_t k = 0; k < i; ++k)
            sum -= f.lu[i][k] * b[k];
        b[i] = sum;
    }
    for (std::size_t i = n; i-- > 0;) { // back: U x = y
        long double sum = b[i];
        for (std::size_t k = i + 1; k < n; ++k)
            sum -= f.lu[i][k] * b[k];
        b[i] = sum / f.lu[i][i];
    }
    return b;
}

// ---- The recalculation -----------------------------------------------------------------

std::optional<AdjustmentPlan> CapacitorAdjustmentPlan(std::string_view key) {
    const auto it = Plans().find(key);
    if (it == Plans().end()) return std::nullopt;
    return it->second;
}

bool CapacitorsAdjustable(const TDesign& d, int stage) {
    const CatalogueEntry* e = StageCircuitEntry(d, stage);
    return e && CapacitorAdjustmentPlan(e->key).has_value();
}

std::optional<ComponentValues<long double>> SolveResistors(const CircuitRoutines& routines, int stageType,
                                                           const AdjustmentPlan& plan,
                                                           const ComponentValues<long double>& before,
                                                           ComponentValues<long double> values,
                                                           RecalcStatus& status) {
    status = RecalcStatus::Failed;
    const bool firstOrder = isFirstOrder(stageType);
    const auto kept = RealisedParameters(routines.realise(before), stageType);
    if (!kept) return std::nullopt;
    const std::vector<long double> target = Targets(*kept, plan, firstOrder);
    const std::size_t n = plan.resistors.size();
    if (target.size() != n) return std::nullopt;
    for (const long double t : target)
        if (!std::isfinite(t) || t == 0.0L) return std::nullopt;

    int perturbations = 0;
    for (int step = 0; step <= kNewtonSteps; ++step) {
        // Residuals and the Jacobian of the logarithms, one dual evaluation per resistor.
        ComponentValues<Dual> dv;
        for (int k = 1; k <= kResistorSlots; ++k)
            dv.R[static_cast<std::size_t>(k)] = values.R[static_cast<std::size_t>(k)];
        for (int k = 1; k <= kCapacitorSlots; ++k)
            dv.C[static_cast<std::size_t>(k)] = values.C[static_cast<std::size_t>(k)];
        Matrix jacobian(n, std::vector<long double>(n));
        std::vector<long double> residual(n);
        for (std::size_t j = 0; j < n; ++j) {
            Dual& seed = dv.R[static_cast<std::size_t>(plan.resistors[j])];
            seed.d = seed.v; // R d/dR
            const auto p = RealisedParameters(routines.realiseDual(dv), stageType);
            seed.d = 0.0L;
            if (!p) return std::nullopt;
            const std::vector<Dual> now = Targets(*p, plan, firstOrder);
            for (std::size_t i = 0; i < n; ++i) {
                if (!std::isfinite(now[i].v) || now[i].v == 0.0L) return std::nullopt;
                jacobian[i][j] = now[i].d / now[i].v;
                residual[i] = LogAbs(now[i].v) - LogAbs(target[i]);
            }
        }
        long double worst = 0.0L;
        for (const long double r : residual)
            worst = std::max(worst, std::fabs(r));
        if (!std::isfinite(worst)) return std::nullopt;
        if (worst < kConverged) {
            for (const int k : plan.resistors) {
                const long double r = values.R[static_cast<std::size_t>(k)];
                if (!(r >= kSmallestResistor && r <= kLargestResistor)) {
                    status = RecalcStatus::Invalid;
                    return std::nullopt;
                }
            }
            status = RecalcStatus::Ok;
            return values;
        }
        const auto lu = LuDecompose(jacobian);
        if (!lu) {
            // A design may sit where a parameter is stationary in the resistors (the
            // unity-gain Sallen-Key's Q is largest at R1 = R2, where the design puts it):
            // the Jacobian is singular there though solutions lie on either side. Such a
            // point is left by a small asymmetric move; a matrix that stays singular is.
            if (++perturbations > kPerturbations) {
                status = RecalcStatus::Singular;
                return std::nullopt;
            }
            for (std::size_t j = 0; j < n; ++j)
                values.R[static_cast<std::size_t>(plan.resistors[j])] *=
                    std::exp((j % 2 ? -1.0L : 1.0L) * kPerturbation * static_cast<long double>(j + 1));
            continue;
        }
        for (long double& r : residual)
            r = -r;
        std::vector<long double> dx = LuSolve(*lu, residual);
        long double largest = 0.0L;
        for (const long double x : dx)
            largest = std::max(largest, std::fabs(x));
        if (!std::isfinite(largest)) return std::nullopt;
        const long double damp = largest > kLargestLogStep ? kLargestLogStep / largest : 1.0L;
        for (std::size_t j = 0; j < n; ++j) {
            long double& r = values.R[static_cast<std::size_t>(plan.resistors[j])];
            r *= std::exp(damp * dx[j]);
            if (!(r < kLargestResistor * 1.0e6L) || !(r > kSmallestResistor * 1.0e-6L)) {
                status = RecalcStatus::Invalid; // running away: no usable solution
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

long double GainChange(long double before, long double after) {
    if (!finitePositive(before) || !std::isfinite(after)) return 0;
    const long double change = (after - before) / before;
    return std::fabs(change) <= kGainUnchanged ? 0 : change;
}

namespace {

RecalcResult Failure(RecalcStatus s) {
    RecalcResult r;
    r.status = s;
    return r;
}

// Solves the stage for new component values (capacitors and possibly a gain pair) and
// stores them; `plan` may differ from the circuit's (the gain-pair step keeps no gain).
RecalcResult Apply(TDesign& d, int stage, ComponentValues<long double> values, const AdjustmentPlan& plan) {
    TStageCircuit& c = d.Circuits[stage];
    const CircuitRoutines* routines = StageCircuitRoutines(d, stage);
    if (!routines || c.NotRealisable) return Failure(RecalcStatus::Failed);
    const ComponentValues<long double> before = StageComponentValues(c);
    RecalcStatus status;
    const auto solved = SolveResistors(*routines, d.Stages[stage].StageType, plan, before, values, status);
    if (!solved) return Failure(status);
    // The first entry of the stage: the calculated capacitors become its reference values.
    if (!c.CapsExact)
        for (int n = 1; n <= kCapacitorSlots; ++n) {
            c.Components[kResistorSlots + n].Alternative = C(c, n);
            d.CapSets[stage].Alternative[static_cast<std::size_t>(n)] = C(c, n);
        }
    const long double gainBefore = c.ActualGain;
    for (int n = 1; n <= kResistorSlots; ++n)
        R(c, n) = solved->R[static_cast<std::size_t>(n)];
    for (int n = 1; n <= kCapacitorSlots; ++n) {
        TComponentItem& item = c.Components[kResistorSlots + n];
        item.Value = solved->C[static_cast<std::size_t>(n)];
        item.Offset = item.Value - item.Alternative;
        item.StandardMark = FindStandardCapacitor(item.Value).has_value() ? 1 : 0;
        d.CapSets[stage].Value[static_cast<std::size_t>(n)] = item.Value;
        d.CapSetsWorking[stage].Value[static_cast<std::size_t>(n)] = item.Value;
    }
    if (finitePositive(C(c, 1)) && finitePositive(C(c, 2)) && c.CapRatio != 0.0L)
        c.CapRatio = static_cast<long double>(C(c, 2)) / static_cast<long double>(C(c, 1));
    c.CapsExact = 1;
    UpdateSensitivities(d, stage);
    UpdateActualGain(d, stage);
    MarkStepChanged(d);
    RecalcResult r;
    r.status = RecalcStatus::Ok;
    r.gainChange = GainChange(gainBefore, c.ActualGain);
    return r;
}

} // namespace

RecalcResult SetCapacitors(TDesign& d, int stage,
                           const std::array<long double, kCapacitorSlots + 1>& farads) {
    if (stage < 1 || stage > d.StageCount) return Failure(RecalcStatus::Failed);
    if (d.Components.StandardROn) return Failure(RecalcStatus::Locked);
    const CatalogueEntry* e = StageCircuitEntry(d, stage);
    const auto plan = e ? CapacitorAdjustmentPlan(e->key) : std::nullopt;
    if (!plan) return Failure(RecalcStatus::NotAmenable);
    const TStageCircuit& c = d.Circuits[stage];
    ComponentValues<long double> values = StageComponentValues(c);
    for (int n = 1; n <= std::min<int>(c.CapacitorCount, kCapacitorSlots); ++n)
        if (farads[static_cast<std::size_t>(n)] != 0.0L) {
            if (!finitePositive(farads[static_cast<std::size_t>(n)])) return Failure(RecalcStatus::Invalid);
            // Solved for the value the design record will hold (and a design file
            // stores), so the same capacitors always give the same resistors.
            values.C[static_cast<std::size_t>(n)] = Real48(farads[static_cast<std::size_t>(n)]).value();
        }
    return Apply(d, stage, values, *plan);
}

RecalcResult SetCapacitor(TDesign& d, int stage, int n, long double farads) {
    std::array<long double, kCapacitorSlots + 1> f{};
    if (n >= 1 && n <= kCapacitorSlots) f[static_cast<std::size_t>(n)] = farads;
    return SetCapacitors(d, stage, f);
}

RecalcResult StepCapacitors(TDesign& d, int stage, CapacitorGroup group, int direction) {
    if (stage < 1 || stage > d.StageCount) return Failure(RecalcStatus::Failed);
    const TStageCircuit& c = d.Circuits[stage];
    const CapStep mode = direction > 0 ? CapStep::Up : CapStep::Down;
    std::array<long double, kCapacitorSlots + 1> f{};
    for (int n = 1; n <= std::min<int>(c.CapacitorCount, kCapacitorSlots); ++n) {
        if (group == CapacitorGroup::C2Only && n != 2) continue;
        if (const auto v = StepCapacitor(mode, C(c, n))) f[static_cast<std::size_t>(n)] = *v;
    }
    return SetCapacitors(d, stage, f);
}

RecalcResult StepGainPair(TDesign& d, int stage, int direction) {
    if (stage < 1 || stage > d.StageCount) return Failure(RecalcStatus::Failed);
    if (d.Components.StandardROn) return Failure(RecalcStatus::Locked);
    const TStageCircuit& c = d.Circuits[stage];
    const CatalogueEntry* e = StageCircuitEntry(d, stage);
    const auto plan = e ? CapacitorAdjustmentPlan(e->key) : std::nullopt;
    if (!plan || !c.GainPair) return Failure(RecalcStatus::NotAmenable);
    const int n = c.ResistorCount;
    ComponentValues<long double> values = StageComponentValues(c);
    const auto nb = FindNeighbours(values.R[static_cast<std::size_t>(n)], Series::E24);
    if (!nb) return Failure(RecalcStatus::Failed);
    const SeriesPosition p = direction > 0
                                 ? (nb->standard ? StepPosition(Series::E24, nb->upper, 1) : nb->upper)
                                 : (nb->standard ? StepPosition(Series::E24, nb->lower, -1) : nb->lower);
    values.R[static_cast<std::size_t>(n)] = SeriesValue(Series::E24, p);
    AdjustmentPlan keepPoles = *plan;
    keepPoles.gain = false;
    // The pair's own resistors are not solved for: the pole resistors come first in every
    // plan, so keep as many as there are pole targets.
    keepPoles.resistors.resize(isFirstOrder(d.Stages[stage].StageType) ? 1 : 2);
    if (keepPoles.wz) keepPoles.resistors.push_back(plan->resistors.back());
    RecalcResult r = Apply(d, stage, values, keepPoles);
    if (r.ok()) {
        d.Circuits[stage].GainPairIndex = static_cast<int16_t>(p.index);
        d.Circuits[stage].GainPairExponent = static_cast<int16_t>(p.exponent);
    }
    return r;
}

void ResetStage(TDesign& d, int stage) {
    if (stage < 1 || stage > d.StageCount) return;
    TStageCircuit& c = d.Circuits[stage];
    if (c.CapsExact)
        for (int n = 1; n <= kCapacitorSlots; ++n) {
            d.CapSets[stage].Value[static_cast<std::size_t>(n)] =
                c.Components[kResistorSlots + n].Alternative;
            d.CapSetsWorking[stage].Value[static_cast<std::size_t>(n)] =
                c.Components[kResistorSlots + n].Alternative;
        }
    c.CapsExact = 0;
    for (int n = 1; n <= kCapacitorSlots; ++n)
        c.Components[kResistorSlots + n].Offset = 0.0L;
    LoadAndCalculate(d, stage);
    MarkStepChanged(d);
}

void ForgetEnteredCapacitors(TDesign& d, int stage) {
    if (stage < 1 || stage > d.StageCount) return;
    TStageCircuit& c = d.Circuits[stage];
    if (!c.CapsExact) return;
    for (TCapacitorSet* set : {&d.CapSets[stage], &d.CapSetsWorking[stage]})
        set->Value = set->Alternative;
    for (int n = 1; n <= kCapacitorSlots; ++n)
        c.Components[kResistorSlots + n].Offset = 0.0L;
    c.CapsExact = 0;
    MarkStepChanged(d);
}

ComponentValues<long double> ReferenceComponentValues(const TDesign& d, int stage) {
    const TStageCircuit& c = d.Circuits[stage];
    ComponentValues<long double> exact = StageComponentValues(c);
    for (int n = 1; n <= kResistorSlots; ++n)
        exact.R[static_cast<std::size_t>(n)] = ExactResistor(c, n);
    if (!c.CapsExact) return exact;
    // The design record is large; the copy lives on the heap.
    auto copy = std::make_unique<TDesign>(d);
    ResetStage(*copy, stage);
    if (copy->Circuits[stage].NotRealisable) return exact;
    return StageComponentValues(copy->Circuits[stage]);
}

// ---- Resistor entry ---------------------------------------------------------------------

std::optional<long double> ParseResistance(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    long double multiplier = 1.0L;
    switch (text.back()) {
    case 'G':
    case 'g':
        multiplier = 1.0e9L;
        break;
    case 'M':
    case 'm':
        multiplier = 1.0e6L;
        break;
    case 'K':
    case 'k':
        multiplier = 1.0e3L;
        break;
    default:
        break;
    }
    if (multiplier != 1.0L) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    const std::string digits(text);
    char* end = nullptr;
    const long double v = std::strtold(digits.c_str(), &end);
    if (end != digits.c_str() + digits.size() || !std::isfinite(v)) return std::nullopt;
    return v * multiplier;
}

void AssignResistor(TDesign& d, int stage, int n, long double ohms) {
    if (stage < 1 || stage > d.StageCount || n < 1 || n > kResistorSlots) return;
    TComponentItem& item = d.Circuits[stage].Components[n];
    item.Adjusted = ohms;
    item.AdjustedMark = IsStandardResistor(ohms, d.Components.ResistorTolerance) ? 1 : 0;
    d.Opt.ResistorAdjustmentDone = 1;
    MarkStepChanged(d);
}

// ---- All capacitors standard ------------------------------------------------------------

namespace {

// The standard values a capacitor may take, the nearest (in stock) first, then the other
// series neighbour (in stock). A series value keeps itself; nothing stands in for a value
// that is not positive or, with the inventory, for which nothing is in stock.
std::vector<long double> StandardCapacitorChoices(long double now, const Inventory* inventory) {
    std::vector<long double> out;
    const auto nb = FindNeighbours(now, Series::E12);
    if (!nb) return out;
    const long double lower = SeriesValue(Series::E12, nb->lower),
                      upper = SeriesValue(Series::E12, nb->upper);
    if (inventory) {
        const auto nearest = InventoryValue(*inventory, InventoryKind::Capacitors, now);
        if (!nearest) return out;
        out.push_back(*nearest);
        for (const long double v : {lower, upper})
            if (!nb->standard && v != *nearest && InStock(*inventory, InventoryKind::Capacitors, v))
                out.push_back(v);
        return out;
    }
    if (nb->standard) return {lower};
    const bool lowerNearer = std::fabs(now - lower) <= std::fabs(upper - now);
    return lowerNearer ? std::vector<long double>{lower, upper} : std::vector<long double>{upper, lower};
}

} // namespace

std::vector<ValueNote> MakeCapacitorsStandard(TDesign& d, const Inventory* capacitorInventory) {
    std::vector<ValueNote> notes;
    if (capacitorInventory && !StockedValues(*capacitorInventory, InventoryKind::Capacitors)) {
        ValueNote none;
        none.kind = ValueNote::Kind::NoCapacitorInStock;
        notes.push_back(none);
        return notes;
    }
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        if (c.NotRealisable) continue;
        // The capacitors that move and their choices, nearest first.
        std::vector<int> moving;
        std::array<std::vector<long double>, kCapacitorSlots + 1> choices{};
        for (int n = 1; n <= std::min<int>(c.CapacitorCount, kCapacitorSlots); ++n) {
            const long double now = C(c, n);
            std::vector<long double> v = StandardCapacitorChoices(now, capacitorInventory);
            if (v.empty() && capacitorInventory && now > 0.0L)
                notes.push_back({ValueNote::Kind::KeptValue,
                                 i,
                                 true,
                                 n,
                                 now,
                                 StockedValues(*capacitorInventory, InventoryKind::Capacitors),
                                 {}});
            if (v.empty() || std::fabs(v.front() - now) <= 1.0e-9L * now) continue;
            choices[static_cast<std::size_t>(n)] = std::move(v);
            moving.push_back(n);
        }
        if (moving.empty()) continue;
        // A design equation may bound a capacitor ratio (the multiple-feedback lowpass needs
        // C2/C1 >= 4 Qp^2 (K + 1)), so the nearest values may make the circuit unbuildable
        // where the neighbour on the other side does not. The combinations are tried with
        // as few second choices as possible first, so the nearest values win whenever they
        // work; the first that the recalculation accepts is kept.
        const std::size_t count = moving.size();
        std::vector<unsigned> combinations;
        for (unsigned mask = 0; mask < (1u << count); ++mask) {
            bool possible = true;
            for (std::size_t k = 0; k < count; ++k)
                if ((mask >> k & 1u) && choices[static_cast<std::size_t>(moving[k])].size() < 2)
                    possible = false;
            if (possible) combinations.push_back(mask);
        }
        std::stable_sort(combinations.begin(), combinations.end(),
                         [](unsigned a, unsigned b) { return std::popcount(a) < std::popcount(b); });
        RecalcResult first;
        bool done = false;
        for (std::size_t t = 0; t < combinations.size() && !done; ++t) {
            std::array<long double, kCapacitorSlots + 1> f{};
            for (std::size_t k = 0; k < count; ++k) {
                const auto n = static_cast<std::size_t>(moving[k]);
                f[n] = choices[n][combinations[t] >> k & 1u];
            }
            const RecalcResult r = SetCapacitors(d, i, f);
            if (t == 0) first = r;
            done = r.ok();
            // Locked or tied capacitors refuse every combination alike.
            if (r.status == RecalcStatus::Locked || r.status == RecalcStatus::NotAmenable) break;
        }
        if (!done)
            notes.push_back({ValueNote::Kind::StageRefused, i, true, 0, 0, std::nullopt, first.status});
    }
    return notes;
}

// ---- After reading a design file ----------------------------------------------------------

EnteredCapacitors TakeEnteredCapacitors(TDesign& d) {
    EnteredCapacitors out;
    for (int i = 1; i <= d.StageCount; ++i) {
        TStageCircuit& c = d.Circuits[i];
        if (!c.CapsExact) continue;
        out.sets[static_cast<std::size_t>(i)] = d.CapSets[i];
        for (TCapacitorSet* set : {&d.CapSets[i], &d.CapSetsWorking[i]})
            set->Value = set->Alternative;
        c.CapsExact = 0;
    }
    return out;
}

std::vector<ValueNote> RestoreEnteredValues(TDesign& d, const EnteredCapacitors& entered,
                                            const Inventory* resistorInventory) {
    std::vector<ValueNote> notes;
    // Capacitors are locked while standard values are on; they are unlocked while the
    // entries are made again, as they were when the user made them.
    const uint8_t standardROn = d.Components.StandardROn;
    d.Components.StandardROn = 0;
    for (int i = 1; i <= d.StageCount; ++i) {
        const auto& stored = entered.sets[static_cast<std::size_t>(i)];
        if (!stored) continue;
        TStageCircuit& c = d.Circuits[i];
        std::array<long double, kCapacitorSlots + 1> f{};
        for (int n = 1; n <= std::min<int>(c.CapacitorCount, kCapacitorSlots); ++n)
            f[static_cast<std::size_t>(n)] = stored->Value[static_cast<std::size_t>(n)];
        const RecalcResult r = c.NotRealisable ? Failure(RecalcStatus::Failed) : SetCapacitors(d, i, f);
        if (!r.ok()) {
            notes.push_back({ValueNote::Kind::StageRefused, i, true, 0, 0, std::nullopt, r.status});
            continue;
        }
        // The reference values are the stored ones, bit for bit.
        d.CapSets[i] = d.CapSetsWorking[i] = *stored;
        for (int n = 1; n <= kCapacitorSlots; ++n) {
            TComponentItem& item = c.Components[kResistorSlots + n];
            item.Alternative = stored->Alternative[static_cast<std::size_t>(n)];
            item.Offset = item.Value - item.Alternative;
        }
    }
    d.Components.StandardROn = standardROn;
    if (standardROn) {
        const auto more = ResubstituteAll(d, resistorInventory);
        notes.insert(notes.end(), more.begin(), more.end());
    }
    return notes;
}

} // namespace velmora
