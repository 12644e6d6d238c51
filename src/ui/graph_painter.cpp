#include "ui/graph_painter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "analysis/ideal_filter.h"
#include "approx/approximation.h"
#include "model/number_text.h"

namespace velmora {

namespace {

constexpr long double kPi = 3.14159265358979323846264338327950288L;
constexpr const char* kFont = "Arial";

// One tick of an axis: its position in pixels, its label (empty for a minor tick).
struct Tick {
    double Pos;
    std::string Label;
};

// ---- Number labels --------------------------------------------------------------------

// A value with the decimals its tick spacing needs: ticks of 0.2 give one decimal.
std::string TickLabel(long double v, long double tick) {
    if (std::fabs(v) < std::fabs(tick) * 1e-6L) return "0";
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(std::fabs(tick)) - 1e-9L)), 0, 8);
    return FixedText(v, decimals);
}

// A value with an SI prefix (k, M, G) when it is large: 1500 -> "1.5k".
std::string PrefixedLabel(long double v) {
    const long double a = std::fabs(v);
    if (a < 1e-30L) return "0";
    if (a >= 1e9L) return TrimmedText(v / 1e9L, 3) + "G";
    if (a >= 1e6L) return TrimmedText(v / 1e6L, 3) + "M";
    if (a >= 1e3L) return TrimmedText(v / 1e3L, 3) + "k";
    if (a >= 1) return TrimmedText(v, 3);
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(a))) + 2, 0, 12);
    return TrimmedText(v, decimals);
}

// ---- Ticks of the axes ------------------------------------------------------------------

// Multiples of `tick` within lo..hi placed by `pos`.
template <typename Pos, typename Label>
std::vector<Tick> LinearTicks(long double lo, long double hi, long double tick, Pos pos, Label label) {
    std::vector<Tick> ticks;
    if (!(tick > 0) || !(hi > lo)) return ticks;
    if ((hi - lo) / tick > 40) tick = NiceTick(hi - lo, 10); // a zoomed range with its old tick
    const long double first = std::ceil(lo / tick - 1e-9L);
    for (long double k = first; k * tick <= hi + tick * 1e-9L; ++k) {
        long double v = k * tick;
        if (std::fabs(v) < tick * 1e-9L) v = 0;
        ticks.push_back({pos(v), label(v, tick)});
    }
    return ticks;
}

std::vector<Tick> FrequencyTicks(const FrequencyAxis& axis, const PlotArea& area) {
    auto pos = [&](long double f) { return XOfFrequency(axis, area, f); };
    if (!axis.Log || !(axis.Min > 0))
        return LinearTicks(axis.Min, axis.Max, NiceTick(axis.Max - axis.Min, 8), pos,
                           [](long double v, long double) { return PrefixedLabel(v); });
    const long double decades = std::log10(axis.Max / axis.Min);
    if (decades < 0.7L) // less than a decade (a zoomed axis): evenly spaced values
        return LinearTicks(axis.Min, axis.Max, NiceTick(axis.Max - axis.Min, 6), pos,
                           [](long double v, long double) { return PrefixedLabel(v); });
    std::vector<Tick> ticks;
    const int first = static_cast<int>(std::floor(std::log10(axis.Min)));
    const int last = static_cast<int>(std::ceil(std::log10(axis.Max)));
    for (int e = first; e <= last; ++e) {
        const long double decade = std::pow(10.0L, static_cast<long double>(e));
        for (int m = 1; m <= 9; ++m) {
            const long double f = m * decade;
            if (f < axis.Min * (1 - 1e-9L) || f > axis.Max * (1 + 1e-9L)) continue;
            const bool labelled = m == 1 || (decades < 2.5L && (m == 2 || m == 5));
            ticks.push_back({pos(f), labelled ? PrefixedLabel(f) : std::string()});
        }
    }
    return ticks;
}

std::vector<Tick> ValueTicks(const AxisRange& r, const PlotArea& area) {
    return LinearTicks(
        r.Min, r.Max, r.Tick, [&](long double v) { return YOfValue(r, area, v); }, TickLabel);
}

