// Final response from the realised stage polynomials.
#include "analysis/final_response.h"

#include <cmath>
#include <complex>
#include <numbers>

#include "analysis/argument_sum.h"
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

// The real root of a cubic, by bisection on Cauchy's bound, and the quadratic left when
// it is divided out: q2 s^2 + q1 s + q0.
struct CubicSplit {
    long double root = 0, q2 = 0, q1 = 0, q0 = 0;
};

CubicSplit SplitCubic(const std::array<long double, 4>& a) {
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
    CubicSplit c;
    c.root = 0.5L * (lo + hi);
    c.q2 = a[3];
    c.q1 = a[2] + c.root * c.q2;
    c.q0 = a[1] + c.root * c.q1;
    return c;
}

// Roots of a polynomial of degree up to 3. The cubic's real root comes from SplitCubic,
// the rest from the deflated quadratic.
std::vector<Cx> Roots(std::array<long double, 4> a) {
    std::vector<Cx> roots;
    int n = Degree(a);
    if (n == 3) {
        const CubicSplit c = SplitCubic(a);
        roots.emplace_back(c.root, 0.0L);
        a = {c.q0, c.q1, c.q2, 0.0L};
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

// A polynomial of degree up to 3 divided by its leading coefficient, as real factors
// s + c0 and s^2 + c1 s + c0 whose roots are the polynomial's roots: the cubic is split
// at its real root as Roots splits it. At s = jw a factor is c0 + j w or
// (c0 - w^2) + j c1 w; with every coefficient >= 0 (its roots in the closed left
// half-plane) and w >= 0, its argument lies in [0, pi], and the sum of the arguments is
// the sum of arg(jw - r) over the roots r.
struct MonicFactors {
    struct Factor {
        bool quadratic = false;
        long double c0 = 0, c1 = 0;
    };
    std::array<Factor, 2> factor{};
    int count = 0;
    bool leftHalfPlane = true; // every coefficient >= 0
};

MonicFactors FactorsOf(const std::array<long double, 4>& a) {
    MonicFactors m;
    const auto add = [&m](bool quadratic, long double c0, long double c1) {
        m.factor[static_cast<std::size_t>(m.count++)] = {quadratic, c0, c1};
        m.leftHalfPlane = m.leftHalfPlane && c0 >= 0.0L && c1 >= 0.0L;
    };
    const int n = Degree(a);
    if (n == 3) {
        const CubicSplit c = SplitCubic(a);
        add(false, -c.root, 0.0L);
        add(true, c.q0 / c.q2, c.q1 / c.q2);
    } else if (n == 2) {
        add(true, a[0] / a[2], a[1] / a[2]);
    } else if (n == 1) {
        add(false, a[0] / a[1], 0.0L);
    }
    return m;
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
    MonicFactors zeroFactors, poleFactors;
    // The zeros off the imaginary axis: a zero on it (a notch, a zero at the origin) adds
    // exactly 0 to the delay, so the column skips its term.
    std::array<Cx, 3> delayZeros{};
    int delayZeroCount = 0;
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
    for (const Cx& z : p.zeros)
        if (z.real() != 0.0L && p.delayZeroCount < static_cast<int>(p.delayZeros.size()))
            p.delayZeros[static_cast<std::size_t>(p.delayZeroCount++)] = z;
    p.zeroFactors = FactorsOf(p.num);
    p.poleFactors = FactorsOf(p.den);
    p.leadAngle = (p.num[static_cast<std::size_t>(nn)] / p.den[static_cast<std::size_t>(nd)]) < 0.0L
                      ? std::numbers::pi_v<long double>
                      : 0.0L;
    return p;
}

// The cascade at w from the roots: an arctangent per pole and zero and the polynomials
// evaluated in complex arithmetic. Used where the factor products below do not apply.
std::optional<FinalPoint> EvaluateByRoots(const std::vector<PreparedStage>& stages, long double w) {
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

// |P(jw)|^2 of a polynomial of degree up to 3: (a0 - a2 w^2)^2 + (a1 w - a3 w^3)^2.
long double SquaredMagnitude(const std::array<long double, 4>& a, long double w, long double w2) {
    const long double re = a[0] - a[2] * w2;
    const long double im = w * (a[1] - a[3] * w2);
    return re * re + im * im;
}

// Adds the arguments of the factors at s = jw to `sum`. A factor that is real there (a
// pair of zeros on the imaginary axis, zeros at the origin) has the argument 0 or pi,
// added to `halfTurns` instead: the product's quarter turns can be counted only from
// factors that turn it by less than pi. False when a factor is 0 there (w on a root).
bool AddArguments(const MonicFactors& m, long double w, long double w2, ArgumentSum& sum, int& halfTurns) {
    for (int k = 0; k < m.count; ++k) {
        const MonicFactors::Factor& f = m.factor[static_cast<std::size_t>(k)];
        const long double re = f.quadratic ? f.c0 - w2 : f.c0;
        const long double im = f.quadratic ? f.c1 * w : w;
        if (im == 0.0L) {
            if (re == 0.0L) return false;
            if (re < 0.0L) ++halfTurns;
            continue;
        }
        sum.Add(re, im);
    }
    return true;
}

// The cascade at w: the phase lag from the arguments of the products of the pole factors
// and of the zero factors (two arctangents for the whole cascade instead of one per
// root), each stage's magnitude from the squared magnitudes of its polynomials with one
// square root, the delay summed over the roots. The products need every factor's
// argument in [0, pi], so a stage with a root in the right half-plane, w <= 0 or w on a
// root take the sum by roots. Every factor left in the products has im > 0, so its
// argument lies in (0, pi).
std::optional<FinalPoint> Evaluate(const std::vector<PreparedStage>& stages, long double w) {
    if (!(w > 0.0L)) return EvaluateByRoots(stages, w);
    for (const PreparedStage& p : stages)
        if (!p.poleFactors.leftHalfPlane || !p.zeroFactors.leftHalfPlane) return EvaluateByRoots(stages, w);
    const long double w2 = w * w;
    FinalPoint f;
    f.GainVV = 1.0L;
    ArgumentSum poles, zeros;
    int poleHalfTurns = 0, zeroHalfTurns = 0;
    long double lead = 0.0L;
    for (const PreparedStage& p : stages) {
        const long double dm2 = SquaredMagnitude(p.den, w, w2);
        if (!(dm2 > 0.0L)) return std::nullopt; // on a pole
        f.GainVV *= std::sqrt(SquaredMagnitude(p.num, w, w2) / dm2);
        if (!AddArguments(p.poleFactors, w, w2, poles, poleHalfTurns) ||
            !AddArguments(p.zeroFactors, w, w2, zeros, zeroHalfTurns))
            return EvaluateByRoots(stages, w);
        for (const Cx& r : p.poles)
            f.Delay += RootDelay(r, w);
        for (int k = 0; k < p.delayZeroCount; ++k)
            f.Delay -= RootDelay(p.delayZeros[static_cast<std::size_t>(k)], w);
        lead += p.leadAngle;
    }
    const long double halfTurns = static_cast<long double>(poleHalfTurns - zeroHalfTurns);
    f.PhaseLag =
        (poles.Radians() - zeros.Radians() + halfTurns * std::numbers::pi_v<long double> - lead) * kDegrees;
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
    // One point: by the roots, as the tolerance analysis and the op-amp variant's phase
    // have always taken it.
    const auto stages = PrepareRange(d, variant, first, last);
    if (!stages) return std::nullopt;
    return EvaluateByRoots(*stages, w);
}

std::vector<FinalFrequencySample> FinalResponse(const TDesign& d, int variant, int first, int last) {
    if (variant == OpAmpGbw) return FinalGbwResponse(d, first, last);
    std::vector<FinalFrequencySample> out;
    const auto stages = PrepareRange(d, variant, first, last);
    if (!stages) return out;
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
    if (variant == OpAmpGbw) return FinalGbwResponseSamples(d, axis);
    std::vector<FinalFrequencySample> out;
    const auto stages = PrepareRange(d, variant, 1, d.StageCount);
    if (!stages) return out;
    const FrequencyAxis a = UsableFrequencyAxis(axis);
    const std::vector<long double> x = AxisFrequencies(a);
    out.reserve(x.size());
    for (int i = 0; i <= kResponseIntervals; ++i) {
        const long double w = ToRadPerSecond(a, x[static_cast<std::size_t>(i)]);
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
