#include "analysis/graph_axes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "approx/attenuation_mask.h"

namespace velmora {

namespace {

// Relative slack for comparing a computed quotient with a whole number: 0.6/0.2 is
// 2.9999999999999996 in binary and must count as 3.
constexpr long double kSlack = 1.0e-9L;

struct Scaled {
    int16_t exp = 0;
    long double value = 0;
};

// v brought into (1, 10] by powers of ten.
Scaled ScaleIntoDecade(long double v) {
    Scaled s;
    if (!(v > 0) || !std::isfinite(v)) return s;
    int e = 0;
    while (v <= 1.0L) {
        v *= 10.0L;
        --e;
    }
    while (v > 10.0L) {
        v /= 10.0L;
        ++e;
    }
    s.exp = static_cast<int16_t>(e);
    s.value = v;
    return s;
}

long double Pow10(int e) {
    return std::pow(10.0L, static_cast<long double>(e));
}

// lo..hi widened outward to whole multiples of tick.
AxisRange Outward(long double lo, long double hi, long double tick) {
    AxisRange r;
    r.Tick = tick;
    r.Min = std::floor(lo / tick + kSlack) * tick;
    r.Max = std::ceil(hi / tick - kSlack) * tick;
    if (!(r.Max > r.Min)) r.Max = r.Min + tick;
    return r;
}

} // namespace

long double NiceTick(long double span, int maxTicks) {
    if (!(span > 0) || !std::isfinite(span) || maxTicks < 1) return 1;
    const long double raw = span / maxTicks;
    const long double mag = Pow10(static_cast<int>(std::floor(std::log10(raw))));
    for (long double m : {1.0L, 2.0L, 5.0L, 10.0L})
        if (m * mag >= raw * (1 - kSlack)) return m * mag;
    return 10 * mag;
}

AxisRange NiceRange(long double lo, long double hi, int maxTicks) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) return AxisRange{};
    if (hi < lo) std::swap(lo, hi);
    const long double size = std::max(std::fabs(lo), std::fabs(hi));
    if (hi - lo <= 1.0e-12L * size || hi == lo) {
        const long double half = size > 0 ? 0.1L * size : 0.5L;
        lo -= half;
        hi += half;
    }
    return Outward(lo, hi, NiceTick(hi - lo, maxTicks));
}

int16_t DecimalExponent(long double value) {
    return ScaleIntoDecade(value).exp;
}

ScaledRange DelayAxisFor(long double largestDelay) {
    ScaledRange s;
    const Scaled v = ScaleIntoDecade(largestDelay);
    s.Exp = v.exp;
    s.Range.Min = 0;
    if (v.value <= 1.0L) {
        s.Range.Max = 1;
        s.Range.Tick = 0.1L;
    } else if (v.value <= 2.0L) {
        s.Range.Max = 2;
        s.Range.Tick = 0.2L;
    } else if (v.value <= 5.0L) {
        s.Range.Max = 5;
        s.Range.Tick = 0.5L;
    } else {
        s.Range.Max = 10;
        s.Range.Tick = 1;
    }
    return s;
}

ScaledRange ImpulseAxisFor(long double lo, long double hi) {
    ScaledRange s;
    if (!std::isfinite(lo) || !std::isfinite(hi)) return s;
    const long double largest = std::max(std::fabs(lo), std::fabs(hi));
    if (!(largest > 0)) {
        s.Range = {-1, 1, 0.5L};
        return s;
    }
    s.Exp = ScaleIntoDecade(largest).exp;
    const long double scale = Pow10(s.Exp);
    const long double a = lo / scale, b = hi / scale;
    const long double span = b - a;
    const long double tick = span <= 1 ? 0.1L : span <= 2 ? 0.2L : span <= 5 ? 0.5L : 1.0L;
    s.Range = Outward(a, b, tick);
    return s;
}

AxisRange PhaseAxisFor(long double minLag, long double maxLag) {
    AxisRange r;
    if (!std::isfinite(minLag) || !std::isfinite(maxLag)) return AxisRange{-180, 0, 45};
    r.Max = -std::floor(minLag / 180.0L + kSlack) * 180.0L;
    r.Min = -std::ceil(maxLag / 180.0L - kSlack) * 180.0L;
    if (!(r.Max > r.Min)) r.Min = r.Max - 180.0L;
    const long double span = r.Max - r.Min;
    r.Tick = span <= 360 ? 45 : span <= 720 ? 90 : span <= 1800 ? 180 : 360;
    return r;
}

