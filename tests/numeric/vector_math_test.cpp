// The column logarithm, exponential and arctangent against the extended-precision library functions:
// every result within the error the response columns count for it (kBatchUlps units of
// its last place), over the arguments the columns give them, for every column length
// (the points that do not fill a vector take another path).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "numeric/vector_math.h"

namespace velmora {
namespace {

// |r - exact| in units of the last place of the double nearest the exact value.
double UlpError(double r, long double exact) {
    const double e = double(exact);
    if (e == 0.0) return r == 0.0 ? 0.0 : INFINITY;
    int ex = 0;
    std::frexp(e, &ex);
    return double(std::fabs(static_cast<long double>(r) - exact) / std::ldexp(1.0L, ex - 53));
}

// Every result of the column function `batch` over x within kBatchUlps of the extended
// function `exact`.
template <typename Batch, typename Exact>
void ExpectWithinBound(const char* name, const std::vector<double>& x, Batch batch, Exact exact) {
    std::vector<double> out(x.size());
    batch(x.data(), out.data(), static_cast<int>(x.size()));
    for (std::size_t i = 0; i < x.size(); ++i)
        ASSERT_LE(UlpError(out[i], exact(static_cast<long double>(x[i]))), kBatchUlps)
            << name << "(" << x[i] << ")";
}

TEST(VectorMath, LogarithmWithinItsBoundEverywhere) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-1000, 1000);
    std::uniform_real_distribution<double> nearOne(-1e-3, 1e-3);
    std::vector<double> x;
    for (int k = 0; k < 400000; ++k)
        x.push_back(std::ldexp(mantissa(rng), exponent(rng)));
    // Near 1, where the logarithm is small and its relative error is what counts (a
    // gain near 0 dB): whole bands of neighbouring doubles and random offsets.
    for (int k = 1; k < 20000; ++k) {
        x.push_back(1.0 + k * 0x1p-52);
        x.push_back(1.0 - k * 0x1p-53);
    }
    for (int k = 0; k < 200000; ++k)
        x.push_back(1.0 + nearOne(rng) * std::ldexp(1.0, -(k % 40)));
    ExpectWithinBound("log", x, BatchLog, [](long double v) { return std::log(v); });
    double one = 1.0, r = 5.0;
    BatchLog(&one, &r, 1);
    EXPECT_EQ(r, 0.0); // a gain of exactly 0 dB
}

TEST(VectorMath, ArctangentWithinItsBoundInEveryQuadrant) {
    std::mt19937_64 rng(12);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    std::uniform_int_distribution<int> near(-60, 0);
    std::vector<double> y, x;
    for (int k = 0; k < 400000; ++k) {
        const double a = std::ldexp(mantissa(rng), exponent(rng));
        // The ratio of the parts over a wide range, and near the axes (a running product
        // close to real or imaginary).
        const double b =
            k % 3 == 0 ? a * std::ldexp(mantissa(rng), near(rng)) : std::ldexp(mantissa(rng), exponent(rng));
        y.push_back(k % 2 ? a : -a);
        x.push_back(k % 4 < 2 ? b : -b);
    }
    std::vector<double> out(y.size());
    BatchAtan2(y.data(), x.data(), out.data(), static_cast<int>(y.size()));
    for (std::size_t i = 0; i < y.size(); ++i) {
        const long double exact = std::atan2(static_cast<long double>(y[i]), static_cast<long double>(x[i]));
        ASSERT_LE(UlpError(out[i], exact), kBatchUlps) << "atan2(" << y[i] << ", " << x[i] << ")";
    }
}

