// Standard resistor substitution: the candidates of each resistor, the two strategies and
// the design-wide step that switches standard values on and off.
#include "circuits/standard_substitution.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

#include "approx/attenuation_mask.h"
#include "circuits/components.h"
#include "circuits/inventory_lookup.h"
#include "stages/stage_types.h"

namespace velmora {
namespace {

using Cx = std::complex<long double>;

// How many of a stage's best-ranked combinations the whole-filter choice considers
// beside strategy 2's; more rarely help, since they deviate more from the target.
constexpr std::size_t kRankedKept = 4;
// A notch's shoulders, relative to its zero frequency.
constexpr long double kNotchShoulder = 0.05L;
// Band edges this far (a ratio) from a stage's frequencies count as near it.
constexpr long double kEdgeReach = 10.0L;
// A whole-filter choice replaces another only when its worst margin is larger by this
// much (dB), so that rounding never decides.
constexpr long double kFigureStep = 1.0e-9L;

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

std::vector<long double> DecisiveFrequencies(const TDesign& d, int stage) {
    const TStageCoeffs& st = d.Stages[stage];
    const long double w0 = StageFrequency(st);
    std::vector<long double> w;
    if (!finitePositive(w0)) return w;
    w.push_back(w0);
    long double lo = w0, hi = w0;
    if (!isFirstOrder(st.StageType)) {
        const long double qp = st.Qp;
        if (finitePositive(qp)) {
            // Half-power points of the pole pair's resonance, and its peak: that of a
            // lowpass below wp and of a highpass above it.
            const long double h = 0.5L / qp, root = std::sqrt(1.0L + h * h);
            w.push_back(w0 * (root - h));
            w.push_back(w0 * (root + h));
            if (qp > std::numbers::sqrt2_v<long double> / 2.0L) {
                const long double k = std::sqrt(1.0L - 0.5L / (qp * qp));
                w.push_back(w0 * k);
                w.push_back(w0 / k);
            }
        }
    } else {
        w.push_back(w0 / 2.0L);
        w.push_back(w0 * 2.0L);
    }
    if (isNotch(st.StageType) && finitePositive(st.Wz)) {
        const long double wz = st.Wz;
        w.push_back(wz * (1.0L - kNotchShoulder));
        w.push_back(wz * (1.0L + kNotchShoulder));
        lo = std::min(lo, wz);
        hi = std::max(hi, wz);
    }
    std::vector<long double> edges;
    const Specification& s = d.Spec;
    if (s.FilterType == Lowpass || s.FilterType == Highpass) {
        edges = {s.wpb, s.wsb};
    } else if (s.FilterType == Bandpass || s.FilterType == Bandstop) {
        const FrequencyBand p = BandAbout(s.w0, s.Bpb), q = BandAbout(s.w0, s.Bsb);
        edges = {p.Lo, p.Hi, q.Lo, q.Hi};
    }
    for (const long double e : edges)
        if (finitePositive(e) && e >= lo / kEdgeReach && e <= hi * kEdgeReach) w.push_back(e);
    return w;
}

long double DeviationDb(const RealisedStage<long double>& realised, const RealisedStage<long double>& target,
                        const std::vector<long double>& w) {
    constexpr long double inf = std::numeric_limits<long double>::infinity();
    long double worst = 0.0L;
    for (const long double x : w) {
        const long double t = std::abs(Response(target, x));
        if (!finitePositive(t)) continue;
        const long double h = std::abs(Response(realised, x));
        if (!finitePositive(h)) return inf;
        worst = std::max(worst, std::fabs(20.0L * std::log10(h / t)));
    }
    return std::isfinite(worst) ? worst : inf;
}

std::vector<long double> MaskFeatureFrequencies(const TDesign& d) {
    std::vector<long double> f;
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCoeffs& st = d.Stages[i];
        const long double wp = st.Wp, qp = st.Qp, wz = st.Wz;
        if (wp > 0.0L) {
            f.push_back(wp);
            if (qp > 0.5L) {
                f.push_back(wp * (1.0L - 0.5L / qp));
                f.push_back(wp * (1.0L + 0.5L / qp));
            }
        }
        if (wz > 0.0L) f.push_back(wz);
    }
    return f;
}

std::optional<long double> CascadeMaskFigure(const TDesign& d,
                                             const std::vector<ComponentValues<long double>>& stageValues) {
    if (d.Spec.FilterType > Bandstop || static_cast<int>(stageValues.size()) != d.StageCount)
        return std::nullopt;
    std::vector<RealisedStage<long double>> stages;
    for (int i = 1; i <= d.StageCount; ++i) {
        const CircuitRoutines* routines = StageCircuitRoutines(d, i);
        if (!routines || d.Circuits[i].NotRealisable) return std::nullopt;
        stages.push_back(routines->realise(stageValues[static_cast<std::size_t>(i - 1)]));
    }
    // The search below evaluates this some thousand times per figure, and the whole-filter
    // choice asks for a figure per option of every stage: the squared magnitudes of the
    // cubics at s = jw, a0 - a2 w^2 + j (a1 w - a3 w^3), are multiplied out and one square
    // root taken at the end, instead of a complex evaluation and a hypot per stage.
    const GainFunction gain = [&stages](long double w) -> std::optional<long double> {
        const long double w2 = w * w;
        const auto squared = [w, w2](const std::array<long double, 4>& a) {
            const long double re = a[0] - a[2] * w2, im = w * (a[1] - a[3] * w2);
            return re * re + im * im;
        };
        long double g2 = 1.0L;
        for (const auto& h : stages) {
            const long double den = squared(h.den);
            if (!(den > 0.0L)) return std::nullopt;
            g2 *= squared(h.num) / den;
        }
        return std::sqrt(g2);
    };
    const auto m = CheckMask(d.Spec, d.Spec.OverallGain.value(), gain, MaskFeatureFrequencies(d));
    if (!m) return std::nullopt;
    return m->WorstMarginDb();
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
    const std::vector<long double> w = DecisiveFrequencies(d, stage);
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
    out.nearest = out.values;
    out.deviation = DeviationDb(routines->realise(out.values), target, w);
    if (options.strategy == SubstitutionStrategy::Nearest) return out;

    // Every combination of the pole-frequency resistors' candidates, counted like a mixed
    // radix number from the nearest-neighbour combination (all digits 0). They are ranked
    // by their figure; on equal figures the one met first (nearer neighbours) ranks first.
    std::vector<int> group;
    for (const int n : PoleFrequencyResistors(*routines))
        if (n <= c.ResistorCount && std::find(group.begin(), group.end(), n) == group.end())
            group.push_back(n);
    struct Ranked {
        long double figure;
        ComponentValues<long double> values;
    };
    std::vector<Ranked> ranked{{out.deviation, out.values}};
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
        const long double figure = DeviationDb(routines->realise(trial), target, w);
        if (std::isfinite(figure)) ranked.push_back({figure, trial});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Ranked& x, const Ranked& y) { return x.figure < y.figure; });
    if (ranked.size() > kRankedKept) ranked.resize(kRankedKept);
    out.values = ranked.front().values;
    out.deviation = ranked.front().figure;
    for (const Ranked& r : ranked)
        out.ranked.push_back(r.values);
    return out;
}