// ---- Captions ------------------------------------------------------------------------------

std::string Exponent(int e) {
    return std::to_string(e);
}

} // namespace

Color ApproximationColor(int index) {
    static constexpr std::array<Color, kApproxCount> kColors = {
        Color{31, 119, 180},  // Butterworth: blue
        Color{214, 39, 40},   // Chebyshev: red
        Color{44, 160, 44},   // Inverse Chebyshev: green
        Color{148, 103, 189}, // Elliptic: purple
        Color{230, 127, 14},  // Bessel: orange
    };
    return index >= 0 && index < kApproxCount ? kColors[index] : colors::Black;
}

std::string ApproximationLegend(const TDesign& d, int index) {
    if (index < 0 || index >= kApproxCount) return "";
    const std::string name = d.Spec.FilterType == UserDefined ? "User defined" : kApproxNames[index];
    return name + "  N = " + std::to_string(d.Approx[index].Result.Order);
}

std::string XAxisCaption(GraphTab tab, const ResponseAxes& axes) {
    if (IsTimeTab(tab)) return "Time (X1e" + Exponent(axes.Time.Exp) + " s)";
    if (tab == GraphTab::PoleZero) return "Re[s]";
    return axes.Freq.Hz ? "Frequency  (Hz)" : "Frequency  (rad/s)";
}

std::string YAxisCaption(GraphTab tab, const ResponseAxes& axes) {
    switch (tab) {
    case GraphTab::Gain:
        return axes.GainInDb ? "Gain  (dB)" : "Gain  (Vo/Vin)";
    case GraphTab::Phase:
        return axes.PhaseInDegrees ? "Phase (degrees)" : "Phase (radians)";
    case GraphTab::Delay:
        return "Delay (X1e" + Exponent(axes.DelayExp) + " s)";
    case GraphTab::Step:
        return "Step Response (volts)";
    case GraphTab::Impulse:
        return "Impulse Response (X1e" + Exponent(axes.ImpulseExp) + " volts)";
    case GraphTab::PoleZero:
        return "Im[s]";
    }
    return "";
}

