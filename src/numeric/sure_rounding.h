// Storing a value computed in double precision only when its 6-byte rounding is certain.
//
// The response columns are evaluated for hundreds of points at a time; the fast way is
// double-precision arithmetic, whose results carry an error of some units of 2^-53
// relative where the extended-precision evaluation carries some units of 2^-64. Every
// stored value is rounded to the 6-byte real (40 significant bits), so a double result
// rounds to the same stored value as the exact one unless the exact value lies within
// the double result's error of a rounding boundary. A fast evaluation therefore carries
// a bound on its error along with each value and keeps the value only when every number
// within that bound rounds to the same 6-byte real; otherwise the caller evaluates that
// value again in extended precision. What is stored is then the value the extended-
// precision evaluation stores, except when the exact value lies within the extended
// evaluation's own error (about 2^-60 relative) of a boundary, where neither is better.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace velmora {

namespace detail {
// The ends of an interval of positive doubles rounded to 40 significant bits as bit
// patterns: the low end with ties down, the high end with ties up. Both are monotone
// and the rounding to nearest (ties to even) of any number between the ends lies between
// the two, so where they agree every number of the interval rounds to that value; an end
// exactly halfway between two 6-byte reals, whose rounding would go to the even one,
// counts as in doubt. Two operations each: an addition that carries into the kept part
// exactly when the dropped part exceeds a half (or reaches it, for the high end), and a
// mask. A carry out of the significand moves into the exponent, which is the correct
// rounding up to the next power of two.
inline uint64_t RoundLowEndTo40(uint64_t b) {
    return (b + 0xfff) & ~uint64_t{0x1fff};
}
inline uint64_t RoundHighEndTo40(uint64_t b) {
    return (b + 0x1000) & ~uint64_t{0x1fff};
}
} // namespace detail

// True when every number within `err` of `v` rounds to the same 6-byte real, which is
// then written to `out`. False for values outside the normal range of the format
// (below 2^-128 or above its largest value, including zero), for a NaN bound and for
// values whose bound reaches a rounding boundary: those are evaluated again in
// extended precision (so is a value whose interval ends exactly halfway between two
// 6-byte reals). The ends of the interval are widened by one unit of the last place of
// v for the rounding of the subtraction and the addition themselves.
inline bool SureReal48(double v, double err, long double& out) {
    constexpr double kSmallest = 0x1p-128;
    constexpr double kLargest = 0x1.fffffffffep+126;
    const double a = std::fabs(v);
    if (!(err >= 0.0) || !(a <= kLargest)) return false;
    const double widen = err + a * 0x1p-52;
    const double lo = a - widen, hi = a + widen;
    if (!(lo >= kSmallest) || !(hi <= kLargest)) return false;
    const uint64_t rl = detail::RoundLowEndTo40(std::bit_cast<uint64_t>(lo));
    if (rl != detail::RoundHighEndTo40(std::bit_cast<uint64_t>(hi))) return false;
    const double r = std::bit_cast<double>(rl);
    out = v < 0 ? -static_cast<long double>(r) : static_cast<long double>(r);
    return true;
}

// The same test with the value kept in double, where it is exact: store it with
// Real48::fromExact, which skips the rounding a store from long double does.
inline bool SureReal48(double v, double err, double& out) {
    long double r = 0;
    if (!SureReal48(v, err, r)) return false;
    out = static_cast<double>(r);
    return true;
}

// The column test (SureReal48Column below) for one value, written without branches for
// loops that vectorise: true when every number within e of x rounds to the same 6-byte
// real, which is then written to out (the sign of x kept); otherwise out is 0. The same
// decisions as SureReal48.
[[gnu::always_inline]] inline bool SureReal48Lane(double x, double e, double& out) {
    constexpr double kSmallest = 0x1p-128;
    constexpr double kLargest = 0x1.fffffffffep+126;
    const double a = std::fabs(x);
    const double widen = e + a * 0x1p-52;
    const double lo = a - widen, hi = a + widen;
    // Also false for a NaN value or bound, and for a negative bound.
    const bool inRange = (e >= 0.0) & (lo >= kSmallest) & (hi <= kLargest);
    // The ends are rounded as bit patterns whatever they hold (integer arithmetic, which
    // wraps); the result is used only where they are in range.
    const uint64_t rl = detail::RoundLowEndTo40(std::bit_cast<uint64_t>(lo));
    const uint64_t rh = detail::RoundHighEndTo40(std::bit_cast<uint64_t>(hi));
    const bool ok = inRange & (rl == rh);
    // The value's sign put on the rounded magnitude (a NaN or an out-of-range value
    // stores 0, so its sign does not matter).
    const uint64_t sign = std::bit_cast<uint64_t>(x) & (uint64_t{1} << 63);
    out = ok ? std::bit_cast<double>(rl | sign) : 0.0;
    return ok;
}

} // namespace velmora

namespace velmora {

// SureReal48 over whole columns: for i < n, sure[i] is 1 and out[i] the 6-byte value
// (exact in double) when every number within err[i] of v[i] rounds to the same 6-byte
// real, else sure[i] is 0 and out[i] is 0. The same decisions as the scalar test, value
// for value, taken in one loop without branches that the compiler vectorises.
void SureReal48Column(const double* v, const double* err, double* out, double* sure, int n);

} // namespace velmora
