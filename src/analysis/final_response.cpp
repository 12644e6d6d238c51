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

#include "analysis/argument_sum.h"
#include "analysis/double_double.h"
#include "analysis/final_response_gbw.h"
#include "analysis/vector_math.h"
#include "circuits/component_adjustment.h"
#include "circuits/components.h"
#include "circuits/cubic.h"
#include "circuits/standard_substitution.h"
#include "model/column_dispatch.h"
#include "model/real48.h"
#include "model/sure_rounding.h"

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
    // The condition of splitting a cubic at its real root r: the deflated coefficients
    // q1 = a2 + r q2 and q0 = a1 + r q1 lose (|a2| + |r q2|) / |q1| and
    // (|a1| + |r q1|) / |q0| of their relative accuracy. 0 below degree 3.
    long double deflation = 0;
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

// A stage ready for evaluation: its polynomials with the sign of an inverting output
// taken out, and their roots (AddRoots: the column's double evaluation works from the
// factors alone and takes the roots only for a point it evaluates again whole).
struct PreparedStage {
    std::array<long double, 4> num{}, den{};
    std::vector<Cx> zeros, poles;
    MonicFactors zeroFactors, poleFactors;
    // The zeros off the imaginary axis: a zero on it (a notch, a zero at the origin) adds
    // exactly 0 to the delay, so the column skips its term.
    std::array<Cx, 3> delayZeros{};
    int delayZeroCount = 0;
    long double leadAngle = 0; // arg of num_lead / den_lead: 0 or pi
    bool rootsReady = false;
};

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
                                                       bool roots = true) {
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

// ---- The column in double precision -------------------------------------------------
//
// The column is evaluated in double precision with a bound on the error of every value,
// and each value is stored only when every number within its bound rounds to the same
// 6-byte real (model/sure_rounding.h); a value in doubt is evaluated again in compensated
// arithmetic (below), and a point still in doubt by Evaluate above. The samples are then
// those of the extended evaluation rounded to the 6-byte real (but for the gains in dB
// the compensated evaluation settles, see there).
//
// The points are taken in blocks of kBlock, and every step is a loop over the block's
// points, one quantity at a time, written without branches so that it vectorises (each
// such function is built for 512-bit, 256-bit and 128-bit vectors and the one for the
// processor chosen when the program loads; the builds do the same operations in the same
// order, and the bounds hold for each).
//
// Frequencies are divided by ws = 2^scale, a power of two near the cascade's pole
// frequencies, so products of twenty factors stay well inside the double range; the
// division is exact, and the delay and the gain constant are scaled back by exact powers
// of two. Each stage contributes its monic factors (MonicFactors): per point and factor
//   F = (c0 - w^2) + j c1 w   (a quadratic; c1 = 0: a pair of zeros on the jw axis)
//   F = c0 + j w              (a linear factor),
// multiplied into a running product for the poles and one for the zeros. The product is
// turned back into the first quadrant by exact quarter turns after every factor and the
// turns counted, so one arctangent of the two products gives the phase. The delay is the
// sum of d(arg F)/dw = c1 (c0 + w^2) / |F|^2 (quadratic) or c0 / |F|^2 (linear), added
// as a running fraction (N, D) <- (N |F|^2 + a D, D |F|^2): positive terms, no division
// per factor.
//
// Error bounds, u = 2^-53 (relative, to first order; every bound is doubled at the end):
//  - c0 is held as c0h + c0l and w^2 as the exact square w2h + w2l (w itself as wh + wl),
//    so c0 - w^2 carries 2.01 u |c0 - w^2| + 7 u^2 (c0 + w^2) and no cancellation error;
//    c1 w carries 3.01 u (conversion of c1, of w, the product). The error of a quadratic
//    factor relative to |F| is then at most 4.3 u + 7 u^2 gamma with
//    gamma = max (c0 + w^2)/|F| = 1 + 2 Q; a linear factor's at most 1.5 u; a factor on
//    the axis 2.01 u + 7 u^2 (c0 + w^2)/|c0 - w^2|, whose ratio is summed per point (a
//    point too near a notch, ratio above 2^20, is evaluated again).
//  - A complex product adds sqrt(5) u (magnitude and argument), a real scaling u. The
//    relative error of |product| and the argument error of the product are both bounded
//    by the sum over its factors.
//  - Delay terms carry 14.04 u + 14 u^2 gamma (quadratic) or 5.01 u (linear); the running
//    fraction of n positive terms adds 3 u per step and the final division u.
//  - The column logarithm and arctangent (vector_math.h) are taken within kBatchUlps
//    (4) units of the last place, 8 u of their values.
//  - The extended evaluation is itself an approximation of the exact value: its error,
//    some units of 2^-64 times the same condition numbers (gamma of each factor, the
//    notch ratios, the deflation of a cubic), is added with a factor of 8, so the
//    interval holds both values.
// A factor's argument stays below pi - 2^-19 over the column (checked per design from
// c1 / wmax), so the quarter-turn count never meets the ambiguity at a full turn.

constexpr double kU = 0x1p-53;
constexpr double kSqrt5U = 2.2361 * kU;
constexpr double kSafety = 2.0;
constexpr double kExtendedU = 0x1p-61; // 8 units of 2^-64
constexpr double kNotchRatioLimit = 0x1p20;
constexpr double kDegreesD = 180.0 / std::numbers::pi;
constexpr int kBlock = 64; // points per block: the running state stays in the L1 cache
static_assert(kBlock <= 64 && kBlock % 8 == 0, "the points in doubt of a block are the bits of one 64-bit mask");

// A list of at most N entries held in place: the fast form of a cascade is built for
// every column, and its lists need no allocation. The entries past `count` are left
// unset (T is a plain aggregate), so that an empty list costs nothing to make.
// push_back reports a full list.
template <typename T, std::size_t N>
struct FixedList {
    std::array<T, N> items;
    std::size_t count = 0;
    bool push_back(const T& v) {
        if (count == N) return false;
        items[count++] = v;
        return true;
    }
    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    const T* begin() const { return items.data(); }
    const T* end() const { return items.data() + count; }
};
// Two factors per stage and side at most (a cubic's linear and quadratic ones).
constexpr std::size_t kMaxFactors = 2 * kMaxStages;

// Made with FastFactor{} (every field 0).
struct FastFactor {
    enum Kind : uint8_t { Quadratic, Linear, Axis };
    Kind kind;
    // c0 = c0h + c0l and c1 = c1 + c1l exactly (the extended constants split in two); a
    // linear factor's c0^2 as c2h + c2l, within 2^-104 of itself.
    double c0h, c0l, c1, c1l;
    double c2h, c2l;
};

struct FastCascade {
    FixedList<FastFactor, kMaxFactors> poles, zeros;
    int scale = 0;         // frequencies are divided by 2^scale
    double gain = 0;       // prod |num_lead / den_lead| * 2^(scale (zero degree - pole degree))
    double leadTurns = 0;  // quarter turns of the leading-coefficient signs (-2 per negative ratio)
    double poleArgErr = 0; // bound of the relative error of |pole product|, and of its argument
    double zeroArgErr = 0; // the same for the zeros, without the notch ratios
    double poleDelayErr = 0, zeroDelayErr = 0; // relative bounds of the two delay sums
    double condition = 0;                      // sum of the condition numbers the extended evaluation meets
    bool notches = false;
    // The stages' polynomials for the compensated gains (see CompensatedGains): the
    // coefficients of the frequencies divided by 2^scale, numerator and denominator of a
    // stage multiplied by the same power of two (the denominator's largest coefficient
    // brought near 1), each split exactly into two doubles. A point's squared magnitudes
    // must lie within [polyMin, polyMax], so that the products of a side stay within
    // 2^+-900. Not usable (polysOk false) when a coefficient leaves the double range.
    struct Poly { // made with Poly{} (every field 0)
        double h[4], l[4];
        bool cubic;
    };
    FixedList<Poly, kMaxStages> polys[2]; // denominators, numerators
    bool polysOk = false;
    double polyMin = 0, polyMax = 0;
    // The polynomials of degree 0, their squares multiplied out once (constH + constL per
    // side) and their number.
    double constH[2] = {1, 1}, constL[2] = {0, 0}, constCount = 0;
};

// The largest and smallest magnitude a factor can have over [wmin, wmax] (scaled), for
// the range check. A factor on the axis is kept at least 2^-20 (c0 + w^2) from 0: a
// point nearer a notch is evaluated again.
struct FactorRange {
    long double lo = 1, hi = 1;
};
FactorRange RangeOf(const FastFactor& f, long double c0, long double c1, long double wmin, long double wmax) {
    switch (f.kind) {
    case FastFactor::Quadratic:
        return {c1 * wmin, c0 + wmax * wmax + c1 * wmax};
    case FastFactor::Linear:
        return {std::max(c0, wmin), c0 + wmax};
    default:
        return {0x1p-20L * std::max(c0, wmin * wmin), c0 + wmax * wmax + c1 * wmax};
    }
}

// Splits a long double into a double and the double remainder (SplitExtended): exact for
// the 64-bit significand when the value is inside the normal double range.
bool SplitToDoubles(long double x, double& hi, double& lo) {
    if (!(std::fabs(x) <= 0x1p900L) || (x != 0.0L && std::fabs(x) < 0x1p-900L)) return false;
    const DoubleDouble parts = SplitExtended(x);
    hi = parts.Hi;
    lo = parts.Lo;
    return true;
}

// ---- Sums and products of two doubles ------------------------------------------------

// s + e = a + b exactly (Knuth's sum: no condition on the order of a and b).
inline void TwoSum(double a, double b, double& s, double& e) {
    s = a + b;
    const double bb = s - a;
    e = (a - (s - bb)) + (b - bb);
}

// hi + lo = (ah + al)(bh + bl), within 6 u^2 of the product; |lo| <= u |hi|.
inline void MultiplyDd(double& ah, double& al, double bh, double bl) {
    const double p = ah * bh;
    double e = std::fma(ah, bh, -p);
    e = std::fma(ah, bl, e);
    e = std::fma(al, bh, e);
    const double s = p + e;
    al = e - (s - p);
    ah = s;
}

// hi + lo = h^2 + 2 h l (the square of h + l less l^2), the sum's parts; |l| <= u |h|.
inline void SquareDd(double h, double l, double& sh, double& sl) {
    sh = h * h;
    sl = std::fma(h, h, -sh);
    sl = std::fma(2.0 * h, l, sl);
}

// (sh, sl) = (ah + al) + (bh + bl), renormalised.
inline void AddDd(double ah, double al, double bh, double bl, double& sh, double& sl) {
    double s = 0, e = 0;
    TwoSum(ah, bh, s, e);
    e += al + bl;
    sh = s + e;
    sl = e - (sh - s);
}

// (ph, pl) = (ah + al)(bh + bl).
inline void ProductDd(double ah, double al, double bh, double bl, double& ph, double& pl) {
    ph = ah;
    pl = al;
    MultiplyDd(ph, pl, bh, bl);
}

// (qh, ql) = (nh + nl) / (dh + dl): the remainder of the quotient of the high parts
// exactly by the fused multiply-add.
inline void QuotientDd(double nh, double nl, double dh, double dl, double& qh, double& ql) {
    const double q = nh / dh;
    const double rem = std::fma(-q, dh, nh);
    const double lo = (rem + nl - q * dl) / dh;
    qh = q + lo;
    ql = lo - (qh - q);
}

// Bounds of log2 of a positive number for the scale and the range checks below, from the
// binary exponent of its double (no logarithm taken): floor(log2 x) and floor(log2 x) + 1.
// The checks keep margins of hundreds of binary orders, which the unit of slack per factor
// does not approach. Outside the normal double range the results are no longer bounds
// (-1023 for a number below it, 1024 or 1025 beyond it), but every check fails on them
// (its threshold lies within +-1000), as it would on the logarithm.
inline long double Log2Below(long double x) {
    const uint64_t e = (std::bit_cast<uint64_t>(static_cast<double>(x)) >> 52) & 0x7ff;
    return static_cast<long double>(static_cast<int>(e) - 1023);
}
inline long double Log2Above(long double x) {
    return Log2Below(x) + 1.0L;
}

// The fast form of the cascade for the column's scaled frequency range in `fc` (a
// FastCascade as made by default, its lists empty); false when
// a stage is unusual (a root in the right half-plane or on the axis among the poles, a
// very high Q, a factor whose argument comes near pi) or the products could leave the
// double range: then every point takes the extended evaluation.
bool PrepareFast(const std::vector<PreparedStage>& stages, long double wmin, long double wmax, FastCascade& fc) {
    if (!(wmin > 0.0L) || !(wmax >= wmin) || !std::isfinite(wmax)) return false;
    // The scale: the mean of the log2 natural frequencies of the factors.
    long double logSum = 0.0L;
    int logCount = 0;
    for (const PreparedStage& p : stages) {
        if (!p.poleFactors.leftHalfPlane || !p.zeroFactors.leftHalfPlane) return false;
        for (const MonicFactors* m : {&p.poleFactors, &p.zeroFactors})
            for (int k = 0; k < m->count; ++k) {
                const auto& f = m->factor[static_cast<std::size_t>(k)];
                if (!(f.c0 > 0.0L) || !std::isfinite(f.c0)) continue;
                logSum += (f.quadratic ? 0.5L : 1.0L) * (Log2Below(f.c0) + 0.5L);
                ++logCount;
            }
    }
    // The lists sized once (not grown factor by factor).
    std::size_t poleCount = 0, zeroCount = 0;
    for (const PreparedStage& p : stages) {
        poleCount += static_cast<std::size_t>(p.poleFactors.count);
        zeroCount += static_cast<std::size_t>(p.zeroFactors.count);
    }
    if (poleCount > kMaxFactors || zeroCount > kMaxFactors || stages.size() > kMaxStages) return false;
    fc.scale = logCount ? static_cast<int>(std::lround(logSum / logCount)) : 0;
    // 2^-scale and its square: products by them are the exact scalings (the extended
    // range holds every value met here), at a fraction of the cost of ldexp.
    const long double unit = std::ldexp(1.0L, -fc.scale), unit2 = unit * unit;
    const long double sw = wmin * unit, sW = wmax * unit;

    long double gain = 1.0L, condition = 0.0L;
    long double poleHi = 0, poleLo = 0, zeroHi = 0, zeroLo = 0; // log2 sums of the ranges
    long double termHi[2] = {0, 0}, termLoLog[2] = {0, 0};      // delay sums: bound, log2 of the least term
    termLoLog[0] = termLoLog[1] = 0.0L;
    int degree = 0; // zero degree - pole degree
    int delayCount[2] = {0, 0};
    double delayTermErr[2] = {0, 0};
    long double leadTurns = 0;
    for (const PreparedStage& p : stages) {
        const int nn = Degree(p.num), nd = Degree(p.den);
        gain *= std::fabs(p.num[static_cast<std::size_t>(nn)] / p.den[static_cast<std::size_t>(nd)]);
        degree += nn - nd;
        if (p.leadAngle != 0.0L) leadTurns -= 2;
        condition += p.zeroFactors.deflation + p.poleFactors.deflation;
        for (int side = 0; side < 2; ++side) {
            const MonicFactors& m = side == 0 ? p.poleFactors : p.zeroFactors;
            for (int k = 0; k < m.count; ++k) {
                const auto& src = m.factor[static_cast<std::size_t>(k)];
                FastFactor f{};
                const long double c0 = src.c0 * (src.quadratic ? unit2 : unit);
                const long double c1 = src.c1 * unit;
                if (!std::isfinite(c0) || !std::isfinite(c1)) return false;
                // A pair of zeros on the axis, or so near it (Q above 2^19, realised
                // notches) that its argument is within rounding of 0 or pi away from the
                // notch, is taken as a sign and a nearly real factor.
                const bool nearAxis = !(c1 > 0.0L) || (side == 1 && 2.0L * std::sqrt(c0) / c1 > 0x1p20L);
                f.kind = !src.quadratic ? FastFactor::Linear
                         : nearAxis     ? FastFactor::Axis
                                        : FastFactor::Quadratic;
                // Poles on the axis or at the origin take the extended evaluation.
                if (side == 0 && (f.kind == FastFactor::Axis || !(c0 > 0.0L))) return false;
                if (!SplitToDoubles(c0, f.c0h, f.c0l)) return false;
                if (!SplitToDoubles(c1, f.c1, f.c1l)) return false;
                if (f.kind == FastFactor::Linear) {
                    const DoubleDouble sq = velmora::ExactSquare(f.c0h);
                    f.c2h = sq.Hi;
                    f.c2l = sq.Lo + (2.0 * f.c0h + f.c0l) * f.c0l;
                }
                double rho = 0.0, term = 0.0;
                if (f.kind == FastFactor::Quadratic) {
                    const long double gamma = 1.0L + 2.0L * std::sqrt(c0) / c1;
                    if (!(gamma <= 0x1p20L) || !(c1 / sW >= 0x1p-19L)) return false;
                    rho = 4.3 * kU + 7.0 * kU * kU * static_cast<double>(gamma);
                    term = 14.04 * kU + 14.0 * kU * kU * static_cast<double>(gamma);
                    condition += gamma;
                    termHi[side] += gamma / sw;
                    const long double top = c0 + sW * sW + c1 * sW;
                    termLoLog[side] = std::min(termLoLog[side], Log2Below(c1 * (c0 + sw * sw) / (top * top)));
                } else if (f.kind == FastFactor::Linear) {
                    rho = 1.5 * kU;
                    term = c0 > 0.0L ? 5.01 * kU : 0.0;
                    condition += 1.0L;
                    if (c0 > 0.0L) {
                        termHi[side] += 1.0L / sw;
                        termLoLog[side] = std::min(termLoLog[side], Log2Below(c0 / (c0 * c0 + sW * sW)));
                    }
                } else {
                    // Plus 7 u^2 times the notch ratio, per point; im <= 2^-20 |re| (per point).
                    rho = 2.02 * kU;
                    term = c1 > 0.0L ? 14.04 * kU + 14.0 * kU * kU * kNotchRatioLimit : 0.0;
                    fc.notches = true;
                    condition += 1.0L;
                    if (c1 > 0.0L) {
                        termHi[side] += kNotchRatioLimit * kNotchRatioLimit * c1 / (c0 + sw * sw);
                        const long double top = c0 + sW * sW + c1 * sW;
                        termLoLog[side] =
                            std::min(termLoLog[side], Log2Below(c1 * (c0 + sw * sw) / (top * top)));
                    }
                }
                if (term > 0.0) {
                    ++delayCount[side];
                    delayTermErr[side] = std::max(delayTermErr[side], term);
                }
                const FactorRange r = RangeOf(f, c0, c1, sw, sW);
                if (!(r.lo > 0.0L) || !std::isfinite(r.hi)) return false;
                (side == 0 ? poleHi : zeroHi) += Log2Above(std::max(1.0L, r.hi));
                (side == 0 ? poleLo : zeroLo) += Log2Below(std::min(1.0L, r.lo));
                (side == 0 ? fc.poleArgErr : fc.zeroArgErr) += rho + kSqrt5U;
                (side == 0 ? fc.poles : fc.zeros).push_back(f);
            }
        }
    }
    // Every product, its square and the delay fractions stay normal: |products| within
    // 2^+-480, so |F|^2 products within 2^+-960, and the delay numerators a little beyond.
    if (poleHi + zeroHi > 480.0L || poleLo + zeroLo < -480.0L) return false;
    for (int side = 0; side < 2; ++side) {
        const long double hi = side == 0 ? poleHi : zeroHi, lo = side == 0 ? poleLo : zeroLo;
        if (delayCount[side] == 0) continue;
        if (2.0L * hi + Log2Above(termHi[side]) > 1000.0L || 2.0L * lo + termLoLog[side] < -1000.0L)
            return false;
        (side == 0 ? fc.poleDelayErr : fc.zeroDelayErr) =
            delayTermErr[side] + (3.01 * delayCount[side] + 1.0) * kU;
    }
    const long double scaledGain = std::ldexp(gain, degree * fc.scale);
    if (!(scaledGain >= 0x1p-900L && scaledGain <= 0x1p900L)) return false;
    fc.gain = static_cast<double>(scaledGain);
    fc.polysOk = true;
    FixedList<FastCascade::Poly, kMaxStages> constants[2];
    // Powers of two, products by which are exact: 2^(k scale) for the coefficient of s^k.
    std::array<long double, 4> powers{};
    for (int k = 0; k < 4; ++k)
        powers[static_cast<std::size_t>(k)] = k == 0 ? 1.0L : powers[static_cast<std::size_t>(k - 1)] / unit;
    for (const PreparedStage& p : stages) {
        // Scaled coefficients a_k 2^(k scale), and the power of two of the largest of the
        // denominator's: both polynomials are divided by it (exactly; the ratio is kept).
        std::array<long double, 4> num{}, den{};
        long double largest = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            num[k] = p.num[k] * powers[k];
            den[k] = p.den[k] * powers[k];
            largest = std::max(largest, std::fabs(den[k]));
        }
        const int e = largest > 0.0L && std::isfinite(largest) ? std::ilogb(largest) : 0;
        const long double down = std::ldexp(1.0L, -e);
        for (int side = 0; side < 2; ++side) {
            const std::array<long double, 4>& a = side == 0 ? den : num;
            FastCascade::Poly poly{};
            for (int k = 0; k < 4; ++k)
                fc.polysOk = fc.polysOk && SplitToDoubles(a[static_cast<std::size_t>(k)] * down, poly.h[k], poly.l[k]);
            poly.cubic = poly.h[3] != 0.0;
            if (poly.h[1] == 0.0 && poly.h[2] == 0.0 && poly.h[3] == 0.0)
                constants[side].push_back(poly); // |P|^2 = b0^2 at every frequency
            else
                fc.polys[side].push_back(poly);
        }
    }
    const double polyLimit = std::floor(900.0 / static_cast<double>(std::max<std::size_t>(stages.size(), 1)));
    fc.polyMin = std::ldexp(1.0, -static_cast<int>(polyLimit));
    fc.polyMax = std::ldexp(1.0, static_cast<int>(polyLimit));
    // The constant polynomials' squares multiplied out once, as the points' products
    // would take them (b0^2 exactly as two doubles from b0's halves, then the products).
    for (int side = 0; side < 2; ++side) {
        fc.constH[side] = 1.0;
        fc.constL[side] = 0.0;
        for (const FastCascade::Poly& q : constants[side]) {
            const DoubleDouble sq = velmora::ExactSquare(q.h[0]);
            const double mh = sq.Hi, ml = sq.Lo + (2.0 * q.h[0] + q.l[0]) * q.l[0];
            fc.polysOk = fc.polysOk && mh >= fc.polyMin && mh <= fc.polyMax;
            MultiplyDd(fc.constH[side], fc.constL[side], mh, ml);
        }
    }
    fc.constCount = static_cast<double>(constants[0].size() + constants[1].size());
    fc.leadTurns = static_cast<double>(leadTurns);
    fc.condition =
        static_cast<double>(condition + static_cast<long double>(fc.poles.size() + fc.zeros.size()));
    if (!(fc.condition <= 0x1p30)) return false;
    return true;
}

