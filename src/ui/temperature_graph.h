// The temperature-effect graph: the realised filter's attenuation at the design
// temperature ("  design curve") and after the temperature rise of the component
// characteristics ("  Temp effect") over a frequency axis, frequencies in the design's
// unit. The gap between the two curves is the first-order gain change of the stages'
// temperature coefficients (analysis/tolerance.h); where it stays small against the
// mask's margins the filter keeps its specification as it warms up.
#pragma once

#include <vector>

#include "analysis/frequency_response.h"
#include "analysis/tolerance.h"
#include "model/design.h"
#include "ui/drawing_surface.h"
#include "ui/graph_painter.h"

namespace velmora {

inline constexpr const char* kDesignCurveLegend = "  design curve";
inline constexpr const char* kTempEffectLegend = "  Temp effect";

// The two attenuations at the points of `axis` (points 0..350): the design's frequency
// column is laid over the axis on a copy, so the design itself is left as it is. Empty
// when a stage cannot be evaluated.
std::vector<TemperatureEffectPoint> TemperatureEffectOver(const TDesign& d, const FrequencyAxis& axis);

// The graph of the points: x from the axis (log or linear, in its unit), the attenuation
// axis ranged to hold both curves, the title naming the temperature rise ("design + 40 deg C").
CurveGraph TemperatureEffectGraph(const std::vector<TemperatureEffectPoint>& points,
                                  const FrequencyAxis& axis, long double riseDegC);

// Paints that graph over the whole surface.
void PaintTemperatureEffectGraph(DrawingSurface& surface, const std::vector<TemperatureEffectPoint>& points,
                                 const FrequencyAxis& axis, long double riseDegC);

} // namespace velmora
