// Exact sums of two doubles for the double-precision response columns: a long double
// carried into double arithmetic without loss, and the square of a frequency without the
// rounding that would cancel against a pole's or a zero's constant.
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

} // namespace velmora
