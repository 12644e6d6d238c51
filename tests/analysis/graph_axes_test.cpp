#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>

#include "analysis/graph_axes.h"

namespace velmora {
namespace {

TEST(GraphAxes, DelayAxisScalesTheLargestDelayIntoOneToTen) {
    // (largest delay, exponent, axis maximum, tick); 1 is not above 1: it counts down to 10 x 1e-1.
    const std::tuple<long double, int, long double, long double> cases[] = {
        {1.5e-3L, -3, 2, 0.2L}, {3e-4L, -4, 5, 0.5L},         {7, 0, 10, 1},       {10, 0, 10, 1},
        {1, -1, 10, 1},         {2.0000001e-6L, -6, 5, 0.5L}, {0.2L, -1, 2, 0.2L},
    };
    for (const auto& [largest, exponent, max, tick] : cases) {
        const ScaledRange s = DelayAxisFor(largest);
        EXPECT_EQ(s.Exp, exponent) << largest;
        EXPECT_EQ(s.Range, (AxisRange{0, max, tick})) << largest;
    }
    // Nothing to scale: a finite axis of 0..1.
    EXPECT_EQ(DelayAxisFor(0).Range.Max, 1);
}

TEST(GraphAxes, ImpulseAxisIsScaledAndRangedInTenthsToUnits) {
    const std::tuple<long double, long double, int, long double, long double, long double> cases[] = {
        {-1234, 5678, 3, -2, 6, 1},        // x 1e3, -1.234 .. 5.678 spans 6.9: ticks of 1
        {0, 0.0042L, -3, 0, 4.5L, 0.5L},   // x 1e-3, 0 .. 4.2: ticks of 0.5
        {2.2L, 2.9L, 0, 2.2L, 2.9L, 0.1L}, // spans 0.7: ticks of 0.1
    };
    for (const auto& [lo, hi, exp, min, max, tick] : cases) {
        const ScaledRange s = ImpulseAxisFor(lo, hi);
        EXPECT_EQ(s.Exp, exp) << hi;
        EXPECT_NEAR(s.Range.Min, min, 1e-12L) << hi;
        EXPECT_NEAR(s.Range.Max, max, 1e-12L) << hi;
        EXPECT_EQ(s.Range.Tick, tick) << hi;
    }
}

TEST(GraphAxes, PhaseAxisRoundsOutwardToHalfTurns) {
    // The lags' range and the axis: minimum, maximum, tick.
    for (const auto& [minLag, maxLag, min, max, tick] : {
             std::tuple{0.5L, 270.0L, -360.0L, 0.0L, 45.0L}, // third-order lowpass
             {-180, -0.5L, 0, 180, 45},                      // second-order highpass: the angle leads
             {1, 1700, -1800, 0, 180},                       // high order
             {-90, 450, -540, 180, 90},                      // bandpass
             {180, 180, -360, -180, 45},                     // flat on a multiple: a half turn below it
             {1e-13L, 179.9999L, -180, 0, 45},               // rounding dust does not add a half turn
         })
        EXPECT_EQ(PhaseAxisFor(minLag, maxLag), (AxisRange{min, max, tick})) << minLag << " " << maxLag;
}

TEST(GraphAxes, NiceRangesAndGainAxes) {
    // The data's range and the axis: minimum, maximum, tick.
    const std::array<long double, 5> cases[] = {
        {0, 1.03L, 0, 1.2L, 0.2L}, {-0.13L, 1.0L, -0.2L, 1.0L, 0.2L},     {0, 100, 0, 100, 10},
        {3, 7, 3, 7, 0.5L},        {-5e-6L, 5e-6L, -5e-6L, 5e-6L, 1e-6L},
    };
    for (const auto& [lo, hi, min, max, tick] : cases) {
        const AxisRange r = NiceRange(lo, hi);
        EXPECT_NEAR(r.Min, min, 1e-12L * std::fabs(tick)) << lo << " " << hi;
        EXPECT_NEAR(r.Max, max, 1e-12L * std::fabs(tick)) << lo << " " << hi;
        EXPECT_NEAR(r.Tick, tick, 1e-15L * tick) << lo << " " << hi;
    }
    const AxisRange flat = NiceRange(2, 2);
    EXPECT_LT(flat.Min, 2);
    EXPECT_GT(flat.Max, 2);

    EXPECT_EQ(GainDbAxisFor(0), (AxisRange{-40, 10, 10})); // a unit-gain filter: -40 .. 10 dB
    EXPECT_EQ(std::tuple(GainDbAxisFor(60), GainDbAxisFor(-3.5L), GainVVAxisFor(1).Min),
              std::tuple((AxisRange{20, 70, 10}), (AxisRange{-50, 0, 10}), 0));
    EXPECT_NEAR(GainVVAxisFor(1).Max, 1.2L, 1e-15L);
}

ResponseAxes GainAxes() {
    ResponseAxes axes;
    axes.Freq = FrequencyAxis{10, 100000, true, true};
    axes.GainDb = AxisRange{-40, 10, 10};
    axes.GainVV = AxisRange{0, 1.2L, 0.2L};
    return axes;
}

TEST(Zoom, RectangleSetsTheAxesItCovers) {
    const PlotArea area = PlotAreaOf(800, 600);
    ResponseAxes axes = GainAxes();
    // From a quarter to three quarters across (100 Hz .. 10 kHz) and from 0 dB (a fifth
    // down) to -30 dB (four fifths down).
    ASSERT_EQ(ZoomToRectangle(axes, area, 292, 144, 588, 396), ZoomStatus::Zoomed);
    EXPECT_NEAR(axes.Freq.Min, 100.0L, 1e-9L);
    EXPECT_NEAR(axes.Freq.Max, 10000.0L, 1e-7L);
    EXPECT_NEAR(axes.GainDb.Min, -30.0L, 1e-12L);
    EXPECT_NEAR(axes.GainDb.Max, 0.0L, 1e-12L);
    // The V/V range follows: 10^(-30/20) .. 1.
    EXPECT_NEAR(axes.GainVV.Min, std::pow(10.0L, -1.5L), 1e-15L);
    EXPECT_NEAR(axes.GainVV.Max, 1.0L, 1e-15L);

    // On a linear V/V axis a rectangle down to 0 V/V sets the dB range to the floor.
    ResponseAxes vv = GainAxes();
    vv.GainInDb = false;
    ASSERT_EQ(ZoomToRectangle(vv, area, 200, 60, 700, 480), ZoomStatus::Zoomed);
    EXPECT_NEAR(vv.GainVV.Min, 0.0L, 1e-15L);
    EXPECT_NEAR(vv.GainVV.Max, 1.2L, 1e-15L);
    EXPECT_EQ(vv.GainDb.Min, -400.0L);
    EXPECT_NEAR(vv.GainDb.Max, 20 * std::log10(1.2L), 1e-12L);
}

TEST(Zoom, RefusedRectanglesChangeNothing) {
    const PlotArea area = PlotAreaOf(800, 600);
    // Drawn the wrong way (right to left or bottom to top), or less than a pixel wide.
    for (const auto& [what, x1, y1, x2, y2] :
         {std::tuple{"lower right to upper left", 588.0, 396.0, 292.0, 144.0},
          {"right to left", 588, 144, 292, 396},
          {"bottom to top", 292, 396, 588, 144},
          {"less than a pixel wide", 300, 100, 300.5, 300},
          {"a point", 300, 100, 300, 100}}) {
        ResponseAxes axes = GainAxes();
        const ResponseAxes before = axes;
        EXPECT_EQ(ZoomToRectangle(axes, area, x1, y1, x2, y2), ZoomStatus::WrongWay) << what;
        EXPECT_EQ(ZoomStateOf(axes), ZoomStateOf(before)) << what;
    }
    // A span below a millionth of its limits.
    ResponseAxes narrow = GainAxes();
    narrow.Freq = FrequencyAxis{1000, 1000.0005L, false, true};
    const ZoomState before = ZoomStateOf(narrow);
    EXPECT_EQ(ZoomToRectangle(narrow, area, 200, 100, 300, 300), ZoomStatus::TooNarrow);
    EXPECT_EQ(ZoomStateOf(narrow), before);
}

TEST(Zoom, HistoryRestoresExactlyAndIsBounded) {
    const PlotArea area = PlotAreaOf(800, 600);
    ResponseAxes axes = GainAxes();
    ZoomHistory history;
    const ZoomState original = ZoomStateOf(axes);
    history.Push(ZoomStateOf(axes));
    ASSERT_EQ(ZoomToRectangle(axes, area, 200, 100, 600, 400), ZoomStatus::Zoomed);
    const ZoomState first = ZoomStateOf(axes);
    history.Push(ZoomStateOf(axes));
    ASSERT_EQ(ZoomToRectangle(axes, area, 300, 200, 500, 300), ZoomStatus::Zoomed);
    ZoomState s;
    ASSERT_TRUE(history.Pop(s));
    RestoreZoomState(axes, s);
    EXPECT_EQ(ZoomStateOf(axes), first);
    ASSERT_TRUE(history.Pop(s));
    RestoreZoomState(axes, s);
    EXPECT_EQ(ZoomStateOf(axes), original);
    EXPECT_FALSE(history.Pop(s));
    EXPECT_TRUE(history.Empty());

    for (int i = 1; i <= 60; ++i)
        history.Push(ZoomState{static_cast<long double>(i), 1000, {}, {}});
    EXPECT_EQ(history.Depth(), ZoomHistory::kMaxZoomDepth);
    for (int i = 60; i > 10; --i) {
        ASSERT_TRUE(history.Pop(s));
        EXPECT_EQ(s.FreqMin, i); // the newest first; the ten oldest were dropped
    }
    EXPECT_FALSE(history.Pop(s));
}

} // namespace
} // namespace velmora