// The running state of one block of points. A product starts at 1; a delay fraction at
// 0 / 1.
struct alignas(32) Chain {
    double zr[kBlock], zi[kBlock], q[kBlock];
    double dn[kBlock], dd[kBlock];
};
struct alignas(32) Block {
    double wh[kBlock], w2h[kBlock], w2l[kBlock]; // scaled w (exact) and its exact square
    Chain chain[2];                              // poles, zeros
    double nn[kBlock], nd[kBlock]; // the sum of (c0 + w^2) / |c0 - w^2| over the notches
    double nearNotch[kBlock];      // > 0 where a notch factor's im exceeds 2^-20 |re|
    double usable[kBlock];         // 1 for a positive finite frequency, else 0
};

// The arrays of one block as the factor loops see them: distinct, so that the compiler
// vectorises the loops over the points.
struct BlockArrays {
    const double* __restrict wh;
    const double* __restrict w2h;
    const double* __restrict w2l;
    double* __restrict zr;
    double* __restrict zi;
    double* __restrict q;
    double* __restrict dn;
    double* __restrict dd;
    double* __restrict nn;
    double* __restrict nd;
    double* __restrict nearNotch;
};

// Multiplies the running product by a factor whose argument lies in (0, pi - 2^-19) and
// turns it back into the first quadrant by exact half and quarter turns, counted in q.
// A product read just below the positive real axis (its argument a rounding error below
// 0) is left there: the arguments cannot add up to near 3 pi / 2 from the first quadrant.
// Written without branches (the comparisons as selections) so that it vectorises.
// kFresh: the chain's first factor, applied to the starting product 1 (no quarter turns)
// and the starting fraction 0 / 1, which are not read: the same operations on those
// constants, so the same values.
template <bool kFresh>
[[gnu::always_inline]] inline void MultiplyAndTurn(const BlockArrays& a, int i, double fr, double fi) {
    const double zr = kFresh ? 1.0 : a.zr[i], zi = kFresh ? 0.0 : a.zi[i];
    const double r = zr * fr - zi * fi;
    const double m = zr * fi + zi * fr;
    const double half = ((r < 0.0) & (m <= 0.0)) ? 1.0 : 0.0;
    const double sign = 1.0 - 2.0 * half; // exact: 1 or -1
    const double r1 = sign * r, i1 = sign * m;
    const bool quarter = (r1 <= 0.0) & (i1 > 0.0);
    a.zr[i] = quarter ? i1 : r1;
    a.zi[i] = quarter ? -r1 : i1;
    a.q[i] = (kFresh ? 0.0 : a.q[i]) + (2.0 * half + (quarter ? 1.0 : 0.0));
}
// The running delay fraction (N, D) <- (N m2 + t D, D m2).
template <bool kFresh>
[[gnu::always_inline]] inline void AddDelayTerm(const BlockArrays& a, int i, double m2, double t) {
    const double dn = kFresh ? 0.0 : a.dn[i], dd = kFresh ? 1.0 : a.dd[i];
    a.dn[i] = dn * m2 + t * dd;
    a.dd[i] = dd * m2;
}

