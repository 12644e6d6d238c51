// The comparison table and the default ranges of the response graphs.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "approx_test_support.h"

namespace velmora::test {
namespace {

enum Row {
    OrderRow,
    StagesRow,
    RippleRow,
    PolePairsRow,
    SinglePolesRow,
    ZeroPairsRow,
    SingleZerosRow,
    QpRow
};

std::string Cell(const ComparisonTable& t, int row, int index) {
    return t.cells[row][index].text;
}

TEST(ComparisonTable, DefaultLowpass) {
    const TDesign d = Designed({"lp", Lowpass, 0.5L, 30.0L, 1e3L, 2e3L});
    const ComparisonTable t = BuildComparisonTable(d);
    // Chebyshev order: arccosh(sqrt(999/0.12202))/arccosh(2) = 3.95 -> 4. Largest Qp:
    // Butterworth 7: 1/(2 sin(pi/14)) = 2.25; Chebyshev 4 at 0.5 dB: 2.94.
    const std::vector<std::vector<std::string>> expected = {
        {"7", "4", "4", "3"}, {"4", "2", "2", "2"},   {"0 dB", "0.5 dB", "0 dB", "0.5 dB"},
        {"3", "2", "2", "1"}, {"1", "0", "0", "1"},   {"0", "0", "2", "1"},
        {"0", "0", "0", "0"}, {"2.2", "2.9", "", ""},
    };
    for (int row = 0; row < 8; ++row)
        for (int index = 0; index < 4; ++index) {
            if (expected[row][index].empty()) continue;
            EXPECT_EQ(Cell(t, row, index), expected[row][index]) << t.rowTitles[row] << " / " << index;
        }
    for (const auto& row : t.cells)
        for (const ComparisonCell& c : row)
            EXPECT_FALSE(c.red);
}

TEST(ComparisonTable, UnusableResults) {
    // A 20 Hz wide passband at 100 kHz: pole Qs in the thousands.
    const TDesign narrow = Designed({"narrow", Bandpass, 0.5L, 30.0L, 20.0L, 60.0L, 100e3L});
    const ComparisonTable t = BuildComparisonTable(narrow);
    for (int index = 0; index < kApproxCount; ++index) {
        const Approximation& a = narrow.Approx[index];
        ASSERT_TRUE(a.QpTooHigh || a.Result.OrderTooHigh);
        if (a.Result.OrderTooHigh) continue;
        EXPECT_GT(a.Result.MaxQp, 300.0L);
        EXPECT_EQ(Cell(t, OrderRow, index), std::to_string(a.Result.Order));
        EXPECT_EQ(Cell(t, QpRow, index), ">300");
        EXPECT_TRUE(t.cells[QpRow][index].red);
        for (int row = StagesRow; row < QpRow; ++row)
            EXPECT_EQ(Cell(t, row, index), "---");
    }
    // Too high an order: ">20" and "---" everywhere, nothing red.
    const TDesign steep = Designed({"steep", Lowpass, 0.5L, 80.0L, 1e3L, 1.05e3L});
    const ComparisonTable s = BuildComparisonTable(steep);
    ASSERT_TRUE(steep.Approx[Butterworth].Result.OrderTooHigh);
    EXPECT_EQ(Cell(s, OrderRow, Butterworth), ">20");
    for (int row = StagesRow; row <= QpRow; ++row) {
        EXPECT_EQ(Cell(s, row, Butterworth), "---");
        EXPECT_FALSE(s.cells[row][Butterworth].red);
    }
}

TEST(ComparisonTable, LowOrderCells) {
    // Forced first order: no pole Q to show.
    const TDesign first = Designed({"first", Lowpass, 0.5L, 30.0L, 1e3L, 0.0L, 0.0L, 1});
    EXPECT_EQ(Cell(BuildComparisonTable(first), QpRow, Butterworth), "---");
    // Filter order 2 has no ripple entry; a first-order prototype behind a bandpass.
    const TDesign second = Designed({"bp2", Bandpass, 0.5L, 30.0L, 1e3L, 0.0L, 2e3L, 2});
    const ComparisonTable t = BuildComparisonTable(second);
    EXPECT_EQ(Cell(t, RippleRow, Chebyshev), "---");
    EXPECT_EQ(Cell(t, StagesRow, Chebyshev), "1");
    // Its real-pole section's Q: w0/(sigma Bpb) = 2/(sinh(arcsinh(1/eps)) 1) = 2 eps.
    const long double eps = std::sqrt(std::pow(10.0L, 0.05L) - 1.0L);
    EXPECT_NEAR(second.Approx[Chebyshev].Result.MaxQp, 2.0L * eps, 1e-11L);
    EXPECT_EQ(Cell(t, QpRow, Chebyshev), "0.70");
}

TEST(Rating, QpLimitIsInclusiveAndCountsFollowTheZeroList) {
    for (const long double qp : {299.0L, 300.0L, 300.0001L}) {
        TDesign d;
        NewDesign(d, Lowpass);
        Approximation& a = d.Approx[Butterworth];
        a.Result.Order = 4;
        a.Result.PolePairs = 2;
        a.PoleTable[1].Qp = 0.8L;
        a.PoleTable[2].Qp = qp;
        a.Result.ProtoZeroPairs = 2;
        a.ZeroList[1].Wz = 0.0L; // double zero at the origin
        a.ZeroList[2].Wz = 5.0L; // a pair on the jw axis
        a.Result.HasSingleZero = 1;
        RateApproximations(d);
        EXPECT_EQ(
            std::tuple(a.Result.MaxQp, a.QpTooHigh, isUsable(a), a.Result.SingleZeros, a.Result.ZeroPairs),
            std::tuple(Real48(qp).value(), qp > 300.0L ? 1 : 0, qp <= 300.0L, 3, 1));
    }
}

TEST(GraphRanges, FrequencyAxes) {
    const std::tuple<SpecEntry, bool, long double, long double, int> cases[] = {
        {{"lp 2 kHz", Lowpass, 0.5L, 30.0L, 2e3L, 4e3L}, true, 200.0L, 20e3L, 2},
        {{"bp 3 kHz", Bandpass, 0.5L, 30.0L, 1e3L, 2e3L, 3e3L}, true, 1000.0L, 6e3L, 3},
        {{"lp rad/s", Lowpass, 0.5L, 30.0L, 1000.0L / kTwoPi, 2000.0L / kTwoPi}, false, 100.0L, 10e3L, 2},
        {{"hp 35 Hz", Highpass, 0.5L, 30.0L, 35.0L, 10.0L}, true, 3.0L, 350.0L, 0},
        {{"bs 1 Hz", Bandstop, 0.5L, 30.0L, 0.5L, 0.2L, 1.0L}, true, 0.5L, 2.0L, -1},
    };
    for (const auto& [spec, hz, min, max, decade] : cases) {
        TDesign d;
        FillSpecification(d, spec);
        d.Opt.FreqUnitsHz = hz;
        ASSERT_TRUE(CalculateAll(d));
        ComputeGraphRanges(d);
        const GraphRanges& g = d.Ranges;
        SCOPED_TRACE(spec.name);
        EXPECT_NEAR(g.GraphFreqMin, min, 1e-9L * min);
        EXPECT_NEAR(g.GraphFreqMax, max, 1e-9L * max);
        EXPECT_EQ(g.GraphFreqDecade, decade);
        // Five decades of sweep, starting two decades below the axis.
        EXPECT_NEAR(g.SweepFreqMin, std::pow(10.0L, decade - 2), 1e-12L);
        EXPECT_NEAR(g.SweepFreqMax, std::pow(10.0L, decade + 3), 1e-6L);
    }
}

TEST(GraphRanges, ZeroLowerLimitStaysZero) {
    TDesign d;
    NewDesign(d, UserDefined);
    d.Opt.FreqUnitsHz = 0;
    d.StageCount = 1; // a section that has neither a pole frequency nor a real pole
    ComputeGraphRanges(d);
    EXPECT_EQ(std::tuple(d.Ranges.GraphFreqMin, d.Ranges.GraphFreqDecade), std::tuple(0.0L, 0));
}

TEST(GraphRanges, TimeScale) {
    // sigma: the real part of the last pair's pole, or the real pole.
    const std::tuple<int, long double, int, long double, long double> cases[] = {
        {0, 1000.0L, -2, 2.0L, 0.2L}, // t = 40/1000 = 0.04 s, T = 0.01333
        {2, 1000.0L, -3, 5.0L, 0.5L}, // t = (199 - 38)/(12 * 1000) = 0.0134, T = 0.00447
        {4, 10.0L, -1, 5.0L, 0.5L},   // t = (199 - 76)/(18 * 10) = 0.683, T = 0.228 -> 2.28
        {1, 0.5L, 0, 10.0L, 1.0L},    // t = 180/6 = 30, T = 10 (not above 10)
    };
    for (const auto& [pairs, sigma, exp, fullScale, tick] : cases) {
        TDesign d;
        NewDesign(d, Lowpass);
        d.Spec.wpb = 1000.0L;
        for (int i = 1; i < kApproxCount; ++i)
            d.Approx[i].Result.OrderTooHigh = 1;
        Approximation& a = d.Approx[Butterworth];
        a.Result.PolePairs = static_cast<int16_t>(pairs);
        if (pairs > 0)
            a.PoleList[pairs].Re = sigma;
        else
            a.Result.RealPole = sigma;
        ComputeGraphRanges(d);
        EXPECT_EQ(d.Ranges.TimeScaleExp, exp) << pairs;
        EXPECT_EQ(d.Ranges.TimeFullScale, fullScale) << pairs;
        EXPECT_NEAR(d.Ranges.TimeTickStep, tick, 1e-12L) << pairs;
        EXPECT_NEAR(d.Ranges.TimeAux, 0.4L * fullScale, 1e-12L) << pairs;
    }
}

} // namespace
} // namespace velmora::test