// ---- The design-wide step ------------------------------------------------------------

std::vector<int> StagesWithoutExactCapacitors(const TDesign& d) {
    std::vector<int> out;
    for (int i = 1; i <= d.StageCount; ++i)
        if (!d.Circuits[i].CapsExact) out.push_back(i);
    return out;
}

bool StandardValuesAvailable(const TDesign& d) {
    return SeriesForTolerance(d.Components.ResistorTolerance).has_value();
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

// Values as the component slots store them (6-byte reals), so that a choice judged here
// is judged on the values the analyses will see.
ComponentValues<long double> AsStored(ComponentValues<long double> v) {
    for (auto& r : v.R)
        r = Real48(r).value();
    return v;
}

bool SameResistors(const ComponentValues<long double>& x, const ComponentValues<long double>& y) {
    return x.R == y.R;
}

void StoreResistors(TDesign& d, int stage, const ComponentValues<long double>& v) {
    TStageCircuit& c = d.Circuits[stage];
    for (int n = 1; n <= std::min<int>(c.ResistorCount, kResistorSlots); ++n)
        R(c, n) = v.R[static_cast<std::size_t>(n)];
}

// A stage whose substitution is decided, with the values it may take: its best-ranked
// combinations (strategy 1), and strategy 2's choice last unless it is among them.
struct StageChoice {
    int stage = 0;
    std::vector<ComponentValues<long double>> options;
    std::size_t chosen = 0, nearest = 0;
    std::vector<int> keptExact;
};

// Saves the stage's exact values (once) and works out its substitution; nothing for a
// stage without a realisable circuit.
std::optional<StageChoice> PrepareStage(TDesign& d, int stage, const SubstitutionOptions& o) {
    TStageCircuit& c = d.Circuits[stage];
    if (c.NotRealisable || !StageCircuitRoutines(d, stage)) return std::nullopt;
    for (int n = 1; n <= std::min<int>(c.ResistorCount, kResistorSlots); ++n) {
        TComponentItem& item = c.Components[n];
        if (!(item.Exact > 0.0L)) item.Exact = item.Value;
        item.InUse = 1;
    }
    ComponentValues<long double> exact = StageComponentValues(c);
    for (int n = 1; n <= kResistorSlots; ++n)
        exact.R[static_cast<std::size_t>(n)] = n <= c.ResistorCount ? ExactResistor(c, n) : 0.0L;
    const auto s = SubstituteStandardResistors(d, stage, exact, o);
    if (!s) return std::nullopt;
    StageChoice choice;
    choice.stage = stage;
    choice.keptExact = s->keptExact;
    for (const auto& v : s->ranked)
        choice.options.push_back(AsStored(v));
    if (choice.options.empty()) choice.options.push_back(AsStored(s->values));
    const ComponentValues<long double> nearest = AsStored(s->nearest);
    choice.nearest = choice.options.size();
    for (std::size_t k = 0; k < choice.options.size(); ++k)
        if (SameResistors(choice.options[k], nearest)) choice.nearest = k;
    if (choice.nearest == choice.options.size()) choice.options.push_back(nearest);
    return choice;
}

// Strategy 1's choice on the whole filter (see the header): the stages in `choices` take
// the options that give the cascade the largest worst mask margin, every other stage
// keeping its values. Without a mask each keeps its best-ranked option.
void ChooseOnWholeFilter(const TDesign& d, std::vector<StageChoice>& choices) {
    if (choices.empty()) return;
    std::vector<ComponentValues<long double>> values;
    for (int i = 1; i <= d.StageCount; ++i)
        values.push_back(StageComponentValues(d.Circuits[i]));
    const auto figureOf = [&](const std::vector<std::size_t>& pick) {
        for (std::size_t k = 0; k < choices.size(); ++k)
            values[static_cast<std::size_t>(choices[k].stage - 1)] = choices[k].options[pick[k]];
        return CascadeMaskFigure(d, values);
    };
    std::vector<std::size_t> best(choices.size(), 0), nearest;
    for (const StageChoice& c : choices)
        nearest.push_back(c.nearest);
    const auto rankedFigure = figureOf(best), nearestFigure = figureOf(nearest);
    if (!rankedFigure || !nearestFigure) return;
    long double bestFigure = *rankedFigure;
    if (*nearestFigure > *rankedFigure + kFigureStep) {
        best = nearest;
        bestFigure = *nearestFigure;
    }
    // Each stage in turn takes its best option with the others as they stand; a few
    // rounds settle it (every change raises the figure, so this ends).
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        bool changed = false;
        for (std::size_t k = 0; k < choices.size(); ++k)
            for (std::size_t j = 0; j < choices[k].options.size(); ++j) {
                if (j == best[k]) continue;
                std::vector<std::size_t> trial = best;
                trial[k] = j;
                const auto f = figureOf(trial);
                if (f && *f > bestFigure + kFigureStep) {
                    best = trial;
                    bestFigure = *f;
                    changed = true;
                }
            }
        if (!changed) break;
    }
    for (std::size_t k = 0; k < choices.size(); ++k)
        choices[k].chosen = best[k];
}

