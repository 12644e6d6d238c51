// Rounding a double to the 6-byte real when its error bound allows: the bit-pattern
// rounding against the 6-byte format's own rounding, and the certainty test against
// the roundings of numbers spread over the whole error interval.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model/real48.h"
#include "model/sure_rounding.h"

namespace velmora {
namespace {

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
    const double tieDown = 1.0 + 0x1p-40;             // kept part even: stays 1
    const double tieUp = 1.0 + 0x1p-39 + 0x1p-40;     // kept part odd: rounds up
    EXPECT_EQ(RoundDoubleTo40Bits(tieDown), 1.0);
    EXPECT_EQ(RoundDoubleTo40Bits(tieUp), 1.0 + 0x1p-38);
    EXPECT_EQ(RoundDoubleTo40Bits(tieDown + 0x1p-52), 1.0 + 0x1p-39);
    // A carry out of the significand gives the next power of two.
    EXPECT_EQ(RoundDoubleTo40Bits(2.0 - 0x1p-45), 2.0);
    EXPECT_EQ(RoundDoubleTo40Bits(-(2.0 - 0x1p-45)), -2.0);
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

} // namespace
} // namespace velmora