namespace {

const char* Title(GraphTab tab) {
    switch (tab) {
    case GraphTab::Gain:
        return "Magnitude response";
    case GraphTab::Phase:
        return "Phase response";
    case GraphTab::Delay:
        return "Group delay";
    case GraphTab::Step:
        return "Step response";
    case GraphTab::Impulse:
        return "Impulse response";
    case GraphTab::PoleZero:
        return "Poles and zeros";
    }
    return "";
}

// Layout measures that follow the picture size.
struct Layout {
    PlotArea Area;
    double FontSize;
    double LineHeight;
};

Layout LayoutOf(DrawingSurface& s) {
    Layout l;
    l.Area = PlotAreaOf(s.Width(), s.Height());
    l.FontSize = std::clamp(s.Height() / 46.0, 8.0, 18.0);
    s.SetFont(kFont, l.FontSize);
    l.LineHeight = s.TextHeight("Hg");
    return l;
}

// Keeps a curve's ordinate near the plot area: far-off values (the -400 dB floor)
// are clipped anyway, and the picture's numbers stay small.
double ClampY(double y, const PlotArea& a) {
    return std::clamp(y, a.Top - a.Height(), a.Bottom + a.Height());
}

void DrawAxes(DrawingSurface& s, const Layout& l, const std::vector<Tick>& xTicks,
              const std::vector<Tick>& yTicks, bool grid) {
    const PlotArea& a = l.Area;
    if (grid) {
        s.SetPen(colors::Grid, 1);
        for (const auto& t : xTicks)
            if (t.Pos > a.Left + 0.5 && t.Pos < a.Right - 0.5) s.Line(t.Pos, a.Top, t.Pos, a.Bottom);
        for (const auto& t : yTicks)
            if (t.Pos > a.Top + 0.5 && t.Pos < a.Bottom - 0.5) s.Line(a.Left, t.Pos, a.Right, t.Pos);
    }
    s.SetPen(colors::Frame, 1);
    s.Rectangle(a.Left, a.Top, a.Right, a.Bottom);
    s.SetFont(kFont, l.FontSize);
    s.SetTextColor(colors::Text);
    const double major = std::max(4.0, l.FontSize * 0.45), minor = major * 0.6;
    double lastRight = -1e30;
    for (const auto& t : xTicks) {
        const double len = t.Label.empty() ? minor : major;
        s.Line(t.Pos, a.Bottom, t.Pos, a.Bottom - len);
        s.Line(t.Pos, a.Top, t.Pos, a.Top + len);
        if (t.Label.empty()) continue;
        const double w = s.TextWidth(t.Label);
        const double x = t.Pos - w / 2;
        if (x < lastRight + l.FontSize * 0.5) continue; // would run into the previous label
        s.TextOut(x, a.Bottom + l.LineHeight * 0.3, t.Label);
        lastRight = x + w;
    }
    for (const auto& t : yTicks) {
        s.Line(a.Left, t.Pos, a.Left + major, t.Pos);
        s.Line(a.Right, t.Pos, a.Right - major, t.Pos);
        if (t.Label.empty()) continue;
        s.TextOut(a.Left - major - s.TextWidth(t.Label), t.Pos - l.LineHeight / 2, t.Label);
    }
}

void DrawCaptions(DrawingSurface& s, const Layout& l, const std::string& title, const std::string& xCaption,
                  const std::string& yCaption) {
    const PlotArea& a = l.Area;
    s.SetTextColor(colors::Text);
    s.SetFont(kFont, l.FontSize * 1.25, FontBold);
    s.TextOut((s.Width() - s.TextWidth(title)) / 2, l.LineHeight * 0.2, title);
    s.SetFont(kFont, l.FontSize);
    s.TextOut(a.Left + (a.Width() - s.TextWidth(xCaption)) / 2, a.Bottom + l.LineHeight * 1.5, xCaption);
    s.TextOut(std::max(2.0, a.Left - s.TextWidth(yCaption) / 2), a.Top - l.LineHeight * 1.4, yCaption);
}

// The legend as a grid of equal columns below the axis caption, so that entries line
// up and a viewer whose font runs a little wider than the measured one does not run
// one entry into the next.
struct LegendEntry {
    std::string Text;
    Color Colour;
    PenStyle Style = PenStyle::Solid;
};

void DrawLegend(DrawingSurface& s, const Layout& l, const std::vector<LegendEntry>& list) {
    if (list.empty()) return;
    s.SetFont(kFont, l.FontSize);
    const double sample = l.FontSize * 2.2, space = l.FontSize * 0.5;
    double widest = 0;
    for (const LegendEntry& e : list)
        widest = std::max(widest, s.TextWidth(e.Text));
    const double column = sample + space + 1.15 * widest + l.FontSize * 1.5;
    const double left = l.Area.Left;
    const int columns = std::max(1, static_cast<int>((s.Width() - left - 4) / column));
    for (size_t k = 0; k < list.size(); ++k) {
        const double x = left + static_cast<double>(k % columns) * column;
        const double y = l.Area.Bottom + l.LineHeight * (3.0 + 1.2 * static_cast<double>(k / columns));
        s.SetPen(list[k].Colour, 2.5, list[k].Style);
        s.Line(x, y + l.LineHeight / 2, x + sample, y + l.LineHeight / 2);
        s.SetTextColor(colors::Text);
        s.TextOut(x + sample + space, y, list[k].Text);
    }
}

void DrawLegend(DrawingSurface& s, const Layout& l, const TDesign& d, const std::vector<int>& list) {
    std::vector<LegendEntry> entries;
    for (int a : list)
        entries.push_back({ApproximationLegend(d, a), ApproximationColor(a)});
    DrawLegend(s, l, entries);
}

// The plot-area rectangle of a mask region, clipped to the plot (nothing when the region
// lies outside it).
std::optional<std::array<double, 4>> MaskBox(const MaskRegion& m, const FrequencyAxis& freq,
                                             const AxisRange& range, const PlotArea& a) {
    auto y = [&](long double v) {
        if (v == std::numeric_limits<long double>::infinity()) return a.Top;
        if (v == -std::numeric_limits<long double>::infinity()) return a.Bottom;
        return std::clamp(YOfValue(range, a, v), a.Top, a.Bottom);
    };
    const double x1 = std::clamp(XOfFrequency(freq, a, m.X1), a.Left, a.Right);
    const double x2 = std::clamp(XOfFrequency(freq, a, m.X2), a.Left, a.Right);
    const double top = y(m.Hi), bottom = y(m.Lo);
    if (!(x2 > x1) || !(bottom > top)) return std::nullopt;
    return std::array<double, 4>{x1, top, x2, bottom};
}

// The forbidden regions shaded, to be drawn before the grid so that its lines show.
void ShadeMask(DrawingSurface& s, const PlotArea& a, const FrequencyAxis& freq, const AxisRange& range,
               const std::vector<MaskRegion>& mask) {
    s.SetBrush(kMaskShade);
    for (const MaskRegion& m : mask)
        if (auto b = MaskBox(m, freq, range, a)) s.FillRect((*b)[0], (*b)[1], (*b)[2], (*b)[3]);
}

// The limit of each region, where a response may reach but not cross: the lower edge of a
// region above the allowed gain, the upper edge of one below it.
void DrawMaskLimits(DrawingSurface& s, const PlotArea& a, const FrequencyAxis& freq, const AxisRange& range,
                    const std::vector<MaskRegion>& mask) {
    s.SetPen(kMaskLine, 1.4);
    for (const MaskRegion& m : mask) {
        const auto b = MaskBox(m, freq, range, a);
        if (!b) continue;
        if (std::isfinite(m.Lo) && (*b)[3] < a.Bottom) s.Line((*b)[0], (*b)[3], (*b)[2], (*b)[3]);
        if (std::isfinite(m.Hi) && (*b)[1] > a.Top) s.Line((*b)[0], (*b)[1], (*b)[2], (*b)[1]);
    }
}

void DrawNote(DrawingSurface& s, const Layout& l, const std::string& note) {
    s.SetFont(kFont, l.FontSize * 0.9, FontItalic);
    s.SetTextColor(colors::Frame);
    s.TextOut(l.Area.Right - s.TextWidth(note), l.Area.Top - l.LineHeight * 1.4, note);
}

// The value a curve shows at point i of approximation a on a tab.
long double CurveValue(const TDesign& d, const ResponseAxes& axes, GraphTab tab, int a, int i) {
    const IdealSample& s = d.Approx[a].Ideal[i];
    switch (tab) {
    case GraphTab::Gain:
        if (d.Approx[a].NotchMark[static_cast<std::size_t>(i)]) return axes.GainInDb ? kNotchDb : 0.0L;
        return axes.GainInDb ? s.GainDb.value() : s.GainVV.value();
    case GraphTab::Phase:
        return -s.Phase.value();
    case GraphTab::Delay:
        return s.Delay / std::pow(10.0L, static_cast<long double>(axes.DelayExp));
    case GraphTab::Step:
        return s.Step.value();
    case GraphTab::Impulse:
        return s.Impulse / std::pow(10.0L, static_cast<long double>(axes.ImpulseExp));
    default:
        return 0;
    }
}

const AxisRange& ValueRange(const ResponseAxes& axes, GraphTab tab) {
    switch (tab) {
    case GraphTab::Gain:
        return axes.GainInDb ? axes.GainDb : axes.GainVV;
    case GraphTab::Phase:
        return axes.Phase;
    case GraphTab::Delay:
        return axes.Delay;
    case GraphTab::Step:
        return axes.Step;
    default:
        return axes.Impulse;
    }
}

void PaintCurves(DrawingSurface& s, const Layout& l, const TDesign& d, const GraphView& v) {
    const PlotArea& a = l.Area;
    const AxisRange& range = ValueRange(v.Axes, v.Tab);
    s.SetClip(a.Left, a.Top, a.Right, a.Bottom);
    for (int ap : v.Approximations) {
        std::vector<PointD> pts;
        for (int i = 0; i <= kResponseIntervals; ++i) {
            double x;
            if (IsTimeTab(v.Tab)) {
                const long double units =
                    v.Axes.Time.Start + (v.Axes.Time.FullScale - v.Axes.Time.Start) * i / kResponseIntervals;
                x = XOfTime(v.Axes.Time, a, units);
            } else {
                const FrequencyPoint& p = d.FreqColumn[i];
                x = XOfFrequency(v.Axes.Freq, a, v.Axes.Freq.Hz ? p.F.value() : p.W.value());
            }
            pts.push_back({x, ClampY(YOfValue(range, a, CurveValue(d, v.Axes, v.Tab, ap, i)), a)});
        }
        s.SetPen(ApproximationColor(ap), 1.8);
        s.Polyline(pts);
    }
    if (v.Tab == GraphTab::Gain && v.Axes.Marker3dB) {
        const long double level =
            v.Axes.GainInDb ? d.Spec.HalfPowerGainDb.value() : d.Spec.HalfPowerGain.value();
        const double y = YOfValue(range, a, level);
        s.SetPen(colors::Marker, 1.2, PenStyle::Dash);
        s.Line(a.Left, y, a.Right, y);
        s.SetFont(kFont, l.FontSize * 0.9);
        s.SetTextColor(colors::Marker);
        s.TextOut(a.Right - s.TextWidth("-3 dB") - 4, y - l.LineHeight, "-3 dB");
    }
    s.ClearClip();
}

// ---- Pole-zero plot --------------------------------------------------------------------

void PaintPoleZero(DrawingSurface& s, const Layout& l, const TDesign& d, const GraphView& v) {
    const PlotArea& a = l.Area;
    std::vector<std::pair<int, PoleZeroSet>> sets;
    long double reach = 0; // the largest distance of a pole or zero from the axes
    long double maxRe = 0, maxIm = 0;
    for (int ap : v.Approximations) {
        PoleZeroSet pz = PolesAndZeros(IdealFilterOf(d, ap));
        for (const auto& p : pz.Poles) {
            maxRe = std::max(maxRe, std::fabs(p.real()));
            maxIm = std::max(maxIm, std::fabs(p.imag()));
        }
        for (const auto& z : pz.Zeros) {
            maxRe = std::max(maxRe, std::fabs(z.real()));
            maxIm = std::max(maxIm, std::fabs(z.imag()));
        }
        sets.emplace_back(ap, std::move(pz));
    }
    reach = std::max(maxRe, maxIm);
    if (!(reach > 0)) reach = 1;
    // Equal scales on both axes, so that a circle of poles looks like one. The real
    // axis needs -1.1 max|Re| .. a tenth of the reach to the right of the imaginary
    // axis, the imaginary axis +-1.1 max|Im|; the longer need sets the scale and the
    // other axis is centred on what it needs.
    const long double xLo = -1.1L * maxRe, xHi = 0.1L * reach;
    const long double perPixel =
        std::max({(xHi - xLo) / a.Width(), 2.2L * maxIm / a.Height(), reach * 1e-6L / a.Width()});
    const long double xSpan = perPixel * a.Width(), ySpan = perPixel * a.Height();
    const long double xMid = (xLo + xHi) / 2;
    const AxisRange re{xMid - xSpan / 2, xMid + xSpan / 2, 0};
    const AxisRange im{-ySpan / 2, ySpan / 2, 0};
    auto xOf = [&](long double r) {
        return a.Left + static_cast<double>((r - re.Min) / (re.Max - re.Min)) * a.Width();
    };
    auto yOf = [&](long double i) { return YOfValue(im, a, i); };

    auto label = [](long double v, long double) { return PrefixedLabel(v); };
    const std::vector<Tick> xTicks = LinearTicks(re.Min, re.Max, NiceTick(re.Max - re.Min, 8), xOf, label);
    const std::vector<Tick> yTicks = LinearTicks(im.Min, im.Max, NiceTick(im.Max - im.Min, 8), yOf, label);
    DrawAxes(s, l, xTicks, yTicks, v.Axes.Grid);

    s.SetClip(a.Left, a.Top, a.Right, a.Bottom);
    s.SetPen(colors::Frame, 1, PenStyle::Dot);
    s.Line(xOf(0), a.Top, xOf(0), a.Bottom);
    s.Line(a.Left, yOf(0), a.Right, yOf(0));
    const double r = std::max(3.5, l.FontSize * 0.4);
    s.SetFont(kFont, l.FontSize * 0.85);
    for (size_t k = 0; k < sets.size(); ++k) {
        const auto& [ap, pz] = sets[k];
        s.SetPen(ApproximationColor(ap), 1.8);
        for (const auto& p : pz.Poles) {
            const double x = xOf(p.real()), y = yOf(p.imag());
            s.Line(x - r, y - r, x + r, y + r);
            s.Line(x - r, y + r, x + r, y - r);
        }
        // Zeros as circles; coinciding zeros (at the origin) once, with their count.
        std::vector<std::pair<Complex, int>> zeros;
        for (const auto& z : pz.Zeros) {
            auto same = std::find_if(zeros.begin(), zeros.end(), [&](const auto& e) {
                return std::abs(e.first - z) <= 1e-9L * std::max(std::abs(z), 1.0L);
            });
            if (same != zeros.end())
                ++same->second;
            else
                zeros.emplace_back(z, 1);
        }
        for (const auto& [z, count] : zeros) {
            const double x = xOf(z.real()), y = yOf(z.imag());
            s.Ellipse(x - r, y - r, x + r, y + r);
            if (count > 1) {
                s.SetTextColor(ApproximationColor(ap));
                // Counts of several approximations at one place stand side by side.
                const double shift = static_cast<double>(k) * l.FontSize * 0.9;
                s.TextOut(x + r + 1 + shift, y - r - l.LineHeight * 0.8, std::to_string(count));
            }
        }
    }
    s.ClearClip();
}

bool HasDiracImpulse(const TDesign& d, const std::vector<int>& list) {
    for (int a : list) {
        const IdealFilter f = IdealFilterOf(d, a);
        if (f.ZeroCount() >= f.PoleCount()) return true;
    }
    return false;
}

} // namespace

