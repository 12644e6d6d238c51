// Candidate evaluation, selection, the metrics texts and the automatic choice.
#include "circuits/selection.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>

#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "circuits/gain_spread.h"
#include "circuits/practical_values.h"
#include "circuits/standard_values.h"
#include "model/number_text.h"
#include "stages/gains.h"
#include "stages/stage_types.h"

namespace velmora {
namespace {

constexpr long double kLowestSelectedGbw = 1.0e6L; // Hz
// An actual gain this far from the desired one (in the shown units) is drawn in red. The
// allowance keeps a difference of exactly 0.001 (as typed) black despite binary rounding.
constexpr long double kGainShownTolerance = 0.001L + 1.0e-12L;

int32_t Spread(long double largest, long double smallest) {
    if (!(smallest > 0.0L) || !std::isfinite(largest) || !std::isfinite(smallest)) return kSpreadLimit;
    // Limited before truncation; a ratio that is whole but for the rounding of stored
    // values (10 nF / 1 nF = 9.9999999999) counts as whole.
    const long double q =
        std::min(largest / smallest * (1.0L + 1.0e-9L), static_cast<long double>(kSpreadLimit));
    return static_cast<int32_t>(q);
}

int32_t SpreadOver(const TStageCircuit& c, int first, int last, int offset) {
    if (last < first) return 1;
    long double hi = -INFINITY, lo = INFINITY;
    for (int n = first; n <= last; ++n) {
        const long double v = c.Components[offset + n].Value;
        hi = std::max(hi, v);
        lo = std::min(lo, v);
    }
    return Spread(hi, lo);
}

int OfferedCount(const TDesign& d, int stage) {
    const StageTypeEntry* t = StageTypeInfo(d.Stages[stage].StageType);
    return t ? t->offered : 0;
}

std::string Fixed4(long double x) {
    return FixedText(x, 4);
}

} // namespace

int32_t ResistorSpread(const TStageCircuit& c) {
    const int n = std::min<int>(c.ResistorCount, kResistorSlots);
    return SpreadOver(c, 1, c.GainPair ? n - 2 : n, 0);
}

int32_t CapacitorSpread(const TStageCircuit& c) {
    return SpreadOver(c, 1, std::min<int>(c.CapacitorCount, kCapacitorSlots), kResistorSlots);
}

void CaptureDesiredGains(TDesign& d) {
    for (int i = 1; i <= d.StageCount; ++i)
        d.Circuits[i].DesiredGain = d.Circuits[i].ActualGain;
}

void InitialiseCircuitStep(TDesign& d, std::array<TCandidateSet, kMaxStages + 1>& sets) {
    for (int i = 1; i <= d.StageCount; ++i) {
        TStageCircuit& c = d.Circuits[i];
        c.Initialise = 1;
        c.CircuitChoice = 0;
        c.PrevChoice = 1;
        if (d.DesignLevel < LevelCircuitsSelected) {
            const CatalogueEntry* first = EntryByChoice(d.Stages[i].StageType, 1);
            c.CircuitNumber = static_cast<int16_t>(first ? first->number : 0);
        }
        if (!c.GbwChangedByUser) c.OpAmpGBW = DefaultOpAmpGbw(d.Stages[i]);
        sets[static_cast<std::size_t>(i)].Valid = 0;
    }
    CaptureDesiredGains(d);
}

void EvaluateCandidates(TDesign& d, int stage, TCandidateSet& set) {
    if (stage < 1 || stage > d.StageCount) return;
    const TStageCircuit saved = d.Circuits[stage];
    const TCapacitorSet savedSet = d.CapSets[stage], savedWorking = d.CapSetsWorking[stage];
    const long double desired = saved.DesiredGain > 0.0L ? saved.DesiredGain : saved.ActualGain;
    const int type = d.Stages[stage].StageType;

    for (int k = 1; k <= OfferedCount(d, stage); ++k) {
        const CatalogueEntry* e = EntryByChoice(type, k);
        TCircuitCandidate& cand = set.Candidates[static_cast<std::size_t>(k)];
        if (!e) continue;
        // The scratch copy: the candidate's own starting values; the user's options and
        // compensation apply only to the circuit the user has chosen.
        TStageCircuit& c = d.Circuits[stage];
        c = saved;
        const bool own = saved.CircuitChoice == k;
        c.CircuitChoice = static_cast<int16_t>(k);
        c.CircuitNumber = static_cast<int16_t>(e->number);
        c.Initialise = 1;
        if (!own) {
            c.CompensationInUse = 0;
            c.Predistort = 0;
        }
        c.DesiredGain = desired;
        c.ActualGain = desired;
        LoadCatalogueRow(d, stage);
        if (own) c.UseC1EqC2 = saved.UseC1EqC2;
        c.NotRealisable = 0;
        const bool ok = CalculateComponents(d, stage);

        cand.ResistorCount = c.ResistorCount;
        cand.CapacitorCount = c.CapacitorCount;
        cand.OpAmpCount = c.OpAmpCount;
        cand.DesiredGain = desired;
        cand.ActualGain = ok ? static_cast<long double>(c.ActualGain) : desired;
        cand.MinRecGBW = isFirstOrder(type) ? 0.0L : static_cast<long double>(c.MinRecGBW);
        cand.Inverting = c.Inverting;
        cand.GainFixed = c.GainFixed;
        cand.NotRealisable = ok ? 0 : 1;
        cand.PassiveGainSpread = 0.0L;
        cand.ActiveGainSpread = 0.0L;
        if (ok) {
            cand.ResistorSpread = ResistorSpread(c);
            cand.CapacitorSpread = CapacitorSpread(c);
            // The gain spread at the stage's own frequency with the stage's op-amp GBW
            // (entered capacitor values belong to the stage's own circuit only); an
            // excluded candidate is not rated.
            if (!cand.Excluded) {
                const auto spread = AnalyseStage(d, stage, c, StageAnalysisFrequency(d.Stages[stage]),
                                                 SettingsOf(d), own && saved.CapsExact);
                if (spread) {
                    cand.PassiveGainSpread = spread->PassiveSpread;
                    cand.ActiveGainSpread = spread->ActiveSpread;
                }
            }
        } else {
            cand.Excluded = 0;
            cand.ResistorSpread = kSpreadLimit;
            cand.CapacitorSpread = kSpreadLimit;
        }
    }
    // The stage as it was, then its own circuit recalculated.
    d.Circuits[stage] = saved;
    d.CapSets[stage] = savedSet;
    d.CapSetsWorking[stage] = savedWorking;
    if (saved.CircuitChoice != 0) LoadAndCalculate(d, stage);
    set.Valid = 1;
}

SelectStatus SelectCircuit(TDesign& d, int stage, int choice, const TCandidateSet& set) {
    if (stage < 1 || stage > d.StageCount) return SelectStatus::NoSuchChoice;
    const CatalogueEntry* e = EntryByChoice(d.Stages[stage].StageType, choice);
    if (!e) return SelectStatus::NoSuchChoice;
    const TCircuitCandidate& cand = set.Candidates[static_cast<std::size_t>(choice)];
    if (!set.Valid || cand.NotRealisable) return SelectStatus::NotRealisable;
    TStageCircuit& c = d.Circuits[stage];
    c.CircuitChoice = c.PrevChoice = static_cast<int16_t>(choice);
    c.CircuitNumber = static_cast<int16_t>(e->number);
    c.Initialise = 1;
    c.CompensationInUse = 0;
    c.Predistort = 0;
    if (!c.GbwChangedByUser)
        c.OpAmpGBW = std::max(static_cast<long double>(cand.MinRecGBW), kLowestSelectedGbw);
    // The design changes; the step-changed flag is left to the earlier steps, whose
    // changes make this step start afresh (the later steps recalculate on showing).
    d.Modified = 1;
    if (AllStagesSelected(d)) d.DesignLevel = std::max<uint8_t>(d.DesignLevel, LevelCircuitsSelected);
    return SelectStatus::Selected;
}

bool AllStagesSelected(const TDesign& d) {
    if (d.StageCount < 1) return false;
    for (int i = 1; i <= d.StageCount; ++i)
        if (d.Circuits[i].CircuitChoice == 0) return false;
    return true;
}

DesignFileResult CheckStoredCircuits(const TDesign& d) {
    if (d.DesignLevel < LevelCircuitsSelected) return {};
    const auto refused = [](DesignFileProblem problem, int stage) {
        DesignFileResult r;
        r.status = DesignFileStatus::BadContent;
        r.problem = problem;
        r.stage = stage;
        return r;
    };
    for (int i = 1; i <= std::min<int>(d.StageCount, kMaxStages); ++i) {
        const TStageCircuit& c = d.Circuits[i];
        if (c.CircuitChoice == 0) return refused(DesignFileProblem::NoCircuit, i);
        const CatalogueEntry* e = EntryByNumber(c.CircuitNumber);
        if (!e) {
            DesignFileResult r = refused(DesignFileProblem::UnknownCircuit, i);
            r.value = c.CircuitNumber;
            return r;
        }
        if (e->type != d.Stages[i].StageType) {
            DesignFileResult r = refused(DesignFileProblem::CircuitOfOtherType, i);
            r.field = e->key;
            r.value = d.Stages[i].StageType;
            r.limit = e->type;
            return r;
        }
    }
    return {};
}

std::string GbwText(long double hz) {
    if (hz > 1.0e9L) return FixedText(hz / 1.0e9L, 1) + " GHz";
    if (hz >= 1.0e7L) return FixedText(hz / 1.0e6L, 0) + " MHz";
    if (hz >= 1.0e5L) return FixedText(hz / 1.0e6L, 1) + " MHz";
    return FixedText(hz / 1.0e6L, 2) + " MHz";
}

CandidateTexts MetricsTexts(const TDesign& d, int stage, const TCircuitCandidate& c) {
    CandidateTexts t;
    const auto spread = [](int32_t s) {
        return s >= kSpreadShownLimit ? std::string(">5000:1") : std::to_string(s) + ":1";
    };
    if (c.NotRealisable) {
        t.SpreadR = "R= N/A ";
        t.SpreadC = "    C= N/A";
    } else {
        t.SpreadR = "R= " + spread(c.ResistorSpread);
        t.SpreadC = "    C= " + spread(c.CapacitorSpread);
    }
    t.Counts = "R:" + std::to_string(c.ResistorCount) + "    C:" + std::to_string(c.CapacitorCount) +
               "    OA:" + std::to_string(c.OpAmpCount);
    const long double factor = GainPresentationFactor(d.Stages[stage]);
    const long double desired = c.DesiredGain * factor, actual = c.ActualGain * factor;
    t.DesiredGain = "Desired gain: " + Fixed4(desired);
    t.ActualGain = "Actual gain: " + Fixed4(actual);
    t.ActualGainRed = std::fabs(actual - desired) > kGainShownTolerance;
    t.FixedMark = c.GainFixed != 0;
    t.DcPhase = c.Inverting ? "Inverting" : "Non-inverting";
    t.Gbw =
        "Unity GBW: " + (isFirstOrder(d.Stages[stage].StageType) ? std::string("N/A") : GbwText(c.MinRecGBW));
    if (c.NotRealisable)
        t.Legend = {"Circuit", "not", "suitable"};
    else if (c.ResistorSpread > kSpreadWarning)
        t.Legend = {"Resistor", "spread", "warning"};
    else if (c.CapacitorSpread > kSpreadWarning)
        t.Legend = {"Capacitor", "spread", "warning"};
    t.SelectEnabled = !c.NotRealisable;
    return t;
}

int AutomaticChoice(const TCandidateSet& set, int offered) {
    int best = 0;
    std::tuple<bool, bool, int, int32_t, int> bestKey{};
    for (int k = 1; k <= offered && k <= kMaxCircuits; ++k) {
        const TCircuitCandidate& c = set.Candidates[static_cast<std::size_t>(k)];
        if (c.NotRealisable || c.Excluded) continue;
        const bool warning = c.ResistorSpread > kSpreadWarning || c.CapacitorSpread > kSpreadWarning;
        const long double desired = c.DesiredGain;
        const bool gainMissed = std::fabs(c.ActualGain - desired) > kGainMatch * std::fabs(desired);
        const auto key =
            std::make_tuple(warning, gainMissed, static_cast<int>(c.OpAmpCount), c.ResistorSpread, k);
        if (best == 0 || key < bestKey) {
            best = k;
            bestKey = key;
        }
    }
    return best;
}

namespace {

// The circuits' side of the gain distribution when every stage is calculated in full
// afterwards: the distribution reads only the gain a circuit reaches, so the circuit is
// designed without its sensitivities.
class ComponentValueRealiser : public StageGainRealiser {
  public:
    long double Realise(TDesign& d, int stage, long double gain) const override {
        TStageCircuit& c = d.Circuits[stage];
        if (!StageCircuitRoutines(d, stage)) return gain;
        c.DesiredGain = gain;
        if (!LoadCatalogueRow(d, stage) || !CalculateComponentValues(d, stage)) return gain;
        return c.ActualGain;
    }
};

// What the gain distribution and the component calculation change in a design.
struct RealisedState {
    OneBased<TStageCircuit, kMaxCircuits> circuits;
    OneBased<TCapacitorSet, kMaxStages> capSets, capSetsWorking;
    Real48 actualOverallGain;
    int16_t constrainedCount;
    explicit RealisedState(const TDesign& d)
        : circuits(d.Circuits), capSets(d.CapSets), capSetsWorking(d.CapSetsWorking),
          actualOverallGain(d.ActualOverallGain), constrainedCount(d.ConstrainedCount) {}
    void RestoreInto(TDesign& d) const {
        d.Circuits = circuits;
        d.CapSets = capSets;
        d.CapSetsWorking = capSetsWorking;
        d.ActualOverallGain = actualOverallGain;
        d.ConstrainedCount = constrainedCount;
    }
};

std::string DistributeAndCalculate(TDesign& d, const StageGainRealiser& circuits, bool calculate) {
    DistributeGains(d, circuits);
    OverallActualGain(d);
    CaptureDesiredGains(d);
    std::string failed;
    if (calculate)
        for (int i = 1; i <= d.StageCount; ++i)
            if (!LoadAndCalculate(d, i)) failed += (failed.empty() ? "" : ", ") + std::to_string(i);
    return failed;
}

} // namespace

std::string RealiseStageGains(TDesign& d, bool calculate) {
    // Every stage calculated afterwards overwrites all of its sensitivities (a successful
    // calculation stores or clears every slot), and no design routine reads them, so the
    // distribution's own calculations need none. A calculation that fails instead leaves
    // the record, sensitivities included, as the distribution left it; then the whole
    // step is taken again from where it started, with the sensitivities of every trial
    // kept as before, so that what remains is the same in either case.
    if (calculate) {
        const auto start = std::make_unique<RealisedState>(d);
        const std::string failed = DistributeAndCalculate(d, ComponentValueRealiser(), true);
        if (failed.empty()) return failed;
        start->RestoreInto(d);
    }
    return DistributeAndCalculate(d, CircuitGainRealiser(), calculate);
}

CircuitsOutcome DesignStageCircuits(TDesign& d, const std::vector<StageCircuitRequest>& requests) {
    CircuitsOutcome out;
    if (d.StageCount < 1 || d.DesignLevel < LevelCascaded) {
        out.status = CircuitsStatus::NotCascaded;
        return out;
    }
    const auto refuse = [&out](CircuitsStatus status, int stage) -> CircuitsOutcome& {
        out.status = status;
        out.stage = stage;
        return out;
    };
    std::array<TCandidateSet, kMaxStages + 1> sets{};
    InitialiseCircuitStep(d, sets);
    const auto request = [&](int stage) -> const StageCircuitRequest* {
        const auto i = static_cast<std::size_t>(stage - 1);
        return i < requests.size() ? &requests[i] : nullptr;
    };

    // 1. A circuit for every stage.
    std::array<bool, kMaxStages + 1> automatic{};
    for (int i = 1; i <= d.StageCount; ++i) {
        TCandidateSet& set = sets[static_cast<std::size_t>(i)];
        EvaluateCandidates(d, i, set);
        const int type = d.Stages[i].StageType;
        const StageCircuitRequest* r = request(i);
        int choice = 0;
        if (r && !r->key.empty()) {
            const CatalogueEntry* e = EntryByKey(r->key);
            out.key = r->key;
            out.stageType = type;
            if (!e || e->type != type) return refuse(CircuitsStatus::WrongType, i);
            choice = e->choice;
            if (set.Candidates[static_cast<std::size_t>(choice)].NotRealisable)
                return refuse(CircuitsStatus::NotRealisable, i);
        } else {
            automatic[static_cast<std::size_t>(i)] = true;
            choice = AutomaticChoice(set, StageTypeInfo(type)->offered);
            if (choice == 0) return refuse(CircuitsStatus::NoCircuit, i);
        }
        SelectCircuit(d, i, choice, set);
    }

    // 2. The requested bandwidths and compensation.
    for (int i = 1; i <= d.StageCount; ++i) {
        const StageCircuitRequest* r = request(i);
        if (!r) continue;
        TStageCircuit& c = d.Circuits[i];
        if (r->gbwHz > 0.0L) {
            c.OpAmpGBW = r->gbwHz;
            c.GbwChangedByUser = 1;
        }
        const CatalogueEntry* e = EntryByNumber(c.CircuitNumber);
        const bool offered = e && ActiveCompensationOffered(e->key);
        if (r->compensate || (r->compensateWhereOffered && offered)) {
            if (!offered) return refuse(CircuitsStatus::NoCompensation, i);
            c.CompensationInUse = 1;
        } else if (r->predistort) {
            if (isFirstOrder(d.Stages[i].StageType)) return refuse(CircuitsStatus::NoPredistortion, i);
            c.Predistort = 1;
        }
    }

    // 3. The gains distributed again with the real circuits, then every stage calculated
    // for the gain it is asked for.
    std::string failed = RealiseStageGains(d, true);
    // A stage chosen automatically for the gain first asked of it may be asked for another
    // gain by the make-up of a stage whose circuit fixes its gain; when its own circuit
    // then fixes the gain too, the overall gain is missed. Such a stage takes the best
    // circuit that reaches any gain, and the gains are distributed once more. Only
    // fixed-gain circuits are replaced, so this happens at most once per stage.
    bool rechosen = false;
    for (int i = 1; i <= d.StageCount; ++i) {
        TStageCircuit& c = d.Circuits[i];
        if (!automatic[static_cast<std::size_t>(i)] || !c.GainConstrained) continue;
        if (!(d.ActualOverallGain > 0.0L) || !(d.Spec.OverallGain > 0.0L)) continue;
        // The gain this stage would need for the cascade to reach the specified gain.
        const long double saved = c.DesiredGain;
        c.DesiredGain = c.ActualGain * (d.Spec.OverallGain / d.ActualOverallGain);
        TCandidateSet& set = sets[static_cast<std::size_t>(i)];
        EvaluateCandidates(d, i, set);
        c.DesiredGain = saved;
        TCandidateSet anyGain = set;
        for (auto& cand : anyGain.Candidates)
            if (cand.GainFixed) cand.Excluded = 1;
        const int choice = AutomaticChoice(anyGain, StageTypeInfo(d.Stages[i].StageType)->offered);
        if (choice == 0 || choice == c.CircuitChoice) continue;
        const StageCircuitRequest* r = request(i);
        SelectCircuit(d, i, choice, set);
        if (r && r->gbwHz > 0.0L) {
            c.OpAmpGBW = r->gbwHz;
            c.GbwChangedByUser = 1;
        }
        const CatalogueEntry* e = EntryByNumber(c.CircuitNumber);
        if (r && (r->compensate || r->compensateWhereOffered) && e && ActiveCompensationOffered(e->key))
            c.CompensationInUse = 1;
        else if (r && r->predistort && !isFirstOrder(d.Stages[i].StageType))
            c.Predistort = 1;
        rechosen = true;
    }
    if (rechosen) failed = RealiseStageGains(d, true);
    if (!failed.empty()) {
        out.failedStages = failed;
        return refuse(CircuitsStatus::NotActualised, 0);
    }
    // 4. The starting capacitors: the one asked for, or a practical one. The gains do not
    // move (a stage's gain does not depend on its impedance level).
    for (int i = 1; i <= d.StageCount; ++i) {
        const StageCircuitRequest* r = request(i);
        if (r && r->startC1 > 0.0L) {
            if (!StartStageFrom(d, i, r->startC1)) {
                out.startC1 = r->startC1;
                return refuse(CircuitsStatus::BadStart, i);
            }
        } else {
            PreferPracticalStart(d, i);
        }
    }
    // Every stage now holds the exact values of its new circuit. An exact value saved while
    // standard values stood in belongs to the circuit that was there before; kept, it would
    // pass for this circuit's exact value. Standard values, where on, are the caller's to
    // substitute again.
    for (int i = 1; i <= d.StageCount; ++i)
        for (int n = 1; n <= kResistorSlots; ++n) {
            d.Circuits[i].Components[n].Exact = 0.0L;
            d.Circuits[i].Components[n].InUse = 0;
        }
    d.DesignLevel = std::max<uint8_t>(d.DesignLevel, LevelComponents);
    d.Modified = 1;
    out = {};
    out.ok = true;
    out.status = CircuitsStatus::Ok;
    return out;
}

} // namespace velmora
