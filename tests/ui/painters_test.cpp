// The comparison grid and the temperature-effect graph, painted on a recording surface
// and read back: the grid's texts in their rows and columns, the graph's curves mapped
// back to frequencies and attenuations and checked against the analysis at those points.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "analysis/graph_axes.h"
#include "support/designs.h"
#include "support/recording_surface.h"
#include "support/specifications.h"
#include "ui/comparison_painter.h"
#include "ui/temperature_graph.h"

namespace velmora::test {
namespace {

TEST(ComparisonPainter, GridReadsBackAsTheTableInsideItsSize) {
    // Pole Qs in the thousands: red ">300" cells and "---" beside plain order cells.
    TDesign d;
    FillSpecification(d, Spec{"narrow", Bandpass, 0.5L, 30.0L, 20.0L, 60.0L, 100e3L, 0});
    ASSERT_TRUE(CalculateApproximations(d));
    const ComparisonTable t = BuildComparisonTable(d);
    RecordingSurface s;
    const PointD size = ComparisonTableSize(s, t, 12);
    PaintComparisonTable(s, t, 12);
    std::map<double, std::vector<RecordingSurface::Text>> rows; // by baseline
    for (const auto& text : s.texts) {
        rows[text.y].push_back(text);
        EXPECT_TRUE(text.x >= 0 &&
                    text.x + RecordingSurface::CodePoints(text.text) * text.size / 2 <= size.X &&
                    text.y + text.size * 1.25 <= size.Y)
            << text.text;
    }
    ASSERT_EQ(rows.size(), t.rowTitles.size() + 3); // corner title and two header lines first
    auto row = std::next(rows.begin(), 3);
    for (size_t r = 0; r < t.rowTitles.size(); ++r, ++row) {
        auto texts = row->second;
        std::sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) { return a.x < b.x; });
        ASSERT_EQ(texts.size(), t.colHeaders.size() + 1);
        EXPECT_EQ(texts[0].text, t.rowTitles[r]);
        for (size_t c = 0; c < t.colHeaders.size(); ++c) {
            EXPECT_EQ(texts[c + 1].text, t.cells[r][c].text);
            EXPECT_EQ(texts[c + 1].colour == kComparisonRed, t.cells[r][c].red) << texts[c + 1].text;
        }
    }
}

TEST(TemperatureGraph, CurvesMapBackToTheAnalysisWithinThePlot) {
    TDesign d;
    ASSERT_TRUE(DesignFilter(d, stagetest::Spec{}, Butterworth).ok);
    d.Components.ResistorTempCo = 300e-6L; // drifts that part the curves visibly
    d.Components.CapacitorTempCo = -200e-6L;
    d.Components.TempRise = 80.0L;
    for (const bool log : {true, false}) {
        FrequencyAxis axis = UsableFrequencyAxis(DataFrequencyAxis(d));
        axis.Log = log, axis.Hz = log; // log in Hz, linear in rad/s
        if (!log)
            axis.Min *= 2 * std::numbers::pi_v<long double>, axis.Max *= 2 * std::numbers::pi_v<long double>;
        const auto points = TemperatureEffectOver(d, axis);
        RecordingSurface s;
        PaintTemperatureEffectGraph(s, points, axis, 80);
        for (const char* t : {"  design curve", "  Temp effect", "Attenuation  (dB)",
                              log ? "Log Frequency  (Hz)" : "Frequency  (rad/s)"})
            EXPECT_TRUE(std::any_of(s.texts.begin(), s.texts.end(), [t](const auto& x) {
                return x.text == t;
            })) << t;
        const PlotArea a = PlotAreaOf(s.Width(), s.Height());
        const AxisRange value = TemperatureEffectGraph(points, axis, 80).Value;
        int curve = 0; // the design curve, then the warmed one
        long double parted = 0;
        for (const std::string& line : s.log) {
            if (line.rfind("polyline ", 0) != 0) continue;
            std::istringstream in(line.substr(9));
            char comma;
            double x, y;
            for (int i = 0; in >> x >> comma >> y; ++i) {
                EXPECT_TRUE(a.Contains(x, y)) << x << "," << y;
                if (i % 35) continue;
                const auto b = BoundsAt(d, ToRadPerSecond(axis, FrequencyAtX(axis, a, x)));
                ASSERT_TRUE(b.has_value());
                // Six recorded digits: about 0.01 pixel, thousandths of a dB on the steepest slope.
                EXPECT_NEAR((double)ValueAtY(value, a, y), (double)(curve ? b->AtTempRise : b->Design), 0.02);
                parted = std::max(parted, std::fabs(b->Design - b->AtTempRise));
            }
            ++curve;
        }
        EXPECT_EQ(curve, 2);
        EXPECT_GT(parted, 0.1L);
    }
}

} // namespace
} // namespace velmora::test