TEST(VectorMath, ExponentialWithinItsBoundEverywhere) {
    std::mt19937_64 rng(13);
    std::uniform_real_distribution<double> wide(-700.0, 700.0);
    std::uniform_real_distribution<double> axis(0.0, 60.0); // ln of the span of any axis
    std::uniform_real_distribution<double> small(-1.0, 1.0);
    std::vector<double> x;
    for (int k = 0; k < 200000; ++k) {
        x.push_back(wide(rng));
        x.push_back(axis(rng));
        x.push_back(small(rng) * std::ldexp(1.0, -(k % 60)));
    }
    // The arguments of a logarithmic axis of 350 intervals exactly as the column forms
    // them: a span times i / 350.
    for (const double span :
         {0.0023025850929940457, 2.302585092994046, 4.605170185988092, 13.815510557964274, 31.07})
        for (int i = 0; i <= 350; ++i)
            x.push_back(span * (double(i) / 350));
    ExpectWithinBound("exp", x, BatchExp, [](long double v) { return std::exp(v); });
    double zero = 0.0, r = 5.0;
    BatchExp(&zero, &r, 1);
    EXPECT_EQ(r, 1.0); // the first point of an axis is its lower limit exactly
}

// The square root is the processor's, correctly rounded: the same double as std::sqrt
// for every argument, 0, the largest and the smallest included, and for every column
// length (the points that do not fill a vector take another path).
TEST(VectorMath, SquareRootIsTheCorrectlyRoundedOne) {
    std::mt19937_64 rng(14);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-1070, 1020);
    std::vector<double> x = {0.0, 1.0, 2.0, 0x1p-1074, 0x1.fffffffffffffp+1023, 0.25, 1e-300};
    for (int k = 0; k < 100000; ++k)
        x.push_back(std::ldexp(mantissa(rng), exponent(rng)));
    for (std::size_t n : {0, 1, 2, 3, 5, 7, static_cast<int>(x.size())}) {
        std::vector<double> out(n + 1, -7.0);
        BatchSqrt(x.data(), out.data(), static_cast<int>(n));
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_EQ(out[i], std::sqrt(x[i])) << "sqrt(" << x[i] << ")";
            // Correctly rounded: the exact root lies within half a unit of the result.
            const long double r = out[i], exact = std::sqrt(static_cast<long double>(x[i]));
            ASSERT_LE(std::fabs(r - exact), (std::nextafter(out[i], INFINITY) - r) * (0.5L + 0x1p-10L));
        }
        EXPECT_EQ(out[n], -7.0);
    }
}

TEST(VectorMath, EveryLengthGivesTheSameValuesAsTheWholeColumn) {
    std::vector<double> x, y;
    for (int k = 0; k < 23; ++k) {
        x.push_back(0.37 + k * 0.71);
        y.push_back(k % 2 ? -1.3 - k : 0.4 + k);
    }
    std::vector<double> logAll(x.size()), atanAll(x.size()), expAll(x.size());
    BatchLog(x.data(), logAll.data(), 23);
    BatchAtan2(y.data(), x.data(), atanAll.data(), 23);
    BatchExp(x.data(), expAll.data(), 23);
    for (std::size_t n = 0; n <= 23; ++n)
        for (std::size_t start = 0; start + n <= 23; start += 5) {
            SCOPED_TRACE(std::to_string(n) + " from " + std::to_string(start));
            std::vector<double> l(n + 1, -7.0), a(n + 1, -7.0), e(n + 1, -7.0); // -7: not written
            BatchLog(x.data() + start, l.data(), static_cast<int>(n));
            BatchAtan2(y.data() + start, x.data() + start, a.data(), static_cast<int>(n));
            BatchExp(x.data() + start, e.data(), static_cast<int>(n));
            const auto part = [&](const std::vector<double>& all) { // and nothing written past the end
                std::vector<double> p(all.begin() + long(start), all.begin() + long(start + n));
                p.push_back(-7.0);
                return p;
            };
            EXPECT_EQ(std::tuple(l, a, e), std::tuple(part(logAll), part(atanAll), part(expAll)));
        }
    // In place.
    std::vector<double> in = x;
    BatchLog(in.data(), in.data(), 23);
    EXPECT_EQ(in, logAll);
    in = x;
    BatchExp(in.data(), in.data(), 23);
    EXPECT_EQ(in, expAll);
}

} // namespace
} // namespace velmora