std::vector<ValueNote> KeptExactNotes(const TDesign& d, const StageChoice& c, const SubstitutionOptions& o) {
    std::vector<ValueNote> notes;
    for (const int n : c.keptExact) {
        ValueNote note;
        note.stage = c.stage;
        note.n = n;
        note.value = R(d.Circuits[c.stage], n);
        if (o.inventory) note.stocked = StockedValues(*o.inventory, ResistorKind(o.series));
        notes.push_back(note);
    }
    return notes;
}

// Substitutes the given stages (strategy 1: chosen on the whole filter) and returns the
// notes on resistors that kept their exact values.
std::vector<ValueNote> SubstituteStages(TDesign& d, const std::vector<int>& stages,
                                        const SubstitutionOptions& o) {
    std::vector<StageChoice> choices;
    for (const int i : stages)
        if (auto c = PrepareStage(d, i, o)) choices.push_back(std::move(*c));
    if (o.strategy == SubstitutionStrategy::Optimised) ChooseOnWholeFilter(d, choices);
    std::vector<ValueNote> notes;
    for (const StageChoice& c : choices) {
        StoreResistors(d, c.stage,
                       c.options[o.strategy == SubstitutionStrategy::Nearest ? c.nearest : c.chosen]);
        UpdateActualGain(d, c.stage);
        const auto more = KeptExactNotes(d, c, o);
        notes.insert(notes.end(), more.begin(), more.end());
    }
    return notes;
}

} // namespace

StandardRResult SwitchStandardROn(TDesign& d, const Inventory* resistorInventory) {
    StandardRResult r;
    r.noSeries = !StandardValuesAvailable(d);
    if (r.noSeries) return r;
    r.stagesWithoutExactCapacitors = StagesWithoutExactCapacitors(d);
    std::vector<int> stages;
    for (int i = 1; i <= d.StageCount; ++i)
        stages.push_back(i);
    r.notes = SubstituteStages(d, stages, OptionsOf(d, resistorInventory));
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

std::vector<ValueNote> ResubstituteAll(TDesign& d, const Inventory* resistorInventory) {
    if (!d.Components.StandardROn || !StandardValuesAvailable(d)) return {};
    std::vector<int> stages;
    for (int i = 1; i <= d.StageCount; ++i) {
        for (int n = 1; n <= kResistorSlots; ++n)
            d.Circuits[i].Components[n].Exact = 0.0L; // the recalculated values are the exact ones now
        stages.push_back(i);
    }
    return SubstituteStages(d, stages, OptionsOf(d, resistorInventory));
}

} // namespace velmora
