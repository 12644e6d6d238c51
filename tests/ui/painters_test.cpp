// The comparison grid and the temperature-effect graph, painted on a recording surface
// and read back: the grid's texts in their rows and columns, the graph's curves mapped
// back to frequencies and attenuations and checked against the analysis at those points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "analysis/graph_axes.h"
#include "analysis/tolerance.h"
#include "support/designs.h"
#include "support/recording_surface.h"
#include "support/specifications.h"
#include "ui/comparison_painter.h"
#include "ui/temperature_graph.h"

namespace velmora::test {
namespace {

TEST(ComparisonPainter, GridReadsBackAsTheTableInsideItsSize) {
    // The default lowpass (every cell a number) and a narrow bandpass whose pole Qs rule
    // every approximation out (red cells, "---").
    const Spec specs[] = {{"lowpass", Lowpass, 0.5L, 30.0L, 1e3L, 2e3L, 0, 0},
                          {"narrow", Bandpass, 0.5L, 30.0L, 20.0L, 60.0L, 100e3L, 0}};
    for (const Spec& spec : specs) {
        SCOPED_TRACE(spec.name);
        TDesign d;
        FillSpecification(d, spec);
        ASSERT_TRUE(CalculateApproximations(d));
        const ComparisonTable t = BuildComparisonTable(d);
        RecordingSurface s;
        const PointD size = ComparisonTableSize(s, t, 12);
        PaintComparisonTable(s, t, 12);

        // Rows are the texts on one baseline; the body rows are the last eight.
        std::map<double, std::vector<RecordingSurface::Text>> rows;
        for (const auto& text : s.texts) {
            rows[text.y].push_back(text);
            // Within the grid's size (recording metrics: half the size per character).
            EXPECT_GE(text.x, 0);
            EXPECT_LE(text.x + RecordingSurface::CodePoints(text.text) * text.size / 2, size.X) << text.text;
            EXPECT_LE(text.y + text.size * 1.25, size.Y) << text.text;
        }
        ASSERT_EQ(rows.size(), t.rowTitles.size() + 3); // corner line and two header lines
        auto row = std::next(rows.begin(), 3);
        std::vector<double> centres(t.colHeaders.size());
        for (size_t r = 0; r < t.rowTitles.size(); ++r, ++row) {
            auto texts = row->second;
            std::sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) { return a.x < b.x; });
            ASSERT_EQ(texts.size(), t.colHeaders.size() + 1);
            EXPECT_EQ(texts[0].text, t.rowTitles[r]);
            for (size_t c = 0; c < t.colHeaders.size(); ++c) {
                const auto& cell = texts[c + 1];
                EXPECT_EQ(cell.text, t.cells[r][c].text);
                EXPECT_EQ(cell.colour == kComparisonRed, t.cells[r][c].red) << cell.text;
                const double centre = cell.x + RecordingSurface::CodePoints(cell.text) * cell.size / 4;
                if (r > 0) { // centred under one another
                    EXPECT_NEAR(centre, centres[c], 1e-9) << "column " << c;
                }
                centres[c] = centre;
            }
        }
        // Each header line is centred over its column; the corner title heads the row titles.
        std::map<std::string, double> header;
        for (auto it = rows.begin(); it != std::next(rows.begin(), 3); ++it)
            for (const auto& text : it->second)
                header[text.text] = text.x + RecordingSurface::CodePoints(text.text) * text.size / 4;
        ASSERT_TRUE(header.count("Approximation:"));
        for (size_t c = 0; c < t.colHeaders.size(); ++c)
            for (const std::string& line : t.colHeaders[c])
                if (!line.empty()) {
                    ASSERT_TRUE(header.count(line)) << line;
                    EXPECT_NEAR(header[line], centres[c], 1e-9) << line;
                }
    }
}

// The points of the recorded polylines, in drawing order.
std::vector<std::vector<PointD>> Polylines(const RecordingSurface& s) {
    std::vector<std::vector<PointD>> out;
    for (const std::string& line : s.log) {
        if (line.rfind("polyline ", 0) != 0) continue;
        std::istringstream in(line.substr(9));
        std::vector<PointD> pts;
        for (std::string xy; in >> xy;) {
            const size_t comma = xy.find(',');
            pts.push_back({std::stod(xy.substr(0, comma)), std::stod(xy.substr(comma + 1))});
        }
        out.push_back(std::move(pts));
    }
    return out;
}

TEST(TemperatureGraph, CurvesMapBackToTheAnalysisWithinThePlot) {
    TDesign d;
    ASSERT_TRUE(DesignFilter(d, stagetest::Spec{}, Butterworth).ok);
    // Drifts large enough to part the curves by a visible amount.
    d.Components.ResistorTempCo = 300e-6L;
    d.Components.CapacitorTempCo = -200e-6L;
    d.Components.TempRise = 80.0L;
    const FrequencyAxis data = UsableFrequencyAxis(DataFrequencyAxis(d));
    struct Case {
        bool log, hz;
        const char* xCaption;
    } const cases[] = {{true, true, "Log Frequency  (Hz)"},
                       {false, true, "Frequency  (Hz)"},
                       {true, false, "Log Frequency  (rad/s)"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.xCaption);
        FrequencyAxis axis = data;
        axis.Log = k.log;
        if (!k.hz) {
            axis.Hz = false;
            axis.Min = ToRadPerSecond(data, data.Min);
            axis.Max = ToRadPerSecond(data, data.Max);
        }
        const auto points = TemperatureEffectOver(d, axis);
        ASSERT_EQ(points.size(), static_cast<size_t>(kResponsePoints));
        RecordingSurface s;
        PaintTemperatureEffectGraph(s, points, axis, 80);
        std::vector<std::string> texts;
        for (const auto& t : s.texts)
            texts.push_back(t.text);
        for (const char* expected : {"  design curve", "  Temp effect", "Attenuation  (dB)", k.xCaption})
            EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;

        const auto lines = Polylines(s);
        ASSERT_EQ(lines.size(), 2u); // the design curve, then the warmed one
        const PlotArea a = PlotAreaOf(s.Width(), s.Height());
        const AxisRange value = TemperatureEffectGraph(points, axis, 80).Value;
        long double parted = 0;
        for (size_t c = 0; c < 2; ++c)
            for (size_t i = 0; i < lines[c].size(); i += 35) {
                const PointD p = lines[c][i];
                EXPECT_TRUE(a.Contains(p.X, p.Y)) << p.X << "," << p.Y;
                const long double f = FrequencyAtX(axis, a, p.X);
                const long double w = ToRadPerSecond(axis, f);
                const auto bounds = BoundsAt(d, w);
                ASSERT_TRUE(bounds.has_value());
                const long double expected = c == 0 ? bounds->Design : bounds->AtTempRise;
                // The recorded coordinates carry six digits: about 0.01 pixel, a few
                // thousandths of a dB where the attenuation rises steepest.
                EXPECT_NEAR((double)ValueAtY(value, a, p.Y), (double)expected, 0.02) << "f " << (double)f;
                parted = std::max(parted, std::fabs(bounds->Design - bounds->AtTempRise));
            }
        EXPECT_GT(parted, 0.1L); // the two curves are told apart
    }
}

} // namespace
} // namespace velmora::test
