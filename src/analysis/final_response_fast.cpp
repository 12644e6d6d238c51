// The final response column in double precision, block by block, with a rigorous bound
// on every value and the certainty test of its 6-byte rounding.
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
bool PrepareFast(const std::vector<PreparedStage>& stages, long double wmin, long double wmax,
                 FastCascade& fc) {
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
                fc.polysOk =
                    fc.polysOk && SplitToDoubles(a[static_cast<std::size_t>(k)] * down, poly.h[k], poly.l[k]);
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
    double nn[kBlock], nd[kBlock];               // the sum of (c0 + w^2) / |c0 - w^2| over the notches
    double nearNotch[kBlock];                    // > 0 where a notch factor's im exceeds 2^-20 |re|
    double usable[kBlock];                       // 1 for a positive finite frequency, else 0
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
[[gnu::always_inline]] inline void StartBlockBody(Block& b, const double* w, double wmin, double down, int n,
                                                  int padded) {
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
VELMORA_VECTOR_KERNEL(void, StartBlock, StartBlockBody,
                      (Block & b, const double* w, double wmin, double down, int n, int padded),
                      (b, w, wmin, down, n, padded))

// Built for processors with 256-bit vectors as well, chosen when the program loads; both
// builds do the same operations in the same order (no fused multiply-add), so they give
// the same values.
[[gnu::always_inline]] inline void
ApplyFactorsBody(Block& b, Chain& c, const FixedList<FastFactor, kMaxFactors>& factors, int n) {
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
VELMORA_VECTOR_KERNEL(void, ApplyFactors, ApplyFactorsBody,
                      (Block & b, Chain& c, const FixedList<FastFactor, kMaxFactors>& factors, int n),
                      (b, c, factors, n))

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
            (kSafety * (poleDelayErr * pd + zeroDelayErr * zd + kU * std::fabs(pd - zd)) + ext * (pd + zd)) *
            unit;
    }
}

[[gnu::always_inline]] inline void FinishPartsBody(const FastCascade& fc, Work& w, int n) {
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
VELMORA_VECTOR_KERNEL(void, FinishParts, FinishPartsBody, (const FastCascade& fc, Work& w, int n), (fc, w, n))

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
[[gnu::always_inline]] inline void FinishPointsBody(const Block& b, Finish& f, bool polysOk,
                                                    uint8_t* __restrict done, int n) {
    for (int i = 0; i < n; ++i) {
        const double l = f.lnG[i], gRel = f.gErr[i], ext = f.ext[i];
        const double db = kDbPerLn * l;
        const double dbErr = kDbPerLn * 1.0101 * gRel +
                             kSafety * (kDbPerLn * kLog * std::fabs(l) + 2.0 * kU * std::fabs(db)) +
                             8.7 * ext + kExtendedU * 4.0 * std::fabs(db);
        const double g = f.g[i];
        const double gErr = g * gRel;
        const double a = f.angle[i];
        const double lag = f.turns[i] + a * kDegreesD;
        const double radErr = f.argErr[i] + kSqrt5U + kLog * std::fabs(a);
        const double lagErr = kSafety * (kDegreesD * (1.0 + 2.0 * kU) * radErr +
                                         2.0 * kU * std::fabs(a * kDegreesD) + kU * std::fabs(lag)) +
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
VELMORA_VECTOR_KERNEL(void, FinishPoints, FinishPointsBody,
                      (const Block& b, Finish& f, bool polysOk, uint8_t* done, int n),
                      (b, f, polysOk, done, n))

// The least and the greatest positive finite frequency of a column (0 and 0 when it has
// none). Positive doubles are ordered as their bit patterns, so the search is a
// reduction of integers, which vectorises (one of doubles would not, for the order of
// NaNs and zeros it must keep).
[[gnu::always_inline]] inline void FrequencyRangeBody(const double* w, int n, double& wmin, double& wmax) {
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
VELMORA_VECTOR_KERNEL(void, FrequencyRange, FrequencyRangeBody,
                      (const double* w, int n, double& wmin, double& wmax), (w, n, wmin, wmax))

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
    if ((ActiveVectorLevel() == VectorLevel::V4)) return DoubtMaskWide(state, n);
#endif
    uint64_t mask = 0;
    for (int i = 0; i < n; ++i)
        mask |= static_cast<uint64_t>(state[i] == 1.0) << i;
    return mask;
}

// Writes the block's values into its samples (every point: a value in doubt is written
// again below, a point evaluated again whole is overwritten). Each value is 0 or a
// normal double (a 6-byte real, or -400 dB), stored as it is.
void WriteSamples(FinalFrequencySample* __restrict out, const double* fHz, const double* w, const Finish& f,
                  int n) {
    for (int i = 0; i < n; ++i) {
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

void FastBlocks(const FastCascade& fc, const double* fHz, const double* w, int count, double wmin,
                std::vector<FinalFrequencySample>& out, std::vector<uint8_t>& done, PointList& gains,
                PointList& phases, std::vector<std::size_t>& left) {
    const double down = std::ldexp(1.0, -fc.scale);
    static thread_local Work work;
    Block& b = work.b;
    Finish& f = work.f;
    for (int start = 0; start < count; start += kBlock) {
        const int n = std::min(kBlock, count - start);
        const int padded = (n + 7) & ~7;
        StartBlock(b, w + start, wmin, down, n, padded);
        ApplyFactors(b, b.chain[0], fc.poles, padded);
        ApplyFactors(b, b.chain[1], fc.zeros, padded);
        FinishParts(fc, work, padded);
        BatchLog(f.g, f.lnG, padded);
        BatchAtan2(f.y, f.x, f.angle, padded);
        FinishPoints(b, f, fc.polysOk, done.data() + start, padded);
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
            gains.add(index, b.wh[i], f.ext[i], f.notch[i], vvDoubt, gainDoubt & fc.polysOk);
            phases.add(index, b.wh[i], f.ext[i], f.notch[i], vvDoubt, phaseDoubt);
            if (!fc.polysOk && gainDoubt) left.push_back(k);
        }
    }
}

} // namespace velmora::final_detail
