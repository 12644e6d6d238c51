// The axes of the response graphs: their ranges and ticks, the plot area inside a
// picture, the mapping between picture positions and values, and zooming with a
// history of the axes zoomed from.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "analysis/frequency_response.h"
#include "analysis/time_response.h"
#include "model/design.h"

namespace velmora {

// A linear range with a tick spacing.
struct AxisRange {
    long double Min = 0, Max = 1, Tick = 0.1L;
    bool operator==(const AxisRange&) const = default;
};

// The tick spacing from the 1, 2, 5 sequence that divides `span` into at most
// `maxTicks` steps.
long double NiceTick(long double span, int maxTicks = 10);

// lo..hi widened outward to whole ticks of a 1, 2, 5 step (a flat range is widened
// around its value).
AxisRange NiceRange(long double lo, long double hi, int maxTicks = 10);

// A range in units of 10^Exp.
struct ScaledRange {
    int16_t Exp = 0;
    AxisRange Range;
};

// Brings a positive value into (1, 10] by a power of ten; returns the exponent.
int16_t DecimalExponent(long double value);

// Delay axis from the largest delay: the largest delay scaled into (1, 10] by 10^Exp,
// then 0 .. 2, 5 or 10 with ticks 0.2, 0.5, 1 (a scaled maximum of 1 gives 0..1 by 0.1).
ScaledRange DelayAxisFor(long double largestDelay);

// Impulse axis: scaled by the power of ten that brings the largest magnitude into
// (1, 10], then ranged outward with ticks of 0.1, 0.2, 0.5 or 1 of those units.
ScaledRange ImpulseAxisFor(long double lo, long double hi);

// Phase axis of the shown angle -Phi from the extremes of the lag Phi: each rounded
// outward to a whole multiple of 180 degrees.
AxisRange PhaseAxisFor(long double minLag, long double maxLag);

// Gain axes from the largest gain shown: in dB from a whole 10 dB above it down
// 50 dB (about -40 dB for a unit-gain filter), in V/V from 0 to a 1, 2, 5 step above it.
AxisRange GainDbAxisFor(long double maxDb);
AxisRange GainVVAxisFor(long double maxVV);

// Everything the response graphs need to know about their axes.
struct ResponseAxes {
    FrequencyAxis Freq;
    bool GainInDb = true;
    AxisRange GainDb;           // dB
    AxisRange GainVV;           // V/V
    bool PhaseInDegrees = true; // else radians (the range is kept in degrees)
    AxisRange Phase;            // the shown angle -Phi, degrees
    int16_t DelayExp = 0;
    AxisRange Delay; // units of 10^DelayExp s
    TimeAxis Time;
    AxisRange Step; // volts
    int16_t ImpulseExp = 0;
    AxisRange Impulse; // units of 10^ImpulseExp V/s
    bool Grid = true;
    bool Marker3dB = false;
};

// The default axes of a design: frequency and time axes from the design, the axis
// kinds and grid from its options; the value ranges start at 0..1 until ranged.
ResponseAxes DefaultResponseAxes(const TDesign& d);

// Ranges the gain axes over the gain samples of `approximations` (points at the -200
// and -400 dB marks do not count).
void RangeGainAxes(const TDesign& d, const std::vector<int>& approximations, ResponseAxes& axes);

// Ranges the phase, delay, step and impulse axes over the samples of `approximations`.
void RangeResponseAxes(const TDesign& d, const std::vector<int>& approximations, ResponseAxes& axes);
// The same for the phase and delay axes only (after the frequency column changed), and
// for the step and impulse axes only (after the time column changed).
void RangeFrequencyResponseAxes(const TDesign& d, const std::vector<int>& approximations, ResponseAxes& axes);
void RangeTimeResponseAxes(const TDesign& d, const std::vector<int>& approximations, ResponseAxes& axes);

// ---- The command line's data axis ------------------------------------------------------

// The specified band edges of a lowpass, highpass, bandpass or bandstop (rad/s,
// ascending); none for a user-defined filter.
std::vector<long double> SpecifiedEdges(const Specification& s);

// Limits a person asks for, in Hz whatever the design's display unit; either may be left
// to the axis.
struct FrequencyLimits {
    std::optional<long double> MinHz, MaxHz;
};

// The frequency axis of the command line's plots, response data and SPICE sweep. The
// graph window's default axis (DefaultFrequencyAxis) is centred on the passband edge or
// the centre frequency and can leave a specified edge outside, or on its very limit: a
// lowpass whose stopband edge lies more than ten times above the passband edge, a wide
// bandpass (300 to 3400 Hz about 1010 Hz on 505..2020 Hz). This axis is that default,
// widened where needed so that every specified edge lies at least a fifth inside each
// limit (a factor of 1.2); a widened lower limit is rounded down, a widened upper limit up, to one
// significant digit. Limits given in `limits` replace the axis's own (converted to the
// display unit). Axis kind and unit as the default's.
FrequencyAxis DataFrequencyAxis(const TDesign& d, const FrequencyLimits& limits = {});

// ---- Plot area and mapping ----------------------------------------------------------

// The plot area of a picture W x H: x from 0.18 W to 0.92 W, y from 0.1 H to 0.8 H.
struct PlotArea {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Contains(double x, double y) const { return x >= Left && x <= Right && y >= Top && y <= Bottom; }
    double Width() const { return Right - Left; }
    double Height() const { return Bottom - Top; }
};
PlotArea PlotAreaOf(double width, double height);

// Abscissa <-> frequency in the axis unit (linear in log10 f on a logarithmic axis).
double XOfFrequency(const FrequencyAxis& axis, const PlotArea& area, long double f);
long double FrequencyAtX(const FrequencyAxis& axis, const PlotArea& area, double x);
// Abscissa <-> time in the axis's units of 10^Exp s.
double XOfTime(const TimeAxis& axis, const PlotArea& area, long double units);
long double TimeAtX(const TimeAxis& axis, const PlotArea& area, double x);
// Ordinate <-> value of a linear range (Max at the top).
double YOfValue(const AxisRange& range, const PlotArea& area, long double v);
long double ValueAtY(const AxisRange& range, const PlotArea& area, double y);

// ---- Zoom -----------------------------------------------------------------------------

// What a zoom changes and an unzoom restores.
struct ZoomState {
    long double FreqMin = 0, FreqMax = 0;
    AxisRange GainDb, GainVV;
    bool operator==(const ZoomState&) const = default;
};
ZoomState ZoomStateOf(const ResponseAxes& axes);
void RestoreZoomState(ResponseAxes& axes, const ZoomState& state);

// The axes zoomed from, most recent last. Holds at most kMaxZoomDepth states; a
// deeper zoom drops the oldest.
class ZoomHistory {
  public:
    static constexpr int kMaxZoomDepth = 50;
    void Push(const ZoomState& s);
    // The most recent state, removed; false when the history is empty.
    bool Pop(ZoomState& s);
    int16_t Depth() const { return static_cast<int16_t>(states_.size()); }
    bool Empty() const { return states_.empty(); }
    void Clear() { states_.clear(); }

  private:
    std::deque<ZoomState> states_;
};

enum class ZoomStatus {
    Zoomed,
    WrongWay,  // not drawn from upper left to lower right
    TooNarrow, // a span below a millionth of its limits
};

// Sets the frequency limits to the abscissae of x1 and x2 and the gain limits to the
// ordinates of y2 and y1, in the unit of the gain axis; the dB and V/V ranges follow
// each other (V/V of 0 or below is the -400 dB floor). A rectangle not drawn from upper
// left to lower right (x2 - x1 < 1 or y2 - y1 < 1) or one that would narrow an axis
// below a millionth of its limits changes nothing.
ZoomStatus ZoomToRectangle(ResponseAxes& axes, const PlotArea& area, double x1, double y1, double x2,
                           double y2);

} // namespace velmora