template <bool kFresh>
[[gnu::always_inline]] inline void ApplyQuadratic(const BlockArrays& a, const FastFactor& f, int n) {
    const double c0h = f.c0h, c0l = f.c0l, c1 = f.c1;
    for (int i = 0; i < n; ++i) {
        const double re = (c0h - a.w2h[i]) + (c0l - a.w2l[i]);
        const double im = c1 * a.wh[i];
        MultiplyAndTurn<kFresh>(a, i, re, im);
        const double m2 = re * re + im * im;
        const double t = c1 * (c0h + a.w2h[i]);
        AddDelayTerm<kFresh>(a, i, m2, t);
    }
}

template <bool kFresh>
[[gnu::always_inline]] inline void ApplyLinear(const BlockArrays& a, const FastFactor& f, int n) {
    const double re = f.c0h;
    if (re > 0.0) {
        for (int i = 0; i < n; ++i) {
            MultiplyAndTurn<kFresh>(a, i, re, a.wh[i]);
            const double m2 = re * re + a.w2h[i];
            AddDelayTerm<kFresh>(a, i, m2, re);
        }
    } else {
        // A zero at the origin: no delay term.
        for (int i = 0; i < n; ++i) {
            MultiplyAndTurn<kFresh>(a, i, re, a.wh[i]);
            if (kFresh) {
                a.dn[i] = 0.0;
                a.dd[i] = 1.0;
            }
        }
    }
}

// A factor on or next to the axis: F = sign(re) (|re| + j sign(re) im), a half turn where
// re < 0 and a factor of argument within 2^-20 of 0 (checked per point), its notch ratio
// into the running sum and, off the axis, its delay term.
template <bool kFresh>
[[gnu::always_inline]] inline void ApplyAxis(const BlockArrays& a, const FastFactor& f, int n) {
    const double c0h = f.c0h, c0l = f.c0l, c1 = f.c1;
    const bool delay = c1 > 0.0;
    for (int i = 0; i < n; ++i) {
        const double re = (c0h - a.w2h[i]) + (c0l - a.w2l[i]);
        const double im = c1 * a.wh[i];
        const double m = std::fabs(re);
        const bool negative = re < 0.0;
        MultiplyAndTurn<kFresh>(a, i, m, negative ? -im : im);
        a.q[i] += negative ? 2.0 : 0.0;
        a.nn[i] = a.nn[i] * m + (c0h + a.w2h[i]) * a.nd[i];
        a.nd[i] *= m;
        a.nearNotch[i] += im * 0x1p20 > m ? 1.0 : 0.0;
    }
    if (delay) {
        for (int i = 0; i < n; ++i) {
            const double re = (c0h - a.w2h[i]) + (c0l - a.w2l[i]);
            const double im = c1 * a.wh[i];
            const double m2 = re * re + im * im;
            const double t = c1 * (c0h + a.w2h[i]);
            AddDelayTerm<kFresh>(a, i, m2, t);
        }
    } else if (kFresh) {
        for (int i = 0; i < n; ++i) {
            a.dn[i] = 0.0;
            a.dd[i] = 1.0;
        }
    }
}

// The block's frequencies, scaled by `down` (a power of two, exactly) and squared exactly,
// and the notch sums at their starting values (the chains start with their first factor,
// ApplyFactors). A point that is not
// a positive frequency takes wmin here and is evaluated again. The points from n up to
// the padded length (a multiple of 8, see Column) take wmin as well: every loop then runs
// in whole vectors, and their values are not used.
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void StartBlock(Block& b, const double* w, double wmin,
                                                                  double down, int n, int padded) {
    for (int i = 0; i < padded; ++i) {
        const double x = i < n ? w[i] : 0.0;
        const bool usable = (x > 0.0) & (x <= DBL_MAX);
        const double wh = (usable ? x : wmin) * down;
        const DoubleDouble sq = velmora::ExactSquare(wh);
        b.wh[i] = wh;
        b.w2h[i] = sq.Hi;
        b.w2l[i] = sq.Lo;
        b.usable[i] = usable ? 1.0 : 0.0;
        b.nn[i] = 0.0;
        b.nd[i] = 1.0;
        b.nearNotch[i] = 0.0;
    }
}

// Built for processors with 256-bit vectors as well, chosen when the program loads; both
// builds do the same operations in the same order (no fused multiply-add), so they give
// the same values.
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void ApplyFactors(Block& b, Chain& c,
                                                                    const FixedList<FastFactor, kMaxFactors>& factors,
                                                                    int n) {
    const BlockArrays a{b.wh, b.w2h, b.w2l, c.zr, c.zi, c.q, c.dn, c.dd, b.nn, b.nd, b.nearNotch};
    bool fresh = true; // the chain's product 1 and fraction 0 / 1 not yet written
    for (const FastFactor& f : factors) {
        switch (f.kind) {
        case FastFactor::Quadratic:
            fresh ? ApplyQuadratic<true>(a, f, n) : ApplyQuadratic<false>(a, f, n);
            break;
        case FastFactor::Linear:
            fresh ? ApplyLinear<true>(a, f, n) : ApplyLinear<false>(a, f, n);
            break;
        default:
            fresh ? ApplyAxis<true>(a, f, n) : ApplyAxis<false>(a, f, n);
            break;
        }
        fresh = false;
    }
    if (fresh)
        for (int i = 0; i < n; ++i) {
            c.zr[i] = 1.0;
            c.zi[i] = 0.0;
            c.q[i] = 0.0;
            c.dn[i] = 0.0;
            c.dd[i] = 1.0;
        }
}

