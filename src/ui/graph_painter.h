// The graph painter: draws one tab of the ideal responses (gain, phase, group delay,
// step, impulse, pole-zero) of a design into the plot area of a picture on any
// DrawingSurface, with axes, ticks, captions, optional grid and 3 dB marker, one
// colour per approximation and a legend.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analysis/graph_axes.h"
#include "model/design.h"
#include "ui/drawing_surface.h"

namespace velmora {

enum class GraphTab : int { Gain = 0, Phase, Delay, Step, Impulse, PoleZero };
inline constexpr int kGraphTabCount = 6;

// Tab captions of the ideal response window, in tab order.
inline constexpr std::array<const char*, kGraphTabCount> kGraphTabCaptions = {
    "  Gain  ", "  Phase  ", "  Grp. Delay  ", "  Step  ", "  Impulse  ", "  Pole-zero"};
// Short names of the tabs, for file names.
inline constexpr std::array<const char*, kGraphTabCount> kGraphTabNames = {"gain", "phase",   "delay",
                                                                           "step", "impulse", "pole_zero"};

inline bool IsFrequencyTab(GraphTab t) {
    return t == GraphTab::Gain || t == GraphTab::Phase || t == GraphTab::Delay;
}
inline bool IsTimeTab(GraphTab t) {
    return t == GraphTab::Step || t == GraphTab::Impulse;
}

// The curve colour of approximation 0..4.
Color ApproximationColor(int index);

// Legend text of an approximation: its name and its order ("Elliptic  (Cauer)  N = 3").
std::string ApproximationLegend(const TDesign& d, int index);

// Axis captions of a tab for the given axes.
std::string XAxisCaption(GraphTab tab, const ResponseAxes& axes);
std::string YAxisCaption(GraphTab tab, const ResponseAxes& axes);

struct GraphView {
    GraphTab Tab = GraphTab::Gain;
    ResponseAxes Axes;
    std::vector<int> Approximations; // the curves, in legend order
};

// Paints the whole picture (Width() x Height() of the surface).
void PaintResponseGraph(DrawingSurface& surface, const TDesign& d, const GraphView& view);

} // namespace velmora
