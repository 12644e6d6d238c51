// Double-double arithmetic: a value as the unevaluated sum of two doubles, hi + lo with
// |lo| <= u |hi| (u = 2^-53), and the error-free transformations it is built from.
//
// Every function here is written for the compiler's strict IEEE evaluation: each + - * /
// rounds once, and a fused multiply-add appears only where it is written (std::fma), in
// which case it is the exact product plus one rounding. The core library is built with
// -ffp-contract=off so that no a * b + c is fused behind the code's back: TwoSum's error
// term, for one, is exact only when every operation in it rounds separately. The error
// bounds quoted below and by the callers count operations under that rule.
#pragma once

#include <cmath>

namespace velmora {

// A value as the unevaluated sum of two doubles.
struct DoubleDouble {
    double Hi = 0, Lo = 0;
};

// A long double exactly: the high part takes the top 53 of its 64 significant bits, the
// low part the rest (x - hi is exact in extended precision and has at most 11 bits).
inline DoubleDouble SplitExtended(long double x) {
    const double hi = static_cast<double>(x);
    return {hi, static_cast<double>(x - hi)};
}

// w^2 exactly as hi + lo: Dekker's product, w split into two halves of 26 bits whose
// products are exact (with a fused multiply-add, its low part directly).
inline DoubleDouble ExactSquare(double w) {
    const double hi = w * w;
#ifdef FP_FAST_FMA
    return {hi, std::fma(w, w, -hi)};
#else
    constexpr double kSplitter = 134217729.0; // 2^27 + 1
    const double c = kSplitter * w;
    const double a = c - (c - w), b = w - a;
    return {hi, ((a * a - hi) + 2.0 * a * b) + b * b};
#endif
}

// s + e = a + b exactly (Knuth's two-sum: no condition on the order of a and b).
[[gnu::always_inline]] inline void TwoSum(double a, double b, double& s, double& e) {
    s = a + b;
    const double bb = s - a;
    e = (a - (s - bb)) + (b - bb);
}

// hi + lo = (ah + al)(bh + bl), within 6 u^2 of the product; |lo| <= u |hi|. The result
// replaces (ah, al).
[[gnu::always_inline]] inline void MultiplyDd(double& ah, double& al, double bh, double bl) {
    const double p = ah * bh;
    double e = std::fma(ah, bh, -p);
    e = std::fma(ah, bl, e);
    e = std::fma(al, bh, e);
    const double s = p + e;
    al = e - (s - p);
    ah = s;
}

// (ph, pl) = (ah + al)(bh + bl).
[[gnu::always_inline]] inline void ProductDd(double ah, double al, double bh, double bl, double& ph,
                                             double& pl) {
    ph = ah;
    pl = al;
    MultiplyDd(ph, pl, bh, bl);
}

// (ph + pl) <- (ph + pl)(f + g), not renormalised: the factor normalised first (near a
// pole or a notch its low part g can be 2^-14 of f, the cancelled digits of c - w^2;
// |g| <= |f| makes Dekker's fast two-sum exact), then the rounding error of ph fh
// exactly, the cross terms rounded once, pl fl (below u^2 of the product) dropped. A
// product of n such factors stays within 8 n^2 u^2 of the exact one while its low part
// stays below 5 n u of the high part.
[[gnu::always_inline]] inline void MultiplyInto(double& ph, double& pl, double f, double g) {
    const double fh = f + g;
    const double fl = g - (fh - f);
    const double h = ph * fh;
    const double e = std::fma(ph, fh, -h);
    pl = std::fma(ph, fl, std::fma(pl, fh, e));
    ph = h;
}

// hi + lo = h^2 + 2 h l (the square of h + l less l^2), the sum's parts; |l| <= u |h|.
[[gnu::always_inline]] inline void SquareDd(double h, double l, double& sh, double& sl) {
    sh = h * h;
    sl = std::fma(h, h, -sh);
    sl = std::fma(2.0 * h, l, sl);
}

// The square of (h + l) for an unnormalised sum with |l| up to a few units of |h| (or h
// zero), where l^2 is not negligible: hh the rounded h^2 and hl the rest (h^2's rounding
// error exactly, plus 2 h l + l^2 rounded).
[[gnu::always_inline]] inline void SquareOfSum(double h, double l, double& hh, double& hl) {
    hh = h * h;
    hl = std::fma(h, h, -hh) + l * (2.0 * h + l);
}

// (sh, sl) = (ah + al) + (bh + bl), renormalised.
[[gnu::always_inline]] inline void AddDd(double ah, double al, double bh, double bl, double& sh, double& sl) {
    double s = 0, e = 0;
    TwoSum(ah, bh, s, e);
    e += al + bl;
    sh = s + e;
    sl = e - (sh - s);
}

// (qh, ql) = (nh + nl) / (dh + dl): the remainder of the quotient of the high parts
// exactly by the fused multiply-add.
[[gnu::always_inline]] inline void QuotientDd(double nh, double nl, double dh, double dl, double& qh,
                                              double& ql) {
    const double q = nh / dh;
    const double rem = std::fma(-q, dh, nh);
    const double lo = (rem + nl - q * dl) / dh;
    qh = q + lo;
    ql = lo - (qh - q);
}

} // namespace velmora