AxisRange GainDbAxisFor(long double maxDb) {
    if (!std::isfinite(maxDb)) maxDb = 0;
    AxisRange r;
    r.Max = std::ceil((maxDb + 1.0L) / 10.0L) * 10.0L;
    r.Min = r.Max - 50.0L;
    r.Tick = 10;
    return r;
}

AxisRange GainVVAxisFor(long double maxVV) {
    if (!(maxVV > 0) || !std::isfinite(maxVV)) maxVV = 1;
    return NiceRange(0, 1.05L * maxVV);
}

ResponseAxes DefaultResponseAxes(const TDesign& d) {
    ResponseAxes axes;
    axes.Freq = DefaultFrequencyAxis(d);
    axes.Time = DefaultTimeAxis(d);
    axes.GainInDb = d.Opt.GainUnitsDb != 0;
    axes.Grid = d.Opt.GridLines != 0;
    axes.GainDb = GainDbAxisFor(0);
    axes.GainVV = GainVVAxisFor(1);
    axes.Phase = {-180, 0, 45};
    axes.Delay = {0, 1, 0.1L};
    axes.Step = {0, 1, 0.1L};
    axes.Impulse = {-1, 1, 0.5L};
    return axes;
}

void RangeGainAxes(const TDesign& d, const std::vector<int>& approximations, ResponseAxes& axes) {
    long double maxDb = -std::numeric_limits<long double>::infinity();
    long double maxVV = 0;
    for (int a : approximations) {
        for (int i = 0; i <= kResponseIntervals; ++i) {
            const IdealSample& s = d.Approx[a].Ideal[i];
            if (s.GainDb > kNotchDb) maxDb = std::max(maxDb, static_cast<long double>(s.GainDb));
            maxVV = std::max(maxVV, static_cast<long double>(s.GainVV));
        }
    }
    axes.GainDb = GainDbAxisFor(std::isfinite(maxDb) ? maxDb : 0.0L);
    axes.GainVV = GainVVAxisFor(maxVV);
}

void RangeResponseAxes(const TDesign& d, const std::vector<int>& approximations, ResponseAxes& axes) {
    RangeFrequencyResponseAxes(d, approximations, axes);
    RangeTimeResponseAxes(d, approximations, axes);
}

// The samples are 6-byte reals, which a double holds exactly, so the extremes are found
// in double and are the stored values.
void RangeFrequencyResponseAxes(const TDesign& d, const std::vector<int>& approximations,
                                ResponseAxes& axes) {
    if (approximations.empty()) return;
    const double inf = std::numeric_limits<double>::infinity();
    double phiLo = inf, phiHi = -inf, delayHi = 0;
    for (int a : approximations) {
        for (int i = 0; i <= kResponseIntervals; ++i) {
            const IdealSample& s = d.Approx[a].Ideal[i];
            const double phase = s.Phase.exactDouble(), delay = s.Delay.exactDouble();
            phiLo = std::min(phiLo, phase);
            phiHi = std::max(phiHi, phase);
            delayHi = std::max(delayHi, delay);
        }
    }
    axes.Phase = PhaseAxisFor(phiLo, phiHi);
    const ScaledRange delay = DelayAxisFor(delayHi);
    axes.DelayExp = delay.Exp;
    axes.Delay = delay.Range;
}

void RangeTimeResponseAxes(const TDesign& d, const std::vector<int>& approximations, ResponseAxes& axes) {
    if (approximations.empty()) return;
    const double inf = std::numeric_limits<double>::infinity();
    double stepLo = inf, stepHi = -inf, impLo = inf, impHi = -inf;
    for (int a : approximations) {
        for (int i = 0; i <= kResponseIntervals; ++i) {
            const IdealSample& s = d.Approx[a].Ideal[i];
            const double step = s.Step.exactDouble(), impulse = s.Impulse.exactDouble();
            stepLo = std::min(stepLo, step);
            stepHi = std::max(stepHi, step);
            impLo = std::min(impLo, impulse);
            impHi = std::max(impHi, impulse);
        }
    }
    axes.Step = NiceRange(std::min<long double>(stepLo, 0.0L), stepHi);
    const ScaledRange impulse = ImpulseAxisFor(impLo, impHi);
    axes.ImpulseExp = impulse.Exp;
    axes.Impulse = impulse.Range;
}

