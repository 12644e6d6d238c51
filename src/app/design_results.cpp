#include "app/design_results.h"

#include <memory>
#include <numbers>

#include "analysis/ideal_filter.h"

namespace velmora::app {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

// The ideal frequency samples at `points` frequencies over an axis, each evaluated on its
// own (not rounded to the stored precision, as the column's samples are).
std::vector<IdealFrequencySample> IdealSamplesAt(const TDesign& d, int approx, const FrequencyAxis& axis,
                                                 int points) {
    const IdealFilter f = IdealFilterOf(d, approx);
    const MagnitudeFactors m = MagnitudeFactorsOf(f, d.Spec.OverallGain.value());
    std::vector<IdealFrequencySample> samples;
    for (int i = 0; i < points; ++i) {
        const long double x = AxisFrequency(axis, i, points - 1), w = ToRadPerSecond(axis, x);
        const long double vv = MagnitudeAt(m, w);
        samples.push_back({w / kTwoPi, w, GainToDb(vv), vv, -IdealPhaseLag(f, w), IdealGroupDelay(f, w)});
    }
    return samples;
}

std::vector<IdealResponseTable> IdealResponses(const TDesign& d, const ResultOptions& o) {
    // Responses over an axis of their own are computed in a copy, so that the design's
    // column (which the design and ASCII files hold) stays over the default axis.
    std::unique_ptr<TDesign> copy;
    IdealAxes axes = DefaultIdealAxes(d);
    if (o.responseAxis && o.responsePoints <= 0) {
        axes.Freq = ResponseAxis(d, o);
        copy = std::make_unique<TDesign>(d);
        ComputeIdealFrequencyResponses(*copy, axes.Freq);
    }
    std::vector<IdealResponseTable> tables = IdealResponseTables(copy ? *copy : d, axes, o.onlyApprox);
    if (o.responsePoints > 0)
        for (IdealResponseTable& t : tables)
            t.Samples = IdealSamplesAt(d, t.Index, ResponseAxis(d, o), o.responsePoints);
    return tables;
}

// The final samples of a variant (FinalVariant, or OpAmpGbw) at the frequencies asked for.
std::vector<FinalFrequencySample> FinalSamples(const TDesign& d, int variant, const ResultOptions& o) {
    const FrequencyAxis axis = ResponseAxis(d, o);
    if (o.responsePoints <= 0)
        return variant == OpAmpGbw ? FinalGbwResponseSamples(d, axis)
                                   : FinalResponseSamples(d, axis, variant);
    std::vector<FinalFrequencySample> samples;
    for (int i = 0; i < o.responsePoints; ++i) {
        const long double x = AxisFrequency(axis, i, o.responsePoints - 1), w = ToRadPerSecond(axis, x);
        const auto p = variant == OpAmpGbw ? FinalGbwResponseAt(d, 1, d.StageCount, w)
                                           : FinalResponseAt(d, variant, 1, d.StageCount, w);
        if (!p) return {};
        FinalFrequencySample s;
        s.FHz = static_cast<double>(w / kTwoPi);
        s.W = static_cast<double>(w);
        s.GainVV = static_cast<double>(p->GainVV);
        s.GainDb = static_cast<double>(GainToDb(p->GainVV));
        s.PhaseLag = static_cast<double>(p->PhaseLag);
        s.PhaseDeg = -s.PhaseLag;
        s.DelayS = static_cast<double>(p->Delay);
        samples.push_back(s);
    }
    return samples;
}

} // namespace

FrequencyAxis ResponseAxis(const TDesign& d, const ResultOptions& o) {
    return UsableFrequencyAxis(o.responseAxis ? *o.responseAxis : DefaultFrequencyAxis(d));
}

int ResponsePoints(const ResultOptions& o) {
    return o.responsePoints > 0 ? o.responsePoints : kResponsePoints;
}

DesignResults Results(const TDesign& d, const ResultOptions& o) {
    DesignResults r;
    if (d.ResultsReady) r.ideal = IdealResponses(d, o);
    if (d.DesignLevel >= LevelCascaded) r.reachedGain = ReachedGain(d);
    if (d.DesignLevel < LevelComponents) return r;
    r.finalExact = FinalSamples(d, StandardCExactR, o);
    r.finalGbw = FinalSamples(d, OpAmpGbw, o);
    if (d.Components.StandardROn) r.finalStandard = FinalSamples(d, StandardRSubstitution, o);
    r.tolerance = BuildToleranceReport(d);
    if (SpecificationCheckApplies(d)) r.check = CheckSpecification(d, o.mask);
    r.impractical = ImpracticalValues(d);
    r.invertingStages = InvertingStages(d, 1, d.StageCount);
    return r;
}

} // namespace velmora::app
