// Final response with single-pole op amps, from the nodal analysis of every stage.
#include "analysis/final_response_gbw.h"

#include <cmath>
#include <numbers>

#include "analysis/nodal.h"
#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "model/real48.h"

namespace velmora {
namespace {

constexpr long double kDegrees = 180.0L / std::numbers::pi_v<long double>;

Complex Evaluate(const std::array<long double, 4>& a, Complex s) {
    return ((a[3] * s + a[2]) * s + a[1]) * s + a[0];
}

// The phase lag (radians) of a stage with real op amps: the ideal stage's continuous lag
// plus the principal angle of H_ideal / H_gbw. Both carry the stage's sign, which cancels.
std::optional<long double> StagePhaseLag(const TDesign& d, int stage, long double w, Complex hGbw) {
    const auto ideal = FinalResponseAt(d, StandardCExactR, stage, stage, w);
    const auto h = StageRealisedFunction(d, stage, StandardCExactR);
    if (!ideal || !h) return std::nullopt;
    const Complex s(0.0L, w);
    const Complex hIdeal = Evaluate(h->num, s) / Evaluate(h->den, s);
    if (!(std::abs(hGbw) > 0.0L) || !(std::abs(hIdeal) > 0.0L)) return ideal->PhaseLag / kDegrees;
    return ideal->PhaseLag / kDegrees + std::arg(hIdeal / hGbw);
}

// Every stage's response from `first` on at one frequency, as the stages are wired.
std::optional<std::vector<Complex>> LoadedStageResponses(const TDesign& d, int first, int last,
                                                         long double w) {
    const auto stages = GbwStagesOf(d);
    if (!stages) return std::nullopt;
    const std::vector<GbwStage> from(stages->begin() + (first - 1), stages->end());
    auto h = LoadedResponses(from, w);
    if (!h) return std::nullopt;
    h->resize(static_cast<std::size_t>(last - first + 1));
    return h;
}

std::optional<FinalPoint> Point(const TDesign& d, int first, int last, long double w) {
    if (first < 1 || last > d.StageCount || first > last || !(w > 0.0L)) return std::nullopt;
    FinalPoint f;
    f.GainVV = 1.0L;
    // The delay is the derivative of the phase lag; the relative step 1e-6 keeps the
    // truncation error (of order h^2) far below the rounding error of the phase.
    constexpr long double h = 1.0e-6L;
    const auto g = LoadedStageResponses(d, first, last, w);
    const auto gLo = LoadedStageResponses(d, first, last, w * (1.0L - h));
    const auto gHi = LoadedStageResponses(d, first, last, w * (1.0L + h));
    if (!g || !gLo || !gHi) return std::nullopt;
    for (int i = first; i <= last; ++i) {
        const auto k = static_cast<std::size_t>(i - first);
        const auto phi = StagePhaseLag(d, i, w, (*g)[k]);
        const auto phiLo = StagePhaseLag(d, i, w * (1.0L - h), (*gLo)[k]);
        const auto phiHi = StagePhaseLag(d, i, w * (1.0L + h), (*gHi)[k]);
        if (!phi || !phiLo || !phiHi) return std::nullopt;
        f.GainVV *= std::abs((*g)[k]);
        f.PhaseLag += *phi * kDegrees;
        f.Delay += (*phiHi - *phiLo) / (2.0L * h * w);
    }
    if (!std::isfinite(f.GainVV) || !std::isfinite(f.PhaseLag) || !std::isfinite(f.Delay))
        return std::nullopt;
    return f;
}

// A value as a sample holds it: rounded to the 6-byte real (exact in a double) from the
// extended value itself, or to the nearest double.
double Stored(long double v, bool real48) {
    return static_cast<double>(real48 ? Real48::round(v, nullptr) : v);
}

// The sample at w, whose column frequency in Hz is fHz (both exact in doubles).
FinalFrequencySample Sample(long double fHz, long double w, const FinalPoint& p, bool real48) {
    FinalFrequencySample s;
    s.FHz = static_cast<double>(fHz);
    s.W = static_cast<double>(w);
    s.GainVV = Stored(p.GainVV, real48);
    s.GainDb = Stored(GainToDb(p.GainVV), real48);
    s.PhaseLag = Stored(p.PhaseLag, real48);
    s.PhaseDeg = Stored(-p.PhaseLag, real48);
    s.DelayS = Stored(p.Delay, real48);
    return s;
}

} // namespace

std::string OpAmpGbwVariantName() {
    return " Op amp GBW";
}

std::optional<GbwStage> GbwStageOf(const TDesign& d, int stage, std::optional<int> componentVariant) {
    if (stage < 1 || stage > d.StageCount) return std::nullopt;
    const TStageCircuit& c = d.Circuits[stage];
    const CatalogueEntry* e = StageCircuitEntry(d, stage);
    if (!e || c.NotRealisable || c.CircuitChoice == 0) return std::nullopt;
    if (!ComponentsValid(c, c.ResistorCount, c.CapacitorCount)) return std::nullopt;
    GbwStage g;
    g.topology = FindTopology(e->key, c.CompensationInUse != 0);
    g.gbwHz = c.OpAmpGBW;
    if (!g.topology || !(g.gbwHz > 0.0L)) return std::nullopt;
    g.values =
        componentVariant ? VariantComponentValues(d, stage, *componentVariant) : StageComponentValues(c);
    return g;
}

std::optional<std::vector<GbwStage>> GbwStagesOf(const TDesign& d, std::optional<int> componentVariant) {
    std::vector<GbwStage> stages;
    for (int i = 1; i <= d.StageCount; ++i) {
        auto g = GbwStageOf(d, i, componentVariant);
        if (!g) return std::nullopt;
        stages.push_back(*g);
    }
    return stages;
}

// The loads are found from the last stage backwards: a stage's input admittance depends
// on its own load only through its op amps' output resistance, so one pass gives the
// cascade exactly.
std::optional<std::vector<Complex>> LoadedResponses(const std::vector<GbwStage>& stages, long double w) {
    std::vector<Complex> h(stages.size());
    Complex load = 0.0L;
    for (std::size_t k = stages.size(); k-- > 0;) {
        const GbwStage& g = stages[k];
        const auto solution =
            NodalSolve(*g.topology, g.values, Complex(0.0L, w),
                       OpAmpModel::SinglePole(g.gbwHz, kOpAmpDcGain, kOpAmpOutputResistance), load);
        if (!solution) return std::nullopt;
        h[k] = solution->gain;
        load = solution->inputAdmittance;
    }
    return h;
}

std::optional<std::complex<long double>> StageGbwResponse(const TDesign& d, int stage, long double w) {
    const auto g = GbwStageOf(d, stage, std::nullopt);
    if (!g) return std::nullopt;
    const auto h = LoadedResponses({*g}, w);
    if (!h) return std::nullopt;
    return (*h)[0];
}

std::optional<FinalPoint> FinalGbwResponseAt(const TDesign& d, int first, int last, long double w) {
    return Point(d, first, last, w);
}

std::vector<FinalFrequencySample> FinalGbwResponse(const TDesign& d, int first, int last, bool real48) {
    std::vector<FinalFrequencySample> out;
    out.reserve(kResponsePoints);
    for (int i = 0; i <= kResponseIntervals; ++i) {
        const FrequencyPoint& fp = d.FreqColumn[static_cast<std::size_t>(i)];
        const auto p = Point(d, first, last, fp.W);
        if (!p) return {};
        out.push_back(Sample(fp.F, fp.W, *p, real48));
    }
    return out;
}

// At the frequencies of the design's column over the axis (FillAxisColumn), as the other
// variants' samples.
std::vector<FinalFrequencySample> FinalGbwResponseSamples(const TDesign& d, const FrequencyAxis& axis,
                                                          bool real48) {
    return FinalGbwResponseSamples(d, axis, 1, d.StageCount, real48);
}

std::vector<FinalFrequencySample> FinalGbwResponseSamples(const TDesign& d, const FrequencyAxis& axis,
                                                          int first, int last, bool real48) {
    std::vector<FinalFrequencySample> out;
    out.reserve(kResponsePoints);
    AxisColumn column;
    FillAxisColumn(axis, column);
    for (int i = 0; i <= kResponseIntervals; ++i) {
        const long double w = column.W[static_cast<std::size_t>(i)];
        const auto p = Point(d, first, last, w);
        if (!p) return {};
        out.push_back(Sample(column.F[static_cast<std::size_t>(i)], w, *p, real48));
    }
    return out;
}

std::vector<FinalFrequencySample> FinalGbwResponseSamples(const TDesign& d) {
    return FinalGbwResponseSamples(d, DefaultFrequencyAxis(d));
}

} // namespace velmora