void PaintResponseGraph(DrawingSurface& s, const TDesign& d, const GraphView& v) {
    s.SetBrush(colors::White);
    s.FillRect(0, 0, s.Width(), s.Height());
    const Layout l = LayoutOf(s);
    const PlotArea& a = l.Area;

    if (v.Tab == GraphTab::PoleZero) {
        PaintPoleZero(s, l, d, v);
    } else {
        std::vector<Tick> xTicks;
        if (IsTimeTab(v.Tab)) {
            const TimeAxis& t = v.Axes.Time;
            xTicks = LinearTicks(
                t.Start, t.FullScale, t.Tick, [&](long double u) { return XOfTime(t, a, u); }, TickLabel);
        } else {
            xTicks = FrequencyTicks(v.Axes.Freq, a);
        }
        const AxisRange& range = ValueRange(v.Axes, v.Tab);
        std::vector<Tick> yTicks;
        if (v.Tab == GraphTab::Phase && !v.Axes.PhaseInDegrees) {
            yTicks = LinearTicks(
                range.Min, range.Max, range.Tick, [&](long double deg) { return YOfValue(range, a, deg); },
                [](long double deg, long double) { return FixedText(deg * kPi / 180, 2); });
        } else {
            yTicks = ValueTicks(range, a);
        }
        const bool mask = v.Tab == GraphTab::Gain && !v.Mask.empty();
        if (mask) ShadeMask(s, a, v.Axes.Freq, range, v.Mask);
        DrawAxes(s, l, xTicks, yTicks, v.Axes.Grid);
        if (mask) DrawMaskLimits(s, a, v.Axes.Freq, range, v.Mask);
        PaintCurves(s, l, d, v);
    }
    DrawCaptions(s, l, Title(v.Tab), XAxisCaption(v.Tab, v.Axes), YAxisCaption(v.Tab, v.Axes));
    DrawLegend(s, l, d, v.Approximations);
    if (v.Tab == GraphTab::Impulse && HasDiracImpulse(d, v.Approximations))
        DrawNote(s, l, "The impulse at t = 0 is not drawn");
    if (v.Approximations.empty()) {
        s.SetFont(kFont, l.FontSize);
        s.SetTextColor(colors::Frame);
        const std::string text = "No approximation to show";
        s.TextOut(a.Left + (a.Width() - s.TextWidth(text)) / 2, a.Top + a.Height() / 2, text);
    }
}

