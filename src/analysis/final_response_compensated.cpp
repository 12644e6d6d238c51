// The final response's values in doubt after the double-precision blocks, evaluated
// again in compensated (double-double) arithmetic.
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

// |P(jw)|^2 of one polynomial for the block's points, multiplied into the running
// products of its side, with its condition (S / |P|)^2 and the range test.
// The arrays are all reached through `c`, one object, so that the compiler sees them
// apart and vectorises the loop without run-time overlap tests.
template <int kSide, bool kCubic>
[[gnu::always_inline]] inline void PolyProduct(const FastCascade::Poly& q, const FastCascade& fc,
                                               Compensated& c, int n) {
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

[[gnu::always_inline]] inline void CompensatedProductsBody(const FastCascade& fc, Compensated& c, int n) {
    PolyProducts<0>(fc, c, n);
    PolyProducts<1>(fc, c, n);
}
VELMORA_VECTOR_KERNEL(void, CompensatedProducts, CompensatedProductsBody,
                      (const FastCascade& fc, Compensated& c, int n), (fc, c, n))

// R = Pn / Pd as r + rl: the quotient r of the high parts, its remainder exactly by the
// fused multiply-add, and the low parts' share. The products are kept within 2^+-900,
// so that their low parts and the remainder stay normal.
[[gnu::always_inline]] inline void CompensatedRatioBody(Compensated& c, int n) {
    for (int i = 0; i < n; ++i) {
        const double nh = c.ph[1][i], nl = c.pl[1][i];
        const double dh = c.ph[0][i], dl = c.pl[0][i];
        const double r = nh / dh;
        const double rem = std::fma(-r, dh, nh);
        c.r[i] = r;
        c.rl[i] = (rem + nl - r * dl) / dh;
        c.ok[i] =
            ((nh >= 0x1p-900) & (nh <= 0x1p900) & (dh >= 0x1p-900) & (dh <= 0x1p900) & (c.bad[i] == 0.0))
                ? 1.0
                : 0.0;
    }
}
VELMORA_VECTOR_KERNEL(void, CompensatedRatio, CompensatedRatioBody, (Compensated & c, int n), (c, n))

// sqrt(R) = s + (r - s^2 + rl) / (2 s), s the correctly rounded square root of r.
[[gnu::always_inline]] inline void CompensatedRootsBody(Compensated& c, int n) {
    for (int i = 0; i < n; ++i) {
        const double s = c.s[i], r = c.r[i];
        c.vv[i] = s + (std::fma(-s, s, r) + c.rl[i]) / (2.0 * s);
    }
}
VELMORA_VECTOR_KERNEL(void, CompensatedRoots, CompensatedRootsBody, (Compensated & c, int n), (c, n))

// The bound of the compensated evaluations' own error, relative to the values (see
// above): 2^-96 per unit of the cascade's condition and the notch ratio.
inline double CompensatedRel(const FastCascade& fc, double notch) {
    return 0x1p-96 * (fc.condition + notch + 1.0);
}

// Fills a block's frequencies (scaled w and its exact square, by the fused multiply-add)
// and the points' other quantities from entries start..start + padded of `list`
// (padded: a multiple of 8, the list padded as far).
template <typename Work>
[[gnu::always_inline]] inline void LoadPointsBody(Work& c, const PointList& list, std::size_t start,
                                                  int padded) {
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

VELMORA_VECTOR_KERNEL(void, LoadPoints, LoadPointsBody,
                      (Compensated & c, const PointList& list, std::size_t start, int padded),
                      (c, list, start, padded))

// The gains in dB and V/V of a block of compensated points with their bounds (see above).
[[gnu::always_inline]] inline void CompensatedGainValuesBody(Compensated& c, double constCount, int n) {
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
VELMORA_VECTOR_KERNEL(void, CompensatedGainValues, CompensatedGainValuesBody,
                      (Compensated & c, double constCount, int n), (c, constCount, n))

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
    const double err =
        kSafety * (4.3429448190325183 * 1.001 * relR + static_cast<double>(0x1p-60L * std::fabs(db))) +
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
void CompensatedGains(const FastCascade& fc, const PointList& list, std::vector<FinalFrequencySample>& out,
                      std::vector<std::size_t>& left, std::vector<uint8_t>& done) {
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

VELMORA_VECTOR_KERNEL(void, LoadPoints, LoadPointsBody,
                      (CompensatedChains & c, const PointList& list, std::size_t start, int padded),
                      (c, list, start, padded))

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
[[gnu::always_inline]] inline void ChainFactors(const FixedList<FastFactor, kMaxFactors>& factors,
                                                CompensatedChains& c, int n) {
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

[[gnu::always_inline]] inline void CompensatedChainBody(const FixedList<FastFactor, kMaxFactors>& factors,
                                                        CompensatedChains& c, int side, int n) {
    if (side == 0)
        ChainFactors<0>(factors, c, n);
    else
        ChainFactors<1>(factors, c, n);
}
VELMORA_VECTOR_KERNEL(void, CompensatedChain, CompensatedChainBody,
                      (const FixedList<FastFactor, kMaxFactors>& factors, CompensatedChains& c, int side,
                       int n),
                      (factors, c, side, n))

// X + jY = Zp conj(Zz) as double-doubles.
[[gnu::always_inline]] inline void CompensatedAnglePartsBody(CompensatedChains& c, int n) {
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
VELMORA_VECTOR_KERNEL(void, CompensatedAngleParts, CompensatedAnglePartsBody, (CompensatedChains & c, int n),
                      (c, n))

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
    const long double lag =
        static_cast<long double>(c.q[0][i] - c.q[1][i] + fc.leadTurns) * 90.0L + a * kDegreesL;
    const double rel = CompensatedRel(fc, c.notch[i]);
    const double radErr = 2.0 * rel + static_cast<double>(0x1p-63L + 0x1p-62L * std::fabs(a));
    const double lagD = static_cast<double>(lag);
    const double err =
        kSafety * (kDegreesD * (1.0 + 2.0 * kU) * radErr + static_cast<double>(0x1p-62L * std::fabs(lag))) +
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
            c.lagErr[i] = kSafety * (kDegreesD * (1.0 + 2.0 * kU) * radErr +
                                     2.0 * kU * std::fabs(a * kDegreesD) + kU * std::fabs(lag)) +
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

} // namespace velmora::final_detail
