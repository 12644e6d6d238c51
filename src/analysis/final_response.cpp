// Final response from the realised stage polynomials.
#include "analysis/final_response.h"

#include <cmath>
#include <complex>
#include <numbers>

#include "analysis/final_response_gbw.h"
#include "circuits/component_adjustment.h"
#include "circuits/components.h"
#include "circuits/standard_substitution.h"

namespace velmora {
namespace {

using Cx = std::complex<long double>;
constexpr long double kDegrees = 180.0L / std::numbers::pi_v<long double>;

// Degree of a polynomial: its highest nonzero coefficient.
int Degree(const std::array<long double, 4>& a) {
    for (int k = 3; k >= 0; --k)
        if (a[static_cast<std::size_t>(k)] != 0.0L) return k;
    return -1;
}

// Roots of a polynomial of degree up to 3. The cubic's real root comes from bisection on
// Cauchy's bound, the rest from the deflated quadratic.
std::vector<Cx> Roots(std::array<long double, 4> a) {
    std::vector<Cx> roots;
    int n = Degree(a);
    if (n == 3) {
        long double bound = 0.0L;
        for (int k = 0; k < 3; ++k)
            bound = std::max(bound, std::fabs(a[static_cast<std::size_t>(k)] / a[3]));
        bound += 1.0L;
        const auto f = [&](long double s) { return ((a[3] * s + a[2]) * s + a[1]) * s + a[0]; };
        long double lo = -bound, hi = bound;
        const bool rising = f(hi) > 0.0L;
        for (int i = 0; i < 200 && hi - lo > 0.0L; ++i) {
            const long double mid = 0.5L * (lo + hi);
            ((f(mid) > 0.0L) == rising ? hi : lo) = mid;
        }
        const long double r = 0.5L * (lo + hi);
        roots.emplace_back(r, 0.0L);
        const long double q2 = a[3], q1 = a[2] + r * q2, q0 = a[1] + r * q1;
        a = {q0, q1, q2, 0.0L};
        n = 2;
    }
    if (n == 2) {
        const Cx disc = Cx(a[1] * a[1] - 4.0L * a[2] * a[0]);
        const Cx sq = std::sqrt(disc);
        // The root of larger magnitude first, the other from the product (no cancellation).
        const Cx big = (a[1] >= 0.0L ? -a[1] - sq : -a[1] + sq) / (2.0L * a[2]);
        roots.push_back(big);
        roots.push_back(big != Cx(0.0L) ? Cx(a[0] / a[2]) / big : Cx(0.0L));
    } else if (n == 1) {
        roots.emplace_back(-a[0] / a[1], 0.0L);
    }
    return roots;
}

Cx Evaluate(const std::array<long double, 4>& a, Cx s) {
    return ((a[3] * s + a[2]) * s + a[1]) * s + a[0];
}

// arg(jw - r), continuous in w for a root in the left half-plane or on the axis.
long double RootAngle(Cx r, long double w) {
    return std::atan2(w - r.imag(), -r.real());
}
// d/dw of that angle.
long double RootDelay(Cx r, long double w) {
    const long double sigma = -r.real(), dw = w - r.imag();
    const long double den = sigma * sigma + dw * dw;
    return den > 0.0L ? sigma / den : 0.0L;
}

// A stage ready for evaluation: its polynomials with the sign of an inverting output
// taken out, and their roots.
struct PreparedStage {
    std::array<long double, 4> num{}, den{};
    std::vector<Cx> zeros, poles;
    long double leadAngle = 0; // arg of num_lead / den_lead: 0 or pi
};

std::optional<PreparedStage> Prepare(const TDesign& d, int stage, int variant) {
    const auto h = StageRealisedFunction(d, stage, variant);
    if (!h) return std::nullopt;
    PreparedStage p;
    p.num = h->num;
    p.den = h->den;
    const int nd = Degree(p.den), nn = Degree(p.num);
    if (nd < 1 || nn < 0 || nn > nd) return std::nullopt;
    const auto params = RealisedParameters(*h, d.Stages[stage].StageType);
    if (params && params->gain < 0.0L)
        for (long double& c : p.num)
            c = -c;
    p.zeros = Roots(p.num);
    p.poles = Roots(p.den);
    p.leadAngle = (p.num[static_cast<std::size_t>(nn)] / p.den[static_cast<std::size_t>(nd)]) < 0.0L
                      ? std::numbers::pi_v<long double>
                      : 0.0L;
    return p;
}

std::optional<FinalPoint> Evaluate(const std::vector<PreparedStage>& stages, long double w) {
    FinalPoint f;
    f.GainVV = 1.0L;
    const Cx s(0.0L, w);
    long double phase = 0.0L;
    for (const PreparedStage& p : stages) {
        const long double dm = std::abs(Evaluate(p.den, s));
        if (!(dm > 0.0L)) return std::nullopt; // on a pole
        f.GainVV *= std::abs(Evaluate(p.num, s)) / dm;
        for (const Cx& r : p.poles) {
            phase += RootAngle(r, w);
            f.Delay += RootDelay(r, w);
        }
        for (const Cx& r : p.zeros) {
            phase -= RootAngle(r, w);
            f.Delay -= RootDelay(r, w);
        }
        phase -= p.leadAngle;
    }
    f.PhaseLag = phase * kDegrees;
    if (!std::isfinite(f.GainVV) || !std::isfinite(f.PhaseLag) || !std::isfinite(f.Delay))
        return std::nullopt;
    return f;
}

std::optional<std::vector<PreparedStage>> PrepareRange(const TDesign& d, int variant, int first, int last) {
    if (!FinalVariantAvailable(d, variant) || first < 1 || last > d.StageCount || first > last)
        return std::nullopt;
    std::vector<PreparedStage> stages;
    for (int i = first; i <= last; ++i) {
        auto p = Prepare(d, i, variant);
        if (!p) return std::nullopt;
        stages.push_back(std::move(*p));
    }
    return stages;
}

FinalFrequencySample Sample(long double fHz, long double w, const FinalPoint& p) {
    FinalFrequencySample s;
    s.FHz = fHz;
    s.W = w;
    s.GainVV = p.GainVV;
    s.GainDb = GainToDb(p.GainVV);
    s.PhaseLag = p.PhaseLag;
    s.PhaseDeg = -p.PhaseLag;
    s.DelayS = p.Delay;
    return s;
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
    const auto stages = PrepareRange(d, variant, first, last);
    if (!stages) return std::nullopt;
    return Evaluate(*stages, w);
}

std::vector<FinalFrequencySample> FinalResponse(const TDesign& d, int variant, int first, int last) {
    if (variant == OpAmpGbw) return FinalGbwResponse(d, first, last);
    std::vector<FinalFrequencySample> out;
    const auto stages = PrepareRange(d, variant, first, last);
    if (!stages) return out;
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
    if (variant == OpAmpGbw) return FinalGbwResponseSamples(d, axis);
    std::vector<FinalFrequencySample> out;
    const auto stages = PrepareRange(d, variant, 1, d.StageCount);
    if (!stages) return out;
    const FrequencyAxis a = UsableFrequencyAxis(axis);
    for (int i = 0; i <= kResponseIntervals; ++i) {
        const long double x = AxisFrequency(a, i);
        const long double w = ToRadPerSecond(a, x);
        const auto p = Evaluate(*stages, w);
        if (!p) return {};
        out.push_back(Sample(w / (2.0L * std::numbers::pi_v<long double>), w, *p));
    }
    return out;
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

std::vector<std::string> InvertingNote(const std::vector<int>& stages) {
    if (stages.empty()) return {};
    const bool several = stages.size() > 1;
    std::string list;
    for (std::size_t k = 0; k < stages.size(); ++k)
        list += (k ? ", " : "") + std::to_string(stages[k]);
    return {"Note:  There is an additional 180 degrees phase shift",
            std::string("due to the inverting output") + (several ? "s" : "") + " of stage" +
                (several ? "s " : " ") + list + "."};
}

} // namespace velmora
