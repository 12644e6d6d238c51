#include "model/real48.h"

#include <cmath>

namespace velmora {
namespace {

constexpr int kBias = 129;
constexpr int kMantissaBits = 39;
constexpr int kMaxExponent = 255;

// Largest magnitude: exponent byte 255, mantissa all ones.
long double largestValue() {
    return std::ldexp(2.0L - std::ldexp(1.0L, -kMantissaBits), kMaxExponent - kBias);
}
long double smallestValue() {
    return std::ldexp(1.0L, 1 - kBias);
}

struct Parts {
    bool negative = false;
    int exponent = 0;      // biased, 0 for zero
    uint64_t mantissa = 0; // 39 bits
    Real48Status status = Real48Status::Exact;
};

Parts split(long double x) {
    Parts p;
    if (std::isnan(x)) {
        p.status = Real48Status::NotANumber;
        return p;
    }
    if (x == 0.0L) return p;
    p.negative = std::signbit(x);
    long double a = std::fabs(x);
    if (std::isinf(a) || a > largestValue()) {
        p.exponent = kMaxExponent;
        p.mantissa = (uint64_t{1} << kMantissaBits) - 1;
        p.status = Real48Status::Overflow;
        return p;
    }
    if (a < smallestValue()) {
        // Nearest of 0 and the smallest normal value; ties go to the normal value.
        p.status = Real48Status::Underflow;
        if (a >= smallestValue() / 2) {
            p.exponent = 1;
        } else {
            p.negative = false;
        }
        return p;
    }
    int k = 0;
    long double f = std::frexp(a, &k);                                      // a = f * 2^k, f in [0.5, 1)
    long double frac = (2.0L * f - 1.0L) * std::ldexp(1.0L, kMantissaBits); // exact in 64 bits
    long double r = std::nearbyint(frac);                                   // ties to even
    if (r != frac) p.status = Real48Status::Rounded;
    int e = k - 1 + kBias;
    uint64_t m = static_cast<uint64_t>(r);
    if (m == (uint64_t{1} << kMantissaBits)) {
        m = 0;
        ++e;
    }
    if (e > kMaxExponent) { // rounding carried past the largest value
        e = kMaxExponent;
        m = (uint64_t{1} << kMantissaBits) - 1;
        p.status = Real48Status::Overflow;
    }
    p.exponent = e;
    p.mantissa = m;
    return p;
}

long double join(const Parts& p) {
    if (p.exponent == 0) return 0.0L;
    long double v = std::ldexp(1.0L + std::ldexp(static_cast<long double>(p.mantissa), -kMantissaBits),
                               p.exponent - kBias);
    return p.negative ? -v : v;
}

} // namespace

long double Real48::round(long double x, Real48Status* status) {
    if (x == 0.0L) { // both zeros store as +0, exactly
        if (status) *status = Real48Status::Exact;
        return 0.0L;
    }
    long double r = 0;
    Real48Status st = Real48Status::Exact;
    if (detail::RoundNormalReal48(x, r, st)) {
        if (status) *status = st;
        return r;
    }
    Parts p = split(x);
    if (status) *status = p.status;
    return join(p);
}

Real48::Bytes encodeReal48(long double x, Real48Status* status) {
    Parts p = split(x);
    if (status) *status = p.status;
    Real48::Bytes b{};
    if (p.exponent == 0) return b;
    b[0] = static_cast<uint8_t>(p.exponent);
    for (int i = 0; i < 5; ++i)
        b[1 + i] = static_cast<uint8_t>((p.mantissa >> (8 * i)) & 0xFF);
    if (p.negative) b[5] |= 0x80;
    return b;
}

long double decodeReal48(const Real48::Bytes& b) {
    Parts p;
    p.exponent = b[0];
    p.negative = (b[5] & 0x80) != 0;
    for (int i = 0; i < 5; ++i)
        p.mantissa |= static_cast<uint64_t>(b[1 + i]) << (8 * i);
    p.mantissa &= (uint64_t{1} << kMantissaBits) - 1;
    return join(p);
}

Real48 Real48::fromBytes(const Bytes& b) {
    Real48 r;
    r.value_ = decodeReal48(b);
    return r;
}

long double Real48::largest() {
    return largestValue();
}
long double Real48::smallest() {
    return smallestValue();
}

Real48::Bytes Real48::toBytes() const {
    return encodeReal48(value_);
}

} // namespace velmora