// A band shaded column by column: between two samples the bounds are interpolated
// linearly in screen space over slices of at most two pixels, so the shade follows the
// curves as closely as the polylines drawn over it.
void ShadeBand(DrawingSurface& s, const PlotArea& a, const FrequencyAxis& freq, const AxisRange& range,
               const CurveBand& b) {
    s.SetBrush(b.Shade);
    for (std::size_t k = 1; k < b.Points.size(); ++k) {
        const CurveBand::Point &p = b.Points[k - 1], &q = b.Points[k];
        const double x1 = XOfFrequency(freq, a, p.X), x2 = XOfFrequency(freq, a, q.X);
        if (!(x2 > x1) || x2 < a.Left || x1 > a.Right) continue;
        const double top1 = ClampY(YOfValue(range, a, p.Hi), a), top2 = ClampY(YOfValue(range, a, q.Hi), a);
        const double bot1 = ClampY(YOfValue(range, a, p.Lo), a), bot2 = ClampY(YOfValue(range, a, q.Lo), a);
        const int slices = std::max(1, static_cast<int>(std::ceil((x2 - x1) / 2.0)));
        for (int i = 0; i < slices; ++i) {
            const double t = (i + 0.5) / slices;
            const double xa = x1 + (x2 - x1) * i / slices, xb = x1 + (x2 - x1) * (i + 1) / slices;
            const double top = top1 + (top2 - top1) * t, bottom = bot1 + (bot2 - bot1) * t;
            s.FillRect(xa, top, xb, std::max(bottom, top + 1.0));
        }
    }
}

