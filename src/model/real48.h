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
#include <cstdint>

namespace velmora {

enum class Real48Status : uint8_t { Exact, Rounded, Underflow, Overflow, NotANumber };

class Real48 {
  public:
    using Bytes = std::array<uint8_t, 6>;

    constexpr Real48() = default;
    Real48(long double x) { value_ = round(x, nullptr); } // NOLINT: implicit by design

    Real48& operator=(long double x) {
        value_ = round(x, nullptr);
        return *this;
    }
    operator long double() const { return value_; } // NOLINT: implicit by design
    long double value() const { return value_; }

    // Rounds x to the nearest Real48 value and reports what happened.
    static long double round(long double x, Real48Status* status);
    static Real48 fromBytes(const Bytes& b);
    Bytes toBytes() const;

    static long double largest();  // (2 - 2^-39) * 2^126
    static long double smallest(); // 2^-128

  private:
    long double value_ = 0.0L;
};

// Encodes x (rounding first) into its 6-byte image.
Real48::Bytes encodeReal48(long double x, Real48Status* status = nullptr);
long double decodeReal48(const Real48::Bytes& b);

} // namespace velmora