// ---- Plot area and mapping ----------------------------------------------------------

namespace {

// A positive value rounded to one significant digit, down or up; the slack keeps a value
// that is a whole digit but for its last bits (1.9999999, 2.0000001) on that digit.
long double OneDigit(long double v, bool up) {
    const int e = static_cast<int>(std::floor(std::log10(v)));
    const long double scale = std::pow(10.0L, static_cast<long double>(e));
    const long double m = v / scale;
    const long double digit = up ? std::ceil(m - kSlack) : std::floor(m + kSlack);
    return std::max(digit, 1.0L) * scale;
}

} // namespace

std::vector<long double> SpecifiedEdges(const Specification& s) {
    std::vector<long double> edges;
    switch (s.FilterType) {
    case Lowpass:
    case Highpass:
        edges = {s.wpb.value(), s.wsb.value()};
        break;
    case Bandpass:
    case Bandstop:
        for (const FrequencyBand b : {BandAbout(s.w0, s.Bpb), BandAbout(s.w0, s.Bsb)}) {
            edges.push_back(b.Lo);
            edges.push_back(b.Hi);
        }
        break;
    default:
        break;
    }
    std::erase_if(edges, [](long double w) { return !(w > 0) || !std::isfinite(w); });
    std::sort(edges.begin(), edges.end());
    return edges;
}

FrequencyAxis DataFrequencyAxis(const TDesign& d, const FrequencyLimits& limits) {
    FrequencyAxis axis = DefaultFrequencyAxis(d);
    // A fifth of room beyond the outermost edges, before rounding outward: an edge never
    // sits on the frame, and an axis that already shows every edge (every lowpass with its
    // stopband edge up to eight times its passband edge, most band filters) stays as the
    // graph window draws it.
    constexpr long double kRoom = 1.2L;
    const long double unit = axis.Hz ? 1.0L / (2.0L * std::numbers::pi_v<long double>) : 1.0L;
    const std::vector<long double> edges = SpecifiedEdges(d.Spec);
    if (!edges.empty()) {
        const long double lo = edges.front() * unit / kRoom, hi = edges.back() * unit * kRoom;
        if (lo < axis.Min) axis.Min = OneDigit(lo, false);
        if (hi > axis.Max) axis.Max = OneDigit(hi, true);
    }
    const long double toUnit = axis.Hz ? 1.0L : 2.0L * std::numbers::pi_v<long double>;
    if (limits.MinHz) axis.Min = *limits.MinHz * toUnit;
    if (limits.MaxHz) axis.Max = *limits.MaxHz * toUnit;
    return axis;
}

PlotArea PlotAreaOf(double width, double height) {
    return PlotArea{0.18 * width, 0.1 * height, 0.92 * width, 0.8 * height};
}

namespace {

// Position of f along the axis as a fraction of its length.
long double AxisFraction(const FrequencyAxis& axis, long double f) {
    if (axis.Log) {
        if (!(f > 0) || !(axis.Min > 0) || !(axis.Max > axis.Min)) return -1;
        return (std::log10(f) - std::log10(axis.Min)) / (std::log10(axis.Max) - std::log10(axis.Min));
    }
    if (!(axis.Max > axis.Min)) return 0;
    return (f - axis.Min) / (axis.Max - axis.Min);
}

} // namespace

double XOfFrequency(const FrequencyAxis& axis, const PlotArea& area, long double f) {
    return area.Left + static_cast<double>(AxisFraction(axis, f)) * area.Width();
}

long double FrequencyAtX(const FrequencyAxis& axis, const PlotArea& area, double x) {
    const long double t = area.Width() > 0 ? (x - area.Left) / area.Width() : 0.0L;
    if (axis.Log && axis.Min > 0 && axis.Max > 0)
        return axis.Min * std::pow(10.0L, (std::log10(axis.Max) - std::log10(axis.Min)) * t);
    return axis.Min + (axis.Max - axis.Min) * t;
}

