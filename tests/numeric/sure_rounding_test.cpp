// Rounding a double to the 6-byte real when its error bound allows: the bit-pattern
// rounding against the 6-byte format's own rounding, and the certainty test against
// the roundings of numbers spread over the whole error interval.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "model/real48.h"
#include "numeric/sure_rounding.h"

namespace velmora {
namespace {

// The reference the certainty tests are checked against: a finite double rounded to 40
// significant bits, to nearest with ties to even (the significand of a 6-byte real), for
// any exponent, on the bit pattern (a carry out of the significand moves into the
// exponent, the correct rounding up to the next power of two).
double RoundDoubleTo40Bits(double x) {
    constexpr uint64_t kDropped = 13; // 53 - 40
    constexpr uint64_t kLowMask = (uint64_t{1} << kDropped) - 1, kHalf = uint64_t{1} << (kDropped - 1);
    uint64_t b = std::bit_cast<uint64_t>(x);
    const uint64_t low = b & kLowMask;
    b &= ~kLowMask;
    if (low > kHalf || (low == kHalf && (b & (kLowMask + 1)) != 0)) b += kLowMask + 1;
    return std::bit_cast<double>(b);
}

TEST(SureRounding, BitPatternRoundingMatchesTheStoredFormat) {
    std::mt19937_64 rng(20261206);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-127, 125);
    for (int n = 0; n < 200000; ++n) {
        double x = std::ldexp(mantissa(rng), exponent(rng));
        if (n % 2) x = -x;
        EXPECT_EQ(static_cast<long double>(RoundDoubleTo40Bits(x)), Real48(x).value()) << x;
    }
    // Exact ties: the 41st significant bit set and nothing below it rounds to even.
    const double tieDown = 1.0 + 0x1p-40;         // kept part even: stays 1
    const double tieUp = 1.0 + 0x1p-39 + 0x1p-40; // kept part odd: rounds up
    EXPECT_EQ(std::tuple(RoundDoubleTo40Bits(tieDown), RoundDoubleTo40Bits(tieUp),
                         RoundDoubleTo40Bits(tieDown + 0x1p-52)),
              std::tuple(1.0, 1.0 + 0x1p-38, 1.0 + 0x1p-39));
    // A carry out of the significand gives the next power of two.
    EXPECT_EQ(RoundDoubleTo40Bits(2.0 - 0x1p-45), 2.0);
    EXPECT_EQ(RoundDoubleTo40Bits(-(2.0 - 0x1p-45)), -2.0);
}

TEST(SureRounding, IntervalEndsRoundTiesAwayFromTheInterval) {
    // The low end rounds ties down, the high end ties up, each the nearest 6-byte real
    // otherwise: an end exactly halfway leaves the interval in doubt.
    const auto bits = [](double x) { return std::bit_cast<uint64_t>(x); };
    const double tie = 1.0 + 0x1p-40;
    EXPECT_EQ(detail::RoundLowEndTo40(bits(tie)), bits(1.0));
    EXPECT_EQ(detail::RoundHighEndTo40(bits(tie)), bits(1.0 + 0x1p-39));
    EXPECT_EQ(detail::RoundHighEndTo40(bits(2.0 - 0x1p-45)), bits(2.0)); // carry into the exponent
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    for (int n = 0; n < 100000; ++n) {
        double x = std::ldexp(mantissa(rng), n % 200 - 100);
        if (n % 4 == 0)
            x = RoundDoubleTo40Bits(x) + std::ldexp(1.0, std::ilogb(x) - 40); // a tie, or next to one
        const uint64_t low = detail::RoundLowEndTo40(bits(x)), high = detail::RoundHighEndTo40(bits(x));
        const uint64_t nearest = bits(RoundDoubleTo40Bits(x));
        ASSERT_LE(low, nearest) << x;
        ASSERT_LE(nearest, high) << x;
        // They differ only on a tie, and then by one 6-byte unit.
        const bool isTie = (bits(x) & 0x1fff) == 0x1000;
        ASSERT_EQ(low != high, isTie) << x;
    }
}

TEST(SureRounding, KeepsOnlyValuesWhoseWholeIntervalRoundsAlike) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-60, 60);
    std::uniform_real_distribution<double> relErr(0.0, 3e-13); // a third of a 6-byte unit
    int kept = 0, refused = 0;
    for (int n = 0; n < 100000; ++n) {
        const double v = std::ldexp(mantissa(rng), exponent(rng)) * (n % 3 ? 1 : -1);
        const double err = std::fabs(v) * relErr(rng);
        long double out = 0;
        if (!SureReal48(v, err, out)) {
            ++refused;
            continue;
        }
        ++kept;
        // Every number of the interval, its ends included, rounds to the value kept.
        for (int k = -4; k <= 4; ++k) {
            const long double x = static_cast<long double>(v) + static_cast<long double>(err) * k / 4;
            ASSERT_EQ(Real48(x).value(), out) << v << " +- " << err;
        }
    }
    // With errors up to a third of a unit, most values are certain and some are not.
    EXPECT_GT(kept, 50000);
    EXPECT_GT(refused, 1000);
}

