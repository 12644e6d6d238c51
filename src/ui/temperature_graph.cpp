#include "ui/temperature_graph.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "analysis/graph_axes.h"
#include "model/number_text.h"

namespace velmora {

namespace {
constexpr Color kDesignColour{20, 60, 160};
constexpr Color kTempColour{200, 40, 40};
} // namespace

std::vector<TemperatureEffectPoint> TemperatureEffectOver(const TDesign& d, const FrequencyAxis& axis) {
    auto copy = std::make_unique<TDesign>(d);
    BuildFrequencyColumn(*copy, axis);
    return TemperatureEffectCurve(*copy);
}

CurveGraph TemperatureEffectGraph(const std::vector<TemperatureEffectPoint>& points,
                                  const FrequencyAxis& axis, long double riseDegC) {
    CurveGraph g;
    g.Title = "Temperature effect: design + " + TrimmedText(riseDegC, 3) + " deg C";
    const std::string unit = axis.Hz ? "  (Hz)" : "  (rad/s)";
    g.XCaption = (axis.Log ? "Log Frequency" : "Frequency") + unit;
    g.YCaption = "Attenuation  (dB)";
    g.Freq = UsableFrequencyAxis(axis);
    Curve design{kDesignCurveLegend, kDesignColour, PenStyle::Solid, {}};
    Curve warm{kTempEffectLegend, kTempColour, PenStyle::Dash, {}};
    long double lo = 0, hi = 0;
    bool any = false;
    for (const TemperatureEffectPoint& p : points) {
        const long double x = axis.Hz ? p.FHz : p.W;
        // Points off the axis or without a finite value (a notch's exact zero) are left out
        // rather than drawn at a made-up height.
        if (!(x >= g.Freq.Min && x <= g.Freq.Max) || !std::isfinite(p.Design) || !std::isfinite(p.TempEffect))
            continue;
        design.Points.push_back({x, p.Design});
        warm.Points.push_back({x, p.TempEffect});
        lo = any ? std::min({lo, p.Design, p.TempEffect}) : std::min(p.Design, p.TempEffect);
        hi = any ? std::max({hi, p.Design, p.TempEffect}) : std::max(p.Design, p.TempEffect);
        any = true;
    }
    g.Value = NiceRange(lo, hi);
    g.Curves = {std::move(design), std::move(warm)};
    return g;
}

void PaintTemperatureEffectGraph(DrawingSurface& s, const std::vector<TemperatureEffectPoint>& points,
                                 const FrequencyAxis& axis, long double riseDegC) {
    PaintCurveGraph(s, TemperatureEffectGraph(points, axis, riseDegC));
}

} // namespace velmora