double XOfTime(const TimeAxis& axis, const PlotArea& area, long double units) {
    const long double span = axis.FullScale - axis.Start;
    if (!(span > 0)) return area.Left;
    return area.Left + static_cast<double>((units - axis.Start) / span) * area.Width();
}

long double TimeAtX(const TimeAxis& axis, const PlotArea& area, double x) {
    const long double t = area.Width() > 0 ? (x - area.Left) / area.Width() : 0.0L;
    return axis.Start + (axis.FullScale - axis.Start) * t;
}

double YOfValue(const AxisRange& range, const PlotArea& area, long double v) {
    const long double span = range.Max - range.Min;
    if (!(span > 0)) return area.Bottom;
    return area.Bottom - static_cast<double>((v - range.Min) / span) * area.Height();
}

long double ValueAtY(const AxisRange& range, const PlotArea& area, double y) {
    const long double t = area.Height() > 0 ? (area.Bottom - y) / area.Height() : 0.0L;
    return range.Min + (range.Max - range.Min) * t;
}

// ---- Zoom -----------------------------------------------------------------------------

ZoomState ZoomStateOf(const ResponseAxes& axes) {
    return ZoomState{axes.Freq.Min, axes.Freq.Max, axes.GainDb, axes.GainVV};
}

void RestoreZoomState(ResponseAxes& axes, const ZoomState& state) {
    axes.Freq.Min = state.FreqMin;
    axes.Freq.Max = state.FreqMax;
    axes.GainDb = state.GainDb;
    axes.GainVV = state.GainVV;
}

void ZoomHistory::Push(const ZoomState& s) {
    if (static_cast<int>(states_.size()) >= kMaxZoomDepth) states_.pop_front();
    states_.push_back(s);
}

bool ZoomHistory::Pop(ZoomState& s) {
    if (states_.empty()) return false;
    s = states_.back();
    states_.pop_back();
    return true;
}

namespace {

// A span narrower than this fraction of its limits is refused: beyond it the axis
// labels could no longer tell the limits apart.
constexpr long double kMinimumSpan = 1.0e-6L;

bool TooNarrow(long double lo, long double hi, long double floor) {
    const long double size = std::max({std::fabs(lo), std::fabs(hi), floor});
    return !(hi > lo) || hi - lo < kMinimumSpan * size;
}

AxisRange ZoomedRange(long double lo, long double hi) {
    AxisRange r{lo, hi, NiceTick(hi - lo)};
    if (!(r.Max > r.Min)) r.Max = r.Min + 1;
    return r;
}

} // namespace

ZoomStatus ZoomToRectangle(ResponseAxes& axes, const PlotArea& area, double x1, double y1, double x2,
                           double y2) {
    if (x2 - x1 < 1 || y2 - y1 < 1) return ZoomStatus::WrongWay;

    const long double f1 = FrequencyAtX(axes.Freq, area, x1);
    const long double f2 = FrequencyAtX(axes.Freq, area, x2);
    if (TooNarrow(f1, f2, 0) || (axes.Freq.Log && !(f1 > 0))) return ZoomStatus::TooNarrow;

    AxisRange db, vv;
    if (axes.GainInDb) {
        const long double hi = ValueAtY(axes.GainDb, area, y1);
        const long double lo = ValueAtY(axes.GainDb, area, y2);
        // A dB span is a ratio: a millionth of a dB is the finest step accepted.
        if (TooNarrow(lo, hi, 1)) return ZoomStatus::TooNarrow;
        db = ZoomedRange(lo, hi);
        vv = ZoomedRange(std::pow(10.0L, lo / 20), std::pow(10.0L, hi / 20));
    } else {
        const long double hi = ValueAtY(axes.GainVV, area, y1);
        const long double lo = ValueAtY(axes.GainVV, area, y2);
        if (TooNarrow(lo, hi, 0)) return ZoomStatus::TooNarrow;
        vv = ZoomedRange(lo, hi);
        // 0 V/V (or below, on an axis reaching under 0) is the -400 dB floor, not log10(0).
        db = ZoomedRange(GainToDb(lo), GainToDb(hi));
    }
    axes.Freq.Min = f1;
    axes.Freq.Max = f2;
    axes.GainDb = db;
    axes.GainVV = vv;
    return ZoomStatus::Zoomed;
}

} // namespace velmora