// ---- Finishing a block ----------------------------------------------------------------
//
// The values of a block's points are finished in loops over the points: the magnitudes
// (with the gain's root) and the arguments' parts first, then one column logarithm and
// one column arctangent (vector_math.h, within kBatchUlps units of the last place: 8 u
// of the result), then the values, their bounds and the certainty tests of their 6-byte
// rounding (SureReal48Lane) in one loop and the points' classification in another. A
// point is stored when all its values are certain; a point with values in doubt goes to
// the compensated evaluations below (of the gains, of the phase lag and delay), and a
// point they leave in doubt, or one out of the fast form's range, is evaluated again in
// extended precision.

struct alignas(32) Finish {
    double g[kBlock], gErr[kBlock], ext[kBlock], argErr[kBlock], notch[kBlock];
    double y[kBlock], x[kBlock], turns[kBlock];
    double delay[kBlock], delayErr[kBlock];
    double lnG[kBlock], angle[kBlock];
    // 1 where the point must be evaluated again whole; the gain's special cases.
    double again[kBlock], zeroVV[kBlock], floorDb[kBlock];
    double outVV[kBlock], outDb[kBlock], outLag[kBlock], outDelay[kBlock];
    double sureVV[kBlock], sureDb[kBlock], sureLag[kBlock], sureDelay[kBlock];
    // The values as stored (the gains' special cases chosen, the phase angle -Phi) and
    // the point's state: 0 every value certain, 1 some in doubt (evaluated again in
    // compensated arithmetic), 2 evaluated again whole in extended precision.
    double storedVV[kBlock], storedDb[kBlock], phaseDeg[kBlock], state[kBlock];
};

struct Work {
    Block b;
    Finish f;
};

constexpr double kFloorD = static_cast<double>(kGainFloorVV);
constexpr double kDbPerLn = 8.685889638065036553; // 20 / ln 10, within u of itself
constexpr double kLog = 2.0 * kBatchUlps * kU;     // a column function's error, of its value

// 2^-floor(log2 x) for a positive normal x, from the exponent field alone: at least 1 / x
// and below 2 / x. 2^1023 for 0 and the subnormals, infinity for infinity and NaN.
inline double ReciprocalPowerOfTwoBelow(double x) {
    const uint64_t e = (std::bit_cast<uint64_t>(x) >> 52) & 0x7ff;
    return std::bit_cast<double>(((uint64_t{2046} - e) & 0x7ff) << 52);
}

// Gain: |K| sqrt(|Zz|^2 / |Zp|^2); the squares, the quotient, the root (correctly
// rounded, as the processor takes it) and the constant add 5.5 u. Phase lag: the quarter
// turns counted and the arctangent of Zp conj(Zz), which lies within (-pi/2, pi/2) up to
// rounding. Delay: the poles' sum less the zeros', scaled back to rad/s.
// Every quantity is computed for every point and the special cases selected afterwards,
// so the loop has no branches and vectorises. The notch ratio (a bound, see below) and
// the zeros' delay fraction (a division for every point) are taken only where the
// cascade has notches and zeros with a delay term (else they are 0 and 0 / 1).
template <bool kNotches, bool kZeroDelays>
[[gnu::always_inline]] inline void FinishPartsOf(const FastCascade& fc, Work& w, int n) {
    // The arrays as members of one object, so that the compiler sees them apart and
    // vectorises the loop without run-time overlap tests.
    const Chain& p = w.b.chain[0];
    const Chain& z = w.b.chain[1];
    Finish& f = w.f;
    const double unit = std::ldexp(1.0, -fc.scale);
    const double condition = fc.condition, leadTurns = fc.leadTurns;
    const double argErrFixed = fc.poleArgErr + fc.zeroArgErr;
    const double poleDelayErr = fc.poleDelayErr, zeroDelayErr = fc.zeroDelayErr;
    const double gain = fc.gain;
    for (int i = 0; i < n; ++i) {
        // The notch ratio enters only bounds and the range test, so an upper bound within
        // a factor 2 serves, without a division: nn times the reciprocal of the power of
        // two at or below nd (a zero or subnormal nd gives 2^1023, an infinite or NaN one
        // infinity, either out of range).
        const double notch = kNotches ? w.b.nn[i] * ReciprocalPowerOfTwoBelow(w.b.nd[i]) : 0.0;
        const double ext = kExtendedU * (condition + notch); // the extended evaluation's share
        const double pm2 = p.zr[i] * p.zr[i] + p.zi[i] * p.zi[i];
        const double zm2 = z.zr[i] * z.zr[i] + z.zi[i] * z.zi[i];
        const bool inRange = (notch <= kNotchRatioLimit) & (w.b.nearNotch[i] == 0.0) & (pm2 >= 0x1p-1000) &
                             (pm2 <= 0x1p1000) & (zm2 >= 0x1p-1000) & (zm2 <= 0x1p1000);
        const double argErr = argErrFixed + 7.0 * kU * kU * notch;
        // A point out of range is evaluated again; its quotient is taken anyway (of
        // numbers within range) so that no operation depends on the test.
        const double pc = pm2 < 0x1p-1000 ? 0x1p-1000 : pm2 > 0x1p1000 ? 0x1p1000 : pm2;
        const double zc = zm2 < 0x1p-1000 ? 0x1p-1000 : zm2 > 0x1p1000 ? 0x1p1000 : zm2;
        // The gain: below half the smallest 6-byte real it stores as 0; the dB value is
        // the floor below the floor's constant, the logarithm's above it, and a gain
        // whose bound straddles the floor is evaluated again.
        const double g = gain * std::sqrt(zc / pc);
        const double gRel = kSafety * (argErr + 5.5 * kU) + ext; // relative here; absolute in FinishPoints
        const double hi = g * (1.0 + gRel), lo = g * (1.0 - gRel);
        const bool floorDb = hi < kFloorD * (1.0 - 0x1p-40);
        const bool logDb = lo > kFloorD * (1.0 + 0x1p-40);
        f.again[i] = (inRange & (floorDb | logDb)) ? 0.0 : 1.0;
        f.zeroVV[i] = hi < 0x1p-129 ? 1.0 : 0.0;
        f.floorDb[i] = floorDb ? 1.0 : 0.0;
        f.g[i] = g;
        f.gErr[i] = gRel;
        f.ext[i] = ext;
        f.notch[i] = notch;
        f.argErr[i] = argErr;
        f.x[i] = p.zr[i] * z.zr[i] + p.zi[i] * z.zi[i];
        f.y[i] = p.zi[i] * z.zr[i] - p.zr[i] * z.zi[i];
        f.turns[i] = (p.q[i] - z.q[i] + leadTurns) * 90.0; // exact: small whole numbers
        const double pd = p.dn[i] / p.dd[i];
        const double zd = kZeroDelays ? z.dn[i] / z.dd[i] : 0.0;
        f.delay[i] = (pd - zd) * unit;
        f.delayErr[i] =
            (kSafety * (poleDelayErr * pd + zeroDelayErr * zd + kU * std::fabs(pd - zd)) + ext * (pd + zd)) * unit;
    }
}

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void FinishParts(const FastCascade& fc, Work& w, int n) {
    const bool zeroDelays = fc.zeroDelayErr > 0.0;
    if (fc.notches) {
        if (zeroDelays)
            FinishPartsOf<true, true>(fc, w, n);
        else
            FinishPartsOf<true, false>(fc, w, n);
    } else {
        if (zeroDelays)
            FinishPartsOf<false, true>(fc, w, n);
        else
            FinishPartsOf<false, false>(fc, w, n);
    }
}

// The gain in dB: 20 log10 g = (20 / ln 10) ln g. ln g is off by at most 1.01 times the
// relative error of g (below 1 %) and the column logarithm's 8 u of itself; the constant
// and the product add 2 u. The relative error of g is taken as its bound gErr, which is
// already doubled (and holds the extended evaluation's share): it enters once more only
// through 1.0101 (the 1.01 and the rounding of 20 / ln 10), the other terms are doubled
// here. Doubling gErr again would send a third more passband points to the compensated
// evaluation for nothing. The phase lag: the arctangent's 8 u of itself, the products'
// argument error, the conversion to degrees and the sum with the whole quarter turns
// 4 u. Then the extended evaluation's share, so that the interval holds its value too.
// Each value is then tested for a certain 6-byte rounding (SureReal48Lane) and the point
// classified (Finish::state): a point whose V/V gain is in doubt is evaluated again
// whole when the constant's square for the compensated gain is not at hand. `done` is
// set for the points that are not (their values written now, or by the compensated
// evaluations). One loop for all of it, so that the values stay in registers.
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void FinishPoints(const Block& b, Finish& f,
                                                                                       bool polysOk,
                                                                                       uint8_t* __restrict done,
                                                                                       int n) {
    for (int i = 0; i < n; ++i) {
        const double l = f.lnG[i], gRel = f.gErr[i], ext = f.ext[i];
        const double db = kDbPerLn * l;
        const double dbErr = kDbPerLn * 1.0101 * gRel + kSafety * (kDbPerLn * kLog * std::fabs(l) + 2.0 * kU * std::fabs(db)) +
                             8.7 * ext + kExtendedU * 4.0 * std::fabs(db);
        const double g = f.g[i];
        const double gErr = g * gRel;
        const double a = f.angle[i];
        const double lag = f.turns[i] + a * kDegreesD;
        const double radErr = f.argErr[i] + kSqrt5U + kLog * std::fabs(a);
        const double lagErr = kSafety * (kDegreesD * (1.0 + 2.0 * kU) * radErr + 2.0 * kU * std::fabs(a * kDegreesD) +
                                         kU * std::fabs(lag)) +
                              kDegreesD * ext + kExtendedU * 4.0 * std::fabs(lag);
        double outVV = 0, outDb = 0, outLag = 0, outDelay = 0;
        const bool sureVV = SureReal48Lane(g, gErr, outVV);
        const bool sureDb = SureReal48Lane(db, dbErr, outDb);
        const bool sureLag = SureReal48Lane(lag, lagErr, outLag);
        const bool sureDelay = SureReal48Lane(f.delay[i], f.delayErr[i], outDelay);
        f.outVV[i] = outVV;
        f.outDb[i] = outDb;
        f.outLag[i] = outLag;
        f.outDelay[i] = outDelay;
        f.sureVV[i] = sureVV ? 1.0 : 0.0;
        f.sureDb[i] = sureDb ? 1.0 : 0.0;
        f.sureLag[i] = sureLag ? 1.0 : 0.0;
        f.sureDelay[i] = sureDelay ? 1.0 : 0.0;
    }
    // The classification in a loop of its own: with the values' in one, the vector
    // registers would not hold them all.
    for (int i = 0; i < n; ++i) {
        const bool sureVV = f.sureVV[i] != 0.0, sureDb = f.sureDb[i] != 0.0;
        const bool sureLag = f.sureLag[i] != 0.0, sureDelay = f.sureDelay[i] != 0.0;
        const bool usable = (b.usable[i] != 0.0) & (f.again[i] == 0.0);
        const bool zeroVV = f.zeroVV[i] != 0.0, floorDb = f.floorDb[i] != 0.0;
        const bool vvDoubt = !zeroVV & !sureVV;
        const bool dbDoubt = !floorDb & !sureDb;
        const bool phaseDoubt = !sureLag | !sureDelay;
        f.storedVV[i] = zeroVV ? 0.0 : f.outVV[i];
        f.storedDb[i] = floorDb ? static_cast<double>(kGainFloorDb) : f.outDb[i];
        f.phaseDeg[i] = -f.outLag[i];
        const bool whole = (!usable) | (vvDoubt & !polysOk);
        f.state[i] = whole ? 2.0 : (vvDoubt | dbDoubt | phaseDoubt) ? 1.0 : 0.0;
        done[i] = whole ? 0 : 1;
    }
}