void PaintCurveGraph(DrawingSurface& s, const CurveGraph& g) {
    s.SetBrush(colors::White);
    s.FillRect(0, 0, s.Width(), s.Height());
    const Layout l = LayoutOf(s);
    const PlotArea& a = l.Area;
    ShadeMask(s, a, g.Freq, g.Value, g.Mask);
    std::vector<LegendEntry> legend;
    if (!g.Bands.empty()) {
        s.SetClip(a.Left, a.Top, a.Right, a.Bottom);
        for (const CurveBand& b : g.Bands) {
            ShadeBand(s, a, g.Freq, g.Value, b);
            legend.push_back({b.Legend, b.Shade, PenStyle::Solid});
        }
        s.ClearClip();
    }
    DrawAxes(s, l, FrequencyTicks(g.Freq, a), ValueTicks(g.Value, a), g.Grid);
    DrawMaskLimits(s, a, g.Freq, g.Value, g.Mask);
    s.SetClip(a.Left, a.Top, a.Right, a.Bottom);
    for (const Curve& c : g.Curves) {
        std::vector<PointD> pts;
        for (const CurvePoint& p : c.Points)
            pts.push_back({XOfFrequency(g.Freq, a, p.X), ClampY(YOfValue(g.Value, a, p.Y), a)});
        s.SetPen(c.Colour, 1.8, c.Style);
        if (pts.size() > 1) s.Polyline(pts);
        legend.push_back({c.Legend, c.Colour, c.Style});
    }
    s.ClearClip();
    DrawCaptions(s, l, g.Title, g.XCaption, g.YCaption);
    DrawLegend(s, l, legend);
}

} // namespace velmora