TEST(SureRounding, RefusesBoundariesZeroAndTheEndsOfTheRange) {
    long double out = 0;
    // Halfway between two 6-byte values: any error at all leaves it uncertain.
    EXPECT_FALSE(SureReal48(1.0 + 0x1p-40, 1e-16, out));
    // Right on a 6-byte value with a small error: certain.
    ASSERT_TRUE(SureReal48(1.0 + 0x1p-39, 1e-15, out));
    EXPECT_EQ(out, 1.0L + 0x1p-39L);
    ASSERT_TRUE(SureReal48(-3.0, 1e-15, out));
    EXPECT_EQ(out, -3.0L);
    EXPECT_FALSE(SureReal48(0.0, 0.0, out));
    EXPECT_FALSE(SureReal48(1e-300, 0.0, out));
    EXPECT_FALSE(SureReal48(1e300, 0.0, out));
    EXPECT_FALSE(SureReal48(std::nan(""), 0.0, out));
    EXPECT_FALSE(SureReal48(1.0, std::nan(""), out));
    EXPECT_FALSE(SureReal48(1.0, -1.0, out));
    EXPECT_FALSE(SureReal48(1e-20, 2e-20, out)); // the interval holds zero
    // Kept in double, stored without a second rounding: the same 6-byte value.
    double exact = 0;
    ASSERT_TRUE(SureReal48(-1234.567, 1e-12, exact));
    EXPECT_EQ(Real48::fromExact(exact).value(), Real48(-1234.567L).value());
}

// The column test decides every value as the scalar one does: random values with bounds
// from far below to far above a 6-byte unit, values next to rounding boundaries and
// ties, both signs, and the refusals (zero, NaN, negative bounds, the ends of the range).
TEST(SureRounding, ColumnDecidesEveryValueAsTheScalarTest) {
    std::mt19937_64 rng(2026);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-140, 140);
    std::uniform_int_distribution<int> errExponent(-60, -30);
    std::uniform_int_distribution<int> ulps(-3, 3);
    std::vector<double> v, err;
    for (int k = 0; k < 100000; ++k) {
        double x = std::ldexp(mantissa(rng), exponent(rng));
        if (k % 3 == 0) {
            // Next to a boundary: a 6-byte value plus half a unit, give or take a few
            // double units.
            const double r = RoundDoubleTo40Bits(x);
            int e = 0;
            std::frexp(r, &e);
            x = r + std::ldexp(1.0, e - 41) + ulps(rng) * std::ldexp(1.0, e - 53);
        }
        v.push_back(k % 2 ? -x : x);
        err.push_back(std::fabs(x) * std::ldexp(1.0, errExponent(rng)));
    }
    const double special[] = {0.0,     -0.0, NAN, INFINITY, 0x1p-128, 0x1p-129, 0x1.fffffffffep+126,
                              0x1p127, 1.0,  -1.0};
    for (const double x : special)
        for (const double e : {0.0, 1e-30, -1.0, double(NAN)}) {
            v.push_back(x);
            err.push_back(e);
        }
    const int n = static_cast<int>(v.size());
    std::vector<double> out(v.size(), 42.0), sure(v.size(), -1.0);
    SureReal48Column(v.data(), err.data(), out.data(), sure.data(), n);
    int kept = 0;
    for (int i = 0; i < n; ++i) {
        double r = 0;
        const bool expected = SureReal48(v[i], err[i], r);
        ASSERT_EQ(sure[i], expected ? 1.0 : 0.0) << v[i] << " +- " << err[i];
        EXPECT_EQ(out[i], expected ? r : 0.0) << v[i]; // a refused value is stored as 0
        kept += expected;
    }
    EXPECT_GT(kept, n / 3);
    EXPECT_LT(kept, n);
}

} // namespace
} // namespace velmora