// ---- The gains in compensated arithmetic ---------------------------------------------
//
// A passband gain such as -0.3 dB is stored to about 5e-14 dB, and one within 0.001 dB of
// 0 dB to some 1e-16 dB; the double product above is only certain to about 1e-14 dB
// times the number of factors. Where a point's gain in dB (or in V/V) is in doubt, its
// squared gain is evaluated again from the stages' polynomials themselves, in
// compensated arithmetic: every |P(jw)|^2 = (b0 - b2 w^2)^2 + w^2 (b1 - b3 w^2)^2 as a sum
// of two doubles (error-free sums and products, the fused multiply-add giving each
// product's rounding error), multiplied into running products Pd, Pn of the
// denominators and the numerators, then R = Pn / Pd = r + rl and ln R = ln r + rl / r.
// The logarithm's error is then 8 u of ln r, which is small where the gain is near
// 0 dB: what was an absolute error of the magnitude's relative size becomes an error
// relative to the dB value itself.
//
// Error bound, relative to R, u = 2^-53: the coefficients are the realised ones exactly
// (split into two doubles) and w^2 is exact. With S = sum |b_k| w^k, re and im are within
// 9 u^2 S and 15 u^2 S of their values (products within 6 u^2, sums within 3 u^2 of their
// terms), so |P|^2 = re^2 + im^2 is within 43 u^2 S |P| + 9 u^2 |P|^2, at most
// 52 u^2 (S / |P|)^2 of itself; each product of the running products adds 6 u^2, the
// quotient 10 u^2, the second-order term of ln(1 + rl / r) u^2. All of it lies below
// 2^-99 (sum over the polynomials of (S / |P|)^2, plus 1) of R, the bound taken. ln R is
// then off by that bound (relative errors below 2^-40, so ln(1 + e) is e within a
// thousandth), ln r by 8 u of itself (the column logarithm), l = ln r + rl / r by u of
// itself; 10 log10 R = (10 / ln 10) l adds 2 u (the constant and the product). The bound
// is doubled.
//
// The gain in dB so certified is the exact value of the realised polynomials rounded to
// the 6-byte real: its evaluation is more precise than the extended one, whose error is
// not added here. Where the extended evaluation's own error reaches a rounding boundary
// (gains within some 1e-17 dB, times the cascade's condition, of one) the two may store
// neighbouring 6-byte reals, and this one is the correctly rounded value; the tests check
// such points against a quadruple-precision evaluation. The gain in V/V, sqrt(R), has the
// extended evaluation's share added as in the double evaluation, so that it stays the
// extended evaluation's value.

struct alignas(32) Compensated {
    double wh[kBlock], w2h[kBlock], w2l[kBlock];
    double ph[2][kBlock], pl[2][kBlock]; // running products of the denominators' and numerators' |P|^2
    double r[kBlock], rl[kBlock], ok[kBlock];
    double lnR[kBlock], db[kBlock], dbErr[kBlock], out[kBlock], sure[kBlock];
    double s[kBlock], vv[kBlock], vvErr[kBlock], outVV[kBlock], sureVV[kBlock];
    double ext[kBlock], notch[kBlock];
    // The sum of S^2 and the least |P|^2 over the polynomials (their quotient bounds the
    // sum of (S / |P|)^2); the squared magnitudes out of range.
    double cond[kBlock], least[kBlock], bad[kBlock];
    int point[kBlock];
};

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VELMORA_FMA_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define VELMORA_FMA_CLONES
#endif







// |P(jw)|^2 of one polynomial for the block's points, multiplied into the running
// products of its side, with its condition (S / |P|)^2 and the range test.
// The arrays are all reached through `c`, one object, so that the compiler sees them
// apart and vectorises the loop without run-time overlap tests.
template <int kSide, bool kCubic>
[[gnu::always_inline]] inline void PolyProduct(const FastCascade::Poly& q, const FastCascade& fc, Compensated& c,
                                               int n) {
    const double b0h = q.h[0], b0l = q.l[0], b1h = q.h[1], b1l = q.l[1], b2h = q.h[2], b2l = q.l[2];
    const double b3h = q.h[3], b3l = q.l[3];
    const double a0 = std::fabs(b0h), a1 = std::fabs(b1h), a2 = std::fabs(b2h), a3 = std::fabs(b3h);
    const double lo = fc.polyMin, hi = fc.polyMax;
    for (int i = 0; i < n; ++i) {
        const double w = c.wh[i], w2h = c.w2h[i], w2l = c.w2l[i];
        // re = b0 - b2 w^2: the product's high part exactly with its rounding error (the
        // fused multiply-add) and the low parts' products, the difference error-free.
        const double p = b2h * w2h;
        const double pe = std::fma(b2l, w2h, std::fma(b2h, w2l, std::fma(b2h, w2h, -p)));
        double reh = 0, rel = 0, s = 0, t = 0;
        TwoSum(b0h, -p, s, t);
        t += b0l - pe;
        reh = s + t;
        rel = t - (reh - s);
        // im = w (b1 - b3 w^2), w exact.
        double uh = b1h, ul = b1l;
        if constexpr (kCubic) {
            double th = 0, tl = 0;
            ProductDd(b3h, b3l, w2h, w2l, th, tl);
            AddDd(b1h, b1l, -th, -tl, uh, ul);
        }
        const double imh = uh * w;
        const double iml = std::fma(uh, w, -imh) + ul * w;
        double ah = 0, al = 0, bh = 0, bl = 0, mh = 0, ml = 0;
        SquareDd(reh, rel, ah, al);
        SquareDd(imh, iml, bh, bl);
        AddDd(ah, al, bh, bl, mh, ml);
        const double sum = a0 + a2 * w2h + (a1 + a3 * w2h) * w;
        c.cond[i] += sum * sum;
        c.least[i] = mh < c.least[i] ? mh : c.least[i];
        c.bad[i] += ((mh >= lo) & (mh <= hi)) ? 0.0 : 1.0;
        MultiplyDd(c.ph[kSide][i], c.pl[kSide][i], mh, ml);
    }
}

template <int kSide>
[[gnu::always_inline]] inline void PolyProducts(const FastCascade& fc, Compensated& c, int n) {
    for (const FastCascade::Poly& q : fc.polys[kSide]) {
        if (q.cubic)
            PolyProduct<kSide, true>(q, fc, c, n);
        else
            PolyProduct<kSide, false>(q, fc, c, n);
    }
}

VELMORA_FMA_CLONES void CompensatedProducts(const FastCascade& fc, Compensated& c, int n) {
    PolyProducts<0>(fc, c, n);
    PolyProducts<1>(fc, c, n);
}

// R = Pn / Pd as r + rl: the quotient r of the high parts, its remainder exactly by the
// fused multiply-add, and the low parts' share. The products are kept within 2^+-900,
// so that their low parts and the remainder stay normal.
VELMORA_FMA_CLONES void CompensatedRatio(Compensated& c, int n) {
    for (int i = 0; i < n; ++i) {
        const double nh = c.ph[1][i], nl = c.pl[1][i];
        const double dh = c.ph[0][i], dl = c.pl[0][i];
        const double r = nh / dh;
        const double rem = std::fma(-r, dh, nh);
        c.r[i] = r;
        c.rl[i] = (rem + nl - r * dl) / dh;
        c.ok[i] = ((nh >= 0x1p-900) & (nh <= 0x1p900) & (dh >= 0x1p-900) & (dh <= 0x1p900) & (c.bad[i] == 0.0))
                      ? 1.0
                      : 0.0;
    }
}

// sqrt(R) = s + (r - s^2 + rl) / (2 s), s the correctly rounded square root of r.
VELMORA_FMA_CLONES void CompensatedRoots(Compensated& c, int n) {
    for (int i = 0; i < n; ++i) {
        const double s = c.s[i], r = c.r[i];
        c.vv[i] = s + (std::fma(-s, s, r) + c.rl[i]) / (2.0 * s);
    }
}

// The points of a column with values in doubt: for each its index in the column, its
// scaled w, the extended evaluation's share of the error and its notch ratio, and `vv`
// where its gain in V/V is in doubt as well as its gain in dB. One array per quantity,
// sized once for the column (at most one entry per point), so that adding a point is a
// few stores and a block of them loads as whole vectors.
struct PointList {
    std::vector<double> wh, ext, notch, vv;
    std::vector<int> index;
    std::size_t size = 0;
    void reset(std::size_t points) {
        const std::size_t capacity = points + 8; // and the padding (pad)
        if (wh.size() < capacity) {
            wh.resize(capacity);
            ext.resize(capacity);
            notch.resize(capacity);
            index.resize(capacity);
            vv.resize(capacity);
        }
        size = 0;
    }
    // Adds the point when `taken`: its entry is written either way (the storage has room
    // for one past the points), so that the choice needs no branch.
    void add(int k, double w, double e, double n, bool v, bool taken) {
        wh[size] = w;
        ext[size] = e;
        notch[size] = n;
        index[size] = k;
        vv[size] = v ? 1.0 : 0.0;
        size += taken ? 1 : 0;
    }
    // Repeats the first point up to a whole number of vectors of 8 entries, so that the
    // last block loads and runs in whole vectors (the repeated values are not used).
    void pad() {
        for (std::size_t j = size; j % 8 != 0 && size > 0; ++j) {
            wh[j] = wh[0];
            ext[j] = ext[0];
            notch[j] = notch[0];
            index[j] = index[0];
            vv[j] = vv[0];
        }
    }
};

