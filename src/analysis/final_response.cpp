// Final response from the realised stage polynomials.
#include "analysis/final_response.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <numbers>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "analysis/final_response_gbw.h"
#include "circuits/component_adjustment.h"
#include "circuits/components.h"
#include "circuits/standard_substitution.h"
#include "model/real48.h"
#include "numeric/argument_sum.h"
#include "numeric/cubic.h"
#include "numeric/dispatch.h"
#include "numeric/double_double.h"
#include "numeric/sure_rounding.h"
#include "numeric/vector_math.h"

#include "analysis/final_response_detail.h"

namespace velmora {
namespace {

using namespace final_detail;

// A point evaluated in extended precision, each value rounded to the 6-byte real.
FinalFrequencySample RoundedSample(double fHz, double w, const FinalPoint& p) {
    const auto stored = [](long double v) { return static_cast<double>(Real48::round(v, nullptr)); };
    FinalFrequencySample s;
    s.FHz = fHz;
    s.W = w;
    s.GainVV = stored(p.GainVV);
    s.GainDb = stored(GainToDb(p.GainVV));
    s.PhaseLag = stored(p.PhaseLag);
    s.PhaseDeg = stored(-p.PhaseLag);
    s.DelayS = stored(p.Delay);
    return s;
}

// The index of the first flag at or after `from` that is 0, or `count`.
int NextNotDone(const std::vector<uint8_t>& done, int from, int count) {
    if (from >= count) return count;
    const void* z = std::memchr(done.data() + from, 0, static_cast<std::size_t>(count - from));
    return z ? static_cast<int>(static_cast<const uint8_t*>(z) - done.data()) : count;
}

// The samples at the angular frequencies w (rad/s) with the frequencies fHz, both 6-byte
// reals held exactly in doubles: the fast evaluation where it is certain, the extended
// one elsewhere. Empty when the extended evaluation fails at a point (on a pole).
std::vector<FinalFrequencySample> Column(std::vector<PreparedStage>& stages, const double* fHz,
                                         const double* w, int count, FinalColumnStatistics* stats) {
    std::vector<FinalFrequencySample> out(static_cast<std::size_t>(count));
    static thread_local std::vector<uint8_t> done;
    static thread_local PointList gains, phases;
    static thread_local std::vector<std::size_t> left;
    // Every flag is set by the blocks (FinishPoints); they run in whole vectors of 8
    // points (StartBlock), so the flags of the last one may reach up to 7 past the column.
    // Without the fast form every point is evaluated whole (all flags 0).
    done.resize(static_cast<std::size_t>(count) + 8);
    gains.reset(static_cast<std::size_t>(count));
    phases.reset(static_cast<std::size_t>(count));
    left.clear();
    double wmin = 0, wmax = 0;
    FrequencyRange(w, count, wmin, wmax);
    FastCascade fastCascade; // default-made: its lists empty and unset (FixedList)
    const FastCascade* fc = PrepareFast(stages, wmin, wmax, fastCascade) ? &fastCascade : nullptr;
    if (!fc) std::fill(done.begin(), done.end(), uint8_t{0});
    if (fc) {
        FastBlocks(*fc, fHz, w, count, wmin, out, done, gains, phases, left);
        gains.pad();
        phases.pad();
        CompensatedGains(*fc, gains, out, left, done);
        CompensatedPhaseAndDelay(*fc, phases, out, done);
    }
    // Where the gain in dB is still in doubt but the other values are certain, the
    // extended evaluation's gain alone gives it.
    for (const std::size_t k : left) {
        if (!done[k]) continue;
        const auto g = ExtendedGain(stages, w[k]);
        if (!g) return {};
        out[k].GainDb = static_cast<double>(Real48::round(StoredGainDb(*g), nullptr));
    }
    int fallbacks = 0;
    // The points evaluated again whole, found by a search for the flags still 0 (they
    // are few, most columns have none).
    for (int k = NextNotDone(done, 0, count); k < count; k = NextNotDone(done, k + 1, count)) {
        if (fallbacks++ == 0)
            for (PreparedStage& p : stages)
                AddRoots(p);
        const auto p = Evaluate(stages, w[k]);
        if (!p) return {};
        out[static_cast<std::size_t>(k)] = RoundedSample(fHz[k], w[k], *p);
    }
    if (stats) {
        stats->points = count;
        stats->extended = fallbacks;
    }
    return out;
}

} // namespace

std::string FinalVariantName(int variant) {
    switch (variant) {
    case StandardCExactR:
        return " Standard C, exact R";
    case ExactCSubstitution:
        return " Exact C substitution";
    case StandardRSubstitution:
        return " Standard R substitution";
    case UserAssignedR:
        return " User-assigned R values";
    case OpAmpGbw:
        return OpAmpGbwVariantName();
    default:
        return "";
    }
}

bool FinalVariantAvailable(const TDesign& d, int variant) {
    switch (variant) {
    case StandardCExactR:
    case OpAmpGbw:
        return true;
    case ExactCSubstitution:
        for (int i = 1; i <= d.StageCount; ++i)
            if (d.Circuits[i].CapsExact) return true;
        return false;
    case StandardRSubstitution:
        return d.Components.StandardROn != 0;
    case UserAssignedR:
        for (int i = 1; i <= d.StageCount; ++i)
            for (int n = 1; n <= kResistorSlots; ++n)
                if (d.Circuits[i].Components[n].Adjusted > 0.0L) return true;
        return false;
    default:
        return false;
    }
}

ComponentValues<long double> VariantComponentValues(const TDesign& d, int stage, int variant) {
    const TStageCircuit& c = d.Circuits[stage];
    if (variant == StandardCExactR && c.CapsExact) return ReferenceComponentValues(d, stage);
    ComponentValues<long double> v = StageComponentValues(c);
    for (int n = 1; n <= kResistorSlots; ++n) {
        auto& r = v.R[static_cast<std::size_t>(n)];
        if (n > c.ResistorCount) continue;
        switch (variant) {
        case StandardRSubstitution:
            break; // the values in effect are the standard ones
        case UserAssignedR:
            if (c.Components[n].Adjusted > 0.0L) r = c.Components[n].Adjusted;
            break;
        default:
            r = ExactResistor(c, n);
            break;
        }
    }
    return v;
}

std::optional<RealisedStage<long double>> StageRealisedFunction(const TDesign& d, int stage, int variant) {
    if (stage < 1 || stage > d.StageCount || !FinalVariantAvailable(d, variant) || variant == OpAmpGbw)
        return std::nullopt;
    const TStageCircuit& c = d.Circuits[stage];
    if (c.NotRealisable) return std::nullopt;
    const CircuitRoutines* routines = StageCircuitRoutines(d, stage);
    if (!routines) return std::nullopt;
    if (!ComponentsValid(c, c.ResistorCount, c.CapacitorCount)) return std::nullopt;
    const ComponentValues<long double> v = VariantComponentValues(d, stage, variant);
    for (int n = 1; n <= std::min<int>(c.ResistorCount, kResistorSlots); ++n)
        if (!(v.R[static_cast<std::size_t>(n)] > 0.0L) || !std::isfinite(v.R[static_cast<std::size_t>(n)]))
            return std::nullopt;
    return routines->realise(v);
}

std::optional<FinalPoint> FinalResponseAt(const TDesign& d, int variant, int first, int last, long double w) {
    if (variant == OpAmpGbw) return FinalGbwResponseAt(d, first, last, w);
    // One point: by the roots, as the tolerance analysis and the op-amp variant's phase
    // have always taken it.
    const auto stages = PrepareRange(d, variant, first, last);
    if (!stages) return std::nullopt;
    return EvaluateByRoots(*stages, w);
}

std::vector<FinalFrequencySample> FinalResponse(const TDesign& d, int variant, int first, int last,
                                                FinalColumnStatistics* stats) {
    if (variant == OpAmpGbw) return FinalGbwResponse(d, first, last, true);
    auto stages = PrepareRange(d, variant, first, last, false);
    if (!stages) return {};
    AxisColumn column; // the design's column: 6-byte reals, exact in double
    for (int i = 0; i <= kResponseIntervals; ++i) {
        const FrequencyPoint& fp = d.FreqColumn[static_cast<std::size_t>(i)];
        column.F[static_cast<std::size_t>(i)] = static_cast<double>(fp.F.value());
        column.W[static_cast<std::size_t>(i)] = static_cast<double>(fp.W.value());
    }
    return Column(*stages, column.F.data(), column.W.data(), kResponsePoints, stats);
}

std::vector<FinalReferenceSample> FinalResponseExtended(const TDesign& d, int variant, int first, int last) {
    std::vector<FinalReferenceSample> out;
    const auto stages = PrepareRange(d, variant, first, last);
    if (variant == OpAmpGbw || !stages) return out;
    out.reserve(kResponseIntervals + 1);
    for (int i = 0; i <= kResponseIntervals; ++i) {
        const FrequencyPoint& fp = d.FreqColumn[static_cast<std::size_t>(i)];
        const auto p = Evaluate(*stages, fp.W);
        if (!p) return {};
        out.push_back(Sample(fp.F, fp.W, *p));
    }
    return out;
}

std::vector<FinalFrequencySample> FinalResponseSamples(const TDesign& d, const FrequencyAxis& axis,
                                                       int variant) {
    return FinalResponseSamples(d, axis, variant, 1, d.StageCount);
}

std::vector<FinalFrequencySample> FinalResponseSamples(const TDesign& d, const FrequencyAxis& axis,
                                                       int variant, int first, int last) {
    if (variant == OpAmpGbw) return FinalGbwResponseSamples(d, axis, first, last, true);
    auto stages = PrepareRange(d, variant, first, last, false);
    if (!stages) return {};
    // The frequencies of the design's column over this axis, so that the final samples
    // lie exactly where the ideal ones do.
    AxisColumn column;
    FillAxisColumn(axis, column);
    return Column(*stages, column.F.data(), column.W.data(), kResponsePoints, nullptr);
}

std::vector<FinalFrequencySample> FinalResponseSamples(const TDesign& d) {
    return FinalResponseSamples(d, DefaultFrequencyAxis(d), StandardCExactR);
}

std::vector<int> InvertingStages(const TDesign& d, int first, int last) {
    std::vector<int> out;
    for (int i = std::max(first, 1); i <= std::min<int>(last, d.StageCount); ++i) {
        const auto h = StageRealisedFunction(d, i, StandardCExactR);
        if (!h) continue;
        const auto p = RealisedParameters(*h, d.Stages[i].StageType);
        if (p && p->gain < 0.0L) out.push_back(i);
    }
    return out;
}

} // namespace velmora
