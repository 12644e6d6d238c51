// Ideal frequency responses: the frequency column shared by all ideal curves and the
// gain, phase lag and group delay of an approximation over it.
//
// Frequencies on an axis are in the display unit (Hz when the axis is in Hz, else
// rad/s); every evaluation takes the angular frequency w in rad/s.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/ideal_filter.h"
#include "model/design.h"

namespace velmora {

// The gain shown for a magnitude too small to take a logarithm of.
inline constexpr long double kGainFloorDb = -400.0L;
inline constexpr long double kGainFloorVV = 1.0e-20L;
// The gain the graph draws at the column point nearest to a notch, so that it shows as a
// deep dip; the sample itself keeps the true gain, which data outputs report.
inline constexpr long double kNotchDb = -200.0L;

struct FrequencyAxis {
    long double Min = 0, Max = 0; // display unit
    bool Log = true;              // logarithmic, else linear
    bool Hz = true;               // display unit Hz, else rad/s
    // Decimal exponent of the default lower limit: the axis configuration offers the
    // decades 10^(Decade-2) .. 10^(Decade+3).
    int16_t Decade = 0;
};

// The default axis of a design: a tenth to ten times the passband edge (lowpass,
// highpass), half to twice the centre frequency (bandpass, bandstop), or a tenth of the
// lowest to ten times the highest section frequency (user-defined filters), in the
// display unit; the lower limit rounded down to one significant digit. Rounding down
// keeps the whole band on the axis (a bandpass at 3 kHz starts at 1 kHz, not 2 kHz).
// Axis kind and unit come from the design's options.
FrequencyAxis DefaultFrequencyAxis(const TDesign& d);

// An axis that can be evaluated: a logarithmic axis never has a limit of 0 or below
// (a lower limit <= 0 becomes five decades below the upper one), and the upper limit
// lies above the lower one.
FrequencyAxis UsableFrequencyAxis(const FrequencyAxis& axis);

// Abscissa of point i of n intervals: x_min * 10^((log10 x_max - log10 x_min) i / n) on
// a logarithmic axis, x_min + (x_max - x_min) i / n on a linear one.
long double AxisFrequency(const FrequencyAxis& axis, int i, int n = kResponseIntervals);

// Angular frequency of an abscissa in the axis unit.
inline long double ToRadPerSecond(const FrequencyAxis& axis, long double x) {
    return axis.Hz ? x * 2.0L * 3.14159265358979323846264338327950288L : x;
}

// The frequency column of an axis, points 0..350: F in Hz and W in rad/s, each the
// abscissa (AxisFrequency) or its conversion rounded to the 6-byte real, held exactly in
// a double. The design's column and the final response's samples both lie at these
// frequencies. The axis is taken as UsableFrequencyAxis makes it.
struct AxisColumn {
    std::array<double, kResponsePoints> F{}, W{};
};
void FillAxisColumn(const FrequencyAxis& axis, AxisColumn& out);

// Fills the design's frequency column (points 0..350, f in Hz and w in rad/s) with the
// values of FillAxisColumn.
void BuildFrequencyColumn(TDesign& d, const FrequencyAxis& axis);

// Point evaluations of the ideal response of `f` at w (rad/s). G is the overall gain.
long double IdealMagnitude(const IdealFilter& f, long double G, long double w); // V/V

// The magnitude's factors laid out once for evaluating it at many frequencies:
// MagnitudeAt(MagnitudeFactorsOf(f, G), w) is IdealMagnitude(f, G, w), operation for
// operation.
struct MagnitudeFactors {
    long double K = 0;               // |g G| times the numerator normalisations
    std::vector<long double> C, B;   // sections s^2 + B s + C
    std::vector<long double> Wz2;    // zero pairs s^2 + wz^2
    std::vector<long double> Sigma2; // real poles, sigma^2
    bool OriginZero = false;
};
MagnitudeFactors MagnitudeFactorsOf(const IdealFilter& f, long double G);
long double MagnitudeAt(const MagnitudeFactors& m, long double w);
long double IdealPhaseLag(const IdealFilter& f, long double w);   // degrees
long double IdealGroupDelay(const IdealFilter& f, long double w); // seconds

// 20 log10 |T|, or the -400 dB floor when |T| <= 1e-20.
long double GainToDb(long double vv);
// GainToDb(vv) for storing: a value that rounds to the same 6-byte real as GainToDb(vv),
// taken with the double-precision logarithm where that is certain to fix the stored
// value (the extended logarithm costs five times as much).
long double StoredGainDb(long double vv);

// Column fills for approximation `approx` over the points first..last of the design's
// frequency column. IdealGain writes dB and V/V; IdealPhase the phase lag Phi in
// degrees, continuous (not wrapped); IdealDelay the group delay in seconds.
void IdealGain(TDesign& d, int approx, int first = 0, int last = kResponseIntervals);
void IdealPhase(TDesign& d, int approx, int first = 0, int last = kResponseIntervals);
void IdealDelay(TDesign& d, int approx, int first = 0, int last = kResponseIntervals);

// Marks the column point nearest to each imaginary-axis zero inside the column (nearest
// in log10 of the frequency on a logarithmic axis) in the approximation's NotchMark,
// clearing the marks of an earlier column; the graph draws those points at -200 dB and
// 0 V/V. Zeros at the origin are not notches. Returns the points marked.
std::vector<int> MarkNotches(TDesign& d, int approx, bool logAxis);
// The same with the approximation's factors already at hand.
std::vector<int> MarkNotches(TDesign& d, int approx, bool logAxis, const IdealFilter& f);

} // namespace velmora
