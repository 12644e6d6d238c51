// Real48: the 6-byte real in which every stored quantity of a design is kept.
//
// Layout (little-endian): byte 0 is the biased exponent e (0 means the value 0);
// bytes 1..5 hold the 39-bit mantissa m, least significant byte first, with the sign
// s in the top bit of byte 5. value = (-1)^s * 2^(e-129) * 1.m
//
// A Real48 holds its value as a long double that has already been rounded to the
// nearest representable 6-byte real, so reading it costs nothing and every store
// rounds exactly once. The byte image is produced only for files.
//
// Range rules (chosen so that a store never has undefined behaviour):
//  - magnitudes below the smallest normal value 2^-128 round to 0 or to 2^-128,
//    whichever is nearer (ties to 2^-128); there are no subnormals;
//  - magnitudes above the largest value (2 - 2^-39) * 2^126 ~ 1.7014e38, and
//    infinities, saturate to the largest value with their sign; the status says so;
//  - NaN has no encoding: it stores as 0 and the status reports it;
//  - negative zero stores as zero (the format has one zero).
#pragma once

#include <array>
#include <cfloat>
#include <cstdint>
#include <cstring>

namespace velmora {

enum class Real48Status : uint8_t { Exact, Rounded, Underflow, Overflow, NotANumber };

namespace detail {
// Every store rounds, so the common case is kept inline: a magnitude from the smallest
// to the largest Real48 value in the x87 extended format (64-bit significand, with the
// processor's default extended precision). Rounding it to the 40 significant bits of a
// Real48 is Veltkamp's splitting with the constant 2^24 + 1: t = (2^24 + 1) x,
// hi = t - (t - x) is x rounded to nearest on 64 - 24 bits, ties to even (checked
// against the general routine on every kind of tie in the tests). It keeps the value in
// registers; taking the extended format apart in memory stalls on every store.
// False for zero, NaN, infinities, values out of range and other long double formats:
// those take the general path in Real48::round.
inline bool RoundNormalReal48(long double x, long double& out, Real48Status& status) {
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384
    constexpr long double kSmallest = 0x1p-128L;
    constexpr long double kLargest = 0x1.fffffffffep+126L; // (2 - 2^-39) * 2^126
    constexpr long double kSplitter = 16777217.0L;         // 2^24 + 1
    const long double a = x < 0 ? -x : x;
    if (!(a >= kSmallest && a <= kLargest)) return false;
    const long double t = kSplitter * x;
    long double r = t - (t - x);
    status = r != x ? Real48Status::Rounded : Real48Status::Exact;
    if ((r < 0 ? -r : r) > kLargest) { // rounding carried past the largest value
        r = r < 0 ? -kLargest : kLargest;
        status = Real48Status::Overflow;
    }
    out = r;
    return true;
#else
    (void)x;
    (void)out;
    (void)status;
    return false;
#endif
}
} // namespace detail

class Real48 {
  public:
    using Bytes = std::array<uint8_t, 6>;

    constexpr Real48() = default;
    Real48(long double x) { value_ = rounded(x); } // NOLINT: implicit by design

    Real48& operator=(long double x) {
        value_ = rounded(x);
        return *this;
    }
    operator long double() const { return value_; } // NOLINT: implicit by design
    long double value() const { return value_; }

    // A value that is already a 6-byte real (40 significant bits, within the range of
    // the format), such as SureReal48 gives: stored without rounding again.
    static Real48 fromExact(double x) {
        Real48 r;
        r.value_ = x;
        return r;
    }

    // Stores such a value in place. Where long double is the x87 extended format, its
    // ten bytes are assembled with integer operations: a double converted on the x87
    // unit costs a load and an extended store of some ten cycles each, which a column of
    // 351 points times four values pays in full.
    void setExact(double x) {
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384 && defined(__x86_64__)
        uint64_t b = 0;
        std::memcpy(&b, &x, sizeof b);
        const uint64_t exponent = (b >> 52) & 0x7ff, fraction = b & ((uint64_t{1} << 52) - 1);
        if (exponent == 0 || exponent == 0x7ff) { // zero, subnormals, infinities, NaN
            value_ = x;
            return;
        }
        const uint64_t significand = (uint64_t{1} << 63) | (fraction << 11);
        const uint16_t signAndExponent = static_cast<uint16_t>(((b >> 63) << 15) | (exponent - 1023 + 16383));
        unsigned char image[sizeof(long double)] = {};
        std::memcpy(image, &significand, 8);
        std::memcpy(image + 8, &signAndExponent, 2);
        std::memcpy(&value_, image, sizeof image);
#else
        value_ = x;
#endif
    }

    // The value as a double, exact for every 6-byte real (40 significant bits within
    // the double range), read from the extended format's bytes where it is the x87 one.
    double exactDouble() const {
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384 && defined(__x86_64__)
        uint64_t significand = 0;
        uint16_t signAndExponent = 0;
        std::memcpy(&significand, &value_, 8);
        std::memcpy(&signAndExponent, reinterpret_cast<const unsigned char*>(&value_) + 8, 2);
        const int exponent = signAndExponent & 0x7fff;
        if (significand == 0) return (signAndExponent >> 15) ? -0.0 : 0.0;
        const uint64_t b = (static_cast<uint64_t>(signAndExponent >> 15) << 63) |
                           (static_cast<uint64_t>(exponent - 16383 + 1023) << 52) |
                           ((significand << 1) >> 12);
        double x = 0;
        std::memcpy(&x, &b, sizeof x);
        return x;
#else
        return static_cast<double>(value_);
#endif
    }

    // Rounds x to the nearest Real48 value and reports what happened.
    static long double round(long double x, Real48Status* status);
    static Real48 fromBytes(const Bytes& b);
    Bytes toBytes() const;

    static long double largest();  // (2 - 2^-39) * 2^126
    static long double smallest(); // 2^-128

  private:
    long double value_ = 0.0L;
    static long double rounded(long double x) {
        if (x == 0.0L) return 0.0L; // both zeros store as +0, exactly: the most common store
        long double r = 0;
        Real48Status status = Real48Status::Exact;
        return detail::RoundNormalReal48(x, r, status) ? r : round(x, nullptr);
    }
};

// Encodes x (rounding first) into its 6-byte image.
Real48::Bytes encodeReal48(long double x, Real48Status* status = nullptr);
long double decodeReal48(const Real48::Bytes& b);

} // namespace velmora