// The bound of the compensated evaluations' own error, relative to the values (see
// above): 2^-96 per unit of the cascade's condition and the notch ratio.
inline double CompensatedRel(const FastCascade& fc, double notch) {
    return 0x1p-96 * (fc.condition + notch + 1.0);
}

// Fills a block's frequencies (scaled w and its exact square, by the fused multiply-add)
// and the points' other quantities from entries start..start + padded of `list`
// (padded: a multiple of 8, the list padded as far).
template <typename Work>
[[gnu::always_inline]] inline void LoadPointsBody(Work& c, const PointList& list, std::size_t start, int padded) {
    const double* __restrict wh = list.wh.data() + start;
    const double* __restrict ext = list.ext.data() + start;
    const double* __restrict notch = list.notch.data() + start;
    const int* __restrict index = list.index.data() + start;
    for (int i = 0; i < padded; ++i) {
        const double w = wh[i], hi = w * w;
        c.wh[i] = w;
        c.w2h[i] = hi;
        c.w2l[i] = std::fma(w, w, -hi); // exact
        c.ext[i] = ext[i];
        c.notch[i] = notch[i];
        c.point[i] = index[i];
    }
}

VELMORA_FMA_CLONES void LoadPoints(Compensated& c, const PointList& list, std::size_t start, int padded) {
    LoadPointsBody(c, list, start, padded);
}

// The gains in dB and V/V of a block of compensated points with their bounds (see above).
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void CompensatedGainValues(
    Compensated& c, double constCount, int n) {
    constexpr double kDbPerLnR = 4.342944819032518277; // 10 / ln 10, within u of itself
    for (int i = 0; i < n; ++i) {
        const double r = c.r[i], lr = c.lnR[i];
        const double l = lr + c.rl[i] / r;
        const double db = kDbPerLnR * l;
        // The sum of (S / |P|)^2 over the polynomials, at most sum S^2 / least |P|^2, and
        // 1 for each constant one.
        const double cond = c.cond[i] > 0.0 ? c.cond[i] / c.least[i] : 0.0;
        const double relR = 0x1p-99 * (cond + constCount + 1.0);
        const double lErr = 1.001 * relR + kLog * std::fabs(lr) + kU * std::fabs(l);
        const bool ok = c.ok[i] != 0.0;
        const double dbErr = kSafety * (kDbPerLnR * lErr + 2.0 * kU * std::fabs(db));
        const double v = c.vv[i];
        const double vvErr = v * (kSafety * (0.5 * relR + 1.01 * kU) + c.ext[i]);
        c.db[i] = ok ? db : 0.0;
        c.dbErr[i] = ok ? dbErr : -1.0;
        c.vvErr[i] = ok ? vvErr : -1.0;
    }
}

// The gain in dB of a compensated point whose column logarithm (8 u of its value) left
// the rounding in doubt, with the extended logarithm of r instead: ln R = ln r + rl / r in
// extended precision, the logarithm within 2 units of 2^-64 of its value, the quotient,
// the sum, the constant 10 / ln 10 and the product within one each, all of it below
// 2^-60 of the dB value; R's own error as in CompensatedGainValues. The extended value is
// taken to the double nearest it, which adds the difference, and certified as the others.
bool ExtendedLogDb(const Compensated& c, int i, double constCount, long double& out) {
    constexpr long double kDbPerLnL = 4.34294481903251827651128918916605082L; // 10 / ln 10
    const long double r = c.r[i];
    const long double l = std::log(r) + static_cast<long double>(c.rl[i]) / r;
    const long double db = kDbPerLnL * l;
    const double cond = c.cond[i] > 0.0 ? c.cond[i] / c.least[i] : 0.0;
    const double relR = 0x1p-99 * (cond + constCount + 1.0);
    const double dbD = static_cast<double>(db);
    const double err = kSafety * (4.3429448190325183 * 1.001 * relR + static_cast<double>(0x1p-60L * std::fabs(db))) +
                       static_cast<double>(std::fabs(db - static_cast<long double>(dbD)));
    return SureReal48(dbD, err, out);
}

// The gains of `points` from the compensated products: the dB value of every point and
// the V/V value of those marked, written to `out` where certain. A point whose dB value
// alone is still in doubt is added to `left` (its extended gain gives it); a point whose
// V/V value is still in doubt is marked not done (evaluated again whole).
//
// The gain in V/V is sqrt(R) = s + (R - s^2) / (2 s) with s the square root of r
// (correctly rounded, so r - s^2 is exact by the fused multiply-add): half R's relative
// error, and the rounding of the sum to a double, u.
void CompensatedGains(const FastCascade& fc, const PointList& list,
                      std::vector<FinalFrequencySample>& out, std::vector<std::size_t>& left,
                      std::vector<uint8_t>& done) {
    static thread_local Compensated c;
    for (std::size_t start = 0; start < list.size; start += kBlock) {
        const int n = static_cast<int>(std::min<std::size_t>(kBlock, list.size - start));
        const int padded = (n + 7) & ~7;
        LoadPoints(c, list, start, padded);
        for (int i = 0; i < padded; ++i) {
            for (int side = 0; side < 2; ++side) {
                c.ph[side][i] = fc.constH[side];
                c.pl[side][i] = fc.constL[side];
            }
            c.cond[i] = 0.0;
            c.least[i] = INFINITY;
            c.bad[i] = 0.0;
        }
        CompensatedProducts(fc, c, padded);
        CompensatedRatio(c, padded);
        BatchLog(c.r, c.lnR, padded);
        BatchSqrt(c.r, c.s, padded);
        CompensatedRoots(c, padded);
        CompensatedGainValues(c, fc.constCount, padded);
        SureReal48Column(c.db, c.dbErr, c.out, c.sure, padded);
        SureReal48Column(c.vv, c.vvErr, c.outVV, c.sureVV, padded);
        // The values settled, written without branches (which points had their V/V gain
        // in doubt and which values are now certain follow no pattern): a point whose
        // V/V gain is still in doubt is evaluated again whole (whatever is written for
        // it here is overwritten); the few dB values still in doubt are taken up after.
        uint64_t pending = 0;
        // Raw pointers, read once: the flags are bytes, whose stores the compiler must
        // otherwise assume to change every pointer it holds.
        FinalFrequencySample* const samples = out.data();
        uint8_t* const flags = done.data();
        const double* const vvList = list.vv.data() + start;
        for (int i = 0; i < n; ++i) {
            const std::size_t k = static_cast<std::size_t>(c.point[i]);
            FinalFrequencySample& s = samples[k];
            const bool vvWanted = vvList[i] != 0.0;
            const bool vvFails = vvWanted & (c.sureVV[i] == 0.0);
            const bool dbSure = c.sure[i] != 0.0;
            s.GainVV = (vvWanted & !vvFails) ? c.outVV[i] : s.GainVV;
            s.GainDb = dbSure ? c.out[i] : s.GainDb;
            flags[k] = vvFails ? 0 : flags[k];
            pending |= static_cast<uint64_t>(!vvFails & !dbSure) << i;
        }
        for (; pending != 0; pending &= pending - 1) {
            const int i = std::countr_zero(pending);
            const std::size_t k = static_cast<std::size_t>(c.point[i]);
            long double db = 0;
            if (c.ok[i] != 0.0 && ExtendedLogDb(c, i, fc.constCount, db))
                out[k].GainDb = static_cast<double>(db); // a 6-byte real
            else
                left.push_back(k);
        }
    }
}

// ---- The phase and the delay in compensated arithmetic ----------------------------------
//
// A point whose phase lag or delay is in doubt takes them again with every factor, the
// running products and the delay sums as sums of two doubles: the factors as for the
// gain above, the complex products (four products of two double-double numbers and two
// sums) turned by exact quarter turns as in the double chain, the delay terms
// c1 (c0 + w^2) / |F|^2 and c0 / (c0^2 + w^2) as double-double quotients added into
// running sums. A double-double product is within 6 u^2 of itself, a sum within 3 u^2 of
// its terms' magnitudes, a quotient within 4 u^2; a complex product's parts are then
// within 13 u^2 |z F| of their values, which moves its magnitude by at most 18.4 u^2 of
// itself and its argument by as many radians. With the factors' own errors (8 gamma + 6
// u^2) every argument, magnitude and delay sum is within CompensatedRel of its value.
//
// The phase: X + jY = Zp conj(Zz) as double-doubles, a = atan2(Yh, Xh) + (Xh Yl - Yh Xl) /
// (Xh^2 + Yh^2): the column arctangent's 8 u of its value, the correction's u of itself
// and the second-order term u^2, and the sum's rounding u. The delay: (Sp - Sz) rounded
// to a double, u of itself. The bounds are completed as in the double evaluation
// (doubling, the extended evaluation's share).

struct alignas(32) CompensatedChains {
    double wh[kBlock], w2h[kBlock], w2l[kBlock];
    double zrh[2][kBlock], zrl[2][kBlock], zih[2][kBlock], zil[2][kBlock], q[2][kBlock];
    double sh[2][kBlock], sl[2][kBlock]; // delay sums
    double xh[kBlock], xl[kBlock], yh[kBlock], yl[kBlock], angle[kBlock];
    double lag[kBlock], lagErr[kBlock], delay[kBlock], delayErr[kBlock];
    double outLag[kBlock], sureLag[kBlock], outDelay[kBlock], sureDelay[kBlock];
    double ext[kBlock], notch[kBlock];
    int point[kBlock];
};

VELMORA_FMA_CLONES void LoadPoints(CompensatedChains& c, const PointList& list, std::size_t start, int padded) {
    LoadPointsBody(c, list, start, padded);
}




