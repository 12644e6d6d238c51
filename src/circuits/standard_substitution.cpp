// Standard resistor substitution: the candidates of each resistor, the two strategies and
// the design-wide step that switches standard values on and off.
#include "circuits/standard_substitution.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

#include "circuits/components.h"
#include "circuits/inventory_lookup.h"
#include "stages/stage_types.h"

namespace velmora {
namespace {

using Cx = std::complex<long double>;

constexpr int kDeviationPoints = 201;
// The grid reaches a decade beyond the stage's characteristic frequencies: a second-order
// response has settled to its asymptotes there, so the comparison covers every place a
// component error shows.
constexpr long double kGridReach = 10.0L;

bool finitePositive(long double x) {
    return std::isfinite(x) && x > 0.0L;
}

Cx Evaluate(const std::array<long double, 4>& a, Cx s) {
    return ((a[3] * s + a[2]) * s + a[1]) * s + a[0];
}

Cx Response(const RealisedStage<long double>& h, long double w) {
    const Cx s(0.0L, w);
    return Evaluate(h.num, s) / Evaluate(h.den, s);
}

// The values one resistor may take.
struct Candidates {
    std::vector<long double> values; // first: the nearer one (strategy 2's choice)
    bool keptExact = false;          // nothing in stock: the exact value stays
};

// The inventory section of a resistor series.
InventoryKind ResistorKind(Series series) {
    return series == Series::E96   ? InventoryKind::Resistors1
           : series == Series::E24 ? InventoryKind::Resistors5
                                   : InventoryKind::Resistors10;
}

Candidates ResistorCandidates(long double exact, const SubstitutionOptions& o) {
    Candidates c;
    const auto nb = FindNeighbours(exact, o.series);
    if (!nb) {
        c.values = {exact}; // an absent resistor stays absent
        return c;
    }
    long double lower = SeriesValue(o.series, nb->lower), upper = SeriesValue(o.series, nb->upper);
    if (nb->standard) lower = upper = SeriesValue(o.series, nb->lower);
    std::vector<long double> usable;
    if (o.inventory) {
        const InventoryKind kind = ResistorKind(o.series);
        const bool lowerIn = InStock(*o.inventory, kind, lower), upperIn = InStock(*o.inventory, kind, upper);
        if (lowerIn) usable.push_back(lower);
        if (upperIn && upper != lower) usable.push_back(upper);
        if (usable.empty()) {
            if (const auto v = InventoryValue(*o.inventory, kind, exact)) {
                usable.push_back(*v);
            } else {
                c.values = {exact};
                c.keptExact = true;
                return c;
            }
        }
    } else {
        usable.push_back(lower);
        if (upper != lower) usable.push_back(upper);
    }
    // The nearer first; on equal distance the lower (it comes first already).
    if (usable.size() == 2 && std::fabs(usable[1] - exact) < std::fabs(usable[0] - exact))
        std::swap(usable[0], usable[1]);
    c.values = usable;
    return c;
}

} // namespace

std::pair<long double, long double> StageFrequencySpan(const TStageCoeffs& s) {
    long double w0 = StageFrequency(s), w1 = w0;
    if (isNotch(s.StageType) && finitePositive(s.Wz)) {
        w0 = std::min<long double>(w0, s.Wz);
        w1 = std::max<long double>(w1, s.Wz);
    }
    return {w0, w1};
}

long double ResponseDeviation(const RealisedStage<long double>& realised,
                              const RealisedStage<long double>& exact, long double w0, long double w1) {
    if (!finitePositive(w0) || !finitePositive(w1)) return std::numeric_limits<long double>::infinity();
    const long double lo = std::log(w0 / kGridReach), hi = std::log(w1 * kGridReach);
    long double worst = 0.0L, peak = 0.0L;
    for (int i = 0; i < kDeviationPoints; ++i) {
        const long double w = std::exp(lo + (hi - lo) * i / (kDeviationPoints - 1));
        const Cx t = Response(exact, w), h = Response(realised, w);
        worst = std::max(worst, std::abs(h - t));
        peak = std::max(peak, std::abs(t));
    }
    const long double figure = worst / peak;
    return std::isfinite(figure) ? figure : std::numeric_limits<long double>::infinity();
}

std::vector<int> ParseAdjustList(std::string_view list) {
    std::vector<int> fields;
    std::size_t pos = 0;
    while (pos < list.size()) {
        const std::size_t comma = std::min(list.find(',', pos), list.size());
        const std::string_view f = list.substr(pos, comma - pos);
        if (f.size() != 2 || f[0] < '0' || f[0] > '9' || f[1] < '0' || f[1] > '9') return {};
        fields.push_back((f[0] - '0') * 10 + (f[1] - '0'));
        pos = comma + 1;
    }
    if (fields.empty() || fields[0] != static_cast<int>(fields.size()) - 1) return {};
    std::vector<int> out(fields.begin() + 1, fields.end());
    for (const int n : out)
        if (n < 1 || n > kResistorSlots) return {};
    return out;
}

std::vector<int> PoleFrequencyResistors(const CircuitRoutines& routines) {
    if (!routines.lists.den[2].empty()) return ParseAdjustList(routines.lists.den[2]);
    return ParseAdjustList(routines.lists.den[0]);
}

std::optional<StageSubstitution> SubstituteStandardResistors(const TDesign& d, int stage,
                                                             const ComponentValues<long double>& exact,
                                                             const SubstitutionOptions& options) {
    if (stage < 1 || stage > d.StageCount) return std::nullopt;
    const CircuitRoutines* routines = StageCircuitRoutines(d, stage);
    if (!routines) return std::nullopt;
    const TStageCircuit& c = d.Circuits[stage];
    const auto [w0, w1] = StageFrequencySpan(d.Stages[stage]);
    const RealisedStage<long double> target = routines->realise(exact);

    StageSubstitution out;
    out.values = exact;
    std::array<Candidates, kResistorSlots + 1> candidates{};
    for (int n = 1; n <= std::min<int>(c.ResistorCount, kResistorSlots); ++n) {
        candidates[static_cast<std::size_t>(n)] =
            ResistorCandidates(exact.R[static_cast<std::size_t>(n)], options);
        if (candidates[static_cast<std::size_t>(n)].keptExact) out.keptExact.push_back(n);
        out.values.R[static_cast<std::size_t>(n)] = candidates[static_cast<std::size_t>(n)].values.front();
    }
    out.deviation = ResponseDeviation(routines->realise(out.values), target, w0, w1);
    if (options.strategy == SubstitutionStrategy::Nearest) return out;

    // Every combination of the pole-frequency resistors' candidates, counted like a mixed
    // radix number; the nearest-neighbour combination (all digits 0) is the starting best,
    // so a combination replaces it only with a strictly smaller finite figure.
    std::vector<int> group;
    for (const int n : PoleFrequencyResistors(*routines))
        if (n <= c.ResistorCount && std::find(group.begin(), group.end(), n) == group.end())
            group.push_back(n);
    std::vector<std::size_t> digit(group.size(), 0);
    ComponentValues<long double> trial = out.values;
    while (true) {
        std::size_t k = 0;
        for (; k < group.size(); ++k) {
            const auto& vals = candidates[static_cast<std::size_t>(group[k])].values;
            if (++digit[k] < vals.size()) break;
            digit[k] = 0;
        }
        if (k == group.size()) break; // wrapped round: every combination seen
        for (std::size_t j = 0; j < group.size(); ++j)
            trial.R[static_cast<std::size_t>(group[j])] =
                candidates[static_cast<std::size_t>(group[j])].values[digit[j]];
        const long double figure = ResponseDeviation(routines->realise(trial), target, w0, w1);
        if (figure < out.deviation) {
            out.deviation = figure;
            out.values = trial;
        }
    }
    return out;
}

// ---- The design-wide step ------------------------------------------------------------

std::vector<int> StagesWithoutExactCapacitors(const TDesign& d) {
    std::vector<int> out;
    for (int i = 1; i <= d.StageCount; ++i)
        if (!d.Circuits[i].CapsExact) out.push_back(i);
    return out;
}

std::string CapacitorsNotExactMessage(const std::vector<int>& stages) {
    if (stages.empty()) return "";
    std::string list;
    for (std::size_t k = 0; k < stages.size(); ++k)
        list += (k ? "," : "") + std::to_string(stages[k]);
    return std::string("There are capacitor(s) in stage") + (stages.size() > 1 ? "s" : "") + " " + list +
           " not set to exact values.";
}

std::string StandardValuesUnavailableReason(const TDesign& d) {
    if (SeriesForTolerance(d.Components.ResistorTolerance)) return "";
    return "Standard resistor values exist only for 1%, 5% and 10% resistors.";
}

long double ExactResistor(const TStageCircuit& c, int n) {
    const long double saved = c.Components[n].Exact;
    return saved > 0.0L ? saved : static_cast<long double>(c.Components[n].Value);
}

void UpdateActualGain(TDesign& d, int stage) {
    const CircuitRoutines* routines = StageCircuitRoutines(d, stage);
    if (!routines) return;
    TStageCircuit& c = d.Circuits[stage];
    const auto h = routines->realise(StageComponentValues(c));
    // A predistorted notch stage reports the gain it has in operation, as its design does.
    if (const auto g = PredistortedNotchGain(d, stage, h)) {
        c.ActualGain = *g;
        return;
    }
    const auto p = RealisedParameters(h, d.Stages[stage].StageType);
    if (p && std::isfinite(p->gain) && p->gain != 0.0L) c.ActualGain = std::fabs(p->gain);
}

namespace {

SubstitutionOptions OptionsOf(const TDesign& d, const Inventory* inventory) {
    SubstitutionOptions o;
    o.series = SeriesForTolerance(d.Components.ResistorTolerance).value_or(Series::E96);
    o.strategy = d.Components.SubstitutionStrategy == 2 ? SubstitutionStrategy::Nearest
                                                        : SubstitutionStrategy::Optimised;
    o.inventory = d.Components.UseResInventory ? inventory : nullptr;
    return o;
}

// Saves the stage's exact values (once) and substitutes them; the notes name resistors
// that kept their exact values.
std::vector<std::string> SubstituteStage(TDesign& d, int stage, const SubstitutionOptions& o) {
    TStageCircuit& c = d.Circuits[stage];
    if (c.NotRealisable || !StageCircuitRoutines(d, stage)) return {};
    for (int n = 1; n <= std::min<int>(c.ResistorCount, kResistorSlots); ++n) {
        TComponentItem& item = c.Components[n];
        if (!(item.Exact > 0.0L)) item.Exact = item.Value;
        item.InUse = 1;
    }
    ComponentValues<long double> exact = StageComponentValues(c);
    for (int n = 1; n <= kResistorSlots; ++n)
        exact.R[static_cast<std::size_t>(n)] = n <= c.ResistorCount ? ExactResistor(c, n) : 0.0L;
    const auto s = SubstituteStandardResistors(d, stage, exact, o);
    if (!s) return {};
    for (int n = 1; n <= std::min<int>(c.ResistorCount, kResistorSlots); ++n)
        R(c, n) = s->values.R[static_cast<std::size_t>(n)];
    UpdateActualGain(d, stage);
    std::vector<std::string> notes;
    for (const int n : s->keptExact)
        notes.push_back("Stage " + std::to_string(stage) + ": R" + std::to_string(n) +
                        " keeps its exact value " + ResistanceDisplayText(R(c, n)) + " (" +
                        NoStandInReason(*o.inventory, ResistorKind(o.series)) + ").");
    return notes;
}

} // namespace

StandardRResult SwitchStandardROn(TDesign& d, const Inventory* resistorInventory) {
    StandardRResult r;
    r.refusal = StandardValuesUnavailableReason(d);
    if (!r.refusal.empty()) return r;
    r.capacitorsMessage = CapacitorsNotExactMessage(StagesWithoutExactCapacitors(d));
    const SubstitutionOptions o = OptionsOf(d, resistorInventory);
    for (int i = 1; i <= d.StageCount; ++i) {
        const auto notes = SubstituteStage(d, i, o);
        r.notes.insert(r.notes.end(), notes.begin(), notes.end());
    }
    d.Components.StandardROn = 1;
    MarkStepChanged(d);
    r.ok = true;
    return r;
}

void SwitchStandardROff(TDesign& d) {
    for (int i = 1; i <= d.StageCount; ++i) {
        TStageCircuit& c = d.Circuits[i];
        for (int n = 1; n <= kResistorSlots; ++n) {
            TComponentItem& item = c.Components[n];
            if (item.Exact > 0.0L) item.Value = item.Exact;
            item.Exact = 0.0L;
            item.InUse = 0;
        }
        for (int n = 1; n <= kCapacitorSlots; ++n)
            if (n <= c.CapacitorCount && d.CapSets[i].Value[static_cast<std::size_t>(n)] > 0.0L)
                C(c, n) = d.CapSets[i].Value[static_cast<std::size_t>(n)];
        UpdateActualGain(d, i);
    }
    d.Components.StandardROn = 0;
    MarkStepChanged(d);
}

StandardRResult SetSubstitutionStrategy(TDesign& d, int strategy, const Inventory* resistorInventory) {
    d.Components.SubstitutionStrategy = static_cast<uint8_t>(strategy == 2 ? 2 : 1);
    if (!d.Components.StandardROn) {
        StandardRResult r;
        r.ok = true;
        return r;
    }
    SwitchStandardROff(d);
    return SwitchStandardROn(d, resistorInventory);
}

std::vector<std::string> ResubstituteStage(TDesign& d, int stage, const Inventory* resistorInventory) {
    if (!d.Components.StandardROn || !StandardValuesUnavailableReason(d).empty()) return {};
    TStageCircuit& c = d.Circuits[stage];
    for (int n = 1; n <= kResistorSlots; ++n)
        c.Components[n].Exact = 0.0L; // the recalculated values are the exact ones now
    return SubstituteStage(d, stage, OptionsOf(d, resistorInventory));
}

} // namespace velmora
