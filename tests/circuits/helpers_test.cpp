// The helpers shared by the circuit designs: half-step rounding, the finite-GBW step,
// gain-pair scaling and the 12-value capacitor steps.
#include <cmath>
#include <numbers>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "circuits/circuit_design.h"
#include "circuits/standard_values.h"

namespace velmora {
namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

TEST(RoundDownHalfDecade, HalfStepsOfTheLeadingDigit) {
    const std::tuple<long double, long double> cases[] = {
        {37.0e6L, 35.0e6L}, {9.4e6L, 9.0e6L}, {3.4e6L, 3.0e6L}, {1.41e5L, 1.0e5L}, {20.0e3L, 20.0e3L},
        {9.99e3L, 9.5e3L},  {10.0L, 10.0L},   {1.5L, 1.5L},     {1.49L, 1.0L},     {100.0e6L, 100.0e6L},
        {0.0L, 0.0L},       {-5.0L, 0.0L},    {INFINITY, 0.0L},
    };
    for (const auto& [x, expected] : cases)
        EXPECT_EQ(RoundDownHalfDecade(x), expected) << "x = " << double(x);
}

TEST(GbwStep, PredistortionAndMinimumRecommendedGbw) {
    // Unity-gain Sallen-Key lowpass at Qp = 1/sqrt 2: kw = Qp, kq = -Qp; fp = 10 kHz, GBW 1 MHz.
    TDesign d;
    d.StageCount = 1;
    const long double qp = 1.0L / std::sqrt(2.0L), wp = 2.0L * kPi * 1.0e4L;
    d.Stages[1].Wp = wp;
    d.Stages[1].Qp = qp;
    TStageCircuit& c = d.Circuits[1];
    c.OpAmpGBW = 1.0e6L;
    c.GbwFactorWp = qp;
    c.GbwFactorQp = -qp;

    for (int predistort = 0; predistort <= 1; ++predistort) {
        c.Predistort = static_cast<uint8_t>(predistort);
        GbwStep(d, 1);
        const long double w = d.Stages[1].Wp, q = d.Stages[1].Qp; // as stored
        const long double expectWp = predistort ? w * (1.0L + 0.01L / std::sqrt(2.0L)) : w;
        const long double expectQp = predistort ? q * (1.0L - 0.01L / std::sqrt(2.0L)) : q;
        // Stored reals keep about 12 significant digits.
        EXPECT_NEAR(double(c.WpPrime / expectWp), 1.0, 1e-11);
        EXPECT_NEAR(double(c.QpPrime / expectQp), 1.0, 1e-11);
        // 20 x 10 kHz / sqrt 2 = 141 kHz, rounded down to the half step 100 kHz.
        EXPECT_EQ(static_cast<long double>(c.MinRecGBW), 1.0e5L);
        // wp sqrt(kw^2 + (kq / 2Qp)^2) / wt = 0.01 sqrt(1/2 + 1/4).
        EXPECT_NEAR(double(c.GbwEffect), 0.01 * std::sqrt(0.75), 1e-12);
    }
}

TEST(GbwStep, NoBandwidthLeavesTheTargetsAndNeverDividesByZero) {
    TDesign d;
    d.Stages[1].Wp = 1000.0L;
    d.Stages[1].Qp = 2.0L;
    d.Circuits[1].OpAmpGBW = 0.0L;
    d.Circuits[1].Predistort = 1;
    d.Circuits[1].GbwFactorWp = 3.0L;
    GbwStep(d, 1);
    EXPECT_EQ(d.Circuits[1].WpPrime.value(), 1000.0L);
    EXPECT_EQ(d.Circuits[1].QpPrime.value(), 2.0L);
    EXPECT_EQ(d.Circuits[1].GbwEffect.value(), 0.0L);
}

TEST(ScaleGainPair, FourHundredSeventyToTenKeepsItsRatio) {
    // 470 k / 10 k: R(n) steps down 9.1 k, 8.2 k, ... until R(n-1) = 47 R(n) <= 100 k,
    // first at R(n) = 2.0 k (2.2 k would give 103.4 k).
    TStageCircuit c;
    R(c, 3) = 470.0e3L;
    R(c, 4) = 10.0e3L;
    c.GainPairIndex = 0;
    c.GainPairExponent = 2;
    ScaleGainPair(c, 4);
    EXPECT_NEAR(double(R(c, 4)), 2000.0, 1e-6);
    EXPECT_NEAR(double(R(c, 3)), 94000.0, 1e-4);
    EXPECT_EQ(c.GainPairExponent, 1);
    EXPECT_EQ(E24Mantissas()[static_cast<std::size_t>(c.GainPairIndex)], 200.0L);

    // A pair already within the limit is left alone.
    R(c, 3) = 100.0e3L;
    R(c, 4) = 10.0e3L;
    c.GainPairIndex = 0;
    c.GainPairExponent = 2;
    ScaleGainPair(c, 4);
    EXPECT_EQ(std::tuple(R(c, 3).value(), R(c, 4).value()), std::tuple(100.0e3L, 10.0e3L));
}

TEST(StepE12, StepsCrossDecades) {
    const std::tuple<long double, int, long double> cases[] = {
        {1.0e-9L, 1, 1.2e-9L},     {8.2e-9L, 1, 10.0e-9L}, {10.0e-9L, -1, 8.2e-9L}, {1.0e-9L, 12, 10.0e-9L},
        {1.0e-9L, -13, 82.0e-12L}, {4.7e3L, 2, 6.8e3L},    {1.01e-9L, 0, 1.0e-9L},  {990.0L, 1, 1200.0L},
    };
    for (const auto& [from, steps, to] : cases)
        EXPECT_NEAR(double(StepE12(from, steps) / to), 1.0, 1e-15) << double(from) << " " << steps;
}

// The log-nearest series position, away from near ties, against a brute-force search over
// every 12-value series value of three decades: for values across twenty decades, on
// series values, within the match tolerance of them, on the geometric midpoints of
// neighbours and a relative 1e-13 to 1e-6 either side of them.
TEST(LogNearestE12, NearestOnALogarithmicScale) {
    const auto e12 = SeriesMantissas(Series::E12);
    for (int e = -16; e <= 4; ++e)
        for (std::size_t i = 0; i < e12.size(); ++i) {
            const long double m = e12[i], next = i + 1 < e12.size() ? e12[i + 1] : 1000.0L;
            const long double mid = std::sqrt(m * next);
            std::vector<long double> probes = {m,   m * (1 + 5e-7L),   m * (1 - 5e-7L),
                                               mid, 0.5L * (m + next), m * 1.01L};
            for (const long double o : {1e-13L, 1e-12L, 1e-11L, 1e-9L, 1e-6L}) {
                probes.push_back(mid * (1 + o));
                probes.push_back(mid * (1 - o));
            }
            for (const long double probe : probes) {
                const long double v = probe * std::pow(10.0L, static_cast<long double>(e));
                const auto got = LogNearestE12(v);
                ASSERT_TRUE(got) << double(v);
                // Brute force where the two candidates are not all but equally near.
                SeriesPosition best{};
                long double bestDistance = INFINITY, second = INFINITY;
                for (int d = e + 1; d <= e + 3; ++d)
                    for (int k = 0; k < static_cast<int>(e12.size()); ++k) {
                        const SeriesPosition p{d - 2, k};
                        const long double distance = std::fabs(std::log(SeriesValue(Series::E12, p) / v));
                        if (distance < bestDistance) {
                            second = bestDistance;
                            bestDistance = distance;
                            best = p;
                        } else if (distance < second) {
                            second = distance;
                        }
                    }
                if (second - bestDistance > 1e-15L) {
                    EXPECT_EQ(*got, best) << double(v);
                }
            }
        }
    EXPECT_FALSE(LogNearestE12(0.0L));
    EXPECT_FALSE(LogNearestE12(-1.0e-9L));
    EXPECT_FALSE(LogNearestE12(static_cast<long double>(INFINITY)));
}

} // namespace
} // namespace velmora