// Multiplies the running product of point i on `side` by fr + j fi and turns it back into
// the first quadrant as MultiplyAndTurn does, by the signs of the high parts.
[[gnu::always_inline]] inline void MultiplyAndTurnDd(CompensatedChains& c, int side, int i, double frh,
                                                    double frl, double fih, double fil) {
    const double zrh = c.zrh[side][i], zrl = c.zrl[side][i], zih = c.zih[side][i], zil = c.zil[side][i];
    double ah = 0, al = 0, bh = 0, bl = 0, rh = 0, rl = 0, mh = 0, ml = 0;
    ProductDd(zrh, zrl, frh, frl, ah, al);
    ProductDd(zih, zil, fih, fil, bh, bl);
    AddDd(ah, al, -bh, -bl, rh, rl);
    ProductDd(zrh, zrl, fih, fil, ah, al);
    ProductDd(zih, zil, frh, frl, bh, bl);
    AddDd(ah, al, bh, bl, mh, ml);
    const double half = ((rh < 0.0) & (mh <= 0.0)) ? 1.0 : 0.0;
    const double sign = 1.0 - 2.0 * half;
    rh *= sign;
    rl *= sign;
    mh *= sign;
    ml *= sign;
    const bool quarter = (rh <= 0.0) & (mh > 0.0);
    c.zrh[side][i] = quarter ? mh : rh;
    c.zrl[side][i] = quarter ? ml : rl;
    c.zih[side][i] = quarter ? -rh : mh;
    c.zil[side][i] = quarter ? -rl : ml;
    c.q[side][i] += 2.0 * half + (quarter ? 1.0 : 0.0);
}

// Adds num / |F|^2 to the delay sum of point i on `side`.
[[gnu::always_inline]] inline void AddDelayDd(CompensatedChains& c, int side, int i, double nh, double nl,
                                             double dh, double dl) {
    double th = 0, tl = 0;
    QuotientDd(nh, nl, dh, dl, th, tl);
    AddDd(c.sh[side][i], c.sl[side][i], th, tl, c.sh[side][i], c.sl[side][i]);
}

// One factor applied to the block's points; the kind, the delay term and the side are
// fixed for the loop, which then has no branches and vectorises.
template <int kSide, bool kLinear, bool kAxis, bool kDelay>
[[gnu::always_inline]] inline void ChainFactor(const FastFactor& f, CompensatedChains& c, int n) {
    const double c0h = f.c0h, c0l = f.c0l, c1h = f.c1, c1l = f.c1l, c2h = f.c2h, c2l = f.c2l;
    for (int i = 0; i < n; ++i) {
        if constexpr (kLinear) {
            MultiplyAndTurnDd(c, kSide, i, c0h, c0l, c.wh[i], 0.0);
            if constexpr (kDelay) {
                double dh = 0, dl = 0;
                AddDd(c2h, c2l, c.w2h[i], c.w2l[i], dh, dl);
                AddDelayDd(c, kSide, i, c0h, c0l, dh, dl);
            }
        } else {
            double s = 0, e = 0, reh = 0, rel = 0;
            TwoSum(c0h, -c.w2h[i], s, e);
            TwoSum(s, (c0l - c.w2l[i]) + e, reh, rel);
            const double imh = c1h * c.wh[i];
            const double iml = std::fma(c1h, c.wh[i], -imh) + c1l * c.wh[i];
            // A factor on the axis: F = sign(re) (|re| + j sign(re) im), the sign a half turn.
            const double negative = (kAxis & (reh < 0.0)) ? 1.0 : 0.0;
            const double sign = 1.0 - 2.0 * negative;
            c.q[kSide][i] += 2.0 * negative;
            MultiplyAndTurnDd(c, kSide, i, sign * reh, sign * rel, sign * imh, sign * iml);
            if constexpr (kDelay) {
                double ah = 0, al = 0, bh = 0, bl = 0, dh = 0, dl = 0, ch = 0, cl = 0, nh = 0, nl = 0;
                SquareDd(reh, rel, ah, al);
                SquareDd(imh, iml, bh, bl);
                AddDd(ah, al, bh, bl, dh, dl);
                AddDd(c0h, c0l, c.w2h[i], c.w2l[i], ch, cl);
                ProductDd(ch, cl, c1h, c1l, nh, nl);
                AddDelayDd(c, kSide, i, nh, nl, dh, dl);
            }
        }
    }
}

template <int kSide>
[[gnu::always_inline]] inline void ChainFactors(const FixedList<FastFactor, kMaxFactors>& factors, CompensatedChains& c,
                                                int n) {
    for (const FastFactor& f : factors) {
        if (f.kind == FastFactor::Linear) {
            if (f.c0h > 0.0)
                ChainFactor<kSide, true, false, true>(f, c, n);
            else
                ChainFactor<kSide, true, false, false>(f, c, n);
        } else if (f.kind == FastFactor::Quadratic) {
            ChainFactor<kSide, false, false, true>(f, c, n);
        } else if (f.c1 > 0.0) {
            ChainFactor<kSide, false, true, true>(f, c, n);
        } else {
            ChainFactor<kSide, false, true, false>(f, c, n);
        }
    }
}

VELMORA_FMA_CLONES void CompensatedChain(const FixedList<FastFactor, kMaxFactors>& factors, CompensatedChains& c, int side,
                                         int n) {
    if (side == 0)
        ChainFactors<0>(factors, c, n);
    else
        ChainFactors<1>(factors, c, n);
}

// X + jY = Zp conj(Zz) as double-doubles.
VELMORA_FMA_CLONES void CompensatedAngleParts(CompensatedChains& c, int n) {
    for (int i = 0; i < n; ++i) {
        double ah = 0, al = 0, bh = 0, bl = 0;
        ProductDd(c.zrh[0][i], c.zrl[0][i], c.zrh[1][i], c.zrl[1][i], ah, al);
        ProductDd(c.zih[0][i], c.zil[0][i], c.zih[1][i], c.zil[1][i], bh, bl);
        AddDd(ah, al, bh, bl, c.xh[i], c.xl[i]);
        ProductDd(c.zih[0][i], c.zil[0][i], c.zrh[1][i], c.zrl[1][i], ah, al);
        ProductDd(c.zrh[0][i], c.zrl[0][i], c.zih[1][i], c.zil[1][i], bh, bl);
        AddDd(ah, al, -bh, -bl, c.yh[i], c.yl[i]);
    }
}

// The phase lag of a compensated point whose column arctangent (8 u of its value) left
// the rounding in doubt, with the extended arctangent of the double-double parts instead:
// their sums in extended precision are within 2^-64 of themselves, which moves the angle
// by at most 2^-63 radians, and the arctangent is within 2 units of 2^-64 of its value;
// the products' argument errors, the conversion to degrees, the sum with the quarter
// turns and the extended evaluation's share as for the column arctangent. The extended
// value is taken to the double nearest it, which adds the difference, and certified.
bool ExtendedAngleLag(const FastCascade& fc, const CompensatedChains& c, int i, long double& out) {
    const long double x = static_cast<long double>(c.xh[i]) + c.xl[i];
    const long double y = static_cast<long double>(c.yh[i]) + c.yl[i];
    const long double a = std::atan2(y, x);
    constexpr long double kDegreesL = 57.2957795130823208767981548141051703L;
    const long double lag = static_cast<long double>(c.q[0][i] - c.q[1][i] + fc.leadTurns) * 90.0L + a * kDegreesL;
    const double rel = CompensatedRel(fc, c.notch[i]);
    const double radErr = 2.0 * rel + static_cast<double>(0x1p-63L + 0x1p-62L * std::fabs(a));
    const double lagD = static_cast<double>(lag);
    const double err = kSafety * (kDegreesD * (1.0 + 2.0 * kU) * radErr + static_cast<double>(0x1p-62L * std::fabs(lag))) +
                       kDegreesD * c.ext[i] + kExtendedU * 4.0 * std::fabs(lagD) +
                       static_cast<double>(std::fabs(lag - static_cast<long double>(lagD)));
    return SureReal48(lagD, err, out);
}

// The phase lags and delays of `points`, written to `out` where certain; a point with
// either still in doubt is marked not done (evaluated again whole).
void CompensatedPhaseAndDelay(const FastCascade& fc, const PointList& list,
                              std::vector<FinalFrequencySample>& out, std::vector<uint8_t>& done) {
    static thread_local CompensatedChains c;
    const double unit = std::ldexp(1.0, -fc.scale);
    for (std::size_t start = 0; start < list.size; start += kBlock) {
        const int n = static_cast<int>(std::min<std::size_t>(kBlock, list.size - start));
        const int padded = (n + 7) & ~7;
        LoadPoints(c, list, start, padded);
        for (int side = 0; side < 2; ++side)
            for (int i = 0; i < padded; ++i) {
                c.zrh[side][i] = 1.0;
                c.zrl[side][i] = c.zih[side][i] = c.zil[side][i] = c.q[side][i] = 0.0;
                c.sh[side][i] = c.sl[side][i] = 0.0;
            }
        CompensatedChain(fc.poles, c, 0, padded);
        CompensatedChain(fc.zeros, c, 1, padded);
        CompensatedAngleParts(c, padded);
        BatchAtan2(c.yh, c.xh, c.angle, padded);
        for (int i = 0; i < padded; ++i) {
            const double rel = CompensatedRel(fc, c.notch[i]), ext = c.ext[i];
            const double xh = c.xh[i], yh = c.yh[i];
            const double a0 = c.angle[i];
            const double a = a0 + (xh * c.yl[i] - yh * c.xl[i]) / (xh * xh + yh * yh);
            const double lag = (c.q[0][i] - c.q[1][i] + fc.leadTurns) * 90.0 + a * kDegreesD;
            const double radErr = 2.0 * rel + kLog * std::fabs(a0) + kU * std::fabs(a) + 4.0 * kU * kU;
            c.lag[i] = lag;
            c.lagErr[i] = kSafety * (kDegreesD * (1.0 + 2.0 * kU) * radErr + 2.0 * kU * std::fabs(a * kDegreesD) +
                                     kU * std::fabs(lag)) +
                          kDegreesD * ext + kExtendedU * 4.0 * std::fabs(lag);
            double dh = 0, dl = 0;
            AddDd(c.sh[0][i], c.sl[0][i], -c.sh[1][i], -c.sl[1][i], dh, dl);
            const double sum = c.sh[0][i] + c.sh[1][i];
            c.delay[i] = dh * unit;
            c.delayErr[i] = (kSafety * (rel * sum + kU * std::fabs(dh)) + ext * sum) * unit;
        }
        SureReal48Column(c.lag, c.lagErr, c.outLag, c.sureLag, padded);
        SureReal48Column(c.delay, c.delayErr, c.outDelay, c.sureDelay, padded);
        for (int i = 0; i < n; ++i) {
            const std::size_t k = static_cast<std::size_t>(c.point[i]);
            long double lag = 0;
            if (c.sureDelay[i] == 0.0 || (c.sureLag[i] == 0.0 && !ExtendedAngleLag(fc, c, i, lag))) {
                done[k] = 0;
                continue;
            }
            const double stored = c.sureLag[i] != 0.0 ? c.outLag[i] : static_cast<double>(lag);
            out[k].PhaseLag = stored;
            out[k].PhaseDeg = -stored;
            out[k].DelayS = c.outDelay[i];
        }
    }
}

