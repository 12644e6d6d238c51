// The final response in extended precision, point by point: the reference every fast
// evaluation reproduces after rounding, and the fallback for the points it leaves in doubt.
#include "analysis/final_response_detail.h"

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

namespace velmora::final_detail {

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
        m.deflation = (std::fabs(a[2]) + std::fabs(c.root * c.q2)) / std::fabs(c.q1) +
                      (std::fabs(a[1]) + std::fabs(c.root * c.q1)) / std::fabs(c.q0);
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

void AddRoots(PreparedStage& p) {
    if (p.rootsReady) return;
    p.zeros = Roots(p.num);
    p.poles = Roots(p.den);
    p.delayZeroCount = 0;
    for (const Cx& z : p.zeros)
        if (z.real() != 0.0L && p.delayZeroCount < static_cast<int>(p.delayZeros.size()))
            p.delayZeros[static_cast<std::size_t>(p.delayZeroCount++)] = z;
    p.rootsReady = true;
}

std::optional<PreparedStage> Prepare(const TDesign& d, int stage, int variant, bool roots) {
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
    if (roots) AddRoots(p);
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

// The cascade's gain at w > 0 from each stage's squared magnitudes, as Evaluate below
// takes it (the same operations in the same order); nothing on a pole.
std::optional<long double> ExtendedGain(const std::vector<PreparedStage>& stages, long double w) {
    const long double w2 = w * w;
    long double gain = 1.0L;
    for (const PreparedStage& p : stages) {
        const long double dm2 = SquaredMagnitude(p.den, w, w2);
        if (!(dm2 > 0.0L)) return std::nullopt; // on a pole
        gain *= std::sqrt(SquaredMagnitude(p.num, w, w2) / dm2);
    }
    return gain;
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
    const auto gain = ExtendedGain(stages, w);
    if (!gain) return std::nullopt;
    const long double w2 = w * w;
    FinalPoint f;
    f.GainVV = *gain;
    ArgumentSum poles, zeros;
    int poleHalfTurns = 0, zeroHalfTurns = 0;
    long double lead = 0.0L;
    for (const PreparedStage& p : stages) {
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

std::optional<std::vector<PreparedStage>> PrepareRange(const TDesign& d, int variant, int first, int last,
                                                       bool roots) {
    if (!FinalVariantAvailable(d, variant) || first < 1 || last > d.StageCount || first > last)
        return std::nullopt;
    std::vector<PreparedStage> stages;
    stages.reserve(static_cast<std::size_t>(last - first + 1));
    for (int i = first; i <= last; ++i) {
        auto p = Prepare(d, i, variant, roots);
        if (!p) return std::nullopt;
        stages.push_back(std::move(*p));
    }
    return stages;
}

FinalReferenceSample Sample(long double fHz, long double w, const FinalPoint& p) {
    FinalReferenceSample s;
    s.FHz = fHz;
    s.W = w;
    s.GainVV = p.GainVV;
    s.GainDb = GainToDb(p.GainVV);
    s.PhaseLag = p.PhaseLag;
    s.PhaseDeg = -p.PhaseLag;
    s.DelayS = p.Delay;
    return s;
}

} // namespace velmora::final_detail