// The least and the greatest positive finite frequency of a column (0 and 0 when it has
// none). Positive doubles are ordered as their bit patterns, so the search is a
// reduction of integers, which vectorises (one of doubles would not, for the order of
// NaNs and zeros it must keep).
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void FrequencyRange(const double* w, int n,
                                                                                       double& wmin, double& wmax) {
    constexpr int64_t kInfinity = 0x7ff0000000000000;
    int64_t lo = kInfinity, hi = 0;
    for (int k = 0; k < n; ++k) {
        const int64_t b = std::bit_cast<int64_t>(w[k]);
        const bool usable = (b > 0) & (b < kInfinity); // positive, finite, not a NaN
        const int64_t l = usable ? b : kInfinity, h = usable ? b : 0;
        lo = l < lo ? l : lo;
        hi = h > hi ? h : hi;
    }
    wmin = lo < kInfinity ? std::bit_cast<double>(lo) : 0.0;
    wmax = std::bit_cast<double>(hi);
}

// The points of state 1 as the bits of a mask (n <= 64): with 512-bit vectors eight
// comparisons at a time, each giving eight bits.
#if defined(__x86_64__)
__attribute__((target("avx512f"))) uint64_t DoubtMaskWide(const double* state, int n) {
    const __m512d one = _mm512_set1_pd(1.0);
    uint64_t mask = 0;
    int i = 0;
    for (; i + 8 <= n; i += 8)
        mask |= static_cast<uint64_t>(_mm512_cmp_pd_mask(_mm512_loadu_pd(state + i), one, _CMP_EQ_OQ)) << i;
    for (; i < n; ++i)
        mask |= static_cast<uint64_t>(state[i] == 1.0) << i;
    return mask;
}
#endif

uint64_t DoubtMask(const double* state, int n) {
#if defined(__x86_64__)
    if (HasWideVectors()) return DoubtMaskWide(state, n);
#endif
    uint64_t mask = 0;
    for (int i = 0; i < n; ++i)
        mask |= static_cast<uint64_t>(state[i] == 1.0) << i;
    return mask;
}

// Writes the block's values into its samples (every point: a value in doubt is written
// again below, a point evaluated again whole is overwritten). Each value is 0 or a
// normal double (a 6-byte real, or -400 dB), stored as it is.
void WriteSamplesCommon(FinalFrequencySample* __restrict out, const double* fHz, const double* w, const Finish& f,
                        int from, int n) {
    for (int i = from; i < n; ++i) {
        FinalFrequencySample& s = out[i];
        s.FHz = fHz[i];
        s.W = w[i];
        s.GainDb = f.storedDb[i];
        s.GainVV = f.storedVV[i];
        s.PhaseLag = f.outLag[i];
        s.PhaseDeg = f.phaseDeg[i];
        s.DelayS = f.outDelay[i];
    }
}

// A sample is seven doubles in a row, so eight samples are the transpose of the seven
// quantities of eight points: with 512-bit vectors the 8 x 8 transpose (an eighth row of
// zeros) in three rounds of shuffles, and each point's seven values written with one
// masked store, instead of seven single stores.
#if defined(__x86_64__)
static_assert(sizeof(FinalFrequencySample) == 7 * sizeof(double));
__attribute__((target("avx512f"))) void WriteSamplesWide(FinalFrequencySample* __restrict out, const double* fHz,
                                                          const double* w, const Finish& f, int n) {
    const __m512i evenLow = _mm512_setr_epi64(0, 1, 8, 9, 4, 5, 12, 13);
    const __m512i oddLow = _mm512_setr_epi64(2, 3, 10, 11, 6, 7, 14, 15);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m512d r0 = _mm512_loadu_pd(fHz + i), r1 = _mm512_loadu_pd(w + i);
        const __m512d r2 = _mm512_loadu_pd(f.storedDb + i), r3 = _mm512_loadu_pd(f.storedVV + i);
        const __m512d r4 = _mm512_loadu_pd(f.outLag + i), r5 = _mm512_loadu_pd(f.phaseDeg + i);
        const __m512d r6 = _mm512_loadu_pd(f.outDelay + i), r7 = _mm512_setzero_pd();
        // Pairs of quantities, point by point within each 128-bit lane.
        const __m512d t0 = _mm512_unpacklo_pd(r0, r1), t1 = _mm512_unpackhi_pd(r0, r1);
        const __m512d t2 = _mm512_unpacklo_pd(r2, r3), t3 = _mm512_unpackhi_pd(r2, r3);
        const __m512d t4 = _mm512_unpacklo_pd(r4, r5), t5 = _mm512_unpackhi_pd(r4, r5);
        const __m512d t6 = _mm512_unpacklo_pd(r6, r7), t7 = _mm512_unpackhi_pd(r6, r7);
        // Quantities 0-3 and 4-7 of points (0, 4), (2, 6), (1, 5), (3, 7).
        const __m512d u0 = _mm512_permutex2var_pd(t0, evenLow, t2), u1 = _mm512_permutex2var_pd(t0, oddLow, t2);
        const __m512d u2 = _mm512_permutex2var_pd(t1, evenLow, t3), u3 = _mm512_permutex2var_pd(t1, oddLow, t3);
        const __m512d u4 = _mm512_permutex2var_pd(t4, evenLow, t6), u5 = _mm512_permutex2var_pd(t4, oddLow, t6);
        const __m512d u6 = _mm512_permutex2var_pd(t5, evenLow, t7), u7 = _mm512_permutex2var_pd(t5, oddLow, t7);
        double* const d = reinterpret_cast<double*>(out + i);
        constexpr __mmask8 kSeven = 0x7f;
        _mm512_mask_storeu_pd(d + 0 * 7, kSeven, _mm512_shuffle_f64x2(u0, u4, 0x44));
        _mm512_mask_storeu_pd(d + 4 * 7, kSeven, _mm512_shuffle_f64x2(u0, u4, 0xee));
        _mm512_mask_storeu_pd(d + 2 * 7, kSeven, _mm512_shuffle_f64x2(u1, u5, 0x44));
        _mm512_mask_storeu_pd(d + 6 * 7, kSeven, _mm512_shuffle_f64x2(u1, u5, 0xee));
        _mm512_mask_storeu_pd(d + 1 * 7, kSeven, _mm512_shuffle_f64x2(u2, u6, 0x44));
        _mm512_mask_storeu_pd(d + 5 * 7, kSeven, _mm512_shuffle_f64x2(u2, u6, 0xee));
        _mm512_mask_storeu_pd(d + 3 * 7, kSeven, _mm512_shuffle_f64x2(u3, u7, 0x44));
        _mm512_mask_storeu_pd(d + 7 * 7, kSeven, _mm512_shuffle_f64x2(u3, u7, 0xee));
    }
    WriteSamplesCommon(out, fHz, w, f, i, n);
}
#endif

void WriteSamples(FinalFrequencySample* out, const double* fHz, const double* w, const Finish& f, int n) {
#if defined(__x86_64__)
    if (HasWideVectors()) {
        WriteSamplesWide(out, fHz, w, f, n);
        return;
    }
#endif
    WriteSamplesCommon(out, fHz, w, f, 0, n);
}

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
        const double down = std::ldexp(1.0, -fc->scale);
        static thread_local Work work;
        Block& b = work.b;
        Finish& f = work.f;
        for (int start = 0; start < count; start += kBlock) {
            const int n = std::min(kBlock, count - start);
            const int padded = (n + 7) & ~7;
            StartBlock(b, w + start, wmin, down, n, padded);
            ApplyFactors(b, b.chain[0], fc->poles, padded);
            ApplyFactors(b, b.chain[1], fc->zeros, padded);
            FinishParts(*fc, work, padded);
            BatchLog(f.g, f.lnG, padded);
            BatchAtan2(f.y, f.x, f.angle, padded);
            FinishPoints(b, f, fc->polysOk, done.data() + start, padded);
            WriteSamples(out.data() + start, fHz + start, w + start, f, n);
            uint64_t doubt = DoubtMask(f.state, n);
            for (; doubt != 0; doubt &= doubt - 1) {
                const int i = std::countr_zero(doubt);
                const std::size_t k = static_cast<std::size_t>(start + i);
                const bool vvDoubt = (f.zeroVV[i] == 0.0) & (f.sureVV[i] == 0.0);
                const bool dbDoubt = (f.floorDb[i] == 0.0) & (f.sureDb[i] == 0.0);
                const int index = static_cast<int>(k);
                // Which of a point's values are in doubt follows no pattern: the lists
                // take it without branches.
                const bool gainDoubt = vvDoubt | dbDoubt;
                const bool phaseDoubt = (f.sureLag[i] == 0.0) | (f.sureDelay[i] == 0.0);
                gains.add(index, b.wh[i], f.ext[i], f.notch[i], vvDoubt, gainDoubt & fc->polysOk);
                phases.add(index, b.wh[i], f.ext[i], f.notch[i], vvDoubt, phaseDoubt);
                if (!fc->polysOk && gainDoubt) left.push_back(k);
            }
        }
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
    if (variant == OpAmpGbw) return FinalGbwResponseSamples(d, axis, true);
    auto stages = PrepareRange(d, variant, 1, d.StageCount, false);
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

std::vector<std::string> InvertingNote(const std::vector<int>& stages) {
    if (stages.empty()) return {};
    const bool several = stages.size() > 1;
    std::string list;
    for (std::size_t k = 0; k < stages.size(); ++k)
        list += (k ? ", " : "") + std::to_string(stages[k]);
    // Two inversions cancel: an even number of inverting stages leaves the output in
    // phase with the ideal response, and saying otherwise would send a user looking for
    // a 180 degree error that is not there.
    if (stages.size() % 2 == 0)
        return {"Note:  The inverting outputs of stages " + list,
                "cancel in pairs: there is no net additional phase shift."};
    return {"Note:  There is an additional 180 degrees phase shift",
            std::string("due to the inverting output") + (several ? "s" : "") + " of stage" +
                (several ? "s " : " ") + list + "."};
}

} // namespace velmora
